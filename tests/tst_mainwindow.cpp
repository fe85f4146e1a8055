// The main window as it starts, its menu bar, the cursor over the entry
// picture, Help → visit, and the default error handler.

#include "support/Fixture.h"
#include "support/TestMain.h"

#include "about/U_AB.h"
#include "chrome/U_Top_Frame.h"
#include "platform/Image.h"
#include "platform/Types.h"
#include "platform/WebBrowser.h"
#include "shell/LearningPages.h"
#include "shell/U_Main.h"
#include "shell/U_Menu.h"

#include <QAction>
#include <QFontDatabase>
#include <QLabel>
#include <QTimer>
#include <QFontInfo>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(Fixture::createWindows(QStringLiteral("http://127.0.0.1:8470/"))); }
    void cleanup() { Fixture::destroyWindows(); }

    void startState();
    void captionsAreReadable_data();
    void captionsAreReadable();
    void toolBarLayout_data();
    void toolBarLayout();
    void menuTable_data();
    void menuTable();
    void menuDropsBelowItsButton_data();
    void menuDropsBelowItsButton();
    void pageAddresses_data();
    void pageAddresses();
    void cursorFollowsThePicture();
    void pictureClickDoesNothing();
    void visitOpensHomeInTheDesktopBrowser();
    void errorInHandlerIsReportedAndProgramGoesOn();
};

void TestMainWindow::startState()
{
    QVERIFY(F_Main->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(F_Main->size(), QSize(671, 446));
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(F_Main->pos(), QPoint((desktop.width() - 671) / 2, (desktop.height() - 446) / 2));
    QCOMPARE(F_Main->palette().color(QPalette::Window), QColor(Qt::white));

    // The desktop names the program by the application title; the window's
    // own caption has a single hyphen.
    QCOMPARE(F_Main->caption(), QStringLiteral("晴川叶-轻松学英语"));
    QCOMPARE(F_Main->windowTitle(), QStringLiteral("晴川叶--轻松学英语"));
    QCOMPARE(F_Main->windowHandle()->title(), QStringLiteral("晴川叶--轻松学英语"));

    QCOMPARE(F_Main->F_Top->geometry(), QRect(0, 0, 671, 30));
    QCOMPARE(F_Main->F_Top->palette().color(QPalette::Window), toQColor(16740721));
    QCOMPARE(toQColor(16740721), QColor(113, 113, 255));
    QCOMPARE(F_Main->Frame_M_Top->geometry(), QRect(0, 30, 671, 25));
    QCOMPARE(F_Main->Frame_M_Top->TB_Menu->palette().color(QPalette::Window), QColor(113, 113, 255));
    QCOMPARE(F_Main->P_Main->geometry(), QRect(0, 55, 671, 391));
    QCOMPARE(F_Main->P_Main->palette().color(QPalette::Window), QColor(230, 216, 245));
    QCOMPARE(F_Main->Img_bg->geometry(), QRect(112, 144, 422, 126));
    QCOMPARE(F_Main->Img_bg->picture().size(), QSize(420, 125));
    QVERIFY(!F_Main->Img_bg->stretch());
    QCOMPARE(F_Main->Img_bg->toolTip(), QStringLiteral("点击进入晴川叶"));
    QCOMPARE(F_Main->F_Top->L_Title->text(), QStringLiteral("晴川叶--轻松学英语"));
    QVERIFY(!F_Main->F_Top->isDragging());

    // Nothing of the browser before a page is asked for.
    QVERIFY(!F_Main->P_Main->isVisible());
    QVERIFY(!F_Main->WB_Web->engineCreated());
    QVERIFY(F_Main->WB_Web->view() == nullptr);
    QVERIFY(F_Main->findChildren<QWidget *>(QStringLiteral("WebEngineView")).isEmpty());

    // Nor the About box: it is made when first asked for.
    QVERIFY(!F_AB);
}

void TestMainWindow::captionsAreReadable_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");
    QTest::newRow("main window") << "F_Main" << 11 << false;
    QTest::newRow("menu bar") << "TB_Menu" << 14 << false;
    QTest::newRow("title") << "L_Title" << 13 << true;
}

void TestMainWindow::captionsAreReadable()
{
    QFETCH(QString, widget);
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);
    QWidget *w = widget == QLatin1String("F_Main") ? F_Main : F_Main->findChild<QWidget *>(widget);
    QVERIFY(w);
    const QFont font = w->font();
    QCOMPARE(font.pixelSize(), pixelSize);
    QCOMPARE(font.bold(), bold);
    // The face actually used must cover Chinese, or captions show boxes.
    const QString used = QFontInfo(font).family();
    QVERIFY2(QFontDatabase::writingSystems(used).contains(QFontDatabase::SimplifiedChinese),
             qPrintable(used));
}

void TestMainWindow::toolBarLayout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("caption");
    QTest::newRow("ToolButton3") << "ToolButton3" << 0 << 8 << QString();
    QTest::newRow("TB_Game") << "TB_Game" << 8 << 91 << "小游戏（&G）";
    QTest::newRow("ToolButton5") << "ToolButton5" << 99 << 8 << QString();
    QTest::newRow("ToolButton2") << "ToolButton2" << 107 << 91 << "小工具（&C）";
    QTest::newRow("ToolButton4") << "ToolButton4" << 198 << 8 << QString();
    QTest::newRow("TB_Help") << "TB_Help" << 206 << 91 << "帮助（&H）";
}

void TestMainWindow::toolBarLayout()
{
    QFETCH(QString, name);
    QFETCH(int, left);
    QFETCH(int, width);
    QFETCH(QString, caption);
    auto *item = F_Main->Frame_M_Top->TB_Menu->findChild<QWidget *>(name);
    QVERIFY(item);
    QCOMPARE(item->x(), left);
    QCOMPARE(item->width(), width);
    if (auto *button = qobject_cast<QToolButton *>(item)) {
        QCOMPARE(button->text(), caption);
        QVERIFY(button->autoRaise());
        QCOMPARE(button->popupMode(), QToolButton::InstantPopup);
    } else {
        QVERIFY(caption.isEmpty());
    }
}

void TestMainWindow::menuTable_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("items");
    // "-" is a separator, "name:caption>" an item with a submenu.
    QTest::newRow("PM_Game") << "PM_Game" << QStringList{"N_Link:单词连连看"};
    QTest::newRow("PM_Control") << "PM_Control" << QStringList{"N_DC:词汇量测试>", "N_ZD:图文字典"};
    QTest::newRow("N_DC") << "N_DC_Menu" << QStringList{"N_2_KSCS:快速测试", "N_2_XXCS:详细测试"};
    QTest::newRow("PM_Help") << "PM_Help"
                             << QStringList{"N_AB:关于", "-", "lumaferncom1:访问127.0.0.1:8470", "-", "N_Exit:退出"};
}

void TestMainWindow::menuTable()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, items);
    auto *m = F_Main->Frame_M_Top->findChild<QMenu *>(menu);
    QVERIFY(m);
    const QList<QAction *> actions = m->actions();
    QCOMPARE(actions.size(), items.size());
    for (int i = 0; i < items.size(); ++i) {
        if (items[i] == QLatin1String("-")) {
            QVERIFY(actions[i]->isSeparator());
            continue;
        }
        QString expected = items[i];
        const bool submenu = expected.endsWith(QLatin1Char('>'));
        expected.chop(submenu ? 1 : 0);
        QCOMPARE(actions[i]->objectName() + QLatin1Char(':') + actions[i]->text(), expected);
        QCOMPARE(actions[i]->menu() != nullptr, submenu);
    }
    // The buttons drop down these menus.
    QCOMPARE(F_Main->Frame_M_Top->TB_Game->menu(), F_Main->Frame_M_Top->PM_Game);
    QCOMPARE(F_Main->Frame_M_Top->ToolButton2->menu(), F_Main->Frame_M_Top->PM_Control);
    QCOMPARE(F_Main->Frame_M_Top->TB_Help->menu(), F_Main->Frame_M_Top->PM_Help);
}

void TestMainWindow::menuDropsBelowItsButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("menu");
    QTest::newRow("mouse 小游戏") << "TB_Game" << 0 << "PM_Game";
    QTest::newRow("mouse 小工具") << "ToolButton2" << 0 << "PM_Control";
    QTest::newRow("mouse 帮助") << "TB_Help" << 0 << "PM_Help";
    QTest::newRow("Alt+G") << "TB_Game" << int(Qt::Key_G) << "PM_Game";
    QTest::newRow("Alt+C") << "ToolButton2" << int(Qt::Key_C) << "PM_Control";
    QTest::newRow("Alt+H") << "TB_Help" << int(Qt::Key_H) << "PM_Help";
}

void TestMainWindow::menuDropsBelowItsButton()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(QString, menu);
    auto *b = F_Main->Frame_M_Top->findChild<QToolButton *>(button);
    QVERIFY(b);
    F_Main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(F_Main));

    QMenu *shown = nullptr;
    QPoint where;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, [&] {
        if (auto *m = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            shown = m;
            where = m->pos();
            m->close();
            poll.stop();
        }
    });
    poll.start();
    if (key)
        QTest::keyClick(F_Main, Qt::Key(key), Qt::AltModifier);
    else
        QTest::mousePress(b, Qt::LeftButton);
    QTRY_VERIFY(shown);
    if (!key)
        QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(shown->objectName(), menu);
    QCOMPARE(where, b->mapToGlobal(QPoint(0, b->height())));
    QTRY_VERIFY(!QApplication::activePopupWidget());
}

void TestMainWindow::pageAddresses_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("visitCaption");
    QTest::newRow("local game") << "http://127.0.0.1:8470/" << LinkGamePath
                                << "http://127.0.0.1:8470/llk/" << "127.0.0.1:8470";
    QTest::newRow("quick test") << "http://example.org/" << QuickTestPath
                                << "http://example.org/quicktest.php" << "example.org";
    QTest::newRow("detailed test, port 80") << "http://example.org:80/" << DetailedTestPath
                                            << "http://example.org:80/slowtest.php" << "example.org";
    QTest::newRow("dictionary under a folder") << "http://learn.example.org:8080/en/" << DictionaryPath
                                               << "http://learn.example.org:8080/en/search.php"
                                               << "learn.example.org:8080";
}

void TestMainWindow::pageAddresses()
{
    QFETCH(QString, base);
    QFETCH(QString, path);
    QFETCH(QString, address);
    QFETCH(QString, visitCaption);
    QCOMPARE(pageAddress(base, path.toLatin1().constData()), address);
    QCOMPARE(siteDisplayName(base), visitCaption);
}

void TestMainWindow::cursorFollowsThePicture()
{
    QCOMPARE(F_Main->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(F_Main->Img_bg, QPoint(200, 60));
    QTRY_COMPARE(F_Main->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(F_Main->formCursor(), crHandPoint);
    // The picture's own cursor stays the default; the hand is the window's.
    QVERIFY(!F_Main->Img_bg->testAttribute(Qt::WA_SetCursor));

    QTest::mouseMove(F_Main, QPoint(40, 380));
    QTRY_COMPARE(F_Main->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(F_Main->formCursor(), crDefault);

    QTest::mouseMove(F_Main->Img_bg, QPoint(5, 5));
    QTRY_COMPARE(F_Main->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(F_Main, QPoint(100, 140));
    QTRY_COMPARE(F_Main->cursor().shape(), Qt::ArrowCursor);
}

void TestMainWindow::pictureClickDoesNothing()
{
    const QRect before = F_Main->geometry();
    QTest::mouseClick(F_Main->Img_bg, Qt::LeftButton, {}, QPoint(200, 60));
    QTest::mouseDClick(F_Main->Img_bg, Qt::LeftButton, {}, QPoint(200, 60));
    QTest::qWait(100);
    QVERIFY(!F_Main->P_Main->isVisible());
    QVERIFY(!F_Main->WB_Web->engineCreated());
    QVERIFY(!F_AB || !F_AB->isVisible());
    QVERIFY(F_Main->isVisible());
    QCOMPARE(F_Main->geometry(), before);
}

void TestMainWindow::visitOpensHomeInTheDesktopBrowser()
{
    // No "iexplore.exe" here, so the desktop's opener gets the address.
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    QVERIFY(!Fixture::makeRecordingProgram(bin.path(), QStringLiteral("xdg-open")).isEmpty());
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ":" + oldPath);
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");

    QVERIFY(Fixture::chooseFromMenu(F_Main->Frame_M_Top->TB_Help, {F_Main->Frame_M_Top->lumaferncom1}));
    QFile record(Fixture::recordFile(bin.path()));
    QTRY_VERIFY_WITH_TIMEOUT(record.exists() && record.size() > 0, 5000);
    QVERIFY(record.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(record.readAll()).trimmed(), QStringLiteral("http://127.0.0.1:8470/"));
    qputenv("PATH", oldPath);

    // Opening an outside browser leaves the window as it was.
    QVERIFY(!F_Main->P_Main->isVisible());
    QVERIFY(!F_Main->WB_Web->engineCreated());
}

void TestMainWindow::errorInHandlerIsReportedAndProgramGoesOn()
{
    // A main window whose site address the browser refuses: the page
    // command raises, the error handler reports it, the panel stays shown.
    Fixture::destroyWindows();
    QVERIFY(Fixture::createWindows(QStringLiteral("http://[::1/")));
    const QString text = Fixture::errorBoxText([] {
        Fixture::chooseFromMenu(F_Main->Frame_M_Top->TB_Game, {F_Main->Frame_M_Top->N_Link});
    });
    QVERIFY2(text.contains(QStringLiteral("http://[::1/llk/")), qPrintable(text));
    QVERIFY(F_Main->P_Main->isVisible());
    QVERIFY(F_Main->isVisible());

    // Events are still handled: the next command runs, and raises again.
    const QString again = Fixture::errorBoxText([] {
        Fixture::chooseFromMenu(F_Main->Frame_M_Top->ToolButton2, {F_Main->Frame_M_Top->N_ZD});
    });
    QVERIFY2(again.contains(QStringLiteral("search.php")), qPrintable(again));
    QVERIFY(Fixture::chooseFromMenu(F_Main->Frame_M_Top->TB_Help, {F_Main->Frame_M_Top->N_AB}));
    QTRY_VERIFY(F_AB && F_AB->isVisible());
    F_AB->close();
    QVERIFY(F_Main->isEnabled());
}

QCY_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
