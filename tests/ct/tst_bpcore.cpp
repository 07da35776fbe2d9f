#include "BackProjection.h"
#include "BpCore.h"
#include "FftwPlannerThread.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace {

constexpr double pi = 3.141592653589793;

// Transform, filter (divisor) and back-projection of every row, one projection per call.
void reconstruct(BpCore &core, const std::vector<double> &sinogram, int w, double divisor,
                 double x0, double x1, double z0, double z1)
{
    core.resizeImage(core.n());
    for (int j = 0; j < core.m(); ++j)
        core.transformRow(sinogram.data() + size_t(j) * w, j);
    for (int j = 0; j < core.m(); ++j)
        core.filterRow(j, divisor);
    for (int j = 0; j < core.m(); ++j)
        core.backProject(j, x0, x1, z0, z1);
}

// A smooth, off-centre test sinogram: row j is a bump at a position that moves with the angle.
std::vector<double> bumpSinogram(int w, int m)
{
    std::vector<double> sgm(size_t(w) * m);
    for (int j = 0; j < m; ++j) {
        const double centre = w * 0.5 + 0.2 * w * std::cos(j * pi / m);
        for (int k = 0; k < w; ++k)
            sgm[size_t(j) * w + k] = std::exp(-(k - centre) * (k - centre) / 18.0) + 0.01 * k;
    }
    return sgm;
}

// Reference back-projection of m identical filtered rows `row` over a region of a zero image.
std::vector<double> projectRows(const std::vector<double> &row, int m, double x0, double x1, double z0, double z1)
{
    const int n = int(row.size()), stride = backProjectionStride(n);
    std::vector<double> block(size_t(stride) * m, 0.0), image(size_t(n) * n, 0.0);
    for (int j = 0; j < m; ++j)
        std::copy(row.begin(), row.end(), block.begin() + ptrdiff_t(j) * stride);
    backProjectReference(block.data(), stride, n, m, 0, m, x0, x1, z0, z1, image.data());
    return image;
}

bool insideCircle(int x, int z, int n)
{
    const double c = n * 0.5;
    return std::sqrt((x - c) * (x - c) + (z - c) * (z - c)) < c;
}

} // namespace

// Ramp filter, back-projection geometry and buffer management of the reconstruction core.
class TestBpCore : public QObject
{
    Q_OBJECT
private slots:
    void constantRowsGiveZeroImage();
    void rampFactorPerBin_data();
    void rampFactorPerBin();
    void detectorPositionPerPixel();
    void regionBounds_data();
    void regionBounds();
    void backProjectAllMatchesOneByOne();
    void setupCoreReuseAndRebuild();
    void emptyCoreIsInert();
    void imageMinMaxOnlyWhenDone();
    void plannerThreadIsRecorded();
};

void TestBpCore::constantRowsGiveZeroImage()
{
    const int w = 33, m = 12;
    std::vector<double> sgm(size_t(w) * m);
    for (int j = 0; j < m; ++j)
        for (int k = 0; k < w; ++k)
            sgm[size_t(j) * w + k] = 0.5 + 3.0 * j;
    BpCore core;
    core.setupCore(w, m);
    QCOMPARE(core.n(), 32);
    reconstruct(core, sgm, w, core.n(), 0, core.n(), 0, core.n());
    QVERIFY(core.isDone());
    for (int i = 0; i < core.n() * core.n(); ++i)
        QVERIFY2(std::abs(core.image()[i]) <= 1e-12, qPrintable(QString::number(core.image()[i])));
}

void TestBpCore::rampFactorPerBin_data()
{
    QTest::addColumn<int>("bin");
    QTest::addColumn<double>("factor");
    const int n = 32;
    QTest::newRow("bin 0 (mean)") << 0 << 0.0;
    QTest::newRow("bin 1") << 1 << 2.0 * pi / n;
    QTest::newRow("bin 5") << 5 << 2.0 * pi * 5 / n;
    QTest::newRow("bin N/2 - 1") << n / 2 - 1 << 2.0 * pi * (n / 2 - 1) / n;
    QTest::newRow("bin N/2") << n / 2 << pi;
}

// A cosine and a sine row of frequency `bin` come back scaled by the ramp factor of that bin.
void TestBpCore::rampFactorPerBin()
{
    QFETCH(int, bin);
    QFETCH(double, factor);
    const int n = 32;
    BpCore core;
    core.setupCore(n, 2);
    std::vector<double> rows(2 * n);
    for (int k = 0; k < n; ++k) {
        rows[size_t(k)] = std::cos(2.0 * pi * bin * k / n);
        rows[size_t(n + k)] = std::sin(2.0 * pi * bin * k / n);
    }
    for (int j = 0; j < 2; ++j) {
        core.transformRow(rows.data() + j * n, j);
        core.filterRow(j, n);
        const double *out = core.filtered() + j * core.filteredStride();
        for (int k = 0; k < n; ++k)
            QVERIFY2(std::abs(out[k] - factor * rows[size_t(j * n + k)]) <= 1e-12, qPrintable(QString::number(k)));
    }
}

// With the filtered value of sample i equal to i, a pixel receives its detector position t.
// w = 19 (cor 10.5 of 100) gives N = 18, c = 9: the centre sample 9 lies at pixel (9, 9).
void TestBpCore::detectorPositionPerPixel()
{
    const int n = 18, m = 7;
    std::vector<double> ramp(n);
    for (int i = 0; i < n; ++i)
        ramp[size_t(i)] = i;
    const std::vector<double> image = projectRows(ramp, m, 0, n, 0, n);
    QVERIFY(std::abs(image[9 * n + 9] - 9.0 * m) <= 1e-12);
    double expected = 0.0; // (13, 9): t = 9 + 4 cos(theta), summed over the half turn
    for (int j = 0; j < m; ++j)
        expected += 9.0 + 4.0 * std::cos(j * pi / m);
    QVERIFY(std::abs(image[9 * n + 13] - expected) <= 1e-9);

    // Projection 0 alone adds sample x to column x inside the circle; the last sample
    // (x = N - 1) has no right neighbour and is skipped.
    std::vector<double> row(n);
    for (int i = 0; i < n; ++i)
        row[size_t(i)] = 100.0 + i * i;
    const std::vector<double> smeared = projectRows(row, 1, 0, n, 0, n);
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x)
            QVERIFY2(smeared[size_t(z) * n + x] == (insideCircle(x, z, n) && x <= n - 2 ? row[size_t(x)] : 0.0),
                     qPrintable(QString("%1,%2").arg(x).arg(z)));
}

void TestBpCore::regionBounds_data()
{
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("z0");
    QTest::addColumn<double>("z1");
    QTest::addColumn<QRect>("expected"); // pixels computed; an empty rect for none
    const double huge = 1e300, nan = std::nan("");
    QTest::newRow("whole image") << 0.0 << 18.0 << 0.0 << 18.0 << QRect(0, 0, 18, 18);
    QTest::newRow("x0 -5.7 starts at -5") << -5.7 << 18.0 << 0.0 << 18.0 << QRect(-5, 0, 23, 18);
    QTest::newRow("x0 3.7 starts at 3") << 3.7 << 18.0 << 0.0 << 18.0 << QRect(3, 0, 15, 18);
    QTest::newRow("x1 10 stops at 9") << 0.0 << 10.0 << 0.0 << 18.0 << QRect(0, 0, 10, 18);
    QTest::newRow("x1 10.5 stops at 10") << 0.0 << 10.5 << 0.0 << 18.0 << QRect(0, 0, 11, 18);
    QTest::newRow("z window 2.2 - 7") << 0.0 << 18.0 << 2.2 << 7.0 << QRect(0, 2, 18, 5);
    QTest::newRow("huge bounds") << -huge << huge << -huge << huge << QRect(-1, -1, 20, 20);
    QTest::newRow("empty") << 5.0 << 5.0 << 0.0 << 18.0 << QRect();
    QTest::newRow("NaN lower bound") << nan << 18.0 << 0.0 << 18.0 << QRect();
    QTest::newRow("NaN upper bound") << 0.0 << 18.0 << 0.0 << nan << QRect();
}

// A region image equals the whole-image result on the region's pixels and is 0 elsewhere;
// row 0, column 0 and everything outside the circle always stay 0.
void TestBpCore::regionBounds()
{
    QFETCH(double, x0);
    QFETCH(double, x1);
    QFETCH(double, z0);
    QFETCH(double, z1);
    QFETCH(QRect, expected);
    const int n = 18, m = 5;
    std::vector<double> row(n);
    for (int i = 0; i < n; ++i)
        row[size_t(i)] = 1.0 + std::cos(i * 0.7);
    const std::vector<double> whole = projectRows(row, m, 0, n, 0, n);
    const std::vector<double> region = projectRows(row, m, x0, x1, z0, z1);
    int computed = 0;
    for (int z = 0; z < n; ++z) {
        for (int x = 0; x < n; ++x) {
            const double v = region[size_t(z) * n + x];
            QVERIFY2(v == (expected.contains(x, z) ? whole[size_t(z) * n + x] : 0.0),
                     qPrintable(QString("%1,%2").arg(x).arg(z)));
            computed += v != 0.0;
            if (x == 0 || z == 0 || !insideCircle(x, z, n))
                QCOMPARE(v, 0.0);
        }
    }
    QCOMPARE(computed > 0, !expected.isEmpty());
}

// All projections in one call (the optimised path) give the same sums, bit for bit, as
// one reference call per projection.
void TestBpCore::backProjectAllMatchesOneByOne()
{
    const int w = 65, m = 37;
    const std::vector<double> sgm = bumpSinogram(w, m);
    BpCore oneByOne, all;
    oneByOne.setupCore(64, m);
    all.setupCore(64, m);
    reconstruct(oneByOne, sgm, w, 64.0, -5.7, 40.5, 10.2, 33.0);
    all.reconstructSlice(sgm.data(), w, 64.0, -5.7, 40.5, 10.2, 33.0);
    QVERIFY(all.isDone());
    int nonZero = 0;
    for (int i = 0; i < 64 * 64; ++i) {
        QCOMPARE(all.image()[i], oneByOne.image()[i]);
        nonZero += all.image()[i] != 0.0;
    }
    QVERIFY(nonZero > 100);
}

// The same N and M keep buffers and plans (and the previous slice's rows); another M
// rebuilds everything, and the rebuilt core reconstructs like a fresh one.
void TestBpCore::setupCoreReuseAndRebuild()
{
    BpCore core;
    core.setupCore(40, 6);
    reconstruct(core, bumpSinogram(41, 6), 41, 40.0, 0, 40, 0, 40);
    const double *filtered = core.filtered();
    const double kept = filtered[5 * core.filteredStride() + 3];
    QVERIFY(kept != 0.0);
    core.setupCore(41, 6); // rounded down to the same even length
    QCOMPARE(core.n(), 40);
    QCOMPARE(core.filtered(), filtered);
    QCOMPARE(core.filtered()[5 * core.filteredStride() + 3], kept);

    core.setupCore(40, 9);
    QCOMPARE(core.m(), 9);
    for (int j = 0; j < 9; ++j) // fresh rows: none of the old filtered values survived
        for (int k = 0; k < core.filteredStride(); ++k)
            QCOMPARE(core.filtered()[j * core.filteredStride() + k], 0.0);
    const std::vector<double> sgm = bumpSinogram(41, 9);
    reconstruct(core, sgm, 41, 40.0, 0, 40, 0, 40);
    BpCore fresh;
    fresh.setupCore(40, 9);
    reconstruct(fresh, sgm, 41, 40.0, 0, 40, 0, 40);
    for (int i = 0; i < 40 * 40; ++i)
        QCOMPARE(core.image()[i], fresh.image()[i]);
}

// A sinogram of width 1 gives N = 0, and a core larger than memory is not built: both
// leave a core without plans that reconstructs nothing, and a later size works again.
void TestBpCore::emptyCoreIsInert()
{
    BpCore core;
    QVERIFY(!core.setupCore(1, 5));
    QCOMPARE(core.n(), 0);
    QCOMPARE(core.m(), 5);
    const double row[2] = {1.0, 2.0};
    core.reconstructSlice(row, 1, 1.0, 0, 10, 0, 10);
    QVERIFY(core.isDone());
    QCOMPARE(core.imageSide(), 0);
    QVERIFY(!core.setupCore(-4, -1));
    QCOMPARE(core.m(), 0);
    QTest::ignoreMessage(QtDebugMsg, "Not enough memory for a reconstruction core of 1048576 x 1048576");
    QVERIFY(!core.setupCore(1 << 20, 1 << 20));
    QVERIFY(core.n() == 0 && !core.filtered());
    QVERIFY(core.setupCore(16, 2) && core.setupCore(16, 2));
    QVERIFY(core.filtered() != nullptr);
}

void TestBpCore::imageMinMaxOnlyWhenDone()
{
    BpCore core;
    core.setupCore(18, 3);
    core.resizeImage(18);
    QVERIFY(!core.isDone());
    core.imageMinMax();
    QCOMPARE(core.minValue(), 0.0);
    QCOMPARE(core.maxValue(), 0.0);
    std::vector<double> sgm(19 * 3);
    for (int k = 0; k < 19 * 3; ++k)
        sgm[size_t(k)] = (k % 19 == 9) ? 1.0 : 0.0; // a point at the centre of rotation
    reconstruct(core, sgm, 19, 18.0, 0, 18, 0, 18);
    core.imageMinMax();
    const double *image = core.image();
    QCOMPARE(core.minValue(), *std::min_element(image, image + 18 * 18));
    QCOMPARE(core.maxValue(), *std::max_element(image, image + 18 * 18));
    QVERIFY(core.maxValue() > 0.5 && core.imageAt(9, 9) == core.maxValue());
    QVERIFY(core.minValue() < 0.0);
    // Each scan starts afresh: half the point gives half the range.
    const double lo = core.minValue(), top = core.maxValue();
    for (double &v : sgm)
        v *= 0.5;
    reconstruct(core, sgm, 19, 18.0, 0, 18, 0, 18);
    core.imageMinMax();
    QVERIFY(std::abs(core.minValue() - 0.5 * lo) <= 1e-12 && std::abs(core.maxValue() - 0.5 * top) <= 1e-12);
    // An image of another size than the core keeps the range as it was.
    const double hi = core.maxValue();
    core.resizeImage(10);
    core.backProject(0, 0, 10, 0, 10);
    core.imageMinMax();
    QCOMPARE(core.maxValue(), hi);
}

void TestBpCore::plannerThreadIsRecorded()
{
    BpCore core;
    core.setupCore(16, 1);
    QVERIFY(FftwPlannerThread::isCurrent());
    bool otherIsPlanner = true;
    std::thread other([&otherIsPlanner] { otherIsPlanner = FftwPlannerThread::isCurrent(); });
    other.join();
    QVERIFY(!otherIsPlanner);
    QVERIFY(FftwPlannerThread::isCurrent());
}

QTEST_APPLESS_MAIN(TestBpCore)
#include "tst_bpcore.moc"
