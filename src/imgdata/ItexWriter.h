#pragma once

#include <QString>
#include <QByteArray>
#include <QtGlobal>

#include <vector>

// Writes ITEX .img files: the 64-byte header with the "IM" signature and the comment
// length, a comment of key=value items each followed by a comma, and the pixel block
// (2- or 4-byte little-endian unsigned integers, row after row).
class ItexWriter
{
public:
    // pixels holds width*height values; each is stored modulo 2^(8*bytesPerPixel).
    // Returns false (with a debug line) when the file cannot be written.
    static bool write(const QString &fileName, int width, int height, int bytesPerPixel,
                      const std::vector<quint32> &pixels, double exposureTime = 1.0);
    // Writes an arbitrary comment text and raw pixel bytes, for hand-made test files.
    static bool writeRaw(const QString &fileName, const QByteArray &comment, const QByteArray &pixelBytes);
};
