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
    int compression = COMPRESSION_NONE;
    bool tiled = false;
    bool bigEndian = false;
    int samplesPerPixel = 1;
    int photometric = PHOTOMETRIC_MINISBLACK;
};

// Value of pixel (x, y) in the test images; fits 8 bits and is not symmetric.
double expectedValue(int x, int y) { return double(7 * y + x); }

// Writes a width x height image with expectedValue() in every sample, in 16 x 16 tiles
// or in strips of 3 rows, so that partial blocks occur.
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
    const int blockW = spec.tiled ? 16 : width, blockH = spec.tiled ? 16 : 3;
    TIFFSetField(tif, spec.tiled ? TIFFTAG_TILEWIDTH : TIFFTAG_ROWSPERSTRIP, spec.tiled ? blockW : blockH);
    if (spec.tiled)
        TIFFSetField(tif, TIFFTAG_TILELENGTH, blockH);
    const int sampleBytes = spec.bits / 8, pixelBytes = sampleBytes * spec.samplesPerPixel;
    std::vector<unsigned char> block(size_t(blockW * blockH * pixelBytes), 0);
    bool ok = true;
    for (int y0 = 0; y0 < height; y0 += blockH)
        for (int x0 = 0; x0 < width; x0 += blockW) {
            const int rows = spec.tiled ? blockH : std::min(blockH, height - y0);
            for (int i = 0; i < rows * blockW * spec.samplesPerPixel; ++i) {
                const double v = expectedValue(x0 + i / spec.samplesPerPixel % blockW, y0 + i / spec.samplesPerPixel / blockW);
                const float f = float(v);
                const quint64 u = quint64(v); // host order is little-endian: the low bytes come first
                const void *src = spec.format != SAMPLEFORMAT_IEEEFP ? (const void *)&u
                                  : sampleBytes == 4                 ? (const void *)&f
                                                                     : (const void *)&v;
                std::memcpy(&block[size_t(i * sampleBytes)], src, size_t(sampleBytes));
            }
            const tmsize_t size = tmsize_t(rows * blockW * pixelBytes);
            ok = ok && (spec.tiled ? TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, x0, y0, 0, 0), block.data(), size)
                                   : TIFFWriteEncodedStrip(tif, TIFFComputeStrip(tif, y0, 0), block.data(), size)) >= 0;
        }
    TIFFClose(tif);
    return ok;
}

// A little-endian 16-bit grey TIFF written byte by byte, for headers libtiff would not
// write: one strip (tileSide 0) or one tile whose byte count says `declaredBytes`,
// followed by `dataBytes` bytes of samples.
QByteArray handMadeTiff(quint32 width, quint32 height, quint32 tileSide, quint32 declaredBytes, int dataBytes)
{
    const quint16 SHORT = 3, LONG = 4;
    const quint32 entryCount = tileSide ? 8 : 7;
    const quint32 dataOffset = 8 + 2 + 12 * entryCount + 4;
    QList<std::array<quint32, 3>> entries = {{256, LONG, width}, {257, LONG, height}, {258, SHORT, 16}, {262, SHORT, 1}};
    if (tileSide)
        entries << std::array<quint32, 3>{322, LONG, tileSide} << std::array<quint32, 3>{323, LONG, tileSide}
                << std::array<quint32, 3>{324, LONG, dataOffset} << std::array<quint32, 3>{325, LONG, declaredBytes};
    else
        entries << std::array<quint32, 3>{273, LONG, dataOffset} << std::array<quint32, 3>{278, LONG, height}
                << std::array<quint32, 3>{279, LONG, declaredBytes};
    QByteArray out("II*\0\x08\0\0\0", 8);
    auto put = [&out](quint32 v, int n) { for (int i = 0; i < n; ++i) out.append(char((v >> (8 * i)) & 0xff)); };
    put(entryCount, 2);
    for (const auto &e : entries) {
        put(e[0], 2);
        put(e[1], 2);
        put(1, 4);
        put(e[2], 4);
    }
    put(0, 4);
    return out + QByteArray(dataBytes, '\1');
}

}

// libtiff-backed reading of grey detector images, and refusal of every other layout.
class TstImgDataTiff : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void layouts_data();
    void layouts();
    void hostileHeaders_data();
    void hostileHeaders();
    void signature();
    void realFloatFlatMatches16BitCopy();

private:
    static void collect(QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; }
    static QStringList messages;
    QtMessageHandler previousHandler = nullptr;
    QTemporaryDir dir;
};

QStringList TstImgDataTiff::messages;

void TstImgDataTiff::init()
{
    messages.clear();
    previousHandler = qInstallMessageHandler(collect);
}

void TstImgDataTiff::cleanup()
{
    qInstallMessageHandler(previousHandler);
}

void TstImgDataTiff::layouts_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("compression");
    QTest::addColumn<bool>("tiled");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("photometric");
    QTest::addColumn<QString>("refusal"); // the layout named in the refusal; empty: read
    const int uint = SAMPLEFORMAT_UINT, none = COMPRESSION_NONE, grey = PHOTOMETRIC_MINISBLACK;
    QTest::newRow("8-bit") << 8 << uint << none << false << false << 1 << grey << "";
    QTest::newRow("16-bit") << 16 << uint << none << false << false << 1 << grey << "";
    QTest::newRow("16-bit big-endian") << 16 << uint << none << false << true << 1 << grey << "";
    QTest::newRow("32-bit big-endian") << 32 << uint << none << false << true << 1 << grey << "";
    QTest::newRow("float") << 32 << int(SAMPLEFORMAT_IEEEFP) << none << false << false << 1 << grey << "";
    QTest::newRow("float big-endian tiled") << 32 << int(SAMPLEFORMAT_IEEEFP) << none << true << true << 1 << grey << "";
    QTest::newRow("16-bit LZW") << 16 << uint << int(COMPRESSION_LZW) << false << false << 1 << grey << "";
    QTest::newRow("16-bit deflate tiled big-endian")
        << 16 << uint << int(COMPRESSION_ADOBE_DEFLATE) << true << true << 1 << grey << "";
    QTest::newRow("8-bit packbits tiled") << 8 << uint << int(COMPRESSION_PACKBITS) << true << false << 1 << grey << "";
    QTest::newRow("RGB") << 8 << uint << none << false << false << 3 << int(PHOTOMETRIC_RGB)
                         << "3 sample(s) of 8-bit unsigned, photometric 2";
    QTest::newRow("min is white") << 16 << uint << none << false << false << 1 << int(PHOTOMETRIC_MINISWHITE)
                                  << "1 sample(s) of 16-bit unsigned, photometric 0";
    QTest::newRow("signed 16-bit") << 16 << int(SAMPLEFORMAT_INT) << none << false << false << 1 << grey
                                   << "1 sample(s) of 16-bit signed, photometric 1";
    QTest::newRow("64-bit float") << 64 << int(SAMPLEFORMAT_IEEEFP) << none << false << false << 1 << grey
                                  << "1 sample(s) of 64-bit float, photometric 1";
}

void TstImgDataTiff::layouts()
{
    QFETCH(int, bits);
    QFETCH(int, format);
    QFETCH(int, compression);
    QFETCH(bool, tiled);
    QFETCH(bool, bigEndian);
    QFETCH(int, samples);
    QFETCH(int, photometric);
    QFETCH(QString, refusal);
    const int width = 37, height = 21; // not multiples of the tile or strip size
    const QString file = dir.filePath("t.tif");
    QVERIFY(writeTiff(file, width, height, {bits, format, compression, tiled, bigEndian, samples, photometric}));
    QCOMPARE(fileType(file), int(ImgTypeTIFF));
    std::unique_ptr<ImgData> reader(newImgData(ImgTypeTIFF));
    reader->setFileName(file);
    QCOMPARE(reader->open(), refusal.isEmpty());
    if (!refusal.isEmpty()) {
        QCOMPARE(messages, QStringList{"Unsupported TIFF layout (" + refusal + ") :  \"" + file + "\""});
        return;
    }
    QCOMPARE(messages, QStringList());
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

void TstImgDataTiff::hostileHeaders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message"); // our line, before the file name
    QTest::newRow("sound hand-made strip") << handMadeTiff(4, 2, 0, 16, 16) << true << "";
    QTest::newRow("2^31 bytes") << handMadeTiff(32768, 32768, 0, 16, 16) << false
                                << "Unsupported TIFF size 32768 x 32768 : ";
    QTest::newRow("2^31 - 1 wide") << handMadeTiff(0x7FFFFFFFu, 1, 0, 16, 16) << false
                                   << "Image size 2147483647 x 1 is outside 1 ... 1048576 pixels a side : ";
    QTest::newRow("tile of 8 GiB") << handMadeTiff(16, 16, 65536, 512, 512) << false
                                   << "Unsupported TIFF tile size 65536 x 65536 : ";
    QTest::newRow("strip longer than the file") << handMadeTiff(64, 64, 0, 8192, 100) << false
                                                << "Error on decoding TIFF pixels";
    // libtiff recomputes a single strip's byte count from the image length.
    QTest::newRow("strip byte count too small") << handMadeTiff(64, 64, 0, 100, 8192) << true << "";
}

void TstImgDataTiff::hostileHeaders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFile f(dir.filePath("hostile.tif"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    ImgDataTiff reader;
    reader.setFileName(f.fileName());
    QCOMPARE(reader.open(), ok);
    if (ok) {
        std::vector<double> row(size_t(reader.imageWidth()));
        reader.line(1, row.data());
        QCOMPARE(row[3], 1.0 + 256.0);
    } else {
        QVERIFY2(messages.contains(message + " \"" + f.fileName() + "\""), qPrintable(messages.join('\n')));
    }
}

void TstImgDataTiff::signature()
{
    const QStringList names{"one.bin", "ii.img", "mm.bin", "im.tif", "in.img", "mi.tif"};
    const QList<QByteArray> heads{"I", "II*", "MM\0*", "IM\0\0", "IN\0\0", "MI\0*"};
    QList<int> types;
    for (int i = 0; i < names.size(); ++i) {
        QFile f(dir.filePath(names[i]));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(heads[i]);
        f.close();
        types << fileType(f.fileName());
    }
    QCOMPARE(types, (QList<int>{ImgTypeUnknown, ImgTypeTIFF, ImgTypeTIFF, ImgTypeITEX, ImgTypeUnknown,
                                ImgTypeUnknown}));
    const QString absent = dir.filePath("absent");
    QCOMPARE(fileType(absent), int(ImgTypeUnknown));
    QCOMPARE(messages, (QStringList{"Unknown file type :  \"" + dir.filePath("one.bin") + "\"",
                                    "Unknown file type :  \"" + dir.filePath("in.img") + "\"",
                                    "Unknown file type :  \"" + dir.filePath("mi.tif") + "\"",
                                    "Check File Type (TIFF):: Can not open \"" + absent + "\"",
                                    "Check File Type (ITEX):: Can not open \"" + absent + "\"",
                                    "Unknown file type :  \"" + absent + "\""}));
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
