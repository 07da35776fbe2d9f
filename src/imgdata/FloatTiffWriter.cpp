#include "FloatTiffWriter.h"

#include <QDebug>
#include <QFile>
#include <QTemporaryFile>

#include <tiffio.h>

#include <cstdio>

#include <unistd.h>
#include <vector>

namespace {

bool writeTiff(const QString &path, int width, int height, const float *values)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, quint32(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, quint32(height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, quint16(1));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, quint16(32));
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, quint16(SAMPLEFORMAT_IEEEFP));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, quint16(PHOTOMETRIC_MINISBLACK));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, quint16(PLANARCONFIG_CONTIG));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, quint16(COMPRESSION_NONE));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, quint32(1));
    std::vector<float> row(static_cast<size_t>(width));
    bool ok = true;
    for (int z = 0; z < height && ok; ++z) {
        std::copy(values + size_t(z) * size_t(width), values + size_t(z + 1) * size_t(width), row.begin());
        ok = TIFFWriteScanline(tif, row.data(), quint32(z), 0) == 1;
    }
    ok = ok && TIFFFlush(tif) == 1;
    TIFFClose(tif);
    // On the disk before it is renamed, as every result file is.
    QFile written(path);
    return ok && written.open(QIODevice::ReadWrite) && ::fdatasync(written.handle()) == 0;
}

} // namespace

bool FloatTiffWriter::write(const QString &fileName, int width, int height, const float *values)
{
    // A unique name beside the target, so the rename stays on one file system.
    QTemporaryFile temporary(fileName + QStringLiteral(".XXXXXX"));
    bool ok = width > 0 && height > 0 && values && temporary.open();
    if (ok) {
        temporary.close();
        ok = writeTiff(temporary.fileName(), width, height, values)
             && std::rename(QFile::encodeName(temporary.fileName()).constData(), QFile::encodeName(fileName).constData()) == 0;
        if (ok)
            temporary.setAutoRemove(false);
    }
    if (!ok)
        qDebug() << "Failed to write the map" << fileName;
    return ok;
}
