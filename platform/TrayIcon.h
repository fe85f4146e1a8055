// An icon in the desktop's notification area, with a popup menu and a
// restore action bound to chosen mouse gestures.
#pragma once

#include <QObject>
#include <QPointer>

class QMenu;
class QSystemTrayIcon;
class TImageList;

enum class TTrayIconMessage {
    imClick,
    imDoubleClick,
    imMouseDown,
    imMouseUp,
    imLeftClickUp,
    imLeftDoubleClick,
    imRightClickUp,
    imRightDoubleClick,
    imNone,
};

class TTrayIcon : public QObject
{
    Q_OBJECT

public:
    static const char *const CreateErrorText;
    static const char *const RemoveErrorText;

    explicit TTrayIcon(QObject *parent = nullptr);
    ~TTrayIcon() override;

    void setIcons(const TImageList *icons, int index = 0);
    void setPopupMenu(QMenu *menu);
    QMenu *popupMenu() const;
    // Whether the application leaves the task bar while only the icon
    // shows. On the desktops we run on a hidden window has no task-bar
    // entry of its own, so nothing more is needed to honour it.
    void setHide(bool hide) { m_hide = hide; }
    bool hide() const { return m_hide; }
    void setRestoreOn(TTrayIconMessage message) { m_restoreOn = message; }
    TTrayIconMessage restoreOn() const { return m_restoreOn; }
    void setPopupMenuOn(TTrayIconMessage message) { m_popupMenuOn = message; }
    TTrayIconMessage popupMenuOn() const { return m_popupMenuOn; }
    void setHint(const QString &hint);

    bool isVisible() const;
    // Adds the icon to the notification area or removes it. Raises
    // Exception(CreateErrorText) where no notification area takes it.
    void setVisible(bool visible);

    // Where the icon sits on the screen, empty while it is not docked.
    QRect geometry() const;

    // What a mouse gesture on the icon does: pops up the menu and runs the
    // restore action when they are bound to it.
    void handleMessage(TTrayIconMessage message);

signals:
    // The restore action ran: the program's windows were brought forward.
    void restored();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void popUp();
    void restoreApplication();

    QSystemTrayIcon *m_icon;
    QPointer<QMenu> m_popupMenu;
    bool m_hide = false;
    TTrayIconMessage m_restoreOn = TTrayIconMessage::imNone;
    TTrayIconMessage m_popupMenuOn = TTrayIconMessage::imNone;
};
