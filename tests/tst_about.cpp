// The About box: its contents, and that the main window takes no input
// while it is open, whichever way it is closed.

#include "support/Fixture.h"
#include "support/TestMain.h"

#include "about/U_AB.h"
#include "chrome/U_Top_Frame.h"
#include "platform/Image.h"
#include "platform/TrayIcon.h"
#include "shell/U_Main.h"
#include "shell/U_Menu.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(Fixture::createWindows(QStringLiteral("http://127.0.0.1:8470/"))); }
    void cleanup() { Fixture::destroyWindows(); }

    void contents_data();
    void contents();
    void openCloseCycle_data();
    void openCloseCycle();
    void mainWindowTakesNoInputWhileOpen();

private:
    void openByMenu();
};

void TestAbout::openByMenu()
{
    QVERIFY(Fixture::chooseFromMenu(F_Main->Frame_M_Top->TB_Help, {F_Main->Frame_M_Top->N_AB}));
    QVERIFY(QTest::qWaitForWindowExposed(F_AB));
}

void TestAbout::contents_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::newRow("ProductName") << "ProductName" << QRect(88, 16, 190, 13) << "系统名称：晴川叶--轻松学英语";
    QTest::newRow("Version") << "Version" << QRect(88, 40, 89, 13) << "版本：1.0";
    QTest::newRow("Label3") << "Label3" << QRect() << QString();
    QTest::newRow("Label4") << "Label4" << QRect(8, 113, 177, 26) << QString();
}

void TestAbout::contents()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    openByMenu();
    auto *label = F_AB->Panel1->findChild<QLabel *>(name);
    QVERIFY(label);
    if (!text.isEmpty())
        QCOMPARE(label->text(), text);
    QVERIFY(!label->text().isEmpty());
    if (geometry.isValid())
        QCOMPARE(label->geometry(), geometry);
    QVERIFY(QFontDatabase::writingSystems(QFontInfo(label->font()).family())
                .contains(QFontDatabase::SimplifiedChinese));

    if (name == QLatin1String("Label3")) {
        QCOMPARE(label->pos(), QPoint(8, 80));
        // One line, inside the panel.
        QCOMPARE(label->height(), label->fontMetrics().height());
        QVERIFY(label->geometry().right() < F_AB->Panel1->width());
    }
    if (name == QLatin1String("Label4")) {
        QVERIFY(label->wordWrap());
        // The notice must fit its two lines.
        QVERIFY2(label->heightForWidth(177) <= 26, qPrintable(QString::number(label->heightForWidth(177))));
        QVERIFY(label->heightForWidth(177) > label->fontMetrics().height());
    }

    // The window itself.
    QCOMPARE(F_AB->caption(), QStringLiteral("关于"));
    QCOMPARE(F_AB->windowTitle(), QStringLiteral("关于"));
    QCOMPARE(F_AB->size(), QSize(298, 213));
    QCOMPARE(F_AB->minimumSize(), F_AB->maximumSize());
    const Qt::WindowFlags flags = F_AB->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(!F_AB->isModal());
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    // Centred; a window manager's frame may shift it by its border.
    QVERIFY(qAbs(F_AB->geometry().center().x() - desktop.center().x()) <= 12);
    QVERIFY(qAbs(F_AB->geometry().center().y() - desktop.center().y()) <= 30);
    QCOMPARE(F_AB->Panel1->geometry(), QRect(8, 8, 281, 161));
    QCOMPARE(F_AB->ProgramIcon->geometry(), QRect(8, 8, 65, 57));
    QVERIFY(F_AB->ProgramIcon->stretch());
    QCOMPARE(F_AB->ProgramIcon->picture().size(), QSize(32, 32));
    QCOMPARE(F_AB->OKButton->geometry(), QRect(111, 180, 75, 25));
    QCOMPARE(F_AB->OKButton->text(), QStringLiteral("确 定"));
    QCOMPARE(F_AB->OKButton->font().pixelSize(), 13);
    QVERIFY(F_AB->OKButton->isDefault());
}

void TestAbout::openCloseCycle_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK button") << "ok";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("close box") << "close box";
}

void TestAbout::openCloseCycle()
{
    QFETCH(QString, how);
    // Made by the first 关于, not at start-up; opening it again shows the
    // same box, not a new one.
    QVERIFY(!F_AB);
    TF_AB *box = nullptr;
    for (int round = 0; round < 2; ++round) {
        openByMenu();
        if (!box)
            box = F_AB;
        QCOMPARE(F_AB, box);
        QVERIFY(F_AB->isVisible());
        QVERIFY(!F_Main->isEnabled());

        if (how == QLatin1String("ok")) {
            QTest::mouseClick(F_AB->OKButton, Qt::LeftButton);
        } else if (how == QLatin1String("enter")) {
            F_AB->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(F_AB));
            QTest::keyClick(F_AB, Qt::Key_Return);
        } else {
            // What the window manager sends for the close box or Alt+F4.
            QCloseEvent close;
            QCoreApplication::sendEvent(F_AB->windowHandle(), &close);
        }
        QTRY_VERIFY(!F_AB->isVisible());
        QVERIFY(F_Main->isEnabled());
        QVERIFY(F_Main->isVisible());
    }
    QCOMPARE(F_AB, box);
}

void TestAbout::mainWindowTakesNoInputWhileOpen()
{
    openByMenu();
    TF_Top_Frame *bar = F_Main->F_Top;
    const QRect geometry = F_Main->geometry();

    QTest::mouseClick(bar->SB_Max, Qt::LeftButton);
    QTest::mouseClick(bar->SB_Min, Qt::LeftButton);
    QTest::mouseClick(bar->SB_Exit, Qt::LeftButton);
    QTest::mouseDClick(bar->Img_Top, Qt::LeftButton, {}, QPoint(100, 10));
    QTest::mousePress(bar->Img_Top, Qt::LeftButton, {}, QPoint(100, 10));
    QTest::mouseMove(bar->Img_Top, QPoint(160, 20));
    QTest::mouseRelease(bar->Img_Top, Qt::LeftButton, {}, QPoint(160, 20));
    QTest::mouseClick(F_Main->Frame_M_Top->TB_Game, Qt::LeftButton);
    QTest::keyClick(F_Main, Qt::Key_H, Qt::AltModifier);
    QTest::qWait(200);

    QVERIFY(!QApplication::activePopupWidget());
    QVERIFY(F_Main->isVisible());
    QCOMPARE(F_Main->formWindowState(), TWindowState::wsNormal);
    QCOMPARE(F_Main->geometry(), geometry);
    QVERIFY(!F_Main->F_Top->isDragging());
    QVERIFY(!bar->TI_Hide->isVisible());
    QVERIFY(F_AB->isVisible());

    QTest::mouseClick(F_AB->OKButton, Qt::LeftButton);
    QTRY_VERIFY(F_Main->isEnabled());
    // And afterwards it takes input again.
    QTest::mouseClick(bar->SB_Max, Qt::LeftButton);
    QTRY_COMPARE(F_Main->formWindowState(), TWindowState::wsMaximized);
}

QCY_TEST_MAIN(TestAbout)
#include "tst_about.moc"
