#include "NightPlan.h"

#include "DataSetList.h"
#include "DataSetName.h"
#include "FieldValue.h"
#include "ImgData.h"
#include "JobRecord.h"
#include "ResultFiles.h"
#include "TextLine.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

// Batch scripts of more are refused by the workbench itself.
constexpr qint64 maxScriptBytes = 4 * 1024 * 1024;

// Commands that run, move through or stop a sequence: each task adds its own, once.
const QStringList sequenceWords{"calc_exec", "seq_exec_calc", "seq_exec_set", "seq_exec_next", "seq_exec_dir",
                                "seq_exec_select", ":end", ":stop", ":goto"};

QStringList itemsOf(const QString &line)
{
    QStringList items;
    QString rest = removeComment(line);
    for (;;) {
        QString item;
        rest = nextItem(rest, item);
        if (item.isEmpty())
            return items;
        items << item;
    }
}

// Where the settings make a run save, as the auto_save_* lines leave it.
struct SaveTarget
{
    bool on = false;
    QString path;
    QString name;
};

QString absolute(const QString &path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

} // namespace

QString batchItem(const QString &text)
{
    return text.isEmpty() || text.contains(QRegularExpression(QStringLiteral("[\\s#']"))) ? QLatin1Char('"') + text + QLatin1Char('"') : text;
}

bool writeFileAtomically(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    qDebug() << "Failed to write" << fileName;
    return false;
}

bool NightPlan::make(const NightOptions &given, QString &error)
{
    options = given;
    options.dataDir = absolute(options.dataDir);
    options.i0Dir = absolute(options.i0Dir);
    options.bg = absolute(options.bg);
    planned.clear();
    for (const QString &path : {options.dataDir, options.i0Dir, options.bg, options.pattern, options.i0Pattern})
        if (path.contains(QLatin1Char('"'))) {
            error = QStringLiteral("A batch script cannot name %1: it holds a double quote").arg(path);
            return false;
        }
    return readSettings(error) && listSets(error);
}

bool NightPlan::readSettings(QString &error)
{
    QFile file(options.settingsScript);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxScriptBytes) {
        error = QStringLiteral("Cannot read the settings script %1 (or it is over 4 MB)").arg(options.settingsScript);
        return false;
    }
    settings = QString::fromUtf8(file.readAll());
    if (!settings.endsWith(QLatin1Char('\n')))
        settings += QLatin1Char('\n');
    for (const QString &line : settings.split(QLatin1Char('\n'))) {
        const QStringList items = itemsOf(line);
        if (!items.isEmpty() && sequenceWords.contains(items.first(), Qt::CaseInsensitive)) {
            error = QStringLiteral("The settings script %1 holds \"%2\": give only settings, each set's job runs itself")
                        .arg(options.settingsScript, items.first());
            return false;
        }
    }
    return true;
}

bool NightPlan::listSets(QString &error)
{
    QStringList references;
    if (!options.bg.isEmpty()) {
        if (!openImgData(options.bg)) {
            error = QStringLiteral("The BG image cannot be read: %1").arg(options.bg);
            return false;
        }
        references << options.bg;
    }
    QVector<double> i0Energies;
    if (!options.i0Dir.isEmpty()) {
        i0Files = filesInDir(options.i0Dir, {options.i0Pattern});
        if (i0Files.isEmpty()) {
            error = QStringLiteral("No I0 files matching %1 in %2").arg(options.i0Pattern, options.i0Dir);
            return false;
        }
        for (const QString &file : std::as_const(i0Files))
            i0Energies << energyInEvOfName(file);
        references << i0Files;
    }
    const DataSetList list = options.kstStd ? DataSetList::ofFileRuns(options.dataDir, options.pattern, references)
                                            : DataSetList::ofSubDirs(options.dataDir);
    QStringList names;
    for (int i = 0; i < list.count(); ++i) {
        if (list.onlyReferences(i, references))
            continue;
        PlannedSet set{list.name(i), list.energy(i), QString(), QString()};
        if (!list.isFileRuns() && filesInDir(list.subDirPath(i), options.pattern.split(QRegularExpression(QStringLiteral("\\s+")))).isEmpty()) {
            error = QStringLiteral("Data set %1 holds no file matching %2").arg(set.name, options.pattern);
            return false;
        }
        if (!i0Files.isEmpty()) {
            set.i0 = i0Files[nearestEnergy(i0Energies, set.energy)];
            if (!openImgData(set.i0)) {
                error = QStringLiteral("Data set %1: its I0 image cannot be read: %2").arg(set.name, set.i0);
                return false;
            }
        }
        if (names.contains(set.name)) {
            error = QStringLiteral("Two data sets are named %1: their results would share one tag").arg(set.name);
            return false;
        }
        names << set.name;
        planned << set;
    }
    if (planned.isEmpty()) {
        error = QStringLiteral("No data sets in %1 (%2)").arg(options.dataDir, options.kstStd ? QStringLiteral("files %1").arg(options.pattern) : QStringLiteral("sub-directories"));
        return false;
    }
    setRecordFiles();
    return true;
}

// A run that saves leaves its record beside the data files, or the pictures when only
// those are saved, named after them and the set's tag.
void NightPlan::setRecordFiles()
{
    SaveTarget data, image;
    for (const QString &line : settings.split(QLatin1Char('\n'))) {
        const QStringList items = itemsOf(line);
        if (items.isEmpty())
            continue;
        const QString word = items.first().toLower();
        const QString arg = items.value(1);
        for (auto [target, prefix] : {std::pair{&data, QStringLiteral("auto_save_data")}, {&image, QStringLiteral("auto_save_image")}}) {
            if (word == prefix)
                target->on = intFieldValue(arg) == 1;
            else if (word == prefix + QStringLiteral("_path"))
                target->path = arg;
            else if (word == prefix + QStringLiteral("_name"))
                target->name = arg;
            else if (word == prefix + QStringLiteral("_clear"))
                target->path.clear();
        }
    }
    const SaveTarget &where = data.on ? data : image;
    for (PlannedSet &set : planned)
        set.record = where.on ? ResultFiles::fullPath(where.path, JobRecord::fileName(where.name, set.name)) : QString();
}

QString NightPlan::dataSetLines() const
{
    QString lines = QStringLiteral("# The data sets\nimages_new_on_load 1\n");
    if (!options.bg.isEmpty())
        lines += QStringLiteral("bg_load %1\n").arg(batchItem(options.bg));
    if (!options.i0Dir.isEmpty())
        lines += QStringLiteral("seq_exec_select_i0 %1 %2\n").arg(batchItem(options.i0Dir), batchItem(options.i0Pattern));
    lines += QStringLiteral("seq_exec_kst_std %1\n").arg(options.kstStd ? 1 : 0);
    lines += QStringLiteral("seq_exec_file_pattern %1\n").arg(batchItem(options.pattern));
    lines += QStringLiteral("seq_exec_dir %1\n").arg(batchItem(options.dataDir));
    return lines;
}

QString NightPlan::setScript(int k) const
{
    const PlannedSet &set = planned[k];
    return QStringLiteral("# Data set %1 of %2: %3 (%4 eV)%5\n")
               .arg(k + 1)
               .arg(planned.size())
               .arg(set.name, realFieldText(set.energy), set.i0.isEmpty() ? QString() : QStringLiteral(", I0 ") + set.i0)
           + settings + QStringLiteral("ct_threads %1\n").arg(options.cpus) + dataSetLines()
           + QStringLiteral("seq_exec_select %1\n:ifng :stop\nseq_exec_set\ncalc_exec\n").arg(batchItem(set.name));
}

QString NightPlan::sequenceScript() const
{
    return QStringLiteral("# The whole night as one sequence\n") + settings + QStringLiteral("ct_threads %1\n").arg(options.cpus)
           + dataSetLines() + QStringLiteral("seq_exec_calc\n");
}

QByteArray NightPlan::setsJson() const
{
    QJsonArray sets;
    for (const PlannedSet &set : planned)
        sets.append(QJsonObject{{"name", set.name}, {"energy_ev", set.energy}, {"i0", set.i0}, {"record", set.record}});
    return QJsonDocument(QJsonObject{{"data_folder", options.dataDir}, {"sets", sets}}).toJson();
}
