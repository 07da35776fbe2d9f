#include "DataSaver.h"

#include "SavingData.h"
#include "SavingImg.h"
#include "ThreadHandoff.h"

#include <QDebug>
#include <QFileInfo>
#include <QSaveFile>

bool DataSaver::writeData(const SavingData &data)
{
    // QSaveFile writes a temporary file beside the target and renames it on commit,
    // so a reader never sees a half-written file and a failed write leaves none.
    QSaveFile file(data.fileName);
    const bool written = file.open(QIODevice::WriteOnly)
                         && file.write(data.data) == data.data.size() && file.commit();
    if (!written)
        qDebug() << "Failed to write the data file" << data.fileName;
    return written;
}

bool DataSaver::writeImage(const SavingImg &img)
{
    QSaveFile file(img.fileName);
    const QByteArray format = QFileInfo(img.fileName).suffix().toLatin1();
    const bool written = file.open(QIODevice::WriteOnly)
                         && img.image.save(&file, format.isEmpty() ? nullptr : format.constData())
                         && file.commit();
    if (!written)
        qDebug() << "Failed to save the image" << img.fileName;
    return written;
}

void DataSaver::saveDataWDiscard(SavingData *data)
{
    ThreadHandoff::take(data);
    saveData(data);
    delete data;
}

void DataSaver::saveData(SavingData *data)
{
    if (data)
        writeData(*data);
}

void DataSaver::saveImgWDiscard(SavingImg *img)
{
    ThreadHandoff::take(img);
    if (img)
        writeImage(*img);
    delete img;
}
