#include "ItexWriter.h"

#include <QDebug>
#include <QFile>
#include <QtEndian>

bool ItexWriter::write(const QString &fileName, int width, int height, int bytesPerPixel,
                       const std::vector<quint32> &pixels, double exposureTime)
{
    if ((bytesPerPixel != 2 && bytesPerPixel != 4) || width < 1 || height < 1
        || pixels.size() != size_t(width) * size_t(height)) {
        qDebug() << "Can not write ITEX file with this geometry : " << fileName;
        return false;
    }
    const QByteArray comment = QString("Prop_ImageWidth=%1,Prop_ImageHeight=%2,BytesPerPixel=%3,"
                                       "Prop_ExposureTime1=%4,")
                                   .arg(width).arg(height).arg(bytesPerPixel)
                                   .arg(QString::number(exposureTime, 'g', 17))
                                   .toLatin1();
    QByteArray block(qsizetype(pixels.size()) * bytesPerPixel, '\0');
    uchar *out = reinterpret_cast<uchar *>(block.data());
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (bytesPerPixel == 2)
            qToLittleEndian<quint16>(quint16(pixels[i]), out + i * 2);
        else
            qToLittleEndian<quint32>(pixels[i], out + i * 4);
    }
    return writeRaw(fileName, comment, block);
}

bool ItexWriter::writeRaw(const QString &fileName, const QByteArray &comment, const QByteArray &pixelBytes)
{
    if (comment.size() > 0xFFFF) {
        qDebug() << "ITEX comment too long : " << fileName;
        return false;
    }
    QByteArray header(64, '\0');
    header[0] = 'I';
    header[1] = 'M';
    qToLittleEndian<quint16>(quint16(comment.size()), header.data() + 2);
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qDebug() << "Can not open ITEX file to write" << fileName;
        return false;
    }
    const QByteArray all = header + comment + pixelBytes;
    if (f.write(all) != all.size()) {
        qDebug() << "Error on writing ITEX file" << fileName;
        return false;
    }
    return true;
}
