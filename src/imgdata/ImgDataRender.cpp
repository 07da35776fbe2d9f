// Rendering of measured images into grey pictures through a colour scale.
#include "ImgData.h"
#include "ImgDatas.h"

#include "ColorScale.h"

#include <QDebug>

#include <algorithm>
#include <QImage>

bool ImgData::toImage(QImage &image, ColorScale &scale, bool autoRange)
{
    if (!valid)
        return false;
    // QImage gives a null picture (no scan lines) when the memory is not there.
    QImage picture(width, height, QImage::Format_Grayscale8);
    if (picture.isNull()) {
        qDebug() << "Not enough memory to show" << fileName;
        return false;
    }
    // A streamed image is read once, for its range and its picture.
    const std::vector<double> whole = isStreamed() ? wholeImage() : std::vector<double>();
    if (isStreamed() && whole.empty())
        return false;
    if (autoRange && isStreamed() && !minMaxValid)
        calcMinMax(whole);
    if (autoRange)
        minMax(scale.minV, scale.maxV);
    for (int y = 0; y < height; ++y) {
        const double *row = isStreamed() ? whole.data() + size_t(y) * size_t(width) : line(y, lineBuf.data());
        uchar *pixels = picture.scanLine(y);
        for (int x = 0; x < width; ++x)
            pixels[x] = uchar(scale.colorIndex(row[x]));
    }
    image = std::move(picture);
    return true;
}

bool ImgData::copyLine(int rowWidth, int y, double *out) const
{
    if (!valid || rowWidth != width || y < 0 || y >= height)
        return false;
    const double *row = line(y, out);
    if (row != out)
        std::copy_n(row, width, out);
    return true;
}

bool ImgDatas::showImage(int index, QImage &image, ColorScale &scale, bool autoRange)
{
    ImgData *img = at(index);
    if (!img || !img->toImage(image, scale, autoRange))
        return false;
    emit imageUpdated();
    return true;
}
