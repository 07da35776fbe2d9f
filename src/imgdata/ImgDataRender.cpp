// Rendering of measured images into grey pictures through a view's colour bar.
#include "ImgData.h"
#include "ImgDatas.h"

#include "ColorBar.h"

#include <QDebug>
#include <QImage>

bool ImgData::toImage(QImage &image, ColorBar &colorBar)
{
    if (!valid)
        return false;
    // QImage gives a null picture (no scan lines) when the memory is not there.
    QImage picture(width, height, QImage::Format_Grayscale8);
    if (picture.isNull()) {
        qDebug() << "Not enough memory to show" << fileName;
        return false;
    }
    double minValue = 0;
    double maxValue = 0;
    minMax(minValue, maxValue);
    colorBar.autoRange(minValue, maxValue);

    const ColorScale scale = colorBar.colorScale();
    for (int y = 0; y < height; ++y) {
        const double *row = line(y, lineBuf.data());
        uchar *pixels = picture.scanLine(y);
        for (int x = 0; x < width; ++x)
            pixels[x] = uchar(scale.colorIndex(row[x]));
    }
    image = std::move(picture);
    return true;
}

bool ImgDatas::showImage(int index, QImage &image, ColorBar &colorBar)
{
    ImgData *img = at(index);
    if (!img || !img->toImage(image, colorBar))
        return false;
    emit imageUpdated();
    return true;
}
