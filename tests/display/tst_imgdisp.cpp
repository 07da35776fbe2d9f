#include "RawDisp.h"
#include "ViewTransform.h"
#include "WidgetChecks.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cmath>

namespace {
bool near(double a, double b) { return std::abs(a - b) <= 1e-9; }
// A press at canvas (100, 100), a move to `to` if it differs, a release there; the stat of
// the picked point (-1: none) and the selection made (null: none).
struct Pointer { Qt::MouseButton button; Qt::KeyboardModifiers modifiers; QPointF to; QRectF finalView; int stat; QRectF selection; };
} // namespace
Q_DECLARE_METATYPE(Pointer)

// The canvas, the view geometry and the image view on a 512 x 256 canvas (not square, so
// that the axes cannot be mixed up).
class TestImgDisp : public QObject
{
    Q_OBJECT
    RawDisp *view = nullptr;
    QWidget *canvas() const { return view->dispA; }
    // A w x h grey pattern whose bytes differ from pixel to pixel.
    void showImage(int w, int h)
    {
        view->img = QImage(w, h, QImage::Format_Grayscale8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                view->img.scanLine(y)[x] = uchar((x + 3 * y) % 256);
        view->newImage();
    }

private slots:
    void init()
    {
        view = new RawDisp;
        view->dispA->setFixedSize(512, 256);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
    }
    void cleanup() { delete view; }

    // A zoom keeps the image point under the pointer, a pan moves it with the pointer.
    void viewTransform()
    {
        const ViewTransform t(QRectF(100, 50, 2048, 1024), QSizeF(512, 128));
        QVERIFY(near(t.toImageX(256), 1124) && near(t.toImageY(64), 562));
        for (const QPointF &p : {QPointF(0, 0), QPointF(128, 96), QPointF(512, 7)}) {
            for (double factor : {1 / 1.1, 1.1}) {
                const ViewTransform z(t.zoomedAbout(p.x(), p.y(), factor), t.canvas);
                QVERIFY(near(z.view.width(), 2048 * factor) && near(z.view.height(), 1024 * factor));
                QVERIFY(near(z.toImageX(p.x()), t.toImageX(p.x())) && near(z.toImageY(p.y()), t.toImageY(p.y())));
            }
            const ViewTransform panned(t.pannedBy(10, 20, p.x(), p.y()), t.canvas);
            QCOMPARE(panned.view.size(), t.view.size());
            QVERIFY(near(panned.toImageX(p.x()), t.toImageX(10)) && near(panned.toImageY(p.y()), t.toImageY(20)));
        }
    }

    void canvasMouse()
    {
        DispA c;
        MouseC &m = c.mouse;
        QStringList emitted;
        connect(&c, &DispA::mouseMoved0, this, [&] { emitted << "move"; });
        connect(&c, &DispA::mousePressed0, this, [&] { emitted << "press"; });
        connect(&c, &DispA::mouseReleased0, this, [&] { emitted << "release"; });
        connect(&c, &DispA::mouseDoubleClicked0, this, [&] { emitted << "double"; });
        QVERIFY(c.hasMouseTracking());  // moves without a button are reported too
        moveTo(&c, QPointF(10.9, -0.7), Qt::NoButton, Qt::ShiftModifier);
        QCOMPARE(m.pos, QPoint(10, 0));  // truncated toward zero
        // Moves with Alt are ignored; presses and releases with Alt are recorded.
        moveTo(&c, QPointF(50, 60), Qt::LeftButton, Qt::AltModifier | Qt::ControlModifier);
        QCOMPARE(m.modifiers, Qt::KeyboardModifiers(Qt::ShiftModifier));
        press(&c, QPointF(15, 16), Qt::RightButton, Qt::AltModifier);
        QVERIFY(m.pressed && m.prevPos == QPoint(10, 0) && m.pressStat() == MouseC::MRightAlt);
        release(&c, QPointF(25, 26), Qt::RightButton);
        QVERIFY(!m.pressed && m.releaseButton == Qt::RightButton);
        QCOMPARE(QList<QPoint>({m.prevPos, m.pos, m.releasePos, m.pressPos}),
                 QList<QPoint>({{15, 16}, {25, 26}, {25, 26}, {15, 16}}));
        // A double click records only its own fields.
        press(&c, QPointF(40, 50), Qt::LeftButton);
        sendMouse(&c, QEvent::MouseButtonDblClick, QPointF(90, 95), Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE(QList<QPoint>({m.dClickPos, m.pos}), QList<QPoint>({{90, 95}, {40, 50}}));
        QVERIFY(m.pressed && m.dClickModifiers == Qt::ControlModifier);
        QCOMPARE(emitted, QStringList({"move", "press", "release", "press", "double"}));
        // One notch is 120; forward zooms in.
        for (const auto &[delta, steps, factor] : {std::tuple{120, 1.0, 1 / 1.1}, {-60, -0.5, 1.1}, {0, 0.0, 1 / 1.1}}) {
            turnWheel(&c, QPointF(100, 100), delta);
            QVERIFY(near(c.wheelSteps, steps) && near(c.zoomFactor, factor));
        }
        // Left 0..7 and right 8..15 by modifiers in the order none, Shift, Control, Alt and
        // their pairs and triple; other buttons 16; the keypad flag ignored.
        const Qt::KeyboardModifiers s = Qt::ShiftModifier, ctl = Qt::ControlModifier, alt = Qt::AltModifier;
        QList<int> stats;
        for (Qt::KeyboardModifiers mods : {{}, s, ctl, alt, s | ctl, s | alt, ctl | alt, s | ctl | alt})
            stats << MouseC::stat(Qt::LeftButton, mods | Qt::KeypadModifier) << MouseC::stat(Qt::RightButton, mods) - 8;
        QCOMPARE(stats, QList<int>({0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7}));
        QCOMPARE(MouseC::stat(Qt::MiddleButton, s), MouseC::MOther);
    }

    void canvasLayersAndConverter()
    {
        DispA c;
        c.resize(400, 200);
        QStringList order;
        connect(&c, &DispA::drawImage0, this, [&](QPainter *) { order << "0"; });
        connect(&c, &DispA::drawImage1, this, [&](QPainter *p) { order << "1", p->fillRect(0, 0, 10, 10, Qt::red); });
        connect(&c, &DispA::drawImage2, this, [&](QPainter *p) { order << "2", p->fillRect(5, 5, 10, 10, Qt::blue); });
        const QImage shot = c.grab().toImage();
        QCOMPARE(order, QStringList({"0", "1", "2"}));
        QCOMPARE(QList<QColor>({shot.pixel(2, 2), shot.pixel(7, 7), shot.pixel(200, 100)}),
                 QList<QColor>({Qt::red, Qt::blue, Qt::white}));
        // The paint sets the screen range, its y starting at the bottom; with image-like
        // real coordinates (a different scale per axis) real y grows downward.
        ChCoord &r = c.coord;
        r.setRealCoord(-5, 7, 95, -3);
        QVERIFY(near(r.toRealX(0), -5) && near(r.toRealX(400), 95) && near(r.toRealY(200), 7));
        QVERIFY(near(r.toRealY(50), -0.5) && near(r.toScreenLenX(10), 40) && near(r.toScreenLenY(10), 200));
        for (double s : {0.0, 123.25, -57.5})
            QVERIFY(near(r.toScreenX(r.toRealX(s)), s) && near(r.toScreenY(r.toRealY(s)), s));
    }

    void layoutAndReadOutWidths()
    {
        // Bar right of the canvas; below them one row: the read-out, then the bar's panel.
        const QRect canvasArea = view->dispA->geometry(), readOut = view->PVFrame->geometry();
        const QRect barArea = view->CBar->geometry(), panel = view->CBar->panelBase()->geometry();
        QVERIFY(barArea.left() >= canvasArea.right() && barArea.top() < canvasArea.bottom());
        QVERIFY(readOut.top() >= canvasArea.bottom() && panel.left() >= readOut.right());
        QVERIFY(readOut.top() <= panel.bottom() && panel.top() <= readOut.bottom());
        QVERIFY(view->ResetScale->width() >= view->ResetScale->fontMetrics().horizontalAdvance("Scale Reset"));
        // Zoomed out so far that the pointer lies beyond the int range, in a view squeezed
        // narrow: every read-out and range field still shows its longest text.
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

    void firstImageSetsViewAndPointerReportsPixel()
    {
        QSignalSpy newS(view, &ImgDisp::newS);
        QCoreApplication::processEvents();
        PaintCounter painted(canvas());
        showImage(0, 0);
        QVERIFY(!view->scaleSet);
        showImage(2048, 1024);
        showImage(2048, 1024);
        QCOMPARE(newS, QList<QVariantList>({{QRectF(0, 0, 2048, 1024)}}));
        QTRY_VERIFY_WITH_TIMEOUT(painted.paints > 0, 2000);  // a new picture is shown
        QSignalSpy newPos(view, &ImgDisp::newPos), invY(view, &ImgDispWPV::newPosInvY);
        moveTo(canvas(), QPointF(256, 128));
        QCOMPARE(newPos, QList<QVariantList>({{1024, 512}}));
        QCOMPARE(view->PosX->text() + " " + view->PosY->text(), QString("1024 512"));
        QCOMPARE(invY.count(), 1);
        QCOMPARE(invY.at(0).at(1).toDouble(), 512.0);
        view->setVal(1234.56789);
        QCOMPARE(view->Val->text(), QString("1234.57"));
        // The converter the owners draw their overlays with follows the view.
        QVERIFY(near(view->coord.toRealX(256), 1024) && near(view->coord.toScreenY(512), 128));
    }

    void wheelZoomThenNewImageKeepsItResetShowsWhole()
    {
        // Two notches forward off-centre: the second starts from a view away from the origin.
        showImage(2048, 2048);
        QSignalSpy newS(view, &ImgDisp::newS);
        moveTo(canvas(), QPointF(128, 192));
        turnWheel(canvas(), QPointF(128, 192), 120);
        turnWheel(canvas(), QPointF(128, 192), 120);
        const double in2 = 2048 / 1.1 / 1.1;
        const QRectF zoomed = view->view;
        QVERIFY(near(zoomed.x(), 512 - in2 / 4) && near(zoomed.y(), 1536 - in2 * 3 / 4));
        QVERIFY(near(zoomed.width(), in2) && near(zoomed.height(), in2));
        QCOMPARE(newS.count(), 2);
        QCOMPARE(newS.last().at(0).toRectF(), zoomed);
        showImage(100, 80);
        QCOMPARE(view->view, zoomed);
        QTest::mouseClick(view->ResetScale, Qt::LeftButton);
        QCOMPARE(view->view, QRectF(0, 0, 100, 80));
        QCOMPARE(newS.count(), 2);
        moveTo(canvas(), QPointF(256, 128));
        QVERIFY(near(view->coord.toRealX(256), 50) && near(view->coord.toRealY(128), 40));
    }

    // Over a 2048 x 1024 image: 4 image pixels per canvas pixel.
    void pointer_data()
    {
        QTest::addColumn<Pointer>("c");
        const QRectF whole(0, 0, 2048, 1024);
        const auto left = Qt::LeftButton, right = Qt::RightButton;
        const Qt::KeyboardModifiers none, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
        const QPointF still(100, 100);
        QTest::newRow("left click") << Pointer{left, none, still, whole, MouseC::MLeft, {}};
        QTest::newRow("right click") << Pointer{right, none, still, whole, MouseC::MRight, {}};
        QTest::newRow("shift left click") << Pointer{left, shift, still, whole, -1, {}};
        QTest::newRow("ctrl left click") << Pointer{left, ctrl, still, whole, -1, {}};
        QTest::newRow("middle click") << Pointer{Qt::MiddleButton, none, still, whole, -1, {}};
        // The image follows the pointer; the picked point is the pressed image point.
        QTest::newRow("left drag pans") << Pointer{left, none, {150, 120}, {-200, -80, 2048, 1024}, MouseC::MLeft, {}};
        // Dragged up and left: normalised to positive width and height.
        QTest::newRow("shift left drag selects") << Pointer{left, shift, {50, 60}, whole, -1, {200, 240, 200, 160}};
        QTest::newRow("ctrl right drag does nothing") << Pointer{right, ctrl, {150, 120}, whole, -1, {}};
    }
    void pointer()
    {
        QFETCH(Pointer, c);
        showImage(2048, 1024);
        QSignalSpy newS(view, &ImgDisp::newS), points(view, &ImgDisp::selectedAPoint);
        press(canvas(), QPointF(100, 100), c.button, c.modifiers);
        if (c.to != QPointF(100, 100))
            moveTo(canvas(), c.to, c.button, c.modifiers);
        release(canvas(), c.to, c.button, c.modifiers);
        QCOMPARE(view->view, c.finalView);
        QCOMPARE(newS.count(), c.finalView == QRectF(0, 0, 2048, 1024) ? 0 : 1);
        QList<double> picked;
        for (const QVariantList &point : points)
            picked << point.at(0).toDouble() << point.at(1).toDouble() << point.at(2).value<MouseC::MStat>();
        QCOMPARE(picked, c.stat < 0 ? QList<double>() : QList<double>({400, 400, double(c.stat)}));
        QVERIFY(!view->selecting);
        QCOMPARE(view->selValid, !c.selection.isNull());
        QCOMPARE(view->sel, c.selection.isNull() ? view->sel : c.selection);
        // Shift + right press clears the selection.
        press(canvas(), QPointF(10, 10), Qt::RightButton, Qt::ShiftModifier);
        QVERIFY(!view->selValid && view->sel.isNull());
    }

    void drawsVisiblePartOnly()
    {
        // A 4 x 4 pattern (byte x + 3y) stretched over the canvas, then its right half only.
        showImage(4, 4);
        QCOMPARE(qGray(view->dispA->grab().toImage().pixel(100, 160)), 6);
        view->view = QRectF(2, 0, 2, 4);
        QCOMPARE(qGray(view->dispA->grab().toImage().pixel(100, 160)), 8);
    }

    void saveWritesVisiblePartAtImageResolution()
    {
        QTemporaryDir dir;
        showImage(300, 200);
        view->view = QRectF(10.7, 20.2, 100.9, 50.5);
        QVERIFY(view->saveImage(dir.filePath("crop.png")));
        const QImage saved(dir.filePath("crop.png"));
        QCOMPARE(saved.size(), QSize(100, 50));
        for (const QPoint &p : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 49), QPoint(57, 31)})
            QCOMPARE(qGray(saved.pixel(p)), int(view->img.scanLine(20 + p.y())[10 + p.x()]));
        // A failed write is reported, with one debug line.
        const QString bad = dir.filePath("crop.nosuchformat");
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Failed to save the image \"%1\"").arg(bad)));
        QVERIFY(!view->saveImage(bad) && !QFile::exists(bad));
    }
};

QTEST_MAIN(TestImgDisp)
#include "tst_imgdisp.moc"
