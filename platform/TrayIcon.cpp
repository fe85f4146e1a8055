#include "TrayIcon.h"

#include "Exception.h"
#include "ImageList.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QWidget>

const char *const TTrayIcon::CreateErrorText = "Cannot Create System Shell Notification Icon";
const char *const TTrayIcon::RemoveErrorText = "Cannot Remove System Shell Notification Icon";

namespace {

// On X11 Qt docks a small widget of this class into the tray (XEmbed). Its
// own handling knows presses only; watching its events gives us releases
// and double-clicks of every button too.
bool isX11TrayWidget(QObject *object)
{
    return object->inherits("QSystemTrayIconSys");
}

} // namespace

TTrayIcon::TTrayIcon(QObject *parent)
    : QObject(parent), m_icon(new QSystemTrayIcon(this))
{
    qApp->installEventFilter(this);
    // Other tray protocols (StatusNotifier over D-Bus, Windows) only report
    // finished gestures.
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            handleMessage(TTrayIconMessage::imLeftClickUp);
            break;
        case QSystemTrayIcon::Context:
            handleMessage(TTrayIconMessage::imRightClickUp);
            break;
        case QSystemTrayIcon::DoubleClick:
            handleMessage(TTrayIconMessage::imLeftDoubleClick);
            break;
        default:
            break;
        }
    });
}

TTrayIcon::~TTrayIcon()
{
    // QSystemTrayIcon takes the icon out of the notification area as it goes.
    qApp->removeEventFilter(this);
}

void TTrayIcon::setIcons(const TImageList *icons, int index)
{
    m_icon->setIcon(icons ? icons->icon(index) : QIcon());
}

void TTrayIcon::setPopupMenu(QMenu *menu)
{
    m_popupMenu = menu;
}

QMenu *TTrayIcon::popupMenu() const
{
    return m_popupMenu;
}

void TTrayIcon::setHint(const QString &hint)
{
    m_icon->setToolTip(hint);
}

bool TTrayIcon::isVisible() const
{
    return m_icon->isVisible();
}

void TTrayIcon::setVisible(bool visible)
{
    if (visible == m_icon->isVisible())
        return;
    if (visible) {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            throw Exception(QString::fromLatin1(CreateErrorText));
        m_icon->show();
    } else {
        // Qt's removal cannot fail: a vanished tray has taken the icon
        // with it. RemoveErrorText stays for callers that show it.
        m_icon->hide();
    }
}

QRect TTrayIcon::geometry() const
{
    return m_icon->isVisible() ? m_icon->geometry() : QRect();
}

void TTrayIcon::handleMessage(TTrayIconMessage message)
{
    if (message == TTrayIconMessage::imNone)
        return;
    if (message == m_popupMenuOn)
        popUp();
    if (message == m_restoreOn)
        restoreApplication();
}

void TTrayIcon::popUp()
{
    if (QWidget *active = QApplication::activeWindow()) {
        active->raise();
        active->activateWindow();
    }
    if (m_popupMenu)
        m_popupMenu->popup(QCursor::pos());
}

void TTrayIcon::restoreApplication()
{
    // Bring back what is minimised and bring the program forward; a window
    // that was hidden stays hidden: that is for the handler of restored().
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->isVisible() && window->isMinimized())
            window->showNormal();
    }
    if (QWidget *active = QApplication::activeWindow())
        active->raise();
    emit restored();
}

bool TTrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease
         && type != QEvent::MouseButtonDblClick)
        || !isX11TrayWidget(watched) || !m_icon->isVisible())
        return QObject::eventFilter(watched, event);

    const auto *mouse = static_cast<QMouseEvent *>(event);
    const Qt::MouseButton button = mouse->button();
    QList<TTrayIconMessage> messages;
    if (type == QEvent::MouseButtonPress) {
        messages << TTrayIconMessage::imMouseDown;
    } else if (type == QEvent::MouseButtonRelease) {
        messages << TTrayIconMessage::imMouseUp << TTrayIconMessage::imClick;
        if (button == Qt::LeftButton)
            messages << TTrayIconMessage::imLeftClickUp;
        else if (button == Qt::RightButton)
            messages << TTrayIconMessage::imRightClickUp;
    } else {
        messages << TTrayIconMessage::imDoubleClick;
        if (button == Qt::LeftButton)
            messages << TTrayIconMessage::imLeftDoubleClick;
        else if (button == Qt::RightButton)
            messages << TTrayIconMessage::imRightDoubleClick;
    }
    for (TTrayIconMessage message : messages)
        handleMessage(message);
    return true;
}
