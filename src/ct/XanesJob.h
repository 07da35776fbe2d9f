#pragma once

#include "XanesAlign.h"
#include "XanesFit.h"
#include "XanesNormalize.h"
#include "XanesResults.h"
#include "SequenceStack.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

// A rectangle of slice pixels, x0 <= x < x1, z0 <= z < z1, whose mean spectrum is exported.
struct XanesRegion
{
    int x0 = 0, z0 = 0, x1 = 1, z1 = 1;
};

// Everything a chemical-state run needs: its stacks come from saved results, or from the
// planes a running sequence handed back (`sequence`, a copy that later sets do not change).
struct XanesRequest
{
    QString resultsFolder;  // where the run records are
    bool fromSequence = false; // the window fills `sequence` from the sequence that runs
    std::shared_ptr<const SequenceStack> sequence;
    QString name;           // data name of the results (empty: any)
    int sliceFrom = 0;
    int sliceTo = 0;        // inclusive
    QString outFolder;      // created when missing
    XanesSettings settings;
    // References: files, and regions of the slice whose mean normalised spectrum is one;
    // together none (no fit) or 2 to 4.
    QStringList referenceFiles;
    std::vector<XanesRegion> referenceRegions;
    XanesFitSettings fit;
    bool align = false;
    double alignEnergy = 0.0; // the energy the others are aligned to; 0: the highest
    std::vector<XanesRegion> spectra;
    std::int64_t budgetBytes = SpectralStack::defaultBudgetBytes;
};

struct XanesOutcome
{
    int slicesDone = 0;
    int slicesFailed = 0;
    int filesFailed = 0;
    int energiesSkipped = 0;
    QStringList written;
    bool complete() const { return slicesFailed == 0 && filesFailed == 0 && energiesSkipped == 0 && slicesDone > 0; }
    // "XANES done: ..." or "XANES incomplete: ...".
    QString summary() const;
};

// Everything computed for one slice: its stack (aligned when asked, with the shifts), the
// normalisation, the maps and, with references, the fit and its maps.
struct XanesSlice
{
    int slice = 0;
    SpectralStack stack;
    std::vector<XanesAlign::Shift> shifts;
    std::optional<XanesNormalize> normalize;
    XanesMaps maps;
    bool fitted = false;
    XanesFit fit;
    XanesFitMaps fitMaps;
};

// Slice by slice: the stack from saved results, optional alignment, normalisation, maps, the
// fit, and the maps written as float TIFF files, the spectra as CSV and a record of the run:
//   OUT/NAME-xanes-SSSSS-edge_step.tif, -e0.tif, -white_line_energy.tif, -white_line_height.tif,
//   -fraction_K.tif per reference (K from 1), -r_factor.tif, -residual.tif, -spectra.csv, and
//   OUT/NAME-xanes-record.json.
// Every problem is one debug line; nothing is half-written.
class XanesJob
{
public:
    static XanesOutcome run(const XanesRequest &request);
    // The reference files of a request; false with the reason of the first that cannot be
    // used, or when files and regions together are not none or 2 to 4.
    static bool readReferences(const XanesRequest &request, std::vector<XanesReference> *references, QString *why);
    // One slice computed from saved results (or the sequence's planes); energies left out are
    // named in *skipped. The references of the request's regions are added to `references`
    // once the slice is normalised. False
    // with a one-line reason when the slice cannot be mapped (nothing is then computed).
    static bool computeSlice(const XanesRequest &request, const std::vector<XanesReference> &references, int slice,
                             XanesSlice *out, QStringList *skipped, QString *why);
    // The CSV of the mean spectra of regions: "region,energy_ev,mu,pre_edge,post_edge,normalised,fit".
    static QByteArray spectraCsv(const SpectralStack &stack, const XanesNormalize &normalize, const XanesFit *fit,
                                 const std::vector<XanesRegion> &regions);
    // The mean normalised spectrum of a region as a reference; false with a reason when the
    // region has no edge step.
    static bool regionReference(const SpectralStack &stack, const XanesNormalize &normalize, const XanesRegion &region,
                                XanesReference *reference, QString *why);
    // The mean spectrum of a region (NaN pixels left out).
    static std::vector<double> regionSpectrum(const SpectralStack &stack, const XanesRegion &region);
    // File name of a map (or, with suffix csv, the spectra) of a slice.
    static QString mapFile(const XanesRequest &request, int slice, const QString &map,
                           const QString &suffix = QStringLiteral("tif"));
};
