#include "JobScripts.h"

namespace {

QString limits(const ArrayOptions &options)
{
    QString lines = QStringLiteral("#SBATCH --cpus-per-task=%1\n").arg(options.cpus);
    for (const auto &[option, value] : {std::pair{QStringLiteral("partition"), options.partition}, {QStringLiteral("time"), options.time}, {QStringLiteral("mem"), options.memory}})
        if (!value.isEmpty())
            lines += QStringLiteral("#SBATCH --%1=%2\n").arg(option, value);
    return lines;
}

} // namespace

QString shellWord(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString arrayScript(const ArrayOptions &options)
{
    return QStringLiteral("#!/bin/bash\n"
                          "# Task k reconstructs data set k: zorvel without a window on set-k.zsc; its exit\n"
                          "# status is left in status/set-k.exit for the summary step.\n"
                          "#SBATCH --job-name=zorvel-night\n"
                          "#SBATCH --array=0-%1\n"
                          "%2"
                          "k=${SLURM_ARRAY_TASK_ID:?task index missing}\n"
                          "jobs=%3\n"
                          "cd %4 || exit 1\n"
                          "%5 -nw -q -e -b \"$jobs/set-$k.zsc\" -x\n"
                          "status=$?\n"
                          "echo \"$status\" > \"$jobs/status/set-$k.exit.part\" && mv \"$jobs/status/set-$k.exit.part\" \"$jobs/status/set-$k.exit\"\n"
                          "exit \"$status\"\n")
        .arg(options.setCount - 1)
        .arg(limits(options), shellWord(options.jobDir), shellWord(options.workDir), shellWord(options.zorvel));
}

QString summaryScript(const ArrayOptions &options)
{
    return QStringLiteral("#!/bin/bash\n"
                          "# The night's summary, after every task of the array has ended.\n"
                          "#SBATCH --job-name=zorvel-night-summary\n"
                          "%1"
                          "cd %2 || exit 1\n"
                          "exec %3 --summarize %4\n")
        .arg(options.partition.isEmpty() ? QString() : QStringLiteral("#SBATCH --partition=%1\n").arg(options.partition),
             shellWord(options.workDir), shellWord(options.submit), shellWord(options.jobDir));
}
