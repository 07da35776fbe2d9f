#pragma once

#include <QByteArray>
#include <QString>

// A data file to be written by DataSaver: the absolute file name and the complete
// contents. Created by a worker, owned by the receiver of the signal that carries it.
struct SavingData
{
    QString fileName;
    QByteArray data;
};
