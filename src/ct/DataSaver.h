#pragma once

#include "SavingData.h"
#include "SavingImg.h"

#include <QObject>

// Writes result files on a thread of its own, so that the workers never wait for the
// disk. Records arrive through queued signals and are handled one at a time, in the
// order each sender emitted them. Every file is written atomically (complete or not
// at all); a file that cannot be written gives one debug line and no file.
//
// Run it on a DrainingThread: records already queued when the application quits are
// still written before the thread ends.
class DataSaver : public QObject
{
    Q_OBJECT
public:
    explicit DataSaver(QObject *parent = nullptr) : QObject(parent) {}

    // Writes data with a single write call; false (with a debug line) on failure.
    static bool writeData(const SavingData &data);
    static bool writeImage(const SavingImg &img);

public slots:
    // Writes the file and deletes data.
    void saveDataWDiscard(SavingData *data);
    // Writes the file; the caller keeps data.
    void saveData(SavingData *data);
    // Saves the image and deletes img.
    void saveImgWDiscard(SavingImg *img);
};
