// 单词连连看 in the real program: the menu command loads the game from the
// real site server, and the board is played with mouse clicks on the
// embedded engine's view. Which tiles to click comes from the page's own
// read-only state (window.llk.snapshot()).

#include "support/Fixture.h"
#include "support/PageScript.h"
#include "support/TestMain.h"

#include "platform/WebBrowser.h"
#include "shell/U_Main.h"
#include "shell/U_Menu.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QWebEnginePage>
#include <QWebEngineView>

class TestGame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void pairsGoAndOtherTilesStay();
    void aBoardPlayedToTheEndLeadsToTheNextLevel();
    void keyboardMovesSelectsAndHints();

private:
    QVariant run(const QString &code);
    QJsonObject snapshot();
    void openGame();
    QStringList tileIds();
    bool clickTile(const QString &id);
    bool clickElement(const QString &selector);
    QWebEngineView *view() const;

    QProcess m_server;
    QString m_base;
};

void TestGame::initTestCase()
{
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start(QStringLiteral(QCY_SITE_SERVER),
                   {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--bind"),
                    QStringLiteral("127.0.0.1"), QStringLiteral("--root"), QStringLiteral(QCY_SITE_ROOT)});
    QVERIFY(m_server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_server.canReadLine() || m_server.waitForReadyRead(50), 15000);
    const QString line = QString::fromUtf8(m_server.readLine()).trimmed();
    const QString prefix = QStringLiteral("listening on ");
    QVERIFY2(line.startsWith(prefix), qPrintable(line));
    m_base = line.mid(prefix.size());
}

void TestGame::cleanupTestCase()
{
    m_server.terminate();
    QVERIFY(m_server.waitForFinished(10000));
}

void TestGame::init()
{
    QVERIFY(Fixture::createWindows(m_base));
    openGame();
}

void TestGame::cleanup()
{
    Fixture::destroyWindows();
}

QWebEngineView *TestGame::view() const
{
    return qobject_cast<QWebEngineView *>(F_Main->WB_Web->view());
}

QVariant TestGame::run(const QString &code)
{
    return PageScript::run(view()->page(), code, 15000);
}

QJsonObject TestGame::snapshot()
{
    const QString json = run(QStringLiteral("JSON.stringify(window.llk ? window.llk.snapshot() : null)")).toString();
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

QStringList TestGame::tileIds()
{
    QStringList ids;
    for (const QJsonValue &t : snapshot().value(QLatin1String("tiles")).toArray())
        ids << t.toObject().value(QLatin1String("id")).toString();
    return ids;
}

// 小游戏 → 单词连连看, then a fresh start: progress an earlier run left in
// the engine's storage is cleared, so the game opens on level 1.
void TestGame::openGame()
{
    TFrame_Menu *menu = F_Main->Frame_M_Top;
    QVERIFY(Fixture::chooseFromMenu(menu->TB_Game, {menu->N_Link}));
    QVERIFY(view());
    const auto ready = [this] {
        return run(QStringLiteral("document.documentElement.dataset.state")).toString() == QLatin1String("ready");
    };
    QTRY_VERIFY_WITH_TIMEOUT(ready(), 30000);
    run(QStringLiteral("localStorage.clear(); location.reload()"));
    QTRY_VERIFY_WITH_TIMEOUT(ready() && snapshot().value(QLatin1String("level")).toInt() == 1, 30000);
}

// A real mouse click on the middle of an element, through the view's
// input widget as the learner's mouse would.
bool TestGame::clickElement(const QString &selector)
{
    const QVariantList centre = run(QStringLiteral(
        "(() => { const e = document.querySelector(%1); if (!e) return null;"
        " const r = e.getBoundingClientRect();"
        " return [r.left + r.width / 2, r.top + r.height / 2, r.left >= 0 && r.top >= 0"
        " && r.right <= innerWidth && r.bottom <= innerHeight]; })()")
        .arg(QString::fromUtf8(QJsonDocument(QJsonArray{selector}).toJson(QJsonDocument::Compact)).mid(1).chopped(1)))
        .toList();
    if (centre.size() != 3 || !centre[2].toBool())
        return false;
    QWidget *input = view()->focusProxy();
    if (!input)
        return false;
    const qreal zoom = view()->zoomFactor();
    const QPoint at(qRound(centre[0].toDouble() * zoom), qRound(centre[1].toDouble() * zoom));
    QTest::mouseMove(input, at);
    QTest::mouseClick(input, Qt::LeftButton, {}, at);
    return true;
}

bool TestGame::clickTile(const QString &id)
{
    return clickElement(QStringLiteral("#tile-") + id);
}

void TestGame::pairsGoAndOtherTilesStay()
{
    QJsonObject state = snapshot();
    const int rows = state.value(QLatin1String("rows")).toInt();
    const int cols = state.value(QLatin1String("cols")).toInt();
    QVERIFY(rows >= 2 && cols >= 2);
    QStringList ids = tileIds();
    QCOMPARE(ids.size(), rows * cols);
    // Every tile is drawn, with its text as its accessible name, and the
    // page fits the program's view without scrolling.
    QVERIFY(run(QStringLiteral(
        "Array.from(document.querySelectorAll('#board .tile')).every(t => t.textContent.trim().length > 0"
        " && t.getBoundingClientRect().width > 20 && t.getBoundingClientRect().bottom <= innerHeight)"
        " && document.querySelectorAll('#board .tile').length === %1"
        " && document.documentElement.scrollHeight <= innerHeight"
        " && document.documentElement.scrollWidth <= innerWidth").arg(rows * cols)).toBool());

    // A pair the page says can go now, kept for the end; then a word and
    // the meaning of another word, neither of that pair: both stay.
    const QJsonArray removable = state.value(QLatin1String("removable")).toArray();
    QVERIFY(!removable.isEmpty());
    const QString first = removable.at(0).toArray().at(0).toString();
    const QString second = removable.at(0).toArray().at(1).toString();
    QString word;
    QString otherMeaning;
    const QJsonArray tiles = state.value(QLatin1String("tiles")).toArray();
    for (const QJsonValue &a : tiles) {
        for (const QJsonValue &b : tiles) {
            const QJsonObject x = a.toObject();
            const QJsonObject y = b.toObject();
            const QString xId = x.value(QLatin1String("id")).toString();
            const QString yId = y.value(QLatin1String("id")).toString();
            if (word.isEmpty() && x.value(QLatin1String("kind")) == QLatin1String("word")
                && y.value(QLatin1String("kind")) == QLatin1String("meaning")
                && x.value(QLatin1String("pair")) != y.value(QLatin1String("pair"))
                && !QStringList{first, second}.contains(xId) && !QStringList{first, second}.contains(yId)) {
                word = xId;
                otherMeaning = yId;
            }
        }
    }
    QVERIFY(!word.isEmpty());
    QVERIFY(clickTile(word));
    QTRY_COMPARE_WITH_TIMEOUT(snapshot().value(QLatin1String("selected")).toString(), word, 15000);
    QVERIFY(clickTile(otherMeaning));
    QTRY_VERIFY_WITH_TIMEOUT(snapshot().value(QLatin1String("selected")).isNull(), 15000);
    QCOMPARE(tileIds(), ids);
    QTRY_VERIFY_WITH_TIMEOUT(!run(QStringLiteral("document.getElementById('message').textContent")).toString().isEmpty(), 15000);

    // The same tile twice: selected, then not, and it stays.
    QVERIFY(clickTile(word));
    QTRY_COMPARE_WITH_TIMEOUT(snapshot().value(QLatin1String("selected")).toString(), word, 15000);
    QCOMPARE(run(QStringLiteral("document.getElementById('tile-%1').getAttribute('aria-pressed')").arg(word)).toString(),
             QStringLiteral("true"));
    QVERIFY(clickTile(word));
    QTRY_VERIFY_WITH_TIMEOUT(snapshot().value(QLatin1String("selected")).isNull(), 15000);
    QCOMPARE(tileIds(), ids);

    // The removable pair: both tiles go, the score rises.
    QVERIFY(clickTile(first));
    QTRY_COMPARE_WITH_TIMEOUT(snapshot().value(QLatin1String("selected")).toString(), first, 15000);
    QVERIFY(clickTile(second));
    QTRY_COMPARE_WITH_TIMEOUT(tileIds().size(), rows * cols - 2, 15000);
    ids = tileIds();
    QVERIFY(!ids.contains(first) && !ids.contains(second));
    QVERIFY(ids.contains(word) && ids.contains(otherMeaning));
    QCOMPARE(snapshot().value(QLatin1String("score")).toInt(), 10);
    QTRY_VERIFY_WITH_TIMEOUT(run(QStringLiteral("!document.getElementById('tile-%1') && !document.getElementById('tile-%2')")
                                     .arg(first, second)).toBool(), 15000);
}

void TestGame::aBoardPlayedToTheEndLeadsToTheNextLevel()
{
    QJsonObject state = snapshot();
    const int pairs = state.value(QLatin1String("tiles")).toArray().size() / 2;
    QVERIFY(state.value(QLatin1String("levels")).toInt() >= 2);
    for (int left = pairs; left > 0; --left) {
        const QJsonArray removable = snapshot().value(QLatin1String("removable")).toArray();
        QVERIFY2(!removable.isEmpty(), "a dealt board got stuck");
        const QJsonArray two = removable.at(0).toArray();
        QVERIFY(clickTile(two.at(0).toString()));
        QTRY_COMPARE_WITH_TIMEOUT(snapshot().value(QLatin1String("selected")).toString(), two.at(0).toString(), 15000);
        QVERIFY(clickTile(two.at(1).toString()));
        QTRY_COMPARE_WITH_TIMEOUT(tileIds().size(), 2 * (left - 1), 15000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(snapshot().value(QLatin1String("finished")).toBool(), 15000);
    // The finish screen lists the board's words and offers the next level.
    QTRY_VERIFY_WITH_TIMEOUT(!run(QStringLiteral("document.getElementById('finish').hidden")).toBool(), 15000);
    QCOMPARE(run(QStringLiteral("document.querySelectorAll('#finish-words li').length")).toInt(), pairs);
    QVERIFY(run(QStringLiteral("document.getElementById('finish-stats').textContent")).toString().contains(QStringLiteral("用时")));
    QVERIFY(clickElement(QStringLiteral("#next")));
    QTRY_COMPARE_WITH_TIMEOUT(snapshot().value(QLatin1String("level")).toInt(), 2, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(run(QStringLiteral("document.getElementById('finish').hidden")).toBool(), 15000);
    state = snapshot();
    QVERIFY(!state.value(QLatin1String("finished")).toBool());
    QVERIFY(state.value(QLatin1String("tiles")).toArray().size() >= 2 * pairs);
    // The level reached is kept for the next visit.
    QCOMPARE(run(QStringLiteral("JSON.parse(localStorage.getItem('qingchuanye.llk')).highest")).toInt(), 2);
}

void TestGame::keyboardMovesSelectsAndHints()
{
    const auto cursor = [this] {
        return run(QStringLiteral("(() => { const t = document.querySelector('#board .tile[tabindex=\"0\"]');"
                                  " return t && t === document.activeElement ? t.id : ''; })()")).toString();
    };
    F_Main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(F_Main));
    QWidget *input = view()->focusProxy();
    QVERIFY(input);
    input->setFocus();
    run(QStringLiteral("document.querySelector('#board .tile[tabindex=\"0\"]').focus()"));
    QTRY_VERIFY_WITH_TIMEOUT(!cursor().isEmpty(), 15000);
    const QString start = cursor();

    // Right moves the cursor to another tile; Enter selects it, Space
    // on it again deselects it.
    QTest::keyClick(input, Qt::Key_Right);
    QTRY_VERIFY_WITH_TIMEOUT(!cursor().isEmpty() && cursor() != start, 15000);
    const QString moved = cursor().mid(int(qstrlen("tile-")));
    QTest::keyClick(input, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(snapshot().value(QLatin1String("selected")).toString(), moved, 15000);
    QTest::keyClick(input, Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(snapshot().value(QLatin1String("selected")).isNull(), 15000);

    // H marks a pair that can go now, and the word is kept as one the
    // learner needed help with.
    QTest::keyClick(input, Qt::Key_H);
    QTRY_COMPARE_WITH_TIMEOUT(run(QStringLiteral("document.querySelectorAll('#board .tile.hint').length")).toInt(), 2, 15000);
    const QStringList marked = run(QStringLiteral(
        "Array.from(document.querySelectorAll('#board .tile.hint')).map(t => t.id.slice(5))")).toStringList();
    bool removable = false;
    for (const QJsonValue &two : snapshot().value(QLatin1String("removable")).toArray()) {
        const QStringList ids{two.toArray().at(0).toString(), two.toArray().at(1).toString()};
        removable = removable || (ids.contains(marked.value(0)) && ids.contains(marked.value(1)));
    }
    QVERIFY2(removable, qPrintable(marked.join(QLatin1Char(' '))));
    QCOMPARE(run(QStringLiteral("JSON.parse(localStorage.getItem('qingchuanye.llk')).hinted.length")).toInt(), 1);
}

QCY_TEST_MAIN(TestGame)
#include "tst_game.moc"
