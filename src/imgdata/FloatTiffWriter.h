#pragma once

#include <QString>

// Writes grey 32-bit float TIFF images (one strip per row, uncompressed, host byte order,
// which the TIFF header names), through libtiff. The file appears under its name complete or
// not at all: it is written beside it under a temporary name and renamed when closed.
class FloatTiffWriter
{
public:
    // values holds width * height floats, row after row. False (with a debug line naming the
    // file) when it cannot be written.
    static bool write(const QString &fileName, int width, int height, const float *values);
};
