#include "BpCore.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "QuantFilter.h"
#include "SinogramGenerator.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr double pi = 3.141592653589793;
constexpr double mu = 0.01;       // attenuation per pixel inside the disc
constexpr double radius = 60.0;   // of the disc, pixels
constexpr int width = 255;        // detector width; the axis at pixel 127
constexpr int projections = 180;
constexpr double i0Counts = 1.0e6;

// A slice value with its own reconstruction, for comparisons between cores.
std::vector<double> imageOf(const BpCore &core)
{
    return std::vector<double>(core.image(), core.image() + size_t(core.n()) * core.n());
}

// Mean, lowest and highest of the pixels whose distance from the image centre is in [r0, r1).
std::array<double, 3> ring(const BpCore &core, double r0, double r1)
{
    std::vector<double> values;
    const double c = core.n() * 0.5;
    for (int z = 0; z < core.n(); ++z)
        for (int x = 0; x < core.n(); ++x)
            if (std::hypot(x - c, z - c) >= r0 && std::hypot(x - c, z - c) < r1)
                values.push_back(core.imageAt(x, z));
    const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
    return {std::accumulate(values.begin(), values.end(), 0.0) / double(values.size()), *lowest, *highest};
}

// Direct discrete Fourier sum of the circular Ram-Lak kernel at bin k, times two.
double directRamLak(int p, int k)
{
    double sum = 0.0;
    for (int m = 0; m < p; ++m) {
        const int d = std::min(m, p - m);
        const double h = d == 0 ? 0.25 : (d % 2 ? -1.0 / (pi * d * pi * d) : 0.0);
        sum += h * std::cos(2.0 * pi * k * m / p);
    }
    return 2.0 * sum;
}

} // namespace

// The quantitative mode: padded length, filter response, and attenuation per pixel on a
// uniform disc measured as ITEX intensities.
class TestQuantFilter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void paddedLength_data();
    void paddedLength();
    void ramLakResponse();
    void windows_data();
    void windows();
    void disc_data();
    void disc();
    void enginesAgreeAndModesSwitch();

private:
    QTemporaryDir dir;
    ImgDatas series;
    std::unique_ptr<ImgData> i0;
    ImgData *i0Slot = nullptr;
    HSgm record;
};

// Projections of the disc at the axis (pixel 127) over half a turn, with a flat I0 and no
// dark image, written as 4-byte ITEX files and read back as the sinogram of row 0.
void TestQuantFilter::initTestCase()
{
    QVERIFY(dir.isValid());
    const int height = 2;
    const QString i0Name = dir.filePath("i0.img");
    QVERIFY(ItexWriter::write(i0Name, width, height, 4, std::vector<quint32>(size_t(width) * height, quint32(i0Counts))));
    for (int j = 0; j < projections; ++j) {
        std::vector<quint32> counts(size_t(width) * height);
        for (int x = 0; x < width; ++x) {
            const double u = x - 127.0;
            const double chord = std::abs(u) < radius ? 2.0 * std::sqrt(radius * radius - u * u) : 0.0;
            const quint32 value = quint32(std::lround(i0Counts * std::exp(-mu * chord)));
            counts[size_t(x)] = counts[size_t(width + x)] = value;
        }
        const QString name = dir.filePath(QString("disc_%1.img").arg(j, 3, 10, QChar('0')));
        QVERIFY(ItexWriter::write(name, width, height, 4, counts));
        QVERIFY(series.add(name));
    }
    i0 = openImgData(i0Name);
    QVERIFY(i0);
    i0Slot = i0.get();
    series.setI0Link(&i0Slot);
    QVERIFY(SinogramGenerator::genSinogram0(series, &record, true, 127.0, 0));
    QCOMPARE(record.h, projections);
}

void TestQuantFilter::paddedLength_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("expected");
    QTest::newRow("none") << -3 << 0;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("2^2 3^2 7") << 126 << 252;
    QTest::newRow("past 506 ... 510") << 253 << 512;
    QTest::newRow("2^4 3 5^2") << 589 << 1200;
    QTest::newRow("2 7^2") << 49 << 98;
}

void TestQuantFilter::paddedLength()
{
    QFETCH(int, n);
    QFETCH(int, expected);
    QCOMPARE(QuantFilter::paddedLength(n), expected);
}

// The transformed kernel equals its direct Fourier sum and follows 2|nu| closely; its mean
// bin is small but positive, which keeps the slice's level.
void TestQuantFilter::ramLakResponse()
{
    const int p = 250;
    const std::vector<double> response = QuantFilter::response(p, ReconFilter::RamLak);
    QCOMPARE(int(response.size()), p / 2 + 1);
    for (int k = 0; k <= p / 2; ++k) {
        QVERIFY2(std::abs(response[size_t(k)] - directRamLak(p, k)) <= 1e-12, qPrintable(QString::number(k)));
        QVERIFY2(std::abs(response[size_t(k)] - 2.0 * k / p) <= 2.0 / p, qPrintable(QString::number(k)));
    }
    QVERIFY(response[0] > 0.0 && response[0] < 1.0 / p);
    QVERIFY(QuantFilter::response(1, ReconFilter::Hann).empty());
}

// Each window is the Ram-Lak response times its value at nu = k/P.
void TestQuantFilter::windows_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("k");
    QTest::addColumn<double>("factor");
    const int none = ReconFilter::RamLak, sl = ReconFilter::SheppLogan, cosine = ReconFilter::Cosine;
    const int hamming = ReconFilter::Hamming, hann = ReconFilter::Hann;
    QTest::newRow("ramlak quarter") << none << 16 << 1.0;
    QTest::newRow("shepp-logan mean") << sl << 0 << 1.0;
    QTest::newRow("shepp-logan nyquist") << sl << 32 << 2.0 / pi;
    QTest::newRow("cosine quarter") << cosine << 16 << std::sqrt(0.5);
    QTest::newRow("hamming nyquist") << hamming << 32 << 0.08;
    QTest::newRow("hann eighth") << hann << 8 << 0.5 + 0.5 * std::sqrt(0.5);
}

void TestQuantFilter::windows()
{
    QFETCH(int, window);
    QFETCH(int, k);
    QFETCH(double, factor);
    const int p = 64;
    const double windowed = QuantFilter::response(p, ReconFilter::Window(window))[size_t(k)];
    QVERIFY(std::abs(windowed - factor * directRamLak(p, k)) <= 1e-12);
    QVERIFY(std::abs(QuantFilter::window(ReconFilter::Window(window), double(k) / p) - factor) <= 1e-12);
}

// Attenuation per pixel: every pixel inside the disc within 0.5 % of 0.01 and the air
// around it at 0 within 1e-4 on average, for every window (the windows smooth the edge
// and the streaks, not the levels).
void TestQuantFilter::disc_data()
{
    QTest::addColumn<int>("window");
    for (int w = 0; w < ReconFilter::windowCount; ++w)
        QTest::newRow(qPrintable(ReconFilter::windowName(ReconFilter::Window(w)))) << w;
}

void TestQuantFilter::disc()
{
    QFETCH(int, window);
    const int n = (record.w / 2) * 2;
    BpCore core;
    core.setupCore(n, record.h, ReconFilter{true, ReconFilter::Window(window)});
    QCOMPARE(core.transformLength(), QuantFilter::paddedLength(n));
    core.reconstructSlice(record.sgm, record.w, n, 0, n, 0, n);
    const auto [inside, lowest, highest] = ring(core, 0.0, radius - 8.0);
    const auto [air, airLowest, airHighest] = ring(core, radius + 8.0, n * 0.5 - 2.0);
    const QString seen = QString("inside mean %1 in %2 .. %3, air mean %4 in %5 .. %6")
                             .arg(inside).arg(lowest).arg(highest).arg(air).arg(airLowest).arg(airHighest);
    qDebug() << ReconFilter::windowName(ReconFilter::Window(window)) << seen;
    QVERIFY2(std::abs(lowest - mu) <= 0.005 * mu && std::abs(highest - mu) <= 0.005 * mu, qPrintable(seen));
    // Single air pixels carry the streaks of 180 angles (a few 1e-4 with Ram-Lak), no offset.
    QVERIFY2(std::abs(air) <= 1e-4, qPrintable(seen));
    QVERIFY2(std::abs(airLowest) <= 1e-3 && std::abs(airHighest) <= 1e-3, qPrintable(seen));
}

// CT1 (divisor M*N, projection by projection) and CT2 (divisor N, whole slice) give the
// same numbers; switching the mode rebuilds the transforms, and the default comes back bit
// for bit.
void TestQuantFilter::enginesAgreeAndModesSwitch()
{
    const int n = (record.w / 2) * 2;
    const int m = record.h;
    auto wholeSlice = [&](BpCore &core, const ReconFilter &filter) {
        core.setupCore(n, m, filter);
        core.reconstructSlice(record.sgm, record.w, n, 0, n, 0, n);
        return imageOf(core);
    };
    BpCore ct1, ct2, fresh;
    const std::vector<double> hamming = wholeSlice(ct2, ReconFilter{true, ReconFilter::Hamming});
    ct1.setupCore(n, m, ReconFilter{true, ReconFilter::Hamming});
    QCOMPARE(ct1.spectrumLength(), QuantFilter::paddedLength(n) / 2 + 1);
    ct1.resizeImage(n);
    for (int j = 0; j < m; ++j) {
        ct1.transformRow(record.sgm + size_t(j) * record.w, j);
        ct1.filterRow(j, double(m) * n);
        ct1.backProject(j, 0, n, 0, n);
    }
    QVERIFY(imageOf(ct1) == hamming);

    const std::vector<double> plain = wholeSlice(ct2, ReconFilter{});
    QCOMPARE(QList<int>({ct2.filter().quantitative, ct2.spectrumLength(), ct2.transformLength()}), QList<int>({0, n, n}));
    QVERIFY(plain == wholeSlice(fresh, ReconFilter{}));
    QVERIFY(plain != hamming);
    // Another window alone rebuilds as well.
    QVERIFY(wholeSlice(ct1, ReconFilter{true, ReconFilter::Hann}) == wholeSlice(fresh, ReconFilter{true, ReconFilter::Hann}));
    QVERIFY(wholeSlice(ct1, ReconFilter{true, ReconFilter::Hann}) != hamming);
}

QTEST_GUILESS_MAIN(TestQuantFilter)
#include "tst_quantfilter.moc"
