#include "Phantom.h"

#include "BpCore.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDataITEX.h"
#include "ImgDatas.h"
#include "SinogramGenerator.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> imageLine(const ImgData &image, int row)
{
    std::vector<double> values(size_t(image.imageWidth()));
    image.line(row, values.data());
    return values;
}

// -ln((I - BG) / (I0 - BG)) of one detector row, as the sinogram normalises it.
std::vector<double> measuredAttenuation(const ImgData &projection, const ImgData &i0, const ImgData &bg, int row)
{
    const std::vector<double> counts = imageLine(projection, row);
    const std::vector<double> flat = imageLine(i0, row);
    const std::vector<double> dark = imageLine(bg, row);
    std::vector<double> p(counts.size());
    for (size_t x = 0; x < p.size(); ++x)
        p[x] = std::log((flat[x] - dark[x]) / (counts[x] - dark[x]));
    return p;
}

// Filtered back-projection of one slice of a written series around cor, compared with the
// true slice, shifted to the reconstruction's centre and flipped upside down when asked:
// the correlation over the reconstructed circle.
double reconstructionCorrelation(const QString &folder, int projections, double cor, bool flipped)
{
    const QDir dir(folder);
    ImgDatas imgs;
    for (int j = 0; j < projections; ++j)
        if (!imgs.add(dir.filePath(QString("phantom_%1.img").arg(j, 5, 10, QLatin1Char('0')))))
            return std::nan("");
    const std::unique_ptr<ImgData> i0 = openImgData(dir.filePath("i0.img"));
    const std::unique_ptr<ImgData> bg = openImgData(dir.filePath("bg.img"));
    if (!i0 || !bg)
        return std::nan("");
    ImgData *i0Slot = i0.get(), *bgSlot = bg.get();
    imgs.setI0Link(&i0Slot);
    imgs.setBgLink(&bgSlot);
    HSgm record;
    if (!SinogramGenerator::genSinogram0(imgs, &record, true, cor, 0))
        return std::nan("");
    BpCore core;
    const int n = (record.w / 2) * 2;
    core.setupCore(n, record.h);
    core.reconstructSlice(record.sgm, record.w, n, 0, n, 0, n);

    const Phantom phantom = Phantom::sheppLogan(imgs.imageWidth(), 1);
    const double c = n * 0.5;
    double sr = 0, st = 0, srr = 0, stt = 0, srt = 0;
    int count = 0;
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            if (std::hypot(x - c, z - c) >= c - 1.0)
                continue;
            const double r = core.imageAt(x, z);
            const double t = phantom.attenuationAt(0, x - c, flipped ? c - z : z - c);
            sr += r;
            st += t;
            srr += r * r;
            stt += t * t;
            srt += r * t;
            ++count;
        }
    const double covariance = srt / count - sr / count * st / count;
    return covariance / std::sqrt((srr / count - sr * sr / count / count) * (stt / count - st * st / count / count));
}

QByteArray fileBytes(const QString &fileName)
{
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Phantom::Series smallSeries(const QString &folder)
{
    Phantom::Series s;
    s.width = 64;
    s.height = 4;
    s.projections = 12;
    s.folder = folder;
    return s;
}

} // namespace

class TestPhantom : public QObject
{
    Q_OBJECT

private slots:
    void lineIntegralMatchesAttenuationAlongTheRay_data();
    void lineIntegralMatchesAttenuationAlongTheRay();
    void noiseIsReproducibleBySeed();
    void energySeriesWritesNamedDataSets();
    void reconstructionShowsTheSliceUpright();
    void rejectsBadSettings_data();
    void rejectsBadSettings();
};

void TestPhantom::lineIntegralMatchesAttenuationAlongTheRay_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<double>("u");
    QTest::addColumn<double>("theta");
    QTest::newRow("through the ventricles") << 3 << 11.0 << 0.3;
    QTest::newRow("tilted ventricle") << 0 << -14.5 << 1.1;
    QTest::newRow("small spots") << 7 << 4.0 << 1.5707963;
}

// Integrates attenuationAt numerically along the ray: checks that the analytic chords and the
// true slice share one geometry (rotations, signs and the height of the row).
void TestPhantom::lineIntegralMatchesAttenuationAlongTheRay()
{
    QFETCH(int, row);
    QFETCH(double, u);
    QFETCH(double, theta);
    const Phantom phantom = Phantom::sheppLogan(128, 8);
    const double step = 0.002, reach = phantom.reach() + 1.0;
    double sum = 0.0;
    for (double s = -reach + 0.5 * step; s < reach; s += step) {
        const double x = u * std::cos(theta) + s * std::sin(theta);
        const double z = -u * std::sin(theta) + s * std::cos(theta);
        sum += phantom.attenuationAt(row, x, z) * step;
    }
    const double analytic = phantom.lineIntegral(row, u, theta);
    QVERIFY(analytic > 0.05);
    // Absolute geometry: a sphere of radius 20 about row 20 of 41 (centre x = 3), cut at row 8
    // (12 from its centre) by the ray 10 off its centre, has a chord of 2 sqrt(20^2 - 12^2 - 10^2).
    Phantom::Ellipsoid sphere;
    sphere.cx = 3.0;
    sphere.a = sphere.b = sphere.c = 20.0;
    sphere.mu = 0.05;
    const double chord = 2.0 * std::sqrt(400.0 - 144.0 - 100.0);
    QVERIFY(std::abs(Phantom(41, {sphere}).lineIntegral(8, 3.0 * std::cos(theta) + 10.0, theta) - 0.05 * chord) <= 1e-12);
    QVERIFY2(std::abs(sum - analytic) <= 2e-3, qPrintable(QString("%1 vs %2").arg(sum).arg(analytic)));
}

// The same seed writes the same bytes, another seed other bytes; the noise is Poisson in
// photons (1000 at the 30000-count peak, so each count is photons times 30).
void TestPhantom::noiseIsReproducibleBySeed()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    for (const QString name : {"a", "b", "c", "clean"}) {
        Phantom::Series s = smallSeries(tmp.filePath(name));
        s.projections = 2;
        s.noisePhotons = name == "clean" ? 0.0 : 1000.0;
        s.seed = name == "c" ? 8 : 7;
        QVERIFY(Phantom::writeSeries(s));
    }
    const QByteArray a = fileBytes(tmp.filePath("a/phantom_00001.img"));
    QVERIFY(fileBytes(tmp.filePath("b/phantom_00001.img")) == a && fileBytes(tmp.filePath("c/phantom_00001.img")) != a);
    const std::unique_ptr<ImgData> noisy = openImgData(tmp.filePath("a/i0.img"));
    const std::unique_ptr<ImgData> clean = openImgData(tmp.filePath("clean/i0.img"));
    QVERIFY(noisy && clean);
    double normalisedSquares = 0.0;
    for (int row = 0; row < 4; ++row) {
        const std::vector<double> n = imageLine(*noisy, row), c = imageLine(*clean, row);
        for (size_t x = 0; x < n.size(); ++x)
            normalisedSquares += (n[x] - c[x]) * (n[x] - c[x]) / (c[x] * 30.0);
    }
    const double variance = normalisedSquares / (4 * 64);
    QVERIFY2(variance > 0.75 && variance < 1.25, qPrintable(QString::number(variance)));
}

void TestPhantom::energySeriesWritesNamedDataSets()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    Phantom::Series series = smallSeries(tmp.path());
    series.width = 96;
    series.height = 2;
    series.projections = 4;
    series.energies = {7100.0, 7112.5, 7130.0};
    QStringList written;
    QVERIFY(Phantom::writeSeries(series, &written));
    QCOMPARE(written.size(), 3 * 4 + 3 + 1);
    const QDir dir(tmp.path());
    for (const QString name : {"phantom-7112_5eV-00000.img", "phantom-7112_5eV-00003.img", "phantom-7100eV-00002.img",
                               "phantom-7130eV-00001.img", "i0-7100eV-00000.img", "i0-7112_5eV-00000.img",
                               "i0-7130eV-00000.img", "bg.img"})
        QVERIFY2(dir.exists(name), qPrintable(name));
    QCOMPARE(Phantom::seriesEdgeEnergy(series), 7112.0);

    // Each data set normalised with its own I0: above the edge the absorber (right
    // ventricle) adds attenuation, the left half is unchanged within the count rounding.
    const std::unique_ptr<ImgData> bg = openImgData(dir.filePath("bg.img"));
    QVERIFY(bg);
    std::vector<std::vector<double>> rows;
    for (const QString text : {"7100eV", "7130eV"}) {
        const std::unique_ptr<ImgData> i0 = openImgData(dir.filePath(QString("i0-%1-00000.img").arg(text)));
        const std::unique_ptr<ImgData> projection = openImgData(dir.filePath(QString("phantom-%1-00000.img").arg(text)));
        QVERIFY(i0 && projection);
        rows.push_back(measuredAttenuation(*projection, *i0, *bg, 1));
    }
    double largestChange = 0.0;
    for (int x = 0; x < 96; ++x) {
        largestChange = std::max(largestChange, rows[1][size_t(x)] - rows[0][size_t(x)]);
        if (x < 40)
            QVERIFY(std::abs(rows[1][size_t(x)] - rows[0][size_t(x)]) <= 1e-3);
    }
    QVERIFY(largestChange > 0.2);
}

// The series reconstructed with the cor it was written for shows the true slice; the same
// data upside down, or reconstructed one pixel off the axis (doubled edges), match far worse.
void TestPhantom::reconstructionShowsTheSliceUpright()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    Phantom::Series series = smallSeries(tmp.path());
    series.width = 128;
    series.height = 1;
    series.projections = 180;
    series.corOffset = 0.3;
    QVERIFY(Phantom::writeSeries(series));
    const double cor = 63.5 + 0.3;
    const double matched = reconstructionCorrelation(tmp.path(), 180, cor, false);
    const double flipped = reconstructionCorrelation(tmp.path(), 180, cor, true);
    const double offAxis = reconstructionCorrelation(tmp.path(), 180, cor + 1.0, false);
    qDebug() << "correlation with the true slice:" << matched << "flipped:" << flipped << "cor + 1:" << offAxis;
    QVERIFY(matched >= 0.9);
    QVERIFY(flipped <= matched - 0.1);
    QVERIFY(offAxis <= matched - 0.05);
}

void TestPhantom::rejectsBadSettings_data()
{
    QTest::addColumn<QString>("setting");
    QTest::newRow("narrow") << "width 4";
    QTest::newRow("axis at the first pixel") << "cor -31";
    QTest::newRow("sample with path") << "sample a/b";
    QTest::newRow("sample named i0") << "sample i0";
    QTest::newRow("same energy twice") << "energies 7100 7100.0001";
}

void TestPhantom::rejectsBadSettings()
{
    QFETCH(QString, setting);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    Phantom::Series s = smallSeries(tmp.filePath("never"));
    QVERIFY(Phantom::checkSeries(s).isEmpty());
    const QStringList words = setting.split(' ');
    const QString key = words.first();
    if (key == "width") s.width = words[1].toInt();
    if (key == "cor") s.corOffset = words[1].toDouble();
    if (key == "sample") { s.sample = words[1]; s.energies = {7100.0}; }
    if (key == "energies")
        for (const QString &e : words.mid(1))
            s.energies.push_back(e.toDouble());
    QVERIFY(!Phantom::checkSeries(s).isEmpty());
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Invalid phantom series: "));
    QVERIFY(!Phantom::writeSeries(s));
    QVERIFY(!QDir(tmp.filePath("never")).exists());
}

QTEST_GUILESS_MAIN(TestPhantom)
#include "tst_phantom.moc"
