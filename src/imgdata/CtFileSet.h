#pragma once

#include "DataSetName.h"

#include <QFileInfo>
#include <QObject>

#include <memory>
#include <vector>

// One data set of a measurement directory: a run of consecutive files whose names
// share one key (sample-energy), first file first, in directory order.
class CtFileSet : public QObject
{
    Q_OBJECT
public:
    explicit CtFileSet(QObject *parent = nullptr);

    // Starts the set again with fileInfo alone; its name fixes the set's key,
    // sample and energy.
    void setFirst(const QFileInfo &fileInfo);
    void append(const QFileInfo &fileInfo);

    const QString &name() const { return firstName; }
    const QString &key() const { return parts.key; }
    const QString &sample() const { return parts.sample; }
    const QString &energyText() const { return parts.energyText; }
    double energy() const { return parts.energy; }
    double unitScale() const { return parts.unitScale; }
    const QString &unit() const { return parts.unit; }
    double energyInEv() const { return parts.energyInEv(); }
    const QFileInfoList &files() const { return fileInfos; }

private:
    QString firstName;
    DataSetName parts;
    QFileInfoList fileInfos;
};

// Groups files (a whole series in one file is a set of its own) (sorted by name) into sets: each run of consecutive names with the
// same key (exact, case-sensitive) becomes one set.
std::vector<std::unique_ptr<CtFileSet>> groupIntoFileSets(const QFileInfoList &files);
