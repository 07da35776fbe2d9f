#include "DrawText.h"
#include "DataRoot.h"
#include "FileDialogs.h"
#include "ImgData.h"
#include "ImageRendering.h"
#include "ImgDatas.h"
#include "FieldWidth.h"
#include "NumberField.h"
#include "ItexWriter.h"
#include "RawDisp.h"
#include "ViewTransform.h"
#include "WidgetChecks.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QPushButton>

#include <climits>
#include <limits>
#include <memory>

#include <tiffio.h>

namespace {
bool near(double a, double b) { return std::abs(a - b) <= 1e-9; }
// Press at (100, 100), move through `via` (when set) to `to`, release; stat of the picked
// point (-1: none), selection.
struct Pointer { Qt::MouseButton button; Qt::KeyboardModifiers mods; QPointF to; QRectF view; int stat; QRectF sel; QPointF via = {}; };
int countColour(const QImage &shot, const QRect &area, const QColor &colour)
{
    const QImage part = shot.copy(area).convertToFormat(QImage::Format_RGB32);
    const QRgb *pixels = reinterpret_cast<const QRgb *>(part.constBits());
    return int(std::count(pixels, pixels + part.width() * part.height(), colour.rgb()));
}
QVector<int> bytes(const QImage &image)
{
    QVector<int> all;
    for (int y = 0; y < image.height(); ++y)
        all += QVector<int>(image.scanLine(y), image.scanLine(y) + image.width());
    return all;
}
// An in-memory reader that counts row reads, to see how often the pixels are scanned.
struct CountingImage : ImgData {
    CountingImage(int w, int h, std::vector<double> values) : w(w), h(h), pixels(std::move(values)) {}
    void reset() override {}
    bool readProps(const QString &, int &width, int &height) override { return width = w, height = h, true; }
    bool load() override { return true; }
    double *line(int y, double *out) const override { return ++lineReads, std::copy_n(&pixels[y * w], w, out), out; }
    double *column(int, double *out) const override { return out; }
    mutable int lineReads = 0;
    int w, h;
    std::vector<double> pixels;
};
// A float TIFF read with libtiff itself: width, height and every value; empty when it is
// not one grey 32-bit float image.
struct FloatImage { int w = 0, h = 0; std::vector<float> values; };
FloatImage readFloatTiff(const QString &fileName)
{
    FloatImage read;
    TIFF *tif = TIFFOpen(QFile::encodeName(fileName).constData(), "r");
    if (!tif)
        return read;
    uint32_t w = 0, h = 0;
    uint16_t bits = 0, format = 0, samples = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (bits == 32 && format == SAMPLEFORMAT_IEEEFP && samples == 1 && w * h < 1u << 24) {
        std::vector<float> values(size_t(w) * h);
        bool whole = true;
        for (uint32_t y = 0; y < h && whole; ++y)
            whole = TIFFReadScanline(tif, values.data() + size_t(y) * w, y, 0) == 1;
        if (whole)
            read = {int(w), int(h), std::move(values)};
    }
    TIFFClose(tif);
    return read;
}
} // namespace
Q_DECLARE_METATYPE(Pointer)

// Canvas, view geometry, image view (512 x 256: not square, axes not to be mixed up), colour bar.
class TestDisplay : public QObject
{
    Q_OBJECT
    RawDisp *view = nullptr;
    std::unique_ptr<ColorBar> bar;
    void newBar() { bar.reset(new ColorBar), bar->resize(25, 400); }
    QWidget *canvas() const { return view->dispA; }
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
        newBar();
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
        for (const auto &[signal, name] : {std::pair{&DispA::mouseMoved0, "move"}, {&DispA::mousePressed0, "press"},
                                           {&DispA::mouseReleased0, "release"}, {&DispA::mouseDoubleClicked0, "dbl"}})
            connect(&c, signal, this, [&emitted, name = name] { emitted << name; });
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
        sendMouse(&c, QEvent::MouseButtonDblClick, {90, 95}, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE(QList<QPoint>({m.dClickPos, m.pos}), QList<QPoint>({{90, 95}, {40, 50}}));
        QVERIFY(m.pressed && m.dClickModifiers == Qt::ControlModifier);
        QCOMPARE(emitted, QStringList({"move", "press", "release", "press", "dbl"}));
        for (const auto &[delta, steps, factor] : {std::tuple{120, 1., 1 / 1.1}, {-60, -.5, 1.1}, {0, 0., 1 / 1.1}}) {
            turnWheel(&c, QPointF(100, 100), delta);
            QVERIFY(near(c.wheelSteps, steps) && near(c.zoomFactor, factor));
        }
        // Left 0..7, right 8..15 by none, Shift, Control, Alt, pairs, triple; keypad ignored.
        const Qt::KeyboardModifiers s = Qt::ShiftModifier, ctl = Qt::ControlModifier, alt = Qt::AltModifier;
        const Qt::KeyboardModifiers mods[] = {{}, s, ctl, alt, s | ctl, s | alt, ctl | alt, s | ctl | alt};
        for (int i = 0; i < 8; ++i)
            QVERIFY(MouseC::stat(Qt::LeftButton, mods[i] | Qt::KeypadModifier) == i
                    && MouseC::stat(Qt::RightButton, mods[i]) == 8 + i);
        QCOMPARE(MouseC::stat(Qt::MiddleButton, s), MouseC::MOther);

        // Paint layers in order, later ones over earlier ones.
        c.resize(400, 200);
        QStringList order;
        connect(&c, &DispA::drawImage0, this, [&](QPainter *) { order << "0"; });
        connect(&c, &DispA::drawImage1, this, [&](QPainter *p) { order << "1", p->fillRect(0, 0, 10, 10, Qt::red); });
        connect(&c, &DispA::drawImage2, this, [&](QPainter *p) { order << "2", p->fillRect(5, 5, 10, 10, Qt::blue); });
        const QImage shot = c.grab().toImage();
        QCOMPARE(order, QStringList({"0", "1", "2"}));
        QCOMPARE(QList<QColor>({shot.pixel(2, 2), shot.pixel(7, 7), shot.pixel(0, 199), shot.pixel(399, 0)}),
                 QList<QColor>({Qt::red, Qt::blue, Qt::white, Qt::white}));
        // The paint sets the screen range, y from the bottom: image-like real y grows downward.
        ChCoord &r = c.coord;
        r.setRealCoord(-5, 7, 95, -3);
        QVERIFY(near(r.toRealX(0), -5) && near(r.toRealX(400), 95) && near(r.toRealY(200), 7));
        QVERIFY(near(r.toRealY(50), -0.5) && near(r.toScreenLenX(10), 40) && near(r.toScreenLenY(10), 200));
        for (double at : {0.0, 123.25, -57.5})
            QVERIFY(near(r.toScreenX(r.toRealX(at)), at) && near(r.toScreenY(r.toRealY(at)), at));
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
        const QLayoutItem *beside = view->gridLayout->itemAtPosition(0, 1);  // the bar's column, no gap column
        QVERIFY(beside && beside->widget() == view->CBar);
        // Zoomed out past the int range: the pointer is no pixel of the image.
        showImage(2048, 1024);
        for (int notch = 0; notch < 250; ++notch)
            turnWheel(canvas(), QPointF(0, 0), -120);
        QSignalSpy newPos(view, &ImgDisp::newPos);
        moveTo(canvas(), QPointF(canvas()->width() - 1, canvas()->height() - 1));
        QCOMPARE(newPos.at(0).at(0).toInt(), INT_MAX);
        QVERIFY(view->PosX->text().isEmpty() && view->PosY->text().isEmpty());
    }

    // Fields as wide as the numbers of this image and range, far narrower than the worst
    // case; squeezed, they give way (elided, whole text as tool tip) and the bar stays in sight.
    void readOutSizedForItsImage()
    {
        view->dispA->setMinimumSize(0, 0);
        view->dispA->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        view->CBar->setRange(-0.5, 4000.25);
        showImage(640, 180);
        auto *maxField = static_cast<NumberField *>(view->CBar->maxEdit());
        view->resize(1000, 400);
        QTRY_COMPARE(maxField->width(), maxField->sizeHint().width());  // the layout has taken the new hints
        QCoreApplication::processEvents();
        const QList<std::pair<NumberField *, const char *>> held{
            {view->PosX, "639"}, {view->PosY, "179"}, {view->Val, "-3999.87"}, {view->Val, "-0.5"},
            {static_cast<NumberField *>(view->CBar->minEdit()), "-0.5"}, {maxField, "4000.25"}};
        for (const auto &[field, text] : held) {
            QVERIFY2(showsWhole(field, text) && field->toolTip().isEmpty(), qPrintable(field->objectName() + " cuts " + text));
            QVERIFY(field->width() < FieldWidth::widthFor(field, FieldWidth::longestReal()));
        }
        // Half the tab beside the controls of a 1280-pixel screen.
        view->resize(300, 400);
        QTRY_VERIFY(view->width() <= 420);
        for (const QWidget *part : QList<QWidget *>{view->dispA, view->CBar, view->CBar->panelBase(), view->ResetScale}) {
            const QRect inView(part->mapTo(view, QPoint(0, 0)), part->size());
            QVERIFY2(view->rect().contains(inView) && part->width() > 0, part->metaObject()->className());
        }
        QVERIFY(!maxField->showsWhole() && maxField->toolTip() == "4000.25");
        // The elided text starts as the number does: its first digit is drawn at the left.
        const QImage shown = maxField->grab().toImage();
        QVERIFY(countColour(shown, QRect(0, 0, maxField->width() / 2, maxField->height()), Qt::black) > 0);
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
        QVERIFY(invY.count() == 1 && invY.at(0).at(1).toDouble() == 512);
        view->setVal(1234.56789);
        QCOMPARE(view->Val->text(), QString("1234.57"));
        // The owners' overlay layers come through the view.
        int layers = 0;
        connect(view, &DispAWLayout::drawImage0, this, [&] { ++layers; });
        connect(view, &DispAWLayout::drawImage2, this, [&] { layers += 10; });
        canvas()->grab();
        QCOMPARE(layers, 11);
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
        QVERIFY(newS.count() == 2 && newS.last().at(0).toRectF() == zoomed);
        showImage(2048, 2048);  // the next image of a series keeps the zoom
        QCOMPARE(view->view, zoomed);
        QTest::mouseClick(view->ResetScale, Qt::LeftButton);
        QCOMPARE(view->view, QRectF(0, 0, 2048, 2048));
        QCOMPARE(newS.count(), 2);
        QVERIFY(near(view->coord.toRealX(256), 1024) && near(view->coord.toRealY(128), 1024));
    }

    // A narrower image (the sinogram after the centre was set) is shown whole, and the
    // read-out reports only pixels of the image, with the owner's value or none.
    void newSizeShownWholeReadOutInside()
    {
        showImage(632, 200);
        turnWheel(canvas(), QPointF(100, 100), 120);
        QSignalSpy newS(view, &ImgDisp::newS);
        connect(view, &ImgDispWPV::newPosInvY, this, [&](double x, double y) {
            if (view->img.rect().contains(int(x), int(y)))
                view->setVal(x + y);
        });
        showImage(400, 200);
        QCOMPARE(view->view, QRectF(0, 0, 400, 200));
        QCOMPARE(newS, QList<QVariantList>({{QRectF(0, 0, 400, 200)}}));
        QVERIFY(near(view->coord.toRealX(512), 400));  // the converter follows before any move
        // 400 / 512 image pixels per canvas pixel in x, 200 / 256 in y.
        const QList<std::tuple<QPointF, QString, QString>> cases{
            {{511, 255}, "399 199", "598"}, {{0, 0}, "0 0", "0"}, {{256, 128}, "200 100", "300"}};
        for (const auto &[at, position, value] : cases) {
            moveTo(canvas(), at);
            QCOMPARE(view->PosX->text() + " " + view->PosY->text(), position);
            QCOMPARE(view->Val->text(), value);
        }
        // Panned so that the pointer is beside the image: nothing is reported.
        press(canvas(), QPointF(10, 10), Qt::LeftButton);
        moveTo(canvas(), QPointF(300, 10), Qt::LeftButton);
        release(canvas(), QPointF(300, 10), Qt::LeftButton);
        moveTo(canvas(), QPointF(100, 10));
        QVERIFY(view->PosX->text().isEmpty() && view->PosY->text().isEmpty() && view->Val->text().isEmpty());
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
        // The image follows the pointer; only a click picks, so a pan never moves the slice.
        QTest::newRow("left drag pans") << Pointer{left, none, {150, 120}, {-200, -80, 2048, 1024}, -1, {}};
        QTest::newRow("left drag back to the start") << Pointer{left, none, still, whole, -1, {}, {160, 100}};
        QTest::newRow("right drag") << Pointer{right, none, {150, 120}, whole, -1, {}};
        // A hand trembling by 3 pixels still clicks; the picked point is the pressed image point.
        QTest::newRow("left click trembling") << Pointer{left, none, {102, 101}, {-8, -4, 2048, 1024}, MouseC::MLeft, {}};
        QTest::newRow("right click trembling") << Pointer{right, none, still, whole, MouseC::MRight, {}, {98, 101}};
        QTest::newRow("left release 4 pixels away") << Pointer{left, none, {100, 104}, {0, -16, 2048, 1024}, -1, {}};
        // Dragged up and left: normalised to positive width and height.
        QTest::newRow("shift left drag selects") << Pointer{left, shift, {50, 60}, whole, -1, {200, 240, 200, 160}};
        QTest::newRow("ctrl right drag does nothing") << Pointer{right, ctrl, {150, 120}, whole, -1, {}};
    }
    void pointer()
    {
        QFETCH(Pointer, c);
        showImage(2048, 1024);
        QSignalSpy newS(view, &ImgDisp::newS), points(view, &ImgDisp::selectedAPoint), rects(view, &ImgDisp::selectedARect);
        press(canvas(), QPointF(100, 100), c.button, c.mods);
        if (!c.via.isNull())
            moveTo(canvas(), c.via, c.button, c.mods);
        if (!c.via.isNull() || c.to != QPointF(100, 100))
            moveTo(canvas(), c.to, c.button, c.mods);
        release(canvas(), c.to, c.button, c.mods);
        QCOMPARE(view->view, c.view);
        QCOMPARE(newS.isEmpty() ? QRectF(0, 0, 2048, 1024) : newS.last().at(0).toRectF(), c.view);
        QList<double> picked;
        for (const QVariantList &point : points)
            picked << point.at(0).toDouble() << point.at(1).toDouble() << point.at(2).value<MouseC::MStat>();
        QCOMPARE(picked, c.stat < 0 ? QList<double>() : QList<double>({400, 400, double(c.stat)}));
        QVERIFY(!view->selecting && view->selValid == !c.sel.isNull());
        QCOMPARE(view->selValid ? view->sel : QRectF(), c.sel);
        QCOMPARE(rects.size(), c.sel.isNull() ? 0 : 1);
        if (!rects.isEmpty())
            QCOMPARE(rects.first().at(0).toRectF(), c.sel);
        // A click after a selection picks its point and reports no region again.
        press(canvas(), QPointF(20, 20), Qt::LeftButton);
        release(canvas(), QPointF(20, 20), Qt::LeftButton);
        QCOMPARE(rects.size(), c.sel.isNull() ? 0 : 1);
        // Shift + right press clears the selection, and the canvas repaints without it.
        QCoreApplication::processEvents();
        PaintCounter painted(canvas());
        press(canvas(), QPointF(10, 10), Qt::RightButton, Qt::ShiftModifier);
        QVERIFY(!view->selValid && view->sel.isNull());
        QTRY_VERIFY(painted.paints > 0);
    }

    void drawsAndSavesVisiblePartOnly()
    {
        // A 4 x 4 pattern (byte x + 3y) stretched over the canvas, then its right half only.
        showImage(4, 4);
        QCOMPARE(qGray(view->dispA->grab().toImage().pixel(100, 160)), 6);
        view->view = QRectF(2, 0, 2, 4);
        QCOMPARE(qGray(view->dispA->grab().toImage().pixel(100, 160)), 8);
        // Saved at image resolution, the view's numbers truncated.
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

    // A slice of 4 x 4 in the 512 x 256 canvas: square pixels, centred, white beside it;
    // unchecked, the picture is stretched over the whole canvas again.
    void keptAspectDrawsSquarePixels()
    {
        // The view's menu: a plain right click on the picture stays a pick; with Ctrl, or
        // from the keyboard, it goes on to the menu, whose first entry is this switch. (A
        // canvas of its own: in the view an ignored event would open the menu.)
        DispA bare;
        for (const auto &[reason, mods, toMenu] : {std::tuple{QContextMenuEvent::Mouse, Qt::KeyboardModifiers(), false},
                                                   {QContextMenuEvent::Mouse, Qt::ControlModifier, true},
                                                   {QContextMenuEvent::Keyboard, Qt::KeyboardModifiers(), true}}) {
            QContextMenuEvent e(reason, QPoint(5, 5), QPoint(5, 5), mods);
            e.setAccepted(true);
            QCoreApplication::sendEvent(&bare, &e);
            QCOMPARE(!e.isAccepted(), toMenu);
        }
        QVERIFY(view->contextMenuPolicy() == Qt::ActionsContextMenu && view->actions().first()->isCheckable());
        showImage(4, 4);
        view->setKeepAspectRatio(true);
        QImage shot = view->dispA->grab().toImage();
        QCOMPARE(qGray(shot.pixel(100, 128)), 255);
        QCOMPARE(qGray(shot.pixel(412, 128)), 255);
        // Columns 128..383 show the image; (130, 2) is image pixel (0, 0), (380, 253) is (3, 3).
        QCOMPARE(qGray(shot.pixel(130, 2)), 0);
        QCOMPARE(qGray(shot.pixel(380, 253)), 12);
        // The pointer read-out follows the drawn picture, not the stretched one.
        QSignalSpy positions(view, &ImgDisp::newPos);
        moveTo(canvas(), QPointF(200, 100));
        QCOMPARE(positions.last(), (QList<QVariant>{1, 1}));
        view->setKeepAspectRatio(false);
        shot = view->dispA->grab().toImage();
        QCOMPARE(qGray(shot.pixel(100, 128)), 6);
    }

    // "Save view as…": the picture as the canvas shows it, or the visible values as
    // 32-bit floats, each read back with another reader.
    void savesTheViewAsPictureAndValues()
    {
        QTemporaryDir dir;
        const int w = 300, h = 200;
        std::vector<double> data(size_t(w) * h);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = 0.1 * double(i) - 1e3;  // not whole numbers: float rounding shows
        view->rowValues = [&](int y, double *out) { return copyRow(data.data(), w, h, y, out); };
        showImage(w, h);
        view->view = QRectF(10.7, 20.2, 100.9, 50.5);
        QVERIFY(view->saveView(dir.filePath("shown.png")));
        QCOMPARE(QImage(dir.filePath("shown.png")).convertToFormat(QImage::Format_RGB32),
                 view->dispA->grab().toImage().convertToFormat(QImage::Format_RGB32));
        QVERIFY(view->saveView(dir.filePath("values.TIF")));
        const FloatImage saved = readFloatTiff(dir.filePath("values.TIF"));
        QCOMPARE(QSize(saved.w, saved.h), QSize(100, 50));
        int differing = 0;
        for (int y = 0; y < saved.h; ++y)
            for (int x = 0; x < saved.w; ++x)
                differing += saved.values[size_t(y) * saved.w + x] != float(data[size_t(20 + y) * w + 10 + x]);
        QCOMPARE(differing, 0);
        // A kept aspect ratio widens the whole image beyond its sides; only its own columns are saved.
        view->setKeepAspectRatio(true);
        view->view = QRectF(0, 0, 300, 200);
        QVERIFY(view->saveView(dir.filePath("fitted.tiff")));
        const FloatImage fitted = readFloatTiff(dir.filePath("fitted.tiff"));
        QCOMPARE(QSize(fitted.w, fitted.h), QSize(300, 200));
        QCOMPARE(fitted.values.back(), float(data.back()));
        // Failures: one debug line, nothing left behind, no dialog.
        const QString missing = dir.filePath("no/such/folder/v.tif");
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Failed to write the float TIFF \"%1\"").arg(missing)));
        QVERIFY(!view->saveView(missing));
        const QString picture = dir.filePath("no/such/folder/v.png");
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Failed to save the view \"%1\"").arg(picture)));
        QVERIFY(!view->saveView(picture));
        view->rowValues = nullptr;
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("No values to save in \"%1\"").arg(dir.filePath("none.tif"))));
        QVERIFY(!view->saveView(dir.filePath("none.tif")) && !QFile::exists(dir.filePath("none.tif")));
        for (const QWidget *shown : QApplication::topLevelWidgets())
            QVERIFY(shown == view || !shown->isVisible());
    }

    void fileDialogStartFolder()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("sub"));
        QFile file(dir.filePath("sub/a.img"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString sub = QDir(dir.filePath("sub")).absolutePath();
        QCOMPARE(FileDialogs::startFolder(file.fileName()), sub);
        QCOMPARE(FileDialogs::startFolder(sub), sub);
        QCOMPARE(FileDialogs::startFolder(dir.filePath("sub/not-yet.img")), sub);  // a name to save as
        QCOMPARE(FileDialogs::startFolder(dir.filePath("gone/a.img")), dataRoot());
        QCOMPARE(FileDialogs::startFolder(QString()), dataRoot());
        QFileDialog dialog;
        FileDialogs::setUp(dialog);
        FileDialogs::open(dialog, file.fileName());
        QCOMPARE(dialog.directory().absolutePath(), sub);
        QVERIFY(dialog.isVisible() && dialog.width() >= FileDialogs::kSize.width());
        // Every column of the detail view (name, size, type, date) is in sight whole.
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const auto *details = dialog.findChild<QTreeView *>("treeView");
        QVERIFY(details && details->isVisible() && details->header()->count() == 4);
        for (int column = 0; column < 4; ++column)
            QVERIFY2(details->header()->sectionViewportPosition(column) + details->header()->sectionSize(column)
                         <= details->viewport()->width(), qPrintable(QString("column %1 is cut").arg(column)));
    }

    void colorIndex()
    {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        // min, max, handles, value, grey: truncated, top white, steps, inverted, outside, NaN black.
        const double rows[][6] = {{0, 1, 0, 1, 0.5, 128},   {0, 1, 0, 1, 1, 255},      {0, 1, 0, 1, 0.99, 253},
                                  {5, 5, 0, 1, 6, 255},     {5, 5, 0, 1, 5, 0},        {0, 1, 0.5, 0.5, 0.5, 0},
                                  {0, 1, 1, 0, 0.25, 192},  {0, 1, -1, 2, 0, 85},      {0, 1, 0, 1, nan, 0}};
        for (const auto &r : rows) {
            bar->setRange(r[0], r[1]);
            bar->setHandles(r[2], r[3]);
            QCOMPARE(bar->colorIndex(r[4]), int(r[5]));
        }
    }

    // A press at y is r = (400 - y) / 400; coinciding handles: above grabs upper, on/below lower.
    void handleDrag()
    {
        struct { double both; int pressY; Qt::MouseButton b; int moveY; bool grabbed; double low, high; } rows[] = {
            {-1, 40, Qt::LeftButton, 100, true, 0, 0.75},        {-1, 360, Qt::LeftButton, 300, true, 0.25, 1},
            {-1, 200, Qt::RightButton, 100, false, 0, 1},        {-1, 390, Qt::LeftButton, 500, true, -0.25, 1},
            {-1, 390, Qt::LeftButton, -400, true, 2, 1},         {0.5, 100, Qt::LeftButton, 40, true, 0.5, 0.9},
            {0.5, 200, Qt::LeftButton, 300, true, 0.25, 0.5},    {0.5, 300, Qt::LeftButton, 360, true, 0.1, 0.5},
            {-1, -1, Qt::LeftButton, 100, false, 0, 1}};  // no press: nothing held
        for (const auto &r : rows) {
            newBar();
            bar->setHandles(r.both < 0 ? 0 : r.both, r.both < 0 ? 1 : r.both);
            QSignalSpy newBars(bar.get(), &ColorBar::newBar);
            if (r.pressY >= 0)
                press(bar.get(), QPointF(10, r.pressY), r.b);
            QVERIFY(bar->isGrabbed() == r.grabbed && newBars.isEmpty());
            moveTo(bar.get(), QPointF(10, r.moveY), r.pressY >= 0 ? r.b : Qt::NoButton);  // moves with a button emit
            QCOMPARE(newBars.count(), r.pressY >= 0 ? 1 : 0);
            // A release drops the handle silently; later moves without a button change nothing.
            release(bar.get(), QPointF(10, r.moveY), r.b);
            moveTo(bar.get(), QPointF(10, 250));
            QVERIFY(!bar->isGrabbed());
            QCOMPARE(newBars.count(), r.pressY >= 0 ? 1 : 0);
            QVERIFY(std::abs(bar->lowR() - r.low) <= 1e-12 && std::abs(bar->highR() - r.high) <= 1e-12);
        }
    }

    void fieldEditsFixAndAutoRange()
    {
        // A typed field sets its end (0 when not a finite number), keeps the text and fixes the scale.
        for (const auto &[minField, text, expected] :
             {std::tuple{true, "-1.5e3", -1500.0}, {false, "1x2", 0.0}, {false, "inf", 0.0}}) {
            bar->setFixColorScale(false);
            bar->setRange(7, 9);
            QLineEdit *field = minField ? bar->minEdit() : bar->maxEdit();
            QSignalSpy newBars(bar.get(), &ColorBar::newBar);
            field->selectAll();
            QTest::keyClicks(field, text);
            QTest::keyClick(field, Qt::Key_Return);
            QVERIFY(newBars.count() == 1 && bar->isFixed());
            QCOMPARE(minField ? bar->minV() : bar->maxV(), expected);
            QCOMPARE(minField ? bar->maxV() : bar->minV(), minField ? 9.0 : 7.0);
            QCOMPARE(field->text(), QString(text));
        }
        // Auto range shows rounded texts of the exact values, not while fixed; silently.
        bar->setFixColorScale(false);
        QSignalSpy newBars(bar.get(), &ColorBar::newBar);
        bar->autoRange(0.000123456789, 4000.123456);
        QCOMPARE(bar->minEdit()->text() + " " + bar->maxEdit()->text(), QString("0.000123457 4000.12"));
        bar->setFixColorScale(true);
        bar->autoRange(-5, 5);
        QVERIFY(bar->maxV() == 4000.123456 && bar->minEdit()->text() == "0.000123457");
        bar->setFixColorScale(false);
        bar->autoRange(-5, 5);
        QVERIFY(bar->minV() == -5 && bar->maxEdit()->text() == "5" && newBars.isEmpty());
    }

    // The owner rebuilds on every newBar, as the views' owners do.
    void typedEndStaysUntilUnfixed()
    {
        CountingImage reader(2, 1, {100, 4000});
        QVERIFY(reader.open());
        QImage image;
        connect(bar.get(), &ColorBar::newBar, this, [&] { renderThroughBar(reader, image, *bar); });
        renderThroughBar(reader, image, *bar);
        // Return on an untouched field keeps the scale automatic.
        QTest::keyClick(bar->maxEdit(), Qt::Key_Return);
        QVERIFY(!bar->isFixed() && bar->maxV() == 4000);
        bar->maxEdit()->selectAll();
        QTest::keyClicks(bar->maxEdit(), "5000");
        QTest::keyClick(bar->maxEdit(), Qt::Key_Return);
        renderThroughBar(reader, image, *bar);  // a new image of the series
        QVERIFY(bar->isFixed() && bar->maxV() == 5000 && bar->maxEdit()->text() == "5000");
        QCOMPARE(bytes(image), QVector<int>({0, 203}));  // 3900 / 4900 of 256
        // Unchecked by hand: the data's range at once, without another image.
        QSignalSpy newBars(bar.get(), &ColorBar::newBar);
        QTest::keyClick(bar->fixBox(), Qt::Key_Space);
        QVERIFY(!bar->isFixed() && newBars.count() == 1);
        QCOMPARE(bar->minEdit()->text() + " " + bar->maxEdit()->text(), QString("100 4000"));
        QCOMPARE(bytes(image), QVector<int>({0, 255}));
        // Checked by hand, or set by a script: nothing to rebuild.
        QTest::keyClick(bar->fixBox(), Qt::Key_Space);
        bar->setFixColorScale(false);
        QVERIFY(!bar->isFixed() && newBars.count() == 1);
    }

    void paintsRampHandlesAndLabels()
    {
        bar->setRange(100, 4000);
        bar->setHandles(0.25, 0.75);
        QCOMPARE(bar->colorScale().valueAt(0.25), 1075.0);  // what the grabbed lower handle reads
        const QImage shot = bar->grab().toImage();
        // Row y shows (H - 1 - y) / H: black, then (f - 0.25) * 512 truncated, then white.
        QList<int> greys;
        for (int y : {299, 298, 200, 150, 99})
            greys << qGray(shot.pixel(12, y));
        QCOMPARE(greys, QList<int>({0, 1, 126, 190, 255}));
        // Handle lines across the whole width at trunc((1 - r) * H).
        const QColor handle(0, 192, 255), label(0, 255, 192);
        QCOMPARE(countColour(shot, QRect(0, 100, 25, 1), handle) + countColour(shot, QRect(0, 300, 25, 1), handle), 50);
        QCOMPARE(countColour(shot, QRect(0, 101, 25, 198), handle), 0);
        // Labels: the range ends near the ends, the grabbed handle's value only while grabbed.
        const QRect middle(0, 105, 25, 190);
        QVERIFY(countColour(shot, {0, 0, 25, 100}, label) > 0 && countColour(shot, {0, 300, 25, 100}, label) > 0);
        QCOMPARE(countColour(shot, middle, label), 0);
        // On the white end (above the upper handle) the maximum's label has a dark rim.
        const QImage top = shot.copy(0, 0, 25, 99);
        int dark = 0;
        for (int y = 0; y < top.height(); ++y)
            for (int x = 0; x < top.width(); ++x)
                dark += qGray(top.pixel(x, y)) < 64;
        QVERIFY(dark > 0 && qGray(shot.pixel(0, 99)) == 255);
        press(bar.get(), QPointF(10, 90), Qt::LeftButton);
        QVERIFY(countColour(bar->grab().toImage(), middle, label) > 0);
        // The release asks for the repaint that takes that label away.
        bar->show();
        QVERIFY(QTest::qWaitForWindowExposed(bar.get()));
        QCoreApplication::processEvents();
        PaintCounter painted(bar.get());
        release(bar.get(), QPointF(10, 90), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(painted.paints > 0, 2000);
        QCOMPARE(countColour(bar->grab().toImage(), middle, label), 0);
        // Label sizes: a long label in a narrow box shrinks, a short one in a large box is capped.
        const auto size = [](const char *text, int w, int h, double most) {
            return DrawText::fittedPointSize(QFont(), Qt::AlignLeft | Qt::AlignVCenter, text, w, h, most);
        };
        QVERIFY(size("123456789012", 20, 25, 10) < 10 && size("1", 500, 500, 10) == 10 && size("1", 500, 500, 0) > 10);
        QCOMPARE(size("", 95, 25, 0), 10.0);
    }

    void rendersThroughTheBar()
    {
        // Rows differ (a transposed or repeated row shows); without data nothing is touched.
        CountingImage reader(3, 2, {100, 2050, 4000, 500, 3000, 1000});
        QImage image(2, 2, QImage::Format_Grayscale8);
        image.fill(77);
        renderThroughBar(reader, image, *bar);
        QVERIFY(bytes(image) == QVector<int>({77, 77, 77, 77}) && bar->maxEdit()->text() == "1");
        QVERIFY(reader.open());
        renderThroughBar(reader, image, *bar);
        QCOMPARE(bar->minEdit()->text() + " " + bar->maxEdit()->text(), QString("100 4000"));
        QVERIFY(image.format() == QImage::Format_Grayscale8);
        QCOMPARE(bytes(image), QVector<int>({0, 128, 255, 26, 190, 59}));
        QCOMPARE(reader.lineReads, 2 + 2);  // one scan for min/max, one for the pixels
        // Fixed: range and texts stay, values outside clamp; only the pixels are read again.
        bar->setRange(1000, 2000);
        bar->minEdit()->setText("1e3");
        bar->setFixColorScale(true);
        renderThroughBar(reader, image, *bar);
        QVERIFY(reader.lineReads == 4 + 2 && bar->minV() == 1000 && bar->maxV() == 2000);
        QCOMPARE(bar->minEdit()->text() + " " + bar->maxEdit()->text(), QString("1e3 2000"));
        QCOMPARE(bytes(image), QVector<int>({0, 255, 255, 0, 255, 0}));

        // A series shows only the images it holds, each with its own range.
        QTemporaryDir dir;
        ImgDatas series;
        for (quint32 scale : {1u, 10u}) {
            const QString name = dir.filePath(QString("p%1.img").arg(scale));
            QVERIFY(ItexWriter::write(name, 2, 2, 2, {1 * scale, 2 * scale, 3 * scale, 4 * scale}) && series.add(name));
        }
        bar->setFixColorScale(false);
        QVERIFY(renderThroughBar(series, 1, image, *bar) && bar->maxV() == 40);
        QCOMPARE(bytes(image), QVector<int>({0, 85, 170, 255}));
    }
};

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
