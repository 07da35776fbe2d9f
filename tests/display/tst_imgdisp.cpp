#include "ImgDispWPV.h"
#include "MouseEvents.h"
#include "RawDisp.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

// The image view on a 512 x 512 canvas: first image, read-out, zoom, pan, clicks,
// selection, reset and saving the visible part.
class TestImgDisp : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void layoutAndForms();
    void firstImageSetsViewOnce();
    void emptyImageIsIgnored();
    void pointerReportsImagePixel();
    void wheelZoomKeepsPointUnderPointer_data();
    void wheelZoomKeepsPointUnderPointer();
    void newImageKeepsZoomAndResetShowsWhole();
    void plainClicks_data();
    void plainClicks();
    void leftDragPansAndPicksReleasePoint();
    void rightDragDoesNothing();
    void shiftDragSelects();
    void shiftClickMakesNoSelection();
    void shiftRightClearsSelection();
    void drawsVisiblePartOnly();
    void saveWritesVisiblePartAtImageResolution();
    void saveFailureIsLogged();

private:
    static QImage pattern(int w, int h);
    void showImage(const QImage &image);
    QWidget *canvas() const { return view->dispA; }
    bool near(double a, double b, double tol = 1e-9) { return std::abs(a - b) <= tol; }
    RawDisp *view = nullptr;
};

void TestImgDisp::init()
{
    view = new RawDisp;
    view->dispA->setFixedSize(512, 512);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QCOMPARE(view->dispA->size(), QSize(512, 512));
}

void TestImgDisp::cleanup()
{
    delete view;
    view = nullptr;
}

QImage TestImgDisp::pattern(int w, int h)
{
    QImage image(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.scanLine(y)[x] = uchar((x + 3 * y) % 256);
    return image;
}

void TestImgDisp::showImage(const QImage &image)
{
    view->img = image;
    view->newImage();
}

void TestImgDisp::layoutAndForms()
{
    QCOMPARE(view->windowTitle(), QString("Image Display with Position and Value"));
    QCOMPARE(view->CBar->parentWidget(), static_cast<QWidget *>(view));
    QCOMPARE(view->CBar->panelBase()->parentWidget(), static_cast<QWidget *>(view));
    QCOMPARE(view->PVFrame->parentWidget(), static_cast<QWidget *>(view));
    // Bar right of the canvas, read-out row and bar panel below it.
    QVERIFY(view->CBar->geometry().left() >= view->dispA->geometry().right());
    QVERIFY(view->PVFrame->geometry().top() >= view->dispA->geometry().bottom());
    QVERIFY(view->CBar->panelBase()->geometry().left() >= view->PVFrame->geometry().right());
    QVERIFY(view->PosX->isReadOnly() && view->PosY->isReadOnly() && view->Val->isReadOnly());
    QCOMPARE(view->ResetScale->text(), QString("Scale Reset"));
    // Neither the button's label nor the range fields are squeezed by the read-out row.
    QVERIFY(view->ResetScale->width() >= view->ResetScale->fontMetrics().horizontalAdvance("Scale Reset"));
    QCOMPARE(view->CBar->minEdit()->width(), 60);
    QCOMPARE(view->CBar->maxEdit()->width(), 60);
}

void TestImgDisp::firstImageSetsViewOnce()
{
    QSignalSpy newS(view, &ImgDisp::newS);
    showImage(pattern(2048, 2048));
    QVERIFY(view->scaleSet);
    QCOMPARE(view->view, QRectF(0, 0, 2048, 2048));
    QCOMPARE(newS.count(), 1);
    QCOMPARE(newS.at(0).at(0).toRectF(), QRectF(0, 0, 2048, 2048));
    showImage(pattern(2048, 2048));
    QCOMPARE(newS.count(), 1);
}

void TestImgDisp::emptyImageIsIgnored()
{
    QSignalSpy newS(view, &ImgDisp::newS);
    showImage(QImage());
    QVERIFY(!view->scaleSet);
    QCOMPARE(newS.count(), 0);
    QCOMPARE(view->view, QRectF());
}

void TestImgDisp::pointerReportsImagePixel()
{
    showImage(pattern(2048, 2048));
    QSignalSpy newPos(view, &ImgDisp::newPos);
    QSignalSpy invY(view, &ImgDispWPV::newPosInvY);
    moveTo(canvas(), QPointF(256, 128));
    QCOMPARE(newPos.count(), 1);
    QCOMPARE(newPos.at(0).at(0).toInt(), 1024);
    QCOMPARE(newPos.at(0).at(1).toInt(), 512);
    QCOMPARE(view->PosX->text(), QString("1024"));
    QCOMPARE(view->PosY->text(), QString("512"));
    QCOMPARE(invY.count(), 1);
    QCOMPARE(invY.at(0).at(0).toDouble(), 1024.0);
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
    QTest::addColumn<QRectF>("expected");
    const double in = 2048 / 1.1, out = 2048 * 1.1;
    QTest::newRow("forward at centre shrinks")
        << QPointF(256, 256) << 120 << QRectF(1024 - in / 2, 1024 - in / 2, in, in);
    QTest::newRow("backward at top-left grows") << QPointF(0, 0) << -120 << QRectF(0, 0, out, out);
    QTest::newRow("forward off-centre")
        << QPointF(128, 384) << 120 << QRectF(512 - in / 4, 1536 - in * 3 / 4, in, in);
}

void TestImgDisp::wheelZoomKeepsPointUnderPointer()
{
    QFETCH(QPointF, pointer);
    QFETCH(int, delta);
    QFETCH(QRectF, expected);
    showImage(pattern(2048, 2048));
    QSignalSpy newS(view, &ImgDisp::newS);
    moveTo(canvas(), pointer);
    turnWheel(canvas(), pointer, delta);
    QCOMPARE(newS.count(), 1);
    const QRectF v = view->view;
    QVERIFY2(near(v.x(), expected.x(), 1e-6) && near(v.y(), expected.y(), 1e-6)
                 && near(v.width(), expected.width(), 1e-6) && near(v.height(), expected.height(), 1e-6),
             qPrintable(QString("view %1 %2 %3 %4").arg(v.x()).arg(v.y()).arg(v.width()).arg(v.height())));
    QCOMPARE(newS.at(0).at(0).toRectF(), v);
}

void TestImgDisp::newImageKeepsZoomAndResetShowsWhole()
{
    showImage(pattern(2048, 2048));
    moveTo(canvas(), QPointF(256, 256));
    turnWheel(canvas(), QPointF(256, 256), 120);
    const QRectF zoomed = view->view;
    QSignalSpy newS(view, &ImgDisp::newS);
    showImage(pattern(100, 80));
    QCOMPARE(view->view, zoomed);
    QTest::mouseClick(view->ResetScale, Qt::LeftButton);
    QCOMPARE(view->view, QRectF(0, 0, 100, 80));
    QCOMPARE(newS.count(), 0);
    moveTo(canvas(), QPointF(256, 256));
    QVERIFY(near(view->coord.toRealX(256), 50));
}

void TestImgDisp::plainClicks_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("picked");
    QTest::addColumn<int>("stat");
    QTest::newRow("left") << int(Qt::LeftButton) << 0 << true << int(MouseC::MLeft);
    QTest::newRow("right") << int(Qt::RightButton) << 0 << true << int(MouseC::MRight);
    QTest::newRow("shift left") << int(Qt::LeftButton) << int(Qt::ShiftModifier) << false << 0;
    QTest::newRow("ctrl left") << int(Qt::LeftButton) << int(Qt::ControlModifier) << false << 0;
    QTest::newRow("alt left") << int(Qt::LeftButton) << int(Qt::AltModifier) << false << 0;
    QTest::newRow("ctrl right") << int(Qt::RightButton) << int(Qt::ControlModifier) << false << 0;
    QTest::newRow("shift right") << int(Qt::RightButton) << int(Qt::ShiftModifier) << false << 0;
    QTest::newRow("middle") << int(Qt::MiddleButton) << 0 << false << 0;
}

void TestImgDisp::plainClicks()
{
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(bool, picked);
    QFETCH(int, stat);
    showImage(pattern(2048, 1024));
    QSignalSpy points(view, &ImgDisp::selectedAPoint);
    click(canvas(), QPointF(101, 51), Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(points.count(), picked ? 1 : 0);
    if (picked) {
        // Not truncated: 4 image pixels per canvas pixel across, 2 down.
        QCOMPARE(points.at(0).at(0).toDouble(), 404.0);
        QCOMPARE(points.at(0).at(1).toDouble(), 102.0);
        QCOMPARE(int(points.at(0).at(2).value<MouseC::MStat>()), stat);
    }
    QVERIFY(!view->selValid);
}

void TestImgDisp::leftDragPansAndPicksReleasePoint()
{
    showImage(pattern(2048, 1024));
    QSignalSpy newS(view, &ImgDisp::newS);
    QSignalSpy points(view, &ImgDisp::selectedAPoint);
    press(canvas(), QPointF(100, 100), Qt::LeftButton);
    moveTo(canvas(), QPointF(150, 120), Qt::LeftButton);
    QCOMPARE(view->view, QRectF(-200, -40, 2048, 1024));
    QCOMPARE(newS.count(), 1);
    release(canvas(), QPointF(150, 120), Qt::LeftButton);
    QCOMPARE(points.count(), 1);
    // The released point in the panned view is the pressed image point.
    QCOMPARE(points.at(0).at(0).toDouble(), 400.0);
    QCOMPARE(points.at(0).at(1).toDouble(), 200.0);
}

void TestImgDisp::rightDragDoesNothing()
{
    showImage(pattern(2048, 1024));
    QSignalSpy newS(view, &ImgDisp::newS);
    press(canvas(), QPointF(100, 100), Qt::RightButton, Qt::ControlModifier);
    moveTo(canvas(), QPointF(150, 120), Qt::RightButton, Qt::ControlModifier);
    release(canvas(), QPointF(150, 120), Qt::RightButton, Qt::ControlModifier);
    QCOMPARE(view->view, QRectF(0, 0, 2048, 1024));
    QCOMPARE(newS.count(), 0);
}

void TestImgDisp::shiftDragSelects()
{
    showImage(pattern(2048, 1024));
    QSignalSpy points(view, &ImgDisp::selectedAPoint);
    QSignalSpy newS(view, &ImgDisp::newS);
    press(canvas(), QPointF(100, 100), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(view->selecting);
    moveTo(canvas(), QPointF(50, 60), Qt::LeftButton, Qt::ShiftModifier);
    release(canvas(), QPointF(50, 60), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(!view->selecting);
    QVERIFY(view->selValid);
    // Dragged up and left: normalised to positive width and height.
    QCOMPARE(view->sel, QRectF(200, 120, 200, 80));
    QCOMPARE(points.count(), 0);
    QCOMPARE(newS.count(), 0);
    QCOMPARE(view->view, QRectF(0, 0, 2048, 1024));
}

void TestImgDisp::shiftClickMakesNoSelection()
{
    showImage(pattern(2048, 1024));
    click(canvas(), QPointF(100, 100), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(!view->selecting);
    QVERIFY(!view->selValid);
}

void TestImgDisp::shiftRightClearsSelection()
{
    showImage(pattern(2048, 1024));
    press(canvas(), QPointF(100, 100), Qt::LeftButton, Qt::ShiftModifier);
    moveTo(canvas(), QPointF(200, 150), Qt::LeftButton, Qt::ShiftModifier);
    release(canvas(), QPointF(200, 150), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(view->selValid);
    press(canvas(), QPointF(10, 10), Qt::RightButton, Qt::ShiftModifier);
    QVERIFY(!view->selValid);
    QCOMPARE(view->sel, QRectF());
}

void TestImgDisp::drawsVisiblePartOnly()
{
    // A 4 x 4 image whose left half is black and right half white, zoomed onto its
    // right half: the canvas is white throughout.
    QImage image(4, 4, QImage::Format_Grayscale8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            image.scanLine(y)[x] = x < 2 ? 0 : 255;
    showImage(image);
    QImage shot = view->dispA->grab().toImage();
    QCOMPARE(qGray(shot.pixel(100, 256)), 0);
    QCOMPARE(qGray(shot.pixel(400, 256)), 255);
    view->view = QRectF(2, 0, 2, 4);
    shot = view->dispA->grab().toImage();
    QCOMPARE(qGray(shot.pixel(100, 256)), 255);
    QCOMPARE(qGray(shot.pixel(400, 256)), 255);
}

void TestImgDisp::saveWritesVisiblePartAtImageResolution()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QImage image = pattern(300, 200);
    showImage(image);
    view->view = QRectF(10.7, 20.2, 100.9, 50.5);
    const QString name = dir.filePath("crop.png");
    QVERIFY(view->saveImage(name));
    const QImage saved(name);
    QCOMPARE(saved.size(), QSize(100, 50));
    for (const QPoint &p : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 49), QPoint(57, 31)})
        QCOMPARE(qGray(saved.pixel(p)), int(image.scanLine(20 + p.y())[10 + p.x()]));
}

void TestImgDisp::saveFailureIsLogged()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    showImage(pattern(30, 20));
    const QString badSuffix = dir.filePath("crop.nosuchformat");
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Failed to save the image \"%1\"").arg(badSuffix)));
    QVERIFY(!view->saveImage(badSuffix));
    QVERIFY(!QFile::exists(badSuffix));
}

QTEST_MAIN(TestImgDisp)
#include "tst_imgdisp.moc"
