// The bundled site starts by itself when the first page opens, is left
// alone when something already answers, reports in Chinese when it cannot
// start, and ends with the program; and what a page stores lasts from one
// run of the program to the next.

#include "support/Fixture.h"
#include "support/PageScript.h"
#include "support/HttpRecorder.h"
#include "support/TestMain.h"

#include "about/U_AB.h"
#include "platform/SiteServer.h"
#include "platform/WebBrowser.h"
#include "shell/U_Main.h"
#include "shell/U_Menu.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port nobody listens on now: the system's choice for a listener that is
// closed again at once.
int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString localBase(int port) { return QStringLiteral("http://127.0.0.1:%1/").arg(port); }

bool processExists(qint64 pid) { return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)); }

// The processes pid started, from the kernel's list of its threads' children.
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task + QStringLiteral("/children")));
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray &child : file.readAll().split(' '))
                if (child.trimmed().toLongLong() > 0)
                    children << child.trimmed().toLongLong();
    }
    return children;
}

QString commandLine(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll().replace('\0', ' ')) : QString();
}

// The program's main window in a process of its own, on a site address
// and a data folder of the test's choosing.
class Program : public QProcess
{
public:
    Program(const QString &siteBase, const QString &dataHome)
    {
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        setProcessEnvironment(env);
        start(QStringLiteral(QCY_EXIT_HELPER), {siteBase});
    }
    ~Program() override
    {
        if (state() != NotRunning) {
            kill();
            waitForFinished(10000);
        }
    }
    bool ready()
    {
        if (!waitForStarted(30000))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (!canReadLine() && timer.elapsed() < 30000)
            waitForReadyRead(100);
        return readLine().trimmed() == "ready";
    }
    bool endNormally()
    {
        write("exit\n");
        return waitForFinished(30000) && exitStatus() == NormalExit && exitCode() == 0;
    }
};

} // namespace

class TestSiteStart : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Fixture::destroyWindows(); }

    void startsTheBundledSiteWhenNothingAnswers();
    void usesWhatAlreadyAnswers();
    void cannotStart_data();
    void cannotStart();
    void startedSiteEndsWithTheProgram_data();
    void startedSiteEndsWithTheProgram();
    void storedValuesLastAcrossRestarts();
};

void TestSiteStart::startsTheBundledSiteWhenNothingAnswers()
{
    const int port = freePort();
    QVERIFY(port > 0);
    QVERIFY(!TSiteServer::answers(QStringLiteral("127.0.0.1"), port));
    QVERIFY(Fixture::createWindows(localBase(port)));
    QCOMPARE(F_Main->siteServer()->processId(), 0);

    TFrame_Menu *menu = F_Main->Frame_M_Top;
    QVERIFY(Fixture::chooseFromMenu(menu->ToolButton2, {menu->N_ZD}));
    const qint64 server = F_Main->siteServer()->processId();
    QVERIFY(server > 0);
    QVERIFY2(commandLine(server).contains(QStringLiteral("qingchuanye-site --bind 127.0.0.1 --port %1").arg(port)),
             qPrintable(commandLine(server)));
    // The real dictionary page, from the bundled site, with its data.
    auto *view = qobject_cast<QWebEngineView *>(F_Main->WB_Web->view());
    QVERIFY(view);
    QTRY_COMPARE_WITH_TIMEOUT(PageScript::run(view->page(), QStringLiteral("document.documentElement.dataset.state")).toString(),
                              QStringLiteral("ready"), 30000);
    QCOMPARE(view->url().toString(), localBase(port) + QStringLiteral("search.php"));

    // Later pages use the same server.
    QVERIFY(Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link}));
    QCOMPARE(F_Main->siteServer()->processId(), server);
    QTRY_COMPARE_WITH_TIMEOUT(view->url().toString(), localBase(port) + QStringLiteral("llk/"), 30000);

    // The window goes, and the server with it.
    Fixture::destroyWindows();
    QVERIFY(!processExists(server));
    QVERIFY(!TSiteServer::answers(QStringLiteral("127.0.0.1"), port));
}

void TestSiteStart::usesWhatAlreadyAnswers()
{
    // Something that is not our site at all: it is what the address names,
    // so it is used as it is.
    HttpRecorder other;
    QVERIFY(other.start());
    QVERIFY(Fixture::createWindows(other.baseUrl()));
    TFrame_Menu *menu = F_Main->Frame_M_Top;
    QVERIFY(Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link}));
    QTRY_COMPARE_WITH_TIMEOUT(other.count(QStringLiteral("GET /llk/")), 1, 30000);
    QCOMPARE(F_Main->siteServer()->processId(), 0);
    QVERIFY(childrenOf(QCoreApplication::applicationPid()).isEmpty()
            || !commandLine(childrenOf(QCoreApplication::applicationPid()).first()).contains(QStringLiteral("qingchuanye-site")));

    // An address elsewhere is never served from here.
    TSiteServer remote(QStringLiteral("http://learn.example.org/"));
    QVERIFY(!remote.isLocal());
    remote.ensureRunning();
    QCOMPARE(remote.processId(), 0);
}

void TestSiteStart::cannotStart_data()
{
    QTest::addColumn<bool>("missingProgram");
    QTest::addColumn<QString>("expected");
    QTest::newRow("site program missing") << true << QStringLiteral("找不到网站程序 qingchuanye-site");
    QTest::newRow("port held by another program") << false << QStringLiteral("已被另一个程序占用");
}

void TestSiteStart::cannotStart()
{
    QFETCH(bool, missingProgram);
    QFETCH(QString, expected);
    const int port = freePort();
    QVERIFY(port > 0);

    // A program that holds the port without serving it: nothing answers,
    // and the site cannot listen there either.
    const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(holder >= 0);
    auto closeHolder = qScopeGuard([holder] { ::close(holder); });
    if (!missingProgram) {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::bind(holder, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    }

    QVERIFY(Fixture::createWindows(localBase(port)));
    QTemporaryDir empty;
    if (missingProgram)
        F_Main->siteServer()->setProgramCandidates({empty.filePath(QStringLiteral("qingchuanye-site"))});
    TFrame_Menu *menu = F_Main->Frame_M_Top;
    const QString text = Fixture::errorBoxText([menu] {
        Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link});
    }, 60000);
    QVERIFY2(text.contains(expected), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("无法")), qPrintable(text));
    QCOMPARE(F_Main->siteServer()->processId(), 0);

    // The program goes on: the next command runs (and meets the same
    // trouble), the About box still opens.
    const QString again = Fixture::errorBoxText([menu] {
        Fixture::chooseFromMenu(menu->ToolButton2, {menu->N_ZD});
    }, 60000);
    QVERIFY2(again.contains(expected), qPrintable(again));
    QVERIFY(F_Main->isVisible());
    QVERIFY(Fixture::chooseFromMenu(menu->TB_Help, {menu->N_AB}));
    QTRY_VERIFY(F_AB && F_AB->isVisible());
    F_AB->close();
    QTRY_VERIFY(F_Main->isEnabled());
}

void TestSiteStart::startedSiteEndsWithTheProgram_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("help, exit") << false;
    QTest::newRow("killed") << true;
}

void TestSiteStart::startedSiteEndsWithTheProgram()
{
    QFETCH(bool, killed);
    QTemporaryDir data;
    const int port = freePort();
    QVERIFY(port > 0);
    Program program(localBase(port), data.path());
    QVERIFY(program.ready());
    program.write("link\n");
    QTRY_VERIFY_WITH_TIMEOUT(TSiteServer::answers(QStringLiteral("127.0.0.1"), port), 30000);
    qint64 server = 0;
    for (qint64 child : childrenOf(program.processId()))
        if (commandLine(child).contains(QStringLiteral("qingchuanye-site")))
            server = child;
    QVERIFY2(server > 0, "the program did not start the site itself");

    if (killed) {
        program.kill();
        QVERIFY(program.waitForFinished(30000));
    } else {
        QVERIFY(program.endNormally());
    }
    QTRY_VERIFY_WITH_TIMEOUT(!processExists(server), 30000);
    QVERIFY(!TSiteServer::answers(QStringLiteral("127.0.0.1"), port));
}

void TestSiteStart::storedValuesLastAcrossRestarts()
{
    // The page reports what it found in localStorage, then stores a value.
    HttpRecorder site;
    QVERIFY(site.start());
    site.serve(QStringLiteral("/llk/"), QByteArrayLiteral(
        "<!doctype html><meta charset=utf-8><title>store</title><script>"
        "const before = localStorage.getItem('qcy-kept');"
        "localStorage.setItem('qcy-kept', 'value-' + (Number(before && before.slice(6)) + 1));"
        "fetch('/report?' + encodeURIComponent(String(before)));"
        "</script>"));
    QTemporaryDir data;

    const QStringList expected{QStringLiteral("GET /report?null"), QStringLiteral("GET /report?value-1"),
                               QStringLiteral("GET /report?value-2")};
    for (const QString &report : expected) {
        Program program(site.baseUrl(), data.path());
        QVERIFY(program.ready());
        program.write("link\n");
        QTRY_VERIFY_WITH_TIMEOUT(site.requests().filter(QStringLiteral("/report")).size()
                                     == expected.indexOf(report) + 1, 30000);
        QCOMPARE(site.requests().filter(QStringLiteral("/report")).last(), report);
        QVERIFY(program.endNormally());
    }

    // Kept in the user's data folder, which only the user may open.
    const QString folder = QDir(data.path()).filePath(QStringLiteral("qingchuanye"));
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (const QString &path : {folder, folder + QStringLiteral("/profile")}) {
        QVERIFY2(QFileInfo(path).isDir(), qPrintable(path));
        QCOMPARE(QFileInfo(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), owner);
    }
    QVERIFY(!QDir(folder + QStringLiteral("/profile")).isEmpty());
}

QCY_TEST_MAIN(TestSiteStart)
#include "tst_sitestart.moc"
