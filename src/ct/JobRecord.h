#pragma once

#include "SliceJob.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// How a run's results were made, written beside them as a small JSON file: the
// program, the date, the inputs, the geometry, the mode, and each slice's outcome.
struct JobRecord
{
    QString program;  // name and version
    QDateTime started;
    int projectionCount = 0;
    QString firstProjection; // paths of the first and last file of the series
    QString lastProjection;
    QString i0;
    double i0Energy = 0.0; // eV, 0 when unknown
    QString bg;
    QString dataSet;  // the data set's name (the results' tag); empty outside a sequence
    double dataSetEnergy = 0.0;
    int sliceFrom = 0;
    int sliceTo = 0;
    int sliceStep = 1;
    std::shared_ptr<const RunSnapshot> run;
    std::vector<std::pair<int, bool>> slices; // slice, reconstructed (its files handed to the saver)

    QByteArray toJson() const;
    // The record's file name for results named `name` with `tag`: name-tag-record.json.
    static QString fileName(const QString &name, const QString &tag);
};
