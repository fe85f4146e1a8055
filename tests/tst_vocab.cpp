// The two vocabulary tests in the real program, on the bundled site served by
// the real site server: each menu command loads its test, and answering a few
// items (by mouse-equivalent clicks and by keyboard) moves it on, also across
// a reload.

#include "support/Fixture.h"
#include "support/PageScript.h"
#include "support/TestMain.h"

#include "platform/WebBrowser.h"
#include "shell/U_Main.h"
#include "shell/U_Menu.h"

#include <QAction>
#include <QProcess>
#include <QSignalSpy>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

class TestVocab : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void testAdvances_data();
    void testAdvances();

private:
    QProcess *m_server = nullptr;
    QString m_base;
};

namespace {

QString js(QWebEnginePage *page, const QString &code)
{
    return PageScript::run(page, code).toString();
}

// Guarded: between a reload and the new document there is no element yet.
const QString kState = QStringLiteral("(document.documentElement && document.documentElement.dataset.state) || ''");
const QString kAnswered = QStringLiteral("(document.documentElement && document.documentElement.dataset.answered) || ''");
const QString kWord = QStringLiteral("(document.getElementById('word') || {}).textContent || ''");

// Reloads through the engine and waits until the new document has loaded,
// rather than racing scripts against the navigation.
bool reloadAndWait(QWebEngineView *view)
{
    QSignalSpy loaded(view->page(), &QWebEnginePage::loadFinished);
    view->reload();
    return loaded.wait(30000) && loaded.last().value(0).toBool();
}

} // namespace

void TestVocab::init()
{
    m_server = new QProcess;
    m_server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server->start(QStringLiteral(QCY_SITE_SERVER),
                    {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--bind"),
                     QStringLiteral("127.0.0.1"), QStringLiteral("--root"), QStringLiteral(QCY_SITE_ROOT)});
    QVERIFY(m_server->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_server->canReadLine() || m_server->waitForReadyRead(50), 10000);
    const QString line = QString::fromUtf8(m_server->readLine()).trimmed();
    const QString prefix = QStringLiteral("listening on ");
    QVERIFY2(line.startsWith(prefix), qPrintable(line));
    m_base = line.mid(prefix.size());
    QVERIFY(Fixture::createWindows(m_base));
}

void TestVocab::cleanup()
{
    Fixture::destroyWindows();
    if (m_server) {
        m_server->terminate();
        m_server->waitForFinished(5000);
        delete m_server;
        m_server = nullptr;
    }
}

void TestVocab::testAdvances_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("clickAnswer");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("choices");
    QTest::newRow("快速测试") << "N_2_KSCS" << "quicktest.php"
                          << "document.getElementById('yes').click()" << int(Qt::Key_Right) << 2;
    QTest::newRow("详细测试") << "N_2_XXCS" << "slowtest.php"
                          << "document.querySelector('#choices .choice').click()" << int(Qt::Key_5) << 5;
}

void TestVocab::testAdvances()
{
    QFETCH(QString, item);
    QFETCH(QString, page);
    QFETCH(QString, clickAnswer);
    QFETCH(int, key);
    QFETCH(int, choices);

    TFrame_Menu *menu = F_Main->Frame_M_Top;
    auto *command = menu->findChild<QAction *>(item);
    QVERIFY(command);
    QVERIFY(Fixture::chooseFromMenu(menu->ToolButton2, {menu->N_DC, command}));
    auto *view = qobject_cast<QWebEngineView *>(F_Main->WB_Web->view());
    QVERIFY(view);
    QTRY_COMPARE_WITH_TIMEOUT(view->url().toString(), m_base + page, 30000);
    QWebEnginePage *p = view->page();

    // Whatever an earlier run left in the page's storage, start afresh.
    QTRY_VERIFY_WITH_TIMEOUT(QStringList({QStringLiteral("start"), QStringLiteral("testing"), QStringLiteral("result")})
                                 .contains(js(p, kState)), 30000);
    js(p, QStringLiteral("localStorage.clear(); 'ok'"));
    QVERIFY(reloadAndWait(view));
    QTRY_COMPARE_WITH_TIMEOUT(js(p, kState), QStringLiteral("start"), 30000);

    js(p, QStringLiteral("document.getElementById('start').click(); 'ok'"));
    QTRY_COMPARE_WITH_TIMEOUT(js(p, kState), QStringLiteral("testing"), 10000);
    QCOMPARE(js(p, kAnswered), QStringLiteral("0"));
    QCOMPARE(PageScript::run(p, QStringLiteral("document.querySelectorAll('.answers .button, #choices .choice').length")).toInt(),
             choices);

    // Three answers by clicking; each shows the next, different word.
    QStringList seen{js(p, kWord)};
    QVERIFY(!seen.first().isEmpty());
    for (int i = 1; i <= 3; ++i) {
        js(p, clickAnswer + QStringLiteral("; 'ok'"));
        QTRY_COMPARE_WITH_TIMEOUT(js(p, kAnswered), QString::number(i), 10000);
        const QString word = js(p, kWord);
        QVERIFY2(!seen.contains(word), qPrintable(word));
        seen << word;
    }

    // One by keyboard, as a learner would: the page has the focus, which a
    // widget only gets once its window is the active one.
    F_Main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(F_Main, 15000));
    view->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(view->focusProxy() && view->focusProxy()->hasFocus(), 10000);
    QTest::keyClick(view->focusProxy(), Qt::Key(key));
    QTRY_COMPARE_WITH_TIMEOUT(js(p, kAnswered), QStringLiteral("4"), 10000);

    // A test in progress survives a reload, on the same word.
    const QString current = js(p, kWord);
    QVERIFY(reloadAndWait(view));
    QTRY_COMPARE_WITH_TIMEOUT(js(p, kState), QStringLiteral("testing"), 30000);
    QCOMPARE(js(p, kAnswered), QStringLiteral("4"));
    QCOMPARE(js(p, kWord), current);
}

QCY_TEST_MAIN(TestVocab)
#include "tst_vocab.moc"
