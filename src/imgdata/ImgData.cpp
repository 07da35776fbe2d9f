#include "ImgData.h"

#include "ImgDataITEX.h"
#include "ImgDataTiff.h"
#include "RowCache.h"

#include <QDebug>

#include <algorithm>
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
        if (!isStreamed() && !load()) {
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

bool ImgData::probe(const QString &name)
{
    fileName = name;
    return readProps(name, width, height);
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

void ImgData::streamThrough(std::shared_ptr<RowCache> cache, int rows)
{
    rowCache = std::move(cache);
    blockRows = std::max(rows, 1);
    imageNumber = RowCache::newImage();
}

bool ImgData::readRows(int, int count, double *out) const
{
    std::fill_n(out, qint64(count) * width, 0.0);
    return false;
}

double *ImgData::streamedLine(int y, double *buffer) const
{
    if (y < 0 || y >= height)
        return buffer;
    const int block = y / blockRows, first = block * blockRows;
    const RowCache::Rows rows = rowCache->rows(imageNumber, block, [&] {
        const int count = std::min(blockRows, height - first);
        std::vector<double> values(size_t(count) * size_t(width));
        readRows(first, count, values.data());
        ++blockReads;
        return values;
    });
    const double *row = rows->data() + size_t(y - first) * size_t(width);
    std::copy_n(row, width, buffer);
    return buffer;
}

double *ImgData::streamedColumn(int x, double *buffer) const
{
    if (x < 0 || x >= width)
        return buffer;
    std::vector<double> row(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y)
        buffer[y] = streamedLine(y, row.data())[x];
    return buffer;
}

std::vector<double> ImgData::wholeImage() const
{
    std::vector<double> all;
    try {
        all.resize(size_t(width) * size_t(height));
    } catch (const std::bad_alloc &) {
        qDebug() << "Not enough memory to read the whole image" << fileName;
        return all;
    }
    readRows(0, height, all.data());
    ++blockReads;
    return all;
}

void ImgData::calcMinMax()
{
    if (isStreamed()) {
        calcMinMax(wholeImage());
        return;
    }
    min = std::numeric_limits<double>::max();
    max = -std::numeric_limits<double>::max();
    for (int y = 0; y < height; ++y)
        widenRange(line(y, lineBuf.data()), width);
    closeRange();
}

void ImgData::calcMinMax(const std::vector<double> &whole)
{
    min = std::numeric_limits<double>::max();
    max = -std::numeric_limits<double>::max();
    widenRange(whole.data(), qint64(whole.size()));
    closeRange();
}

void ImgData::widenRange(const double *values, qint64 count)
{
    for (qint64 i = 0; i < count; ++i) {
        // A NaN or infinite pixel would make the whole range (and every colour) meaningless.
        if (!std::isfinite(values[i]))
            continue;
        if (values[i] < min)
            min = values[i];
        if (values[i] > max)
            max = values[i];
    }
}

void ImgData::closeRange()
{
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
