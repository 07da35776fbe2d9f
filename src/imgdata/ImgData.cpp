#include "ImgData.h"

#include "ImgDataITEX.h"
#include "ImgDataTiff.h"

#include <QDebug>

#include <cmath>
#include <new>

int fileType(const QString &fileName)
{
    if (isTIFFFile(fileName))
        return ImgTypeTIFF;
    if (isITEXFile(fileName))
        return ImgTypeITEX;
    qDebug() << "Unknown file type : " << fileName;
    return ImgTypeUnknown;
}

ImgData *newImgData(int type)
{
    switch (type) {
    case ImgTypeITEX:
        return new ImgDataITEX;
    case ImgTypeTIFF:
        return new ImgDataTiff;
    default:
        return nullptr;
    }
}

std::unique_ptr<ImgData> openImgData(const QString &fileName)
{
    std::unique_ptr<ImgData> reader(newImgData(fileType(fileName)));
    if (!reader)
        return nullptr;
    reader->setFileName(fileName);
    if (!reader->open())
        return nullptr;
    return reader;
}

bool ImgData::open()
{
    valid = false;
    if (!readProps(fileName, width, height))
        return false;
    minMaxValid = false;
    min = std::numeric_limits<double>::max();
    max = 0.0;
    // Sides are bounded by readProps, so every size here fits; the memory itself may not.
    try {
        if (!load()) {
            qDebug() << "Can not open ImgData" << fileName;
            return false;
        }
        lineBuf.assign(size_t(width), 0.0);
        columnBuf.assign(size_t(height), 0.0);
    } catch (const std::bad_alloc &) {
        qDebug() << "Not enough memory to load" << fileName;
        return false;
    }
    valid = true;
    return true;
}

bool ImgData::sidesAccepted(qint64 w, qint64 h, const QString &name)
{
    if (w >= 1 && h >= 1 && w <= maxImageSide && h <= maxImageSide)
        return true;
    qDebug() << qUtf8Printable(QString("Image size %1 x %2 is outside 1 ... %3 pixels a side : ")
                                   .arg(w).arg(h).arg(maxImageSide))
             << name;
    return false;
}

void ImgData::calcMinMax()
{
    min = std::numeric_limits<double>::max();
    max = -std::numeric_limits<double>::max();
    for (int y = 0; y < height; ++y) {
        const double *row = line(y, lineBuf.data());
        for (int x = 0; x < width; ++x) {
            // A NaN or infinite pixel would make the whole range (and every colour) meaningless.
            if (!std::isfinite(row[x]))
                continue;
            if (row[x] < min)
                min = row[x];
            if (row[x] > max)
                max = row[x];
        }
    }
    if (min > max)
        min = max = 0.0;
    minMaxValid = true;
}

void ImgData::minMax(double &minValue, double &maxValue)
{
    if (!valid) {
        minValue = 0.0;
        maxValue = 0.0;
        return;
    }
    if (!minMaxValid)
        calcMinMax();
    minValue = min;
    maxValue = max;
}
