// The window's commands many times over: no crash, no error box, the shape
// and state right at the end, and the program's memory after the run close
// to its memory after the first round.

#include "support/Fixture.h"
#include "support/HttpRecorder.h"
#include "support/TestMain.h"

#include "about/U_AB.h"
#include "chrome/U_Top_Frame.h"
#include "platform/TrayIcon.h"
#include "platform/WebBrowser.h"
#include "shell/U_Main.h"
#include "shell/U_Menu.h"

#include <QAction>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QGuiApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QWebEngineView>

#include <functional>

namespace {

constexpr qint64 MiB = 1024 * 1024;

// What grows on its own over a long run and is no leak: the allocator
// keeps freed pages, Qt and the engine fill caches (fonts, glyphs, the
// engine's history of at most 50 entries and its memory cache) up to their
// limits. Runs here grow by 3 MiB (window commands) and up to 11 MiB (300
// pages, on X11); the bounds leave room for a busier machine. A leak of a
// widget, an image of the window or a page's state per round would be
// hundreds of rounds × tens of kilobytes and more: far above these.
constexpr qint64 WindowBound = 12 * MiB;
constexpr qint64 PageBound = 32 * MiB;

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps freed memory aside (256 MiB by default) to catch
// late uses, and its shadow memory grows with it: resident memory grows
// by up to about twice that in any long run.
constexpr qint64 SanitizerAllowance = 512 * MiB;
#else
constexpr qint64 SanitizerAllowance = 0;
#endif

qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression rss(QStringLiteral("VmRSS:\\s+(\\d+) kB"));
    const QRegularExpressionMatch m = rss.match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toLongLong() * 1024 : -1;
}

// Waits in the event loop itself, without the test library's pauses: the
// engine's work is a chain of many small tasks in this thread.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(5);
    if (!done())
        loop.exec();
    return done();
}

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool roundShape(const QSize &size)
{
    const QRegion mask = F_Main->mask();
    return mask.boundingRect() == QRect(QPoint(0, 0), size) && !mask.contains(QPoint(0, 0))
        && !mask.contains(QPoint(size.width() - 1, size.height() - 1))
        && mask.contains(QPoint(size.width() / 2, size.height() / 2));
}

} // namespace

class TestEndurance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void maximiseAndRestore();
    void hideToTrayAndRestore();
    void pageCommands();
    void aboutBox();

private:
    // Runs round rounds times; fails on the first round that fails or
    // raises an error. Returns the growth of resident memory from the end
    // of the first round to the end of the last.
    qint64 rounds(int count, const std::function<bool(int)> &round);

    HttpRecorder *m_server = nullptr;
    QStringList m_errors;
};

void TestEndurance::init()
{
    m_errors.clear();
    connect(TApplication::instance(), &TApplication::exceptionRaised, this,
            [this](const QString &message) { m_errors << message; });
    m_server = new HttpRecorder;
    QVERIFY(m_server->start());
    QVERIFY(Fixture::createWindows(m_server->baseUrl()));
}

void TestEndurance::cleanup()
{
    disconnect(TApplication::instance(), &TApplication::exceptionRaised, this, nullptr);
    Fixture::destroyWindows();
    delete m_server;
    m_server = nullptr;
}

qint64 TestEndurance::rounds(int count, const std::function<bool(int)> &round)
{
    qint64 afterFirst = -1;
    for (int i = 0; i < count; ++i) {
        if (!round(i) || !m_errors.isEmpty()) {
            qWarning("round %d of %d failed %s", i + 1, count, qPrintable(m_errors.join(QLatin1Char(' '))));
            return -1;
        }
        if (i == 0)
            afterFirst = residentBytes();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const qint64 growth = residentBytes() - afterFirst;
    qInfo("resident memory after the first round %lld MiB, growth over %d rounds %lld KiB",
          afterFirst / MiB, count, growth / 1024);
    return qMax<qint64>(growth, 0);
}

void TestEndurance::maximiseAndRestore()
{
    TF_Top_Frame *bar = F_Main->F_Top;
    const QSize normal = F_Main->size();
    const qint64 growth = rounds(1000, [&](int i) {
        QTest::mouseClick(bar->SB_Max, Qt::LeftButton);
        const bool maximised = i % 2 == 0;
        return F_Main->formWindowState() == (maximised ? TWindowState::wsMaximized : TWindowState::wsNormal)
            && roundShape(F_Main->size()) && (maximised || F_Main->size() == normal);
    });
    QVERIFY(growth >= 0);
    QCOMPARE(F_Main->formWindowState(), TWindowState::wsNormal);
    QCOMPARE(F_Main->size(), normal);
    QVERIFY(roundShape(normal));
    QVERIFY(F_Main->isVisible());
    QVERIFY2(growth <= WindowBound + SanitizerAllowance, qPrintable(QString::number(growth / 1024)));
}

void TestEndurance::hideToTrayAndRestore()
{
    if (!onX11())
        QSKIP("needs the X11 run's notification area");
    QVERIFY2(QSystemTrayIcon::isSystemTrayAvailable(), "no tray host on this display");
    TF_Top_Frame *bar = F_Main->F_Top;
    const QSize normal = F_Main->size();
    const qint64 growth = rounds(300, [&](int) {
        QTest::mouseClick(bar->SB_Min, Qt::LeftButton);
        if (F_Main->isVisible() || !bar->TI_Hide->isVisible())
            return false;
        bar->PM_N_Restory->trigger();
        return F_Main->isVisible() && !bar->TI_Hide->isVisible();
    });
    QVERIFY(growth >= 0);
    QVERIFY(QTest::qWaitForWindowExposed(F_Main, 10000));
    QCOMPARE(F_Main->size(), normal);
    QCOMPARE(F_Main->formWindowState(), TWindowState::wsNormal);
    QVERIFY(roundShape(normal));
    QVERIFY(!bar->TI_Hide->isVisible());
    QVERIFY2(growth <= WindowBound + SanitizerAllowance, qPrintable(QString::number(growth / 1024)));
}

void TestEndurance::pageCommands()
{
    TFrame_Menu *menu = F_Main->Frame_M_Top;
    const QList<QPair<QAction *, QString>> pages = {
        {menu->N_Link, QStringLiteral("/llk/")},
        {menu->N_2_KSCS, QStringLiteral("/quicktest.php")},
        {menu->N_2_XXCS, QStringLiteral("/slowtest.php")},
        {menu->N_ZD, QStringLiteral("/search.php")},
    };
    const qint64 growth = rounds(300, [&](int i) {
        const auto &[action, path] = pages[i % pages.size()];
        action->trigger();
        auto *view = qobject_cast<QWebEngineView *>(F_Main->WB_Web->view());
        return view && waitFor([&] { return view->title() == path && view->url().path() == path; }, 30000);
    });
    QVERIFY(growth >= 0);
    for (const auto &[action, path] : pages)
        QCOMPARE(m_server->count(QStringLiteral("GET ") + path), 75);
    QCOMPARE(F_Main->findChildren<QWebEngineView *>().size(), 1);
    QVERIFY(F_Main->P_Main->isVisible());
    QVERIFY(roundShape(F_Main->size()));
    QVERIFY2(growth <= PageBound + SanitizerAllowance, qPrintable(QString::number(growth / 1024)));
}

void TestEndurance::aboutBox()
{
    TFrame_Menu *menu = F_Main->Frame_M_Top;
    const qint64 growth = rounds(100, [&](int) {
        menu->N_AB->trigger();
        if (!waitFor([] { return F_AB && F_AB->isVisible() && !F_Main->isEnabled(); }, 10000))
            return false;
        QTest::mouseClick(F_AB->OKButton, Qt::LeftButton);
        return waitFor([] { return !F_AB->isVisible() && F_Main->isEnabled(); }, 10000);
    });
    QVERIFY(growth >= 0);
    QVERIFY(!F_AB->isVisible());
    QVERIFY(F_Main->isEnabled() && F_Main->isVisible());
    QVERIFY(roundShape(F_Main->size()));
    QVERIFY2(growth <= WindowBound + SanitizerAllowance, qPrintable(QString::number(growth / 1024)));
}

QCY_TEST_MAIN(TestEndurance)
#include "tst_endurance.moc"
