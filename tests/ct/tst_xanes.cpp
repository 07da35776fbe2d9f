// The XANES core against independent oracles: Larch's pre_edge on the measured Fe scan and on
// a synthetic spectrum, the analytic two-phase model (E0, edge step, fractions), the
// optimality conditions of the non-negative fit, and known sub-pixel drifts.

#include "Phantom.h"
#include "ResultFiles.h"
#include "SequenceStack.h"
#include "XanesResults.h"
#include "SpectralStack.h"
#include "XanesAlign.h"
#include "XanesFit.h"
#include "XanesNormalize.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>

namespace {

const char *const kPython = "/usr/bin/python3";

// Reads the measured scan: energy from the encoder angle and the crystal spacing, mu as the
// fluorescence over I0 (the column the Mode line marks 1); energies that do not increase are
// dropped. Then pre_edge on it and on the synthetic spectrum, with E0 the first energy at or
// above the given one, for each post-edge degree, written as JSON. Exit status 3: no Larch.
const char *const kLarchOracle = R"(
import sys, json
try:
    import numpy as np
    from larch import Group
    from larch.xafs import pre_edge
except ImportError:
    sys.exit(3)
folder, scan = sys.argv[1], sys.argv[2]
if scan:
    lines = open(scan).read().splitlines()
    d = float(next(l for l in lines if 'D=' in l).split('D=')[1].split()[0])
    start = next(i for i, l in enumerate(lines) if l.split()[:1] == ['Offset']) + 1
    rows = np.array([[float(v) for v in l.split()] for l in lines[start:] if l.strip()])
    energy = 12398.424360387684 / (2.0 * d * np.sin(np.radians(rows[:, 1])))
    mu = rows[:, 4] / rows[:, 3]
    keep = np.concatenate([[True], np.diff(energy) > 0])
    np.savetxt(folder + '/measured.txt', np.column_stack([energy[keep], mu[keep]]), fmt='%.10g')
for name, near in (('measured', 7112.0), ('synthetic', 7122.0)):
    try:
        data = np.loadtxt(folder + '/' + name + '.txt')
    except OSError:
        continue
    e0 = data[np.searchsorted(data[:, 0], near), 0]
    for nnorm in (0, 1, 2):
        g = Group(energy=data[:, 0], mu=data[:, 1])
        pre_edge(g, e0=e0, pre1=-150, pre2=-30, norm1=50, norm2=data[-1, 0] - e0, nnorm=nnorm)
        json.dump({'edge_step': g.edge_step, 'e0': g.e0, 'pre': list(g.pre_edge), 'post': list(g.post_edge),
                   'norm': list(g.norm)}, open('%s/%s-%d.json' % (folder, name, nnorm), 'w'))
)";

// Runs the oracle once for every case; 3: Larch is missing.
int runOracle(const QString &folder, const QString &scan)
{
    QProcess python;
    python.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), QString::fromLatin1(kLarchOracle), folder, scan});
    if (!python.waitForFinished(300000))
        return -1;
    if (python.exitCode() != 0)
        qWarning() << python.readAllStandardError();
    return python.exitStatus() == QProcess::NormalExit ? python.exitCode() : -1;
}

std::vector<double> doubles(const QJsonValue &array)
{
    std::vector<double> out;
    for (const QJsonValue &v : array.toArray())
        out.push_back(v.toDouble());
    return out;
}

// A noisy synthetic spectrum of phase 0 on a sloping background, written as text.
void writeSyntheticSpectrum(const QString &fileName)
{
    std::mt19937_64 random(7);
    std::normal_distribution<double> noise(0.0, 0.004);
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (double e = 6950.0; e <= 7500.0; e += 2.5) {
        const double mu = 0.8 - 2e-4 * (e - 7000.0) + 1.3 * Phantom::phaseAbsorption(0, e) + noise(random);
        file.write(QByteArray::number(e, 'g', 10) + ' ' + QByteArray::number(mu, 'g', 12) + '\n');
    }
}

double maxAbsDifference(const std::vector<double> &a, const std::vector<double> &b)
{
    double worst = a.size() == b.size() ? 0.0 : std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        worst = std::max(worst, std::isfinite(a[i]) ? std::abs(a[i] - b[i]) : std::numeric_limits<double>::infinity());
    return worst;
}

// A stack whose pixels hold the analytic model: left third phase 0, middle third phase 1,
// right third the 30/70 mixture, each with an edge step `step` on a background, with noise.
SpectralStack modelStack(int width, int height, double step, double noiseLevel)
{
    SpectralStack stack;
    const std::vector<double> energies = Phantom::xanesEnergies();
    QString why;
    if (!stack.create(energies, width, height, &why))
        qWarning() << why;
    std::mt19937_64 random(11);
    std::normal_distribution<double> noise(0.0, noiseLevel);
    for (int k = 0; k < stack.count(); ++k) {
        const double e = energies[size_t(k)];
        const double a = Phantom::phaseAbsorption(0, e), b = Phantom::phaseAbsorption(1, e);
        const double pure[3] = {a, b, Phantom::mixedShare * a + (1.0 - Phantom::mixedShare) * b};
        std::vector<float> plane(size_t(width) * size_t(height));
        for (int z = 0; z < height; ++z)
            for (int x = 0; x < width; ++x)
                plane[size_t(z * width + x)] = float(0.01 + step * pure[3 * x / width] + noise(random));
        stack.setPlane(k, plane.data(), width, height, &why);
    }
    return stack;
}

// Reference file of a phase's normalised model on a fine grid.
QString writeReference(const QTemporaryDir &dir, int phase)
{
    const QString name = dir.filePath(QStringLiteral("ref%1.txt").arg(phase));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("# energy normalised mu\n");
    for (double e = 7000.0; e <= 7400.0; e += 0.5)
        file.write(QByteArray::number(e) + '\t' + QByteArray::number(Phantom::phaseAbsorption(phase, e), 'g', 12) + '\n');
    return name;
}

// Mean of a map over the pixels of columns [x0, x1).
double columnMean(const std::vector<float> &map, int width, int height, int x0, int x1)
{
    double sum = 0.0;
    int count = 0;
    for (int z = 0; z < height; ++z)
        for (int x = x0; x < x1; ++x, ++count)
            sum += map[size_t(z * width + x)];
    return sum / count;
}

// E0 of the model where its derivative is largest, on a 0.001 eV grid.
double modelE0(int phase)
{
    double best = 0.0, bestSlope = -1.0;
    for (double e = Phantom::phaseEdges[phase] - 5.0; e < Phantom::phaseEdges[phase] + 5.0; e += 0.001) {
        const double slope = Phantom::phaseAbsorption(phase, e + 0.0005) - Phantom::phaseAbsorption(phase, e - 0.0005);
        if (slope > bestSlope)
            bestSlope = slope, best = e;
    }
    return best;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<double>)

class TestXanes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void normalisationMatchesLarch_data();
    void normalisationMatchesLarch();
    void mapsAndFractionsOfTheModel();
    void fitMeetsOptimalityConditions_data();
    void fitMeetsOptimalityConditions();
    void badInputIsRefused_data();
    void badInputIsRefused();
    void nanPixelsAreMasked();
    void dataFilesReadBack_data();
    void dataFilesReadBack();
    void stepNoiseIsThatOfNeighbours();
    void sequencePlanesMakeTheStack();
    void sequencePlanesRefused_data();
    void sequencePlanesRefused();
    void defaultThresholdMasksTheNoise();
    void driftIsFoundAndRemoved();

private:
    QTemporaryDir oracleDir;
    bool scanFound = false;
    int oracleStatus = -1;
};

void TestXanes::normalisationMatchesLarch_data()
{
    QTest::addColumn<bool>("measured");
    QTest::addColumn<int>("degree");
    QTest::newRow("measured scan, constant") << true << 0;
    QTest::newRow("measured scan, line") << true << 1;
    QTest::newRow("measured scan, quadratic") << true << 2;
    QTest::newRow("synthetic, constant") << false << 0;
    QTest::newRow("synthetic, line") << false << 1;
    QTest::newRow("synthetic, quadratic") << false << 2;
}

void TestXanes::initTestCase()
{
    QVERIFY(oracleDir.isValid());
    writeSyntheticSpectrum(oracleDir.filePath(QStringLiteral("synthetic.txt")));
    const QString scan = qEnvironmentVariable("ZORVEL_REAL_DATA") + QStringLiteral("/xafs/PF9A_2022.dat");
    scanFound = QFile::exists(scan);
    oracleStatus = QFile::exists(QString::fromLatin1(kPython)) ? runOracle(oracleDir.path(), scanFound ? scan : QString()) : 3;
}

void TestXanes::normalisationMatchesLarch()
{
    QFETCH(bool, measured);
    QFETCH(int, degree);
    if (oracleStatus == 3)
        QSKIP("Larch (Debian's python3-xraylarch) is not installed for /usr/bin/python3: no oracle for the normalisation");
    if (measured && !scanFound)
        QSKIP("The measured scan xafs/PF9A_2022.dat is not in ZORVEL_REAL_DATA");
    QCOMPARE(oracleStatus, 0);
    const QString name = measured ? QStringLiteral("measured") : QStringLiteral("synthetic");
    XanesReference spectrum;
    QString why;
    QVERIFY2(XanesReference::read(oracleDir.filePath(name + QStringLiteral(".txt")), &spectrum, &why), qPrintable(why));
    QFile result(oracleDir.filePath(QStringLiteral("%1-%2.json").arg(name).arg(degree)));
    QVERIFY(result.open(QIODevice::ReadOnly));
    const QJsonObject larch = QJsonDocument::fromJson(result.readAll()).object();

    XanesSettings settings;
    settings.e0 = larch.value("e0").toDouble();
    settings.postDegree = degree;
    const XanesNormalize normalize(spectrum.energies, settings);
    const XanesCurve curve = normalize.curve(spectrum.values);
    QVERIFY(curve.valid);
    const double step = larch.value("edge_step").toDouble();
    QVERIFY2(std::abs(curve.pixel.edgeStep - step) <= 1e-3 * step,
             qPrintable(QStringLiteral("step %1, Larch %2").arg(curve.pixel.edgeStep).arg(step)));
    QVERIFY(maxAbsDifference(curve.pre, doubles(larch.value("pre"))) <= 1e-3 * step);
    QVERIFY(maxAbsDifference(curve.post, doubles(larch.value("post"))) <= 1e-3 * step);
    QVERIFY(maxAbsDifference(curve.normalised, doubles(larch.value("norm"))) <= 1e-3);
}

void TestXanes::mapsAndFractionsOfTheModel()
{
    const int width = 30, height = 20;
    const double step = 0.02;
    const SpectralStack stack = modelStack(width, height, step, 2e-4);
    XanesSettings settings;
    settings.threads = 2;
    const XanesNormalize normalize(stack.energies(), settings);
    const XanesMaps maps = normalize.maps(stack);
    QCOMPARE(maps.maskedCount, 0);
    for (int phase = 0; phase < 2; ++phase) {
        const double e0 = columnMean(maps.e0, width, height, phase * 10, phase * 10 + 10);
        QVERIFY2(std::abs(e0 - modelE0(phase)) <= 0.3, qPrintable(QStringLiteral("E0 %1, model %2").arg(e0).arg(modelE0(phase))));
        const double measuredStep = columnMean(maps.edgeStep, width, height, phase * 10, phase * 10 + 10);
        QVERIFY(std::abs(measuredStep - step) <= 0.02 * step);
        // The white line of the model lies at offset + the shift of the step's slope.
        const double white = columnMean(maps.whiteLineEnergy, width, height, phase * 10, phase * 10 + 10);
        QVERIFY(std::abs(white - Phantom::phaseEdges[phase] - Phantom::phaseWhiteLineOffset) <= 1.0);
    }

    QTemporaryDir dir;
    std::vector<XanesReference> references(2);
    QString why;
    for (int phase = 0; phase < 2; ++phase)
        QVERIFY2(XanesReference::read(writeReference(dir, phase), &references[size_t(phase)], &why), qPrintable(why));
    for (bool sumToOne : {false, true}) {
        XanesFit fit;
        QVERIFY2(fit.setup(stack.energies(), references, {7090.0, 7200.0, sumToOne}, &why), qPrintable(why));
        const XanesFitMaps fitted = fit.maps(stack, normalize, maps);
        const double expected[3][2] = {{1.0, 0.0}, {0.0, 1.0}, {Phantom::mixedShare, 1.0 - Phantom::mixedShare}};
        for (int region = 0; region < 3; ++region)
            for (int phase = 0; phase < 2; ++phase) {
                const double f = columnMean(fitted.fractions[size_t(phase)], width, height, region * 10, region * 10 + 10);
                QVERIFY2(std::abs(f - expected[region][phase]) <= 0.03,
                         qPrintable(QStringLiteral("region %1 phase %2: %3").arg(region).arg(phase).arg(f)));
            }
        QVERIFY(columnMean(fitted.rFactor, width, height, 20, 30) <= 1e-3);
    }
}

void TestXanes::fitMeetsOptimalityConditions_data()
{
    QTest::addColumn<int>("references");
    QTest::addColumn<bool>("sumToOne");
    for (int n = 2; n <= 4; ++n)
        for (bool sum : {false, true})
            QTest::newRow(qPrintable(QStringLiteral("%1 references%2").arg(n).arg(sum ? ", sum one" : ""))) << n << sum;
}

// Karush-Kuhn-Tucker conditions of min |y - B x|^2 subject to x >= 0 (and sum x = 1): with
// g = B^T (B x - y) and a multiplier l, g_i + l = 0 where x_i > 0 and g_i + l >= 0 where x_i = 0.
void TestXanes::fitMeetsOptimalityConditions()
{
    QFETCH(int, references);
    QFETCH(bool, sumToOne);
    std::vector<double> energies;
    for (int k = 0; k < 30; ++k)
        energies.push_back(7100.0 + k);
    std::mt19937_64 random(quint64(references * 2 + sumToOne));
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<XanesReference> refs(static_cast<size_t>(references));
    for (XanesReference &r : refs)
        for (double e : energies) {
            r.energies.push_back(e);
            r.values.push_back(1.0 + uniform(random));
        }
    XanesFit fit;
    QString why;
    QVERIFY2(fit.setup(energies, refs, {0.0, 0.0, sumToOne}, &why), qPrintable(why));
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<double> y(energies.size());
        for (double &v : y)
            v = 1.0 + uniform(random);
        const XanesPixelFit f = fit.fit(y.data());
        std::vector<double> g(size_t(references), 0.0);
        const std::vector<double> model = fit.curve(f);
        for (int r = 0; r < references; ++r)
            for (size_t i = 0; i < y.size(); ++i)
                g[size_t(r)] += refs[size_t(r)].values[i] * (model[i] - y[i]);
        double multiplier = 0.0, sum = 0.0;
        for (int r = 0; r < references; ++r) {
            QVERIFY(f.fractions[r] >= 0.0);
            sum += f.fractions[r];
            if (f.fractions[r] > 1e-9)
                multiplier = -g[size_t(r)];
        }
        if (!sumToOne)
            multiplier = 0.0;
        else
            QVERIFY(std::abs(sum - 1.0) <= 1e-9);
        for (int r = 0; r < references; ++r) {
            const double kkt = g[size_t(r)] + multiplier;
            QVERIFY2(f.fractions[r] > 1e-9 ? std::abs(kkt) <= 1e-7 : kkt >= -1e-7,
                     qPrintable(QStringLiteral("trial %1 reference %2: %3").arg(trial).arg(r).arg(kkt)));
        }
        double squares = 0.0, total = 0.0;
        for (size_t i = 0; i < y.size(); ++i)
            squares += (y[i] - model[i]) * (y[i] - model[i]), total += y[i] * y[i];
        QVERIFY(std::abs(f.rFactor - squares / total) <= 1e-9);
    }
}

void TestXanes::badInputIsRefused_data()
{
    QTest::addColumn<std::vector<double>>("energies");
    QTest::addColumn<int>("width");
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<QString>("reason");
    const std::vector<double> good = Phantom::xanesEnergies();
    std::vector<double> repeated = good;
    repeated[5] = repeated[4];
    std::vector<double> notANumber = good;
    notANumber[3] = std::nan("");
    const QString twice = QString::number(good[4], 'g', 8);
    QTest::newRow("repeated energy") << repeated << 8 << (qint64(1) << 30)
                                     << QStringLiteral("energies not increasing (%1 eV after %1 eV)").arg(twice);
    QTest::newRow("seven energies") << std::vector<double>(good.begin(), good.begin() + 7) << 8 << (qint64(1) << 30) << QStringLiteral("7 energies, at least 8");
    QTest::newRow("nan energy") << notANumber << 8 << (qint64(1) << 30) << QStringLiteral("is not a number");
    QTest::newRow("over budget") << good << 1024 << qint64(40) * 1024 * 1024 << QStringLiteral("more than the 40 MB allowed");
    QTest::newRow("no pixels") << good << 0 << (qint64(1) << 30) << QStringLiteral("outside 1 .. 32768");
}

void TestXanes::badInputIsRefused()
{
    QFETCH(std::vector<double>, energies);
    QFETCH(int, width);
    QFETCH(qint64, budget);
    QFETCH(QString, reason);
    SpectralStack stack;
    QString why;
    QVERIFY(!stack.create(energies, width, width, &why, budget));
    QVERIFY2(why.contains(reason), qPrintable(why));
    QCOMPARE(stack.count(), 0);
}

void TestXanes::nanPixelsAreMasked()
{
    SpectralStack stack = modelStack(12, 4, 0.02, 0.0);
    QString why;
    const std::vector<float> small(size_t(11 * 4), 0.0f);
    QVERIFY(!stack.setPlane(3, small.data(), 11, 4, &why));
    QVERIFY2(why.contains(QStringLiteral("is 11 x 4, the other energies' slices are 12 x 4")), qPrintable(why));
    std::vector<float> plane = stack.plane(20);
    plane[5] = std::nanf("");
    QVERIFY(stack.setPlane(20, plane.data(), 12, 4, &why));
    const XanesNormalize normalize(stack.energies(), XanesSettings{});
    const XanesMaps maps = normalize.maps(stack);
    QCOMPARE(maps.maskedCount, 1);
    QVERIFY(!maps.valid[5] && std::isnan(maps.e0[5]) && std::isnan(maps.edgeStep[5]));

    // A reference that stops inside the window.
    std::vector<XanesReference> refs(2);
    for (XanesReference &r : refs)
        r.name = QStringLiteral("short"), r.energies = {7000.0, 7150.0}, r.values = {0.0, 1.0};
    XanesFit fit;
    QVERIFY(!fit.setup(stack.energies(), refs, {7100.0, 7200.0, false}, &why));
    QCOMPARE(why, QStringLiteral("Reference short covers 7000 to 7150 eV, not the fit window 7100 to 7200 eV"));
    // A window past the last energy, and a plane past the last energy.
    for (XanesReference &r : refs)
        r.energies = {6000.0, 8000.0};
    QVERIFY(!fit.setup(stack.energies(), refs, {7300.5, 7301.0, false}, &why));
    QCOMPARE(why, QStringLiteral("Linear-combination fit: the window 7300.5 to 7301 eV holds 0 energies, fewer than the 3 needed"));
    QVERIFY(!stack.setPlane(stack.count(), plane.data(), 12, 4, &why));
    QCOMPARE(why, QStringLiteral("Spectral stack: no energy %1").arg(stack.count()));
}

void TestXanes::driftIsFoundAndRemoved()
{
    const int w = 48, h = 40, n = 8;
    std::vector<double> energies;
    for (int k = 0; k < n; ++k)
        energies.push_back(7100.0 + 10.0 * k);
    SpectralStack stack;
    QString why;
    QVERIFY(stack.create(energies, w, h, &why));
    const auto blob = [&](double dx, double dz) {
        std::vector<float> plane(size_t(w * h));
        for (int z = 0; z < h; ++z)
            for (int x = 0; x < w; ++x) {
                const double u = x - 20.0 - dx, v = z - 18.0 - dz;
                plane[size_t(z * w + x)] = float(std::exp(-(u * u + v * v) / 18.0) + 0.5 * std::exp(-((u - 8) * (u - 8) + v * v) / 8.0));
            }
        return plane;
    };
    const double drifts[n][2] = {{0, 0}, {0.3, -0.2}, {1.7, 0.4}, {-2.25, 1.1}, {0.0, -3.6}, {0.8, 0.8}, {-0.4, 2.5}, {3.1, -1.3}};
    for (int k = 0; k < n; ++k)
        QVERIFY(stack.setPlane(k, blob(drifts[k][0], drifts[k][1]).data(), w, h, &why));
    const std::vector<XanesAlign::Shift> shifts = XanesAlign::estimate(stack, 0);
    for (int k = 0; k < n; ++k) {
        QVERIFY2(std::abs(shifts[size_t(k)].dx - drifts[k][0]) <= 0.15 && std::abs(shifts[size_t(k)].dz - drifts[k][1]) <= 0.15,
                 qPrintable(QStringLiteral("%1: %2 %3").arg(k).arg(shifts[size_t(k)].dx).arg(shifts[size_t(k)].dz)));
    }
    XanesAlign::apply(stack, shifts);
    const std::vector<float> reference = blob(0, 0);
    for (int k = 1; k < n; ++k) {
        const std::vector<float> moved = stack.plane(k);
        double worst = 0.0;
        for (size_t i = 0; i < moved.size(); ++i)
            worst = std::max(worst, double(std::abs(moved[i] - reference[i])));
        QVERIFY2(worst <= 0.05, qPrintable(QStringLiteral("plane %1 differs by %2").arg(k).arg(worst)));
    }
}

// The default threshold masks the element-free pixels, whose edge steps are noise around
// zero, and keeps every pixel with the element; a quarter of the slice outside the
// reconstructed circle (exact zeros) does not change that.
void TestXanes::defaultThresholdMasksTheNoise()
{
    const int side = 48;
    SpectralStack stack = modelStack(side, side, 0.0, 1e-3);
    const std::vector<double> energies = Phantom::xanesEnergies();
    QString why;
    const auto outside = [](int z) { return z < side / 4; };
    const auto element = [](int x) { return x >= side / 2; };
    for (int k = 0; k < stack.count(); ++k) {
        std::vector<float> plane = stack.plane(k);
        for (int z = 0; z < side; ++z)
            for (int x = 0; x < side; ++x) {
                float &value = plane[size_t(z * side + x)];
                value = outside(z) ? 0.0f : value + float(element(x) ? 0.02 * Phantom::phaseAbsorption(0, energies[size_t(k)]) : 0.0);
            }
        QVERIFY2(stack.setPlane(k, plane.data(), side, side, &why), qPrintable(why));
    }
    const XanesMaps maps = XanesNormalize(energies, XanesSettings{}).maps(stack);
    int noiseKept = 0, noisePixels = 0, elementMasked = 0;
    for (int z = side / 4; z < side; ++z)
        for (int x = 0; x < side; ++x) {
            const bool kept = maps.valid[size_t(z * side + x)] != 0;
            if (element(x))
                elementMasked += kept ? 0 : 1;
            else
                noiseKept += kept ? 1 : 0;
            noisePixels += element(x) ? 0 : 1;
        }
    QCOMPARE(elementMasked, 0);
    QVERIFY2(noiseKept <= noisePixels / 20, qPrintable(QStringLiteral("%1 of %2 noise pixels kept, threshold %3").arg(noiseKept).arg(noisePixels).arg(maps.threshold)));
}

namespace {

// A plane whose every value says its energy and pixel, so a stack can be checked against it.
SequenceStack::Plane markedPlane(double energy, int width, int height)
{
    std::vector<float> values(size_t(width) * size_t(height));
    for (size_t p = 0; p < values.size(); ++p)
        values[p] = float(energy - 7000.0 + 1e-3 * double(p));
    return {std::make_shared<const std::vector<float>>(std::move(values)), width, height};
}

} // namespace

void TestXanes::dataFilesReadBack_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("written by the saver") << QByteArray() << QString();
    QTest::newRow("no header") << QByteArray("0\t0\t1\n") << "no #ZRVL-CTImg data file";
    QTest::newRow("no pixels") << QByteArray("#ZRVL-CTImg\n# Range_X0 : 0\n") << "no pixels";
    QTest::newRow("value not a number") << QByteArray("#ZRVL-CTImg\n0\t0\tabc\n") << "a line that is not x, z and a value";
    QTest::newRow("value with junk") << QByteArray("#ZRVL-CTImg\n0\t0\t1.5x\n") << "a line that is not x, z and a value";
    QTest::newRow("value not a number, numbers after it") << QByteArray("#ZRVL-CTImg\n0\t0\te2\t0\t0\n") << "a line that is not x, z and a value";
    QTest::newRow("two numbers") << QByteArray("#ZRVL-CTImg\n0\t0\n") << "a line that is not x, z and a value";
    QTest::newRow("negative x") << QByteArray("#ZRVL-CTImg\n-1\t0\t1\n") << "pixel -1, 0 outside";
    QTest::newRow("a hole") << QByteArray("#ZRVL-CTImg\n0\t0\t1\n1\t1\t1\n") << "pixels missing in its 2 x 2 region";
}

// The saver's data file read back holds what printf("%g") wrote, pixel for pixel; damaged
// files are refused with their reason.
void TestXanes::dataFilesReadBack()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    std::vector<double> image(7 * 7);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> values(-1e-3, 1e-2);
    for (double &v : image)
        v = values(random);
    const CalcRegion region{1, 2, 6, 6}; // 5 x 4 pixels from x = 1, z = 2
    if (text.isEmpty())
        text = ResultFiles::dataText(image.data(), 7, region);
    std::vector<float> plane;
    int width = 0, height = 0;
    QString why;
    QCOMPARE(XanesResults::parseDataFile(text, &plane, &width, &height, &why), reason.isEmpty());
    QVERIFY2(why.startsWith(reason), qPrintable(why));
    if (!reason.isEmpty())
        return;
    QCOMPARE(width, 5);
    QCOMPARE(height, 4);
    for (int z = 0; z < 4; ++z)
        for (int x = 0; x < 5; ++x) {
            char printed[32];
            std::snprintf(printed, sizeof printed, "%g", image[size_t((z + 2) * 7 + x + 1)]);
            QCOMPARE(plane[size_t(z * 5 + x)], std::strtof(printed, nullptr));
        }
}

// Edge steps of sigma = 0.01 around levels that change from row to row: the noise is that of
// horizontal neighbours (their difference has sigma x sqrt 2), never of a row's last pixel and
// the next row's first. Two pixels a row, so a pair across rows would be every other pair.
void TestXanes::stepNoiseIsThatOfNeighbours()
{
    XanesMaps maps;
    maps.width = 2;
    maps.height = 20000;
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 0.01);
    for (int z = 0; z < maps.height; ++z)
        for (int x = 0; x < maps.width; ++x)
            maps.edgeStep.push_back(float(1.0 + 5.0 * (z % 2) + noise(random)));
    const double sigma = XanesNormalize::stepNoiseOf(maps);
    QVERIFY2(std::abs(sigma - 0.01) <= 0.0005, qPrintable(QString::number(sigma)));
}

// Planes come in as the sets run (any energy order, a set run twice); the stack holds them
// in energy order, the second run of a set in place of the first.
void TestXanes::sequencePlanesMakeTheStack()
{
    const std::vector<double> energies = Phantom::xanesEnergies();
    std::vector<size_t> order(energies.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    SequenceStack planes;
    planes.watch(3, 4);
    QString why;
    const SequenceStack::Plane stale = markedPlane(1.0, 1, 3);
    QVERIFY2(planes.add(QStringLiteral("set-%1").arg(order[0]), energies[order[0]], 4, stale, &why), qPrintable(why));
    for (size_t k : order)
        QVERIFY2(planes.add(QStringLiteral("set-%1").arg(k), energies[k], 4, markedPlane(energies[k], 1, 3), &why), qPrintable(why));
    QCOMPARE(planes.bytes(), qint64(energies.size() * 3 * sizeof(float)));
    const SequenceStack handed = planes; // a copy keeps what it had when later sets come in
    QVERIFY(planes.add(QStringLiteral("late"), 7400.0, 4, markedPlane(7400.0, 1, 3), &why));
    SpectralStack stack;
    QVERIFY2(handed.stackOf(4, &stack, &why), qPrintable(why));
    QCOMPARE(stack.energies(), energies);
    for (int k = 0; k < stack.count(); ++k) {
        const std::vector<float> expected = *markedPlane(energies[size_t(k)], 1, 3).values;
        QCOMPARE(stack.plane(k), expected);
    }
    QVERIFY(!handed.stackOf(3, &stack, &why));
    QVERIFY2(why.contains("no values of slice 3"), qPrintable(why));
}

void TestXanes::sequencePlanesRefused_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<double>("energy");
    QTest::addColumn<int>("slice");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("reason");
    QTest::newRow("slice not watched") << "b" << 7200.0 << 5 << 4 << "slice 5 is not watched";
    QTest::newRow("no energy") << "b" << 0.0 << 4 << 4 << "no energy known for data set b";
    QTest::newRow("energy not a number") << "b" << std::nan("") << 4 << 4 << "no energy known";
    QTest::newRow("another set at the energy") << "b" << 7100.0 << 4 << 4 << "data sets a and b are both at 7100 eV";
    QTest::newRow("another size") << "b" << 7200.0 << 4 << 5 << "is 5 x 4, at 7100 eV it is 4 x 4";
    QTest::newRow("past the budget") << "b" << 7200.0 << 4 << 4 << "past the 0 MB allowed";
}

void TestXanes::sequencePlanesRefused()
{
    QFETCH(QString, set);
    QFETCH(double, energy);
    QFETCH(int, slice);
    QFETCH(int, width);
    QFETCH(QString, reason);
    SequenceStack planes;
    planes.watch(4, 4);
    planes.setBudget(4 * 4 * sizeof(float)); // exactly the first plane
    QString why;
    QVERIFY(planes.add(QStringLiteral("a"), 7100.0, 4, markedPlane(7100.0, 4, 4), &why));
    QVERIFY(!planes.add(set, energy, slice, markedPlane(energy, width, 4), &why));
    QVERIFY2(why.contains(reason), qPrintable(why));
    QCOMPARE(planes.energies(4), std::vector<double>{7100.0});
}

QTEST_GUILESS_MAIN(TestXanes)
#include "tst_xanes.moc"

