#pragma once

#include "SaveSettings.h"
#include "SpectralStack.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// Saved results of a CT-XAFS sequence read back as spectral stacks: the run records
// (NAME-TAG-record.json) give each data set's energy and where its slices were saved; a
// slice is read from its float TIFF file (NAME-TAG-NNNNN.tif, exact values) when the run
// saved one, else from its data file (.dat, six digits).
class XanesResults
{
public:
    static constexpr qint64 maxRecordBytes = 4 * 1024 * 1024;
    static constexpr qint64 maxDataFileBytes = qint64(2) << 30;

    // What one record says.
    struct Record
    {
        QString file;
        double energy = 0.0;  // eV: the data set's energy, else the I0's; 0 unknown
        // Where the slices were saved: the float TIFF files when the run saved them, else the
        // data files (a folder left empty means the record's own).
        SaveSettings slices;
        bool floatTiff = false; // `slices` are float TIFF files
        SaveSettings data;    // the data files too, when the TIFF file of a slice is missing
        std::vector<int> reconstructed; // slices whose files were handed to the saver
    };
    // One energy of a stack: its record and the file of the slice.
    struct EnergySet
    {
        double energy = 0.0;
        QString record;
        QString sliceFile;
    };

    // Parses a record's bytes; false with a reason when it is no record of saved slices.
    static bool parseRecord(const QByteArray &json, const QString &file, Record *out, QString *why);
    // Every record in folder whose data name is `name` (empty: any), in energy order; sets
    // that lack the slice are left out with a line in *skipped. False (with a reason) when
    // no record is found or two sets share an energy.
    static bool collect(const QString &folder, const QString &name, int slice, std::vector<EnergySet> *sets,
                        QStringList *skipped, QString *why);

    // The file a set's slice is read from (folder: where the record is).
    static QString sliceFile(const Record &record, const QString &folder, int slice);
    // A data file's pixels: the image spans the smallest and largest x and z of its lines.
    static bool parseDataFile(const QByteArray &text, std::vector<float> *plane, int *width, int *height, QString *why);
    // A data file or a float TIFF file by its suffix.
    static bool readSlice(const QString &fileName, std::vector<float> *plane, int *width, int *height, QString *why);
    // A stack of these sets; every slice must have the same size.
    static bool buildStack(const std::vector<EnergySet> &sets, SpectralStack *stack, QString *why,
                           std::int64_t budgetBytes = SpectralStack::defaultBudgetBytes);
};
