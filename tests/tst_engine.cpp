// The embedded view shows the site and nothing else, in Chinese, and the
// window around it keeps working whatever the server or the page does.
// Real pages on a real HTTP server, clicked with the mouse; the desktop's
// opener is a recording stand-in first on PATH.

#include "support/Fixture.h"
#include "support/PageScript.h"
#include "support/HttpRecorder.h"
#include "support/TestMain.h"

#include "about/U_AB.h"
#include "platform/WebBrowser.h"
#include "platform/webview/SiteAddress.h"
#include "shell/U_Main.h"
#include "shell/U_Menu.h"

#include <QAction>
#include <QPushButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <csignal>
#include <sys/types.h>

namespace {

QString pageText(QWebEnginePage *page)
{
    QString text;
    bool done = false;
    page->toPlainText([&](const QString &value) {
        text = value;
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 10000)
        QTest::qWait(20);
    return text;
}

QByteArray page(const QByteArray &title, const QByteArray &body)
{
    return "<!doctype html><meta charset=utf-8><title>" + title + "</title>"
           "<body style='margin:0'>" + body + "</body>";
}

// Big enough to hit with the mouse at the top left of the page.
QByteArray control(const QByteArray &tag, const QByteArray &id, const QByteArray &attributes)
{
    return "<" + tag + " id=" + id + " " + attributes
           + " style='display:block;width:200px;height:40px;margin:4px;background:#ddd'>" + id + "</" + tag + ">";
}

int engineViews()
{
    int views = 0;
    for (QWidget *widget : QApplication::allWidgets())
        views += qobject_cast<QWebEngineView *>(widget) != nullptr;
    return views;
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void siteAddresses_data();
    void siteAddresses();
    void navigationPolicy_data();
    void navigationPolicy();
    void pageRequestsAreRefused_data();
    void pageRequestsAreRefused();
    void downloadsAreRefused();
    void chineseForPagesAndEnginePages();
    void contextMenuKeepsToTheView();
    void pageDialogs_data();
    void pageDialogs();
    void serverFailures_data();
    void serverFailures();
    void renderProcessKilled_data();
    void renderProcessKilled();

private:
    QString siteBase() const { return m_server->baseUrl() + QStringLiteral("site/"); }
    QWebEngineView *view() const { return qobject_cast<QWebEngineView *>(F_Main->WB_Web->view()); }
    bool openStartPage(const QByteArray &html);
    void click(const QString &id, Qt::MouseButton button = Qt::LeftButton);
    QStringList recorded() const;
    bool menusStillWork();

    HttpRecorder *m_server = nullptr;
    QTemporaryDir m_bin;
};

void TestEngine::initTestCase()
{
    // One stand-in for the whole run: the desktop services remember the
    // opener they found first.
    QVERIFY(m_bin.isValid());
    QVERIFY(!Fixture::makeRecordingProgram(m_bin.path(), QStringLiteral("xdg-open")).isEmpty());
    qputenv("PATH", m_bin.path().toUtf8() + ":" + qgetenv("PATH"));
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");
    // Stand-in camera and microphone, so a refusal is the engine's answer
    // to the page and not "there is no such device".
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --use-fake-device-for-media-stream");
}

void TestEngine::init()
{
    QFile::remove(Fixture::recordFile(m_bin.path()));
    m_server = new HttpRecorder;
    QVERIFY(m_server->start());
    QVERIFY(Fixture::createWindows(siteBase()));
}

void TestEngine::cleanup()
{
    Fixture::destroyWindows();
    delete m_server;
    m_server = nullptr;
}

bool TestEngine::openStartPage(const QByteArray &html)
{
    m_server->setPage(QStringLiteral("/site/start.html"), html);
    F_Main->P_Main->show();
    F_Main->WB_Web->navigate(siteBase() + QStringLiteral("start.html"));
    QWebEngineView *v = view();
    if (!v)
        return false;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000) {
        if (v->url() == QUrl(siteBase() + QStringLiteral("start.html"))
            && PageScript::run(v->page(), QStringLiteral("document.readyState")).toString() == QLatin1String("complete"))
            return true;
        QTest::qWait(50);
    }
    return false;
}

void TestEngine::click(const QString &id, Qt::MouseButton button)
{
    QWebEngineView *v = view();
    const QVariantList rect = PageScript::run(v->page(), QStringLiteral(
        "(() => { const r = document.getElementById('%1').getBoundingClientRect();"
        " return [r.left + r.width / 2, r.top + r.height / 2]; })()").arg(id)).toList();
    QVERIFY2(rect.size() == 2, qPrintable(id));
    const QPoint at(rect[0].toInt(), rect[1].toInt());
    QWidget *target = v->focusProxy() ? v->focusProxy() : v;
    QTest::mouseMove(target, at);
    QTest::mouseClick(target, button, {}, at);
}

QStringList TestEngine::recorded() const
{
    QFile file(Fixture::recordFile(m_bin.path()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool TestEngine::menusStillWork()
{
    // The About box opens from the menu and closes again.
    TFrame_Menu *menu = F_Main->Frame_M_Top;
    if (!F_Main->isEnabled() || !Fixture::chooseFromMenu(menu->TB_Help, {menu->N_AB}))
        return false;
    if (!QTest::qWaitFor([] { return F_AB && F_AB->isVisible(); }, 10000))
        return false;
    QTest::mouseClick(F_AB->OKButton, Qt::LeftButton);
    return QTest::qWaitFor([] { return !F_AB->isVisible() && F_Main->isEnabled(); }, 10000);
}

void TestEngine::siteAddresses_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("verdict");
    const int show = int(SiteVerdict::Show);
    const int outside = int(SiteVerdict::OpenOutside);
    const int refuse = int(SiteVerdict::Refuse);
    const QString site = QStringLiteral("http://learn.example.org/site/");
    QTest::newRow("a page") << site << "http://learn.example.org/site/llk/" << show;
    QTest::newRow("the base itself") << site << "http://learn.example.org/site/" << show;
    QTest::newRow("the folder without its slash") << site << "http://learn.example.org/site" << show;
    QTest::newRow("host in capitals") << site << "HTTP://LEARN.example.org/site/a" << show;
    QTest::newRow("default port written out") << site << "http://learn.example.org:80/site/a" << show;
    QTest::newRow("another port") << site << "http://learn.example.org:8080/site/a" << outside;
    QTest::newRow("https") << site << "https://learn.example.org/site/a" << outside;
    QTest::newRow("a folder that starts alike") << site << "http://learn.example.org/sitemap/" << outside;
    QTest::newRow("out by ..") << site << "http://learn.example.org/site/../admin/" << outside;
    QTest::newRow("a user name") << site << "http://learn.example.org@evil.example/site/" << outside;
    QTest::newRow("user name on the host") << site << "http://someone@learn.example.org/site/" << outside;
    QTest::newRow("a host that ends alike") << site << "http://evil-learn.example.org/site/" << outside;
    QTest::newRow("file") << site << "file:///site/a" << refuse;
    QTest::newRow("data") << site << "data:text/html,x" << refuse;
    QTest::newRow("javascript") << site << "javascript:alert(1)" << refuse;
    QTest::newRow("about:blank") << site << "about:blank" << refuse;
    QTest::newRow("http without a host") << site << "http:///site/" << refuse;
    QTest::newRow("root site, any path") << "http://127.0.0.1:8470/" << "http://127.0.0.1:8470/x/y" << show;
    QTest::newRow("root site, other port") << "http://127.0.0.1:8470/" << "http://127.0.0.1:8471/" << outside;
    QTest::newRow("root site, localhost by name") << "http://127.0.0.1:8470/" << "http://localhost:8470/" << outside;
}

void TestEngine::siteAddresses()
{
    QFETCH(QString, base);
    QFETCH(QString, url);
    QFETCH(int, verdict);
    QCOMPARE(int(classifyAddress(QUrl(url), QUrl(base))), verdict);
}

void TestEngine::navigationPolicy_data()
{
    QTest::addColumn<QByteArray>("control");
    // Where the view is once the action is done ("start.html": it stayed).
    QTest::addColumn<QString>("shown");
    // What the desktop's opener got ("" for nothing; %1 is the server).
    QTest::addColumn<QString>("opened");

    const QByteArray a = "a";
    const QByteArray button = "button";
    QTest::newRow("on-site link") << control(a, "go", "href='next.html'") << "next.html" << "";
    QTest::newRow("off-site link") << control(a, "go", "href='http://example.org/page'")
                                   << "start.html" << "http://example.org/page";
    QTest::newRow("same server, outside the site's folder")
        << control(a, "go", "href='/other/page.html'") << "start.html" << "%1other/page.html";
    QTest::newRow("https of the same host") << control(a, "go", "href='https://127.0.0.1/site/next.html'")
                                            << "start.html" << "https://127.0.0.1/site/next.html";
    QTest::newRow("redirect off-site") << control(a, "go", "href='bounce'") << "start.html"
                                       << "http://example.org/bounced";
    QTest::newRow("script sets location off-site")
        << control(button, "go", "onclick=\"location.href='http://example.org/script'\"")
        << "start.html" << "http://example.org/script";
    QTest::newRow("window.open on-site") << control(button, "go", "onclick=\"window.open('next.html')\"")
                                         << "next.html" << "";
    QTest::newRow("window.open off-site")
        << control(button, "go", "onclick=\"window.open('http://example.org/popup')\"")
        << "start.html" << "http://example.org/popup";
    QTest::newRow("target=_blank on-site") << control(a, "go", "href='next.html' target='_blank'")
                                           << "next.html" << "";
    QTest::newRow("target=_blank off-site") << control(a, "go", "href='http://example.org/tab' target='_blank'")
                                            << "start.html" << "http://example.org/tab";
    QTest::newRow("file:") << control(a, "go", "href='file:///etc/hostname'") << "start.html" << "";
    QTest::newRow("file: in a new window") << control(button, "go", "onclick=\"window.open('file:///etc/hostname')\"")
                                           << "start.html" << "";
    QTest::newRow("data:") << control(a, "go", "href='data:text/html,<title>data</title>'") << "start.html" << "";
    QTest::newRow("data: in a new window")
        << control(button, "go", "onclick=\"window.open('data:text/html,<title>data</title>')\"")
        << "start.html" << "";
    QTest::newRow("javascript: in a new window")
        << control(a, "go", "href=\"javascript:document.title='ran'\" target='_blank'") << "start.html" << "";
    QTest::newRow("ftp:") << control(a, "go", "href='ftp://example.org/file'") << "start.html" << "";
    QTest::newRow("custom scheme") << control(a, "go", "href='qcy-test://open/this'") << "start.html" << "";
    QTest::newRow("mailto:") << control(a, "go", "href='mailto:someone@example.org'") << "start.html" << "";
}

void TestEngine::navigationPolicy()
{
    QFETCH(QByteArray, control);
    QFETCH(QString, shown);
    QFETCH(QString, opened);
    opened.replace(QLatin1String("%1"), m_server->baseUrl());
    m_server->redirect(QStringLiteral("/site/bounce"), "http://example.org/bounced");
    // A link clicked after the action: once its page is up, the engine has
    // decided about the action's address too.
    QVERIFY(openStartPage(page("start", control + ::control("a", "after", "href='after.html'"))));

    click(QStringLiteral("go"));
    if (!opened.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(recorded(), QStringList{opened}, 30000);
    } else if (shown != QLatin1String("start.html")) {
        QTRY_COMPARE_WITH_TIMEOUT(view()->url().toString(), siteBase() + shown, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(view()->title(), QStringLiteral("/site/") + shown, 30000);
    } else {
        QTest::qWait(100);
        click(QStringLiteral("after"));
        QTRY_COMPARE_WITH_TIMEOUT(view()->url().toString(), siteBase() + QStringLiteral("after.html"), 30000);
        const QList<QWebEngineHistoryItem> items = view()->history()->items();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.first().url().toString(), siteBase() + QStringLiteral("start.html"));
        QTRY_COMPARE_WITH_TIMEOUT(view()->title(), QStringLiteral("/site/after.html"), 30000);
    }
    if (shown == QLatin1String("start.html") && !opened.isEmpty())
        QCOMPARE(view()->url().toString(), siteBase() + shown);

    QCOMPARE(recorded(), opened.isEmpty() ? QStringList() : QStringList{opened});
    // Nothing but the site's pages was fetched from the server, and no
    // other window or view came up.
    for (const QString &line : m_server->requests())
        QVERIFY2(line.startsWith(QLatin1String("GET /site/")) || line == QLatin1String("GET /favicon.ico"),
                 qPrintable(line));
    QCOMPARE(engineViews(), 1);
    QCOMPARE(PageScript::run(view()->page(), QStringLiteral("document.title")).toString() == QLatin1String("ran"), false);
}

void TestEngine::pageRequestsAreRefused_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("answer");
    QTest::newRow("location") << "navigator.geolocation.getCurrentPosition(() => done('granted'),"
                                 " e => done('refused ' + e.code))"
                              << "refused 1";
    QTest::newRow("notifications") << "Notification.requestPermission().then(p => done(p))" << "denied";
    QTest::newRow("microphone") << "navigator.mediaDevices.getUserMedia({audio: true})"
                                   ".then(() => done('granted'), e => done('refused ' + e.name))"
                                << "refused NotAllowedError";
    QTest::newRow("camera") << "navigator.mediaDevices.getUserMedia({video: true})"
                               ".then(() => done('granted'), e => done('refused ' + e.name))"
                            << "refused NotAllowedError";
    QTest::newRow("screen") << "navigator.mediaDevices.getDisplayMedia({video: true})"
                               ".then(() => done('granted'), e => done('refused ' + e.name))"
                            << "refused";
    QTest::newRow("local file") << "fetch('file:///etc/hostname').then(() => done('read'), () => done('refused'))"
                                << "refused";
    QTest::newRow("local file in a frame")
        << "const f = document.createElement('iframe'); f.src = 'file:///etc/hostname';"
           " document.body.appendChild(f);"
           " setTimeout(() => { let t; try { t = f.contentDocument && f.contentDocument.body.textContent; }"
           " catch (e) { t = null; } done(t ? 'read' : 'refused'); }, 500)"
        << "refused";
    QTest::newRow("full screen") << "document.documentElement.requestFullscreen()"
                                    ".then(() => done('granted'), () => done('refused'))"
                                 << "refused";
}

void TestEngine::pageRequestsAreRefused()
{
    QFETCH(QString, script);
    QFETCH(QString, answer);
    QVERIFY(openStartPage(page("start", control("button", "go", "onclick='ask()'")
                                            + "<script>function done(a) { document.title = 'answer: ' + a; }"
                                              "function ask() { " + script.toUtf8() + " }</script>")));
    // A click: some requests count only with the user's gesture.
    click(QStringLiteral("go"));
    QTRY_VERIFY_WITH_TIMEOUT(view()->title().startsWith(QLatin1String("answer: ")), 30000);
    QVERIFY2(view()->title().startsWith(QStringLiteral("answer: ") + answer), qPrintable(view()->title()));
    QCOMPARE(F_Main->formWindowState(), TWindowState::wsNormal);
    QCOMPARE(F_Main->size(), QSize(671, 446));
}

void TestEngine::downloadsAreRefused()
{
    HttpRecorder::Response file;
    file.contentType = "application/octet-stream";
    file.body = QByteArray(4096, 'x');
    file.headers << qMakePair(QByteArray("Content-Disposition"), QByteArray("attachment; filename=words.bin"));
    m_server->setResponse(QStringLiteral("/site/words.bin"), file);
    QVERIFY(openStartPage(page("start", control("a", "go", "href='words.bin'")
                                            + control("a", "save", "href='next.html' download"))));
    QTemporaryDir downloads;
    QVERIFY(downloads.isValid());
    QWebEngineProfile *profile = view()->page()->profile();
    profile->setDownloadPath(downloads.path());
    QList<QPointer<QWebEngineDownloadRequest>> requests;
    QList<int> states;
    connect(profile, &QWebEngineProfile::downloadRequested, this, [&](QWebEngineDownloadRequest *download) {
        requests << download;
        states << download->state();
    });

    click(QStringLiteral("go"));
    QTRY_COMPARE_WITH_TIMEOUT(requests.size(), 1, 30000);
    click(QStringLiteral("save"));
    QTRY_COMPARE_WITH_TIMEOUT(requests.size(), 2, 30000);
    // Refused before anyone else saw the request, and nothing written.
    QCOMPARE(states, (QList<int>{QWebEngineDownloadRequest::DownloadCancelled,
                                 QWebEngineDownloadRequest::DownloadCancelled}));
    QCOMPARE(QDir(downloads.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(view()->url().toString(), siteBase() + QStringLiteral("start.html"));
    disconnect(profile, &QWebEngineProfile::downloadRequested, this, nullptr);
}

void TestEngine::chineseForPagesAndEnginePages()
{
    QVERIFY(openStartPage(page("start", "")));
    QCOMPARE(PageScript::run(view()->page(), QStringLiteral("navigator.language")).toString(), QStringLiteral("zh-CN"));
    const QByteArray accept = m_server->headersOf(QStringLiteral("/site/start.html")).value("accept-language");
    QVERIFY2(accept.startsWith("zh-CN"), accept.constData());

    // The engine's own page for an address that does not answer. Not
    // 127.0.0.1: there the program would start its own site.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    const quint16 port = closed.serverPort();
    closed.close();
    Fixture::destroyWindows();
    QVERIFY(Fixture::createWindows(QStringLiteral("http://127.0.0.2:%1/").arg(port)));
    TFrame_Menu *menu = F_Main->Frame_M_Top;
    QVERIFY(Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link}));
    QString text;
    QTRY_VERIFY_WITH_TIMEOUT((text = pageText(view()->page())).contains(QLatin1String("ERR_CONNECTION_REFUSED")), 30000);
    QVERIFY2(text.contains(QStringLiteral("无法访问此网站")), qPrintable(text));
}

void TestEngine::contextMenuKeepsToTheView()
{
    QVERIFY(openStartPage(page("start", control("a", "go", "href='next.html'")
                                            + "<img id=pic width=80 height=40 src='pic.png'>")));
    QWebEnginePage *p = view()->page();
    const QList<QWebEnginePage::WebAction> escaping = {
        QWebEnginePage::OpenLinkInNewWindow, QWebEnginePage::OpenLinkInNewTab,
        QWebEnginePage::OpenLinkInNewBackgroundTab, QWebEnginePage::DownloadLinkToDisk,
        QWebEnginePage::SavePage, QWebEnginePage::ViewSource, QWebEnginePage::InspectElement,
    };
    click(QStringLiteral("go"), Qt::RightButton);
    QMenu *menu = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((menu = view()->findChild<QMenu *>(QStringLiteral("SiteContextMenu")))
                                 && menu->isVisible(), 30000);
    // Still a menu for the link: its address can be copied.
    QVERIFY(menu->actions().contains(p->action(QWebEnginePage::CopyLinkToClipboard)));
    for (QWebEnginePage::WebAction action : escaping)
        QVERIFY2(!menu->actions().contains(p->action(action)), qPrintable(p->action(action)->text()));
    for (QAction *action : menu->actions())
        QVERIFY2(!action->isSeparator() || action != menu->actions().first(), "leading separator");
    menu->close();

    // The same actions from anywhere else do nothing either.
    p->triggerAction(QWebEnginePage::ViewSource);
    p->triggerAction(QWebEnginePage::SavePage);
    click(QStringLiteral("go"));
    QTRY_COMPARE_WITH_TIMEOUT(view()->url().toString(), siteBase() + QStringLiteral("next.html"), 30000);
    QCOMPARE(view()->history()->count(), 2);
    QCOMPARE(engineViews(), 1);
    QVERIFY(recorded().isEmpty());
}

void TestEngine::pageDialogs_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("answer");   // "accept", "reject" or text to type
    QTest::addColumn<QString>("result");
    QTest::newRow("alert") << "alert('注意！'); done('after')" << "注意！" << "accept" << "answer: after";
    QTest::newRow("confirm, yes") << "done(confirm('继续吗？'))" << "继续吗？" << "accept" << "answer: true";
    QTest::newRow("confirm, no") << "done(confirm('继续吗？'))" << "继续吗？" << "reject" << "answer: false";
    QTest::newRow("prompt") << "done(prompt('名字？', 'a'))" << "名字？" << "Tom" << "answer: Tom";
    QTest::newRow("prompt, cancelled") << "done(prompt('名字？', 'a'))" << "名字？" << "reject" << "answer: null";
    QTest::newRow("markup stays text") << "alert('<a href=\\'http://example.org/\\'>x</a>'); done('after')"
                                       << "<a href='http://example.org/'>x</a>" << "accept" << "answer: after";
    // The page asks to be kept; the question is Chinese, and leaving loads
    // the page the command asked for.
    QTest::newRow("beforeunload, leave") << "" << "要离开此网页吗？您所做的更改可能不会保存。" << "accept"
                                         << "/site/llk/";
    QTest::newRow("beforeunload, stay") << "" << "要离开此网页吗？您所做的更改可能不会保存。" << "reject"
                                        << "start";
}

void TestEngine::pageDialogs()
{
    QFETCH(QString, script);
    QFETCH(QString, text);
    QFETCH(QString, answer);
    QFETCH(QString, result);
    const bool leaving = script.isEmpty();
    QVERIFY(openStartPage(page("start", control("button", "go", "onclick='ask()'")
                                            + "<script>function done(a) { document.title = 'answer: ' + a; }"
                                              "function ask() { " + script.toUtf8() + " }"
                                              "addEventListener('beforeunload', e => { if (hold) {"
                                              " e.preventDefault(); e.returnValue = 'stay'; } });"
                                              "var hold = " + QByteArray(leaving ? "true" : "false")
                                            + ";</script>")));

    // The engine asks from inside its own wait for the answer: look from a
    // timer, as the user would look at the screen.
    QString shown;
    bool modal = true;
    bool windowEnabled = false;
    QTimer look;
    look.setInterval(20);
    connect(&look, &QTimer::timeout, this, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() != QLatin1String("PageDialog") || !widget->isVisible())
                continue;
            look.stop();
            modal = QApplication::activeModalWidget() != nullptr || widget->isModal();
            windowEnabled = F_Main->isEnabled() && F_Main->Frame_M_Top->TB_Help->isEnabled();
            if (auto *box = qobject_cast<QMessageBox *>(widget)) {
                shown = box->text();
                for (QAbstractButton *button : box->buttons()) {
                    const QMessageBox::ButtonRole role = box->buttonRole(button);
                    if ((answer == QLatin1String("reject")) == (role == QMessageBox::RejectRole))
                        QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
                }
            } else if (auto *input = qobject_cast<QInputDialog *>(widget)) {
                shown = input->labelText();
                if (answer == QLatin1String("reject")) {
                    QMetaObject::invokeMethod(input, &QDialog::reject, Qt::QueuedConnection);
                } else {
                    input->setTextValue(answer);
                    QMetaObject::invokeMethod(input, &QDialog::accept, Qt::QueuedConnection);
                }
            }
        }
    });
    look.start();
    click(QStringLiteral("go"));
    if (leaving) {
        TFrame_Menu *menu = F_Main->Frame_M_Top;
        QTRY_VERIFY_WITH_TIMEOUT(PageScript::run(view()->page(), QStringLiteral("navigator.userActivation.hasBeenActive")).toBool(), 30000);
        QVERIFY(Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link}));
    }
    QTRY_COMPARE_WITH_TIMEOUT(shown, text, 30000);
    QVERIFY2(!modal, "the page's dialog blocks the window");
    QVERIFY(windowEnabled);
    if (result == QLatin1String("start")) {
        // Stayed: the page is still there and still answers.
        QTRY_COMPARE_WITH_TIMEOUT(PageScript::run(view()->page(), QStringLiteral("document.title")).toString(),
                                  QStringLiteral("start"), 30000);
        QCOMPARE(view()->url().toString(), siteBase() + QStringLiteral("start.html"));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(view()->title(), result, 30000);
    }
    QVERIFY(menusStillWork());
}

void TestEngine::serverFailures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("drop");
    QTest::addColumn<QString>("errorText");
    QTest::newRow("500") << 500 << 0 << false << "HTTP ERROR 500";
    QTest::newRow("slow") << 200 << 1500 << false << "";
    QTest::newRow("dropped mid-body") << 200 << 0 << true << "";
}

void TestEngine::serverFailures()
{
    QFETCH(int, status);
    QFETCH(int, delayMs);
    QFETCH(bool, drop);
    QFETCH(QString, errorText);
    HttpRecorder::Response response;
    response.status = status;
    response.delayMs = delayMs;
    response.dropMidBody = drop;
    if (status == 200)
        response.body = page("the game", QByteArray(20000, 'w'));
    m_server->setResponse(QStringLiteral("/site/llk/"), response);

    TFrame_Menu *menu = F_Main->Frame_M_Top;
    // A page first, so the engine is there to watch before the command.
    QVERIFY(openStartPage(page("start", "")));
    QWebEnginePage *p = view()->page();
    bool loadDone = false;
    bool loadOk = true;
    connect(p, &QWebEnginePage::loadFinished, this, [&](bool ok) {
        loadDone = true;
        loadOk = ok;
    });
    QVERIFY(Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link}));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->count(QStringLiteral("GET /site/llk/")), 1, 30000);
    // While the page is loading or failing, the window around it works.
    QVERIFY(menusStillWork());
    QTRY_VERIFY_WITH_TIMEOUT(loadDone, 30000);
    if (!errorText.isEmpty()) {
        QVERIFY(!loadOk);
        QString text;
        QTRY_VERIFY_WITH_TIMEOUT((text = pageText(p)).contains(errorText), 30000);
        // The engine's words around the code are Chinese.
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]"))), qPrintable(text));
    } else if (!drop) {
        QVERIFY(loadOk);
        QCOMPARE(view()->title(), QStringLiteral("the game"));
    }
    QVERIFY(menusStillWork());

    // Choosing the command again asks the server again.
    QVERIFY(Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link}));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->count(QStringLiteral("GET /site/llk/")), 2, 30000);
    m_server->setPage(QStringLiteral("/site/llk/"), page("fixed", ""));
    QVERIFY(Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link}));
    QTRY_COMPARE_WITH_TIMEOUT(view()->title(), QStringLiteral("fixed"), 30000);
    QVERIFY(F_Main->isVisible() && F_Main->P_Main->isVisible());
}

void TestEngine::renderProcessKilled_data()
{
    QTest::addColumn<QString>("back");
    QTest::newRow("page command") << "command";
    QTest::newRow("reload") << "reload";
    QTest::newRow("link in the message") << "link";
}

void TestEngine::renderProcessKilled()
{
    QFETCH(QString, back);
    TFrame_Menu *menu = F_Main->Frame_M_Top;
    QVERIFY(Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link}));
    QTRY_COMPARE_WITH_TIMEOUT(view()->title(), QStringLiteral("/site/llk/"), 30000);
    QWebEnginePage *p = view()->page();
    const qint64 pid = p->renderProcessPid();
    QVERIFY(pid > 0);
    QVERIFY(::kill(pid_t(pid), SIGKILL) == 0);

    // Not a blank area: a short message in Chinese.
    QTRY_COMPARE_WITH_TIMEOUT(view()->title(), QStringLiteral("网页已停止"), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(pageText(p).contains(QStringLiteral("意外结束")), 30000);
    QVERIFY(p->renderProcessPid() != pid);
    QVERIFY(menusStillWork());

    if (back == QLatin1String("command"))
        QVERIFY(Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link}));
    else if (back == QLatin1String("reload"))
        view()->reload();
    else
        click(QStringLiteral("again"));
    QTRY_COMPARE_WITH_TIMEOUT(view()->title(), QStringLiteral("/site/llk/"), 30000);
    QCOMPARE(view()->url().toString(), siteBase() + QStringLiteral("llk/"));
    QCOMPARE(m_server->count(QStringLiteral("GET /site/llk/")), 2);
}

QCY_TEST_MAIN(TestEngine)
#include "tst_engine.moc"
