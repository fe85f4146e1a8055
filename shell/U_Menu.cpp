#include "U_Menu.h"

#include "platform/Types.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

namespace {
constexpr TColor MenuBarColor = 16740721;
constexpr int ButtonWidth = 91;
constexpr int SeparatorWidth = 8;
constexpr int BarHeight = 25;
}

TFrame_Menu::TFrame_Menu(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("Frame_M_Top"));
    setFixedHeight(BarHeight);
    createMenus();
    createToolBar();
}

void TFrame_Menu::createToolBar()
{
    TB_Menu = new QWidget(this);
    TB_Menu->setObjectName(QStringLiteral("TB_Menu"));
    QPalette pal = TB_Menu->palette();
    pal.setColor(QPalette::Window, toQColor(MenuBarColor));
    pal.setColor(QPalette::Button, toQColor(MenuBarColor));
    pal.setColor(QPalette::ButtonText, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::black);
    TB_Menu->setPalette(pal);
    TB_Menu->setAutoFillBackground(true);
    TB_Menu->setFont(makeFont(QStringLiteral("宋体"), -14));
    // Drop-down buttons here look like menu titles: no arrow.
    TB_Menu->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));

    auto *layout = new QHBoxLayout(TB_Menu);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *frameLayout = new QHBoxLayout(this);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->addWidget(TB_Menu);

    ToolButton3 = addSeparator();
    TB_Game = addButton(QStringLiteral("小游戏（&G）"), PM_Game);
    ToolButton5 = addSeparator();
    ToolButton2 = addButton(QStringLiteral("小工具（&C）"), PM_Control);
    ToolButton4 = addSeparator();
    TB_Help = addButton(QStringLiteral("帮助（&H）"), PM_Help);
    layout->addStretch(1);

    TB_Game->setObjectName(QStringLiteral("TB_Game"));
    ToolButton2->setObjectName(QStringLiteral("ToolButton2"));
    TB_Help->setObjectName(QStringLiteral("TB_Help"));
    ToolButton3->setObjectName(QStringLiteral("ToolButton3"));
    ToolButton5->setObjectName(QStringLiteral("ToolButton5"));
    ToolButton4->setObjectName(QStringLiteral("ToolButton4"));
}

QToolButton *TFrame_Menu::addButton(const QString &caption, QMenu *menu)
{
    auto *button = new QToolButton(TB_Menu);
    button->setText(caption);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setFixedSize(ButtonWidth, BarHeight);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setFocusPolicy(Qt::NoFocus);
    TB_Menu->layout()->addWidget(button);
    return button;
}

QWidget *TFrame_Menu::addSeparator()
{
    auto *separator = new QWidget(TB_Menu);
    separator->setFixedSize(SeparatorWidth, BarHeight);
    TB_Menu->layout()->addWidget(separator);
    return separator;
}

void TFrame_Menu::createMenus()
{
    PM_Game = new QMenu(this);
    PM_Game->setObjectName(QStringLiteral("PM_Game"));
    N_Link = PM_Game->addAction(QStringLiteral("单词连连看"));

    PM_Control = new QMenu(this);
    PM_Control->setObjectName(QStringLiteral("PM_Control"));
    N_DC_Menu = PM_Control->addMenu(QStringLiteral("词汇量测试"));
    N_DC = N_DC_Menu->menuAction();
    N_2_KSCS = N_DC_Menu->addAction(QStringLiteral("快速测试"));
    N_2_XXCS = N_DC_Menu->addAction(QStringLiteral("详细测试"));
    N_ZD = PM_Control->addAction(QStringLiteral("图文字典"));

    PM_Help = new QMenu(this);
    PM_Help->setObjectName(QStringLiteral("PM_Help"));
    N_AB = PM_Help->addAction(QStringLiteral("关于"));
    N4 = PM_Help->addSeparator();
    lumaferncom1 = PM_Help->addAction(QStringLiteral("访问"));
    N1 = PM_Help->addSeparator();
    N_Exit = PM_Help->addAction(QStringLiteral("退出"));

    const std::initializer_list<std::pair<QObject *, const char *>> names = {
        {N_Link, "N_Link"}, {N_DC, "N_DC"}, {N_DC_Menu, "N_DC_Menu"},
        {N_2_KSCS, "N_2_KSCS"}, {N_2_XXCS, "N_2_XXCS"}, {N_ZD, "N_ZD"},
        {N_AB, "N_AB"}, {N4, "N4"}, {lumaferncom1, "lumaferncom1"}, {N1, "N1"},
        {N_Exit, "N_Exit"},
    };
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
}
