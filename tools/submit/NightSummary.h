#pragma once

#include "NightPlan.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// The night's summary from what its tasks left in the job folder: every set's exit
// status and the record of its run. A set is done when its task ended with status 0 and
// its record (when its settings save) says every slice was reconstructed.
struct SliceCounts
{
    bool read = false; // a record with a list of slices
    int reconstructed = 0;
    int failed = 0;
};

// The readers of what tasks wrote (sizes are bounded by the callers).
QVector<PlannedSet> setsOfJson(const QByteArray &json, bool &ok);
SliceCounts slicesOfRecord(const QByteArray &json);
// The exit status in a status file; -1 when it holds no number.
int exitStatusOf(const QByteArray &text);

struct NightSummary
{
    QStringList lines;    // one per set, then the night's
    QStringList failedSets;

    // Reads jobDir; false when its list of sets cannot be read (`lines` says why).
    bool summarize(const QString &jobDir);
};
