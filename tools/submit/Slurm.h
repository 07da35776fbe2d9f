#pragma once

#include <QString>
#include <QStringList>

// sbatch and scancel through their command lines. A night is the array job and the
// final step that depends on it; when the second cannot be submitted the first is
// cancelled, so a night is either submitted whole or not at all.
class Slurm
{
public:
    struct Submitted
    {
        bool ok = false;
        QString arrayId;
        QString summaryId;
        int summaryStatus = 0; // with wait: the final step's exit status
        QString error;         // one line when not ok
    };

    // Submits jobDir/array.sh and jobDir/summary.sh (after every task, whatever their
    // end); with wait, returns when the final step has ended.
    static Submitted submitNight(const QString &jobDir, const QString &workDir, bool wait);

private:
    // The job id sbatch --parsable prints ("id" or "id;cluster"); empty when it refused.
    static QString sbatch(const QStringList &arguments, QString &error, int &exitStatus);
    static bool scancel(const QString &jobId);
};
