#include "Slurm.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

namespace {

// Submitting answers within seconds; a controller that does not answer in this time is
// as good as absent.
constexpr int submitMs = 120 * 1000;

QString firstLine(const QByteArray &text)
{
    return QString::fromUtf8(text).trimmed().section(QLatin1Char('\n'), 0, 0);
}

} // namespace

QString Slurm::sbatch(const QStringList &arguments, QString &error, int &exitStatus)
{
    QProcess process;
    process.start(QStringLiteral("sbatch"), arguments);
    if (!process.waitForStarted()) {
        error = QStringLiteral("Cannot start sbatch: %1").arg(process.errorString());
        return QString();
    }
    // With --wait sbatch returns when the job has ended, however long that takes.
    const bool waits = arguments.contains(QStringLiteral("--wait"));
    if (!process.waitForFinished(waits ? -1 : submitMs)) {
        process.kill();
        process.waitForFinished();
        error = QStringLiteral("sbatch did not answer within %1 s").arg(submitMs / 1000);
        return QString();
    }
    const QByteArray out = process.readAllStandardOutput();
    exitStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    static const QRegularExpression jobId(QStringLiteral("^(\\d+)(;\\S*)?$"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = jobId.match(QString::fromUtf8(out));
    if (!match.hasMatch()) {
        const QString said = firstLine(process.readAllStandardError());
        error = QStringLiteral("sbatch refused the job (exit status %1)%2").arg(exitStatus).arg(said.isEmpty() ? QString() : QStringLiteral(": ") + said);
        return QString();
    }
    return match.captured(1);
}

bool Slurm::scancel(const QString &jobId)
{
    QProcess process;
    process.start(QStringLiteral("scancel"), {jobId});
    return process.waitForFinished(submitMs) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

Slurm::Submitted Slurm::submitNight(const QString &jobDir, const QString &workDir, bool wait)
{
    Submitted night;
    const QDir dir(jobDir);
    int status = 0;
    night.arrayId = sbatch({QStringLiteral("--parsable"), QStringLiteral("--chdir=") + workDir,
                            QStringLiteral("--output=") + dir.filePath(QStringLiteral("logs/set-%a.log")), dir.filePath(QStringLiteral("array.sh"))},
                           night.error, status);
    if (night.arrayId.isEmpty())
        return night;
    QStringList summary{QStringLiteral("--parsable"), QStringLiteral("--dependency=afterany:") + night.arrayId,
                        QStringLiteral("--chdir=") + workDir, QStringLiteral("--output=") + dir.filePath(QStringLiteral("logs/summary.log"))};
    if (wait)
        summary << QStringLiteral("--wait");
    night.summaryId = sbatch(summary << dir.filePath(QStringLiteral("summary.sh")), night.error, night.summaryStatus);
    if (night.summaryId.isEmpty()) {
        night.error += scancel(night.arrayId) ? QStringLiteral("; the array job %1 was cancelled").arg(night.arrayId)
                                              : QStringLiteral("; the array job %1 could not be cancelled, cancel it with scancel").arg(night.arrayId);
        return night;
    }
    night.ok = true;
    return night;
}
