#include "U_Main.h"

#include "LearningPages.h"
#include "U_Menu.h"
#include "about/U_AB.h"
#include "chrome/U_Info.h"
#include "chrome/U_Top_Frame.h"
#include "platform/Image.h"
#include "platform/Shell.h"
#include "platform/SiteServer.h"
#include "platform/WebBrowser.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QOpenGLWidget>

TF_Main *F_Main = nullptr;

namespace {
constexpr TColor PanelColor = 16111846;
constexpr int TitleBarHeight = 30;
constexpr int MenuBarHeight = 25;
}

TF_Main::TF_Main()
    : TF_Main(defaultSiteBase())
{
}

TF_Main::TF_Main(const QString &siteBase, QWidget *parent)
    : TForm(parent), m_siteBase(siteBase), m_site(new TSiteServer(siteBase, this))
{
    // The frames' handlers reach this window through F_Main, also while
    // it is being built.
    F_Main = this;
    setObjectName(QStringLiteral("F_Main"));
    setBorderStyle(TFormBorderStyle::bsNone);
    setCaption(QStringLiteral("晴川叶-轻松学英语"));
    setClientSize(671, 446);
    setPosition(TPosition::poDesktopCenter);
    setColor(clWhite);
    setFont(makeFont(QStringLiteral("MS Sans Serif"), -11));
    setMouseTracking(true);

    createComponents();
    bindMenus();
    connect(this, &TForm::formShow, this, &TF_Main::FormShow);
    FormCreate();
}

TF_Main::~TF_Main()
{
    if (F_Main == this)
        F_Main = nullptr;
}

QString TF_Main::defaultSiteBase()
{
    return QStringLiteral(QINGCHUANYE_SITE_URL);
}

void TF_Main::createComponents()
{
    P_Main = new QFrame(this);
    P_Main->setObjectName(QStringLiteral("P_Main"));
    P_Main->setFrameShape(QFrame::NoFrame);
    QPalette pal = P_Main->palette();
    pal.setColor(QPalette::Window, toQColor(PanelColor));
    P_Main->setPalette(pal);
    P_Main->setAutoFillBackground(true);
    P_Main->setCursor(Qt::ArrowCursor);
    P_Main->hide();

    WB_Web = new TWebBrowser(P_Main);
    WB_Web->setObjectName(QStringLiteral("WB_Web"));
    WB_Web->setSiteBase(m_siteBase);

    F_Top = new TF_Top_Frame(this);
    F_Top->setCursor(Qt::ArrowCursor);
    Frame_M_Top = new TFrame_Menu(this);
    Frame_M_Top->setCursor(Qt::ArrowCursor);

    Img_bg = new TImage(this);
    Img_bg->setObjectName(QStringLiteral("Img_bg"));
    Img_bg->setGeometry(112, 144, 422, 126);
    Img_bg->setPicture(QImage(QStringLiteral(":/assets/logo.jpg")));
    Img_bg->setToolTip(QStringLiteral("点击进入晴川叶"));
    connect(Img_bg, &TImage::click, this, &TF_Main::Img_bgClick);
    connect(Img_bg, &TImage::mouseMove, this, &TF_Main::Img_bgMouseMove);

    // The picture is drawn on the window itself; the panel is a window
    // above it and covers it once shown.
    P_Main->raise();
    resizeEvent(nullptr);
}

void TF_Main::prepareFirstShow()
{
    // The engine's view draws through OpenGL. On X11 the engine's module
    // readies this window for it when the first page opens, keeping its
    // native window; start-up does not pay for OpenGL. Wayland's OpenGL
    // windows are another kind of surface, so there the window is made fit
    // for the view before it is first shown: a GL widget present when the
    // native window is made gives it the kind the engine needs, and has
    // done its work once the native window exists. Otherwise the first view
    // would make Qt destroy the native window and make another, and the
    // desktop would see the program's window close and another open. Made
    // once the window has its place: a native window made earlier would not
    // hear of the move, and popups would open where the window is not.
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    auto *probe = new QOpenGLWidget(this);
    probe->hide();
    winId();
    delete probe;
}

void TF_Main::bindMenus()
{
    TFrame_Menu *menu = Frame_M_Top;
    menu->lumaferncom1->setText(QStringLiteral("访问") + siteDisplayName(m_siteBase));
    connect(menu->N_Link, &QAction::triggered, this, &TF_Main::Frame_Menu1N_LinkClick);
    connect(menu->N_2_KSCS, &QAction::triggered, this, &TF_Main::Frame_Menu1N_2_KSCSClick);
    connect(menu->N_2_XXCS, &QAction::triggered, this, &TF_Main::Frame_Menu1N_2_XXCSClick);
    connect(menu->N_ZD, &QAction::triggered, this, &TF_Main::Frame_Menu1N1Click);
    connect(menu->N_AB, &QAction::triggered, this, &TF_Main::Frame_Menu1N_ABClick);
    connect(menu->lumaferncom1, &QAction::triggered, this, &TF_Main::Frame_M_Toplumaferncom1Click);
    connect(menu->N_Exit, &QAction::triggered, this, &TF_Main::Frame_Menu1N_ExitClick);
}

void TF_Main::resizeEvent(QResizeEvent *event)
{
    if (event)
        TForm::resizeEvent(event);
    F_Top->setGeometry(0, 0, width(), TitleBarHeight);
    Frame_M_Top->setGeometry(0, TitleBarHeight, width(), MenuBarHeight);
    const int top = TitleBarHeight + MenuBarHeight;
    P_Main->setGeometry(0, top, width(), qMax(0, height() - top));
    WB_Web->setGeometry(P_Main->rect());
}

void TF_Main::FormCreate()
{
    F_Top->IsDragging = false;
    F_Top->L_Title->setText(QStringLiteral("晴川叶--轻松学英语"));
    F_Top->L_Title->adjustSize();
}

void TF_Main::FormShow()
{
    SetRoundRegion(0, 0, F_Main->width(), F_Main->height(), 9, 9, F_Main);
    DrawGradient(F_Top->Img_Top->canvas(), F_Top->Img_Top->width(), F_Top->Img_Top->height());
}

void TF_Main::mouseMoveEvent(QMouseEvent *event)
{
    TForm::mouseMoveEvent(event);
    FormMouseMove();
}

void TF_Main::FormMouseMove()
{
    setFormCursor(crDefault);
}

void TF_Main::Img_bgMouseMove()
{
    setFormCursor(crHandPoint);
}

void TF_Main::Img_bgClick()
{
}

void TF_Main::openPage(const char *path)
{
    P_Main->show();
    m_site->ensureRunning();
    F_Main->WB_Web->navigate(pageAddress(m_siteBase, path));
}

void TF_Main::Frame_Menu1N_LinkClick()
{
    openPage(LinkGamePath);
}

void TF_Main::Frame_Menu1N_2_KSCSClick()
{
    openPage(QuickTestPath);
}

void TF_Main::Frame_Menu1N_2_XXCSClick()
{
    openPage(DetailedTestPath);
}

void TF_Main::Frame_Menu1N1Click()
{
    openPage(DictionaryPath);
}

void TF_Main::Frame_Menu1N_ABClick()
{
    // Made when first asked for: its pictures and labels are nothing the
    // first frame needs. It then lives until the program ends.
    if (!F_AB)
        new TF_AB;
    F_Main->setEnabled(false);
    F_AB->show();
}

void TF_Main::Frame_M_Toplumaferncom1Click()
{
    ShellExecute(this, QStringLiteral("open"), QStringLiteral("iexplore.exe"), m_siteBase,
                 QString(), SW_SHOWNORMAL);
}

void TF_Main::Frame_Menu1N_ExitClick()
{
    F_Main->close();
}

void TF_Main::bringToFront()
{
    if (isHidden())
        F_Top->PM_N_RestoryClick();
    else if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    // An open About box keeps the main window disabled: it is what the
    // user has to answer first.
    if (F_AB && F_AB->isVisible()) {
        F_AB->raise();
        F_AB->activateWindow();
    }
}
