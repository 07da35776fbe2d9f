// The synthetic sample against a numerical line integral of its own slice, and the series
// writer: noise, energy data sets, orientation after reconstruction, refused settings.

#include "Phantom.h"

#include "BpCore.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "SinogramGenerator.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

namespace {

std::vector<double> imageLine(const QString &fileName, int row)
{
    const std::unique_ptr<ImgData> image = openImgData(fileName);
    std::vector<double> values(image ? size_t(image->imageWidth()) : 0);
    if (image)
        image->line(row, values.data());
    return values;
}

QByteArray fileBytes(const QString &fileName)
{
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Phantom::Series series(const QString &folder, int width, int height, int projections)
{
    Phantom::Series s;
    s.width = width, s.height = height, s.projections = projections, s.folder = folder;
    return s;
}

// Row 0 of a written series reconstructed around cor, correlated over the circle with the true
// slice shifted to the reconstruction's centre (and turned upside down when asked).
double reconstructionCorrelation(const QString &folder, int projections, double cor, bool flipped)
{
    const QDir dir(folder);
    ImgDatas imgs;
    for (int j = 0; j < projections; ++j)
        if (!imgs.add(dir.filePath(QString("phantom_%1.img").arg(j, 5, 10, QLatin1Char('0')))))
            return std::nan("");
    const std::unique_ptr<ImgData> i0 = openImgData(dir.filePath("i0.img")), bg = openImgData(dir.filePath("bg.img"));
    ImgData *i0Slot = i0.get(), *bgSlot = bg.get();
    imgs.setI0Link(&i0Slot);
    imgs.setBgLink(&bgSlot);
    HSgm record;
    if (!i0 || !bg || !SinogramGenerator::genSinogram0(imgs, &record, true, cor, 0))
        return std::nan("");
    BpCore core;
    const int n = (record.w / 2) * 2;
    core.setupCore(n, record.h);
    core.reconstructSlice(record.sgm, record.w, n, 0, n, 0, n);
    const Phantom phantom = Phantom::sheppLogan(imgs.imageWidth(), 1);
    const double c = n * 0.5;
    double sr = 0, st = 0, srr = 0, stt = 0, srt = 0, count = 0;
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            if (std::hypot(x - c, z - c) >= c - 1.0)
                continue;
            const double r = core.imageAt(x, z), t = phantom.attenuationAt(0, x - c, flipped ? c - z : z - c);
            sr += r, st += t, srr += r * r, stt += t * t, srt += r * t, ++count;
        }
    return (srt / count - sr / count * st / count) /
           std::sqrt((srr / count - sr * sr / count / count) * (stt / count - st * st / count / count));
}

} // namespace

class TestPhantom : public QObject
{
    Q_OBJECT
private slots:
    void lineIntegralMatchesAttenuationAlongTheRay();
    void noiseIsReproducibleBySeed();
    void energySeriesWritesNamedDataSets();
    void reconstructionShowsTheSliceUpright();
    void rejectsBadSettings();
};

// attenuationAt integrated numerically along rays through the ventricles, a tilted ventricle
// and the small spots equals the analytic chords: one geometry (rotations, signs, row heights).
// Absolute: a sphere of radius 20 about row 20 of 41 (centre x = 3), cut at row 8 (12 from its
// centre) by the ray 10 off its centre, has a chord of 2 sqrt(20^2 - 12^2 - 10^2).
void TestPhantom::lineIntegralMatchesAttenuationAlongTheRay()
{
    const Phantom phantom = Phantom::sheppLogan(128, 8);
    Phantom::Ellipsoid sphere;
    sphere.cx = 3.0;
    sphere.a = sphere.b = sphere.c = 20.0;
    sphere.mu = 0.05;
    const struct { int row; double u, theta; } rays[] = {{3, 11.0, 0.3}, {0, -14.5, 1.1}, {7, 4.0, 1.5707963}};
    for (const auto &ray : rays) {
        const double step = 0.002, reach = phantom.reach() + 1.0;
        double sum = 0.0;
        for (double s = -reach + 0.5 * step; s < reach; s += step)
            sum += step * phantom.attenuationAt(ray.row, ray.u * std::cos(ray.theta) + s * std::sin(ray.theta),
                                                -ray.u * std::sin(ray.theta) + s * std::cos(ray.theta));
        const double analytic = phantom.lineIntegral(ray.row, ray.u, ray.theta);
        QVERIFY2(analytic > 0.05 && std::abs(sum - analytic) <= 2e-3, qPrintable(QString("%1 vs %2").arg(sum).arg(analytic)));
        const double chord = Phantom(41, {sphere}).lineIntegral(8, 3.0 * std::cos(ray.theta) + 10.0, ray.theta);
        QVERIFY(std::abs(chord - 0.05 * 2.0 * std::sqrt(400.0 - 144.0 - 100.0)) <= 1e-12);
    }
}

// The same seed writes the same bytes, another seed other bytes; the noise is Poisson in
// photons (1000 at the 30000-count peak, so each count is photons times 30).
void TestPhantom::noiseIsReproducibleBySeed()
{
    QTemporaryDir tmp;
    for (const QString name : {"a", "b", "c", "clean"}) {
        Phantom::Series s = series(tmp.filePath(name), 64, 4, 2);
        s.noisePhotons = name == "clean" ? 0.0 : 1000.0;
        s.seed = name == "c" ? 8 : 7;
        QVERIFY(Phantom::writeSeries(s));
    }
    const QByteArray a = fileBytes(tmp.filePath("a/phantom_00001.img"));
    QVERIFY(!a.isEmpty() && fileBytes(tmp.filePath("b/phantom_00001.img")) == a && fileBytes(tmp.filePath("c/phantom_00001.img")) != a);
    double normalisedSquares = 0.0;
    for (int row = 0; row < 4; ++row) {
        const std::vector<double> n = imageLine(tmp.filePath("a/i0.img"), row), c = imageLine(tmp.filePath("clean/i0.img"), row);
        QVERIFY(n.size() == 64 && c.size() == 64);
        for (size_t x = 0; x < n.size(); ++x)
            normalisedSquares += (n[x] - c[x]) * (n[x] - c[x]) / (c[x] * 30.0);
    }
    QVERIFY2(normalisedSquares / (4 * 64) > 0.75 && normalisedSquares / (4 * 64) < 1.25, qPrintable(QString::number(normalisedSquares)));
}

// File names per energy; each data set normalised with its own I0: above the edge the absorber
// (right ventricle) adds attenuation, the left half is unchanged within the count rounding.
void TestPhantom::energySeriesWritesNamedDataSets()
{
    QTemporaryDir tmp;
    Phantom::Series s = series(tmp.path(), 96, 2, 4);
    s.energies = {7100.0, 7112.5, 7130.0};
    QStringList written;
    QVERIFY(Phantom::writeSeries(s, &written));
    QCOMPARE(written.size(), 3 * 4 + 3 + 1);
    const QDir dir(tmp.path());
    for (const QString name : {"phantom-7112_5eV-00000.img", "phantom-7112_5eV-00003.img", "phantom-7100eV-00002.img",
                               "phantom-7130eV-00001.img", "i0-7100eV-00000.img", "i0-7112_5eV-00000.img",
                               "i0-7130eV-00000.img", "bg.img"})
        QVERIFY2(dir.exists(name), qPrintable(name));
    QCOMPARE(Phantom::seriesEdgeEnergy(s), 7112.0);
    std::vector<double> attenuation[2];
    const std::vector<double> dark = imageLine(dir.filePath("bg.img"), 1);
    for (int e = 0; e < 2; ++e) {
        const QString text = e ? "7130eV" : "7100eV";
        const std::vector<double> flat = imageLine(dir.filePath(QString("i0-%1-00000.img").arg(text)), 1);
        const std::vector<double> counts = imageLine(dir.filePath(QString("phantom-%1-00000.img").arg(text)), 1);
        QVERIFY(flat.size() == 96 && counts.size() == 96 && dark.size() == 96);
        for (size_t x = 0; x < 96; ++x)
            attenuation[e].push_back(std::log((flat[x] - dark[x]) / (counts[x] - dark[x])));
    }
    double largestChange = 0.0;
    for (size_t x = 0; x < 96; ++x) {
        largestChange = std::max(largestChange, attenuation[1][x] - attenuation[0][x]);
        QVERIFY(x >= 40 || std::abs(attenuation[1][x] - attenuation[0][x]) <= 1e-3);
    }
    QVERIFY(largestChange > 0.2);
}

// Reconstructed with the cor it was written for, the series shows the true slice; upside
// down, or reconstructed one pixel off the axis (doubled edges), it matches far worse.
void TestPhantom::reconstructionShowsTheSliceUpright()
{
    QTemporaryDir tmp;
    Phantom::Series s = series(tmp.path(), 128, 1, 180);
    s.corOffset = 0.3;
    QVERIFY(Phantom::writeSeries(s));
    const double matched = reconstructionCorrelation(tmp.path(), 180, 63.8, false);
    const double flipped = reconstructionCorrelation(tmp.path(), 180, 63.8, true);
    const double offAxis = reconstructionCorrelation(tmp.path(), 180, 64.8, false);
    QVERIFY2(matched >= 0.9 && flipped <= matched - 0.1 && offAxis <= matched - 0.05,
             qPrintable(QString("%1 flipped %2 off axis %3").arg(matched).arg(flipped).arg(offAxis)));
}

void TestPhantom::rejectsBadSettings()
{
    QTemporaryDir tmp;
    const std::function<void(Phantom::Series &)> faults[] = {
        [](Phantom::Series &s) { s.width = 4; },
        [](Phantom::Series &s) { s.corOffset = -31; }, // the axis at the first pixel
        [](Phantom::Series &s) { s.sample = "a/b", s.energies = {7100.0}; },
        [](Phantom::Series &s) { s.sample = "i0", s.energies = {7100.0}; },
        [](Phantom::Series &s) { s.energies = {7100.0, 7100.0001}; }};
    for (const auto &fault : faults) {
        Phantom::Series s = series(tmp.filePath("never"), 64, 4, 12);
        QVERIFY(Phantom::checkSeries(s).isEmpty());
        fault(s);
        QVERIFY(!Phantom::checkSeries(s).isEmpty());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Invalid phantom series: "));
        QVERIFY(!Phantom::writeSeries(s));
        QVERIFY(!QDir(tmp.filePath("never")).exists());
    }
}

QTEST_GUILESS_MAIN(TestPhantom)
#include "tst_phantom.moc"
