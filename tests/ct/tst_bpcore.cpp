#include "BackProjection.h"
#include "BpCore.h"
#include "FftwPlannerThread.h"
#include "SgmGeometry.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace {

constexpr double pi = 3.141592653589793;

// Runs transform, filter (divisor) and back-projection of every row over the region.
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

// Filtered rows laid out as the back-projection expects, each row the same values.
std::vector<double> filteredBlock(int n, int m, const std::vector<double> &row)
{
    const int stride = backProjectionStride(n);
    std::vector<double> block(size_t(stride) * m, 0.0);
    for (int j = 0; j < m; ++j)
        std::copy(row.begin(), row.end(), block.begin() + ptrdiff_t(j) * stride);
    return block;
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
    void ct1IsCt2OverM_data();
    void ct1IsCt2OverM();
    void centreSampleMapsToImageCentre();
    void singleProjectionSmearsAlongZ();
    void regionBounds_data();
    void regionBounds();
    void backProjectAllMatchesOneByOne_data();
    void backProjectAllMatchesOneByOne();
    void setupCoreReusesBuffers();
    void setupCoreRebuildsForOtherM();
    void filteredPaddingIsZero();
    void zeroLengthCoreIsInert();
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
    core.setupCore((w / 2) * 2, m);
    reconstruct(core, sgm, w, core.n(), 0, core.n(), 0, core.n());
    QVERIFY(core.isDone());
    double largest = 0.0;
    for (int i = 0; i < core.n() * core.n(); ++i)
        largest = std::max(largest, std::abs(core.image()[i]));
    QVERIFY2(largest <= 1e-12, qPrintable(QString::number(largest)));
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
    std::vector<double> cosRow(static_cast<size_t>(n)), sinRow(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        cosRow[size_t(k)] = std::cos(2.0 * pi * bin * k / n);
        sinRow[size_t(k)] = std::sin(2.0 * pi * bin * k / n);
    }
    core.transformRow(cosRow.data(), 0);
    core.transformRow(sinRow.data(), 1);
    core.filterRow(0, n);
    core.filterRow(1, n);
    const double *cosOut = core.filtered();
    const double *sinOut = core.filtered() + core.filteredStride();
    for (int k = 0; k < n; ++k) {
        QVERIFY2(std::abs(cosOut[k] - factor * cosRow[size_t(k)]) <= 1e-12, qPrintable(QString::number(k)));
        QVERIFY2(std::abs(sinOut[k] - factor * sinRow[size_t(k)]) <= 1e-12, qPrintable(QString::number(k)));
    }
}

void TestBpCore::ct1IsCt2OverM_data()
{
    QTest::addColumn<int>("m");
    QTest::addColumn<bool>("bitExact");
    // Dividing by a power of two only shifts the exponent, so the values match bit for bit.
    QTest::newRow("M = 8") << 8 << true;
    QTest::newRow("M = 45") << 45 << false;
}

void TestBpCore::ct1IsCt2OverM()
{
    QFETCH(int, m);
    QFETCH(bool, bitExact);
    const int w = 41;
    const std::vector<double> sgm = bumpSinogram(w, m);
    BpCore ct2, ct1;
    ct2.setupCore(40, m);
    ct1.setupCore(40, m);
    reconstruct(ct2, sgm, w, 40.0, 0, 40, 0, 40);
    reconstruct(ct1, sgm, w, double(m) * 40.0, 0, 40, 0, 40);
    double largest = 0.0;
    for (int i = 0; i < 40 * 40; ++i)
        largest = std::max(largest, std::abs(ct2.image()[i]));
    QVERIFY(largest > 0.1);
    for (int i = 0; i < 40 * 40; ++i) {
        if (bitExact)
            QCOMPARE(ct1.image()[i] * m, ct2.image()[i]);
        else
            QVERIFY(std::abs(ct1.image()[i] * m - ct2.image()[i]) <= 1e-12 * largest);
    }
}

// With the filtered value equal to the sample index, a pixel receives its detector position t.
void TestBpCore::centreSampleMapsToImageCentre()
{
    const SgmGeometry g = SgmGeometry::compute(true, 100, 10.5);
    QCOMPARE(g.w, 19);
    const int n = g.transformLength();
    QCOMPARE(n, 18);
    const int m = 7;
    std::vector<double> ramp(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        ramp[size_t(i)] = i;
    const std::vector<double> block = filteredBlock(n, m, ramp);
    std::vector<double> image(size_t(n) * n, 0.0);
    backProjectReference(block.data(), backProjectionStride(n), n, m, 0, m, 0, n, 0, n, image.data());
    // The centre of rotation, sample halfW - 1 = 9, lies at c = 9 for every angle.
    QVERIFY(std::abs(image[9 * n + 9] - 9.0 * m) <= 1e-12);
    // (13, 9): t = 9 + 4 cos(theta) - 0; summed over the half turn.
    double expected = 0.0;
    for (int j = 0; j < m; ++j)
        expected += 9.0 + 4.0 * std::cos(j * pi / m);
    QVERIFY(std::abs(image[9 * n + 13] - expected) <= 1e-9);
}

// Projection 0 (theta = 0) adds filtered[x] to every pixel of column x inside the circle.
void TestBpCore::singleProjectionSmearsAlongZ()
{
    const int n = 18;
    std::vector<double> row(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        row[size_t(i)] = 100.0 + i * i;
    const std::vector<double> block = filteredBlock(n, 1, row);
    std::vector<double> image(size_t(n) * n, 0.0);
    backProjectReference(block.data(), backProjectionStride(n), n, 1, 0, 1, 0, n, 0, n, image.data());
    for (int z = 0; z < n; ++z) {
        for (int x = 0; x < n; ++x) {
            // t = x; the last sample (x = N - 1 = 17) has no right neighbour and is skipped.
            const double expected = insideCircle(x, z, n) && x <= n - 2 ? row[size_t(x)] : 0.0;
            QVERIFY2(image[size_t(z) * n + x] == expected, qPrintable(QString("%1,%2").arg(x).arg(z)));
        }
    }
}

void TestBpCore::regionBounds_data()
{
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("z0");
    QTest::addColumn<double>("z1");
    QTest::addColumn<int>("xFirst");
    QTest::addColumn<int>("xLast");
    QTest::addColumn<int>("zFirst");
    QTest::addColumn<int>("zLast");
    const double huge = 1e300;
    QTest::newRow("whole image") << 0.0 << 18.0 << 0.0 << 18.0 << 0 << 17 << 0 << 17;
    QTest::newRow("x0 -5.7 starts at -5") << -5.7 << 18.0 << 0.0 << 18.0 << -5 << 17 << 0 << 17;
    QTest::newRow("x0 3.7 starts at 3") << 3.7 << 18.0 << 0.0 << 18.0 << 3 << 17 << 0 << 17;
    QTest::newRow("x1 10 stops at 9") << 0.0 << 10.0 << 0.0 << 18.0 << 0 << 9 << 0 << 17;
    QTest::newRow("x1 10.5 stops at 10") << 0.0 << 10.5 << 0.0 << 18.0 << 0 << 10 << 0 << 17;
    QTest::newRow("z window 2.2 - 7") << 0.0 << 18.0 << 2.2 << 7.0 << 0 << 17 << 2 << 6;
    QTest::newRow("larger than image") << -40.0 << 60.0 << -40.0 << 60.0 << -40 << 59 << -40 << 59;
    QTest::newRow("huge bounds") << -huge << huge << -huge << huge << -1 << 19 << -1 << 19;
    QTest::newRow("empty") << 5.0 << 5.0 << 0.0 << 18.0 << 5 << 4 << 0 << 17;
    QTest::newRow("NaN bounds") << std::nan("") << 18.0 << 0.0 << std::nan("") << 0 << -1 << 0 << -1;
}

// A region image equals the whole-image result on the region's pixels and is 0 elsewhere;
// corners, row 0 and column 0 always stay 0.
void TestBpCore::regionBounds()
{
    QFETCH(double, x0);
    QFETCH(double, x1);
    QFETCH(double, z0);
    QFETCH(double, z1);
    QFETCH(int, xFirst);
    QFETCH(int, xLast);
    QFETCH(int, zFirst);
    QFETCH(int, zLast);
    const int n = 18, m = 5;
    std::vector<double> row(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        row[size_t(i)] = 1.0 + std::cos(i * 0.7);
    const std::vector<double> block = filteredBlock(n, m, row);
    const int stride = backProjectionStride(n);
    std::vector<double> whole(size_t(n) * n, 0.0), region(size_t(n) * n, 0.0);
    backProjectReference(block.data(), stride, n, m, 0, m, 0, n, 0, n, whole.data());
    backProjectReference(block.data(), stride, n, m, 0, m, x0, x1, z0, z1, region.data());
    int computed = 0;
    for (int z = 0; z < n; ++z) {
        for (int x = 0; x < n; ++x) {
            const bool inRegion = x >= xFirst && x <= xLast && z >= zFirst && z <= zLast;
            const double expected = inRegion ? whole[size_t(z) * n + x] : 0.0;
            QVERIFY2(region[size_t(z) * n + x] == expected, qPrintable(QString("%1,%2").arg(x).arg(z)));
            if (region[size_t(z) * n + x] != 0.0)
                ++computed;
            if (x == 0 || z == 0 || !insideCircle(x, z, n))
                QCOMPARE(region[size_t(z) * n + x], 0.0);
        }
    }
    if (xLast >= xFirst && zLast >= zFirst)
        QVERIFY(computed > 0);
}

void TestBpCore::backProjectAllMatchesOneByOne_data()
{
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("z0");
    QTest::addColumn<double>("z1");
    QTest::newRow("whole image") << 0.0 << 64.0 << 0.0 << 64.0;
    QTest::newRow("partial region") << -5.7 << 40.5 << 10.2 << 33.0;
    QTest::newRow("larger than image") << -100.0 << 300.0 << -100.0 << 300.0;
    QTest::newRow("huge bounds") << -1e300 << 1e300 << -1e300 << 1e300;
}

// All projections at once give the same sums, bit for bit, as one projection per call.
void TestBpCore::backProjectAllMatchesOneByOne()
{
    QFETCH(double, x0);
    QFETCH(double, x1);
    QFETCH(double, z0);
    QFETCH(double, z1);
    const int w = 65, m = 37;
    const std::vector<double> sgm = bumpSinogram(w, m);
    BpCore oneByOne, all;
    oneByOne.setupCore(64, m);
    all.setupCore(64, m);
    reconstruct(oneByOne, sgm, w, 64.0, x0, x1, z0, z1);
    all.resizeImage(64);
    for (int j = 0; j < m; ++j)
        all.transformRow(sgm.data() + size_t(j) * w, j);
    for (int j = 0; j < m; ++j)
        all.filterRow(j, 64.0);
    all.backProjectAll(x0, x1, z0, z1);
    QVERIFY(all.isDone());
    int nonZero = 0;
    for (int i = 0; i < 64 * 64; ++i) {
        QCOMPARE(all.image()[i], oneByOne.image()[i]);
        nonZero += all.image()[i] != 0.0;
    }
    QVERIFY(nonZero > 100);
}

void TestBpCore::setupCoreReusesBuffers()
{
    BpCore core;
    core.setupCore(40, 6);
    const std::vector<double> sgm = bumpSinogram(41, 6);
    reconstruct(core, sgm, 41, 40.0, 0, 40, 0, 40);
    const double *filtered = core.filtered();
    const fftw_complex *spectrum = core.spectrum(5);
    const double kept = filtered[5 * core.filteredStride() + 3];
    QVERIFY(kept != 0.0);
    core.setupCore(40, 6);
    QCOMPARE(core.filtered(), filtered);
    QCOMPARE(core.spectrum(5), spectrum);
    // The rows of the previous slice stay until overwritten.
    QCOMPARE(core.filtered()[5 * core.filteredStride() + 3], kept);
    core.setupCore(41, 6); // rounded down to the same even length
    QCOMPARE(core.n(), 40);
    QCOMPARE(core.filtered(), filtered);
}

void TestBpCore::setupCoreRebuildsForOtherM()
{
    BpCore core;
    core.setupCore(40, 6);
    reconstruct(core, bumpSinogram(41, 6), 41, 40.0, 0, 40, 0, 40);
    const std::vector<double> first(core.image(), core.image() + 40 * 40);
    core.setupCore(40, 9);
    QCOMPARE(core.m(), 9);
    QCOMPARE(core.n(), 40);
    // Freshly allocated rows are all zero, so none of the old filtered values survived.
    for (int j = 0; j < 9; ++j)
        for (int k = 0; k < core.filteredStride(); ++k)
            QCOMPARE(core.filtered()[j * core.filteredStride() + k], 0.0);
    // All nine projections are usable.
    const std::vector<double> sgm = bumpSinogram(41, 9);
    reconstruct(core, sgm, 41, 40.0, 0, 40, 0, 40);
    BpCore fresh;
    fresh.setupCore(40, 9);
    reconstruct(fresh, sgm, 41, 40.0, 0, 40, 0, 40);
    for (int i = 0; i < 40 * 40; ++i)
        QCOMPARE(core.image()[i], fresh.image()[i]);
}

// The vector back-projection reads past row ends: the padding must be finite zeros.
void TestBpCore::filteredPaddingIsZero()
{
    BpCore core;
    core.setupCore(18, 4);
    QVERIFY(core.filteredStride() >= 18 + kBackProjectionPad);
    QCOMPARE(core.filteredStride() % 8, 0);
    QCOMPARE(reinterpret_cast<quintptr>(core.filtered()) % 64, quintptr(0));
    reconstruct(core, bumpSinogram(19, 4), 19, 18.0, 0, 18, 0, 18);
    for (int j = 0; j < 4; ++j)
        for (int k = 18; k < core.filteredStride(); ++k)
            QCOMPARE(core.filtered()[j * core.filteredStride() + k], 0.0);
}

void TestBpCore::zeroLengthCoreIsInert()
{
    BpCore core;
    core.setupCore(0, 5);
    QCOMPARE(core.n(), 0);
    QCOMPARE(core.m(), 5);
    const double row[2] = {1.0, 2.0};
    core.resizeImage(0);
    core.transformRow(row, 0);
    core.filterRow(0, 1.0);
    core.backProject(0, 0, 10, 0, 10);
    QVERIFY(core.isDone());
    QCOMPARE(core.imageSide(), 0);
    core.setupCore(-4, -1);
    QCOMPARE(core.n(), 0);
    QCOMPARE(core.m(), 0);
}

void TestBpCore::imageMinMaxOnlyWhenDone()
{
    BpCore core;
    core.setupCore(18, 3);
    core.resizeImage(18);
    core.imageMinMax();
    QCOMPARE(core.minValue(), 0.0);
    QCOMPARE(core.maxValue(), 0.0);
    std::vector<double> sgm(19 * 3);
    for (int k = 0; k < 19 * 3; ++k)
        sgm[size_t(k)] = (k % 19 == 9) ? 1.0 : 0.0; // a point at the centre of rotation
    reconstruct(core, sgm, 19, 18.0, 0, 18, 0, 18);
    core.imageMinMax();
    double lo = std::numeric_limits<double>::max(), hi = -lo;
    for (int i = 0; i < 18 * 18; ++i) {
        lo = std::min(lo, core.image()[i]);
        hi = std::max(hi, core.image()[i]);
    }
    QCOMPARE(core.minValue(), lo);
    QCOMPARE(core.maxValue(), hi);
    QVERIFY(hi > 0.5 && std::abs(core.imageAt(9, 9) - hi) <= 1e-12);
    // An image of another size than the core keeps the range as it was.
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
