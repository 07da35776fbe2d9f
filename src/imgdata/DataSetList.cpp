#include "DataSetList.h"

#include "DataSetName.h"
#include "FieldValue.h"

#include <QDebug>
#include <QDir>

#include <algorithm>
#include <cmath>

namespace {

// A sample name repeated on consecutive entries is shown as blanks of its width.
constexpr int maxSampleBlanks = 101;

} // namespace

DataSetList DataSetList::ofFileRuns(const QString &dir, const QString &pattern, const QStringList &references)
{
    DataSetList list;
    list.fileRuns = true;
    list.folder = dir;
    QFileInfoList files = QDir(dir).entryInfoList({pattern}, QDir::Files, QDir::Name);
    files.removeIf([&references](const QFileInfo &file) { return references.contains(file.absoluteFilePath()); });
    if (files.isEmpty())
        qDebug() << "No files matching" << pattern << "in : " << dir;
    list.sets = groupIntoFileSets(files);
    return list;
}

DataSetList DataSetList::ofSubDirs(const QString &dir)
{
    DataSetList list;
    list.folder = dir;
    list.subDirNames = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    return list;
}

QString DataSetList::label(int i) const
{
    if (!fileRuns)
        return QStringLiteral("%1 : %2").arg(i + 1).arg(subDirNames[i]);
    const CtFileSet &fileSet = *sets[size_t(i)];
    QString sample = fileSet.sample();
    if (i > 0 && sample == sets[size_t(i) - 1]->sample())
        sample = QString(std::min<qsizetype>(sample.size(), maxSampleBlanks), QLatin1Char(' '));
    return QStringLiteral("%1 : %2 (%3[%4], %5)")
        .arg(i + 1)
        .arg(sample, realFieldText(fileSet.energy()), fileSet.unit())
        .arg(fileSet.files().size());
}

QString DataSetList::name(int i) const
{
    if (!fileRuns)
        return subDirNames[i];
    // Several samples at one energy would share a tag: then the sample goes with it.
    const CtFileSet &set = *sets[size_t(i)];
    const bool oneSample = std::all_of(sets.begin(), sets.end(), [&set](const auto &other) { return other->sample() == set.sample(); });
    return oneSample ? set.energyText() : set.key();
}

double DataSetList::energy(int i) const
{
    return fileRuns ? sets[size_t(i)]->energyInEv() : energyInEvOfFolder(subDirNames[i]);
}

bool DataSetList::onlyReferences(int i, const QStringList &references) const
{
    if (!fileRuns || references.isEmpty())
        return false;
    const QFileInfoList &files = sets[size_t(i)]->files();
    return std::all_of(files.begin(), files.end(), [&references](const QFileInfo &file) { return references.contains(file.absoluteFilePath()); });
}

QFileInfoList DataSetList::files(int i) const
{
    return fileRuns ? sets[size_t(i)]->files() : QFileInfoList();
}

QString DataSetList::subDirPath(int i) const
{
    // Qt takes '/' as the separator on every platform.
    return fileRuns ? QString() : folder + QLatin1Char('/') + subDirNames[i];
}

QStringList filesInDir(const QString &dir, const QStringList &patterns)
{
    QStringList files;
    const QFileInfoList entries = QDir(dir).entryInfoList(patterns, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries)
        files.append(entry.absoluteFilePath());
    return files;
}

int nearestEnergy(const QVector<double> &energies, double energy)
{
    if (energies.isEmpty())
        return -1;
    int nearest = 0;
    for (int i = 1; i < energies.size(); ++i)
        if (std::abs(energies[i] - energy) < std::abs(energies[nearest] - energy))
            nearest = i;
    return nearest;
}
