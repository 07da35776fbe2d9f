// Sinogram generation: resampling geometry around the centre of rotation, line direction,
// normalisation with I0 and BG, and the cases in which nothing is built.

#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "SgmGeometry.h"
#include "SinogramGenerator.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

const double kNaN = std::nan("");

// Projections (pixel(j, x, y)) and optional I0 and BG images as ITEX files in a temporary folder.
struct Series
{
    QTemporaryDir dir;
    ImgDatas imgs;
    std::unique_ptr<ImgData> i0Reader, bgReader;
    ImgData *i0 = nullptr, *bg = nullptr;

    Series() { imgs.setI0Link(&i0), imgs.setBgLink(&bg); }
    QString write(const QString &name, int width, int height, const std::function<double(int, int)> &pixel)
    {
        std::vector<quint32> pixels(size_t(width) * height);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = quint32(pixel(int(i % size_t(width)), int(i / size_t(width))));
        return ItexWriter::write(dir.filePath(name), width, height, 4, pixels) ? dir.filePath(name) : QString();
    }
    bool addProjections(int m, int width, int height, const std::function<double(int, int, int)> &pixel)
    {
        for (int j = 0; j < m; ++j)
            if (!imgs.add(write(QString("p_%1.img").arg(j), width, height, [&](int x, int y) { return pixel(j, x, y); })))
                return false;
        return true;
    }
    // Which "i0" or "bg"; an image of the other size when the width or height differs.
    bool setReference(const QString &which, int width, int height, const std::function<double(int, int)> &pixel)
    {
        std::unique_ptr<ImgData> &reader = which == "i0" ? i0Reader : bgReader;
        reader = openImgData(write(which + ".img", width, height, pixel));
        (which == "i0" ? i0 : bg) = reader.get();
        return bool(reader);
    }
};

// An I0 or BG image in memory: `value` everywhere but column oddX, which holds `odd`.
class FlatImage : public ImgData
{
public:
    FlatImage(int w, int h, double value, int oddX, double odd) : w(w), h(h), value(value), oddX(oddX), odd(odd) {}
    void reset() override {}
    bool readProps(const QString &, int &width, int &height) override { return width = w, height = h, true; }
    bool load() override { return true; }
    double *line(int, double *buffer) const override
    {
        std::fill(buffer, buffer + w, value);
        return buffer[oddX] = odd, buffer;
    }
    double *column(int x, double *buffer) const override { return std::fill(buffer, buffer + h, x == oddX ? odd : value), buffer; }

private:
    int w, h;
    double value;
    int oddX;
    double odd;
};

double pattern(int j, int x, int y)
{
    return 50 + 7 * j + 13 * x + 3 * y + (x * y) % 5;
}

} // namespace

class TestSinogramGenerator : public QObject
{
    Q_OBJECT
private slots:
    void geometryAndResampling_data();
    void geometryAndResampling();
    void normalisation_data();
    void normalisation();
    void resampledAroundCor();
    void horizontalAxisReadsColumns();
    void nothingBuilt();
    void unusableReferencesAreNeutral();
    void nonFiniteDifferencesAreNeutral();
};

void TestSinogramGenerator::geometryAndResampling_data()
{
    QTest::addColumn<int>("dim");
    QTest::addColumn<double>("cor");
    QTest::addColumn<int>("halfW");
    QTest::addColumn<int>("iCor");
    QTest::addColumn<double>("dCor"); // NaN: iCor and dCor are meaningless (centre far off)
    QTest::addColumn<int>("transformLength");
    QTest::newRow("cor 0.7") << 100 << 0.7 << 0 << 0 << 0.7 << 0;
    QTest::newRow("cor 10.5") << 100 << 10.5 << 10 << 10 << 0.5 << 18;
    QTest::newRow("cor 10.25") << 100 << 10.25 << 10 << 10 << 0.25 << 18;
    QTest::newRow("cor 60.75 (near far edge)") << 100 << 60.75 << 38 << 60 << 0.75 << 74;
    QTest::newRow("cor 98.5 (far edge)") << 100 << 98.5 << 0 << 98 << 0.5 << 0;
    QTest::newRow("cor 97.5") << 100 << 97.5 << 1 << 97 << 0.5 << 0;
    QTest::newRow("integer cor 40") << 100 << 40.0 << 40 << 40 << 0.0 << 78;
    QTest::newRow("negative cor") << 100 << -3.25 << 0 << -4 << 0.75 << 0;
    QTest::newRow("cor beyond detector") << 100 << 1e12 << 0 << -1 << kNaN << 0;
    QTest::newRow("cor NaN") << 100 << kNaN << 0 << -1 << kNaN << 0;
    QTest::newRow("cor infinite") << 100 << HUGE_VAL << 0 << -1 << kNaN << 0;
    for (double cor : {1.5, 2.0, 17.25, 18.0})
        QTest::addRow("cor %g of 20", cor) << 20 << cor << (cor == 2.0 ? 2 : 1) << int(cor) << cor - int(cor) << (cor == 2.0 ? 2 : 0);
}

// A linear detector line comes back exactly, sample k at cor - (halfW - 1) + k. The line is
// NaN outside 1 ... dim - 1, the only indices the resampling may read. Also lerp's own cases.
void TestSinogramGenerator::geometryAndResampling()
{
    QFETCH(int, dim);
    QFETCH(double, cor);
    QFETCH(int, halfW);
    QFETCH(int, iCor);
    QFETCH(double, dCor);
    QFETCH(int, transformLength);
    const SgmGeometry g = SgmGeometry::compute(false, dim, cor);
    QVERIFY(g.halfW == halfW && g.w == 2 * halfW - 1 && g.transformLength() == transformLength && !g.rotAxIsV);
    if (!std::isnan(dCor))
        QVERIFY(g.iCor == iCor && std::abs(g.dCor - dCor) <= 1e-12);
    std::vector<double> line(size_t(dim) + 2, kNaN);
    for (int i = 1; i < dim; ++i)
        line[size_t(i) + 1] = 3.0 * i + 2.0;
    std::vector<double> out(size_t(std::max(g.w, 0)), kNaN);
    resampleLine(line.data() + 1, out.data(), g);
    for (int k = 0; k < g.w; ++k)
        QVERIFY2(std::abs(out[size_t(k)] - (3.0 * (cor - (halfW - 1) + k) + 2.0)) <= 1e-9, qPrintable(QString::number(k)));
    QVERIFY(std::abs(lerp(7.0, 3.0, 0.0, 5.0, 1.0) - 2.0) <= 1e-12);  // extrapolated
    QVERIFY(std::abs(lerp(4.0, 5.0, 1.0, 3.0, 5.0) - 3.0) <= 1e-12);  // descending x
    QVERIFY(std::abs(lerp(9.0, 2.0, 1.0, 2.0, 4.0) - 2.5) <= 1e-12);  // equal x gives the mean
}

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
    QVERIFY(series.addProjections(3, 8, 4, [&](int, int, int) { return intensity; }));
    QVERIFY(i0 < 0 || series.setReference("i0", 8, 4, [&](int, int) { return i0; }));
    QVERIFY(bg < 0 || series.setReference("bg", 8, 4, [&](int, int) { return bg; }));
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 4.0, 2));
    QVERIFY(record.w == 5 && record.h == 3 && record.slice == 2);
    for (int i = 0; i < record.w * record.h; ++i) {
        QVERIFY2(std::abs(record.sgm[i] - expected) <= 1e-12, qPrintable(QString::number(record.sgm[i])));
        QCOMPARE(record.rawSgm[i], double(intensity));
    }
}

// Counts, I0 and BG linear along the row with different slopes, so each resampled value is
// known at its detector position; a shift of I0 or BG against the projections shows in sgm.
// Integer cor 12 gives detector pixels exactly, cor 10.5 samples 1.5 ... 19.5.
void TestSinogramGenerator::resampledAroundCor()
{
    const auto counts = [](int j, double x, int y) { return 1000.0 + 10.0 * x + 7.0 * j + 3.0 * y; };
    const auto flat = [](double x, int y) { return 5000.0 + 11.0 * x + y; };
    const auto dark = [](double x) { return 20.0 + 2.0 * x; };
    Series series;
    QVERIFY(series.addProjections(5, 100, 6, [&](int j, int x, int y) { return counts(j, x, y); }));
    QVERIFY(series.setReference("i0", 100, 6, [&](int x, int y) { return flat(x, y); }));
    QVERIFY(series.setReference("bg", 100, 6, [&](int x, int) { return dark(x); }));
    for (auto [cor, w] : {std::pair{12.0, 23}, {10.5, 19}}) {
        HSgm record;
        QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, cor, 4));
        QCOMPARE(record.w, w);
        for (int i = 0; i < w * 5; ++i) {
            const int j = i / w;
            const double x = cor - (w - 1) / 2 + i % w;
            QVERIFY(cor != 12.0 || record.rawSgm[i] == counts(j, x, 4));
            QVERIFY(std::abs(record.rawSgm[i] - counts(j, x, 4)) <= 1e-9);
            QVERIFY(std::abs(record.sgm[i] - std::log((flat(x, 4) - dark(x)) / (counts(j, x, 4) - dark(x)))) <= 1e-12);
        }
    }
}

// Horizontal axis: a slice is an image column, the centre a y coordinate, and the detector
// line as long as the image is high (here higher than wide, then wider than high).
void TestSinogramGenerator::horizontalAxisReadsColumns()
{
    for (const QSize size : {QSize(5, 40), QSize(40, 14)}) {
        Series series;
        QVERIFY(series.addProjections(3, size.width(), size.height(), pattern));
        HSgm record;
        const double cor = size.height() / 2.0;
        QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, false, cor, 3));
        const int halfW = int(std::floor(std::min(cor, size.height() - cor - 1.0)));
        QCOMPARE(record.w, 2 * halfW - 1);
        for (int i = 0; i < record.w * 3; ++i) {
            const double expected = pattern(i / record.w, 3, int(cor) - (halfW - 1) + i % record.w);
            QCOMPARE(record.rawSgm[i], expected);
            QVERIFY(std::abs(record.sgm[i] + std::log(expected)) <= 1e-12);
        }
    }
}

// Centres too close to an edge, not finite, or slices outside the image: the record keeps
// what it held, so the caller can tell nothing new was built. With a horizontal axis slices
// are columns, so 6 ... 99 are valid in a 100 x 6 image.
void TestSinogramGenerator::nothingBuilt()
{
    Series series;
    QVERIFY(series.addProjections(2, 100, 6, pattern));
    HSgm record;
    record.resize(3, 2);
    record.slice = 7;
    const double *kept = record.sgm;
    for (double cor : {0.7, -4.0, 98.5, 99.2, kNaN, HUGE_VAL})
        QVERIFY2(!SinogramGenerator::genSinogram0(series.imgs, &record, true, cor, 1), qPrintable(QString::number(cor)));
    for (int slice : {6, -1}) {
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Slice out of range : %1").arg(slice)));
        QVERIFY(!SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, slice));
    }
    QVERIFY(record.w == 3 && record.h == 2 && record.slice == 7 && record.sgm == kept);
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, false, 2.5, 99));
    QCOMPARE(record.w, 3);
}

// An I0 or BG image that is not valid, or of another size than the projections (a wider one
// would overrun the line buffer, a lower one its own pixels), is not used.
void TestSinogramGenerator::unusableReferencesAreNeutral()
{
    Series series;
    QVERIFY(series.addProjections(2, 20, 4, [](int, int, int) { return 40; }));
    QVERIFY(series.setReference("i0", 30, 4, [](int, int) { return 4000; }));
    QVERIFY(series.setReference("bg", 20, 2, [](int, int) { return 30; }));
    const QRegularExpression message("^Reference image size differs from the projections : \".*(i0|bg)\\.img\"$");
    std::unique_ptr<ImgData> unopened(newImgData(ImgTypeITEX));
    for (bool sizeDiffers : {true, false}) {
        if (sizeDiffers)
            QTest::ignoreMessage(QtDebugMsg, message), QTest::ignoreMessage(QtDebugMsg, message);
        else
            series.i0 = series.bg = unopened.get();
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
    QVERIFY(series.addProjections(2, 20, 4, [](int, int, int) { return 40; }));
    FlatImage i0(20, 4, 1000.0, 8, kNaN), bg(20, 4, 0.0, 12, -HUGE_VAL);
    QVERIFY(i0.open() && bg.open());
    series.i0 = &i0;
    series.bg = &bg;
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, 3));
    for (int i = 0; i < record.w * record.h; ++i) {
        const int x = 10 - (record.w + 1) / 2 + 1 + i % record.w;
        const double expected = x == 7 || x == 8 ? -std::log(40.0) : x == 11 || x == 12 ? 0.0 : std::log(1000.0 / 40.0);
        QVERIFY(std::abs(record.sgm[i] - expected) <= 1e-12);
    }
}

QTEST_GUILESS_MAIN(TestSinogramGenerator)
#include "tst_sinogramgenerator.moc"
