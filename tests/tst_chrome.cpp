// The title bar and window shape: the gradient and rounded-region routines,
// dragging, the maximise/restore toggle and the close button, driven with
// real mouse events on the main window.

#include "support/Fixture.h"
#include "support/TestMain.h"

#include "chrome/U_Info.h"
#include "chrome/U_Top_Frame.h"
#include "platform/Canvas.h"
#include "platform/Image.h"
#include "shell/U_Main.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr QRgb Red = 0xFFFF0000;
using Columns = QList<QPair<int, int>>;

int greenAt(const QImage &image, int x, int y = 0)
{
    const QRgb pixel = image.pixel(x, y);
    return (qRed(pixel) == 0 && qBlue(pixel) == 0) ? qGreen(pixel) : -1;
}

void paintRed(TImage *image)
{
    TCanvas &canvas = image->canvas();
    canvas.setBrushColor(RGB(255, 0, 0));
    canvas.fillRect(0, 0, image->picture().width(), image->picture().height());
}

} // namespace

class TestChrome : public QObject
{
    Q_OBJECT

private slots:
    void roundHalfEven_data();
    void roundHalfEven();
    void gradient_data();
    void gradient();
    void roundRegion_data();
    void roundRegion();

    void init() { QVERIFY(Fixture::createWindows(QStringLiteral("http://127.0.0.1:8470/"))); }
    void cleanup() { Fixture::destroyWindows(); }

    void titleBarLayout();
    void firstShowPaintsTheWholeBar();
    void drag_data();
    void drag();
    void doubleClickTogglesWithoutMoving();
    void maximiseAndRestoreRepaintAndReshape_data();
    void maximiseAndRestoreRepaintAndReshape();
    void minimisedToggleChangesNothing();
    void exitButtonEndsTheProgram();
};

void TestChrome::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("rounded");
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("335.5") << 335.5 << 336;
    QTest::newRow("2.48") << 2.48 << 2;
    QTest::newRow("2.52") << 2.52 << 3;
    QTest::newRow("671") << 671.0 << 671;
}

void TestChrome::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(int, rounded);
    QCOMPARE(RoundHalfEven(value), rounded);
}

void TestChrome::gradient_data()
{
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<QSize>("paint");
    // column → expected green; -1: left as it was (red)
    QTest::addColumn<Columns>("columns");
    using C = Columns;
    QTest::newRow("width 0 paints nothing") << QSize(20, 4) << QSize(0, 4) << C{{0, -1}, {10, -1}, {19, -1}};
    QTest::newRow("height 0 paints nothing") << QSize(20, 4) << QSize(20, 0) << C{{0, -1}, {10, -1}, {19, -1}};
    QTest::newRow("512: one column a band")
        << QSize(512, 3) << QSize(512, 3)
        << C{{0, 0}, {1, 1}, {100, 100}, {255, 255}, {256, 255}, {257, 254}, {400, 111}, {511, 0}};
    QTest::newRow("671: band edges")
        << QSize(671, 29) << QSize(671, 29)
        << C{{0, 0}, {1, 1}, {2, 1}, {334, 255}, {335, 255}, {336, 255}, {337, 254}, {668, 1}, {669, 1}, {670, 0}};
    // At width 10 a band edge falls exactly on 2.5: ties go to even, so
    // column 2 belongs to band 128, not 127.
    QTest::newRow("10: tie to even") << QSize(10, 2) << QSize(10, 2) << C{{2, 128}};
    QTest::newRow("wider canvas keeps the rest")
        << QSize(700, 29) << QSize(671, 20) << C{{670, 0}, {671, -1}, {699, -1}};
}

void TestChrome::gradient()
{
    QFETCH(QSize, canvas);
    QFETCH(QSize, paint);
    QFETCH(Columns, columns);
    QImage image(canvas, QImage::Format_RGB32);
    image.fill(Red);
    TCanvas c(&image);
    c.setBrushColor(RGB(1, 2, 3));
    DrawGradient(c, paint.width(), paint.height());

    for (const auto &[x, green] : columns) {
        for (int y = 0; y < canvas.height(); ++y) {
            const bool painted = y < paint.height();
            const int expected = painted ? green : -1;
            if (expected == -1)
                QVERIFY2(image.pixel(x, y) == Red, qPrintable(QStringLiteral("column %1 row %2").arg(x).arg(y)));
            else
                QVERIFY2(greenAt(image, x, y) == expected,
                         qPrintable(QStringLiteral("column %1 row %2: %3").arg(x).arg(y).arg(greenAt(image, x, y))));
        }
    }
    // Every painted column is a band: black rising to green and falling back.
    if (paint.width() > 0 && paint.height() > 0) {
        int previous = -1;
        const int middle = RoundHalfEven(paint.width() / 2.0);
        for (int x = 0; x < paint.width(); ++x) {
            const int green = greenAt(image, x, 0);
            QVERIFY2(green >= 0, qPrintable(QStringLiteral("column %1 unpainted").arg(x)));
            if (x > 0 && x < middle)
                QVERIFY(green >= previous);
            if (x > middle)
                QVERIFY(green <= previous);
            previous = green;
        }
        QCOMPARE(c.brushColor(), clBlack);
    }
}

void TestChrome::roundRegion_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("designed") << QSize(671, 446);
    QTest::newRow("maximised") << QSize(1280, 1000);
    QTest::newRow("small") << QSize(40, 30);
}

void TestChrome::roundRegion()
{
    QFETCH(QSize, size);
    QWidget window;
    window.resize(size);
    SetRoundRegion(0, 0, size.width(), size.height(), 9, 9, &window);
    const QRegion region = window.mask();
    const int w = size.width(), h = size.height();
    QCOMPARE(region.boundingRect(), QRect(0, 0, w, h));
    const QList<QPoint> inside = {{w / 2, h / 2}, {0, h / 2}, {w - 1, h / 2}, {w / 2, 0}, {w / 2, h - 1},
                                  {4, 0}, {0, 4}, {2, 2}, {w - 3, h - 3}, {w - 5, 0}, {0, h - 5}};
    const QList<QPoint> outside = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1},
                                   {1, 0}, {0, 1}, {w - 2, 0}, {w - 1, 1}, {0, h - 2}, {1, h - 1},
                                   {w - 2, h - 1}, {w - 1, h - 2}};
    for (const QPoint &p : inside)
        QVERIFY2(region.contains(p), qPrintable(QStringLiteral("(%1,%2) cut off").arg(p.x()).arg(p.y())));
    for (const QPoint &p : outside)
        QVERIFY2(!region.contains(p), qPrintable(QStringLiteral("(%1,%2) not rounded").arg(p.x()).arg(p.y())));
}

void TestChrome::titleBarLayout()
{
    TF_Top_Frame *bar = F_Main->F_Top;
    QCOMPARE(bar->Img_Top->geometry(), QRect(0, 0, 671, 29));
    QVERIFY(bar->Img_Top->stretch());
    QCOMPARE(bar->L_Title->pos(), QPoint(6, 8));
    QCOMPARE(bar->L_Title->palette().color(QPalette::WindowText), QColor(Qt::white));
    QVERIFY(bar->L_Title->font().bold());
    const QList<std::tuple<QToolButton *, QRect, QString>> buttons = {
        {bar->SB_Min, QRect(598, 2, 23, 25), QStringLiteral("最小化到右下角")},
        {bar->SB_Max, QRect(621, 2, 23, 25), QStringLiteral("最大化窗口")},
        {bar->SB_Exit, QRect(644, 2, 24, 25), QStringLiteral("关闭窗口")},
    };
    for (const auto &[button, geometry, hint] : buttons) {
        QCOMPARE(button->geometry(), geometry);
        QCOMPARE(button->toolTip(), hint);
        QVERIFY(button->autoRaise());
        QCOMPARE(button->iconSize(), QSize(16, 16));
        QVERIFY(!button->icon().isNull());
    }

    // The buttons keep their distance from the right edge.
    F_Main->resize(900, 500);
    QCOMPARE(bar->Img_Top->geometry(), QRect(0, 0, 900, 29));
    QCOMPARE(bar->SB_Min->x(), 900 - 73);
    QCOMPARE(bar->SB_Max->x(), 900 - 50);
    QCOMPARE(bar->SB_Exit->x(), 900 - 27);
    QCOMPARE(bar->L_Title->pos(), QPoint(6, 8));
}

void TestChrome::firstShowPaintsTheWholeBar()
{
    const QImage surface = F_Main->F_Top->Img_Top->picture();
    QCOMPARE(surface.size(), QSize(671, 29));
    QCOMPARE(greenAt(surface, 0, 28), 0);
    QCOMPARE(greenAt(surface, 335, 0), 255);
    QCOMPARE(greenAt(surface, 670, 14), 0);
    QCOMPARE(F_Main->mask().boundingRect(), QRect(0, 0, 671, 446));
    QVERIFY(!F_Main->mask().contains(QPoint(0, 0)));
}

void TestChrome::drag_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("maximised");
    QTest::newRow("left") << int(Qt::LeftButton) << false;
    QTest::newRow("right") << int(Qt::RightButton) << false;
    QTest::newRow("middle") << int(Qt::MiddleButton) << false;
    QTest::newRow("left, maximised") << int(Qt::LeftButton) << true;
}

void TestChrome::drag()
{
    QFETCH(int, button);
    QFETCH(bool, maximised);
    if (maximised) {
        F_Main->setFormWindowState(TWindowState::wsMaximized);
        QCOMPARE(F_Main->formWindowState(), TWindowState::wsMaximized);
    }
    TImage *bar = F_Main->F_Top->Img_Top;
    const auto b = Qt::MouseButton(button);
    const QPoint start = F_Main->pos();

    QTest::mousePress(bar, b, {}, QPoint(100, 10));
    QVERIFY(F_Main->F_Top->isDragging());
    // Positions are the image's own: each move shifts the window by the
    // pointer's offset from where it was pressed.
    QTest::mouseMove(bar, QPoint(130, 25));
    QTRY_COMPARE(F_Main->pos(), start + QPoint(30, 15));
    QTest::mouseMove(bar, QPoint(90, 4));
    QTRY_COMPARE(F_Main->pos(), start + QPoint(20, 9));
    QTest::mouseRelease(bar, b, {}, QPoint(90, 4));
    QVERIFY(!F_Main->F_Top->isDragging());

    // Moving without a button held does not drag.
    QTest::mouseMove(bar, QPoint(200, 20));
    QTest::qWait(50);
    QCOMPARE(F_Main->pos(), start + QPoint(20, 9));
}

void TestChrome::doubleClickTogglesWithoutMoving()
{
    const QPoint start = F_Main->pos();
    TImage *bar = F_Main->F_Top->Img_Top;
    // A real double-click ends with a release, which QTest leaves out.
    QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(200, 10));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(200, 10));
    QTRY_COMPARE(F_Main->formWindowState(), TWindowState::wsMaximized);
    QVERIFY(!F_Main->F_Top->isDragging());
    QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(200, 10));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(200, 10));
    QTRY_COMPARE(F_Main->formWindowState(), TWindowState::wsNormal);
    QVERIFY(!F_Main->F_Top->isDragging());
    QTRY_COMPARE(F_Main->geometry(), QRect(start, QSize(671, 446)));
}

void TestChrome::maximiseAndRestoreRepaintAndReshape_data()
{
    QTest::addColumn<bool>("byButton");
    QTest::newRow("double-click") << false;
    QTest::newRow("maximise button") << true;
}

void TestChrome::maximiseAndRestoreRepaintAndReshape()
{
    QFETCH(bool, byButton);
    TF_Top_Frame *bar = F_Main->F_Top;
    auto toggle = [&] {
        if (byButton)
            QTest::mouseClick(bar->SB_Max, Qt::LeftButton);
        else {
            QTest::mouseDClick(bar->Img_Top, Qt::LeftButton, {}, QPoint(300, 12));
            QTest::mouseRelease(bar->Img_Top, Qt::LeftButton, {}, QPoint(300, 12));
        }
    };

    paintRed(bar->Img_Top);
    toggle();
    QCOMPARE(F_Main->formWindowState(), TWindowState::wsMaximized);
    const QSize maximised = F_Main->size();
    QVERIFY(maximised.width() > 671);
    // The surface keeps its first size; Round(W / 2) columns get a fresh
    // gradient of that width, the rest keeps its earlier painting.
    QImage surface = bar->Img_Top->picture();
    QCOMPARE(surface.size(), QSize(671, 29));
    const int fresh = RoundHalfEven(bar->Img_Top->width() / 2.0);
    QCOMPARE(bar->Img_Top->width(), maximised.width());
    const int painted = qMin(fresh, 671);
    QCOMPARE(greenAt(surface, 0, 0), 0);
    QCOMPARE(greenAt(surface, RoundHalfEven(fresh / 2.0), 28), 255);
    if (fresh < 671) {
        QCOMPARE(greenAt(surface, fresh - 1, 0), 0);
        QCOMPARE(surface.pixel(fresh, 0), Red);
        QCOMPARE(surface.pixel(670, 28), Red);
    }
    QVERIFY(greenAt(surface, painted - 1, 0) >= 0);
    QCOMPARE(F_Main->mask().boundingRect(), QRect(QPoint(0, 0), maximised));
    QVERIFY(!F_Main->mask().contains(QPoint(maximised.width() - 1, maximised.height() - 1)));
    // The buttons followed the right edge.
    QCOMPARE(bar->SB_Exit->x(), maximised.width() - 27);

    // Back to normal: the whole 671-wide surface is painted again.
    paintRed(bar->Img_Top);
    toggle();
    QCOMPARE(F_Main->formWindowState(), TWindowState::wsNormal);
    QCOMPARE(F_Main->size(), QSize(671, 446));
    surface = bar->Img_Top->picture();
    QCOMPARE(greenAt(surface, 0, 0), 0);
    QCOMPARE(greenAt(surface, 335, 0), 255);
    QCOMPARE(greenAt(surface, 670, 28), 0);
    for (int x = 0; x < 671; ++x)
        QVERIFY2(greenAt(surface, x, 0) >= 0, qPrintable(QString::number(x)));
    QCOMPARE(F_Main->mask().boundingRect(), QRect(0, 0, 671, 446));
}

void TestChrome::minimisedToggleChangesNothing()
{
    TF_Top_Frame *bar = F_Main->F_Top;
    F_Main->setFormWindowState(TWindowState::wsMinimized);
    QCOMPARE(F_Main->formWindowState(), TWindowState::wsMinimized);
    paintRed(bar->Img_Top);
    SetRoundRegion(0, 0, 10, 10, 9, 9, F_Main);
    bar->P_ControlDblClick();
    QCOMPARE(F_Main->formWindowState(), TWindowState::wsMinimized);
    QCOMPARE(bar->Img_Top->picture().pixel(0, 0), Red);
    QCOMPARE(bar->Img_Top->picture().pixel(400, 10), Red);
    // The shape is still taken at the window's size.
    QCOMPARE(F_Main->mask().boundingRect(), QRect(QPoint(0, 0), F_Main->size()));
}

void TestChrome::exitButtonEndsTheProgram()
{
    // The click comes from the running message loop, which must end.
    bool closed = false;
    connect(F_Main, &TForm::formClose, this, [&] { closed = true; });
    QTimer::singleShot(100, this, [] { QTest::mouseClick(F_Main->F_Top->SB_Exit, Qt::LeftButton); });
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, &QCoreApplication::quit);
    guard.start(10000);
    QElapsedTimer timer;
    timer.start();
    QCoreApplication::exec();
    QVERIFY(guard.isActive());
    QVERIFY(closed);
    QVERIFY(!F_Main->isVisible());
}

QCY_TEST_MAIN(TestChrome)
#include "tst_chrome.moc"
