#include "FloatTiff.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>

#include <tiffio.h>

#include <unistd.h>

namespace {
bool writeRows(TIFF *tif, int width, int height, const std::vector<float> &values)
{
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
    for (int y = 0; y < height; ++y) {
        // libtiff takes a non-const buffer but only reads it when there is no compression.
        auto *row = const_cast<float *>(values.data() + size_t(y) * size_t(width));
        if (TIFFWriteScanline(tif, row, uint32_t(y), 0) < 0)
            return false;
    }
    return true;
}
} // namespace

bool FloatTiff::write(const QString &fileName, int width, int height, const std::vector<float> &values)
{
    QSaveFile file(fileName);
    bool written = width > 0 && height > 0 && values.size() == size_t(width) * size_t(height)
                   && file.open(QIODevice::WriteOnly);
    if (written) {
        // libtiff writes through its own descriptor of the temporary; closing it does not
        // close the save file's, and commit renames the temporary only when all went in.
        const int fd = dup(file.handle());
        TIFF *tif = fd < 0 ? nullptr : TIFFFdOpen(fd, QFile::encodeName(fileName).constData(), "w");
        written = tif && writeRows(tif, width, height, values) && TIFFFlush(tif) == 1;
        if (tif) {
            TIFFClose(tif);  // flushes the directory, closes fd
        } else if (fd >= 0) {
            close(fd);
        }
        if (!written)
            file.cancelWriting();
        written = file.commit() && written;
    }
    if (!written)
        qDebug() << "Failed to write the float TIFF" << fileName;
    return written;
}
