#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

class ImgData;

// The readers take file names, so every fuzz input is written to one file in a private
// temporary folder, which is also made the working directory (relative INCLUDE names
// resolve there). Debug lines are dropped: a reader's refusal is not a finding.
QString fuzzInputFile(const uint8_t *data, size_t size);

// The input as an image file for `image`: when `isImageFile` accepts it and the reader
// opens it, reads what an opened image offers the rest of the program: the first and last
// row and column (of a streamed reader only when small), and the value range when the image
// is small enough to scan in a few milliseconds.
void readImageInput(ImgData &image, bool (*isImageFile)(const QString &), const uint8_t *data, size_t size);
