#pragma once

#include <QString>
#include <QStringList>

// What a job (the runs, loads and data sets a script asked for) did, counted as it goes,
// for the last line of a headless job and its exit status: 0 only when everything asked
// for was done and written, 2 when anything failed. (1, a script that could not be run
// at all, is decided before a job starts.)
struct JobOutcome
{
    qint64 slicesDone = 0;   // reconstructed, their files handed to the saver
    qint64 slicesFailed = 0; // asked for but not reconstructed, or refused
    int setsDone = 0;
    int setsFailed = 0;
    int loadsFailed = 0;     // a load that found nothing or could not read a file
    QStringList filesFailed; // result files that could not be written
    int mapJobs = 0;         // chemical-state jobs (xanes_exec) run
    int mapJobsIncomplete = 0;

    bool everythingDone() const { return slicesFailed == 0 && setsFailed == 0 && loadsFailed == 0 && filesFailed.isEmpty()
                                  && mapJobsIncomplete == 0; }
    int exitStatus() const { return everythingDone() ? 0 : 2; }
    // Map jobs are named only when the script ran one, so other jobs' lines stay as they were.
    QString summary() const
    {
        const QString maps = mapJobs ? QStringLiteral(", %1 of %2 map jobs incomplete").arg(mapJobsIncomplete).arg(mapJobs) : QString();
        return QStringLiteral("%1: %2 slices written, %3 slices failed, %4 data sets done, %5 data sets failed, "
                              "%6 loads failed, %7 files not saved")
            .arg(everythingDone() ? QStringLiteral("Job done") : QStringLiteral("Job incomplete"))
            .arg(slicesDone)
            .arg(slicesFailed)
            .arg(setsDone)
            .arg(setsFailed)
            .arg(loadsFailed)
            .arg(filesFailed.size())
            + maps;
    }
};
