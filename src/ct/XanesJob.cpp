#include "XanesJob.h"

#include "DataSaver.h"
#include "FloatTiffWriter.h"
#include "XanesAlign.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

QString baseName(const XanesRequest &request)
{
    return (request.name.isEmpty() ? QStringLiteral("maps") : request.name) + QStringLiteral("-xanes");
}

int nearestEnergyIndex(const std::vector<double> &energies, double energy)
{
    if (energy <= 0.0)
        return int(energies.size()) - 1;
    int best = 0;
    for (int k = 1; k < int(energies.size()); ++k)
        if (std::abs(energies[size_t(k)] - energy) < std::abs(energies[size_t(best)] - energy))
            best = k;
    return best;
}

bool stackOf(const XanesRequest &request, int slice, SpectralStack *stack, QStringList *skipped, QString *why)
{
    if (request.fromSequence) {
        if (request.sequence)
            return request.sequence->stackOf(slice, stack, why);
        *why = QStringLiteral("Spectral stack: no sequence has run");
        return false;
    }
    std::vector<XanesResults::EnergySet> sets;
    return XanesResults::collect(request.resultsFolder, request.name, slice, &sets, skipped, why)
           && XanesResults::buildStack(sets, stack, why, request.budgetBytes);
}

QJsonArray regionList(const std::vector<XanesRegion> &regions)
{
    QJsonArray list;
    for (const XanesRegion &r : regions)
        list.append(QJsonArray{r.x0, r.z0, r.x1, r.z1});
    return list;
}

QJsonObject settingsObject(const XanesRequest &r)
{
    const XanesSettings &s = r.settings;
    return QJsonObject{{"e0", s.e0}, {"pre1", s.pre1}, {"pre2", s.pre2}, {"norm1", s.norm1}, {"norm2", s.norm2},
                       {"post_degree", s.postDegree}, {"step_threshold", s.stepThreshold},
                       {"references", QJsonArray::fromStringList(r.referenceFiles)},
                       {"reference_regions", regionList(r.referenceRegions)}, {"fit_min", r.fit.emin},
                       {"fit_max", r.fit.emax}, {"sum_to_one", r.fit.sumToOne}, {"align", r.align}};
}

// One slice: stack, maps, fit, files. False (with its line) when the slice fails.
class SliceRun
{
public:
    SliceRun(const XanesRequest &request, const std::vector<XanesReference> &references, XanesOutcome &outcome)
        : req(request), refs(references), out(outcome)
    {
    }

    bool run(int slice, QJsonObject &entry)
    {
        XanesSlice computed;
        QStringList skipped;
        QString why;
        const bool ok = XanesJob::computeSlice(req, refs, slice, &computed, &skipped, &why);
        for (const QString &line : skipped)
            qDebug().noquote() << line;
        out.energiesSkipped += int(skipped.size());
        if (!ok)
            return fail(slice, why);
        const SpectralStack &stack = computed.stack;
        const XanesMaps &maps = computed.maps;
        QJsonArray energies;
        for (double e : stack.energies())
            energies.append(e);
        entry["energies_ev"] = energies;
        if (req.align)
            entry["shifts"] = shiftList(stack, computed.shifts);
        entry["step_threshold"] = maps.threshold;
        entry["masked_pixels"] = double(maps.maskedCount);
        const int w = stack.width(), h = stack.height();
        bool written = writeMap(slice, QStringLiteral("edge_step"), maps.edgeStep, w, h)
                       & writeMap(slice, QStringLiteral("e0"), maps.e0, w, h)
                       & writeMap(slice, QStringLiteral("white_line_energy"), maps.whiteLineEnergy, w, h)
                       & writeMap(slice, QStringLiteral("white_line_height"), maps.whiteLineHeight, w, h);
        if (computed.fitted) {
            const XanesFitMaps &fitted = computed.fitMaps;
            for (size_t r = 0; r < fitted.fractions.size(); ++r)
                written &= writeMap(slice, QStringLiteral("fraction_%1").arg(r + 1), fitted.fractions[r], w, h);
            written &= writeMap(slice, QStringLiteral("r_factor"), fitted.rFactor, w, h);
            written &= writeMap(slice, QStringLiteral("residual"), fitted.residual, w, h);
        }
        if (!req.spectra.empty()) {
            const QString csv = XanesJob::mapFile(req, slice, QStringLiteral("spectra"), QStringLiteral("csv"));
            const bool saved = DataSaver::writeFile(csv, XanesJob::spectraCsv(stack, *computed.normalize, computed.fitted ? &computed.fit : nullptr, req.spectra),
                                                    "Failed to write the spectra");
            written &= saved;
            note(saved, csv);
        }
        if (written)
            ++out.slicesDone;
        else
            ++out.slicesFailed;
        return written;
    }

private:
    bool fail(int slice, const QString &why)
    {
        qDebug().noquote() << QStringLiteral("XANES slice %1 failed: %2").arg(slice).arg(why);
        ++out.slicesFailed;
        return false;
    }

    static QJsonArray shiftList(const SpectralStack &stack, const std::vector<XanesAlign::Shift> &shifts)
    {
        QJsonArray list;
        for (size_t k = 0; k < shifts.size(); ++k)
            list.append(QJsonObject{{"energy_ev", stack.energies()[k]}, {"dx", shifts[k].dx}, {"dz", shifts[k].dz}});
        return list;
    }

    bool writeMap(int slice, const QString &map, const std::vector<float> &values, int w, int h)
    {
        const QString file = XanesJob::mapFile(req, slice, map);
        const bool ok = FloatTiffWriter::write(file, w, h, values.data());
        note(ok, file);
        return ok;
    }

    void note(bool ok, const QString &file)
    {
        if (ok)
            out.written.append(file);
        else
            ++out.filesFailed;
    }

    const XanesRequest &req;
    const std::vector<XanesReference> &refs;
    XanesOutcome &out;
};

} // namespace

bool XanesJob::readReferences(const XanesRequest &request, std::vector<XanesReference> *references, QString *why)
{
    const size_t given = size_t(request.referenceFiles.size()) + request.referenceRegions.size();
    if (given != 0 && (given < 2 || given > size_t(XanesFit::maxReferences))) {
        *why = QStringLiteral("Linear-combination fit: %1 references given, 2 to %2 are fitted").arg(given).arg(XanesFit::maxReferences);
        return false;
    }
    references->clear();
    for (const QString &file : request.referenceFiles) {
        XanesReference ref;
        if (!XanesReference::read(file, &ref, why))
            return false;
        references->push_back(std::move(ref));
    }
    return true;
}

bool XanesJob::regionReference(const SpectralStack &stack, const XanesNormalize &normalize, const XanesRegion &region,
                               XanesReference *reference, QString *why)
{
    const XanesCurve curve = normalize.curve(regionSpectrum(stack, region));
    reference->name = QStringLiteral("region %1 %2 %3 %4").arg(region.x0).arg(region.z0).arg(region.x1).arg(region.z1);
    if (!curve.valid) {
        *why = QStringLiteral("Reference %1 has no edge step").arg(reference->name);
        return false;
    }
    reference->energies = stack.energies();
    reference->values = curve.normalised;
    return true;
}

bool XanesJob::computeSlice(const XanesRequest &request, const std::vector<XanesReference> &references, int slice,
                            XanesSlice *out, QStringList *skipped, QString *why)
{
    out->slice = slice;
    if (!stackOf(request, slice, &out->stack, skipped, why))
        return false;
    if (request.align) {
        const int reference = nearestEnergyIndex(out->stack.energies(), request.alignEnergy);
        out->shifts = XanesAlign::estimate(out->stack, reference);
        XanesAlign::apply(out->stack, out->shifts);
    }
    out->normalize.emplace(out->stack.energies(), request.settings);
    std::vector<XanesReference> all = references;
    for (const XanesRegion &region : request.referenceRegions) {
        all.emplace_back();
        if (!regionReference(out->stack, *out->normalize, region, &all.back(), why))
            return false;
    }
    out->fitted = !all.empty();
    if (out->fitted && !out->fit.setup(out->stack.energies(), all, request.fit, why))
        return false;
    out->maps = out->normalize->maps(out->stack);
    if (out->fitted)
        out->fitMaps = out->fit.maps(out->stack, *out->normalize, out->maps);
    return true;
}

QString XanesOutcome::summary() const
{
    return QStringLiteral("XANES %1: %2 slices mapped, %3 slices failed, %4 energies skipped, %5 files not written")
        .arg(complete() ? QStringLiteral("done") : QStringLiteral("incomplete"))
        .arg(slicesDone).arg(slicesFailed).arg(energiesSkipped).arg(filesFailed);
}

QString XanesJob::mapFile(const XanesRequest &request, int slice, const QString &map, const QString &suffix)
{
    return QDir(request.outFolder)
        .filePath(QStringLiteral("%1-%2-%3.%4").arg(baseName(request)).arg(slice, 5, 10, QLatin1Char('0')).arg(map, suffix));
}

std::vector<double> XanesJob::regionSpectrum(const SpectralStack &stack, const XanesRegion &region)
{
    std::vector<double> sum(size_t(stack.count()), 0.0);
    std::vector<int> counts(sum.size(), 0);
    for (int z = std::max(region.z0, 0); z < std::min(region.z1, stack.height()); ++z)
        for (int x = std::max(region.x0, 0); x < std::min(region.x1, stack.width()); ++x) {
            const float *mu = stack.spectrum(std::int64_t(z) * stack.width() + x);
            for (size_t k = 0; k < sum.size(); ++k)
                if (std::isfinite(mu[k]))
                    sum[k] += mu[k], ++counts[k];
        }
    for (size_t k = 0; k < sum.size(); ++k)
        sum[k] = counts[k] ? sum[k] / counts[k] : std::nan("");
    return sum;
}

QByteArray XanesJob::spectraCsv(const SpectralStack &stack, const XanesNormalize &normalize, const XanesFit *fit,
                                const std::vector<XanesRegion> &regions)
{
    QByteArray csv = "region,energy_ev,mu,pre_edge,post_edge,normalised,fit\n";
    const auto real = [](double v) { return std::isfinite(v) ? QByteArray::number(v, 'g', 8) : QByteArray(); };
    for (const XanesRegion &r : regions) {
        const XanesCurve curve = normalize.curve(regionSpectrum(stack, r));
        std::vector<double> fitted;
        if (fit && curve.valid) {
            std::vector<double> y(curve.normalised.begin() + fit->windowBegin(), curve.normalised.begin() + fit->windowEnd());
            fitted = fit->curve(fit->fit(y.data()));
        }
        const QByteArray name = QStringLiteral("%1 %2 %3 %4").arg(r.x0).arg(r.z0).arg(r.x1).arg(r.z1).toLatin1();
        for (int k = 0; k < stack.count(); ++k) {
            const bool inFit = fit && !fitted.empty() && k >= fit->windowBegin() && k < fit->windowEnd();
            csv += name + ',' + real(stack.energies()[size_t(k)]) + ',' + real(curve.mu[size_t(k)]) + ','
                   + (curve.valid ? real(curve.pre[size_t(k)]) + ',' + real(curve.post[size_t(k)]) + ',' + real(curve.normalised[size_t(k)]) : QByteArray(",,"))
                   + ',' + (inFit ? real(fitted[size_t(k - fit->windowBegin())]) : QByteArray()) + '\n';
        }
    }
    return csv;
}

XanesOutcome XanesJob::run(const XanesRequest &request)
{
    XanesOutcome outcome;
    const QString problem = request.settings.check();
    std::vector<XanesReference> references;
    QString why = problem;
    if (!problem.isEmpty() || !QDir().mkpath(request.outFolder) || !readReferences(request, &references, &why)) {
        qDebug().noquote() << (why.isEmpty() ? QStringLiteral("Cannot create %1").arg(request.outFolder) : why);
        outcome.slicesFailed = std::max(1, request.sliceTo - request.sliceFrom + 1);
        return outcome;
    }
    SliceRun slices(request, references, outcome);
    QJsonArray entries;
    for (int slice = request.sliceFrom; slice <= request.sliceTo; ++slice) {
        QElapsedTimer timer;
        timer.start();
        QJsonObject entry{{"slice", slice}};
        entry["outcome"] = slices.run(slice, entry) ? "mapped" : "failed";
        entries.append(entry);
        qDebug().noquote() << QStringLiteral("XANES slice %1 %2 in %3 ms").arg(slice).arg(entry["outcome"].toString()).arg(timer.elapsed());
    }
    const QJsonObject record{{"results", request.fromSequence ? QStringLiteral("the running sequence") : request.resultsFolder}, {"name", request.name}, {"settings", settingsObject(request)},
                             {"slices", entries}, {"files", QJsonArray::fromStringList(outcome.written)}};
    const QString recordFile = QDir(request.outFolder).filePath(baseName(request) + QStringLiteral("-record.json"));
    if (!DataSaver::writeFile(recordFile, QJsonDocument(record).toJson(QJsonDocument::Indented), "Failed to write the record"))
        ++outcome.filesFailed;
    return outcome;
}
