// zorvel-xanes: chemical-state maps from the saved results of a CT-XAFS sequence and their
// run records, without the window.

#include "XanesJob.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDebug>
#include <QTextStream>

#include <cmath>

namespace {

const char *const kDescription =
    "Reads the slices a CT-XAFS sequence saved (data files, or float TIFF files beside them) and\n"
    "their run records (NAME-TAG-record.json, which give each data set's energy), stacks each\n"
    "slice over the energies, normalises every pixel's spectrum (pre-edge line over\n"
    "[E0+pre1, E0+pre2], post-edge polynomial over [E0+norm1, E0+norm2 or the last energy], edge\n"
    "step at E0, as Larch's pre_edge does), fits 2 to 4 reference spectra when given, and writes\n"
    "float TIFF maps into the output folder:\n"
    "  NAME-xanes-SSSSS-edge_step.tif, -e0.tif, -white_line_energy.tif, -white_line_height.tif,\n"
    "  -fraction_K.tif (K = 1.. in the order of --reference, then --reference-region), -r_factor.tif, -residual.tif,\n"
    "  -spectra.csv (with --spectrum), and NAME-xanes-record.json.\n"
    "Masked pixels (edge step below the threshold, NaN values) are NaN in every map but the\n"
    "edge step. The last line sums up; exit status 0 when everything was written, 1 on bad\n"
    "arguments, 2 when anything failed or an energy was left out.";

struct Options
{
    XanesRequest request;
    QString error;
};

bool real(const QCommandLineParser &parser, const char *name, double &value, QString &error)
{
    const QString key = QString::fromLatin1(name);
    if (!parser.isSet(key))
        return true;
    bool ok = false;
    value = parser.value(key).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        error = QStringLiteral("--%1 needs a number, got '%2'").arg(key, parser.value(key));
    return error.isEmpty();
}

bool integers(const QString &text, int count, std::vector<int> &values)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != count)
        return false;
    values.clear();
    for (const QString &part : parts) {
        bool ok = false;
        values.push_back(part.trimmed().toInt(&ok));
        if (!ok || values.back() < 0 || values.back() > SpectralStack::maxSide)
            return false;
    }
    return true;
}

bool slices(const QCommandLineParser &parser, XanesRequest &r, QString &error)
{
    const QString text = parser.value(QStringLiteral("slices"));
    const QStringList parts = text.split(QLatin1Char('-'));
    bool fromOk = false, toOk = parts.size() == 1;
    r.sliceFrom = parts.value(0).toInt(&fromOk);
    r.sliceTo = parts.size() == 2 ? parts.value(1).toInt(&toOk) : r.sliceFrom;
    if (!fromOk || !toOk || parts.size() > 2 || r.sliceFrom < 0 || r.sliceTo < r.sliceFrom || r.sliceTo - r.sliceFrom > 100000)
        error = QStringLiteral("--slices needs S or FROM-TO, got '%1'").arg(text);
    return error.isEmpty();
}

// The regions of an option: X,Z (one pixel) or X0,Z0,X1,Z1 (X1, Z1 past the last pixel).
bool regions(const QCommandLineParser &parser, const char *option, std::vector<XanesRegion> &out, QString &error)
{
    for (const QString &text : parser.values(QLatin1String(option))) {
        std::vector<int> v;
        if (integers(text, 2, v))
            out.push_back({v[0], v[1], v[0] + 1, v[1] + 1});
        else if (integers(text, 4, v) && v[0] < v[2] && v[1] < v[3])
            out.push_back({v[0], v[1], v[2], v[3]});
        else
            error = QStringLiteral("--%1 needs X,Z or X0,Z0,X1,Z1, got '%2'").arg(QLatin1String(option), text);
    }
    return error.isEmpty();
}

Options parse(const QCommandLineParser &parser)
{
    Options o;
    XanesRequest &r = o.request;
    r.resultsFolder = parser.value(QStringLiteral("results"));
    r.outFolder = parser.value(QStringLiteral("out"));
    r.name = parser.value(QStringLiteral("name"));
    r.referenceFiles = parser.values(QStringLiteral("reference"));
    r.fit.sumToOne = parser.isSet(QStringLiteral("sum-to-one"));
    r.align = parser.isSet(QStringLiteral("align"));
    double degree = r.settings.postDegree, threads = 0.0, memory = double(r.budgetBytes >> 20);
    const bool ok = slices(parser, r, o.error) && regions(parser, "spectrum", r.spectra, o.error)
                    && regions(parser, "reference-region", r.referenceRegions, o.error) && real(parser, "e0", r.settings.e0, o.error)
                    && real(parser, "pre1", r.settings.pre1, o.error) && real(parser, "pre2", r.settings.pre2, o.error)
                    && real(parser, "norm1", r.settings.norm1, o.error) && real(parser, "norm2", r.settings.norm2, o.error)
                    && real(parser, "degree", degree, o.error) && real(parser, "threshold", r.settings.stepThreshold, o.error)
                    && real(parser, "fit-min", r.fit.emin, o.error) && real(parser, "fit-max", r.fit.emax, o.error)
                    && real(parser, "align-energy", r.alignEnergy, o.error) && real(parser, "threads", threads, o.error)
                    && real(parser, "memory", memory, o.error);
    if (!ok)
        return o;
    r.settings.postDegree = int(degree);
    r.settings.threads = int(std::clamp(threads, 0.0, 256.0));
    r.budgetBytes = std::int64_t(std::clamp(memory, 1.0, 1048576.0)) << 20;
    if (r.resultsFolder.isEmpty() || r.outFolder.isEmpty())
        o.error = QStringLiteral("--results and --out are needed");
    else if (const size_t given = size_t(r.referenceFiles.size()) + r.referenceRegions.size();
             given != 0 && (given < 2 || given > size_t(XanesFit::maxReferences)))
        o.error = QStringLiteral("--reference and --reference-region are given 2 to 4 times together, got %1").arg(given);
    else if (degree != r.settings.postDegree)
        o.error = QStringLiteral("--degree needs 0, 1 or 2");
    else
        o.error = r.settings.check();
    return o;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvel-xanes"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("results"), QStringLiteral("Folder of the run records (and, usually, the data files)."), QStringLiteral("folder")},
        {QStringLiteral("name"), QStringLiteral("Data name of the results to take (default: every record's)."), QStringLiteral("name")},
        {QStringLiteral("slices"), QStringLiteral("Slice S or range FROM-TO (default 0)."), QStringLiteral("S|FROM-TO"), QStringLiteral("0")},
        {QStringLiteral("out"), QStringLiteral("Output folder of the maps, created when missing."), QStringLiteral("folder")},
        {QStringLiteral("e0"), QStringLiteral("E0 in eV for every pixel (default 0: each pixel's maximum of the smoothed derivative)."), QStringLiteral("eV")},
        {QStringLiteral("pre1"), QStringLiteral("Pre-edge range start relative to E0 (default -150)."), QStringLiteral("eV")},
        {QStringLiteral("pre2"), QStringLiteral("Pre-edge range end relative to E0 (default -30)."), QStringLiteral("eV")},
        {QStringLiteral("norm1"), QStringLiteral("Post-edge range start relative to E0 (default 50)."), QStringLiteral("eV")},
        {QStringLiteral("norm2"), QStringLiteral("Post-edge range end relative to E0 (default 0: the last energy)."), QStringLiteral("eV")},
        {QStringLiteral("degree"), QStringLiteral("Degree of the post-edge polynomial, 0 to 2 (default 1)."), QStringLiteral("n")},
        {QStringLiteral("threshold"), QStringLiteral("Smallest edge step of an unmasked pixel (default: 3 x the noise of the edge steps between neighbouring pixels)."), QStringLiteral("step")},
        {QStringLiteral("reference"), QStringLiteral("Reference spectrum (text: energy, normalised mu), 2 to 4 times."), QStringLiteral("file")},
        {QStringLiteral("reference-region"), QStringLiteral("Reference: the mean normalised spectrum of pixel X,Z or region X0,Z0,X1,Z1 of each slice; repeatable, with --reference 2 to 4 in all."), QStringLiteral("region")},
        {QStringLiteral("fit-min"), QStringLiteral("Fit window start in eV (default: the first energy)."), QStringLiteral("eV")},
        {QStringLiteral("fit-max"), QStringLiteral("Fit window end in eV (default: the last energy)."), QStringLiteral("eV")},
        {QStringLiteral("sum-to-one"), QStringLiteral("Constrain the fractions to sum to one.")},
        {QStringLiteral("align"), QStringLiteral("Align the energies by phase correlation before anything else.")},
        {QStringLiteral("align-energy"), QStringLiteral("Energy the others are aligned to (default: the highest)."), QStringLiteral("eV")},
        {QStringLiteral("spectrum"), QStringLiteral("Export the spectrum of pixel X,Z or the mean of region X0,Z0,X1,Z1 (x1, z1 exclusive); repeatable."), QStringLiteral("region")},
        {QStringLiteral("threads"), QStringLiteral("Threads (default: one per core)."), QStringLiteral("n")},
        {QStringLiteral("memory"), QStringLiteral("Largest stack in MB (default 4096)."), QStringLiteral("MB")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        QTextStream(stderr) << "zorvel-xanes: unexpected argument '" << parser.positionalArguments().first() << "'" << Qt::endl;
        return 1;
    }
    const Options options = parse(parser);
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << "zorvel-xanes: " << options.error << Qt::endl;
        return 1;
    }
    const XanesOutcome outcome = XanesJob::run(options.request);
    qDebug().noquote() << outcome.summary();
    return outcome.complete() ? 0 : 2;
}
