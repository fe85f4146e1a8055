// The real program, as a separate process on a real X server with a window
// manager and a tray host, seen and driven from outside: what the desktop
// calls it, where it is, what the screen shows, and how it ends.

#include "support/Fixture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString xdotool(const QStringList &arguments) { return run(QStringLiteral("xdotool"), arguments); }

void click(const QPoint &at, int button = 1)
{
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
    QTest::qWait(150);
    xdotool({QStringLiteral("click"), QString::number(button)});
}

struct XWindow
{
    QString id;
    QRect geometry;
};

// The program's mapped windows, from the X server.
QList<XWindow> visibleWindows(qint64 pid)
{
    QList<XWindow> windows;
    const QStringList ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--pid"), QString::number(pid)})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &id : ids) {
        const QString shell = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
        auto value = [&](const char *key) {
            const QRegularExpression re(QStringLiteral("%1=(-?\\d+)").arg(QLatin1String(key)));
            return re.match(shell).captured(1).toInt();
        };
        windows << XWindow{id, QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"))};
    }
    return windows;
}

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

private:
    bool startProgram();
    QProcess *m_program = nullptr;
    XWindow m_main;
};

void TestDesktop::init()
{
    m_program = new QProcess;
    m_program->setProcessChannelMode(QProcess::ForwardedChannels);
}

void TestDesktop::cleanup()
{
    if (m_program->state() != QProcess::NotRunning) {
        m_program->kill();
        m_program->waitForFinished(5000);
    }
    delete m_program;
}

bool TestDesktop::startProgram()
{
    m_program->start(QStringLiteral(QCY_PROGRAM), {});
    if (!m_program->waitForStarted())
        return false;
    for (int i = 0; i < 200; ++i) {
        const QList<XWindow> windows = visibleWindows(m_program->processId());
        for (const XWindow &w : windows) {
            if (w.geometry.size() == QSize(671, 446)) {
                m_main = w;
                QTest::qWait(500);
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
    QRect popup;
    QTRY_VERIFY_WITH_TIMEOUT([&] {
        for (const XWindow &x : visibleWindows(m_program->processId()))
            if (x.id != m_main.id)
                popup = x.geometry;
        return popup.isValid();
    }(), 5000);
    QCOMPARE(popup.topLeft(), w.topLeft() + QPoint(8, 55));
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    QTest::qWait(300);

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

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
