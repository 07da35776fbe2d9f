#pragma once

#include "SavingData.h"
#include "SavingImg.h"

#include <QObject>

#include <memory>

class QSaveFile;
class SaveBudget;

// Writes result files on a thread of its own, so that the workers never wait for the
// disk. Records arrive through queued signals and are handled one at a time, in the
// order each sender emitted them. Every file is written atomically: it appears under
// its name complete, flushed to the disk, or not at all; a file that cannot be written
// gives one debug line naming it, and fileSaved says which.
//
// Run it on a DrainingThread: records already queued when the application quits are
// still written before the thread ends.
class DataSaver : public QObject
{
    Q_OBJECT
public:
    explicit DataSaver(QObject *parent = nullptr) : QObject(parent) {}

    // The budget the senders of saveDataWDiscard reserve from; given back per record.
    void setBudget(std::shared_ptr<SaveBudget> shared) { budget = std::move(shared); }

    // Writes the bytes under fileName through a temporary file that is flushed to the
    // disk and renamed; false on any failure, leaving no file, with the debug line
    // `failure` and the file name.
    static bool writeFile(const QString &fileName, const QByteArray &bytes, const char *failure);
    // A data file, or a picture or TIFF slice already encoded (a ".png" or ".tif" name).
    static bool writeData(const SavingData &data);
    // Encodes the image in the format of the file name's suffix and writes it as above.
    static bool writeImage(const SavingImg &img);
    // The image as a PNG file's bytes; empty when it cannot be encoded.
    static QByteArray encodePng(const QImage &image);

    // Replaces the flush to the disk (fdatasync) for tests of a failing disk; nullptr
    // restores it.
    using SyncFunction = bool (*)(int fd);
    static void setSyncFunction(SyncFunction sync);

signals:
    // A record has been handled: written, or not (with the debug line).
    void fileSaved(QString fileName, bool ok);

public slots:
    // Writes the file, gives its size back to the budget and deletes data.
    void saveDataWDiscard(SavingData *data);
    // Writes the file; the caller keeps data.
    void saveData(SavingData *data);
    // Saves the image and deletes img.
    void saveImgWDiscard(SavingImg *img);
    // A small text beside the results (a run's record), outside the budget.
    void saveRecord(QString fileName, QByteArray bytes);

private:
    static bool commitFlushed(QSaveFile &file);

    std::shared_ptr<SaveBudget> budget;
};
