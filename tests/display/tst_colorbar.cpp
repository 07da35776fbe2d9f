#include "ColorBar.h"
#include "DrawText.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "WidgetChecks.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {
int countColour(const QImage &shot, const QRect &area, const QColor &colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += QColor(shot.pixel(x, y)) == colour;
    return n;
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
} // namespace

// The colour bar (handles, range fields, "Fix", auto range, painting) and the rendering
// of measured images through it.
class TestColorBar : public QObject
{
    Q_OBJECT
    std::unique_ptr<ColorBar> bar;
    void newBar() { bar.reset(new ColorBar), bar->resize(25, 400); }

private slots:
    void init() { newBar(); }

    void colorIndex()
    {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        // min, max, low handle, high handle, value, grey: truncated, the top (256) white,
        // equal ends or handles a step, inverted handles, handles outside, NaN black.
        const double rows[][6] = {{0, 1, 0, 1, 0.5, 128},   {0, 1, 0, 1, 1, 255},      {0, 1, 0, 1, 0.99, 253},
                                  {5, 5, 0, 1, 6, 255},     {5, 5, 0, 1, 5, 0},        {0, 1, 0.5, 0.5, 0.5, 0},
                                  {0, 1, 1, 0, 0.25, 192},  {0, 1, -1, 2, 0, 85},      {0, 1, 0, 1, nan, 0}};
        for (const auto &r : rows) {
            bar->setRange(r[0], r[1]);
            bar->setHandles(r[2], r[3]);
            QCOMPARE(bar->colorIndex(r[4]), int(r[5]));
        }
    }

    // H = 400: a press at y is r = (400 - y) / 400. Handles start at 0 and 1, or both at
    // `both`; coinciding, a press above them grabs the upper, on or below the lower.
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
            if (r.both >= 0)
                bar->setHandles(r.both, r.both);
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
        // An edited field sets its end (0 when not a finite number) and keeps the text.
        for (const auto &[minField, text, expected] :
             {std::tuple{true, "-1.5e3", -1500.0}, {false, "1x2", 0.0}, {false, "inf", 0.0}}) {
            bar->setRange(7, 9);
            QLineEdit *field = minField ? bar->minEdit() : bar->maxEdit();
            QSignalSpy newBars(bar.get(), &ColorBar::newBar);
            field->setText(text);
            QTest::keyClick(field, Qt::Key_Return);
            QCOMPARE(newBars.count(), 1);
            QCOMPARE(QList<double>({bar->minV(), bar->maxV()}), QList<double>({minField ? expected : 7, minField ? 9 : expected}));
            QCOMPARE(field->text(), QString(text));
        }
        // Auto range shows rounded texts of the exact values, not while fixed; silently.
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

    void paintsRampHandlesAndLabels()
    {
        bar->setRange(100, 4000);
        bar->setHandles(0.25, 0.75);
        QCOMPARE(bar->colorScale().valueAt(0.25), 1075.0);  // what the grabbed lower handle reads
        const QImage shot = bar->grab().toImage();
        // Row y shows (H - 1 - y) / H: black up to the lower handle, then (f - 0.25) * 512
        // truncated, white from the upper one.
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
        QVERIFY(countColour(shot, QRect(0, 0, 25, 100), label) > 0 && countColour(shot, QRect(0, 300, 25, 100), label) > 0);
        QCOMPARE(countColour(shot, middle, label), 0);
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
        const QFont font;
        const int flags = Qt::AlignLeft | Qt::AlignVCenter;
        QVERIFY(DrawText::fittedPointSize(font, flags, "123456789012", 20, 25, 10) < 10);
        QCOMPARE(DrawText::fittedPointSize(font, flags, "1", 500, 500, 10), 10.0);
        QVERIFY(DrawText::fittedPointSize(font, flags, "1", 500, 500, 0) > 10);
        QCOMPARE(DrawText::fittedPointSize(font, flags, "", 95, 25, 0), 10.0);
    }

    void rendersThroughTheBar()
    {
        // Rows differ so that a transposed or repeated row shows. Before it holds data a
        // reader leaves the picture and the bar alone.
        CountingImage reader(3, 2, {100, 2050, 4000, 500, 3000, 1000});
        QImage image(2, 2, QImage::Format_Grayscale8);
        image.fill(77);
        reader.toImage(image, *bar);
        QVERIFY(bytes(image) == QVector<int>({77, 77, 77, 77}) && bar->maxEdit()->text() == "1");
        QVERIFY(reader.open());
        reader.toImage(image, *bar);
        QCOMPARE(bar->minEdit()->text() + " " + bar->maxEdit()->text(), QString("100 4000"));
        QVERIFY(image.format() == QImage::Format_Grayscale8);
        QCOMPARE(bytes(image), QVector<int>({0, 128, 255, 26, 190, 59}));
        QCOMPARE(reader.lineReads, 2 + 2);  // one scan for min/max, one for the pixels
        // Fixed: range and texts stay, values outside map to the ends; min/max are known,
        // so only the pixels are read again.
        bar->setRange(1000, 2000);
        bar->minEdit()->setText("1e3");
        bar->setFixColorScale(true);
        reader.toImage(image, *bar);
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
        QSignalSpy updated(&series, &ImgDatas::imageUpdated);
        bar->setFixColorScale(false);
        QVERIFY(!series.showImage(-1, image, *bar) && !series.showImage(2, image, *bar));
        QVERIFY(series.showImage(1, image, *bar));
        QVERIFY(updated.count() == 1 && bar->maxV() == 40);
        QCOMPARE(bytes(image), QVector<int>({0, 85, 170, 255}));
    }
};

QTEST_MAIN(TestColorBar)
#include "tst_colorbar.moc"
