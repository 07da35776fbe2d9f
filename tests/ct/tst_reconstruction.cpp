// From detector lines to slices: sinograms against a direct oracle, filters against direct sums,
// a disc reconstructed from its analytic projections, buffers and modes of the core.

#include "BpCore.h"
#include "CorFinder.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "QuantFilter.h"
#include "SgmGeometry.h"
#include "SinogramGenerator.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

namespace {

const double kNaN = std::nan("");
// Pixel value of projection j (or of I0, BG with j = 0) at (x, y).
using Pixels = std::function<double(int j, int x, int y)>;

// Projections (pixel(j, x, y)) and optional I0 and BG images as ITEX files in a temporary folder.
struct Series
{
    QTemporaryDir dir;
    ImgDatas imgs;
    ImgDatas::Reader i0, bg;

    Series() { imgs.setI0Link(&i0), imgs.setBgLink(&bg); }
    QString write(const QString &name, int width, int height, const std::function<double(int, int)> &pixel)
    {
        std::vector<quint32> pixels(size_t(width) * height);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = quint32(pixel(int(i % size_t(width)), int(i / size_t(width))));
        return ItexWriter::write(dir.filePath(name), width, height, 4, pixels) ? dir.filePath(name) : QString();
    }
    bool addProjections(int m, int width, int height, const Pixels &pixel)
    {
        for (int j = 0; j < m; ++j)
            if (!imgs.add(write(QString("p_%1.img").arg(j), width, height, [&](int x, int y) { return pixel(j, x, y); })))
                return false;
        return true;
    }
    bool setReference(const QString &which, int width, int height, const std::function<double(int, int)> &pixel)
    {
        ImgDatas::Reader &reader = which == "i0" ? i0 : bg;
        reader = openImgData(write(which + ".img", width, height, pixel));
        return bool(reader);
    }
};

// An I0 or BG image in memory: `value` everywhere but column oddX, which holds `odd`.
class FlatImage : public ImgData
{
public:
    FlatImage(int w, int h, double value, int oddX, double odd) : w(w), h(h), oddX(oddX), value(value), odd(odd) {}
    void reset() override {}
    bool readProps(const QString &, int &width, int &height) override { return (width = w) && (height = h); }
    bool load() override { return true; }
    double *line(int, double *b) const override { std::fill(b, b + w, value), b[oddX] = odd; return b; }
    double *column(int x, double *b) const override { std::fill(b, b + h, x == oddX ? odd : value); return b; }

private:
    int w, h, oddX;
    double value, odd;
};

constexpr double pi = 3.141592653589793;
constexpr double mu = 0.01; // attenuation per pixel inside the disc

// The spatial Ram-Lak kernel of unit sample spacing at distance d.
double ramLak(int d)
{
    return d == 0 ? 0.25 : d % 2 ? -1.0 / (pi * d * pi * d) : 0.0;
}

// Line integrals of a disc of `radius` about detector sample `centre`, the same in every row.
std::vector<double> discSinogram(int w, int m, int centre, double radius)
{
    std::vector<double> sgm(size_t(w) * m);
    for (size_t i = 0; i < sgm.size(); ++i) {
        const double p = double(int(i % size_t(w)) - centre);
        sgm[i] = std::abs(p) < radius ? 2.0 * std::sqrt(radius * radius - p * p) * mu : 0.0;
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
    const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
    return {std::accumulate(values.begin(), values.end(), 0.0) / double(values.size()), *lowest, *highest};
}

} // namespace

class TestReconstruction : public QObject
{
    Q_OBJECT
private slots:
    void geometryAndResampling();
    void sinogramMatchesOracle();
    void unusableInput();
    void rampAndQuantitativeFilters();
    void uniformDisc();
    void setupReuseRebuildAndModes();
    void emptyCoreAndRange();
};

// Geometry, and a linear line resampled exactly from indices 1 ... dim - 1 only (NaN elsewhere).
void TestReconstruction::geometryAndResampling()
{
    const struct { int dim; double cor; int halfW, iCor; double dCor; int transformLength; } cases[] = {
        {100, 0.7, 0, 0, 0.7, 0},     {100, 10.5, 10, 10, 0.5, 18},   {100, 10.25, 10, 10, 0.25, 18},
        {100, 60.75, 38, 60, 0.75, 74}, {100, 98.5, 0, 98, 0.5, 0},   {100, 97.5, 1, 97, 0.5, 0},
        {100, 40.0, 40, 40, 0.0, 78}, {100, -3.25, 0, -4, 0.75, 0},   {20, 1.5, 1, 1, 0.5, 0},
        {20, 2.0, 2, 2, 0.0, 2},      {20, 17.25, 1, 17, 0.25, 0},    {20, 18.0, 1, 18, 0.0, 0},
        {100, 1e12, 0, -1, kNaN, 0},  {100, kNaN, 0, -1, kNaN, 0},    {100, HUGE_VAL, 0, -1, kNaN, 0}}; // iCor meaningless
    for (const auto &c : cases) {
        const SgmGeometry g = SgmGeometry::compute(false, c.dim, c.cor);
        QVERIFY2(g.halfW == c.halfW && g.w == 2 * c.halfW - 1 && g.transformLength() == c.transformLength && !g.rotAxIsV,
                 qPrintable(QString("cor %1 of %2").arg(c.cor).arg(c.dim)));
        QVERIFY(std::isnan(c.dCor) || (g.iCor == c.iCor && std::abs(g.dCor - c.dCor) <= 1e-12));
        std::vector<double> line(size_t(c.dim) + 2, kNaN);
        for (int i = 1; i < c.dim; ++i)
            line[size_t(i) + 1] = 3.0 * i + 2.0;
        std::vector<double> out(size_t(std::max(g.w, 0)), kNaN);
        resampleLine(line.data() + 1, out.data(), g);
        for (int k = 0; k < g.w; ++k)
            QVERIFY2(std::abs(out[size_t(k)] - (3.0 * (c.cor - (c.halfW - 1) + k) + 2.0)) <= 1e-9, qPrintable(QString::number(k)));
    }
    QVERIFY(std::abs(lerp(7, 3, 0, 5, 1) - 2.0) <= 1e-12 && std::abs(lerp(4, 5, 1, 3, 5) - 3.0) <= 1e-12); // extrapolated, x falling
    QVERIFY(std::abs(lerp(9.0, 2.0, 1.0, 2.0, 4.0) - 2.5) <= 1e-12); // equal x gives the mean
}

// Sample k at detector position p = cor - (halfW - 1) + k, interpolated; sgm = ln(d(I0 - BG) /
// d(I - BG)), d(v) = v > 0 ? v : 1, no I0 = 1, no BG = 0. Horizontal axis: slices are columns.
void TestReconstruction::sinogramMatchesOracle()
{
    static const double cases[6][3] = {{500, 500, 0}, {550, 1000, 100}, {80, 1000, 100}, // I, I0, BG
                                       {100, 1000, 100}, {50, 100, 100}, {20, 50, 100}};
    const auto column = [](int c) -> Pixels { return [c](int, int x, int) { return cases[x % 6][c]; }; };
    const Pixels linearI = [](int j, int x, int y) { return 1000.0 + 10.0 * x + 7.0 * j + 3.0 * y; };
    const Pixels linearI0 = [](int, int x, int y) { return 5000.0 + 11.0 * x + y; };
    const Pixels linearBG = [](int, int x, int) { return 20.0 + 2.0 * x; };
    const Pixels pattern = [](int j, int x, int y) { return 50.0 + 7 * j + 13 * x + 3 * y + (x * y) % 5; };
    const struct { bool rotAxIsV; int width, height; double cor; int slice, w; Pixels counts, flat, dark; } series[] = {
        {true, 20, 4, 9.0, 2, 17, column(0), column(1), column(2)},
        {true, 20, 4, 9.0, 2, 17, [](int, int x, int) { return x % 2 ? 100.0 : 0.0; }, {}, {}},
        {true, 20, 4, 9.0, 2, 17, [](int, int, int) { return 300.0; }, {}, [](int, int, int) { return 200.0; }},
        {true, 100, 6, 12.0, 4, 23, linearI, linearI0, linearBG}, {true, 100, 6, 10.5, 4, 19, linearI, linearI0, linearBG},
        {false, 5, 40, 19.0, 3, 37, pattern, {}, {}}, {false, 40, 14, 6.0, 3, 11, pattern, {}, {}}};
    for (const auto &s : series) {
        Series files;
        QVERIFY(files.addProjections(3, s.width, s.height, s.counts));
        QVERIFY(!s.flat || files.setReference("i0", s.width, s.height, [&](int x, int y) { return s.flat(0, x, y); }));
        QVERIFY(!s.dark || files.setReference("bg", s.width, s.height, [&](int x, int y) { return s.dark(0, x, y); }));
        HSgm record;
        QVERIFY(SinogramGenerator::genSinogram0(*files.imgs.snapshot(), &record, s.rotAxIsV, s.cor, s.slice) && record.w == s.w
                && record.h == 3 && record.slice == s.slice);
        CorFinder::Sinogram sinogram; // the centre search's own, around the middle whole pixel
        if (s.cor == std::floor(((s.rotAxIsV ? s.width : s.height) - 1) * 0.5))
            QVERIFY(CorFinder::sinogramOf(*files.imgs.snapshot(), s.rotAxIsV, s.slice, sinogram) && sinogram.w == s.w && sinogram.h == 3
                    && sinogram.firstPosition == s.cor - (s.w - 1) / 2 && std::equal(sinogram.values.begin(), sinogram.values.end(), record.sgm));
        for (int i = 0; i < record.w * record.h; ++i) {
            const double p = s.cor - (s.w - 1) / 2 + i % s.w;
            const int q = int(std::floor(p));
            const auto at = [&](const Pixels &f, double neutral) {
                const auto pixel = [&](int d) { return s.rotAxIsV ? f(i / s.w, d, s.slice) : f(i / s.w, s.slice, d); };
                return f ? pixel(q) + (p - q) * (pixel(q + 1) - pixel(q)) : neutral;
            };
            const auto usable = [](double d) { return d > 0.0 ? d : 1.0; };
            const double raw = at(s.counts, 0.0), bg = at(s.dark, 0.0), expected = std::log(usable(at(s.flat, 1.0) - bg) / usable(raw - bg));
            QVERIFY2(std::abs(record.rawSgm[i] - raw) <= 1e-9 && std::abs(record.sgm[i] - expected) <= 1e-12,
                     qPrintable(QString("cor %1 at %2: %3 %4, expected %5 %6").arg(s.cor).arg(p).arg(record.rawSgm[i]).arg(record.sgm[i]).arg(raw).arg(expected)));
        }
    }
}

// Bad centres or slices leave the record as it was (horizontal slices 4 ... 19 are valid in 20 x 4).
// References of another size (would overrun buffers) or not valid are unused; NaN in I0, -inf
// in BG make the two samples beside them NaN, counted as differences of 1: ln(1/I), ln(1/1).
void TestReconstruction::unusableInput()
{
    Series series;
    QVERIFY(series.addProjections(2, 20, 4, [](int, int, int) { return 40; }));
    HSgm record;
    record.resize(3, 2);
    record.slice = 7;
    const double *kept = record.sgm;
    for (double cor : {0.7, -4.0, 18.5, 19.2, kNaN, HUGE_VAL})
        QVERIFY2(!SinogramGenerator::genSinogram0(*series.imgs.snapshot(), &record, true, cor, 1), qPrintable(QString::number(cor)));
    for (int slice : {4, -1}) {
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Slice out of range : %1").arg(slice)));
        QVERIFY(!SinogramGenerator::genSinogram0(*series.imgs.snapshot(), &record, true, 10.0, slice));
    }
    QVERIFY(record.w == 3 && record.h == 2 && record.slice == 7 && record.sgm == kept);
    QVERIFY(SinogramGenerator::genSinogram0(*series.imgs.snapshot(), &record, false, 1.5, 19) && record.w == 1);
    QVERIFY(series.setReference("i0", 30, 4, [](int, int) { return 4000; }) && series.setReference("bg", 20, 2, [](int, int) { return 30; }));
    const QRegularExpression message("^Reference image size differs from the projections : \".*(i0|bg)\\.img\"$");
    QTest::ignoreMessage(QtDebugMsg, message);
    QTest::ignoreMessage(QtDebugMsg, message);
    const ImgDatas::Reader unopened(newImgData(ImgTypeITEX));
    const auto i0 = std::make_shared<FlatImage>(20, 4, 1000.0, 8, kNaN), bg = std::make_shared<FlatImage>(20, 4, 0.0, 12, -HUGE_VAL);
    QVERIFY(i0->open() && bg->open());
    for (int kind = 0; kind < 3; ++kind) { // size differs, not valid, not finite
        if (kind > 0)
            series.i0 = kind == 1 ? unopened : i0, series.bg = kind == 1 ? unopened : bg;
        HSgm record;
        QVERIFY(SinogramGenerator::genSinogram0(*series.imgs.snapshot(), &record, true, 10.0, 3));
        for (int i = 0; i < record.w * record.h; ++i) {
            const int x = 10 - (record.w + 1) / 2 + 1 + i % record.w;
            const double expected = kind < 2 || x == 7 || x == 8 ? -std::log(40.0) : x == 11 || x == 12 ? 0.0 : std::log(1000.0 / 40.0);
            QVERIFY2(std::abs(record.sgm[i] - expected) <= 1e-12, qPrintable(QString("%1 at %2").arg(kind).arg(x)));
        }
    }
}


// Ramp: cos and sin of frequency `bin` come back times 2 pi min(bin, N - bin) / N. Quantitative:
// the linear convolution with Ram-Lak times pi/M, whatever the divisor; windows scale the response.
void TestReconstruction::rampAndQuantitativeFilters()
{
    BpCore ramp, quant;
    ramp.setupCore(32, 1);
    std::vector<double> wave(32);
    for (int bin : {0, 1, 5, 15, 16}) {
        for (int k = 0; k < 32; ++k)
            wave[size_t(k)] = std::cos(2.0 * pi * bin * k / 32 + 0.3); // real and imaginary bins
        ramp.transformRow(wave.data(), 0);
        ramp.filterRow(0, 32);
        for (int k = 0; k < 32; ++k)
            QVERIFY2(std::abs(ramp.filtered()[k] - 2.0 * pi * bin / 32 * wave[size_t(k)]) <= 1e-12, qPrintable(QString("bin %1 sample %2").arg(bin).arg(k)));
    }
    for (const auto &[n, p] : {std::pair{-3, 0}, {0, 0}, {126, 252}, {253, 512}, {589, 1200}, {49, 98}})
        QCOMPARE(QuantFilter::paddedLength(n), p);
    const int n = 126, m = 3;
    QVERIFY(quant.setupCore(n + 1, m, ReconFilter{true, ReconFilter::RamLak}) && quant.transformLength() == 252 && quant.spectrumLength() == 127);
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> value(-1.0, 2.0);
    std::vector<double> row(n);
    for (int j = 0; j < m; ++j) {
        for (double &v : row)
            v = value(random);
        quant.transformRow(row.data(), j);
        quant.filterRow(j, 7.0 + j);
        for (int k = 0; k < n; ++k) {
            double direct = 0.0;
            for (int i = 0; i < n; ++i)
                direct += row[size_t(i)] * ramLak(std::abs(k - i));
            QVERIFY2(std::abs(quant.filtered()[j * quant.filteredStride() + k] - direct * pi / m) <= 1e-12,
                     qPrintable(QString("row %1 sample %2").arg(j).arg(k)));
        }
    }
    QVERIFY(QuantFilter::response(1, ReconFilter::Hann).empty() && QuantFilter::response(2, ReconFilter::RamLak).size() == 2);
    const struct { ReconFilter::Window window; int k; double factor; } points[] = {
        {ReconFilter::RamLak, 16, 1.0}, {ReconFilter::SheppLogan, 0, 1.0}, {ReconFilter::SheppLogan, 32, 2.0 / pi},
        {ReconFilter::Cosine, 16, std::sqrt(0.5)}, {ReconFilter::Hamming, 32, 0.08}, {ReconFilter::Hann, 8, 0.5 + 0.5 * std::sqrt(0.5)}};
    const std::vector<double> ramLak = QuantFilter::response(64, ReconFilter::RamLak);
    for (const auto &point : points) {
        ReconFilter::Window parsed = ReconFilter::Cosine; // the batch word of each window, and no other
        QVERIFY(ReconFilter::windowFromName(ReconFilter::windowName(point.window), &parsed) && parsed == point.window
                && !ReconFilter::windowFromName("Hann", &parsed) && parsed == point.window);
        QVERIFY(std::abs(QuantFilter::window(point.window, point.k / 64.0) - point.factor) <= 1e-12);
        QVERIFY(std::abs(QuantFilter::response(64, point.window)[size_t(point.k)] - point.factor * ramLak[size_t(point.k)]) <= 1e-12);
    }
}

// Disc of 0.01 per pixel: the ramp (sum / 2M) gives it offset by -0.001, the quantitative mode
// exactly (each pixel 0.5 %). CT2 and CT1 (one projection at a time) give the same bits.
void TestReconstruction::uniformDisc()
{
    for (int mode = -1; mode < ReconFilter::windowCount; ++mode) { // the sampled ramp, then every window
        const bool quantitative = mode >= 0;
        const int w = quantitative ? 255 : 253, m = quantitative ? 180 : 360, n = w - 1;
        const std::vector<double> sgm = discSinogram(w, m, w / 2, 60.0);
        BpCore ct2, ct1;
        QVERIFY(ct2.setupCore(w, m, ReconFilter{quantitative, ReconFilter::Window(std::max(mode, 0))}) && ct2.n() == n);
        ct2.reconstructSlice(sgm.data(), w, n, 0, n, 0, n);
        QVERIFY(ct2.isDone() && ct1.setupCore(w, m, ct2.filter()));
        const double scale = quantitative ? 1.0 : 2.0 * m, level = quantitative ? mu : 0.0090, air = quantitative ? 0.0 : -0.0010;
        const std::vector<double> in = ring(ct2, scale, 0.0, quantitative ? 52.0 : 50.0);
        const std::vector<double> out = ring(ct2, scale, quantitative ? 68.0 : 70.0, quantitative ? n * 0.5 - 2.0 : 110.0);
        const QString seen = QString("mode %7: inside %1 in %2 .. %3, air %4 in %5 .. %6").arg(in[0]).arg(in[1]).arg(in[2])
                                 .arg(out[0]).arg(out[1]).arg(out[2]).arg(mode);
        const double inTol = quantitative ? 0.005 * mu : 0.0005, airMeanTol = quantitative ? 1e-4 : 0.0003, airTol = quantitative ? 1e-3 : 0.0006;
        QVERIFY2(std::abs(in[1] - level) <= inTol && std::abs(in[2] - level) <= inTol, qPrintable(seen));
        QVERIFY2(std::abs(in[0] - level) <= 0.0002 && std::abs(out[0] - air) <= airMeanTol, qPrintable(seen));
        QVERIFY2(std::abs(out[1] - air) <= airTol && std::abs(out[2] - air) <= airTol, qPrintable(seen));
        QVERIFY(std::abs((in[0] - out[0]) - mu) <= 0.0003); // the jump at the edge is the attenuation
        reconstructByRows(ct1, sgm, w, quantitative ? double(m) * n : n, -5.7, 140.5, 10.2, 93.0);
        ct2.reconstructSlice(sgm.data(), w, n, -5.7, 140.5, 10.2, 93.0);
        QVERIFY(imageOf(ct1) == imageOf(ct2));
    }
}

// Same N and M keep buffers and rows; another M or filter rebuilds, working like a fresh core.
void TestReconstruction::setupReuseRebuildAndModes()
{
    BpCore core, fresh;
    core.setupCore(40, 6);
    reconstructByRows(core, discSinogram(41, 6, 17, 9.0), 41, 40.0, 0, 40, 0, 40);
    const double *filtered = core.filtered();
    const double kept = filtered[5 * core.filteredStride() + 3];
    core.setupCore(41, 6); // rounded down to the same even length
    QVERIFY(kept != 0.0 && core.n() == 40 && core.filtered() == filtered && filtered[5 * core.filteredStride() + 3] == kept);
    core.setupCore(40, 9);
    QCOMPARE(core.m(), 9);
    for (int k = 0; k < 9 * core.filteredStride(); ++k) // fresh rows: no old filtered value survived
        QCOMPARE(core.filtered()[k], 0.0);
    const std::vector<double> sgm = discSinogram(41, 9, 23, 12.0);
    auto slice = [&](BpCore &target, const ReconFilter &filter) {
        target.setupCore(40, 9, filter);
        target.reconstructSlice(sgm.data(), 41, 40.0, 0, 40, 0, 40);
        return imageOf(target);
    };
    const std::vector<double> plain = slice(core, ReconFilter{}), hamming = slice(core, ReconFilter{true, ReconFilter::Hamming});
    QVERIFY(plain == slice(fresh, ReconFilter{}) && hamming != plain);
    QVERIFY(hamming == slice(fresh, ReconFilter{true, ReconFilter::Hamming}));
    QVERIFY(slice(core, ReconFilter{true, ReconFilter::Hann}) == slice(fresh, ReconFilter{true, ReconFilter::Hann}));
    QVERIFY(imageOf(core) != hamming && slice(core, ReconFilter{}) == plain);
    QCOMPARE(QList<int>({core.filter().quantitative, core.spectrumLength(), core.transformLength()}), QList<int>({0, 40, 40}));
}

// N = 0 or too large for memory: no plans, nothing reconstructed, a later size works again.
// The range scan starts afresh, and skips an image not done or of another size than the core.
void TestReconstruction::emptyCoreAndRange()
{
    BpCore core;
    QVERIFY(!core.setupCore(1, 5) && core.n() == 0 && core.m() == 5);
    core.reconstructSlice(std::vector<double>{1.0, 2.0}.data(), 1, 1.0, 0, 10, 0, 10);
    QVERIFY(core.isDone() && core.imageSide() == 0 && !core.setupCore(-4, -1) && core.m() == 0);
    QTest::ignoreMessage(QtDebugMsg, "Not enough memory for a reconstruction core of 1048576 x 1048576");
    QVERIFY(!core.setupCore(1 << 20, 1 << 20) && core.n() == 0 && !core.filtered());
    QVERIFY(core.setupCore(16, 2) && core.setupCore(16, 2) && core.filtered());
    // Rows outside the M projections are refused (the address sanitizer build sees a write).
    const std::vector<double> row(16, 1.0);
    for (int j : {-1, 2}) {
        core.transformRow(row.data(), j);
        core.filterRow(j, 16);
    }

    core.setupCore(18, 3);
    core.resizeImage(18);
    core.imageMinMax();
    QVERIFY(!core.isDone() && core.minValue() == 0.0 && core.maxValue() == 0.0);
    for (double scale : {1.0, 0.5}) { // a point at the centre of rotation
        std::vector<double> sgm(19 * 3, 0.0);
        for (size_t k = 9; k < sgm.size(); k += 19)
            sgm[k] = scale;
        reconstructByRows(core, sgm, 19, 18.0, 0, 18, 0, 18);
        core.imageMinMax();
        const std::vector<double> image = imageOf(core);
        const auto [lowest, highest] = std::minmax_element(image.begin(), image.end());
        QVERIFY(core.minValue() == *lowest && *lowest < 0.0 && core.maxValue() == *highest && *highest > 0.5 * scale
                && core.imageAt(9, 9) == *highest);
    }
    const double top = core.maxValue();
    core.resizeImage(10);
    core.backProject(0, 0, 10, 0, 10);
    core.imageMinMax();
    QCOMPARE(core.maxValue(), top);
}

QTEST_GUILESS_MAIN(TestReconstruction)
#include "tst_reconstruction.moc"
