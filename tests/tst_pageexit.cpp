// A page that will not let go, an alert() loop or a beforeunload handler,
// cannot keep the user from ending the program: the main window in a
// process of its own on a real X server, its close button, Help → 退出
// and the tray's 退出 clicked with the real pointer.

#include "support/HttpRecorder.h"
#include "support/XDesktop.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

namespace {

using namespace XDesktop;

// A window of the program that was not there before.
XWindow newWindow(qint64 pid, const QList<XWindow> &before)
{
    for (const XWindow &w : visibleWindows(pid)) {
        bool known = false;
        for (const XWindow &b : before)
            known = known || b.id == w.id;
        if (!known)
            return w;
    }
    return {};
}

const QByteArray AlertLoop =
    "<!doctype html><meta charset=utf-8><title>loop</title><body>"
    "<script>onload = () => { fetch('loaded'); for (;;) alert('再来一次'); };</script>";

const QByteArray HoldOnLeave =
    "<!doctype html><meta charset=utf-8><title>hold</title>"
    "<body style='margin:0;height:100vh' onclick=\"fetch('clicked')\">"
    "<script>addEventListener('beforeunload', e => { e.preventDefault(); e.returnValue = 'stay'; });"
    "onload = () => fetch('loaded');</script>";

} // namespace

class TestPageExit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pageCannotStopTheExit_data();
    void pageCannotStopTheExit();

private:
    HttpRecorder *m_server = nullptr;
    QProcess *m_program = nullptr;
};

void TestPageExit::init()
{
    m_server = new HttpRecorder;
    QVERIFY(m_server->start());
    m_program = new QProcess;
    m_program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

void TestPageExit::cleanup()
{
    if (m_program->state() != QProcess::NotRunning) {
        m_program->kill();
        m_program->waitForFinished(5000);
    }
    delete m_program;
    delete m_server;
}

void TestPageExit::pageCannotStopTheExit_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("exit");
    const std::pair<const char *, const char *> exits[] = {
        {"close", "close button"}, {"help", "Help → 退出"}, {"tray", "tray → 退出"}};
    for (const auto &[exit, name] : exits) {
        QTest::addRow("alert loop, %s", name) << AlertLoop << QString::fromLatin1(exit);
        QTest::addRow("beforeunload, %s", name) << HoldOnLeave << QString::fromLatin1(exit);
    }
}

void TestPageExit::pageCannotStopTheExit()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, exit);
    m_server->setPage(QStringLiteral("/llk/"), page);

    m_program->start(QStringLiteral(QCY_EXIT_HELPER), {m_server->baseUrl()});
    QVERIFY(m_program->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_program->canReadLine() || m_program->waitForReadyRead(50), 30000);
    QCOMPARE(m_program->readLine().trimmed(), QByteArray("ready"));
    const qint64 pid = m_program->processId();
    XWindow main;
    QTRY_VERIFY_WITH_TIMEOUT([&] {
        for (const XWindow &w : visibleWindows(pid))
            if (w.geometry.size() == QSize(671, 446))
                main = w;
        return !main.id.isEmpty();
    }(), 30000);

    m_program->write("link\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_server->count(QStringLiteral("GET /llk/loaded")), 1, 30000);
    if (page == AlertLoop) {
        // The page's box is up, and comes back each time it is closed.
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindows(pid).size() >= 2, 30000);
    } else {
        // The handler only holds a page the user has touched. The first
        // clicks may come before the view takes input: click until one counts.
        QElapsedTimer touching;
        touching.start();
        while (m_server->count(QStringLiteral("GET /llk/clicked")) == 0 && touching.elapsed() < 30000) {
            click(main.geometry.topLeft() + QPoint(300, 250));
            if (QTest::qWaitFor([&] { return m_server->count(QStringLiteral("GET /llk/clicked")) > 0; }, 2000))
                break;
        }
        QVERIFY2(m_server->count(QStringLiteral("GET /llk/clicked")) > 0,
                 qPrintable(m_server->requests().join(QLatin1Char(' '))));
    }

    const QPoint origin = main.geometry.topLeft();
    if (exit == QLatin1String("close")) {
        click(origin + QPoint(656, 14));
    } else if (exit == QLatin1String("help")) {
        const QList<XWindow> before = visibleWindows(pid);
        click(origin + QPoint(251, 42));
        XWindow menu;
        QTRY_VERIFY_WITH_TIMEOUT(!(menu = newWindow(pid, before)).id.isEmpty(), 10000);
        QCOMPARE(menu.geometry.topLeft(), origin + QPoint(206, 55));
        // "退出" is the last item.
        click(QPoint(menu.geometry.center().x(), menu.geometry.bottom() - 10));
    } else {
        click(origin + QPoint(609, 14));
        XWindow icon;
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            icon = XWindow();
            for (const XWindow &w : visibleWindows(pid))
                if (w.geometry.width() <= 32 && w.geometry.height() <= 32 && w.geometry.topLeft() != QPoint(0, 0))
                    icon = w;
            return !icon.id.isEmpty();
        }(), 10000);
        // The icon may still be on its way into the tray host's panel when
        // first seen: right-click where it is now until its menu comes up.
        XWindow menu;
        QElapsedTimer opening;
        opening.start();
        while (menu.id.isEmpty() && opening.elapsed() < 30000) {
            const QList<XWindow> before = visibleWindows(pid);
            for (const XWindow &w : before)
                if (w.id == icon.id)
                    icon = w;
            click(icon.geometry.center(), 3);
            if (QTest::qWaitFor([&] { return !(menu = newWindow(pid, before)).id.isEmpty(); }, 3000))
                break;
        }
        QVERIFY2(!menu.id.isEmpty(), "the tray icon's menu did not come up");
        // "退出" is the second of the two items.
        click(QPoint(menu.geometry.center().x(), menu.geometry.top() + menu.geometry.height() * 3 / 4));
    }
    QVERIFY2(m_program->waitForFinished(15000), "the program is still running");
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);
}

QTEST_MAIN(TestPageExit)
#include "tst_pageexit.moc"
