#pragma once

#include <QString>

// The shell scripts of a night: an array job whose task k runs the workbench without a
// window on the script of set k and leaves its exit status beside its log, and the final
// step that sums the night up. Both are plain bash scripts that sbatch reads (#SBATCH
// lines) and that run unchanged without SLURM.
struct ArrayOptions
{
    QString jobDir;     // absolute: scripts, logs and exit statuses
    QString workDir;    // absolute: where the tasks run (relative paths of the settings)
    QString zorvel;     // the workbench program
    QString submit;     // this program, for the summary step
    int setCount = 0;
    int cpus = 1;
    QString partition;  // empty: SLURM's default
    QString time;
    QString memory;
};

// Text of `text` as one shell word.
QString shellWord(const QString &text);
QString arrayScript(const ArrayOptions &options);
QString summaryScript(const ArrayOptions &options);
