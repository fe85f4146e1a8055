#include "Fixture.h"

#include "about/U_AB.h"
#include "shell/U_Main.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

namespace Fixture {

bool createWindows(const QString &siteBase)
{
    new TF_Main(siteBase);
    F_Main->show();
    return QTest::qWaitForWindowExposed(F_Main);
}

void destroyWindows()
{
    delete F_AB;
    delete F_Main;
    QCoreApplication::processEvents();
}

bool chooseFromMenu(QToolButton *button, const QList<QAction *> &path)
{
    int step = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || step >= path.size() || !menu->actions().contains(path[step]))
            return;
        QAction *action = path[step++];
        if (step == path.size())
            timer.stop();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    });
    timer.start();
    // The press opens the menu, whose loop runs until the last click.
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
    QElapsedTimer wait;
    wait.start();
    while ((step < path.size() || QApplication::activePopupWidget()) && wait.elapsed() < 5000)
        QTest::qWait(20);
    return step == path.size();
}

QString errorBoxText(const std::function<void()> &action, int timeoutMs)
{
    QString text;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const QWidgetList widgets = QApplication::topLevelWidgets();
        for (QWidget *widget : widgets) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (box && box->isVisible() && box->objectName() == QLatin1String("TApplicationErrorBox")) {
                text = box->text();
                box->accept();
                timer.stop();
            }
        }
    });
    timer.start();
    action();
    QElapsedTimer wait;
    wait.start();
    while (text.isEmpty() && wait.elapsed() < timeoutMs)
        QTest::qWait(20);
    return text;
}

QString makeRecordingProgram(const QString &dir, const QString &name)
{
    const QString path = QDir(dir).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> \"" + recordFile(dir).toUtf8()
               + "\"\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString recordFile(const QString &dir)
{
    return QDir(dir).filePath(QStringLiteral("recorded-arguments"));
}

bool waitForTrayHost(int timeoutMs)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const QByteArray name = "_NET_SYSTEM_TRAY_S0";
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom)
        return false;
    auto owned = [&] {
        xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
        const bool result = owner && owner->owner != XCB_NONE;
        free(owner);
        return result;
    };
    QElapsedTimer wait;
    wait.start();
    bool found = owned();
    while (!found && wait.elapsed() < timeoutMs) {
        QTest::qWait(50);
        found = owned();
    }
    free(atom);
    return found;
}

} // namespace Fixture
