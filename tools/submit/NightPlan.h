#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// What a CT-XAFS night on a cluster is made of: the data sets of a folder, as the
// workbench's sequence lists them, and the options the sequence needs to load each one
// (naming mode, pattern, I0 files, BG image) on top of a script of reconstruction settings.
struct NightOptions
{
    QString dataDir;
    bool kstStd = false;         // runs of files sample-energy-number; else one sub-directory per set
    QString pattern = QStringLiteral("*.img");
    QString i0Dir;               // empty: no I0 images
    QString i0Pattern = QStringLiteral("*.img");
    QString bg;                  // empty: no BG image
    QString settingsScript;
    int cpus = 1;                // per task, and the CT2 workers of each run
};

struct PlannedSet
{
    QString name;     // the tag of its results
    double energy = 0.0;
    QString i0;       // the I0 image the sequence chooses for it (empty without I0 files)
    QString record;   // where its run leaves its record (empty when the settings save nothing)
};

class NightPlan
{
public:
    // The sets to reconstruct; false with `error` (one line) when the night cannot run:
    // no sets, a set without images, an I0 or BG image that cannot be read, unusable settings.
    bool make(const NightOptions &options, QString &error);

    const QVector<PlannedSet> &sets() const { return planned; }
    // Set k's script: the settings, the data-set options, the set chosen by its name and
    // loaded as the sequence loads it, then one run.
    QString setScript(int k) const;
    // The whole night as one sequence on this machine, for comparison.
    QString sequenceScript() const;
    // The list of sets as JSON, for the summary step.
    QByteArray setsJson() const;

private:
    bool readSettings(QString &error);
    bool listSets(QString &error);
    void setRecordFiles();
    QString dataSetLines() const;

    NightOptions options;
    QString settings;        // the settings script's text
    QStringList i0Files;
    QVector<PlannedSet> planned;
};

// Writes `bytes` to `fileName` atomically; false with one debug line when it cannot.
bool writeFileAtomically(const QString &fileName, const QByteArray &bytes);
// The text as one item of a batch line: in double quotes when it holds blanks or is empty.
QString batchItem(const QString &text);
