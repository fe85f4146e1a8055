// The real program, as a separate process on a real X server with a window
// manager and a tray host, seen and driven from outside: what the desktop
// calls it, where it is, what the screen shows, and how it ends.

#include "support/Fixture.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "support/HttpRecorder.h"
#include "support/XDesktop.h"

namespace {

using namespace XDesktop;

QColor screenPixel(const QPoint &at)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
}

int trayChildren()
{
    // Windows docked in trayer's panel.
    const QString tree = run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    const int panel = tree.indexOf(QStringLiteral("\"panel\": (\"panel\" \"trayer\")"));
    if (panel < 0)
        return -1;
    const QRegularExpression children(QStringLiteral("(\\d+) child"));
    const QRegularExpressionMatch m = children.match(tree, panel);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowAsTheDesktopSeesIt();
    void trayExitEndsTheProgram();
    void nativeWindowKeptWhenTheFirstPageOpens();
    void secondCopyBringsTheFirstForward();

private:
    bool startProgram(QProcess *program, const QStringList &arguments = {}, const QString &dataHome = {});
    bool startProgram() { return startProgram(m_program); }
    QList<QProcess *> m_programs;
    QProcess *m_program = nullptr;
    QTemporaryDir *m_data = nullptr;
    XWindow m_main;
};

void TestDesktop::init()
{
    // The program's data folder is the test's own, never the user's.
    m_data = new QTemporaryDir;
    QVERIFY(m_data->isValid());
    m_program = new QProcess;
    m_programs = {m_program};
}

void TestDesktop::cleanup()
{
    for (QProcess *program : std::as_const(m_programs)) {
        if (program->state() != QProcess::NotRunning) {
            program->kill();
            program->waitForFinished(10000);
        }
        delete program;
    }
    m_programs.clear();
    delete m_data;
}

// Starts program (the real one unless arguments name another) and waits
// until its main window is mapped and the window manager has taken it.
bool TestDesktop::startProgram(QProcess *program, const QStringList &arguments, const QString &dataHome)
{
    program->setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.isEmpty() ? m_data->path() : dataHome);
    program->setProcessEnvironment(env);
    if (arguments.isEmpty())
        program->start(QStringLiteral(QCY_PROGRAM), {});
    else
        program->start(arguments.first(), arguments.mid(1));
    if (!program->waitForStarted(30000))
        return false;
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 30000 && program->state() == QProcess::Running) {
        for (const XWindow &w : visibleWindows(program->processId())) {
            const QString state = run(QStringLiteral("xprop"), {QStringLiteral("-id"), w.id, QStringLiteral("WM_STATE")});
            // Managed, and painted: the title bar's gradient is on the screen.
            if (w.geometry.size() == QSize(671, 446) && state.contains(QStringLiteral("Normal"))
                && screenPixel(w.geometry.topLeft() + QPoint(336, 27)).green() > 240) {
                m_main = w;
                return true;
            }
        }
        QTest::qWait(50);
    }
    return false;
}

void TestDesktop::windowAsTheDesktopSeesIt()
{
    QVERIFY(startProgram());
    const QRect w = m_main.geometry;
    const QString names = run(QStringLiteral("xprop"), {QStringLiteral("-id"), m_main.id,
                                                        QStringLiteral("_NET_WM_NAME"), QStringLiteral("WM_CLASS")});
    QVERIFY2(names.contains(QStringLiteral("_NET_WM_NAME(UTF8_STRING) = \"晴川叶--轻松学英语\"")), qPrintable(names));
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(w.topLeft(), QPoint((desktop.width() - 671) / 2, (desktop.height() - 446) / 2));

    // Rounded: the bottom corners show the desktop behind, a few pixels in
    // it is the window's white.
    const QColor desk = screenPixel(QPoint(2, 2));
    QCOMPARE(screenPixel(w.bottomLeft()), desk);
    QCOMPARE(screenPixel(w.bottomRight()), desk);
    QCOMPARE(screenPixel(w.bottomLeft() + QPoint(5, 0)), QColor(Qt::white));
    QCOMPARE(screenPixel(w.bottomRight() - QPoint(5, 0)), QColor(Qt::white));
    // The title bar's gradient: black at the edges, green in the middle.
    const QColor middle = screenPixel(w.topLeft() + QPoint(336, 27));
    QVERIFY2(middle.green() > 240 && middle.red() < 10 && middle.blue() < 10, qPrintable(middle.name()));
    const QColor quarter = screenPixel(w.topLeft() + QPoint(168, 27));
    QVERIFY2(quarter.green() > 100 && quarter.green() < 150, qPrintable(quarter.name()));
    QVERIFY(screenPixel(w.topLeft() + QPoint(1, 27)).green() < 5);

    // The game menu drops down below its button, on the screen.
    click(w.topLeft() + QPoint(50, 42));
    // A popup is mapped first and placed a moment later: wait for the place.
    QRect popup;
    QTRY_COMPARE_WITH_TIMEOUT([&] {
        popup = QRect();
        for (const XWindow &x : visibleWindows(m_program->processId()))
            if (x.id != m_main.id)
                popup = x.geometry;
        return popup.topLeft();
    }(), w.topLeft() + QPoint(8, 55), 30000);
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    QTRY_COMPARE_WITH_TIMEOUT(visibleWindows(m_program->processId()).size(), 1, 30000);

    // The title bar's close button ends the program.
    click(w.topLeft() + QPoint(656, 14));
    QVERIFY(m_program->waitForFinished(10000));
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);
}

void TestDesktop::trayExitEndsTheProgram()
{
    QVERIFY2(Fixture::waitForTrayHost(), Fixture::NoTrayHostText);
    const int before = trayChildren();
    QVERIFY2(before >= 0, "no trayer panel on this display");
    QVERIFY(startProgram());
    const QRect w = m_main.geometry;

    click(w.topLeft() + QPoint(609, 14));
    XWindow icon;
    QTRY_VERIFY_WITH_TIMEOUT([&] {
        const QList<XWindow> windows = visibleWindows(m_program->processId());
        icon = XWindow();
        for (const XWindow &x : windows)
            if (x.geometry.width() <= 32 && x.geometry.height() <= 32)
                icon = x;
        return windows.size() == 1 && !icon.id.isEmpty();
    }(), 5000);
    // The main window is gone from the screen; the icon sits in the tray.
    QCOMPARE(trayChildren(), before + 1);

    click(icon.geometry.center(), 3);
    XWindow menu;
    QTRY_VERIFY_WITH_TIMEOUT([&] {
        for (const XWindow &x : visibleWindows(m_program->processId()))
            if (x.id != icon.id)
                menu = x;
        return !menu.id.isEmpty();
    }(), 5000);
    // "退出" is the second of the two items.
    click(QPoint(menu.geometry.center().x(), menu.geometry.top() + menu.geometry.height() * 3 / 4));
    QVERIFY(m_program->waitForFinished(10000));
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(trayChildren(), before, 5000);
}

void TestDesktop::nativeWindowKeptWhenTheFirstPageOpens()
{
    // The main window as the program makes it, on a site served here.
    HttpRecorder site;
    QVERIFY(site.start());
    QVERIFY(startProgram(m_program, {QStringLiteral(QCY_EXIT_HELPER), site.baseUrl()}));
    const XWindow before = m_main;
    const QPoint inPanel = before.geometry.topLeft() + QPoint(336, 250);
    QVERIFY(screenPixel(inPanel) != QColor(Qt::white));
    // The window's own parts, drawn again once the page is composited in.
    const QList<QPoint> chrome = {before.geometry.topLeft() + QPoint(450, 4),
                                  before.geometry.topLeft() + QPoint(660, 40)};
    QList<QColor> chromeBefore;
    for (const QPoint &at : chrome)
        chromeBefore << screenPixel(at);

    m_program->write("link\n");
    QTRY_COMPARE_WITH_TIMEOUT(site.count(QStringLiteral("GET /llk/")), 1, 30000);
    // The page is on the screen: white where the entry picture was.
    QTRY_COMPARE_WITH_TIMEOUT(screenPixel(inPanel), QColor(Qt::white), 30000);
    for (int i = 0; i < chrome.size(); ++i)
        QCOMPARE(screenPixel(chrome.at(i)), chromeBefore.at(i));

    // Still the same X window, the only main window the program has.
    QList<XWindow> mains;
    for (const XWindow &w : visibleWindows(m_program->processId()))
        if (w.geometry.size() == QSize(671, 446))
            mains << w;
    QCOMPARE(mains.size(), 1);
    QCOMPARE(mains.first().id, before.id);
    m_program->write("exit\n");
    QVERIFY(m_program->waitForFinished(30000));
    QCOMPARE(m_program->exitCode(), 0);
}

void TestDesktop::secondCopyBringsTheFirstForward()
{
    QVERIFY2(Fixture::waitForTrayHost(), Fixture::NoTrayHostText);
    QVERIFY(startProgram());
    const XWindow first = m_main;
    // Put away in the notification area.
    click(first.geometry.topLeft() + QPoint(609, 14));
    QTRY_VERIFY_WITH_TIMEOUT([&] {
        for (const XWindow &w : visibleWindows(m_program->processId()))
            if (w.id == first.id)
                return false;
        return true;
    }(), 30000);

    // A second start on the same data folder shows no window of its own,
    // ends, and brings the first one back.
    auto *second = new QProcess;
    m_programs << second;
    second->setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_data->path());
    second->setProcessEnvironment(env);
    second->start(QStringLiteral(QCY_PROGRAM), {});
    QVERIFY(second->waitForStarted(30000));
    const qint64 secondPid = second->processId();
    QElapsedTimer wait;
    wait.start();
    while (second->state() != QProcess::NotRunning && wait.elapsed() < 30000) {
        QVERIFY(visibleWindows(secondPid).isEmpty());
        second->waitForFinished(50);
    }
    QCOMPARE(second->state(), QProcess::NotRunning);
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT([&] {
        for (const XWindow &w : visibleWindows(m_program->processId()))
            if (w.id == first.id)
                return true;
        return false;
    }(), 30000);
    QCOMPARE(m_program->state(), QProcess::Running);

    // On another data folder, another copy is a program of its own.
    QTemporaryDir otherData;
    auto *other = new QProcess;
    m_programs << other;
    QVERIFY(startProgram(other, {}, otherData.path()));
    QVERIFY(m_main.id != first.id);
    QCOMPARE(m_program->state(), QProcess::Running);
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
