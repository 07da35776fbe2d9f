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

TiffHandle openTiff(const QString &fileName)
{
    installTiffHandlers();
    return TiffHandle(TIFFOpen(QFile::encodeName(fileName).constData(), "r"));
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

bool readTiles(TIFF *tif, unsigned char *image, quint32 width, quint32 height, int sampleBytes)
{
    const Layout layout = readLayout(tif);
    const quint32 tileW = layout.tileWidth, tileH = layout.tileHeight;
    if (!blockFits(tileW, tileH, sampleBytes))
        return false;
    std::vector<unsigned char> tile(size_t(TIFFTileSize(tif)));
    if (tile.size() < size_t(tileW) * tileH * sampleBytes)
        return false;
    for (quint32 y = 0; y < height; y += tileH)
        for (quint32 x = 0; x < width; x += tileW) {
            if (TIFFReadTile(tif, tile.data(), x, y, 0, 0) < 0)
                return false;
            copyBlock(tile.data(), tileW, tileH, x, y, image, width, height, sampleBytes);
        }
    return true;
}

bool readStrips(TIFF *tif, unsigned char *image, quint32 width, quint32 height, int sampleBytes)
{
    quint32 rowsPerStrip = height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::max<quint32>(1, std::min(rowsPerStrip, height));
    std::vector<unsigned char> strip(size_t(width) * rowsPerStrip * sampleBytes);
    for (quint32 y = 0; y < height; y += rowsPerStrip) {
        const tstrip_t index = TIFFComputeStrip(tif, y, 0);
        const tmsize_t got = TIFFReadEncodedStrip(tif, index, strip.data(), tmsize_t(strip.size()));
        if (got < 0)
            return false;
        // A strip that decodes short must not leave the previous strip's samples behind.
        std::fill(strip.begin() + got, strip.end(), 0);
        copyBlock(strip.data(), width, rowsPerStrip, 0, y, image, width, height, sampleBytes);
    }
    return true;
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
    // A tile may overhang the image, but must not ask for more memory than any image may hold.
    if (TIFFIsTiled(tif.get()) && !blockFits(layout.tileWidth, layout.tileHeight, layout.bitsPerSample / 8)) {
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
    samples.assign(size_t(width) * size_t(height) * size_t(sampleBytes), 0);
    const bool ok = TIFFIsTiled(tif.get())
                        ? readTiles(tif.get(), samples.data(), layout.width, layout.height, sampleBytes)
                        : readStrips(tif.get(), samples.data(), layout.width, layout.height, sampleBytes);
    if (!ok) {
        qDebug() << "Error on decoding TIFF pixels" << fileName;
        samples.clear();
        return false;
    }
    return true;
}

double ImgDataTiff::sample(qint64 index) const
{
    const unsigned char *p = samples.data() + index * bytesPerSample();
    switch (kind) {
    case UInt8:
        return double(*p);
    case UInt16: {
        quint16 v;
        std::memcpy(&v, p, sizeof v);
        return double(v);
    }
    case UInt32: {
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

bool ImgDataTiff::holdsPixels() const
{
    return kind != NoSamples && samples.size() == size_t(width) * size_t(height) * size_t(bytesPerSample());
}

double *ImgDataTiff::line(int y, double *buffer) const
{
    if (!holdsPixels())
        return buffer;
    const qint64 start = qint64(y) * width;
    for (int x = 0; x < width; ++x)
        buffer[x] = sample(start + x);
    return buffer;
}

double *ImgDataTiff::column(int x, double *buffer) const
{
    if (!holdsPixels())
        return buffer;
    for (int r = 0; r < height; ++r)
        buffer[r] = sample(qint64(r) * width + x);
    return buffer;
}
