#pragma once

#include "CtFileSet.h"

#include <QFileInfo>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

// The data sets of a measurement directory as a sequence takes them, without widgets:
// one sub-directory per set, or ("KST Std.") runs of files named sample-energy-number in
// the directory itself. The data-set panel shows this list, and a cluster submission
// writes one job per entry of it, so both see the same sets, names and energies.
class DataSetList
{
public:
    // The runs of files of dir matching pattern, the reference files (absolute paths of
    // the I0 and BG images) left out. None: an empty list and one debug line.
    static DataSetList ofFileRuns(const QString &dir, const QString &pattern, const QStringList &references);
    // The sub-directories of dir by name.
    static DataSetList ofSubDirs(const QString &dir);

    bool isFileRuns() const { return fileRuns; }
    int count() const { return fileRuns ? int(sets.size()) : int(subDirNames.size()); }
    // The panel's entry: "1 : sample (7112.5[eV], 180)" or "1 : subdir".
    QString label(int i) const;
    // The tag of the set's results: its energy text, or sample-energy when the folder
    // holds more than one sample; a sub-directory's name.
    QString name(int i) const;
    // In eV; of a sub-directory its name's part after the last hyphen.
    double energy(int i) const;
    // A run of files every one of which is a reference file; never a sub-directory.
    bool onlyReferences(int i, const QStringList &references) const;
    // The files of a run (empty for a sub-directory).
    QFileInfoList files(int i) const;
    // dir/name of a sub-directory (empty for a run).
    QString subDirPath(int i) const;

private:
    bool fileRuns = false;
    QString folder;
    std::vector<std::unique_ptr<CtFileSet>> sets;
    QStringList subDirNames;
};

// The files of dir matching any of patterns, by name ignoring case, as absolute paths
// (how the file selectors list a folder).
QStringList filesInDir(const QString &dir, const QStringList &patterns);
// The index of the energy nearest to `energy` (the first of equals); -1 for none.
int nearestEnergy(const QVector<double> &energies, double energy);
