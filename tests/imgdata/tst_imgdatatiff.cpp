#include "ImgData.h"
#include "ImgDataTiff.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <tiffio.h>

#include <cstring>
#include <memory>

namespace {

struct TiffSpec {
    int bits = 16;
    int format = SAMPLEFORMAT_UINT;
    int samplesPerPixel = 1;
    int photometric = PHOTOMETRIC_MINISBLACK;
    int compression = COMPRESSION_NONE;
    bool tiled = false;
    bool bigEndian = false;
    int rowsPerStrip = 2;
};

// Value of pixel (x, y) in the test images; fits 8 bits and is not symmetric.
double expectedValue(int x, int y) { return double(7 * y + x); }

// Writes a width x height image with expectedValue() in every sample of the given layout.
bool writeTiff(const QString &fileName, int width, int height, const TiffSpec &spec)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(fileName).constData(), spec.bigEndian ? "wb" : "wl");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, spec.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, spec.format);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spec.samplesPerPixel);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spec.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, spec.compression);
    std::vector<quint16> colourMap;
    if (spec.photometric == PHOTOMETRIC_PALETTE && spec.bits <= 16)
        colourMap.assign(size_t(1) << spec.bits, 0);
    if (!colourMap.empty())
        TIFFSetField(tif, TIFFTAG_COLORMAP, colourMap.data(), colourMap.data(), colourMap.data());
    const int bytes = spec.bits / 8;
    const int spp = spec.samplesPerPixel;
    auto fill = [&](unsigned char *dst, int x, int y) {
        const double v = expectedValue(x, y);
        for (int s = 0; s < spp; ++s, dst += bytes) {
            if (spec.format == SAMPLEFORMAT_IEEEFP && bytes == 4) {
                const float f = float(v);
                std::memcpy(dst, &f, 4);
            } else if (bytes == 1) {
                *dst = quint8(v);
            } else if (bytes == 2) {
                const quint16 u = quint16(v);
                std::memcpy(dst, &u, 2);
            } else {
                const quint32 u = quint32(v);
                std::memcpy(dst, &u, 4);
            }
        }
    };
    bool ok = true;
    if (spec.tiled) {
        const int tile = 16;
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, tile);
        std::vector<unsigned char> buf(size_t(tile * tile * spp * bytes), 0);
        for (int ty = 0; ty < height; ty += tile)
            for (int tx = 0; tx < width; tx += tile) {
                for (int y = 0; y < tile; ++y)
                    for (int x = 0; x < tile; ++x)
                        fill(buf.data() + size_t((y * tile + x) * spp * bytes), tx + x, ty + y);
                ok = ok && TIFFWriteTile(tif, buf.data(), tx, ty, 0, 0) >= 0;
            }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, spec.rowsPerStrip);
        std::vector<unsigned char> row(size_t(width * spp * bytes));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                fill(row.data() + size_t(x * spp * bytes), x, y);
            ok = ok && TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
        }
    }
    TIFFClose(tif);
    return ok;
}

}

// libtiff-backed reading of grey detector images, and refusal of every other layout.
class TstImgDataTiff : public QObject
{
    Q_OBJECT
private slots:
    void supportedLayouts_data();
    void supportedLayouts();
    void refusedLayouts_data();
    void refusedLayouts();
    void signature();
    void realFloatFlatMatches16BitCopy();
};

void TstImgDataTiff::supportedLayouts_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("compression");
    QTest::addColumn<bool>("tiled");
    QTest::addColumn<bool>("bigEndian");
    QTest::newRow("8-bit") << 8 << SAMPLEFORMAT_UINT << COMPRESSION_NONE << false << false;
    QTest::newRow("16-bit") << 16 << SAMPLEFORMAT_UINT << COMPRESSION_NONE << false << false;
    QTest::newRow("16-bit big-endian") << 16 << SAMPLEFORMAT_UINT << COMPRESSION_NONE << false << true;
    QTest::newRow("32-bit") << 32 << SAMPLEFORMAT_UINT << COMPRESSION_NONE << false << false;
    QTest::newRow("32-bit big-endian") << 32 << SAMPLEFORMAT_UINT << COMPRESSION_NONE << false << true;
    QTest::newRow("float") << 32 << SAMPLEFORMAT_IEEEFP << COMPRESSION_NONE << false << false;
    QTest::newRow("float big-endian") << 32 << SAMPLEFORMAT_IEEEFP << COMPRESSION_NONE << false << true;
    QTest::newRow("16-bit tiled") << 16 << SAMPLEFORMAT_UINT << COMPRESSION_NONE << true << false;
    QTest::newRow("16-bit LZW") << 16 << SAMPLEFORMAT_UINT << COMPRESSION_LZW << false << false;
    QTest::newRow("16-bit deflate tiled big-endian") << 16 << SAMPLEFORMAT_UINT << COMPRESSION_ADOBE_DEFLATE << true << true;
    QTest::newRow("8-bit packbits") << 8 << SAMPLEFORMAT_UINT << COMPRESSION_PACKBITS << false << false;
}

void TstImgDataTiff::supportedLayouts()
{
    QFETCH(int, bits);
    QFETCH(int, format);
    QFETCH(int, compression);
    QFETCH(bool, tiled);
    QFETCH(bool, bigEndian);
    QTemporaryDir dir;
    // 37 x 21 is not a multiple of the tile or strip size, so partial blocks are exercised.
    const int width = 37, height = 21;
    TiffSpec spec;
    spec.bits = bits;
    spec.format = format;
    spec.compression = compression;
    spec.tiled = tiled;
    spec.bigEndian = bigEndian;
    const QString file = dir.filePath("t.tif");
    QVERIFY(writeTiff(file, width, height, spec));

    QCOMPARE(fileType(file), int(ImgTypeTIFF));
    std::unique_ptr<ImgData> reader(newImgData(fileType(file)));
    reader->setFileName(file);
    QVERIFY(reader->open());
    QCOMPARE(reader->imageWidth(), width);
    QCOMPARE(reader->imageHeight(), height);
    QCOMPARE(reader->exposureTime(), 1.0);
    std::vector<double> row(width), col(height);
    for (int y = 0; y < height; ++y) {
        reader->line(y, row.data());
        for (int x = 0; x < width; ++x)
            QCOMPARE(row[size_t(x)], expectedValue(x, y));
    }
    reader->column(width - 1, col.data());
    for (int y = 0; y < height; ++y)
        QCOMPARE(col[size_t(y)], expectedValue(width - 1, y));
}

void TstImgDataTiff::refusedLayouts_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("photometric");
    QTest::addColumn<QString>("layout");
    QTest::newRow("RGB") << 8 << SAMPLEFORMAT_UINT << 3 << int(PHOTOMETRIC_RGB)
                         << "3 sample(s) of 8-bit unsigned, photometric 2";
    QTest::newRow("palette") << 8 << SAMPLEFORMAT_UINT << 1 << int(PHOTOMETRIC_PALETTE)
                             << "1 sample(s) of 8-bit unsigned, photometric 3";
    QTest::newRow("signed 16-bit") << 16 << SAMPLEFORMAT_INT << 1 << int(PHOTOMETRIC_MINISBLACK)
                                   << "1 sample(s) of 16-bit signed, photometric 1";
    QTest::newRow("64-bit float") << 64 << SAMPLEFORMAT_IEEEFP << 1 << int(PHOTOMETRIC_MINISBLACK)
                                   << "1 sample(s) of 64-bit float, photometric 1";
    QTest::newRow("grey with alpha") << 16 << SAMPLEFORMAT_UINT << 2 << int(PHOTOMETRIC_MINISBLACK)
                                     << "2 sample(s) of 16-bit unsigned, photometric 1";
}

void TstImgDataTiff::refusedLayouts()
{
    QFETCH(int, bits);
    QFETCH(int, format);
    QFETCH(int, samples);
    QFETCH(int, photometric);
    QFETCH(QString, layout);
    QTemporaryDir dir;
    TiffSpec spec;
    spec.bits = bits;
    spec.format = format;
    spec.samplesPerPixel = samples;
    spec.photometric = photometric;
    const QString file = dir.filePath("bad.tif");
    if (samples == 2) // libtiff warns that the second sample is not declared as alpha
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^libtiff:"));
    QVERIFY(writeTiff(file, 8, 4, spec));
    ImgDataTiff reader;
    reader.setFileName(file);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QString("^\"Unsupported TIFF layout \\(%1\\) : \" \".*bad.tif\"$")
                                                            .arg(QRegularExpression::escape(layout))));
    QVERIFY(!reader.open());
    QVERIFY(!reader.isValid());
}

void TstImgDataTiff::signature()
{
    QTemporaryDir dir;
    auto writeBytes = [&](const QString &name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    writeBytes("one.bin", "I");
    writeBytes("ii.img", "II*\0");
    writeBytes("mm.bin", "MM\0*");
    writeBytes("im.tif", "IM\0\0");
    QVERIFY(!isTIFFFile(dir.filePath("one.bin")));
    QVERIFY(isTIFFFile(dir.filePath("ii.img")));
    QVERIFY(isTIFFFile(dir.filePath("mm.bin")));
    QVERIFY(!isTIFFFile(dir.filePath("im.tif")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Check File Type \\(TIFF\\):: Can not open"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Check File Type \\(ITEX\\):: Can not open"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Unknown file type :"));
    QCOMPARE(fileType(dir.filePath("absent")), int(ImgTypeUnknown));
}

void TstImgDataTiff::realFloatFlatMatches16BitCopy()
{
    const QString root = qEnvironmentVariable("ZORVEL_REAL_DATA");
    if (root.isEmpty() || !QDir(root).exists("savu"))
        QSKIP("real data not available");
    // The facility's float flat field and its lossless 16-bit copy hold the same counts.
    std::unique_ptr<ImgData> asFloat(newImgData(ImgTypeTIFF)), as16(newImgData(ImgTypeTIFF));
    asFloat->setFileName(root + "/savu/flat_00001.tiff");
    as16->setFileName(root + "/savu/flat_00001_uint16_derived.tiff");
    QVERIFY(asFloat->open());
    QVERIFY(as16->open());
    QCOMPARE(asFloat->imageWidth(), 160);
    QCOMPARE(asFloat->imageHeight(), 135);
    std::vector<double> a(160), b(160);
    for (int y = 0; y < 135; ++y) {
        asFloat->line(y, a.data());
        as16->line(y, b.data());
        QVERIFY(a == b);
    }
    double lo = -1, hi = -1;
    asFloat->minMax(lo, hi);
    QCOMPARE(lo, 0.0); // pixel (0, 0) is 0 in every image of this set
    QCOMPARE(hi, 43555.0);
}

QTEST_GUILESS_MAIN(TstImgDataTiff)
#include "tst_imgdatatiff.moc"
