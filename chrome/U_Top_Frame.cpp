#include "U_Top_Frame.h"

#include "U_Info.h"
#include "platform/Image.h"
#include "platform/ImageList.h"
#include "platform/TrayIcon.h"
#include "platform/Types.h"
#include "shell/U_Main.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QWindow>

namespace {
constexpr TColor TitleBarColor = 16740721;
constexpr int DesignedWidth = 671;
constexpr int ImageHeight = 29;
}

TF_Top_Frame::TF_Top_Frame(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("F_Top"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, toQColor(TitleBarColor));
    setPalette(pal);
    setAutoFillBackground(true);
    resize(DesignedWidth, 30);

    createTitle();
    createButtons();
    createTray();
}

TF_Top_Frame::~TF_Top_Frame()
{
    delete List_img;
}

void TF_Top_Frame::createTitle()
{
    Img_Top = new TImage(this);
    Img_Top->setObjectName(QStringLiteral("Img_Top"));
    Img_Top->setStretch(true);
    Img_Top->setGeometry(0, 0, DesignedWidth, ImageHeight);
    connect(Img_Top, &TImage::dblClick, this, &TF_Top_Frame::P_ControlDblClick);
    connect(Img_Top, &TImage::mouseDown, this, &TF_Top_Frame::Img_TopMouseDown);
    connect(Img_Top, &TImage::mouseMove, this, &TF_Top_Frame::Img_TopMouseMove);
    connect(Img_Top, &TImage::mouseUp, this, &TF_Top_Frame::Img_TopMouseUp);

    L_Title = new QLabel(this);
    L_Title->setObjectName(QStringLiteral("L_Title"));
    L_Title->setFont(makeFont(QStringLiteral("宋体"), -13, true));
    QPalette pal = L_Title->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    L_Title->setPalette(pal);
    L_Title->setAutoFillBackground(false);
    // The title text is part of the bar: pressing on it drags too.
    L_Title->setAttribute(Qt::WA_TransparentForMouseEvents);
    L_Title->move(6, 8);
}

QToolButton *TF_Top_Frame::addSpeedButton(const QString &glyph, const QString &hint, int left, int width)
{
    auto *button = new QToolButton(this);
    button->setAutoRaise(true);
    button->setIcon(QIcon(glyph));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(left, 2, width, 25);
    m_rightAnchored << qMakePair(button, DesignedWidth - left);
    return button;
}

void TF_Top_Frame::createButtons()
{
    SB_Max = addSpeedButton(QStringLiteral(":/assets/sb_max.png"), QStringLiteral("最大化窗口"), 621, 23);
    SB_Max->setObjectName(QStringLiteral("SB_Max"));
    connect(SB_Max, &QToolButton::clicked, this, &TF_Top_Frame::SB_MaxClick);

    SB_Exit = addSpeedButton(QStringLiteral(":/assets/sb_exit.png"), QStringLiteral("关闭窗口"), 644, 24);
    SB_Exit->setObjectName(QStringLiteral("SB_Exit"));
    connect(SB_Exit, &QToolButton::clicked, this, &TF_Top_Frame::SB_ExitClick);

    SB_Min = addSpeedButton(QStringLiteral(":/assets/sb_min.png"), QStringLiteral("最小化到右下角"), 598, 23);
    SB_Min->setObjectName(QStringLiteral("SB_Min"));
    connect(SB_Min, &QToolButton::clicked, this, &TF_Top_Frame::SB_MinClick);
}

void TF_Top_Frame::createTray()
{
    List_img = new TImageList(16, 16);
    List_img->add(QImage(QStringLiteral(":/assets/tray.png")));

    PM_TI = new QMenu(this);
    PM_TI->setObjectName(QStringLiteral("PM_TI"));
    PM_N_Restory = PM_TI->addAction(QStringLiteral("恢复"));
    PM_N_Restory->setObjectName(QStringLiteral("PM_N_Restory"));
    PM_N_Exit = PM_TI->addAction(QStringLiteral("退出"));
    PM_N_Exit->setObjectName(QStringLiteral("PM_N_Exit"));
    connect(PM_N_Restory, &QAction::triggered, this, &TF_Top_Frame::PM_N_RestoryClick);
    connect(PM_N_Exit, &QAction::triggered, this, &TF_Top_Frame::PM_N_ExitClick);

    TI_Hide = new TTrayIcon(this);
    TI_Hide->setObjectName(QStringLiteral("TI_Hide"));
    TI_Hide->setIcons(List_img, 0);
    TI_Hide->setPopupMenu(PM_TI);
    TI_Hide->setHide(true);
    TI_Hide->setRestoreOn(TTrayIconMessage::imDoubleClick);
    TI_Hide->setPopupMenuOn(TTrayIconMessage::imRightClickUp);
    // The icon's own restore action cannot bring back a hidden window; a
    // double-click should, so it does what the menu's restore does.
    connect(TI_Hide, &TTrayIcon::restored, this, &TF_Top_Frame::PM_N_RestoryClick);
}

void TF_Top_Frame::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    Img_Top->setGeometry(0, 0, width(), ImageHeight);
    for (const auto &[button, distance] : std::as_const(m_rightAnchored))
        button->move(width() - distance, button->y());
}

bool TF_Top_Frame::compositorMovesWindows()
{
    // A Wayland compositor does not let a client place its own window.
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void TF_Top_Frame::Img_TopMouseDown(Qt::MouseButton, int X, int Y)
{
    IsDragging = true;
    DownX = X;
    DownY = Y;
    if (compositorMovesWindows() && F_Main->windowHandle())
        F_Main->windowHandle()->startSystemMove();
}

void TF_Top_Frame::Img_TopMouseMove(int X, int Y)
{
    if (!IsDragging || compositorMovesWindows())
        return;
    F_Main->move(F_Main->x() + (X - DownX), F_Main->y());
    F_Main->move(F_Main->x(), F_Main->y() + (Y - DownY));
}

void TF_Top_Frame::Img_TopMouseUp(Qt::MouseButton, int, int)
{
    if (IsDragging)
        IsDragging = false;
}

void TF_Top_Frame::P_ControlDblClick()
{
    switch (F_Main->formWindowState()) {
    case TWindowState::wsNormal:
        F_Main->setFormWindowState(TWindowState::wsMaximized);
        DrawGradient(Img_Top->canvas(), RoundHalfEven(Img_Top->width() / 2.0), Img_Top->height());
        break;
    case TWindowState::wsMaximized:
        F_Main->setFormWindowState(TWindowState::wsNormal);
        DrawGradient(Img_Top->canvas(), Img_Top->width(), Img_Top->height());
        break;
    case TWindowState::wsMinimized:
        break;
    }
    SetRoundRegion(0, 0, F_Main->width(), F_Main->height(), 9, 9, F_Main);
}

void TF_Top_Frame::SB_MaxClick()
{
    P_ControlDblClick();
}

void TF_Top_Frame::SB_ExitClick()
{
    F_Main->close();
}

void TF_Top_Frame::SB_MinClick()
{
    F_Main->hide();
    try {
        TI_Hide->setVisible(true);
    } catch (...) {
        // Without an icon nothing could bring the window back: show it
        // again before the error is reported.
        F_Main->show();
        throw;
    }
}

void TF_Top_Frame::PM_N_RestoryClick()
{
    F_Main->show();
    TI_Hide->setVisible(false);
    SetRoundRegion(0, 0, F_Main->width(), F_Main->height(), 9, 9, F_Main);
}

void TF_Top_Frame::PM_N_ExitClick()
{
    F_Main->close();
}
