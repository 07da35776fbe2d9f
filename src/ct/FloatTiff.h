#pragma once

#include <QByteArray>

// A slice as a single-page, uncompressed 32-bit IEEE float TIFF (one sample per pixel,
// min-is-black, rows from the top), built in memory so that the saver can write it
// atomically like every other result file. Viewers such as Fiji or napari read the
// values unchanged; doubles are rounded to the nearest float.
class FloatTiff
{
public:
    // The TIFF of a width x height image stored row-major with rowStride values per row;
    // empty when a side is not positive or libtiff fails.
    static QByteArray encode(const double *pixels, int width, int height, qint64 rowStride);
};
