// The reconstruction core: ramp and quantitative filters against direct sums, a uniform
// disc reconstructed from its analytic projections, and buffer and mode management.

#include "BpCore.h"
#include "FftwPlannerThread.h"
#include "QuantFilter.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr double pi = 3.141592653589793;
constexpr double mu = 0.01; // attenuation per pixel inside the disc

// The spatial Ram-Lak kernel of unit sample spacing at distance d.
double ramLak(int d)
{
    return d == 0 ? 0.25 : d % 2 ? -1.0 / (pi * d * pi * d) : 0.0;
}

// Line integrals of a disc of `radius` about detector sample `centre`, the same every row.
std::vector<double> discSinogram(int w, int m, int centre, double radius)
{
    std::vector<double> sgm(size_t(w) * m);
    for (size_t i = 0; i < sgm.size(); ++i) {
        const double p = double(int(i % size_t(w)) - centre);
        sgm[i] = std::abs(p) < radius ? 2.0 * std::sqrt(radius * radius - p * p) * mu : 0.0;
    }
    return sgm;
}

// Row j a bump that moves with the angle, on a slope.
std::vector<double> bumpSinogram(int w, int m)
{
    std::vector<double> sgm(size_t(w) * m);
    for (int j = 0; j < m; ++j)
        for (int k = 0; k < w; ++k) {
            const double d = k - w * (0.5 + 0.2 * std::cos(j * pi / m));
            sgm[size_t(j) * w + k] = std::exp(-d * d / 18.0) + 0.01 * k;
        }
    return sgm;
}

// The single-slice engine's order: transform, filter and back-project one projection at a time.
void reconstructByRows(BpCore &core, const std::vector<double> &sgm, int w, double divisor, double x0, double x1,
                       double z0, double z1)
{
    core.resizeImage(core.n());
    for (int j = 0; j < core.m(); ++j) {
        core.transformRow(sgm.data() + size_t(j) * w, j);
        core.filterRow(j, divisor);
        core.backProject(j, x0, x1, z0, z1);
    }
}

std::vector<double> imageOf(const BpCore &core)
{
    return std::vector<double>(core.image(), core.image() + size_t(core.imageSide()) * core.imageSide());
}

// Mean, lowest and highest of image / scale over the pixels at distance [r0, r1) from the centre.
std::vector<double> ring(const BpCore &core, double scale, double r0, double r1)
{
    std::vector<double> values;
    const double c = core.n() * 0.5;
    for (int z = 0; z < core.n(); ++z)
        for (int x = 0; x < core.n(); ++x)
            if (std::hypot(x - c, z - c) >= r0 && std::hypot(x - c, z - c) < r1)
                values.push_back(core.imageAt(x, z) / scale);
    double sum = 0.0;
    for (double v : values)
        sum += v;
    const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
    return {sum / double(values.size()), *lowest, *highest};
}

} // namespace

class TestReconstruction : public QObject
{
    Q_OBJECT
private slots:
    void rampFactorPerBin();
    void quantitativeFilterIsDirectConvolution();
    void windows();
    void uniformDisc_data();
    void uniformDisc();
    void setupReuseRebuildAndModes();
    void emptyCoreIsInert();
    void imageMinMaxOnlyWhenDone();
};

// A cosine and a sine row of frequency `bin` come back scaled by 2 pi min(bin, N - bin) / N.
void TestReconstruction::rampFactorPerBin()
{
    const int n = 32;
    BpCore core;
    core.setupCore(n, 2);
    std::vector<double> rows(2 * n);
    for (int bin : {0, 1, 5, n / 2 - 1, n / 2}) {
        for (int k = 0; k < n; ++k)
            rows[size_t(k)] = std::cos(2.0 * pi * bin * k / n), rows[size_t(n + k)] = std::sin(2.0 * pi * bin * k / n);
        for (int j = 0; j < 2; ++j) {
            core.transformRow(rows.data() + j * n, j);
            core.filterRow(j, n);
            for (int k = 0; k < n; ++k)
                QVERIFY2(std::abs(core.filtered()[j * core.filteredStride() + k] - 2.0 * pi * bin / n * rows[size_t(j * n + k)]) <= 1e-12,
                         qPrintable(QString("bin %1 sample %2").arg(bin).arg(k)));
        }
    }
}

// Quantitative filtering of a row is its linear convolution with the Ram-Lak kernel times
// pi/M (twice the kernel, then pi/(2M)), whatever divisor is given; the padding must keep the
// circular convolution from wrapping. Padded lengths: smallest even 2^a 3^b 5^c 7^d >= 2N.
void TestReconstruction::quantitativeFilterIsDirectConvolution()
{
    for (auto [n, p] : {std::pair{-3, 0}, {0, 0}, {126, 252}, {253, 512}, {589, 1200}, {49, 98}})
        QCOMPARE(QuantFilter::paddedLength(n), p);
    const int n = 126, m = 3;
    BpCore core;
    QVERIFY(core.setupCore(n + 1, m, ReconFilter{true, ReconFilter::RamLak}));
    QCOMPARE(core.transformLength(), 252);
    QCOMPARE(core.spectrumLength(), 252 / 2 + 1);
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> value(-1.0, 2.0);
    std::vector<double> row(n);
    for (int j = 0; j < m; ++j) {
        for (double &v : row)
            v = value(random);
        core.transformRow(row.data(), j);
        core.filterRow(j, 7.0 + j);
        for (int k = 0; k < n; ++k) {
            double direct = 0.0;
            for (int i = 0; i < n; ++i)
                direct += row[size_t(i)] * ramLak(std::abs(k - i));
            QVERIFY2(std::abs(core.filtered()[j * core.filteredStride() + k] - direct * pi / m) <= 1e-12,
                     qPrintable(QString("row %1 sample %2").arg(j).arg(k)));
        }
    }
    QVERIFY(QuantFilter::response(1, ReconFilter::Hann).empty());
}

// Each window's value at a few frequencies, and the response is Ram-Lak's times the window at k/P.
void TestReconstruction::windows()
{
    const struct { ReconFilter::Window window; int k; double factor; } points[] = {
        {ReconFilter::RamLak, 16, 1.0},       {ReconFilter::SheppLogan, 0, 1.0},
        {ReconFilter::SheppLogan, 32, 2.0 / pi}, {ReconFilter::Cosine, 16, std::sqrt(0.5)},
        {ReconFilter::Hamming, 32, 0.08},     {ReconFilter::Hann, 8, 0.5 + 0.5 * std::sqrt(0.5)}};
    const std::vector<double> ramLakResponse = QuantFilter::response(64, ReconFilter::RamLak);
    for (const auto &point : points) {
        QVERIFY(std::abs(QuantFilter::window(point.window, point.k / 64.0) - point.factor) <= 1e-12);
        QVERIFY(std::abs(QuantFilter::response(64, point.window)[size_t(point.k)] - point.factor * ramLakResponse[size_t(point.k)]) <= 1e-12);
    }
}

void TestReconstruction::uniformDisc_data()
{
    QTest::addColumn<bool>("quantitative");
    QTest::addColumn<int>("window");
    QTest::newRow("sampled ramp") << false << 0;
    for (int w = 0; w < ReconFilter::windowCount; ++w)
        QTest::newRow(qPrintable("quantitative " + ReconFilter::windowName(ReconFilter::Window(w)))) << true << w;
}

// A disc of 0.01 per pixel and radius 60. The sampled ramp (sum over projections / 2M) gives
// it minus a constant offset of about -0.001; the quantitative mode gives attenuation per
// pixel, each pixel within 0.5 %, air 0 (the windows smooth edges and streaks, not levels).
// Whole slice in one call (optimised back-projection, divisor N) and projection by
// projection (reference loop, divisor M N) give the same bits over any region.
void TestReconstruction::uniformDisc()
{
    QFETCH(bool, quantitative);
    QFETCH(int, window);
    const int w = quantitative ? 255 : 253, m = quantitative ? 180 : 360, n = w - 1;
    const std::vector<double> sgm = discSinogram(w, m, w / 2, 60.0);
    const ReconFilter filter{quantitative, ReconFilter::Window(window)};
    BpCore ct2, ct1;
    ct2.setupCore(w, m, filter);
    ct1.setupCore(w, m, filter);
    QCOMPARE(ct2.n(), n);
    ct2.reconstructSlice(sgm.data(), w, n, 0, n, 0, n);
    QVERIFY(ct2.isDone());
    const double scale = quantitative ? 1.0 : 2.0 * m, level = quantitative ? mu : 0.0090, air = quantitative ? 0.0 : -0.0010;
    const std::vector<double> in = ring(ct2, scale, 0.0, quantitative ? 52.0 : 50.0);
    const std::vector<double> out = ring(ct2, scale, quantitative ? 68.0 : 70.0, quantitative ? n * 0.5 - 2.0 : 110.0);
    const QString seen = QString("inside %1 in %2 .. %3, air %4 in %5 .. %6").arg(in[0]).arg(in[1]).arg(in[2])
                             .arg(out[0]).arg(out[1]).arg(out[2]);
    const double inTol = quantitative ? 0.005 * mu : 0.0005, airMeanTol = quantitative ? 1e-4 : 0.0003;
    const double airTol = quantitative ? 1e-3 : 0.0006;
    QVERIFY2(std::abs(in[1] - level) <= inTol && std::abs(in[2] - level) <= inTol, qPrintable(seen));
    QVERIFY2(std::abs(in[0] - level) <= 0.0002 && std::abs(out[0] - air) <= airMeanTol, qPrintable(seen));
    QVERIFY2(std::abs(out[1] - air) <= airTol && std::abs(out[2] - air) <= airTol, qPrintable(seen));
    QVERIFY(std::abs((in[0] - out[0]) - mu) <= 0.0003); // the jump at the edge is the attenuation

    reconstructByRows(ct1, sgm, w, quantitative ? double(m) * n : n, -5.7, 140.5, 10.2, 93.0);
    ct2.reconstructSlice(sgm.data(), w, n, -5.7, 140.5, 10.2, 93.0);
    QVERIFY(imageOf(ct1) == imageOf(ct2));
}

// The same N and M keep buffers, plans and the previous rows; another M, or another filter,
// rebuilds, and the rebuilt core reconstructs like a fresh one.
void TestReconstruction::setupReuseRebuildAndModes()
{
    BpCore core, fresh;
    core.setupCore(40, 6);
    reconstructByRows(core, bumpSinogram(41, 6), 41, 40.0, 0, 40, 0, 40);
    const double *filtered = core.filtered();
    const double kept = filtered[5 * core.filteredStride() + 3];
    QVERIFY(kept != 0.0);
    core.setupCore(41, 6); // rounded down to the same even length
    QCOMPARE(core.n(), 40);
    QCOMPARE(core.filtered(), filtered);
    QCOMPARE(core.filtered()[5 * core.filteredStride() + 3], kept);
    core.setupCore(40, 9);
    QCOMPARE(core.m(), 9);
    for (int k = 0; k < 9 * core.filteredStride(); ++k) // fresh rows: no old filtered value survived
        QCOMPARE(core.filtered()[k], 0.0);

    const std::vector<double> sgm = bumpSinogram(41, 9);
    auto slice = [&](BpCore &target, const ReconFilter &filter) {
        target.setupCore(40, 9, filter);
        target.reconstructSlice(sgm.data(), 41, 40.0, 0, 40, 0, 40);
        return imageOf(target);
    };
    const std::vector<double> plain = slice(core, ReconFilter{});
    QVERIFY(plain == slice(fresh, ReconFilter{}));
    const std::vector<double> hamming = slice(core, ReconFilter{true, ReconFilter::Hamming});
    QVERIFY(hamming == slice(fresh, ReconFilter{true, ReconFilter::Hamming}) && hamming != plain);
    QVERIFY(slice(core, ReconFilter{true, ReconFilter::Hann}) == slice(fresh, ReconFilter{true, ReconFilter::Hann}));
    QVERIFY(imageOf(core) != hamming);
    QVERIFY(slice(core, ReconFilter{}) == plain);
    QCOMPARE(QList<int>({core.filter().quantitative, core.spectrumLength(), core.transformLength()}), QList<int>({0, 40, 40}));
}

// Width 1 gives N = 0, and a core larger than memory is not built: both leave a core without
// plans that reconstructs nothing, and a later size works again. Plans are made on the thread
// that was recorded as the planner's.
void TestReconstruction::emptyCoreIsInert()
{
    BpCore core;
    QVERIFY(!core.setupCore(1, 5));
    QVERIFY(core.n() == 0 && core.m() == 5);
    const double row[2] = {1.0, 2.0};
    core.reconstructSlice(row, 1, 1.0, 0, 10, 0, 10);
    QVERIFY(core.isDone() && core.imageSide() == 0);
    QVERIFY(!core.setupCore(-4, -1));
    QCOMPARE(core.m(), 0);
    QTest::ignoreMessage(QtDebugMsg, "Not enough memory for a reconstruction core of 1048576 x 1048576");
    QVERIFY(!core.setupCore(1 << 20, 1 << 20));
    QVERIFY(core.n() == 0 && !core.filtered());
    QVERIFY(core.setupCore(16, 2) && core.setupCore(16, 2) && core.filtered());
    QVERIFY(FftwPlannerThread::isCurrent());
    bool otherIsPlanner = true;
    std::thread other([&otherIsPlanner] { otherIsPlanner = FftwPlannerThread::isCurrent(); });
    other.join();
    QVERIFY(!otherIsPlanner && FftwPlannerThread::isCurrent());
}

// A point at the centre of rotation: the range scan matches the image, starts afresh each
// time, and skips an image not done or of another size than the core.
void TestReconstruction::imageMinMaxOnlyWhenDone()
{
    BpCore core;
    core.setupCore(18, 3);
    core.resizeImage(18);
    core.imageMinMax();
    QVERIFY(!core.isDone() && core.minValue() == 0.0 && core.maxValue() == 0.0);
    std::vector<double> sgm(19 * 3);
    for (int k = 0; k < 19 * 3; ++k)
        sgm[size_t(k)] = (k % 19 == 9) ? 1.0 : 0.0;
    reconstructByRows(core, sgm, 19, 18.0, 0, 18, 0, 18);
    core.imageMinMax();
    const std::vector<double> image = imageOf(core);
    QCOMPARE(core.minValue(), *std::min_element(image.begin(), image.end()));
    QCOMPARE(core.maxValue(), *std::max_element(image.begin(), image.end()));
    QVERIFY(core.maxValue() > 0.5 && core.imageAt(9, 9) == core.maxValue() && core.minValue() < 0.0);
    const double lo = core.minValue(), top = core.maxValue();
    for (double &v : sgm)
        v *= 0.5;
    reconstructByRows(core, sgm, 19, 18.0, 0, 18, 0, 18);
    core.imageMinMax();
    QVERIFY(std::abs(core.minValue() - 0.5 * lo) <= 1e-12 && std::abs(core.maxValue() - 0.5 * top) <= 1e-12);
    core.resizeImage(10);
    core.backProject(0, 0, 10, 0, 10);
    core.imageMinMax();
    QCOMPARE(core.maxValue(), 0.5 * top);
}

QTEST_GUILESS_MAIN(TestReconstruction)
#include "tst_reconstruction.moc"
