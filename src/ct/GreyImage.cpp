#include "GreyImage.h"

#include "ColorScale.h"

#include <cstddef>

QImage greyImage(const double *values, int width, int rows, const ColorScale &scale)
{
    QImage image(width, rows, QImage::Format_Grayscale8);
    if (image.isNull()) // a side below 1, or too large to allocate
        return image;
    for (int y = 0; y < rows; ++y) {
        const double *row = values + std::size_t(y) * std::size_t(width);
        uchar *pixels = image.scanLine(y);
        for (int x = 0; x < width; ++x)
            pixels[x] = uchar(scale.colorIndex(row[x]));
    }
    return image;
}
