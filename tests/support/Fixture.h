// Shared steps for driving the real main window in tests.
#pragma once

#include <QList>
#include <QString>

#include <functional>

class QAction;
class QToolButton;
class QWidget;

namespace Fixture {

// Creates F_Main (on siteBase) and F_AB as the program does, shows the main
// window and waits until it is exposed. destroyWindows() undoes it.
bool createWindows(const QString &siteBase);
void destroyWindows();

// Presses button with the mouse and, once its menu is up, clicks the items
// of path in turn with the mouse; an item with a submenu opens the next
// menu. Returns when the last item has been clicked.
bool chooseFromMenu(QToolButton *button, const QList<QAction *> &path);

// Runs action, which must make the program's error box come up; returns the
// box's text and closes it. Empty when no box came up within the timeout.
QString errorBoxText(const std::function<void()> &action, int timeoutMs = 5000);

// A folder with a stand-in program that records its arguments, one per
// line, into the file recordFile(); put the folder first on PATH.
QString makeRecordingProgram(const QString &dir, const QString &name);
QString recordFile(const QString &dir);

// Waits until a notification-area host owns the display's tray selection;
// false when none did within timeoutMs or the platform is not X11.
bool waitForTrayHost(int timeoutMs = 30000);
inline constexpr const char *NoTrayHostText =
    "no notification-area host on this display: nothing owns _NET_SYSTEM_TRAY_S0";

} // namespace Fixture
