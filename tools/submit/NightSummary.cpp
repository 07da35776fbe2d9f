#include "NightSummary.h"

#include "FieldValue.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qint64 maxJsonBytes = 4 * 1024 * 1024;
constexpr qint64 maxStatusBytes = 32;
constexpr qint64 logTailBytes = 4096;

// At most `limit` bytes of the file from `from` bytes before its end (whole: from < 0);
// empty when it cannot be read.
QByteArray readBounded(const QString &fileName, qint64 limit, qint64 from = -1)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (from >= 0 && file.size() > from)
        file.seek(file.size() - from);
    return file.read(limit);
}

// The last line of a task's log that sums its job up ("Job done: ..." / "Job incomplete: ...").
QString jobLine(const QString &logFile)
{
    const QList<QByteArray> lines = readBounded(logFile, logTailBytes, logTailBytes).split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line)
        if (line->startsWith("Job "))
            return QString::fromUtf8(line->trimmed());
    return QString();
}

} // namespace

QVector<PlannedSet> setsOfJson(const QByteArray &json, bool &ok)
{
    QVector<PlannedSet> sets;
    const QJsonValue list = QJsonDocument::fromJson(json).object().value(QStringLiteral("sets"));
    ok = list.isArray();
    for (const QJsonValue &entry : list.toArray()) {
        const QJsonObject set = entry.toObject();
        // A set without a name cannot be reported: the list is not one this program wrote.
        ok = ok && set.value("name").isString();
        sets.append({set.value("name").toString(), set.value("energy_ev").toDouble(), set.value("i0").toString(), set.value("record").toString()});
    }
    if (!ok)
        sets.clear();
    return sets;
}

SliceCounts slicesOfRecord(const QByteArray &json)
{
    SliceCounts counts;
    const QJsonValue slices = QJsonDocument::fromJson(json).object().value(QStringLiteral("slices"));
    counts.read = slices.isArray();
    for (const QJsonValue &slice : slices.toArray()) {
        if (slice.toObject().value(QStringLiteral("outcome")).toString() == QLatin1String("reconstructed"))
            ++counts.reconstructed;
        else
            ++counts.failed;
    }
    return counts;
}

int exitStatusOf(const QByteArray &text)
{
    bool ok = false;
    const int status = text.trimmed().toInt(&ok);
    return ok && status >= 0 ? status : -1;
}

bool NightSummary::summarize(const QString &jobDir)
{
    const QDir dir(jobDir);
    bool ok = false;
    const QVector<PlannedSet> sets = setsOfJson(readBounded(dir.filePath(QStringLiteral("sets.json")), maxJsonBytes), ok);
    if (!ok) {
        lines << QStringLiteral("Cannot read the list of data sets %1").arg(dir.filePath(QStringLiteral("sets.json")));
        return false;
    }
    for (int k = 0; k < sets.size(); ++k) {
        const PlannedSet &set = sets[k];
        const QByteArray statusText = readBounded(dir.filePath(QStringLiteral("status/set-%1.exit").arg(k)), maxStatusBytes);
        const int status = exitStatusOf(statusText);
        const SliceCounts slices = set.record.isEmpty() ? SliceCounts{true, 0, 0} : slicesOfRecord(readBounded(set.record, maxJsonBytes));
        QStringList faults;
        if (status < 0)
            faults << QStringLiteral("its task left no exit status");
        else if (status != 0)
            faults << QStringLiteral("exit status %1").arg(status);
        if (!slices.read)
            faults << QStringLiteral("no record %1").arg(set.record);
        else if (slices.failed > 0)
            faults << QStringLiteral("%1 slices failed").arg(slices.failed);
        const QString job = jobLine(dir.filePath(QStringLiteral("logs/set-%1.log").arg(k)));
        QString line = QStringLiteral("Data set %1 (%2 eV): %3, %4 slices reconstructed")
                           .arg(set.name, realFieldText(set.energy), faults.isEmpty() ? QStringLiteral("done") : QStringLiteral("failed"))
                           .arg(slices.reconstructed);
        if (!faults.isEmpty()) {
            failedSets << set.name;
            line += QStringLiteral(": ") + faults.join(QStringLiteral(", ")) + (job.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(job));
        }
        lines << line;
    }
    lines << (failedSets.isEmpty() ? QStringLiteral("Night done: %1 data sets done, 0 failed").arg(sets.size())
                                   : QStringLiteral("Night incomplete: %1 data sets done, %2 failed: %3")
                                         .arg(sets.size() - failedSets.size())
                                         .arg(failedSets.size())
                                         .arg(failedSets.join(QStringLiteral(", "))));
    return true;
}
