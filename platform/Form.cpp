#include "Form.h"

#include "Application.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QThread>

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
    // without taking user input, for at most a second: a desktop with no
    // window manager never answers.
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 1000) {
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
