// The phantom against numerical line integrals, its series writer, and the centre of rotation in
// its series and measured ones (thread, "Find CoR"); the measured tooth reconstructed end to end.

#include "BpCore.h"
#include "CorFinder.h"
#include "CorSearch.h"
#include "FieldValue.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "Phantom.h"
#include "ProcCtrl.h"
#include "Sinogram.h"
#include "SinogramGenerator.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <numeric>

namespace {

// A projection series with its I0 and BG images, as the file selectors link them.
struct Series
{
    ImgDatas imgs;
    ImgDatas::Reader i0, bg;

    bool load(const QStringList &projections, const QString &i0Name, const QString &bgName)
    {
        if (!std::all_of(projections.begin(), projections.end(), [this](const QString &name) { return imgs.add(name); }))
            return false;
        i0 = openImgData(i0Name), bg = openImgData(bgName);
        imgs.setI0Link(&i0), imgs.setBgLink(&bg);
        return i0 && bg;
    }
};

Phantom::Series settingsFor(const QString &folder, int width, int height, int projections)
{
    Phantom::Series s;
    s.width = width, s.height = height, s.projections = projections, s.folder = folder;
    return s;
}

// A phantom series (2 rows, half a turn) with the axis at (width - 1) / 2 + offset, loaded.
bool loadPhantom(Series &series, const QTemporaryDir &dir, int width, int projections, double offset, double photons)
{
    Phantom::Series settings = settingsFor(dir.path(), width, 2, projections);
    settings.corOffset = offset, settings.noisePhotons = photons;
    QStringList written;
    if (!Phantom::writeSeries(settings, &written))
        return false;
    const QString bg = written.takeFirst(), i0 = written.takeFirst();
    return series.load(written, i0, bg);
}

// The centre found in the sinogram of the slice, cut to detector positions from..to (to
// excluded, 0 for the whole row); NaN when none is found.
double findIn(const ImgDatas &imgs, int slice, int from = 0, int to = 0)
{
    CorFinder::Sinogram sinogram;
    if (!CorFinder::sinogramOf(*imgs.snapshot(), true, slice, sinogram))
        return std::nan("");
    if (to > 0) {
        // Only positions the sinogram holds: its row starts at firstPosition.
        const int first = std::max(from, int(sinogram.firstPosition));
        const int end = std::min(to, int(sinogram.firstPosition) + sinogram.w);
        CorFinder::Sinogram cut{{}, end - first, sinogram.h, double(first)};
        for (int j = 0; j < sinogram.h; ++j) {
            const auto row = sinogram.values.begin() + j * sinogram.w - int(sinogram.firstPosition);
            cut.values.insert(cut.values.end(), row + first, row + end);
        }
        sinogram = cut;
    }
    double cor = std::nan("");
    return CorFinder::find(sinogram, cor) ? cor : std::nan("");
}

// The tooth (180 projections of 640 x 2) reconstructed around 295.5: a mostly positive
// sinogram and a finite slice with the tooth, a minority of the circle, far above the air.
void checkToothSlice(const ImgDatas &imgs)
{
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(*imgs.snapshot(), &record, true, 295.5, 0) && record.w == 589 && record.h == 180);
    QVERIFY(std::accumulate(record.sgm, record.sgm + record.w * record.h, 0.0) / (record.w * record.h) > 0.05);
    BpCore core;
    core.setupCore(record.w, record.h);
    core.reconstructSlice(record.sgm, record.w, core.n(), 0, core.n(), 0, core.n());
    QVERIFY(std::all_of(core.image(), core.image() + core.n() * core.n(), [](double v) { return std::isfinite(v); }));
    std::vector<double> inside;
    for (int z = 0, c = core.n() / 2; z < core.n(); ++z)
        for (int x = 0; x < core.n(); ++x)
            if (std::hypot(x - c, z - c) < 0.9 * c)
                inside.push_back(core.imageAt(x, z) / (2.0 * record.h));
    std::sort(inside.begin(), inside.end());
    const double median = inside[inside.size() / 2], p99 = inside[inside.size() * 99 / 100], p10 = inside[inside.size() / 10];
    const double toothShare = double(inside.end() - std::lower_bound(inside.begin(), inside.end(), 0.003)) / double(inside.size());
    QVERIFY2(std::abs(median) <= 0.002 && p99 >= 0.005 && p99 - median >= 5.0 * std::abs(median - p10)
                 && toothShare >= 0.05 && toothShare <= 0.4,
             qPrintable(QString("p10 %1 median %2 p99 %3 share %4").arg(p10).arg(median).arg(p99).arg(toothShare)));
}

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

} // namespace

class TestPhantom : public QObject
{
    Q_OBJECT
private slots:
    void lineIntegralMatchesAttenuationAlongTheRay();
    void noiseAndSettings();
    void seriesHoldsTheLineIntegrals();
    void corOfPhantomSeries_data();
    void corOfPhantomSeries();
    void corRefusesBadSinograms();
    void corOfRealSeries();
    void searchOnThreadAndPanel();
};

// attenuationAt integrated along rays equals the analytic chords (one geometry: rotations, signs,
// row heights); a sphere of radius 20 cut 12 from its centre, 10 off the ray: 2 sqrt(20^2 - 12^2 - 10^2).
void TestPhantom::lineIntegralMatchesAttenuationAlongTheRay()
{
    const Phantom phantom = Phantom::sheppLogan(128, 8);
    const Phantom::Ellipsoid sphere{3.0, 0.0, 0.0, 20.0, 20.0, 20.0, 0.0, 0.05};
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

// The same seed writes the same bytes, another seed other bytes; the noise is Poisson in photons
// (1000 at the 30000-count peak: each count is photons times 30). Bad settings write nothing.
void TestPhantom::noiseAndSettings()
{
    QTemporaryDir tmp;
    for (const QString name : {"a", "b", "c", "clean"}) {
        Phantom::Series s = settingsFor(tmp.filePath(name), 64, 4, 2);
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
    const std::function<void(Phantom::Series &)> faults[] = {
        [](Phantom::Series &s) { s.width = 4; }, [](Phantom::Series &s) { s.corOffset = -31; }, // axis at the first pixel
        [](Phantom::Series &s) { s.sample = "a/b", s.energies = {7100.0}; },
        [](Phantom::Series &s) { s.sample = "i0", s.energies = {7100.0}; },
        [](Phantom::Series &s) { s.energies = {7100.0, 7100.0001}; }};
    for (const auto &fault : faults) {
        Phantom::Series s = settingsFor(tmp.filePath("never"), 64, 4, 12);
        QVERIFY(Phantom::checkSeries(s).isEmpty());
        fault(s);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Invalid phantom series: "));
        QVERIFY(!Phantom::checkSeries(s).isEmpty() && !Phantom::writeSeries(s) && !QDir(tmp.filePath("never")).exists());
    }
}

// Each data set normalised with its own I0 holds the sample's line integrals at its energy
// (count rounding aside), axis at (W - 1) / 2 + offset, projection j at j pi / M; above the
// edge the absorber (right ventricle) adds attenuation, the left half stays unchanged.
void TestPhantom::seriesHoldsTheLineIntegrals()
{
    QTemporaryDir tmp;
    Phantom::Series s = settingsFor(tmp.path(), 96, 2, 4);
    s.energies = {7100.0, 7112.5, 7130.0};
    s.corOffset = 0.3;
    QStringList written;
    QVERIFY(Phantom::writeSeries(s, &written) && written.size() == 3 * 4 + 3 + 1);
    const QDir dir(tmp.path());
    for (const QString name : {"phantom-7112_5eV-00000.img", "phantom-7112_5eV-00003.img", "i0-7112_5eV-00000.img"})
        QVERIFY2(dir.exists(name), qPrintable(name));
    QCOMPARE(Phantom::seriesEdgeEnergy(s), 7112.0);
    Phantom phantom = Phantom::sheppLogan(96, 2);
    const std::vector<double> dark = imageLine(dir.filePath("bg.img"), 1);
    std::vector<double> attenuation[2][4];
    for (int e = 0; e < 2; ++e) {
        phantom.setEnergy(e ? 7130.0 : 7100.0);
        const std::vector<double> flat = imageLine(dir.filePath(QString("i0-%1eV-00000.img").arg(e ? 7130 : 7100)), 1);
        for (int j = 0; j < 4; ++j) {
            const std::vector<double> counts = imageLine(dir.filePath(QString("phantom-%1eV-0000%2.img").arg(e ? 7130 : 7100).arg(j)), 1);
            QVERIFY(flat.size() == 96 && counts.size() == 96 && dark.size() == 96);
            for (size_t x = 0; x < 96; ++x) {
                attenuation[e][j].push_back(std::log((flat[x] - dark[x]) / (counts[x] - dark[x])));
                QVERIFY2(std::abs(attenuation[e][j][x] - phantom.lineIntegral(1, x - 47.8, j * 3.141592653589793 / 4)) <= 2e-3,
                         qPrintable(QString("%1 eV, projection %2, x %3").arg(e ? 7130 : 7100).arg(j).arg(x)));
            }
        }
    }
    double largestChange = 0.0;
    for (size_t x = 0; x < 96; ++x) {
        largestChange = std::max(largestChange, attenuation[1][0][x] - attenuation[0][0][x]);
        QVERIFY(x >= 40 || std::abs(attenuation[1][0][x] - attenuation[0][0][x]) <= 1e-3);
    }
    QVERIFY(largestChange > 0.2);
}

// Axis off the detector centre by non-half-integer amounts, with and without photon noise: found
// within the tolerance (on the larger detectors close enough that a wedge slope off by a factor
// of 5 either way fails), or, with the axis outside the central half or the object reaching far
// beyond the field near its edge, not found (NaN tolerance) with the reason on the log.
void TestPhantom::corOfPhantomSeries_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("projections");
    QTest::addColumn<double>("axis");
    QTest::addColumn<double>("photons");
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<QString>("reason");
    const double notFound = std::nan("");
    for (const auto &[axis, photons] : {std::pair{128.3, 0.0}, {124.2, 0.0}, {128.3, 3000.0}, {124.2, 3000.0}, {145.1, 3000.0}})
        QTest::addRow("256 wide, axis %g, %g photons", axis, photons) << 256 << 180 << axis << photons << 0.25 << "";
    QTest::newRow("256 wide, 30 projections") << 256 << 30 << 128.3 << 0.0 << 0.25 << "";
    QTest::newRow("512 wide") << 512 << 360 << 252.2 << 0.0 << 0.05 << "";
    QTest::newRow("1024 wide, noisy") << 1024 << 720 << 529.1 << 10000.0 << 0.05 << "";
    QTest::newRow("left of the central half") << 256 << 180 << 40.3 << 3000.0 << notFound << "at the edge of the searched range";
    QTest::newRow("far left on a wider detector") << 512 << 360 << 40.3 << 3000.0 << notFound << "not clearly below its neighbours";
    QTest::newRow("object far beyond the field") << 256 << 180 << 190.0 << 3000.0 << notFound << "not clearly below its neighbours";
}

void TestPhantom::corOfPhantomSeries()
{
    QFETCH(int, width);
    QFETCH(int, projections);
    QFETCH(double, axis);
    QFETCH(double, photons);
    QFETCH(double, tolerance);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    Series loaded;
    QVERIFY(loadPhantom(loaded, dir, width, projections, axis - (width - 1) * 0.5, photons));
    for (int slice : {0, 1}) {
        if (!reason.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Centre of rotation not found: .*" + reason));
        const double cor = findIn(loaded.imgs, slice);
        QVERIFY2(std::isnan(tolerance) ? std::isnan(cor) : std::abs(cor - axis) <= tolerance, qPrintable(QString::number(cor, 'f', 4)));
    }
}

// Sinograms too small or not finite are refused, the centre left as it was.
void TestPhantom::corRefusesBadSinograms()
{
    const QString tooSmall = "^Sinogram too small to find the centre of rotation";
    const struct { int w, h, valueCount; double value; QString message; } cases[] = {
        {7, 10, 70, 1.0, tooSmall}, {64, 3, 192, 1.0, tooSmall}, {64, 10, 639, 1.0, tooSmall}, // values missing
        {8, 4, 32, std::nan(""), "not finite"}, {8, 4, 32, HUGE_VAL, "not finite"}};
    for (const auto &c : cases) {
        CorFinder::Sinogram sinogram;
        sinogram.w = c.w, sinogram.h = c.h;
        sinogram.values.assign(size_t(c.valueCount), 0.5);
        sinogram.values.back() = c.value;
        double cor = 7.0;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(c.message));
        QVERIFY(!CorFinder::find(sinogram, cor) && cor == 7.0);
    }
}

// Measured series, whole or cut to detector positions from..to; the savu centre is known only
// roughly (90 projections over half a turn). Cut so that the axis lies beyond the central half,
// the tooth's metric has a second minimum almost as low, or one not clearly below its
// neighbours: not found (NaN tolerance).
void TestPhantom::corOfRealSeries()
{
    const double notFound = std::nan("");
    const struct { const char *folder, *projection, *i0, *bg; int projections, slice, from, to; double expected, tolerance; QString reason; } series[] = {
        {"tooth", "tooth_%1.img", "i0.img", "bg.img", 180, 0, 0, 0, 295.5, 1.0, ""},
        {"tooth", "tooth_%1.img", "i0.img", "bg.img", 180, 1, 0, 0, 295.5, 1.0, ""},
        {"tooth", "tooth_%1.img", "i0.img", "bg.img", 180, 0, 100, 500, 295.5, 0.05, ""}, // wider than the field
        {"tooth", "tooth_%1.img", "i0.img", "bg.img", 180, 0, 0, 380, 295.5, notFound, "second minimum"},
        {"tooth", "tooth_%1.img", "i0.img", "bg.img", 180, 0, 0, 360, 295.5, notFound, "not clearly below its neighbours"},
        {"savu", "tiffs/raw_00%1.tiff", "flat_00001.tiff", "dark_00001.tiff", 90, 67, 0, 0, 85.5, 1.5, ""}};
    const QString root = qEnvironmentVariable("ZORVEL_REAL_DATA");
    for (const auto &s : series) {
        const QDir dir(QDir(root).filePath(s.folder));
        if (root.isEmpty() || !dir.exists(s.i0))
            QSKIP("the measured series is not there");
        QStringList names;
        for (int j = 0; j < s.projections; ++j)
            names << dir.filePath(QString(s.projection).arg(j, 3, 10, QChar('0')));
        Series loaded;
        QVERIFY(loaded.load(names, dir.filePath(s.i0), dir.filePath(s.bg)));
        if (!s.reason.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Centre of rotation not found: .*" + s.reason));
        const double cor = findIn(loaded.imgs, s.slice, s.from, s.to);
        QVERIFY2(std::isnan(s.tolerance) ? std::isnan(cor) : std::abs(cor - s.expected) <= s.tolerance,
                 qPrintable(QString("%1 slice %2 from %3 to %4: %5").arg(s.folder).arg(s.slice).arg(s.from).arg(s.to).arg(cor)));
        if (s.slice == 0 && s.to == 0)
            checkToothSlice(loaded.imgs);
    }
}

// "Find CoR" applies the estimate as a typed centre (6 digits, corUpdated() once, sinogram rebuilt,
// one debug line), and nothing when none is found; refusals answer at once. The search answers
// on the caller's thread, one at a time, from its own copy of the sinogram; its destructor waits
// for a running search.
void TestPhantom::searchOnThreadAndPanel()
{
    QTemporaryDir dir;
    Series series;
    QVERIFY(loadPhantom(series, dir, 128, 90, -3.3, 0.0));
    const double direct = findIn(series.imgs, 0);
    const QString shown = realFieldText(direct);
    ProcCtrl ctrl;
    Sinogram panel;
    QSignalSpy doneSpy(&panel, &Sinogram::corSearchFinished);
    QVERIFY(!panel.findCor()); // no controls
    panel.setProcCtrl(&ctrl);
    QVERIFY(!panel.findCor()); // no images
    ImgDatas empty;
    panel.setImgDatas(&empty);
    QTest::ignoreMessage(QtDebugMsg, "No projections to find the centre of rotation in");
    QVERIFY(!panel.findCor() && doneSpy.count() == 3);
    ctrl.RotAxV->click();
    ctrl.setCor(63.5);
    ctrl.setSliceNo(0);
    ctrl.AutoUpdate->setChecked(true);
    panel.setImgDatas(&series.imgs);
    connect(&ctrl, &ProcCtrl::corUpdated, &panel, &Sinogram::corUpdated);
    QSignalSpy corSpy(&ctrl, &ProcCtrl::corUpdated);
    QTest::ignoreMessage(QtDebugMsg, "Centre of rotation search already running");
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Centre of rotation found " + shown));
    panel.FindCor->click();
    QVERIFY(!panel.FindCor->isEnabled() && !panel.findCor() && doneSpy.count() == 4);
    QVERIFY(doneSpy.wait(5000));
    for (int i = 0; i < doneSpy.count(); ++i)
        QCOMPARE(doneSpy.at(i).at(0).toBool(), i == 4);
    QVERIFY(panel.FindCor->isEnabled() && corSpy.count() == 1 && ctrl.cor == realFieldValue(shown));
    QVERIFY(ctrl.Cor->text() == shown && panel.Cor->text() == shown);
    QCOMPARE(panel.sinogram()->w, 2 * int(std::floor(ctrl.cor)) - 1);
    // With the axis outside the central half nothing is applied: the centre stays as it was.
    QTemporaryDir outsideDir;
    Series outside;
    QVERIFY(loadPhantom(outside, outsideDir, 128, 90, 20.3 - 63.5, 0.0));
    panel.setImgDatas(&outside.imgs);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Centre of rotation not found: "));
    panel.FindCor->click();
    QVERIFY(doneSpy.wait(5000) && !doneSpy.last().at(0).toBool() && panel.FindCor->isEnabled());
    QVERIFY(corSpy.count() == 1 && ctrl.cor == realFieldValue(shown) && panel.Cor->text() == shown);

    auto running = std::make_unique<CorSearch>();
    QVERIFY(running->start(*series.imgs.snapshot(), true, 0));
    running.reset();
    CorSearch search;
    QSignalSpy spy(&search, &CorSearch::finished);
    QTest::ignoreMessage(QtDebugMsg, "Slice out of range : 2");
    QVERIFY(!search.start(*series.imgs.snapshot(), true, 2) && !search.isBusy() && search.start(*series.imgs.snapshot(), true, 0) && search.isBusy());
    QTest::ignoreMessage(QtDebugMsg, "Centre of rotation search already running");
    QVERIFY(!search.start(*series.imgs.snapshot(), true, 0));
    series.imgs.clear();
    QVERIFY(spy.wait(5000) && !search.isBusy() && spy.count() == 1 && spy.at(0).at(0).toBool() && spy.at(0).at(1).toDouble() == direct);
}

QTEST_MAIN(TestPhantom)
#include "tst_phantom.moc"
