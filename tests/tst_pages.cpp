// The learning-page commands drive the real web engine against a real HTTP
// server on 127.0.0.1.

#include "support/Fixture.h"
#include "support/PageScript.h"
#include "support/HttpRecorder.h"
#include "support/TestMain.h"

#include "platform/WebBrowser.h"
#include "shell/U_Main.h"
#include "shell/U_Menu.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QProcess>
#include <QToolButton>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

class TestPages : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pageCommands_data();
    void pageCommands();
    void vocabularyTestItemOnlyOpensItsSubmenu();
    void exitWhileAPageIsLoading();
    void dictionaryAnswersQueries();

private:
    HttpRecorder *m_server = nullptr;
};

void TestPages::init()
{
    m_server = new HttpRecorder;
    QVERIFY(m_server->start());
    QVERIFY(Fixture::createWindows(m_server->baseUrl()));
}

void TestPages::cleanup()
{
    Fixture::destroyWindows();
    delete m_server;
    m_server = nullptr;
}

void TestPages::pageCommands_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("request");
    QTest::newRow("单词连连看") << "TB_Game" << QStringList{"N_Link"} << "GET /llk/";
    QTest::newRow("快速测试") << "ToolButton2" << QStringList{"N_DC", "N_2_KSCS"} << "GET /quicktest.php";
    QTest::newRow("详细测试") << "ToolButton2" << QStringList{"N_DC", "N_2_XXCS"} << "GET /slowtest.php";
    QTest::newRow("图文字典") << "ToolButton2" << QStringList{"N_ZD"} << "GET /search.php";
}

void TestPages::pageCommands()
{
    QFETCH(QString, button);
    QFETCH(QStringList, items);
    QFETCH(QString, request);
    TFrame_Menu *menu = F_Main->Frame_M_Top;
    auto *b = menu->findChild<QToolButton *>(button);
    QList<QAction *> path;
    for (const QString &name : items)
        path << menu->findChild<QAction *>(name);
    QVERIFY(b && !path.contains(nullptr));

    QVERIFY(Fixture::chooseFromMenu(b, path));
    QVERIFY(F_Main->P_Main->isVisible());
    QVERIFY(F_Main->WB_Web->engineCreated());
    QTRY_COMPARE_WITH_TIMEOUT(m_server->count(request), 1, 30000);
    auto *view = qobject_cast<QWebEngineView *>(F_Main->WB_Web->view());
    QVERIFY(view);
    // The view takes the new address once the engine has committed the load,
    // which can come after the server saw the request.
    QTRY_COMPARE_WITH_TIMEOUT(view->url().toString(), m_server->baseUrl() + request.mid(5), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), request.mid(4), 30000);

    // The same command again loads the page again; the panel stays.
    QVERIFY(Fixture::chooseFromMenu(b, path));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->count(request), 2, 30000);
    QVERIFY(F_Main->P_Main->isVisible());
    // Only the page, never another path (a favicon is the engine's own).
    for (const QString &line : m_server->requests())
        QVERIFY2(line == request || line == QLatin1String("GET /favicon.ico"), qPrintable(line));
}

void TestPages::vocabularyTestItemOnlyOpensItsSubmenu()
{
    TFrame_Menu *menu = F_Main->Frame_M_Top;
    bool submenuOpened = false;
    QTimer poll;
    poll.setInterval(20);
    int clicks = 0;
    connect(&poll, &QTimer::timeout, [&] {
        auto *m = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!m)
            return;
        if (m == menu->PM_Control && clicks == 0) {
            ++clicks;
            QTest::mouseClick(m, Qt::LeftButton, {}, m->actionGeometry(menu->N_DC).center());
        } else if (m == menu->N_DC_Menu) {
            submenuOpened = true;
            // Leave both menus without choosing anything.
            menu->PM_Control->close();
            m->close();
            poll.stop();
        }
    });
    poll.start();
    QTest::mousePress(menu->ToolButton2, Qt::LeftButton);
    QTest::mouseRelease(menu->ToolButton2, Qt::LeftButton);
    QTRY_VERIFY(submenuOpened);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QTest::qWait(300);
    QVERIFY(!F_Main->P_Main->isVisible());
    QVERIFY(!F_Main->WB_Web->engineCreated());
    QVERIFY(m_server->requests().isEmpty());
}

void TestPages::exitWhileAPageIsLoading()
{
    m_server->hold(QStringLiteral("/llk/"));
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(QCY_EXIT_HELPER), {m_server->baseUrl()});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine() || program.waitForReadyRead(50), 10000);
    QCOMPARE(program.readLine().trimmed(), QByteArray("ready"));

    program.write("link\n");
    // The server has the request and never answers it: the page is loading.
    QTRY_COMPARE_WITH_TIMEOUT(m_server->count(QStringLiteral("GET /llk/")), 1, 30000);
    QElapsedTimer timer;
    timer.start();
    program.write("exit\n");
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(timer.elapsed() < 10000, "exit waited for the page");
}

void TestPages::dictionaryAnswersQueries()
{
    // The program on the bundled site, served by the real site server.
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral(QCY_SITE_SERVER), {QStringLiteral("--port"), QStringLiteral("0"),
                                                   QStringLiteral("--bind"), QStringLiteral("127.0.0.1")});
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine() || server.waitForReadyRead(50), 10000);
    const QString line = QString::fromUtf8(server.readLine()).trimmed();
    const QString prefix = QStringLiteral("listening on ");
    QVERIFY2(line.startsWith(prefix), qPrintable(line));
    Fixture::destroyWindows();
    QVERIFY(Fixture::createWindows(line.mid(prefix.size())));

    TFrame_Menu *menu = F_Main->Frame_M_Top;
    QVERIFY(Fixture::chooseFromMenu(menu->ToolButton2, {menu->N_ZD}));
    auto *view = qobject_cast<QWebEngineView *>(F_Main->WB_Web->view());
    QVERIFY(view);
    QTRY_COMPARE_WITH_TIMEOUT(PageScript::run(view->page(), QStringLiteral("document.documentElement.dataset.state")).toString(),
                              QStringLiteral("ready"), 30000);

    auto search = [&](const QString &query, const QString &field) {
        return PageScript::run(view->page(), QStringLiteral(
            "(() => { const q = document.getElementById('q'); q.value = %1;"
            " q.dispatchEvent(new Event('input', {bubbles: true}));"
            " return Array.from(document.querySelectorAll('#results .entry %2')).map(e => e.textContent.trim()); })()")
            .arg(QStringLiteral("'") + query + QStringLiteral("'"), field)).toStringList();
    };
    const QStringList english = search(QStringLiteral("apple"), QStringLiteral(".en"));
    QVERIFY2(!english.isEmpty() && english.first().contains(QStringLiteral("apple"), Qt::CaseInsensitive),
             qPrintable(english.join(QLatin1Char('|'))));
    const QStringList chinese = search(QStringLiteral("苹果"), QStringLiteral(".zh"));
    QVERIFY2(!chinese.isEmpty() && chinese.first().contains(QStringLiteral("苹果")),
             qPrintable(chinese.join(QLatin1Char('|'))));
    QVERIFY(search(QStringLiteral("zzqqxx"), QStringLiteral(".en")).isEmpty());
    QVERIFY(PageScript::run(view->page(), QStringLiteral("!document.getElementById('empty').hidden"
                                                       " && document.getElementById('empty').textContent.length > 0"))
                .toBool());
    server.terminate();
    QVERIFY(server.waitForFinished(5000));
}

QCY_TEST_MAIN(TestPages)
#include "tst_pages.moc"
