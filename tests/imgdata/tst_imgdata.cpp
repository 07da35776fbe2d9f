#include "ColorBar.h"
#include "ImgData.h"
#include "ImgDataITEX.h"
#include "ImgDatas.h"
#include "ItexWriter.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <tiffio.h>

#include <cstring>
#include <limits>
#include <new>

struct Layout {
    int bits, format, compression;
    bool tiled, bigEndian;
    int samples, photometric;
};
Q_DECLARE_METATYPE(Layout)

namespace {
QStringList messages;
void collect(QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; }

// Sample (x, y) of the written images: not symmetric; near 2^32 for 32-bit integers, where
// a signed reading would turn negative.
double sampleValue(int x, int y, bool high) { return 7.0 * y + x + (high ? 4294967040.0 : 0.0); }


// sampleValue() in every sample, in 16 x 16 tiles or strips of 3 rows, so partial blocks occur.
bool writeTiff(const QString &fileName, int width, int height, const Layout &l)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(fileName).constData(), l.bigEndian ? "wb" : "wl");
    if (!tif)
        return false;
    const int blockW = l.tiled ? 16 : width, blockH = l.tiled ? 16 : 3;
    for (auto [tag, value] : std::initializer_list<std::pair<int, int>>{{TIFFTAG_IMAGEWIDTH, width}, {TIFFTAG_IMAGELENGTH, height},
                              {TIFFTAG_BITSPERSAMPLE, l.bits}, {TIFFTAG_SAMPLEFORMAT, l.format},
                              {TIFFTAG_SAMPLESPERPIXEL, l.samples}, {TIFFTAG_PHOTOMETRIC, l.photometric},
                              {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG}, {TIFFTAG_COMPRESSION, l.compression},
                              {l.tiled ? TIFFTAG_TILEWIDTH : TIFFTAG_ROWSPERSTRIP, l.tiled ? blockW : blockH}})
        TIFFSetField(tif, tag, value);
    if (l.tiled)
        TIFFSetField(tif, TIFFTAG_TILELENGTH, blockH);
    const int sampleBytes = l.bits / 8;
    const bool high = l.bits == 32 && l.format == SAMPLEFORMAT_UINT;
    std::vector<unsigned char> block(size_t(blockW * blockH * sampleBytes * l.samples), 0);
    bool ok = true;
    for (int y0 = 0; y0 < height; y0 += blockH)
        for (int x0 = 0; x0 < width; x0 += blockW) {
            const int rows = l.tiled ? blockH : std::min(blockH, height - y0);
            for (int i = 0; i < rows * blockW * l.samples; ++i) {
                const double v = sampleValue(x0 + i / l.samples % blockW, y0 + i / l.samples / blockW, high);
                const float f = float(v);
                const quint64 u = quint64(v); // host order is little-endian: the low bytes come first
                const void *src = l.format != SAMPLEFORMAT_IEEEFP ? (const void *)&u
                                  : sampleBytes == 4              ? (const void *)&f
                                                                  : (const void *)&v;
                std::memcpy(&block[size_t(i * sampleBytes)], src, size_t(sampleBytes));
            }
            const tmsize_t size = tmsize_t(rows * blockW * sampleBytes * l.samples);
            ok = ok && (l.tiled ? TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, x0, y0, 0, 0), block.data(), size)
                                : TIFFWriteEncodedStrip(tif, TIFFComputeStrip(tif, y0, 0), block.data(), size)) >= 0;
        }
    TIFFClose(tif);
    return ok;
}

// A little-endian 16-bit grey TIFF written byte by byte, for headers libtiff would not write:
// one strip (tileSide 0) or one tile declaring `declaredBytes`, then `dataBytes` bytes of 1.
QByteArray handMadeTiff(quint32 width, quint32 height, quint32 tileSide, quint32 declaredBytes, int dataBytes)
{
    const quint32 entryCount = tileSide ? 8 : 7, dataOffset = 8 + 2 + 12 * entryCount + 4, LONG = 4;
    QList<std::array<quint32, 3>> entries = {{256, LONG, width}, {257, LONG, height}, {258, 3, 16}, {262, 3, 1}};
    if (tileSide)
        entries += {{322, LONG, tileSide}, {323, LONG, tileSide}, {324, LONG, dataOffset}, {325, LONG, declaredBytes}};
    else
        entries += {{273, LONG, dataOffset}, {278, LONG, height}, {279, LONG, declaredBytes}};
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

// ITEX header declaring the comment length (the real one when negative), comment, pixel bytes.
QByteArray itexBytes(const QByteArray &comment, const QByteArray &pixels, int declared = -1)
{
    QByteArray header(64, '\0');
    header[0] = 'I';
    header[1] = 'M';
    qToLittleEndian<quint16>(quint16(declared < 0 ? comment.size() : declared), header.data() + 2);
    return header + comment + pixels;
}

// Pixels held in memory (row-major), or a load that runs out of memory.
class MemoryReader : public ImgData
{
public:
    MemoryReader(int w, int h, std::vector<double> values, bool exhausted = false)
        : w(w), h(h), values(std::move(values)), exhausted(exhausted) { setFileName("memory.img"); }
    void reset() override {}
    bool readProps(const QString &, int &width, int &height) override { width = w; height = h; return true; }
    bool load() override { return exhausted ? throw std::bad_alloc() : true; }
    double *line(int y, double *buffer) const override
    {
        for (int x = 0; x < w; ++x)
            buffer[x] = size_t(y) * w + x < values.size() ? values[size_t(y) * w + x] : 0.0;
        return buffer;
    }
    double *column(int, double *buffer) const override { return buffer; }

private:
    int w, h;
    std::vector<double> values;
    bool exhausted;
};
}

// The ITEX and TIFF readers written and read back, their refusal of hostile files, and the
// projection series built from them.
class TstImgData : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QtMessageHandler previousHandler = nullptr;

    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }
    QString itexImage(const QString &name, int width, int height)
    {
        std::vector<quint32> values(size_t(width) * size_t(height));
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = quint32(i * 40503u) % 60000u;
        return ItexWriter::write(dir.filePath(name), width, height, 2, values) ? dir.filePath(name) : QString();
    }

private slots:
    void init()
    {
        messages.clear();
        previousHandler = qInstallMessageHandler(collect);
    }
    void cleanup() { qInstallMessageHandler(previousHandler); }

    void pixelTypes_data()
    {
        QTest::addColumn<bool>("itex");
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QString>("refusal"); // the layout named in the refusal; empty: read
        const int uint = SAMPLEFORMAT_UINT, none = COMPRESSION_NONE, grey = PHOTOMETRIC_MINISBLACK;
        const int ieee = SAMPLEFORMAT_IEEEFP;
        QTest::newRow("ITEX 2-byte") << true << Layout{16, uint, none, false, false, 1, grey} << "";
        QTest::newRow("ITEX 4-byte unsigned") << true << Layout{32, uint, none, false, false, 1, grey} << "";
        QTest::newRow("8-bit") << false << Layout{8, uint, none, false, false, 1, grey} << "";
        QTest::newRow("16-bit") << false << Layout{16, uint, none, false, false, 1, grey} << "";
        QTest::newRow("16-bit big-endian") << false << Layout{16, uint, none, false, true, 1, grey} << "";
        QTest::newRow("32-bit big-endian") << false << Layout{32, uint, none, false, true, 1, grey} << "";
        QTest::newRow("float") << false << Layout{32, ieee, none, false, false, 1, grey} << "";
        QTest::newRow("float big-endian tiled") << false << Layout{32, ieee, none, true, true, 1, grey} << "";
        QTest::newRow("16-bit LZW") << false << Layout{16, uint, COMPRESSION_LZW, false, false, 1, grey} << "";
        QTest::newRow("16-bit deflate tiled big-endian")
            << false << Layout{16, uint, COMPRESSION_ADOBE_DEFLATE, true, true, 1, grey} << "";
        QTest::newRow("8-bit packbits tiled") << false << Layout{8, uint, COMPRESSION_PACKBITS, true, false, 1, grey}
                                              << "";
        QTest::newRow("RGB") << false << Layout{8, uint, none, false, false, 3, PHOTOMETRIC_RGB}
                             << "3 sample(s) of 8-bit unsigned, photometric 2";
        QTest::newRow("min is white") << false << Layout{16, uint, none, false, false, 1, PHOTOMETRIC_MINISWHITE}
                                      << "1 sample(s) of 16-bit unsigned, photometric 0";
        QTest::newRow("signed 16-bit") << false << Layout{16, SAMPLEFORMAT_INT, none, false, false, 1, grey}
                                       << "1 sample(s) of 16-bit signed, photometric 1";
        QTest::newRow("64-bit float") << false << Layout{64, ieee, none, false, false, 1, grey}
                                      << "1 sample(s) of 64-bit float, photometric 1";
    }
    void pixelTypes()
    {
        QFETCH(bool, itex);
        QFETCH(Layout, layout);
        QFETCH(QString, refusal);
        const int width = 37, height = 21; // not multiples of the tile or strip size
        const bool high = layout.bits == 32 && layout.format == SAMPLEFORMAT_UINT;
        const QString file = dir.filePath("t.img");
        std::vector<quint32> values;
        for (int i = 0; i < width * height; ++i)
            values.push_back(quint32(sampleValue(i % width, i / width, high)));
        QVERIFY(itex ? ItexWriter::write(file, width, height, layout.bits / 8, values, 0.05)
                     : writeTiff(file, width, height, layout));
        QCOMPARE(fileType(file), int(itex ? ImgTypeITEX : ImgTypeTIFF));
        std::unique_ptr<ImgData> reader = openImgData(file);
        QCOMPARE(bool(reader), refusal.isEmpty());
        if (!reader) {
            QCOMPARE(messages, QStringList{"Unsupported TIFF layout (" + refusal + ") :  \"" + file + "\""});
            return;
        }
        QCOMPARE(messages, QStringList());
        QCOMPARE(reader->imageWidth(), width);
        QCOMPARE(reader->imageHeight(), height);
        QCOMPARE(reader->exposureTime(), itex ? 0.05 : 1.0);
        std::vector<double> row(width), col(height);
        for (int y = 0; y < height; ++y) {
            QCOMPARE(reader->line(y, row.data()), row.data());
            for (int x = 0; x < width; ++x)
                QCOMPARE(row[size_t(x)], sampleValue(x, y, high));
        }
        QCOMPARE(reader->column(width - 1, col.data()), col.data());
        for (int y = 0; y < height; ++y)
            QCOMPARE(col[size_t(y)], sampleValue(width - 1, y, high));
        double lo = -1, hi = -1;
        reader->minMax(lo, hi);
        QVERIFY(lo == sampleValue(0, 0, high) && hi == sampleValue(width - 1, height - 1, high));
        if (!itex)
            return;
        // Without a pixel block (after reset, or after unreadable properties) rows and
        // columns leave the buffer alone.
        reader->reset();
        row[0] = col[0] = -1.0;
        reader->line(1, row.data());
        reader->column(0, col.data());
        int w, h;
        QVERIFY(!reader->readProps(dir.filePath("absent.img"), w, h));
        reader->line(0, row.data());
        QVERIFY(row[0] == -1.0 && col[0] == -1.0);
        QVERIFY(!ItexWriter::write(file, 0, 6, 4, {}) && !ItexWriter::write(file, 3, 0, 4, {}));
    }

    void itexComment_data()
    {
        QTest::addColumn<QByteArray>("comment");
        QTest::addColumn<int>("declared");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<double>("exposure");
        const QByteArray size43 = "Prop_ImageWidth=4,Prop_ImageHeight=3,", two = "BytesPerPixel=2,";
        QTest::newRow("plain items") << size43 + two << -1 << true << 4 << 3 << 2 << 1.0;
        QTest::newRow("blank after key") << QByteArray("Prop_ImageWidth= 4,Prop_ImageHeight=3,BytesPerPixel=4,")
                                         << -1 << true << 4 << 3 << 4 << 1.0;
        QTest::newRow("areSource fallback") << "areSource=\"0,0,1024,512\"," + two << -1 << true << 1024 << 512 << 2
                                            << 1.0;
        QTest::newRow("width item wins over areSource")
            << "Prop_ImageWidth=8,areSource=\"0,0,1024,512\"," + two << -1 << true << 8 << 512 << 2 << 1.0;
        QTest::newRow("areSource span overflowing 32 bits")
            << "areSource=\"-2147483647,0,2147483647,1\"," + two << -1 << false << 0 << 1 << 2 << 1.0;
        QTest::newRow("later exposure wins") << "Prop_ExposureTime2=0.5,Prop_ExposureTime1=0.25," + size43 + two
                                             << -1 << true << 4 << 3 << 2 << 0.25;
        QTest::newRow("exposure 2 after 1") << "Prop_ExposureTime1=0.25,Prop_ExposureTime2=0.5," + size43 + two
                                            << -1 << true << 4 << 3 << 2 << 0.5;
        // A time that is not a finite number counts as 0, as typed into a field.
        QTest::newRow("exposure nan") << "Prop_ExposureTime1=nan," + size43 + two << -1 << true << 4 << 3 << 2 << 0.0;
        QTest::newRow("exposure inf") << "Prop_ExposureTime2=-inf," + size43 + two << -1 << true << 4 << 3 << 2 << 0.0;
        QTest::newRow("non-numeric width") << "Prop_ImageWidth=abc,Prop_ImageHeight=3," + two << -1 << false << 0 << 3
                                           << 2 << 1.0;
        QTest::newRow("negative height") << "Prop_ImageWidth=4,Prop_ImageHeight=-3," + two << -1 << false << 4 << 0
                                         << 2 << 1.0;
        QTest::newRow("decimal, never octal") << "Prop_ImageWidth=0640,Prop_ImageHeight=010," + two << -1 << true
                                              << 640 << 10 << 2 << 1.0;
        QTest::newRow("widest side") << "Prop_ImageWidth=1048576,Prop_ImageHeight=1," + two << -1 << true << 1048576
                                     << 1 << 2 << 1.0;
        // Text mode reads CR LF as one character; the item after it starts with a line feed.
        QTest::newRow("CRLF inside") << "Prop_ImageWidth=4,\r\nProp_ImageHeight=3," + two << -1 << false << 4 << 0
                                     << 2 << 1.0;
        // The length counts decoded characters: the two-byte letter leaves room for the comma
        // that starts the pixel block, which ends the last item.
        QTest::newRow("characters, not bytes") << "Note=\xc3\xa9," + size43 + "BytesPerPixel=2" << -1 << true << 4
                                               << 3 << 2 << 1.0;
        QTest::newRow("zero comment length") << size43 + two << 0 << false << 0 << 0 << 0 << 1.0;
        QTest::newRow("comment past end of file") << size43 + two << 60000 << false << 0 << 0 << 0 << 1.0;
    }
    void itexComment()
    {
        QFETCH(QByteArray, comment);
        QFETCH(int, declared);
        QFETCH(bool, ok);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, bytes);
        QFETCH(double, exposure);
        const QString file = write("c.img", itexBytes(comment, "," + QByteArray(4096, '\0'), declared));
        ImgDataITEX reader;
        int w = -1, h = -1;
        QCOMPARE(reader.readProps(file, w, h), ok);
        QVERIFY(w == width && h == height && reader.pixelBytes() == bytes);
        QCOMPARE(reader.exposureTime(), exposure);
        QCOMPARE(reader.pixelDataOffset(), 64 + (declared < 0 ? int(comment.size()) : declared));
    }

    // Hostile or broken files: the series refuses each with the reader's one line naming why
    // (then its own), or reads what is there.
    void hostileFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no file
        QTest::addColumn<QStringList>("lines"); // each before the file name
        QTest::addColumn<QList<double>>("row1"); // first and last pixel of row 1; empty: refused
        const QString side = "is outside 1 ... 1048576 pixels a side : ", unknown = "Unknown file type : ";
        const QByteArray two = "BytesPerPixel=2,";
        const QByteArray pixels = "," + QByteArray(64, '\0');
        QTest::newRow("hand-made strip") << handMadeTiff(4, 2, 0, 16, 16) << QStringList() << QList<double>{257, 257};
        // libtiff recomputes a single strip's byte count from the image length.
        QTest::newRow("strip byte count too small") << handMadeTiff(64, 64, 0, 100, 8192) << QStringList()
                                                    << QList<double>{257, 257};
        QTest::newRow("TIFF of 2^31 bytes") << handMadeTiff(32768, 32768, 0, 16, 16)
                                            << QStringList{"Unsupported TIFF size 32768 x 32768 : "} << QList<double>();
        QTest::newRow("TIFF 2^31 - 1 wide") << handMadeTiff(0x7FFFFFFFu, 1, 0, 16, 16)
                                            << QStringList{"Image size 2147483647 x 1 " + side} << QList<double>();
        QTest::newRow("tile of 8 GiB") << handMadeTiff(16, 16, 65536, 512, 512)
                                       << QStringList{"Unsupported TIFF tile size 65536 x 65536 : "} << QList<double>();
        QTest::newRow("strip longer than the file") << handMadeTiff(64, 64, 0, 8192, 100)
                                                    << QStringList{"Error on decoding TIFF pixels"} << QList<double>();
        QTest::newRow("ITEX 300,000,000 x 1") << itexBytes("Prop_ImageWidth=300000000,Prop_ImageHeight=1," + two, pixels)
                                              << QStringList{"Image size 300000000 x 1 " + side} << QList<double>();
        QTest::newRow("ITEX 1 x 2^20 + 1") << itexBytes("Prop_ImageWidth=1,Prop_ImageHeight=1048577," + two, pixels)
                                           << QStringList{"Image size 1 x 1048577 " + side} << QList<double>();
        QTest::newRow("ITEX block of 2^31") << itexBytes("Prop_ImageWidth=32768,Prop_ImageHeight=32768," + two, pixels)
                                            << QStringList{"ITEX pixel block of 2147483648 bytes is too large : "}
                                            << QList<double>();
        QTest::newRow("ITEX pixel size 3") << itexBytes("Prop_ImageWidth=4,Prop_ImageHeight=3,BytesPerPixel=3,", pixels)
                                           << QStringList{"ITEX pixel size 3 is neither 2 nor 4 bytes : "}
                                           << QList<double>();
        // The last item counts only when a comma follows it: the pixel size stays 0.
        QTest::newRow("no trailing comma") << itexBytes("Prop_ImageWidth=4,Prop_ImageHeight=3,BytesPerPixel=2", pixels)
                                           << QStringList{"ITEX pixel size 0 is neither 2 nor 4 bytes : "}
                                           << QList<double>();
        QTest::newRow("ITEX without geometry") << itexBytes("Comment=none,", QByteArray(16, '\0'))
                                               << QStringList{"Image size 0 x 0 " + side} << QList<double>();
        QTest::newRow("ITEX of 9 bytes") << QByteArray("IM\0\0\0\0\0\0\0", 9)
                                         << QStringList{"Error on reading ITEX file props."} << QList<double>();
        // 3 x 2 pixels of 2 bytes need 12 bytes; 7 are there: the 4th keeps its low byte.
        QTest::newRow("short ITEX pixel block")
            << itexBytes("Prop_ImageWidth=3,Prop_ImageHeight=2," + two, QByteArray("\1\0\2\0\3\0\4", 7))
            << QStringList{"ITEX pixel block is 5 bytes short, missing pixels read as 0 : "} << QList<double>{4, 0};
        // The signature: both bytes of each.
        QTest::newRow("one byte") << QByteArray("I") << QStringList{unknown} << QList<double>();
        QTest::newRow("IN") << QByteArray("IN\0\0", 4) << QStringList{unknown} << QList<double>();
        QTest::newRow("MI*") << QByteArray("MI\0*", 4) << QStringList{unknown} << QList<double>();
        QTest::newRow("II* only") << QByteArray("II*") << QStringList{"Can not open TIFF file to read props."}
                                  << QList<double>();
        QTest::newRow("MM*") << QByteArray("MM\0*", 4) << QStringList{"Can not open TIFF file to read props."}
                             << QList<double>();
        QTest::newRow("absent") << QByteArray()
                                << QStringList{"Check File Type (TIFF):: Can not open", "Check File Type (ITEX):: Can not open", unknown}
                                << QList<double>();
    }
    void hostileFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QFETCH(QList<double>, row1);
        const QString file = bytes.isNull() ? dir.filePath("absent") : write("hostile", bytes);
        ImgDatas series;
        QCOMPARE(series.add(file), !row1.isEmpty());
        if (row1.isEmpty() && !lines.contains(QLatin1String("Unknown file type : ")))
            lines << "File is not ready to access";
        for (const QString &line : lines)
            QVERIFY2(messages.contains(line + " \"" + file + "\""), qPrintable(messages.join('\n')));
        QCOMPARE(series.count(), row1.isEmpty() ? 0 : 1);
        if (row1.isEmpty()) {
            QCOMPARE(series.imageWidth(), 0);
            return;
        }
        std::vector<double> row(size_t(series.imageWidth()));
        series.at(0)->line(1, row.data());
        QVERIFY(row.front() == row1.first() && row.back() == row1.last());
    }

    // "transposed" and one side alone: every difference in size is refused.
    void sizeRules_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("transposed") << 4 << 8;
        QTest::newRow("width differs") << 9 << 4;
        QTest::newRow("height differs") << 8 << 5;
    }
    void sizeRules()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        ImgDatas series;
        QVERIFY(series.add(itexImage("a.img", 8, 4)));
        const QString other = itexImage("b.img", width, height);
        const QString mismatch = QString("Mismatch image size : (8, 4) != (%1, %2) :  \"").arg(width).arg(height);
        QVERIFY(!series.add(other));
        QVERIFY(series.add(itexImage("c.img", 8, 4)));
        QCOMPARE(series.count(), 2);
        QCOMPARE(series.at(1)->imageFileName(), dir.filePath("c.img"));
        QVERIFY(!series.at(2) && !series.at(-1));
        series.clearImgs(); // keeps the size; clear frees it
        QCOMPARE(series.count(), 0);
        QVERIFY(!series.add(other));
        QCOMPARE(messages, QStringList(2, mismatch + other + "\""));
        series.clear();
        QVERIFY(series.add(other));
        QVERIFY(series.imageWidth() == width && series.imageHeight() == height);
    }

    void minMaxSkipsNonFinite_data()
    {
        const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
        QTest::addColumn<std::vector<double>>("pixels");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::newRow("NaN first") << std::vector<double>{nan, -2e-5, 3, 7} << -2e-5 << 7.0;
        QTest::newRow("infinities") << std::vector<double>{5, inf, -inf, 6} << 5.0 << 6.0;
        QTest::newRow("all negative") << std::vector<double>{-5, -3, nan, -4} << -5.0 << -3.0;
        QTest::newRow("nothing finite") << std::vector<double>{nan, inf, nan, -inf} << 0.0 << 0.0;
    }
    void minMaxSkipsNonFinite()
    {
        QFETCH(std::vector<double>, pixels);
        QFETCH(double, min);
        QFETCH(double, max);
        MemoryReader reader(2, 2, pixels);
        double lo = -1, hi = -1;
        reader.minMax(lo, hi); // not opened: 0, 0 without scanning
        QVERIFY(lo == 0.0 && hi == 0.0 && !reader.isMinMaxValid());
        QVERIFY(reader.open());
        reader.minMax(lo, hi);
        QVERIFY2(lo == min && hi == max, qPrintable(QString("%1 %2").arg(lo).arg(hi)));
    }

    void outOfMemory()
    {
        MemoryReader exhausted(4, 4, {}, true);
        QVERIFY(!exhausted.open() && !exhausted.isValid());
        // 2^40 bytes of picture are not to be had: nothing is drawn, the bar keeps its range.
        ColorBar bar;
        bar.autoRange(-1, 1);
        const ColorScale before = bar.colorScale();
        MemoryReader huge(ImgData::maxImageSide, ImgData::maxImageSide, {});
        QVERIFY(huge.open());
        QImage picture(3, 2, QImage::Format_Grayscale8);
        QVERIFY(!huge.toImage(picture, bar));
        QCOMPARE(messages, QStringList({"Not enough memory to load \"memory.img\"",
                                        "Not enough memory to show \"memory.img\""}));
        QCOMPARE(picture.size(), QSize(3, 2));
        QVERIFY(bar.colorScale().minV == before.minV && bar.colorScale().maxV == before.maxV);
        QVERIFY(!huge.isMinMaxValid());
        // The series emits only for a picture it could render.
        ImgDatas series;
        QVERIFY(series.add(itexImage("a.img", 8, 4)));
        QSignalSpy updated(&series, &ImgDatas::imageUpdated);
        QVERIFY(!series.showImage(1, picture, bar));
        QVERIFY(series.showImage(0, picture, bar));
        QCOMPARE(picture.size(), QSize(8, 4));
        QCOMPARE(updated.count(), 1);
        QVERIFY(newImgData(ImgTypeUnknown) == nullptr);
    }

    // The facility's float flat field and its lossless 16-bit copy hold the same counts.
    void realFloatFlatMatches16BitCopy()
    {
        const QString root = qEnvironmentVariable("ZORVEL_REAL_DATA") + "/savu/";
        if (!QFileInfo::exists(root + "flat_00001.tiff"))
            QSKIP("real data not available");
        const auto asFloat = openImgData(root + "flat_00001.tiff"), as16 = openImgData(root + "flat_00001_uint16_derived.tiff");
        QVERIFY(asFloat && as16 && asFloat->imageWidth() == 160 && asFloat->imageHeight() == 135);
        std::vector<double> a(160), b(160);
        for (int y = 0; y < 135; ++y)
            QVERIFY(*asFloat->line(y, a.data()) == *as16->line(y, b.data()) && a == b);
        double lo = -1, hi = -1;
        asFloat->minMax(lo, hi);
        QVERIFY(lo == 0.0 && hi == 43555.0); // pixel (0, 0) is 0 in every image of this set
    }
};

QTEST_MAIN(TstImgData)
#include "tst_imgdata.moc"
