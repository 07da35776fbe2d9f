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

Phantom disc(double radius, double mu, int height = 1, double verticalRadius = 1e9)
{
    Phantom::Ellipsoid e;
    e.a = e.b = radius;
    e.c = verticalRadius;
    e.mu = mu;
    return Phantom(height, {e});
}

std::unique_ptr<ImgData> openImage(const QString &fileName)
{
    std::unique_ptr<ImgData> reader(newImgData(fileType(fileName)));
    if (reader) {
        reader->setFileName(fileName);
        if (!reader->open())
            reader.reset();
    }
    return reader;
}

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

double centreOfMass(const std::vector<double> &values)
{
    double sum = 0.0, moment = 0.0;
    for (size_t x = 0; x < values.size(); ++x) {
        sum += values[x];
        moment += values[x] * double(x);
    }
    return moment / sum;
}

// Centroid (x, z) of the mid-height slice, from the ellipses' areas and centres (absorber on).
void sliceCentroid(const Phantom &phantom, double &xc, double &zc)
{
    double mass = 0.0, xMoment = 0.0, zMoment = 0.0;
    for (const Phantom::Ellipsoid &e : phantom.ellipsoids()) {
        const double m = (e.mu + e.absorber) * kPi * e.a * e.b;
        mass += m;
        xMoment += m * e.cx;
        zMoment += m * e.cz;
    }
    xc = xMoment / mass;
    zc = zMoment / mass;
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
    const std::unique_ptr<ImgData> i0 = openImage(dir.filePath("i0.img"));
    const std::unique_ptr<ImgData> bg = openImage(dir.filePath("bg.img"));
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
    core.resizeImage(n);
    for (int j = 0; j < record.h; ++j)
        core.transformRow(record.sgm + size_t(j) * size_t(record.w), j);
    for (int j = 0; j < record.h; ++j)
        core.filterRow(j, n);
    core.backProjectAll(0, n, 0, n);

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
    void discLineIntegralIsChordTimesAttenuation_data();
    void discLineIntegralIsChordTimesAttenuation();
    void offAxisDiscProjectsLikeTheBackProjection_data();
    void offAxisDiscProjectsLikeTheBackProjection();
    void lineIntegralMatchesAttenuationAlongTheRay_data();
    void lineIntegralMatchesAttenuationAlongTheRay();
    void sheppLoganHalfTurnMirrors_data();
    void sheppLoganHalfTurnMirrors();
    void sheppLoganAttenuationStaysBelowNoiseFloor();
    void sheppLoganStandsUpright();
    void absorberChangesAcrossItsEdge();
    void energyText_data();
    void energyText();

    void writtenSeriesReadsBack();
    void noiseIsReproducibleBySeed();
    void energySeriesWritesNamedDataSets();
    void projectionCentroidFollowsSliceCentroid();
    void corOffsetShiftsTheProjections_data();
    void corOffsetShiftsTheProjections();
    void reconstructionShowsTheSliceUpright();
    void rejectsBadSettings_data();
    void rejectsBadSettings();
    void unwritableFolderFails();
};

void TestPhantom::discLineIntegralIsChordTimesAttenuation_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<double>("u");
    QTest::addColumn<double>("theta");
    QTest::addColumn<double>("expected");
    // Sphere of radius 20, mu 0.05, centred on row 20 of 41: slice radius sqrt(400 - v^2).
    const double mu = 0.05;
    QTest::newRow("centre") << 20 << 0.0 << 0.0 << 2.0 * 20.0 * mu;
    QTest::newRow("u 12, oblique") << 20 << 12.0 << 0.7 << 2.0 * 16.0 * mu;
    QTest::newRow("near rim, negative u") << 20 << -19.5 << 2.5 << 2.0 * std::sqrt(400.0 - 19.5 * 19.5) * mu;
    QTest::newRow("just outside") << 20 << 20.5 << 1.0 << 0.0;
    QTest::newRow("far outside") << 20 << -30.0 << 3.0 << 0.0;
    QTest::newRow("row 12 above centre") << 32 << 0.0 << 1.3 << 2.0 * 16.0 * mu;
    QTest::newRow("row 12 above centre, u 10")
        << 8 << 10.0 << 0.2 << 2.0 * std::sqrt(256.0 - 100.0) * mu;
    QTest::newRow("row beyond the sphere") << 40 << 0.0 << 0.0 << 2.0 * std::sqrt(400.0 - 400.0) * mu;
}

void TestPhantom::discLineIntegralIsChordTimesAttenuation()
{
    QFETCH(int, row);
    QFETCH(double, u);
    QFETCH(double, theta);
    QFETCH(double, expected);
    const Phantom sphere = disc(20.0, 0.05, 41, 20.0);
    QVERIFY(std::abs(sphere.lineIntegral(row, u, theta) - expected) <= 1e-12);
}

void TestPhantom::offAxisDiscProjectsLikeTheBackProjection_data()
{
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("z0");
    QTest::addColumn<double>("theta");
    QTest::newRow("right of axis, 0 deg") << 10.0 << 0.0 << 0.0;
    QTest::newRow("right of axis, 90 deg") << 10.0 << 0.0 << kPi / 2;
    QTest::newRow("below axis, 90 deg") << 0.0 << 10.0 << kPi / 2;
    QTest::newRow("below axis, 45 deg") << 0.0 << 10.0 << kPi / 4;
    QTest::newRow("left and below, 115 deg") << -7.0 << 5.0 << 2.0;
}

// The back-projection reads a slice point (x, z) at u = x cos(theta) - z sin(theta): a small
// disc there must project exactly to that u.
void TestPhantom::offAxisDiscProjectsLikeTheBackProjection()
{
    QFETCH(double, x0);
    QFETCH(double, z0);
    QFETCH(double, theta);
    Phantom::Ellipsoid e;
    e.cx = x0;
    e.cz = z0;
    e.a = e.b = 3.0;
    e.c = 100.0;
    e.mu = 0.1;
    const Phantom phantom(1, {e});
    const double u = x0 * std::cos(theta) - z0 * std::sin(theta);
    QVERIFY(std::abs(phantom.lineIntegral(0, u, theta) - 0.6) <= 1e-12);
    QVERIFY(std::abs(phantom.lineIntegral(0, u + 2.0, theta) - 0.2 * std::sqrt(5.0)) <= 1e-12);
    QCOMPARE(phantom.lineIntegral(0, u + 3.1, theta), 0.0);
    QCOMPARE(phantom.lineIntegral(0, u - 3.1, theta), 0.0);
    QCOMPARE(phantom.attenuationAt(0, x0 + 2.9, z0), 0.1);
    QCOMPARE(phantom.attenuationAt(0, x0, z0 - 3.1), 0.0);
}

void TestPhantom::lineIntegralMatchesAttenuationAlongTheRay_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<double>("u");
    QTest::addColumn<double>("theta");
    QTest::newRow("centre row, 0 deg") << 3 << 0.0 << 0.0;
    QTest::newRow("through the ventricles") << 3 << 11.0 << 0.3;
    QTest::newRow("tilted ventricle") << 0 << -14.5 << 1.1;
    QTest::newRow("small spots") << 7 << 4.0 << 1.5707963;
    QTest::newRow("skull rim") << 4 << 37.0 << 0.1;
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
    QVERIFY2(std::abs(sum - analytic) <= 2e-3, qPrintable(QString("%1 vs %2").arg(sum).arg(analytic)));
}

void TestPhantom::sheppLoganHalfTurnMirrors_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<double>("u");
    QTest::addColumn<double>("theta");
    QTest::newRow("0 deg") << 2 << 17.25 << 0.0;
    QTest::newRow("30 deg") << 5 << -40.0 << kPi / 6;
    QTest::newRow("100 deg") << 0 << 3.5 << 1.745;
    QTest::newRow("179 deg") << 7 << -60.0 << 3.124;
}

void TestPhantom::sheppLoganHalfTurnMirrors()
{
    QFETCH(int, row);
    QFETCH(double, u);
    QFETCH(double, theta);
    const Phantom phantom = Phantom::sheppLogan(256, 8);
    const double p = phantom.lineIntegral(row, u, theta);
    QVERIFY(p > 0.0);
    QVERIFY(std::abs(phantom.lineIntegral(row, -u, theta + kPi) - p) <= 1e-12);
    QVERIFY(std::abs(p - phantom.lineIntegral(row, u, theta + 0.05)) > 1e-6);
}

void TestPhantom::sheppLoganAttenuationStaysBelowNoiseFloor()
{
    const Phantom phantom = Phantom::sheppLogan(200, 4);
    QVERIFY(std::abs(phantom.reach() - 0.8 * 99.5) <= 1e-9);
    double largest = 0.0, smallest = 1e9;
    for (int row = 0; row < 4; ++row)
        for (int it = 0; it < 60; ++it)
            for (double u = -100.0; u <= 100.0; u += 0.5) {
                const double p = phantom.lineIntegral(row, u, it * kPi / 60.0);
                largest = std::max(largest, p);
                smallest = std::min(smallest, p);
            }
    QVERIFY(largest >= 1.8);
    QVERIFY(largest <= 2.5);
    QVERIFY(smallest >= 0.0);
    QCOMPARE(phantom.lineIntegral(0, 80.0, 0.4), 0.0);
}

// The head stands upright in a slice shown with z downwards: the large bright spot on top,
// the three small spots at the bottom, the right ventricle's top leaning outwards.
void TestPhantom::sheppLoganStandsUpright()
{
    const double unit = 0.8 * 127.5 / 0.92;
    const Phantom phantom = Phantom::sheppLogan(256, 1);
    const double brain = phantom.attenuationAt(0, 0.0, 0.2 * unit);
    QVERIFY(brain > 0.0);
    QVERIFY(phantom.attenuationAt(0, 0.0, -0.35 * unit) > 1.4 * brain);
    QCOMPARE(phantom.attenuationAt(0, 0.0, 0.35 * unit), brain);
    QVERIFY(phantom.attenuationAt(0, 0.0, 0.606 * unit) > 1.4 * brain);
    QCOMPARE(phantom.attenuationAt(0, 0.0, -0.606 * unit), brain);
    QVERIFY(phantom.attenuationAt(0, 0.297 * unit, -0.238 * unit) > 1.5 * brain); // absorber above its edge
    QCOMPARE(phantom.attenuationAt(0, 0.297 * unit, 0.238 * unit), brain);
}

void TestPhantom::absorberChangesAcrossItsEdge()
{
    Phantom phantom = Phantom::sheppLogan(256, 8);
    phantom.setEdgeEnergy(7112.0);
    QVERIFY(std::abs(phantom.absorberFraction(7050.0) - 0.15) <= 0.005);
    QVERIFY(std::abs(phantom.absorberFraction(7112.0) - 0.575) <= 1e-9);
    QVERIFY(phantom.absorberFraction(7130.0) > 0.95);
    QVERIFY(phantom.absorberFraction(8000.0) < phantom.absorberFraction(7130.0));
    // The right ventricle sits at x = 0.22 * unit, right of the axis.
    const double x = 0.22 * 0.8 * 127.5 / 0.92;
    phantom.setEnergy(7100.0);
    const double below = phantom.attenuationAt(4, x, 0.0);
    const double belowRay = phantom.lineIntegral(4, x, 0.0);
    phantom.setEnergy(7130.0);
    const double above = phantom.attenuationAt(4, x, 0.0);
    const double leftAbove = phantom.attenuationAt(4, -x, 0.0);
    QVERIFY(above - below > 0.003);
    QVERIFY(phantom.lineIntegral(4, x, 0.0) - belowRay > 0.2);
    // Away from the ventricle nothing changes.
    phantom.setEnergy(7100.0);
    QCOMPARE(phantom.attenuationAt(4, -x, 0.0), leftAbove);
}

void TestPhantom::energyText_data()
{
    QTest::addColumn<double>("eV");
    QTest::addColumn<QString>("text");
    QTest::newRow("half eV") << 7112.5 << "7112_5eV";
    QTest::newRow("whole eV") << 7100.0 << "7100eV";
    QTest::newRow("three decimals") << 12345.678 << "12345_678eV";
    QTest::newRow("rounded to meV") << 7100.0004 << "7100eV";
    QTest::newRow("below one") << 0.5 << "0_5eV";
}

void TestPhantom::energyText()
{
    QFETCH(double, eV);
    QFETCH(QString, text);
    QCOMPARE(Phantom::energyText(eV), text);
}

void TestPhantom::writtenSeriesReadsBack()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const Phantom::Series series = smallSeries(tmp.filePath("out/series"));
    QStringList written;
    QVERIFY(Phantom::writeSeries(series, &written));
    QCOMPARE(written.size(), 14);
    const QDir dir(series.folder);
    QStringList expected{"bg.img", "i0.img"};
    for (int j = 0; j < 12; ++j)
        expected << QString("phantom_%1.img").arg(j, 5, 10, QLatin1Char('0'));
    QCOMPARE(dir.entryList(QDir::Files, QDir::Name), expected);

    ImgDatas projections;
    for (int j = 0; j < 12; ++j)
        QVERIFY(projections.add(dir.filePath(expected.at(j + 2))));
    QCOMPARE(projections.count(), 12);
    QCOMPARE(projections.imageWidth(), 64);
    QCOMPARE(projections.imageHeight(), 4);
    const std::unique_ptr<ImgData> i0 = openImage(dir.filePath("i0.img"));
    const std::unique_ptr<ImgData> bg = openImage(dir.filePath("bg.img"));
    QVERIFY(i0 && bg);
    QCOMPARE(static_cast<ImgDataITEX *>(i0.get())->pixelBytes(), 2);

    double darkSum = 0.0, flatMax = 0.0;
    for (int row = 0; row < 4; ++row)
        for (double d : imageLine(*bg, row)) {
            QVERIFY(d >= 95.0 && d <= 105.0);
            darkSum += d;
        }
    QVERIFY(std::abs(darkSum / 256.0 - 100.0) <= 1.0);
    for (int row = 0; row < 4; ++row)
        for (double f : imageLine(*i0, row))
            flatMax = std::max(flatMax, f);
    QVERIFY(flatMax > 29500.0 && flatMax <= 30000.0);

    // Every count lies below its I0, and the normalised counts give back the line integrals.
    const Phantom phantom = Phantom::sheppLogan(64, 4);
    const double cor = 31.5;
    double largest = 0.0;
    for (int j = 0; j < 12; ++j)
        for (int row = 0; row < 4; ++row) {
            const std::vector<double> counts = imageLine(*projections.at(j), row);
            const std::vector<double> flat = imageLine(*i0, row);
            const std::vector<double> p = measuredAttenuation(*projections.at(j), *i0, *bg, row);
            for (int x = 0; x < 64; ++x) {
                QVERIFY(counts[size_t(x)] >= 0.0 && counts[size_t(x)] <= flat[size_t(x)]);
                const double truth = phantom.lineIntegral(row, x - cor, j * kPi / 12);
                QVERIFY2(std::abs(p[size_t(x)] - truth) <= 1e-3,
                         qPrintable(QString("j %1 row %2 x %3: %4 vs %5").arg(j).arg(row).arg(x)
                                        .arg(p[size_t(x)]).arg(truth)));
                largest = std::max(largest, truth);
            }
        }
    QVERIFY(largest > 1.5);
}

void TestPhantom::noiseIsReproducibleBySeed()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    auto series = [&](const QString &name, double photons, unsigned long long seed) {
        Phantom::Series s = smallSeries(tmp.filePath(name));
        s.height = 8;
        s.projections = 2;
        s.noisePhotons = photons;
        s.seed = seed;
        return s;
    };
    QVERIFY(Phantom::writeSeries(series("a", 1000.0, 7)));
    QVERIFY(Phantom::writeSeries(series("b", 1000.0, 7)));
    QVERIFY(Phantom::writeSeries(series("c", 1000.0, 8)));
    QVERIFY(Phantom::writeSeries(series("clean", 0.0, 7)));
    for (const QString name : {"bg.img", "i0.img", "phantom_00001.img"}) {
        const QByteArray a = fileBytes(tmp.filePath("a/" + name));
        QVERIFY(!a.isEmpty());
        QCOMPARE(fileBytes(tmp.filePath("b/" + name)), a);
        QVERIFY(fileBytes(tmp.filePath("c/" + name)) != a);
        QVERIFY(fileBytes(tmp.filePath("clean/" + name)) != a);
    }
    // 1000 photons at a 30000-count peak: each count is a Poisson number of photons times 30.
    const std::unique_ptr<ImgData> noisy = openImage(tmp.filePath("a/i0.img"));
    const std::unique_ptr<ImgData> clean = openImage(tmp.filePath("clean/i0.img"));
    QVERIFY(noisy && clean);
    double normalisedSquares = 0.0;
    int n = 0;
    for (int row = 0; row < 8; ++row) {
        const std::vector<double> a = imageLine(*noisy, row), b = imageLine(*clean, row);
        for (size_t x = 0; x < a.size(); ++x, ++n) {
            const double sigma = std::sqrt(b[x] * 30.0);
            normalisedSquares += (a[x] - b[x]) * (a[x] - b[x]) / (sigma * sigma);
        }
    }
    const double variance = normalisedSquares / n;
    QVERIFY2(variance > 0.8 && variance < 1.2, qPrintable(QString::number(variance)));
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

    // Each data set normalised with its own I0 gives the attenuation at its energy.
    Phantom phantom = Phantom::sheppLogan(96, 2);
    phantom.setEdgeEnergy(7112.0);
    const std::unique_ptr<ImgData> bg = openImage(dir.filePath("bg.img"));
    QVERIFY(bg);
    std::vector<std::vector<double>> rows;
    for (const QString text : {"7100eV", "7130eV"}) {
        const std::unique_ptr<ImgData> i0 = openImage(dir.filePath(QString("i0-%1-00000.img").arg(text)));
        const std::unique_ptr<ImgData> projection = openImage(dir.filePath(QString("phantom-%1-00000.img").arg(text)));
        QVERIFY(i0 && projection);
        rows.push_back(measuredAttenuation(*projection, *i0, *bg, 1));
        phantom.setEnergy(Phantom::energyText(7100.0) == text ? 7100.0 : 7130.0);
        for (int x = 0; x < 96; ++x)
            QVERIFY(std::abs(rows.back()[size_t(x)] - phantom.lineIntegral(1, x - 47.5, 0.0)) <= 1e-3);
    }
    double largestChange = 0.0;
    for (int x = 0; x < 96; ++x)
        largestChange = std::max(largestChange, rows[1][size_t(x)] - rows[0][size_t(x)]);
    QVERIFY(largestChange > 0.2);
    // The left half does not see the absorber: unchanged within the rounding of the counts.
    for (int x = 0; x < 40; ++x)
        QVERIFY(std::abs(rows[1][size_t(x)] - rows[0][size_t(x)]) <= 1e-3);
}

// Finely sampled, a projection's centre of mass lies at x_c cos(theta) - z_c sin(theta), where
// (x_c, z_c) is the centroid of the slice.
void TestPhantom::projectionCentroidFollowsSliceCentroid()
{
    const Phantom phantom = Phantom::sheppLogan(96, 1);
    double xc = 0.0, zc = 0.0;
    sliceCentroid(phantom, xc, zc);
    QVERIFY(std::abs(xc) > 0.05 && std::abs(zc) > 0.05); // the head is not symmetric
    for (int j = 0; j < 8; ++j) {
        const double theta = j * kPi / 8;
        std::vector<double> p;
        for (double u = -45.0; u <= 45.0; u += 0.01)
            p.push_back(phantom.lineIntegral(0, u, theta));
        const double centre = -45.0 + 0.01 * centreOfMass(p);
        const double expected = xc * std::cos(theta) - zc * std::sin(theta);
        QVERIFY2(std::abs(centre - expected) <= 0.002,
                 qPrintable(QString("j %1: %2 vs %3").arg(j).arg(centre).arg(expected)));
    }
}

void TestPhantom::corOffsetShiftsTheProjections_data()
{
    QTest::addColumn<double>("offset");
    QTest::newRow("centred") << 0.0;
    QTest::newRow("+0.3") << 0.3;
    QTest::newRow("-0.45") << -0.45;
    QTest::newRow("+2.75") << 2.75;
}

// Pixel x holds the line integral at u = x - cor: the centre of mass of every projection row
// is that of the phantom sampled at x - cor. (Against the continuous centroid the point samples
// of the sharp skull edges are off by up to ~0.15 pixel, too much to resolve a fraction.)
void TestPhantom::corOffsetShiftsTheProjections()
{
    QFETCH(double, offset);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    Phantom::Series series = smallSeries(tmp.path());
    series.width = 96;
    series.height = 1;
    series.projections = 4;
    series.corOffset = offset;
    QVERIFY(Phantom::writeSeries(series));
    const QDir dir(tmp.path());
    const std::unique_ptr<ImgData> i0 = openImage(dir.filePath("i0.img"));
    const std::unique_ptr<ImgData> bg = openImage(dir.filePath("bg.img"));
    QVERIFY(i0 && bg);

    const Phantom phantom = Phantom::sheppLogan(96, 1);
    const double cor = 47.5 + offset;
    for (int j = 0; j < 4; ++j) {
        const std::unique_ptr<ImgData> projection = openImage(dir.filePath(QString("phantom_0000%1.img").arg(j)));
        QVERIFY(projection);
        const double measured = centreOfMass(measuredAttenuation(*projection, *i0, *bg, 0));
        std::vector<double> sampled(96);
        for (int x = 0; x < 96; ++x)
            sampled[size_t(x)] = phantom.lineIntegral(0, x - cor, j * kPi / 4);
        const double expected = centreOfMass(sampled);
        QVERIFY2(std::abs(measured - expected) <= 0.002,
                 qPrintable(QString("j %1: %2 vs %3").arg(j).arg(measured).arg(expected)));
    }
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
    QTest::newRow("no rows") << "height 0";
    QTest::newRow("no projections") << "projections 0";
    QTest::newRow("axis off the detector") << "cor +40";
    QTest::newRow("axis at the first pixel") << "cor -31";
    QTest::newRow("i0 too bright") << "i0 65000";
    QTest::newRow("negative noise") << "noise -5";
    QTest::newRow("sample with path") << "sample a/b";
    QTest::newRow("sample named i0") << "sample i0";
    QTest::newRow("same energy twice") << "energies 7100 7100.0001";
    QTest::newRow("zero energy") << "energies 0";
    QTest::newRow("no folder") << "folder";
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
    if (key == "height") s.height = words[1].toInt();
    if (key == "projections") s.projections = words[1].toInt();
    if (key == "cor") s.corOffset = words[1].toDouble();
    if (key == "i0") s.i0Peak = words[1].toDouble();
    if (key == "noise") s.noisePhotons = words[1].toDouble();
    if (key == "sample") { s.sample = words[1]; s.energies = {7100.0}; }
    if (key == "energies")
        for (const QString &e : words.mid(1))
            s.energies.push_back(e.toDouble());
    if (key == "folder") s.folder.clear();
    QVERIFY(!Phantom::checkSeries(s).isEmpty());
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Invalid phantom series: "));
    QVERIFY(!Phantom::writeSeries(s));
    QVERIFY(!QDir(tmp.filePath("never")).exists());
}

void TestPhantom::unwritableFolderFails()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QFile blocker(tmp.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Phantom::Series s = smallSeries(tmp.filePath("file/series"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Can not create phantom folder \".*file/series\"$"));
    QStringList written;
    QVERIFY(!Phantom::writeSeries(s, &written));
    QVERIFY(written.isEmpty());
}

QTEST_GUILESS_MAIN(TestPhantom)
#include "tst_phantom.moc"
