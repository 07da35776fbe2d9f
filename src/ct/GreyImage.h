#pragma once

#include <QImage>

class ColorScale;

// 8-bit grey picture of `rows` rows of `width` values (row-major, row 0 at the top),
// each pixel the colour index of its value. A null image when either side is below 1.
QImage greyImage(const double *values, int width, int rows, const ColorScale &scale);
