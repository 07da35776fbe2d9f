// Rendering of measured images into grey pictures through a view's colour bar.
#include "ImgData.h"
#include "ImgDatas.h"

#include "ColorBar.h"

#include <QImage>

void ImgData::toImage(QImage &image, ColorBar &colorBar)
{
    if (!valid)
        return;
    double minValue = 0;
    double maxValue = 0;
    minMax(minValue, maxValue);
    colorBar.autoRange(minValue, maxValue);

    image = QImage(width, height, QImage::Format_Grayscale8);
    const ColorScale scale = colorBar.colorScale();
    for (int y = 0; y < height; ++y) {
        const double *row = line(y, lineBuf.data());
        uchar *pixels = image.scanLine(y);
        for (int x = 0; x < width; ++x)
            pixels[x] = uchar(scale.colorIndex(row[x]));
    }
}

bool ImgDatas::showImage(int index, QImage &image, ColorBar &colorBar)
{
    if (index < 0 || index >= count())
        return false;
    at(index)->toImage(image, colorBar);
    emit imageUpdated();
    return true;
}
