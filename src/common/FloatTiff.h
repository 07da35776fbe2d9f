#pragma once

#include <QString>

#include <vector>

// A grey image of 32-bit IEEE floats in one TIFF file (uncompressed, one strip per row),
// the exact numbers of a view for other programs. Written atomically: a temporary in the
// target's folder, renamed over it only when complete.
namespace FloatTiff {
// values holds width x height numbers, row-major. False (with a debug line naming the
// file) when the size does not match or the file could not be written whole.
bool write(const QString &fileName, int width, int height, const std::vector<float> &values);
} // namespace FloatTiff
