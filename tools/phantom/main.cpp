// zorvel-phantom: writes a synthetic CT series (projections, I0 and BG as ITEX files) of a
// Shepp-Logan head whose right ventricle holds an absorber with an X-ray absorption edge.

#include "Phantom.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {

const char *const kDescription =
    "Writes a synthetic CT series: projections over half a turn (projection j at j*180/M degrees),\n"
    "computed from exact line integrals of a Shepp-Logan head (ellipsoids, so the slices change\n"
    "slowly from detector row to row), as 16-bit ITEX .img files with\n"
    "  I = BG + (I0 - BG) * exp(-p),  p = line integral, attenuation per pixel length, p <= 2.\n"
    "\n"
    "Files written into the output folder:\n"
    "  without --energies:  <sample>_00000.img ... <sample>_<M-1>.img, i0.img, bg.img\n"
    "  with --energies:     <sample>-<energy>-00000.img ... per energy, i0-<energy>-00000.img per\n"
    "                       energy, and one bg.img; <energy> is the energy in eV with '_' as the\n"
    "                       decimal point, e.g. phantom-7112_5eV-00000.img, i0-7112_5eV-00000.img.\n"
    "I0 is a flat field with a gentle beam profile (about 80% at the detector edges; with energies\n"
    "its flux falls by 8% from the lowest to the highest energy). BG holds dark counts around 100.\n"
    "The right ventricle (right of the centre in the slice) holds an absorber with an absorption\n"
    "edge: faint below the edge, bright above it. Without energies it is shown above its edge.\n"
    "\n"
    "Geometry: detector pixel x has its centre at x = 0, 1, ..., W-1. The rotation axis sits at\n"
    "  cor = (W - 1) / 2 + <cor-offset>\n"
    "which is the centre of rotation to give the reconstruction. The slice is upright when\n"
    "reconstructed with that value.\n"
    "\n"
    "--two-phase writes a XANES sample instead of the head: a matrix disc holding three discs, two\n"
    "Fe phases with edges at 7122 and 7126 eV (an arctangent step plus a white line 3 eV above the\n"
    "edge) and their 30/70 mixture, each with an edge step of 0.02 per pixel; without --energies\n"
    "it is taken at 40 energies from 7050 to 7300 eV, dense across the edges. The normalised\n"
    "spectra of the two pure phases go into phase1.txt and phase2.txt (energy in eV and normalised\n"
    "mu per line), the references of a linear-combination fit.";

struct Parsed
{
    Phantom::Series series;
    QString error;
};

bool toInt(const QCommandLineParser &parser, const QString &name, int &value, QString &error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toInt(&ok);
    if (!ok)
        error = QStringLiteral("--%1 needs an integer, got '%2'").arg(name, parser.value(name));
    return ok;
}

bool toReal(const QCommandLineParser &parser, const QString &name, double &value, QString &error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        error = QStringLiteral("--%1 needs a number, got '%2'").arg(name, parser.value(name));
    return ok && std::isfinite(value);
}

bool toNoise(const QCommandLineParser &parser, double &photons, QString &error)
{
    const QString text = parser.value(QStringLiteral("noise"));
    if (!parser.isSet(QStringLiteral("noise")) || text.compare(QStringLiteral("off"), Qt::CaseInsensitive) == 0) {
        photons = 0.0;
        return true;
    }
    bool ok = false;
    photons = text.toDouble(&ok);
    if (!ok || !(photons > 0.0) || !std::isfinite(photons)) {
        error = QStringLiteral("--noise needs 'off' or a positive photon count, got '%1'").arg(text);
        return false;
    }
    return true;
}

bool toEnergies(const QCommandLineParser &parser, std::vector<double> &energies, QString &error)
{
    if (!parser.isSet(QStringLiteral("energies")))
        return true;
    const QStringList items = parser.value(QStringLiteral("energies")).split(QLatin1Char(','));
    for (const QString &item : items) {
        bool ok = false;
        const double eV = item.trimmed().toDouble(&ok);
        if (!ok) {
            error = QStringLiteral("--energies needs comma-separated numbers in eV, got '%1'").arg(item);
            return false;
        }
        energies.push_back(eV);
    }
    return true;
}

Parsed parse(const QCommandLineParser &parser)
{
    Parsed parsed;
    Phantom::Series &s = parsed.series;
    QString &error = parsed.error;
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return parsed;
    }
    bool ok = toInt(parser, QStringLiteral("width"), s.width, error)
              && toInt(parser, QStringLiteral("height"), s.height, error)
              && toInt(parser, QStringLiteral("projections"), s.projections, error)
              && toReal(parser, QStringLiteral("cor-offset"), s.corOffset, error)
              && toNoise(parser, s.noisePhotons, error)
              && toReal(parser, QStringLiteral("i0"), s.i0Peak, error)
              && toReal(parser, QStringLiteral("edge"), s.edgeEnergy, error)
              && toEnergies(parser, s.energies, error);
    if (ok && parser.isSet(QStringLiteral("seed"))) {
        s.seed = parser.value(QStringLiteral("seed")).toULongLong(&ok);
        if (!ok)
            error = QStringLiteral("--seed needs a non-negative integer, got '%1'")
                        .arg(parser.value(QStringLiteral("seed")));
    }
    if (!ok)
        return parsed;
    s.twoPhase = parser.isSet(QStringLiteral("two-phase"));
    if (s.twoPhase && s.energies.empty())
        s.energies = Phantom::xanesEnergies();
    s.folder = parser.value(QStringLiteral("out"));
    s.sample = parser.value(QStringLiteral("sample"));
    if (parser.isSet(QStringLiteral("edge")) && s.edgeEnergy <= 0.0)
        error = QStringLiteral("--edge needs a positive energy in eV");
    else
        error = Phantom::checkSeries(s);
    return parsed;
}

void warnIfTruncated(const Phantom::Series &s, QTextStream &err)
{
    const double cor = 0.5 * (s.width - 1) + s.corOffset;
    const double window = std::floor(std::min(cor, s.width - 1 - cor)) - 1.0;
    const double reach = (s.twoPhase ? Phantom::twoPhase(s.width, s.height) : Phantom::sheppLogan(s.width, s.height)).reach();
    if (reach > window)
        err << "zorvel-phantom: warning: the sample reaches " << QString::number(reach, 'g', 6)
            << " pixels from the axis, the detector only " << QString::number(window, 'g', 6)
            << " on its shorter side; reconstructions around this cor will be truncated" << Qt::endl;
}

// Image files of an earlier run left in the folder would be loaded with this series.
void warnAboutOtherImages(const QString &folder, const QStringList &written, QTextStream &err)
{
    const QDir dir(folder);
    QStringList others;
    for (const QString &name : dir.entryList({QStringLiteral("*.img")}, QDir::Files, QDir::Name))
        if (!written.contains(dir.filePath(name)))
            others << name;
    if (!others.isEmpty())
        err << "zorvel-phantom: warning: " << others.size() << " other .img files in the folder (from an earlier run?), e.g. "
            << others.first() << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvel-phantom"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("width"), QStringLiteral("Detector width W in pixels (default 256)."), QStringLiteral("W"), QStringLiteral("256")},
        {QStringLiteral("height"), QStringLiteral("Detector height H in rows (default 8)."), QStringLiteral("H"), QStringLiteral("8")},
        {QStringLiteral("projections"), QStringLiteral("Number M of projections over 180 degrees (default 180)."), QStringLiteral("M"), QStringLiteral("180")},
        {QStringLiteral("cor-offset"), QStringLiteral("Rotation axis position relative to the detector centre (W-1)/2, in pixels, fractions allowed (default 0)."), QStringLiteral("pixels"), QStringLiteral("0")},
        {QStringLiteral("noise"), QStringLiteral("'off' (default) or the photons counted at the I0 peak: Poisson noise of that many photons, scaled back to counts."), QStringLiteral("off|photons"), QStringLiteral("off")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the noise (default 1); the same seed gives the same files."), QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("out"), QStringLiteral("Output folder, created when missing (default 'phantom')."), QStringLiteral("folder"), QStringLiteral("phantom")},
        {QStringLiteral("sample"), QStringLiteral("Sample part of the projection file names (default 'phantom')."), QStringLiteral("name"), QStringLiteral("phantom")},
        {QStringLiteral("energies"), QStringLiteral("Comma-separated X-ray energies in eV, e.g. 7100,7112.5,7130: one data set per energy."), QStringLiteral("list")},
        {QStringLiteral("edge"), QStringLiteral("Absorption edge of the absorber in eV (default 7112, the Fe K edge, when inside the energy range, else the middle of the range)."), QStringLiteral("eV")},
        {QStringLiteral("i0"), QStringLiteral("I0 counts at the beam maximum, 200 to 60000 (default 30000)."), QStringLiteral("counts"), QStringLiteral("30000")},
        {QStringLiteral("two-phase"), QStringLiteral("The two-phase XANES sample (two Fe phases and their mixture) instead of the head.")},
    });
    parser.process(app);

    QTextStream err(stderr);
    const Parsed parsed = parse(parser);
    if (!parsed.error.isEmpty()) {
        err << "zorvel-phantom: " << parsed.error << Qt::endl;
        return 1;
    }
    const Phantom::Series &series = parsed.series;
    warnIfTruncated(series, err);
    QStringList written;
    if (!Phantom::writeSeries(series, &written)) {
        err << "zorvel-phantom: can not write the series into " << series.folder << Qt::endl;
        return 1;
    }
    warnAboutOtherImages(series.folder, written, err);
    const double cor = 0.5 * (series.width - 1) + series.corOffset;
    QTextStream out(stdout);
    out << "zorvel-phantom: wrote " << written.size() << " files to "
        << QDir::toNativeSeparators(QDir(series.folder).absolutePath()) << " (" << series.width << " x "
        << series.height << " pixels, " << series.projections << " projections";
    if (series.twoPhase)
        out << " at " << series.energies.size() << " energies, two Fe phases";
    else if (!series.energies.empty())
        out << " at " << series.energies.size() << " energies, edge "
            << QString::number(Phantom::seriesEdgeEnergy(series), 'g', 6) << " eV";
    out << ", cor " << QString::number(cor, 'g', 6) << ")" << Qt::endl;
    return 0;
}
