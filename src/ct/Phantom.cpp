#include "Phantom.h"

#include "ItexWriter.h"

#include <QDebug>
#include <QDir>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Modified Shepp-Logan head, y upwards, reaching 0.92 units from its centre; the vertical
// semi-axes make each ellipse the mid-height slice of an ellipsoid.
struct UnitEllipse
{
    double x0, y0, a, b, phiDeg, density, c, absorber;
};

const UnitEllipse kSheppLogan[] = {
    {0.0, 0.0, 0.69, 0.92, 0.0, 1.0, 0.81, 0.0},
    {0.0, -0.0184, 0.6624, 0.874, 0.0, -0.8, 0.78, 0.0},
    {0.22, 0.0, 0.11, 0.31, -18.0, -0.2, 0.22, 0.4}, // right ventricle: holds the edge absorber
    {-0.22, 0.0, 0.16, 0.41, 18.0, -0.2, 0.28, 0.0},
    {0.0, 0.35, 0.21, 0.25, 0.0, 0.1, 0.41, 0.0},
    {0.0, 0.1, 0.046, 0.046, 0.0, 0.1, 0.1, 0.0},
    {0.0, -0.1, 0.046, 0.046, 0.0, 0.1, 0.1, 0.0},
    {-0.08, -0.605, 0.046, 0.023, 0.0, 0.1, 0.1, 0.0},
    {0.0, -0.606, 0.023, 0.023, 0.0, 0.1, 0.1, 0.0},
    {0.06, -0.605, 0.023, 0.046, 0.0, 0.1, 0.1, 0.0},
};
constexpr double kHeadReach = 0.92;         // outer reach of the head in its own unit
constexpr double kReachOfHalfDetector = 0.8; // head reach / half the detector width
constexpr double kAbsorberBelowEdge = 0.15;
constexpr double kEdgeHalfWidth = 1.0;       // eV
constexpr double kI0DropOverRange = 0.08;    // beam flux falls by this fraction over the energy range
constexpr double kDarkPattern = 4.0;         // fixed-pattern spread of the dark counts
constexpr int kMaxCount = 65535;

std::vector<Phantom::Ellipsoid> sheppLoganParts(double unit)
{
    std::vector<Phantom::Ellipsoid> parts;
    for (const UnitEllipse &s : kSheppLogan) {
        Phantom::Ellipsoid e;
        e.cx = s.x0 * unit;
        e.cz = -s.y0 * unit; // slice rows run downwards, the head's y upwards
        e.a = s.a * unit;
        e.b = s.b * unit;
        e.c = s.c * unit;
        e.psi = -s.phiDeg * kPi / 180.0;
        e.mu = s.density;
        e.absorber = s.absorber;
        parts.push_back(e);
    }
    return parts;
}

// Largest line integral of the head at unit size with the absorber fully on, over heights,
// angles and detector positions. Line integrals grow linearly with the size, so this one
// number scales the head for every detector.
double largestUnitLineIntegral()
{
    static const double largest = [] {
        double found = 0.0;
        // All ellipsoids are centred at mid-height: the upper half covers both.
        for (int iv = 0; iv <= 20; ++iv) {
            // A one-row phantom whose row 0 sits at height v.
            std::vector<Phantom::Ellipsoid> parts = sheppLoganParts(1.0);
            for (Phantom::Ellipsoid &e : parts)
                e.cv -= kHeadReach * iv / 20.0;
            const Phantom slice(1, parts);
            for (int it = 0; it < 90; ++it)
                for (int iu = -400; iu <= 400; ++iu)
                    found = std::max(found, slice.lineIntegral(0, kHeadReach * iu / 400.0, it * kPi / 90.0));
        }
        return found;
    }();
    return largest;
}

unsigned int hashPixel(unsigned int x, unsigned int y)
{
    unsigned int h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// Counts of one detector image, with the optional photon noise applied in place.
class CountImage
{
public:
    CountImage(int width, int height) : w(width), h(height), values(size_t(width) * size_t(height)) {}
    double &at(int x, int row) { return values[size_t(row) * size_t(w) + size_t(x)]; }

    // photonsPerCount <= 0: no noise.
    void addNoise(double photonsPerCount, std::mt19937_64 &random)
    {
        if (photonsPerCount <= 0.0)
            return;
        for (double &v : values) {
            const double mean = std::max(0.0, v) * photonsPerCount;
            if (mean > 0.0) {
                std::poisson_distribution<long long> poisson(mean);
                v = double(poisson(random)) / photonsPerCount;
            }
        }
    }

    bool write(const QString &fileName) const
    {
        std::vector<quint32> counts(values.size());
        std::transform(values.begin(), values.end(), counts.begin(), [](double v) {
            return quint32(std::clamp(std::lround(v), 0L, long(kMaxCount)));
        });
        return ItexWriter::write(fileName, w, h, 2, counts);
    }

private:
    int w, h;
    std::vector<double> values;
};

// Everything of a series that does not depend on the projection: dark counts and beam profile.
struct Detector
{
    std::vector<double> dark;    // counts without beam
    std::vector<double> profile; // beam shape, 1 at its maximum

    Detector(int w, int h) : dark(size_t(w) * size_t(h)), profile(dark.size())
    {
        // The beam centre sits a little off the detector centre, as it does at a beamline.
        const double beamX = 0.47 * (w - 1), beamRow = 0.52 * (h - 1);
        const double sigmaX = 0.75 * w, sigmaRow = 1.5 * std::max(h, 8);
        for (int row = 0; row < h; ++row) {
            for (int x = 0; x < w; ++x) {
                const size_t i = size_t(row) * size_t(w) + size_t(x);
                const double spread = (hashPixel(unsigned(x), unsigned(row)) % 1001u) / 1000.0 - 0.5;
                dark[i] = Phantom::darkLevel + 2.0 * kDarkPattern * spread;
                const double dx = (x - beamX) / sigmaX, dr = (row - beamRow) / sigmaRow;
                profile[i] = std::exp(-0.5 * (dx * dx + dr * dr));
            }
        }
    }
};

// Independent, reproducible noise stream for each file of a series.
std::mt19937_64 noiseStream(unsigned long long seed, int kind, int energyIndex, int projection)
{
    std::seed_seq sequence{unsigned(seed & 0xFFFFFFFFu), unsigned(seed >> 32), unsigned(kind),
                           unsigned(energyIndex), unsigned(projection)};
    return std::mt19937_64(sequence);
}

// Writes the files of one series in order: BG, then per energy its I0 and its projections.
class SeriesWriter
{
public:
    SeriesWriter(const Phantom::Series &settings, QStringList *writtenFiles)
        : series(settings), folder(settings.folder), detector(settings.width, settings.height),
          phantom(settings.twoPhase ? Phantom::twoPhase(settings.width, settings.height)
                                    : Phantom::sheppLogan(settings.width, settings.height)),
          cor(0.5 * (settings.width - 1) + settings.corOffset), written(writtenFiles)
    {
        phantom.setEdgeEnergy(Phantom::seriesEdgeEnergy(series));
    }

    bool writeDark()
    {
        CountImage bg(series.width, series.height);
        forEachPixel([&](int x, int row, size_t i) { bg.at(x, row) = detector.dark[i]; });
        return write(bg, noiseStream(series.seed, 0, 0, 0), QStringLiteral("bg.img"));
    }

    // One data set: energyIndex into series.energies, or 0 for the series without energies.
    bool writeDataSet(int energyIndex)
    {
        const bool tagged = !series.energies.empty();
        const double eV = tagged ? series.energies[size_t(energyIndex)] : 0.0;
        const double flux = beamFlux(eV);
        const QString tag = tagged ? Phantom::energyText(eV) : QString();
        phantom.setEnergy(eV);

        CountImage i0(series.width, series.height);
        forEachPixel([&](int x, int row, size_t i) { i0.at(x, row) = detector.dark[i] + flux * detector.profile[i]; });
        const QString i0Name = tagged ? QStringLiteral("i0-%1-00000.img").arg(tag) : QStringLiteral("i0.img");
        if (!write(i0, noiseStream(series.seed, 1, energyIndex, 0), i0Name))
            return false;

        for (int j = 0; j < series.projections; ++j) {
            const double theta = j * kPi / series.projections;
            CountImage projection(series.width, series.height);
            forEachPixel([&](int x, int row, size_t i) {
                const double p = phantom.lineIntegral(row, x - cor, theta);
                projection.at(x, row) = detector.dark[i] + flux * detector.profile[i] * std::exp(-p);
            });
            const QString number = QStringLiteral("%1").arg(j, 5, 10, QLatin1Char('0'));
            const QString name = tagged ? QStringLiteral("%1-%2-%3.img").arg(series.sample, tag, number)
                                        : QStringLiteral("%1_%2.img").arg(series.sample, number);
            if (!write(projection, noiseStream(series.seed, 2, energyIndex, j), name))
                return false;
        }
        return true;
    }

    // The normalised spectra of the two pure phases, phase1.txt and phase2.txt (energy in eV,
    // normalised mu), reaching past the series' energies on both sides so that they serve as
    // the references of a linear-combination fit of the series.
    bool writeReferences()
    {
        const auto [lowest, highest] = std::minmax_element(series.energies.begin(), series.energies.end());
        const double from = *lowest - 50.0, to = *highest + 100.0;
        const double step = std::max(0.25, (to - from) / kMaxReferencePoints);
        for (int phase = 0; phase < 2; ++phase) {
            QByteArray text = "# energy_eV normalised_mu\n";
            for (double e = from; e <= to; e += step)
                text += QByteArray::number(e, 'g', 10) + ' ' + QByteArray::number(Phantom::phaseAbsorption(phase, e), 'g', 12) + '\n';
            const QString fileName = folder.filePath(QStringLiteral("phase%1.txt").arg(phase + 1));
            QSaveFile file(fileName);
            if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
                qDebug() << "Can not write the reference spectrum" << fileName;
                return false;
            }
            if (written)
                written->append(fileName);
        }
        return true;
    }

private:
    static constexpr double kMaxReferencePoints = 20000.0;

    // Beam counts above dark at the profile maximum; with energies, falling over the range.
    double beamFlux(double eV) const
    {
        double fraction = 0.0;
        if (series.energies.size() > 1) {
            const auto [lowest, highest] = std::minmax_element(series.energies.begin(), series.energies.end());
            fraction = (eV - *lowest) / (*highest - *lowest);
        }
        return (series.i0Peak - Phantom::darkLevel) * (1.0 - kI0DropOverRange * fraction);
    }

    template <typename Fill>
    void forEachPixel(Fill fill) const
    {
        for (int row = 0; row < series.height; ++row)
            for (int x = 0; x < series.width; ++x)
                fill(x, row, size_t(row) * size_t(series.width) + size_t(x));
    }

    bool write(CountImage &image, std::mt19937_64 random, const QString &name)
    {
        image.addNoise(series.noisePhotons / series.i0Peak, random);
        const QString fileName = folder.filePath(name);
        if (!image.write(fileName))
            return false;
        if (written)
            written->append(fileName);
        return true;
    }

    const Phantom::Series &series;
    const QDir folder;
    const Detector detector;
    Phantom phantom;
    const double cor;
    QStringList *written;
};

} // namespace

Phantom::Phantom(int detectorHeight, const std::vector<Ellipsoid> &ellipsoids)
    : detectorRows(detectorHeight), parts(ellipsoids)
{
    for (const Ellipsoid &e : parts)
        axes.emplace_back(std::cos(e.psi), std::sin(e.psi));
}

Phantom Phantom::sheppLogan(int detectorWidth, int detectorHeight)
{
    const double unit = kReachOfHalfDetector * 0.5 * (detectorWidth - 1) / kHeadReach;
    Phantom phantom(detectorHeight, sheppLoganParts(unit));
    const double scale = peakAttenuation / (unit * largestUnitLineIntegral());
    for (Ellipsoid &e : phantom.parts) {
        e.mu *= scale;
        e.absorber *= scale;
    }
    return phantom;
}

double Phantom::absorberFraction(double eV) const
{
    const double step = 0.5 + std::atan((eV - edgeEV) / kEdgeHalfWidth) / kPi;
    const double decline = eV > edgeEV ? std::pow(edgeEV / eV, 3.0) : 1.0;
    return kAbsorberBelowEdge + (1.0 - kAbsorberBelowEdge) * step * decline;
}

void Phantom::setEnergy(double eV)
{
    energyEV = eV;
    absorberOn = energyEV > 0.0 ? absorberFraction(energyEV) : 1.0;
    for (int phase = 0; phase < 2; ++phase)
        phaseOn[phase] = energyEV > 0.0 ? phaseAbsorption(phase, energyEV) : 1.0;
}

double Phantom::phaseAbsorption(int phase, double eV)
{
    const double edge = phaseEdges[phase];
    const double step = 0.5 + std::atan((eV - edge) / phaseEdgeHalfWidth) / kPi;
    const double t = (eV - edge - phaseWhiteLineOffset) / phaseWhiteLineWidth;
    return step + phaseWhiteLine * std::exp(-0.5 * t * t);
}

std::vector<double> Phantom::xanesEnergies()
{
    std::vector<double> energies;
    const auto span = [&energies](double from, double to, int count) {
        for (int i = 0; i < count; ++i)
            energies.push_back(from + (to - from) * i / (count - 1));
    };
    span(7050.0, 7100.0, 6);
    span(7108.0, 7140.0, 24);
    span(7150.0, 7300.0, 10);
    return energies;
}

double Phantom::twoPhaseRadius(int detectorWidth)
{
    return 0.16 * 0.5 * (detectorWidth - 1);
}

std::vector<std::pair<double, double>> Phantom::twoPhaseCentres(int detectorWidth)
{
    const double r = 0.4 * 0.5 * (detectorWidth - 1);
    return {{-r, -0.5 * r}, {r, -0.5 * r}, {0.0, r}};
}

Phantom Phantom::twoPhase(int detectorWidth, int detectorHeight)
{
    const double half = 0.5 * (detectorWidth - 1);
    const double tall = 10.0 * std::max(detectorHeight, 1); // columns: the same slice at every row
    std::vector<Ellipsoid> parts(4);
    parts[0].a = parts[0].b = kReachOfHalfDetector * half;
    parts[0].mu = 0.005;
    const auto centres = twoPhaseCentres(detectorWidth);
    const double shares[3][2] = {{1.0, 0.0}, {0.0, 1.0}, {mixedShare, 1.0 - mixedShare}};
    for (size_t k = 1; k < 4; ++k) {
        parts[k].cx = centres[k - 1].first;
        parts[k].cz = centres[k - 1].second;
        parts[k].a = parts[k].b = twoPhaseRadius(detectorWidth);
        parts[k].phases[0] = phaseStep * shares[k - 1][0];
        parts[k].phases[1] = phaseStep * shares[k - 1][1];
    }
    for (Ellipsoid &e : parts)
        e.c = tall;
    return Phantom(detectorHeight, parts);
}

void Phantom::setEdgeEnergy(double eV)
{
    edgeEV = eV;
    setEnergy(energyEV);
}

double Phantom::partAttenuation(const Ellipsoid &e) const
{
    return e.mu + e.absorber * absorberOn + e.phases[0] * phaseOn[0] + e.phases[1] * phaseOn[1];
}

double Phantom::ellipseChord(size_t k, double v, double u, double cosT, double sinT) const
{
    const Ellipsoid &e = parts[k];
    const double dv = (v - e.cv) / e.c;
    const double squeeze = 1.0 - dv * dv;
    if (squeeze <= 0.0)
        return 0.0;
    const double a2 = e.a * e.a * squeeze, b2 = e.b * e.b * squeeze;
    // Ray: (x, z) = u n + s d with n = (cos, -sin), d = (sin, cos); in the ellipse's axes.
    const double cosP = axes[k].first, sinP = axes[k].second;
    const double qx = u * cosT - e.cx, qz = -u * sinT - e.cz;
    const double xi0 = qx * cosP + qz * sinP, eta0 = -qx * sinP + qz * cosP;
    const double d1 = sinT * cosP + cosT * sinP, d2 = -sinT * sinP + cosT * cosP;
    const double qa = d1 * d1 / a2 + d2 * d2 / b2;
    const double qb = xi0 * d1 / a2 + eta0 * d2 / b2;
    const double qc = xi0 * xi0 / a2 + eta0 * eta0 / b2 - 1.0;
    const double discriminant = qb * qb - qa * qc;
    return discriminant > 0.0 ? 2.0 * std::sqrt(discriminant) / qa : 0.0;
}

double Phantom::lineIntegral(int row, double u, double theta) const
{
    const double v = heightOf(row);
    const double cosT = std::cos(theta), sinT = std::sin(theta);
    double sum = 0.0;
    for (size_t k = 0; k < parts.size(); ++k)
        sum += partAttenuation(parts[k]) * ellipseChord(k, v, u, cosT, sinT);
    return sum;
}

double Phantom::attenuationAt(int row, double x, double z) const
{
    const double v = heightOf(row);
    double mu = 0.0;
    for (size_t k = 0; k < parts.size(); ++k) {
        const Ellipsoid &e = parts[k];
        const double dv = (v - e.cv) / e.c;
        const double squeeze = 1.0 - dv * dv;
        if (squeeze <= 0.0)
            continue;
        const double qx = x - e.cx, qz = z - e.cz;
        const double cosP = axes[k].first, sinP = axes[k].second;
        const double xi = qx * cosP + qz * sinP, eta = -qx * sinP + qz * cosP;
        if (xi * xi / (e.a * e.a) + eta * eta / (e.b * e.b) <= squeeze)
            mu += partAttenuation(e);
    }
    return mu;
}

double Phantom::reach() const
{
    double largest = 0.0;
    for (const Ellipsoid &e : parts)
        largest = std::max(largest, std::hypot(e.cx, e.cz) + std::max(e.a, e.b));
    return largest;
}

QString Phantom::energyText(double eV)
{
    QString text = QString::number(eV, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text.replace(QLatin1Char('.'), QLatin1Char('_')) + QStringLiteral("eV");
}

double Phantom::seriesEdgeEnergy(const Series &series)
{
    if (series.edgeEnergy > 0.0 || series.energies.empty())
        return series.edgeEnergy > 0.0 ? series.edgeEnergy : defaultEdgeEnergy;
    const auto [lowest, highest] = std::minmax_element(series.energies.begin(), series.energies.end());
    if (*lowest <= defaultEdgeEnergy && defaultEdgeEnergy <= *highest)
        return defaultEdgeEnergy;
    return 0.5 * (*lowest + *highest);
}

QString Phantom::checkSeries(const Series &s)
{
    if (s.width < 8 || s.width > 16384)
        return QStringLiteral("width must be 8 to 16384 pixels");
    if (s.height < 1 || s.height > 16384)
        return QStringLiteral("height must be 1 to 16384 pixels");
    if (s.projections < 1 || s.projections > 100000)
        return QStringLiteral("projections must be 1 to 100000");
    const double cor = 0.5 * (s.width - 1) + s.corOffset;
    if (!std::isfinite(cor) || cor < 1.0 || cor > s.width - 2.0)
        return QStringLiteral("cor offset puts the rotation axis at %1, outside 1 .. %2")
            .arg(QString::number(cor, 'g', 6)).arg(s.width - 2);
    if (!std::isfinite(s.noisePhotons) || s.noisePhotons < 0.0)
        return QStringLiteral("noise must be off or a positive photon count");
    if (!std::isfinite(s.i0Peak) || s.i0Peak < 2.0 * darkLevel || s.i0Peak > 60000.0)
        return QStringLiteral("i0 peak must be 200 to 60000 counts");
    if (s.folder.isEmpty())
        return QStringLiteral("no output folder given");
    if (s.sample.isEmpty() || s.sample.contains(QLatin1Char('/')) || s.sample.contains(QLatin1Char('\\')))
        return QStringLiteral("sample name must be non-empty and hold no path separator");
    if (!s.energies.empty() && s.sample.compare(QStringLiteral("i0"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("sample name i0 is taken by the I0 images");
    if (!std::isfinite(s.edgeEnergy) || s.edgeEnergy < 0.0)
        return QStringLiteral("edge energy must be positive");
    QSet<QString> texts;
    for (double e : s.energies) {
        if (!std::isfinite(e) || e <= 0.0)
            return QStringLiteral("energies must be positive numbers in eV");
        const QString text = energyText(e);
        if (texts.contains(text))
            return QStringLiteral("energy %1 is given twice").arg(text);
        texts.insert(text);
    }
    return QString();
}

bool Phantom::writeSeries(const Series &series, QStringList *written)
{
    const QString problem = checkSeries(series);
    if (!problem.isEmpty()) {
        qDebug() << "Invalid phantom series:" << problem;
        return false;
    }
    if (!QDir().mkpath(series.folder)) {
        qDebug() << "Can not create phantom folder" << series.folder;
        return false;
    }
    SeriesWriter writer(series, written);
    if (!writer.writeDark())
        return false;
    const int dataSets = std::max(1, int(series.energies.size()));
    for (int ie = 0; ie < dataSets; ++ie)
        if (!writer.writeDataSet(ie))
            return false;
    return !series.twoPhase || series.energies.empty() || writer.writeReferences();
}
