#include "FloatTiff.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// The growing file that libtiff writes through its client procedures.
struct MemoryFile
{
    QByteArray bytes;
    qint64 pos = 0;
};

MemoryFile &fileOf(thandle_t handle)
{
    return *static_cast<MemoryFile *>(handle);
}

tmsize_t readProc(thandle_t handle, void *buffer, tmsize_t size)
{
    MemoryFile &file = fileOf(handle);
    const qint64 count = std::clamp<qint64>(file.bytes.size() - file.pos, 0, size);
    std::memcpy(buffer, file.bytes.constData() + file.pos, size_t(count));
    file.pos += count;
    return tmsize_t(count);
}

tmsize_t writeProc(thandle_t handle, void *buffer, tmsize_t size)
{
    MemoryFile &file = fileOf(handle);
    if (size < 0 || file.pos > std::numeric_limits<int>::max() - qint64(size))
        return -1;
    if (file.pos + size > file.bytes.size())
        file.bytes.resize(file.pos + size);
    std::memcpy(file.bytes.data() + file.pos, buffer, size_t(size));
    file.pos += size;
    return size;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    MemoryFile &file = fileOf(handle);
    const qint64 base = whence == SEEK_CUR ? file.pos : whence == SEEK_END ? file.bytes.size() : 0;
    const qint64 target = base + qint64(offset);
    if (target < 0 || target > std::numeric_limits<int>::max())
        return toff_t(-1);
    file.pos = target;
    return toff_t(target);
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t handle)
{
    return toff_t(fileOf(handle).bytes.size());
}

int mapProc(thandle_t, void **, toff_t *)
{
    return 0;
}

void unmapProc(thandle_t, void *, toff_t) {}

bool writeFields(TIFF *tiff, int width, int height)
{
    return TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(width)) && TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(height))
           && TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1)) && TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(32))
           && TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, uint16_t(SAMPLEFORMAT_IEEEFP))
           && TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISBLACK))
           && TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG))
           && TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_NONE))
           && TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
}

bool writeRows(TIFF *tiff, const double *pixels, int width, int height, qint64 rowStride)
{
    std::vector<float> row(static_cast<size_t>(width));
    for (int z = 0; z < height; ++z) {
        const double *source = pixels + z * rowStride;
        std::transform(source, source + width, row.begin(), [](double v) { return float(v); });
        if (TIFFWriteScanline(tiff, row.data(), uint32_t(z), 0) < 0)
            return false;
    }
    return true;
}

} // namespace

QByteArray FloatTiff::encode(const double *pixels, int width, int height, qint64 rowStride)
{
    // 4 bytes a pixel must stay well inside a QByteArray.
    if (!pixels || width <= 0 || height <= 0 || qint64(width) * height > (qint64(1) << 28))
        return {};
    MemoryFile file;
    TIFF *tiff = TIFFClientOpen("slice", "w", &file, readProc, writeProc, seekProc, closeProc, sizeProc, mapProc, unmapProc);
    if (!tiff)
        return {};
    const bool written = writeFields(tiff, width, height) && writeRows(tiff, pixels, width, height, rowStride)
                         && TIFFWriteDirectory(tiff);
    TIFFClose(tiff);
    return written ? file.bytes : QByteArray();
}
