#include "Form.h"

#include "Application.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QThread>

#include <xcb/xcb.h>

namespace {

// How long a window manager may take to grant a new size. A cold, busy
// machine can take seconds; events other than the user's keep being
// handled meanwhile, so the window still paints.
constexpr int WindowManagerTimeoutMs = 15000;
// An X display without a window manager never answers: waiting there only
// delays the user.
constexpr int NoWindowManagerTimeoutMs = 250;

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(qstrlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}

// The window a window manager names as its own on the root window, as the
// desktop standards have it, when one runs.
bool x11WindowManagerRunning(xcb_connection_t *connection)
{
    const xcb_atom_t check = atom(connection, "_NET_SUPPORTING_WM_CHECK");
    if (check == XCB_ATOM_NONE)
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
    bool running = false;
    if (reply && xcb_get_property_value_length(reply) == sizeof(xcb_window_t)) {
        const xcb_window_t wm = *static_cast<xcb_window_t *>(xcb_get_property_value(reply));
        xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, wm), nullptr);
        running = attributes != nullptr;
        free(attributes);
    }
    free(reply);
    return running;
}

int windowManagerTimeout()
{
    // The offscreen platform answers for X11 too, without a connection.
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->connection() && !x11WindowManagerRunning(x11->connection()))
        return NoWindowManagerTimeoutMs;
    return WindowManagerTimeoutMs;
}

} // namespace

TForm::TForm(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    if (TApplication *app = TApplication::instance())
        app->registerForm(this);
}

TForm::~TForm()
{
    if (TApplication *app = TApplication::instance())
        app->unregisterForm(this);
}

void TForm::setCaption(const QString &caption)
{
    m_caption = caption;
    updateWindowTitle();
}

void TForm::updateWindowTitle()
{
    TApplication *app = TApplication::instance();
    if (app && app->mainForm() == this && !app->title().isEmpty())
        setWindowTitle(app->title());
    else
        setWindowTitle(m_caption);
}

void TForm::setBorderStyle(TFormBorderStyle style)
{
    switch (style) {
    case TFormBorderStyle::bsNone:
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        break;
    case TFormBorderStyle::bsDialog:
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                       | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
        break;
    }
}

void TForm::setClientSize(int width, int height)
{
    resize(width, height);
}

void TForm::setColor(TColor color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, toQColor(color));
    setPalette(pal);
    setAutoFillBackground(true);
}

TWindowState TForm::formWindowState() const
{
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized)
        return TWindowState::wsMinimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return TWindowState::wsMaximized;
    return TWindowState::wsNormal;
}

void TForm::setFormWindowState(TWindowState state)
{
    Qt::WindowStates target = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == TWindowState::wsMaximized)
        target |= Qt::WindowMaximized;
    else if (state == TWindowState::wsMinimized)
        target |= Qt::WindowMinimized;
    if (target == windowState())
        return;

    const QSize before = size();
    setWindowState(target);
    if (isVisible() && state != TWindowState::wsMinimized)
        waitForWindowManager([&] { return size() != before; });
}

void TForm::waitForWindowManager(const std::function<bool()> &done)
{
    // The window manager grants a new size a little later. Wait for it,
    // without taking user input: the handler that asked must not run again
    // before the answer.
    if (done())
        return;
    const int timeout = windowManagerTimeout();
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeout) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        if (!done())
            QThread::msleep(5);
    }
}

void TForm::setDefaultButton(QPushButton *button)
{
    m_defaultButton = button;
}

void TForm::setFormCursor(TCursor cursor)
{
    m_cursor = cursor;
    if (cursor == crDefault)
        unsetCursor();
    else
        setCursor(toCursorShape(cursor));
}

void TForm::setVisible(bool visible)
{
    const bool showing = visible && !isVisible();
    if (!visible && isVisible())
        m_shownSize = size();
    // Placed before the native window is shown: a move from inside the
    // show event reaches the widget but not the window, and popups would
    // then open where the window is not.
    if (visible && !m_placed) {
        m_placed = true;
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (m_position == TPosition::poDesktopCenter && screen) {
            const QRect desktop = screen->geometry();
            move(desktop.x() + (desktop.width() - width()) / 2,
                 desktop.y() + (desktop.height() - height()) / 2);
        }
        prepareFirstShow();
    }
    QWidget::setVisible(visible);
    if (!showing)
        return;
    // X11 window managers give a hidden window its normal size back and
    // maximise it again only once it is mapped. The show handlers shape
    // the window by its size, so they wait for the size it was shown at.
    if ((windowState() & Qt::WindowMaximized) && m_shownSize.isValid())
        waitForWindowManager([&] { return size() == m_shownSize; });
    emit formShow();
}

void TForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    emit formClose();
    // Closing the main form ends the program, also when it is hidden.
    TApplication *app = TApplication::instance();
    if (app && app->mainForm() == this)
        app->quit();
}

void TForm::keyPressEvent(QKeyEvent *event)
{
    if (m_defaultButton && m_defaultButton->isEnabled() && m_defaultButton->isVisible()
        && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        m_defaultButton->animateClick();
        return;
    }
    QWidget::keyPressEvent(event);
}
