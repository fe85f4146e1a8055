// Hiding to the notification area and coming back. On X11 the test script
// runs a real tray host (trayer) and the icon must dock there; on the
// offscreen platform there is no notification area at all.

#include "support/Fixture.h"
#include "support/TestMain.h"

#include "chrome/U_Top_Frame.h"
#include "platform/TrayIcon.h"
#include "shell/U_Main.h"

#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QToolButton>

namespace {

bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// Real pointer events through the X server, as a user's mouse makes them.
void xdotool(const QStringList &arguments)
{
    QProcess::execute(QStringLiteral("xdotool"), arguments);
}

void pointAt(const QPoint &global)
{
    xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())});
}

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(Fixture::createWindows(QStringLiteral("http://127.0.0.1:8470/"))); }
    void cleanup() { Fixture::destroyWindows(); }

    void trayMenu();
    void minimiseWithoutNotificationArea();
    void minimiseAndRestore_data();
    void minimiseAndRestore();
};

void TestTray::trayMenu()
{
    TF_Top_Frame *bar = F_Main->F_Top;
    const QList<QAction *> items = bar->PM_TI->actions();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0], bar->PM_N_Restory);
    QCOMPARE(items[0]->text(), QStringLiteral("恢复"));
    QCOMPARE(items[1], bar->PM_N_Exit);
    QCOMPARE(items[1]->text(), QStringLiteral("退出"));
    QCOMPARE(bar->TI_Hide->popupMenu(), bar->PM_TI);
    QCOMPARE(bar->TI_Hide->popupMenuOn(), TTrayIconMessage::imRightClickUp);
    QCOMPARE(bar->TI_Hide->restoreOn(), TTrayIconMessage::imDoubleClick);
    QVERIFY(bar->TI_Hide->hide());
    QVERIFY(!bar->TI_Hide->isVisible());
}

void TestTray::minimiseWithoutNotificationArea()
{
    if (onX11())
        QSKIP("the X11 run has a notification area; the offscreen run covers this");
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    const QString text = Fixture::errorBoxText([] {
        QTest::mouseClick(F_Main->F_Top->SB_Min, Qt::LeftButton);
    });
    QCOMPARE(text, QStringLiteral("Cannot Create System Shell Notification Icon"));
    // Never left invisible with nothing to bring it back.
    QVERIFY(F_Main->isVisible());
    QVERIFY(!F_Main->F_Top->TI_Hide->isVisible());
    QCOMPARE(F_Main->mask().boundingRect(), QRect(QPoint(0, 0), F_Main->size()));
}

void TestTray::minimiseAndRestore_data()
{
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<bool>("byDoubleClick");
    QTest::newRow("normal, 恢复") << false << false;
    QTest::newRow("maximised, 恢复") << true << false;
    QTest::newRow("normal, double-click") << false << true;
}

void TestTray::minimiseAndRestore()
{
    if (!onX11())
        QSKIP("needs the X11 run's notification area");
    QFETCH(bool, maximised);
    QFETCH(bool, byDoubleClick);
    QVERIFY2(Fixture::waitForTrayHost(), Fixture::NoTrayHostText);
    QTRY_VERIFY2_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), Fixture::NoTrayHostText, 30000);
    TF_Top_Frame *bar = F_Main->F_Top;
    if (maximised) {
        QTest::mouseClick(bar->SB_Max, Qt::LeftButton);
        QCOMPARE(F_Main->formWindowState(), TWindowState::wsMaximized);
    }
    const QSize size = F_Main->size();

    QTest::mouseClick(bar->SB_Min, Qt::LeftButton);
    QVERIFY(!F_Main->isVisible());
    QVERIFY(bar->TI_Hide->isVisible());
    // Docked: the host gave the icon its place on the screen.
    // Docked: the host took the icon in and gave it its place on the screen
    // (until then it is a small window of its own at the origin).
    QTRY_VERIFY_WITH_TIMEOUT(!bar->TI_Hide->geometry().isEmpty()
                                 && bar->TI_Hide->geometry().topLeft() != QPoint(0, 0), 5000);
    QTest::qWait(200);
    const QPoint icon = bar->TI_Hide->geometry().center();
    QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(icon));
    pointAt(icon);

    if (byDoubleClick) {
        xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                 QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")});
    } else {
        xdotool({QStringLiteral("click"), QStringLiteral("3")});
        // The menu opens where the right button came up (moved just enough
        // to stay on the screen).
        QTRY_VERIFY(bar->PM_TI->isVisible());
        const QRect menu = bar->PM_TI->geometry();
        const int dx = qMax(0, qMax(menu.left() - icon.x(), icon.x() - menu.right()));
        const int dy = qMax(0, qMax(menu.top() - icon.y(), icon.y() - menu.bottom()));
        QVERIFY2(dx + dy < 30, qPrintable(QStringLiteral("menu %1,%2 %3x%4").arg(menu.x()).arg(menu.y())
                                               .arg(menu.width()).arg(menu.height())));
        QTest::mouseClick(bar->PM_TI, Qt::LeftButton, {},
                          bar->PM_TI->actionGeometry(bar->PM_N_Restory).center());
    }

    QTRY_VERIFY(F_Main->isVisible());
    QVERIFY(!bar->TI_Hide->isVisible());
    QTRY_COMPARE(F_Main->size(), size);
    QCOMPARE(F_Main->formWindowState(), maximised ? TWindowState::wsMaximized : TWindowState::wsNormal);
    QCOMPARE(F_Main->mask().boundingRect(), QRect(QPoint(0, 0), size));
    QVERIFY(!F_Main->mask().contains(QPoint(size.width() - 1, 0)));
}

QCY_TEST_MAIN(TestTray)
#include "tst_tray.moc"
