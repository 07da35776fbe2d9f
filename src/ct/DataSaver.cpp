#include "DataSaver.h"

#include "SaveBudget.h"
#include "SavingData.h"
#include "SavingImg.h"
#include "ThreadHandoff.h"

#include <QBuffer>
#include <QDebug>
#include <QFileInfo>
#include <QSaveFile>

#include <atomic>

#include <unistd.h>

namespace {

bool fdatasyncSucceeds(int fd)
{
    return ::fdatasync(fd) == 0;
}

std::atomic<DataSaver::SyncFunction> syncFunction{fdatasyncSucceeds};

const char *const imageFailure = "Failed to save the image";
const char *const dataFailure = "Failed to write the data file";
const char *const tiffFailure = "Failed to write the TIFF slice";

} // namespace

void DataSaver::setSyncFunction(SyncFunction sync)
{
    syncFunction = sync ? sync : fdatasyncSucceeds;
}

// QSaveFile ignores a failed flush before it renames, so a disk that reports an error
// only there would still leave the file under its final name: flush and check first.
bool DataSaver::commitFlushed(QSaveFile &file)
{
    if (!file.flush() || !syncFunction.load()(file.handle())) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

bool DataSaver::writeFile(const QString &fileName, const QByteArray &bytes, const char *failure)
{
    // The temporary file beside the target is renamed only after everything reached the
    // disk, so a reader never sees a half-written file and a failed write leaves none.
    QSaveFile file(fileName);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && commitFlushed(file);
    if (!written)
        qDebug() << failure << fileName;
    return written;
}

bool DataSaver::writeData(const SavingData &data)
{
    const QString suffix = QFileInfo(data.fileName).suffix().toLower();
    const char *failure = suffix == QLatin1String("png") ? imageFailure : suffix == QLatin1String("tif") ? tiffFailure : dataFailure;
    return writeFile(data.fileName, data.data, failure);
}

QByteArray DataSaver::encodePng(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "png"))
        return {};
    return bytes;
}

bool DataSaver::writeImage(const SavingImg &img)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    const QByteArray format = QFileInfo(img.fileName).suffix().toLatin1();
    if (img.image.isNull() || !buffer.open(QIODevice::WriteOnly)
        || !img.image.save(&buffer, format.isEmpty() ? nullptr : format.constData())) {
        qDebug() << imageFailure << img.fileName;
        return false;
    }
    return writeFile(img.fileName, bytes, imageFailure);
}

void DataSaver::saveDataWDiscard(SavingData *data)
{
    ThreadHandoff::take(data);
    saveData(data);
    if (data && budget)
        budget->giveBack(data->data.size());
    delete data;
}

void DataSaver::saveData(SavingData *data)
{
    if (!data)
        return;
    emit fileSaved(data->fileName, writeData(*data));
}

void DataSaver::saveRecord(QString fileName, QByteArray bytes)
{
    emit fileSaved(fileName, writeFile(fileName, bytes, "Failed to write the record"));
}

void DataSaver::saveImgWDiscard(SavingImg *img)
{
    ThreadHandoff::take(img);
    if (img)
        emit fileSaved(img->fileName, writeImage(*img));
    delete img;
}
