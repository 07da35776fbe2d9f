#include "ImgDataTiff.h"

#include <QDebug>
#include <QFile>

#include <tiffio.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

constexpr qint64 kMaxSampleBytes = qint64(1) << 31;
// Bytes of a tile decoded before its data has shown to be there (at least one row of the
// tile is, as one row of an image is for strips).
constexpr qint64 kFirstTileBytes = qint64(1) << 20;

// libtiff reports through process-wide handlers; route them into the debug log.
void logTiffMessage(const char *module, const char *format, va_list args)
{
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    qDebug() << "libtiff:" << (module ? module : "") << text;
}

void installTiffHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetWarningHandler(logTiffMessage);
        TIFFSetErrorHandler(logTiffMessage);
    });
}

struct TiffCloser {
    void operator()(TIFF *tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// mode "r" maps the file into memory; "rm" reads it, so that streaming a series keeps
// only the blocks it asked for resident.
TiffHandle openTiff(const QString &fileName, const char *mode = "r")
{
    installTiffHandlers();
    return TiffHandle(TIFFOpen(QFile::encodeName(fileName).constData(), mode));
}

struct Layout {
    quint32 width = 0, height = 0;
    quint32 tileWidth = 0, tileHeight = 0; // 0 for strips
    quint16 bitsPerSample = 1, samplesPerPixel = 1, sampleFormat = SAMPLEFORMAT_UINT;
    quint16 photometric = PHOTOMETRIC_MINISBLACK;
};

Layout readLayout(TIFF *tif)
{
    Layout l;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric))
        l.photometric = PHOTOMETRIC_MINISBLACK;
    if (TIFFIsTiled(tif)) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &l.tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &l.tileHeight);
    }
    return l;
}

int kindOf(const Layout &l)
{
    // Detector counts: one sample per pixel, larger values meaning more signal.
    const bool grey = l.samplesPerPixel == 1 && l.photometric == PHOTOMETRIC_MINISBLACK;
    if (!grey)
        return ImgDataTiff::NoSamples;
    if (l.sampleFormat == SAMPLEFORMAT_UINT) {
        switch (l.bitsPerSample) {
        case 8: return ImgDataTiff::UInt8;
        case 16: return ImgDataTiff::UInt16;
        case 32: return ImgDataTiff::UInt32;
        default: return ImgDataTiff::NoSamples;
        }
    }
    if (l.sampleFormat == SAMPLEFORMAT_IEEEFP && l.bitsPerSample == 32)
        return ImgDataTiff::Float32;
    return ImgDataTiff::NoSamples;
}

QString describe(const Layout &l)
{
    static const char *formats[] = {"?", "unsigned", "signed", "float", "void", "complex int", "complex float"};
    const char *format = l.sampleFormat < 7 ? formats[l.sampleFormat] : "?";
    return QString("%1 sample(s) of %2-bit %3, photometric %4")
        .arg(l.samplesPerPixel).arg(l.bitsPerSample).arg(format).arg(l.photometric);
}

// True when a width x height block of sampleBytes samples is not empty, has 32-bit signed
// sides and stays below 2^31 bytes. Sides below 2^31 and samples of at most 4 bytes
// cannot overflow 64 bits unsigned.
bool blockFits(quint32 width, quint32 height, int sampleBytes)
{
    if (width < 1 || height < 1 || width > quint32(INT_MAX) || height > quint32(INT_MAX))
        return false;
    return quint64(width) * height * quint64(sampleBytes) < quint64(kMaxSampleBytes);
}

bool tileFits(quint32 width, quint32 height, int sampleBytes)
{
    const quint32 side = quint32(ImgData::maxImageSide);
    return width <= side && height <= side && blockFits(width, height, sampleBytes);
}

// Copies a decoded block (strip or tile, blockW x blockH samples) into the image at (x0, y0),
// clipped to the image.
void copyBlock(const unsigned char *block, quint32 blockW, quint32 blockH, quint32 x0, quint32 y0,
               unsigned char *image, quint32 width, quint32 height, int sampleBytes)
{
    const quint32 rows = std::min(blockH, height - y0);
    const quint32 cols = std::min(blockW, width - x0);
    for (quint32 r = 0; r < rows; ++r)
        std::memcpy(image + (qint64(y0 + r) * width + x0) * sampleBytes,
                    block + qint64(r) * blockW * sampleBytes, size_t(cols) * sampleBytes);
}

// Resizes buffer to `bytes`, never reserving beyond `limit` (its final size). A file may
// declare gigabytes of samples over a few bytes of data, so buffers grow only as data
// decodes; doubling keeps the copies linear and the capacity within twice what decoded.
void growTo(std::vector<unsigned char> &buffer, size_t bytes, size_t limit)
{
    if (bytes > buffer.capacity())
        buffer.reserve(std::min(limit, std::max(bytes, 2 * buffer.capacity())));
    buffer.resize(bytes);
}

using BlockDecoder = tmsize_t (*)(TIFF *, uint32_t, void *, tmsize_t);

// Decodes the first `bytes` of strip or tile `index` (in rows of rowBytes) into `block`.
// A block may declare far more than its data holds: the buffer starts near
// kFirstTileBytes and doubles only once a prefix of its size has decoded, at the price of
// decoding a large block about twice. Prefixes are whole rows, as a predictor undoes its
// differences row by row.
bool decodePrefix(TIFF *tif, BlockDecoder decode, quint32 index, qint64 rowBytes, qint64 bytes,
                  std::vector<unsigned char> &block)
{
    qint64 size = std::min(bytes, std::max<qint64>(1, kFirstTileBytes / rowBytes) * rowBytes);
    for (;;) {
        growTo(block, size_t(size), size_t(bytes));
        if (decode(tif, index, block.data(), tmsize_t(size)) != tmsize_t(size))
            return false;
        if (size == bytes)
            return true;
        size = std::min(bytes, 2 * size);
    }
}

// Decodes the tiles one row of tiles at a time; the image grows by that band of rows once
// all of its tiles have decoded. Sides within 2^20 keep every size here inside 64 bits.
bool readTiles(TIFF *tif, std::vector<unsigned char> &image, const Layout &l, int sampleBytes)
{
    // The tile was checked by readProps, but the file may have changed since.
    if (!tileFits(l.tileWidth, l.tileHeight, sampleBytes))
        return false;
    const qint64 rowBytes = qint64(l.tileWidth) * sampleBytes, tileBytes = rowBytes * l.tileHeight;
    if (TIFFTileSize64(tif) < quint64(tileBytes))
        return false;
    const size_t imageRowBytes = size_t(l.width) * sampleBytes, imageBytes = imageRowBytes * l.height;
    std::vector<unsigned char> tile, band;
    for (quint32 y = 0; y < l.height; y += l.tileHeight) {
        band.clear();
        for (quint32 x = 0; x < l.width; x += l.tileWidth) {
            if (!decodePrefix(tif, TIFFReadEncodedTile, TIFFComputeTile(tif, x, y, 0, 0), rowBytes, tileBytes, tile))
                return false;
            band.insert(band.end(), tile.begin(), tile.end());
        }
        const quint32 rows = std::min(l.tileHeight, l.height - y);
        growTo(image, (y + rows) * imageRowBytes, imageBytes);
        for (quint32 x = 0, i = 0; x < l.width; x += l.tileWidth, ++i)
            copyBlock(band.data() + i * tileBytes, l.tileWidth, l.tileHeight, x, y, image.data(), l.width, l.height,
                      sampleBytes);
    }
    return true;
}

// Decodes the strips a row at a time, so the image never holds more rows than have decoded.
bool readStrips(TIFF *tif, std::vector<unsigned char> &image, const Layout &l, int sampleBytes)
{
    const size_t rowBytes = size_t(l.width) * sampleBytes, imageBytes = rowBytes * l.height;
    if (TIFFScanlineSize64(tif) != rowBytes)
        return false;
    for (quint32 y = 0; y < l.height; ++y) {
        growTo(image, (y + 1) * rowBytes, imageBytes);
        if (TIFFReadScanline(tif, image.data() + y * rowBytes, y, 0) < 0)
            return false;
    }
    return true;
}

// Rows first ... first + count - 1 of a strip image into rows (count x width samples):
// each strip that holds some of them is decoded once, up to the last row wanted.
bool readStripRows(TIFF *tif, const Layout &l, int sampleBytes, quint32 first, quint32 count, unsigned char *rows)
{
    const qint64 rowBytes = qint64(l.width) * sampleBytes;
    if (TIFFScanlineSize64(tif) != quint64(rowBytes))
        return false;
    quint32 rowsPerStrip = l.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<quint32>(rowsPerStrip, 1, l.height);
    std::vector<unsigned char> strip;
    for (quint32 y = first; y < first + count;) {
        const quint32 top = y / rowsPerStrip * rowsPerStrip, end = std::min(top + rowsPerStrip, first + count);
        if (!decodePrefix(tif, TIFFReadEncodedStrip, TIFFComputeStrip(tif, top, 0), rowBytes, (end - top) * rowBytes, strip))
            return false;
        std::memcpy(rows + (y - first) * rowBytes, strip.data() + (y - top) * rowBytes, size_t((end - y) * rowBytes));
        y = end;
    }
    return true;
}

// The same for a tiled image: each row of tiles that holds some of the rows is decoded
// once, every tile up to the last row wanted.
bool readTileRows(TIFF *tif, const Layout &l, int sampleBytes, quint32 first, quint32 count, unsigned char *rows)
{
    if (!tileFits(l.tileWidth, l.tileHeight, sampleBytes))
        return false;
    const qint64 tileRowBytes = qint64(l.tileWidth) * sampleBytes, rowBytes = qint64(l.width) * sampleBytes;
    if (TIFFTileSize64(tif) < quint64(tileRowBytes * l.tileHeight))
        return false;
    std::vector<unsigned char> tile;
    for (quint32 y = first; y < first + count;) {
        const quint32 top = y / l.tileHeight * l.tileHeight, end = std::min(top + l.tileHeight, first + count);
        for (quint32 x = 0; x < l.width; x += l.tileWidth) {
            if (!decodePrefix(tif, TIFFReadEncodedTile, TIFFComputeTile(tif, x, top, 0, 0), tileRowBytes,
                              (end - top) * tileRowBytes, tile))
                return false;
            const size_t columnBytes = size_t(std::min(l.tileWidth, l.width - x)) * sampleBytes;
            for (quint32 r = y; r < end; ++r)
                std::memcpy(rows + (r - first) * rowBytes + qint64(x) * sampleBytes,
                            tile.data() + (r - top) * tileRowBytes, columnBytes);
        }
        y = end;
    }
    return true;
}

double widen(const unsigned char *p, int kind)
{
    switch (kind) {
    case ImgDataTiff::UInt8:
        return double(*p);
    case ImgDataTiff::UInt16: {
        quint16 v;
        std::memcpy(&v, p, sizeof v);
        return double(v);
    }
    case ImgDataTiff::UInt32: {
        quint32 v;
        std::memcpy(&v, p, sizeof v);
        return double(v);
    }
    default: {
        float v;
        std::memcpy(&v, p, sizeof v);
        return double(v);
    }
    }
}

} // namespace

bool isTIFFFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        qDebug() << "Check File Type (TIFF):: Can not open" << fileName;
        return false;
    }
    const QByteArray head = f.read(2);
    return head.size() == 2 && head.at(0) == head.at(1) && (head.at(0) == 'I' || head.at(0) == 'M');
}

void ImgDataTiff::reset()
{
    kind = NoSamples;
}

int ImgDataTiff::bytesPerSample() const
{
    switch (kind) {
    case UInt8: return 1;
    case UInt16: return 2;
    default: return 4;
    }
}

bool ImgDataTiff::readProps(const QString &name, int &w, int &h)
{
    w = h = 0;
    kind = NoSamples;
    TiffHandle tif = openTiff(name);
    if (!tif) {
        qDebug() << "Can not open TIFF file to read props." << name;
        return false;
    }
    const Layout layout = readLayout(tif.get());
    const int sampleKind = kindOf(layout);
    if (sampleKind == NoSamples) {
        qDebug() << qUtf8Printable(QString("Unsupported TIFF layout (%1) : ").arg(describe(layout))) << name;
        return false;
    }
    if (!sidesAccepted(layout.width, layout.height, name))
        return false;
    if (!blockFits(layout.width, layout.height, layout.bitsPerSample / 8)) {
        qDebug() << qUtf8Printable(QString("Unsupported TIFF size %1 x %2 : ").arg(layout.width).arg(layout.height))
                 << name;
        return false;
    }
    // A tile may overhang the image, but must not ask for more memory than any image may hold,
    // nor have a side longer than any image's: one row of it is decoded before its data shows.
    if (TIFFIsTiled(tif.get()) && !tileFits(layout.tileWidth, layout.tileHeight, layout.bitsPerSample / 8)) {
        qDebug() << qUtf8Printable(QString("Unsupported TIFF tile size %1 x %2 : ")
                                       .arg(layout.tileWidth).arg(layout.tileHeight))
                 << name;
        return false;
    }
    kind = sampleKind;
    w = int(layout.width);
    h = int(layout.height);
    return true;
}

bool ImgDataTiff::load()
{
    TiffHandle tif = openTiff(fileName);
    if (!tif) {
        qDebug() << "Can not open TIFF file" << fileName;
        return false;
    }
    const Layout layout = readLayout(tif.get());
    if (kindOf(layout) != kind || int(layout.width) != width || int(layout.height) != height) {
        qDebug() << "TIFF file changed since its properties were read : " << fileName;
        return false;
    }
    const int sampleBytes = bytesPerSample();
    samples.clear();
    const bool ok = TIFFIsTiled(tif.get()) ? readTiles(tif.get(), samples, layout, sampleBytes)
                                           : readStrips(tif.get(), samples, layout, sampleBytes);
    if (!ok) {
        qDebug() << "Error on decoding TIFF pixels" << fileName;
        samples = {}; // what decoded before the failure is of no use: give it back
        return false;
    }
    return true;
}

double ImgDataTiff::sample(qint64 index) const
{
    return widen(samples.data() + index * bytesPerSample(), kind);
}

bool ImgDataTiff::readRows(int first, int count, double *out) const
{
    const int sampleBytes = bytesPerSample();
    std::vector<unsigned char> rows(size_t(count) * size_t(width) * size_t(sampleBytes), 0);
    const TiffHandle tif = openTiff(fileName, "rm");
    const Layout layout = tif ? readLayout(tif.get()) : Layout();
    bool ok = tif && kindOf(layout) == kind && int(layout.width) == width && int(layout.height) == height;
    if (ok)
        ok = (TIFFIsTiled(tif.get()) ? readTileRows : readStripRows)(tif.get(), layout, sampleBytes, quint32(first),
                                                                     quint32(count), rows.data());
    for (qint64 i = 0; i < qint64(count) * width; ++i)
        out[i] = ok ? widen(rows.data() + i * sampleBytes, kind) : 0.0;
    if (!ok)
        qDebug() << "Error on reading TIFF rows" << fileName;
    return ok;
}

bool ImgDataTiff::holdsPixels() const
{
    return kind != NoSamples && samples.size() == size_t(width) * size_t(height) * size_t(bytesPerSample());
}

double *ImgDataTiff::line(int y, double *buffer) const
{
    if (isStreamed())
        return streamedLine(y, buffer);
    if (!holdsPixels())
        return buffer;
    const qint64 start = qint64(y) * width;
    for (int x = 0; x < width; ++x)
        buffer[x] = sample(start + x);
    return buffer;
}

double *ImgDataTiff::column(int x, double *buffer) const
{
    if (isStreamed())
        return streamedColumn(x, buffer);
    if (!holdsPixels())
        return buffer;
    for (int r = 0; r < height; ++r)
        buffer[r] = sample(qint64(r) * width + x);
    return buffer;
}
