#include "U_AB.h"

#include "platform/Image.h"
#include "shell/U_Main.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

TF_AB *F_AB = nullptr;

TF_AB::TF_AB(QWidget *parent)
    : TForm(parent)
{
    F_AB = this;
    setObjectName(QStringLiteral("F_AB"));
    setBorderStyle(TFormBorderStyle::bsDialog);
    setCaption(QStringLiteral("关于"));
    setFixedSize(298, 213);
    setPosition(TPosition::poDesktopCenter);
    setColor(fromQColor(QApplication::palette().color(QPalette::Button)));
    setFont(makeFont(QStringLiteral("MS Sans Serif"), -11));

    createComponents();
    connect(this, &TForm::formClose, this, &TF_AB::FormClose);
}

TF_AB::~TF_AB()
{
    if (F_AB == this)
        F_AB = nullptr;
}

QLabel *TF_AB::addLabel(const QString &text, int left, int top)
{
    auto *label = new QLabel(text, Panel1);
    label->move(left, top);
    return label;
}

void TF_AB::createComponents()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 281, 161);
    // A lowered outer bevel around a raised inner one: an etched frame.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(0);

    ProgramIcon = new TImage(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 65, 57);
    ProgramIcon->setStretch(true);
    ProgramIcon->setPicture(QImage(QStringLiteral(":/assets/about.bmp")));

    ProductName = addLabel(QStringLiteral("系统名称：晴川叶--轻松学英语"), 88, 16);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    ProductName->setFixedSize(190, 13);

    Version = addLabel(QStringLiteral("版本：1.0"), 88, 40);
    Version->setObjectName(QStringLiteral("Version"));
    Version->setFixedSize(89, 13);

    Label3 = addLabel(QStringLiteral("背单词、测词汇、查图文字典，轻松学英语。"), 8, 80);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->adjustSize();

    // Two lines in 26 pixels: CJK faces leave more room between lines than
    // that, so the line height is set to the font's pixel size plus two.
    Label4 = addLabel(QStringLiteral("<p style=\"margin:0; line-height:13px; -qt-line-height-type:fixed\">"
                                     "学习内容来自晴川叶学习网站，打开时需能访问该网站。</p>"),
                      8, 113);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setTextFormat(Qt::RichText);
    Label4->setWordWrap(true);
    Label4->setFixedSize(177, 26);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    OKButton = new QPushButton(QStringLiteral("确 定"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setFont(makeFont(QStringLiteral("新宋体"), -13));
    OKButton->setDefault(true);
    setDefaultButton(OKButton);
    connect(OKButton, &QPushButton::clicked, this, &TF_AB::OKButtonClick);
}

void TF_AB::OKButtonClick()
{
    close();
}

void TF_AB::FormClose()
{
    F_Main->setEnabled(true);
}
