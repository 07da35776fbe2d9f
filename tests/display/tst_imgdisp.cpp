#include "MouseEvents.h"
#include "RawDisp.h"
#include "WidgetChecks.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cmath>

// The image view on a 512 x 256 canvas (not square, so that the axes cannot be mixed
// up): first image, read-out, zoom, pan, clicks, selection, reset and saving.
class TestImgDisp : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { delete view; }
    void layoutAndReadOutWidths();
    void firstImageSetsViewAndPointerReportsPixel();
    void wheelZoomKeepsPointUnderPointer_data();
    void wheelZoomKeepsPointUnderPointer();
    void newImageKeepsZoomAndResetShowsWhole();
    void pointer_data();
    void pointer();
    void drawsVisiblePartOnly();
    void saveWritesVisiblePartAtImageResolution();

private:
    void showImage(int w, int h);
    QWidget *canvas() const { return view->dispA; }
    static bool near(double a, double b) { return std::abs(a - b) <= 1e-6; }
    RawDisp *view = nullptr;
};

void TestImgDisp::init()
{
    view = new RawDisp;
    view->dispA->setFixedSize(512, 256);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
}

// A w x h grey pattern whose bytes differ from pixel to pixel.
void TestImgDisp::showImage(int w, int h)
{
    QImage image(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.scanLine(y)[x] = uchar((x + 3 * y) % 256);
    view->img = image;
    view->newImage();
}

void TestImgDisp::layoutAndReadOutWidths()
{
    // Bar right of the canvas; below them one row: the read-out, then the bar's panel.
    const QRect canvasArea = view->dispA->geometry(), readOut = view->PVFrame->geometry();
    const QRect barArea = view->CBar->geometry(), panel = view->CBar->panelBase()->geometry();
    QVERIFY(barArea.left() >= canvasArea.right() && barArea.top() < canvasArea.bottom());
    QVERIFY(readOut.top() >= canvasArea.bottom() && panel.left() >= readOut.right());
    QVERIFY(readOut.top() <= panel.bottom() && panel.top() <= readOut.bottom());
    QVERIFY(view->ResetScale->width() >= view->ResetScale->fontMetrics().horizontalAdvance("Scale Reset"));

    // Zoomed out far enough that the pointer lies beyond the int range, in a view
    // squeezed narrow: every read-out and range field still shows its longest text.
    showImage(2048, 1024);
    view->dispA->setMinimumSize(0, 0);
    view->dispA->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    for (int notch = 0; notch < 250; ++notch)
        turnWheel(canvas(), QPointF(0, 0), -120);
    view->resize(100, 300);
    QSignalSpy newPos(view, &ImgDisp::newPos);
    moveTo(canvas(), QPointF(canvas()->width() - 1, canvas()->height() - 1));
    QCOMPARE(newPos.at(0).at(0).toInt(), INT_MAX);
    QCOMPARE(view->PosY->text(), QString("2.14748e+09"));
    for (QLineEdit *field : {view->PosX, view->PosY, view->Val, view->CBar->minEdit(), view->CBar->maxEdit()})
        for (const char *text : {"-0.000126456", "-1.23457e-05", "-1.23457e+300", "-2.14748e+09"})
            QVERIFY2(showsWhole(field, text), qPrintable(field->objectName() + " cuts " + text));
}

void TestImgDisp::firstImageSetsViewAndPointerReportsPixel()
{
    QSignalSpy newS(view, &ImgDisp::newS);
    QCoreApplication::processEvents();
    PaintCounter painted(canvas());
    showImage(0, 0);
    QVERIFY(!view->scaleSet);
    showImage(2048, 1024);
    QVERIFY(view->scaleSet);
    showImage(2048, 1024);
    QCOMPARE(newS.count(), 1);
    QCOMPARE(newS.at(0).at(0).toRectF(), QRectF(0, 0, 2048, 1024));
    QTRY_VERIFY_WITH_TIMEOUT(painted.paints > 0, 2000);  // a new picture is shown

    QSignalSpy newPos(view, &ImgDisp::newPos);
    QSignalSpy invY(view, &ImgDispWPV::newPosInvY);
    moveTo(canvas(), QPointF(256, 128));
    QCOMPARE(newPos.count(), 1);
    QCOMPARE(newPos.at(0).at(0).toInt(), 1024);
    QCOMPARE(newPos.at(0).at(1).toInt(), 512);
    QCOMPARE(view->PosX->text(), QString("1024"));
    QCOMPARE(view->PosY->text(), QString("512"));
    QCOMPARE(invY.count(), 1);
    QCOMPARE(invY.at(0).at(1).toDouble(), 512.0);
    view->setVal(1234.56789);
    QCOMPARE(view->Val->text(), QString("1234.57"));
    // The converter owners draw their overlays with follows the view.
    QVERIFY(near(view->coord.toRealX(256), 1024));
    QVERIFY(near(view->coord.toScreenY(512), 128));
}

void TestImgDisp::wheelZoomKeepsPointUnderPointer_data()
{
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("notches");
    QTest::addColumn<QRectF>("expected");
    const double in = 2048 / 1.1, in2 = in / 1.1, out = 2048 * 1.1;
    QTest::newRow("forward at centre shrinks")
        << QPointF(256, 128) << 120 << 1 << QRectF(1024 - in / 2, 1024 - in / 2, in, in);
    QTest::newRow("backward at top-left grows") << QPointF(0, 0) << -120 << 1 << QRectF(0, 0, out, out);
    // The second notch starts from a view that no longer begins at the image origin.
    QTest::newRow("twice forward off-centre")
        << QPointF(128, 192) << 120 << 2 << QRectF(512 - in2 / 4, 1536 - in2 * 3 / 4, in2, in2);
}

void TestImgDisp::wheelZoomKeepsPointUnderPointer()
{
    QFETCH(QPointF, pointer);
    QFETCH(int, delta);
    QFETCH(int, notches);
    QFETCH(QRectF, expected);
    showImage(2048, 2048);
    QSignalSpy newS(view, &ImgDisp::newS);
    moveTo(canvas(), pointer);
    for (int i = 0; i < notches; ++i)
        turnWheel(canvas(), pointer, delta);
    QCOMPARE(newS.count(), notches);
    const QRectF v = view->view;
    QVERIFY(near(v.x(), expected.x()) && near(v.y(), expected.y()));
    QVERIFY(near(v.width(), expected.width()) && near(v.height(), expected.height()));
    QCOMPARE(newS.last().at(0).toRectF(), v);
}

void TestImgDisp::newImageKeepsZoomAndResetShowsWhole()
{
    showImage(2048, 2048);
    turnWheel(canvas(), QPointF(256, 128), 120);
    const QRectF zoomed = view->view;
    QSignalSpy newS(view, &ImgDisp::newS);
    showImage(100, 80);
    QCOMPARE(view->view, zoomed);
    QTest::mouseClick(view->ResetScale, Qt::LeftButton);
    QCOMPARE(view->view, QRectF(0, 0, 100, 80));
    QCOMPARE(newS.count(), 0);
    moveTo(canvas(), QPointF(256, 128));
    QVERIFY(near(view->coord.toRealX(256), 50) && near(view->coord.toRealY(128), 40));
}

void TestImgDisp::pointer_data()
{
    // Press at canvas (100, 100) over a 2048 x 1024 image (4 image pixels per canvas
    // pixel), move to `to` if it differs, release there.
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<QRectF>("finalView");
    QTest::addColumn<int>("stat");  // of the picked point; -1: none
    QTest::addColumn<QRectF>("selection");  // null: no valid selection
    const QRectF whole(0, 0, 2048, 1024);
    const int left = Qt::LeftButton, right = Qt::RightButton, shift = Qt::ShiftModifier;
    const QPointF still(100, 100);
    QTest::newRow("left click") << left << 0 << still << whole << int(MouseC::MLeft) << QRectF();
    QTest::newRow("right click") << right << 0 << still << whole << int(MouseC::MRight) << QRectF();
    QTest::newRow("shift left click") << left << shift << still << whole << -1 << QRectF();
    QTest::newRow("ctrl left click") << left << int(Qt::ControlModifier) << still << whole << -1 << QRectF();
    QTest::newRow("middle click") << int(Qt::MiddleButton) << 0 << still << whole << -1 << QRectF();
    // The image follows the pointer; the picked point is the pressed image point.
    QTest::newRow("left drag pans") << left << 0 << QPointF(150, 120) << QRectF(-200, -80, 2048, 1024)
                                    << int(MouseC::MLeft) << QRectF();
    // Dragged up and left: normalised to positive width and height.
    QTest::newRow("shift left drag selects") << left << shift << QPointF(50, 60) << whole << -1
                                             << QRectF(200, 240, 200, 160);
    QTest::newRow("ctrl right drag does nothing") << right << int(Qt::ControlModifier) << QPointF(150, 120)
                                                  << whole << -1 << QRectF();
}

void TestImgDisp::pointer()
{
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(QPointF, to);
    QFETCH(QRectF, finalView);
    QFETCH(int, stat);
    QFETCH(QRectF, selection);
    showImage(2048, 1024);
    QSignalSpy newS(view, &ImgDisp::newS);
    QSignalSpy points(view, &ImgDisp::selectedAPoint);
    const auto b = Qt::MouseButton(button);
    const auto m = Qt::KeyboardModifiers(modifiers);
    press(canvas(), QPointF(100, 100), b, m);
    if (to != QPointF(100, 100))
        moveTo(canvas(), to, b, m);
    release(canvas(), to, b, m);
    QCOMPARE(view->view, finalView);
    QCOMPARE(newS.count(), finalView == QRectF(0, 0, 2048, 1024) ? 0 : 1);
    QCOMPARE(points.count(), stat < 0 ? 0 : 1);
    if (stat >= 0) {
        QCOMPARE(points.at(0).at(0).toDouble(), 400.0);
        QCOMPARE(points.at(0).at(1).toDouble(), 400.0);
        QCOMPARE(int(points.at(0).at(2).value<MouseC::MStat>()), stat);
    }
    QVERIFY(!view->selecting);
    QCOMPARE(view->selValid, !selection.isNull());
    if (!view->selValid)
        return;
    QCOMPARE(view->sel, selection);
    // Shift + right press clears the selection.
    press(canvas(), QPointF(10, 10), Qt::RightButton, Qt::ShiftModifier);
    QVERIFY(!view->selValid);
    QCOMPARE(view->sel, QRectF());
}

void TestImgDisp::drawsVisiblePartOnly()
{
    // A 4 x 4 pattern (byte x + 3y) stretched over the canvas, then its right half only.
    showImage(4, 4);
    QCOMPARE(qGray(view->dispA->grab().toImage().pixel(100, 160)), 6);
    view->view = QRectF(2, 0, 2, 4);
    QCOMPARE(qGray(view->dispA->grab().toImage().pixel(100, 160)), 8);
}

void TestImgDisp::saveWritesVisiblePartAtImageResolution()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    showImage(300, 200);
    view->view = QRectF(10.7, 20.2, 100.9, 50.5);
    const QString name = dir.filePath("crop.png");
    QVERIFY(view->saveImage(name));
    const QImage saved(name);
    QCOMPARE(saved.size(), QSize(100, 50));
    for (const QPoint &p : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 49), QPoint(57, 31)})
        QCOMPARE(qGray(saved.pixel(p)), int(view->img.scanLine(20 + p.y())[10 + p.x()]));

    // A failed write is reported, with one debug line.
    const QString badSuffix = dir.filePath("crop.nosuchformat");
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Failed to save the image \"%1\"").arg(badSuffix)));
    QVERIFY(!view->saveImage(badSuffix));
    QVERIFY(!QFile::exists(badSuffix));
}

QTEST_MAIN(TestImgDisp)
#include "tst_imgdisp.moc"
