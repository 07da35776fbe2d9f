#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "SinogramGenerator.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

using PixelFn = std::function<quint32(int x, int y)>;

// A series of projections plus optional I0 and BG readers, all in a temporary folder.
struct Series
{
    QTemporaryDir dir;
    ImgDatas imgs;
    std::unique_ptr<ImgData> i0Reader, bgReader;
    ImgData *i0 = nullptr;
    ImgData *bg = nullptr;

    Series()
    {
        imgs.setI0Link(&i0);
        imgs.setBgLink(&bg);
    }
    QString write(const QString &name, int width, int height, const PixelFn &pixel)
    {
        std::vector<quint32> pixels(size_t(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[size_t(y) * width + x] = pixel(x, y);
        const QString path = dir.filePath(name);
        return ItexWriter::write(path, width, height, 4, pixels) ? path : QString();
    }
    bool addProjections(int m, int width, int height, const std::function<quint32(int j, int x, int y)> &pixel)
    {
        for (int j = 0; j < m; ++j)
            if (!imgs.add(write(QString("p_%1.img").arg(j), width, height, [&](int x, int y) { return pixel(j, x, y); })))
                return false;
        return true;
    }
    ImgData *reference(std::unique_ptr<ImgData> &reader, const QString &name, int width, int height, const PixelFn &pixel)
    {
        const QString path = write(name, width, height, pixel);
        reader = openImgData(path);
        return reader.get();
    }
    bool setI0(int width, int height, const PixelFn &pixel) { return (i0 = reference(i0Reader, "i0.img", width, height, pixel)); }
    bool setBg(int width, int height, const PixelFn &pixel) { return (bg = reference(bgReader, "bg.img", width, height, pixel)); }
};

// An I0 or BG image held in memory: `value` everywhere but in column oddX, which holds `odd`.
class FlatImage : public ImgData
{
public:
    FlatImage(int w, int h, double value, int oddX, double odd) : w(w), h(h), value(value), oddX(oddX), odd(odd) {}
    void reset() override {}
    bool readProps(const QString &, int &width, int &height) override
    {
        width = w;
        height = h;
        return true;
    }
    bool load() override { return true; }
    double *line(int, double *buffer) const override
    {
        std::fill(buffer, buffer + w, value);
        buffer[oddX] = odd;
        return buffer;
    }
    double *column(int x, double *buffer) const override
    {
        std::fill(buffer, buffer + h, x == oddX ? odd : value);
        return buffer;
    }

private:
    int w, h;
    double value;
    int oddX;
    double odd;
};

quint32 pattern(int j, int x, int y)
{
    return quint32(50 + 7 * j + 13 * x + 3 * y + (x * y) % 5);
}

} // namespace

// Sinogram generation: geometry, line direction, normalisation with I0 and BG, and the
// cases in which nothing is built.
class TestSinogramGenerator : public QObject
{
    Q_OBJECT
private slots:
    void normalisation_data();
    void normalisation();
    void resampledAroundCor_data();
    void resampledAroundCor();
    void horizontalAxisReadsColumns();
    void nothingBuilt_data();
    void nothingBuilt();
    void sliceOutOfRangeIsRefused();
    void unusableReferencesAreNeutral();
    void nonFiniteDifferencesAreNeutral();
};

void TestSinogramGenerator::normalisation_data()
{
    QTest::addColumn<int>("intensity");
    QTest::addColumn<int>("i0"); // -1: no I0 image
    QTest::addColumn<int>("bg"); // -1: no BG image
    QTest::addColumn<double>("expected");

    QTest::newRow("no references") << 100 << -1 << -1 << -std::log(100.0);
    QTest::newRow("no references, I = 0") << 0 << -1 << -1 << 0.0;
    QTest::newRow("I equals I0, BG 0") << 500 << 500 << 0 << 0.0;
    QTest::newRow("I0 and BG") << 550 << 1000 << 100 << std::log(2.0);
    QTest::newRow("I below BG") << 80 << 1000 << 100 << std::log(900.0);
    QTest::newRow("I equals BG") << 100 << 1000 << 100 << std::log(900.0);
    QTest::newRow("I0 equals BG") << 50 << 100 << 100 << 0.0;
    QTest::newRow("I0 and I below BG") << 20 << 50 << 100 << 0.0;
    QTest::newRow("BG only (I0 1 is below BG)") << 300 << -1 << 200 << -std::log(100.0);
}

void TestSinogramGenerator::normalisation()
{
    QFETCH(int, intensity);
    QFETCH(int, i0);
    QFETCH(int, bg);
    QFETCH(double, expected);
    Series series;
    QVERIFY(series.addProjections(3, 8, 4, [&](int, int, int) { return quint32(intensity); }));
    if (i0 >= 0)
        QVERIFY(series.setI0(8, 4, [&](int, int) { return quint32(i0); }));
    if (bg >= 0)
        QVERIFY(series.setBg(8, 4, [&](int, int) { return quint32(bg); }));
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 4.0, 2));
    QCOMPARE(record.w, 5);
    QCOMPARE(record.h, 3);
    QCOMPARE(record.slice, 2);
    for (int i = 0; i < record.w * record.h; ++i) {
        QVERIFY2(std::abs(record.sgm[i] - expected) <= 1e-12, qPrintable(QString::number(record.sgm[i])));
        QCOMPARE(record.rawSgm[i], double(intensity));
    }
}

void TestSinogramGenerator::resampledAroundCor_data()
{
    QTest::addColumn<double>("cor");
    QTest::addColumn<int>("w");
    QTest::newRow("integer cor 12: detector pixels exactly") << 12.0 << 23;
    QTest::newRow("cor 10.5 of 100: samples at 1.5 ... 19.5") << 10.5 << 19;
}

// Counts, I0 and BG all linear along the row (different slopes), so each resampled value
// is known at its detector position cor - (halfW - 1) + k; a shift of I0 or BG against the
// projections would show in sgm.
void TestSinogramGenerator::resampledAroundCor()
{
    QFETCH(double, cor);
    QFETCH(int, w);
    const auto counts = [](int j, double x, int y) { return 1000.0 + 10.0 * x + 7.0 * j + 3.0 * y; };
    const auto flat = [](double x, int y) { return 5000.0 + 11.0 * x + y; };
    const auto dark = [](double x) { return 20.0 + 2.0 * x; };
    Series series;
    QVERIFY(series.addProjections(5, 100, 6, [&](int j, int x, int y) { return quint32(counts(j, x, y)); }));
    QVERIFY(series.setI0(100, 6, [&](int x, int y) { return quint32(flat(x, y)); }));
    QVERIFY(series.setBg(100, 6, [&](int x, int) { return quint32(dark(x)); }));
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, cor, 4));
    QCOMPARE(record.w, w);
    const int halfW = (w + 1) / 2;
    for (int j = 0; j < 5; ++j) {
        for (int k = 0; k < w; ++k) {
            const double x = cor - (halfW - 1) + k;
            const double raw = record.rawSgm[j * w + k];
            if (cor == std::floor(cor))
                QCOMPARE(raw, counts(j, x, 4));
            QVERIFY(std::abs(raw - counts(j, x, 4)) <= 1e-9);
            const double expected = std::log((flat(x, 4) - dark(x)) / (counts(j, x, 4) - dark(x)));
            QVERIFY(std::abs(record.sgm[j * w + k] - expected) <= 1e-12);
        }
    }
}

// Horizontal axis: a slice is an image column, the centre is a y coordinate, and the
// detector line is as long as the image is high (here higher than wide, then wider than high).
void TestSinogramGenerator::horizontalAxisReadsColumns()
{
    for (const QSize size : {QSize(5, 40), QSize(40, 14)}) {
        Series series;
        QVERIFY(series.addProjections(3, size.width(), size.height(), pattern));
        HSgm record;
        const double cor = size.height() / 2.0;
        const int slice = 3;
        QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, false, cor, slice));
        const int halfW = int(std::floor(std::min(cor, size.height() - cor - 1.0)));
        QCOMPARE(record.w, 2 * halfW - 1);
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < record.w; ++k) {
                const double expected = pattern(j, slice, int(cor) - (halfW - 1) + k);
                QCOMPARE(record.rawSgm[j * record.w + k], expected);
                QVERIFY(std::abs(record.sgm[j * record.w + k] + std::log(expected)) <= 1e-12);
            }
        }
    }
}

void TestSinogramGenerator::nothingBuilt_data()
{
    QTest::addColumn<double>("cor");
    QTest::newRow("cor 0.7 (floor 0)") << 0.7;
    QTest::newRow("cor -4") << -4.0;
    QTest::newRow("cor 98.5 (within a pixel of the far edge)") << 98.5;
    QTest::newRow("cor 99.2 (ceil reaches the width)") << 99.2;
    QTest::newRow("cor NaN") << std::nan("");
    QTest::newRow("cor infinite") << HUGE_VAL;
}

// The record keeps what it held, so the caller can tell nothing new was built.
void TestSinogramGenerator::nothingBuilt()
{
    QFETCH(double, cor);
    Series series;
    QVERIFY(series.addProjections(2, 100, 3, pattern));
    HSgm record;
    record.resize(3, 2);
    record.slice = 7;
    const double *kept = record.sgm;
    QVERIFY(!SinogramGenerator::genSinogram0(series.imgs, &record, true, cor, 1));
    QCOMPARE(record.w, 3);
    QCOMPARE(record.h, 2);
    QCOMPARE(record.slice, 7);
    QCOMPARE(record.sgm, kept);
}

void TestSinogramGenerator::sliceOutOfRangeIsRefused()
{
    Series series;
    QVERIFY(series.addProjections(2, 20, 6, pattern));
    HSgm record;
    QTest::ignoreMessage(QtDebugMsg, "Slice out of range : 6");
    QVERIFY(!SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, 6));
    QTest::ignoreMessage(QtDebugMsg, "Slice out of range : -1");
    QVERIFY(!SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, -1));
    QVERIFY(!record.sgm);
    // With a horizontal axis slices are columns, so 6 ... 19 are valid.
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, false, 2.5, 19));
    QCOMPARE(record.w, 3);
}

// An I0 or BG image that is not valid, or of another size than the projections (a wider
// one would overrun the line buffer, a lower one its own pixels), is not used.
void TestSinogramGenerator::unusableReferencesAreNeutral()
{
    Series series;
    QVERIFY(series.addProjections(2, 20, 4, [](int, int, int) { return quint32(40); }));
    QVERIFY(series.setI0(30, 4, [](int, int) { return quint32(4000); }));
    QVERIFY(series.setBg(20, 2, [](int, int) { return quint32(30); }));
    const QRegularExpression message("^Reference image size differs from the projections : \".*(i0|bg)\\.img\"$");
    std::unique_ptr<ImgData> unopened(newImgData(ImgTypeITEX));
    for (bool sizeDiffers : {true, false}) {
        if (sizeDiffers) {
            QTest::ignoreMessage(QtDebugMsg, message);
            QTest::ignoreMessage(QtDebugMsg, message);
        } else {
            series.i0 = series.bg = unopened.get();
        }
        HSgm record;
        QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, 3));
        for (int i = 0; i < record.w * record.h; ++i)
            QVERIFY(std::abs(record.sgm[i] + std::log(40.0)) <= 1e-12);
    }
}

// A NaN in I0 and a -inf in BG (float TIFF pixels) make the resampled rows NaN on both
// samples interpolated from that pixel (0 * inf is NaN): the differences there count as 1,
// so those samples read ln(1 / I) and ln(1 / 1), and nothing else changes.
void TestSinogramGenerator::nonFiniteDifferencesAreNeutral()
{
    Series series;
    QVERIFY(series.addProjections(2, 20, 4, [](int, int, int) { return quint32(40); }));
    FlatImage i0(20, 4, 1000.0, 8, std::nan("")), bg(20, 4, 0.0, 12, -HUGE_VAL);
    QVERIFY(i0.open() && bg.open());
    series.i0 = &i0;
    series.bg = &bg;
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, 3));
    for (int j = 0; j < record.h; ++j)
        for (int k = 0; k < record.w; ++k) {
            const int x = 10 - (record.w + 1) / 2 + 1 + k;
            const double expected = x == 7 || x == 8 ? -std::log(40.0) : x == 11 || x == 12 ? 0.0 : std::log(1000.0 / 40.0);
            QVERIFY(std::abs(record.sgm[j * record.w + k] - expected) <= 1e-12);
        }
}

QTEST_GUILESS_MAIN(TestSinogramGenerator)
#include "tst_sinogramgenerator.moc"
