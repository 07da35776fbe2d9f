#include "ColorScale.h"
#include "ImgData.h"
#include "ImgDataITEX.h"
#include "ImgDatas.h"
#include "ItexWriter.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <tiffio.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
// The tile is square unless its sides are given.
QByteArray handMadeTiff(quint32 width, quint32 height, quint32 tileSide, quint32 declaredBytes, int dataBytes,
                        quint32 tileWidth = 0, quint32 tileHeight = 0)
{
    const bool tiled = tileSide || tileWidth;
    const quint32 entryCount = tiled ? 8 : 7, dataOffset = 8 + 2 + 12 * entryCount + 4, LONG = 4;
    QList<std::array<quint32, 3>> entries = {{256, LONG, width}, {257, LONG, height}, {258, 3, 16}, {262, 3, 1}};
    if (tiled)
        entries += {{322, LONG, tileWidth ? tileWidth : tileSide}, {323, LONG, tileHeight ? tileHeight : tileSide},
                    {324, LONG, dataOffset}, {325, LONG, declaredBytes}};
    else
        entries += {{273, LONG, dataOffset}, {278, LONG, height}, {279, LONG, declaredBytes}};
    QByteArray out("II*\0\x08\0\0\0", 8);
    auto put = [&out](quint32 v, int n) { for (int i = 0; i < n; ++i) out.append(char((v >> (8 * i)) & 0xff)); };
    put(entryCount, 2);
    for (const auto &e : entries)
        put(e[0], 2), put(e[1], 2), put(1, 4), put(e[2], 4); // tag, type, count 1, value
    put(0, 4);
    return out + QByteArray(dataBytes, '\1');
}

// Sets the tags of a 16-bit grey TIFF with one sample per pixel.
void setGrey16(TIFF *tif, int width, int height, int compression)
{
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
}

// The bytes of a 16-bit TIFF written by libtiff whose only strip (tileSide 0) or tile
// declares all of width x height but holds no more than `dataBytes` zero bytes, compressed.
// Empty (not null) when libtiff could not write it.
QByteArray declaredBeyondData(const QString &fileName, int width, int height, int tileSide, int compression,
                              int dataBytes)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(fileName).constData(), "w");
    if (!tif)
        return QByteArray("");
    setGrey16(tif, width, height, compression);
    if (tileSide) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, tileSide);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, tileSide);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    }
    std::vector<unsigned char> zeros(size_t(dataBytes), 0);
    const tmsize_t written = tileSide ? TIFFWriteEncodedTile(tif, 0, zeros.data(), dataBytes)
                                      : TIFFWriteEncodedStrip(tif, 0, zeros.data(), dataBytes);
    TIFFClose(tif);
    QFile f(fileName);
    return written == dataBytes && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("");
}

// The samples of the large compressed images: a sparse grid of marks and the last pixel on
// zeros, 0 outside the image; any strip or tile out of place moves some mark.
quint16 markAt(int x, int y, int side)
{
    const bool mark = (x % 509 == 3 && y % 257 == 5) || (x == side - 1 && y == side - 1);
    return x < side && y < side && mark ? quint16(1 + x + y) : 0;
}

// A side x side image of markAt() written by libtiff in strips of blockH rows (blockW 0)
// or in blockW x blockH tiles.
bool writeMarkedTiff(const QString &fileName, int side, int compression, int predictor, int blockW, int blockH)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(fileName).constData(), "w");
    if (!tif)
        return false;
    setGrey16(tif, side, side, compression);
    if (predictor != PREDICTOR_NONE)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, predictor);
    if (blockW) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, blockW);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, blockH);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, blockH);
    }
    const int w = blockW ? blockW : side;
    std::vector<quint16> block(size_t(w) * size_t(blockH));
    bool ok = true;
    for (int y0 = 0; y0 < side; y0 += blockH)
        for (int x0 = 0; x0 < side; x0 += w) {
            for (size_t i = 0; i < block.size(); ++i)
                block[i] = markAt(x0 + int(i % size_t(w)), y0 + int(i / size_t(w)), side);
            const tmsize_t rows = blockW ? blockH : std::min(blockH, side - y0), size = rows * w * 2;
            ok = ok && (blockW ? TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, x0, y0, 0, 0), block.data(), size)
                               : TIFFWriteEncodedStrip(tif, TIFFComputeStrip(tif, y0, 0), block.data(), size)) == size;
        }
    TIFFClose(tif);
    return ok;
}

// What the series made of a file, as the child process that read it reported: its first
// line "added" (with row 1's first and last value) or "refused", then the debug lines.
// Empty when the child did not report (it crashed, or ran out of memory).
QStringList addInBoundedChild(const QString &file);

// The child's side: reads the file into a series under the address space limit and writes
// its report to `fd`. _exit() leaves the objects of the test process alone.
[[noreturn]] void reportAdding(const QString &file, rlim_t limitBytes, int fd)
{
    alarm(60); // a reader that hangs is killed
    const rlimit limit{limitBytes, limitBytes};
    messages.clear();
    ImgDatas series;
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        _exit(2);
    QStringList report{"refused"};
    if (series.add(file)) {
        std::vector<double> row(size_t(series.imageWidth()));
        series.at(0)->line(1, row.data());
        report = QStringList{QString("added %1 %2").arg(row.front()).arg(row.back())};
    }
    const QByteArray bytes = (report + messages).join('\n').toUtf8();
    _exit(write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() ? 0 : 1);
}

// Adds the file to a series in a child process whose address space may grow by 512 MB
// only: a reader that reserves what a header declares rather than what the data holds runs
// out of memory there, where this process would pass it after taking gigabytes.
QStringList addInBoundedChild(const QString &file)
{
    QFile statm("/proc/self/statm");
    const qint64 pages = statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(0).toLongLong() : 0;
    int fds[2];
    if (pages <= 0 || pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0)
        reportAdding(file, rlim_t(pages * sysconf(_SC_PAGESIZE) + (qint64(512) << 20)), fds[1]);
    close(fds[1]);
    QFile pipeEnd;
    pipeEnd.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QString report = QString::fromUtf8(pipeEnd.readAll());
    int status = 0;
    const bool reported = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return reported ? report.split('\n') : QStringList();
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

QByteArray geometry(int width, int height, int bytes)
{
    return QString("Prop_ImageWidth=%1,Prop_ImageHeight=%2,BytesPerPixel=%3,").arg(width).arg(height).arg(bytes).toLatin1();
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
        const int uint = SAMPLEFORMAT_UINT, none = COMPRESSION_NONE;
        const auto row = [](const char *name, bool itex, int bits, int format, int compression, bool tiled,
                             bool bigEndian, const char *refusal = "", int samples = 1, int photometric = PHOTOMETRIC_MINISBLACK) {
            QTest::newRow(name) << itex << Layout{bits, format, compression, tiled, bigEndian, samples, photometric}
                                << QString(refusal);
        };
        row("ITEX 2-byte", true, 16, uint, none, false, false);
        row("ITEX 4-byte unsigned", true, 32, uint, none, false, false);
        row("8-bit", false, 8, uint, none, false, false);
        row("16-bit", false, 16, uint, none, false, false);
        row("16-bit big-endian", false, 16, uint, none, false, true);
        row("32-bit big-endian", false, 32, uint, none, false, true);
        row("float", false, 32, SAMPLEFORMAT_IEEEFP, none, false, false);
        row("float big-endian tiled", false, 32, SAMPLEFORMAT_IEEEFP, none, true, true);
        row("16-bit LZW", false, 16, uint, COMPRESSION_LZW, false, false);
        row("16-bit deflate tiled big-endian", false, 16, uint, COMPRESSION_ADOBE_DEFLATE, true, true);
        row("8-bit packbits tiled", false, 8, uint, COMPRESSION_PACKBITS, true, false);
        row("RGB", false, 8, uint, none, false, false, "3 sample(s) of 8-bit unsigned, photometric 2", 3, PHOTOMETRIC_RGB);
        row("min is white", false, 16, uint, none, false, false, "1 sample(s) of 16-bit unsigned, photometric 0", 1,
            PHOTOMETRIC_MINISWHITE);
        row("signed 16-bit", false, 16, SAMPLEFORMAT_INT, none, false, false, "1 sample(s) of 16-bit signed, photometric 1");
        row("64-bit float", false, 64, SAMPLEFORMAT_IEEEFP, none, false, false, "1 sample(s) of 64-bit float, photometric 1");
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
        QVERIFY(reader->imageWidth() == width && reader->imageHeight() == height);
        QCOMPARE(reader->exposureTime(), itex ? 0.05 : 1.0);
        std::vector<double> row(width), col(height);
        QCOMPARE(reader->column(width - 1, col.data()), col.data());
        for (int y = 0; y < height; ++y) {
            QCOMPARE(reader->line(y, row.data()), row.data());
            for (int x = 0; x < width; ++x)
                QCOMPARE(row[size_t(x)], sampleValue(x, y, high));
            QCOMPARE(col[size_t(y)], row.back());
        }
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
        QVERIFY(ItexWriter::write(file, 1, 1, 2, {7}));
    }

    void itexComment_data()
    {
        QTest::addColumn<QByteArray>("comment");
        QTest::addColumn<int>("declared");
        QTest::addColumn<QList<int>>("props"); // ok, width, height, pixel bytes
        QTest::addColumn<double>("exposure");
        const auto row = [](const char *name, const QByteArray &comment, QList<int> props, double exposure = 1.0,
                            int declared = -1) { QTest::newRow(name) << comment << declared << props << exposure; };
        const QByteArray size43 = geometry(4, 3, 2), two = "BytesPerPixel=2,";
        row("plain items", size43, {true, 4, 3, 2});
        row("areSource fallback", "areSource=\"0,0,1024,512\"," + two, {true, 1024, 512, 2});
        row("width item wins over areSource", "Prop_ImageWidth=8,areSource=\"0,0,1024,512\"," + two, {true, 8, 512, 2});
        row("areSource span overflowing 32 bits", "areSource=\"-2147483647,0,2147483647,1\"," + two, {false, 0, 1, 2});
        row("later exposure wins", "Prop_ExposureTime2=0.5,Prop_ExposureTime1=0.25," + size43, {true, 4, 3, 2}, 0.25);
        row("exposure 2 after 1", "Prop_ExposureTime1=0.25,Prop_ExposureTime2=0.5," + size43, {true, 4, 3, 2}, 0.5);
        // A time that is not a finite number counts as 0, as typed into a field.
        row("exposure nan", "Prop_ExposureTime1=nan," + size43, {true, 4, 3, 2}, 0.0);
        row("exposure inf", "Prop_ExposureTime2=-inf," + size43, {true, 4, 3, 2}, 0.0);
        row("non-numeric width", "Prop_ImageWidth=abc,Prop_ImageHeight=3," + two, {false, 0, 3, 2});
        row("negative height", "Prop_ImageWidth=4,Prop_ImageHeight=-3," + two, {false, 4, 0, 2});
        row("decimal, never octal", "Prop_ImageWidth=0640,Prop_ImageHeight=010," + two, {true, 640, 10, 2});
        row("widest side", geometry(1048576, 1, 2), {true, 1048576, 1, 2});
        // Text mode reads CR LF as one character; the item after it starts with a line feed.
        row("CRLF inside", "Prop_ImageWidth=4,\r\nProp_ImageHeight=3," + two, {false, 4, 0, 2});
        // The length counts decoded characters: the two-byte letter leaves room for the comma
        // that starts the pixel block, which ends the last item.
        row("characters, not bytes", "Note=\xc3\xa9," + size43.chopped(1), {true, 4, 3, 2});
        row("zero comment length", size43, {false, 0, 0, 0}, 1.0, 0);
        row("comment past end of file", size43, {false, 0, 0, 0}, 1.0, 60000);
    }
    void itexComment()
    {
        QFETCH(QByteArray, comment);
        QFETCH(int, declared);
        QFETCH(QList<int>, props);
        QFETCH(double, exposure);
        const QString file = write("c.img", itexBytes(comment, "," + QByteArray(4096, '\0'), declared));
        ImgDataITEX reader;
        int w = -1, h = -1;
        const bool ok = reader.readProps(file, w, h);
        QCOMPARE(QList<int>({ok, w, h, reader.pixelBytes()}), props);
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
        const auto row = [](const char *name, const QByteArray &bytes, const QString &line, QList<double> row1 = {}) {
            QTest::newRow(name) << bytes << (line.isEmpty() ? QStringList() : line.split('|')) << row1;
        };
        const QString side = "is outside 1 ... 1048576 pixels a side : ", unknown = "Unknown file type : ";
        const QByteArray pixels = "," + QByteArray(64, '\0');
        row("hand-made strip", handMadeTiff(4, 2, 0, 16, 16), "", {257, 257});
        // libtiff recomputes a single strip's byte count from the image length.
        row("strip byte count too small", handMadeTiff(64, 64, 0, 100, 8192), "", {257, 257});
        row("TIFF of 2^31 bytes", handMadeTiff(32768, 32768, 0, 16, 16), "Unsupported TIFF size 32768 x 32768 : ");
        row("TIFF 2^31 - 1 wide", handMadeTiff(0x7FFFFFFFu, 1, 0, 16, 16), "Image size 2147483647 x 1 " + side);
        row("tile of 8 GiB", handMadeTiff(16, 16, 65536, 512, 512), "Unsupported TIFF tile size 65536 x 65536 : ");
        row("strip longer than the file", handMadeTiff(64, 64, 0, 8192, 100), "Error on decoding TIFF pixels");
        // Gigabytes declared over a few bytes: refused when the data runs out, having held
        // little more than what decoded (the child's address space could not hold more).
        const QString path = dir.filePath("declared.tif"), decoding = "Error on decoding TIFF pixels";
        const int deflate = COMPRESSION_ADOBE_DEFLATE, mega = 1 << 20;
        row("151 bytes declaring 38404 x 23298", handMadeTiff(38404, 23298, 0, 53, 53), decoding);
        row("deflate strip declaring 38404 x 23298", declaredBeyondData(path, 38404, 23298, 0, deflate, mega), decoding);
        row("LZW strip declaring 38404 x 23298", declaredBeyondData(path, 38404, 23298, 0, COMPRESSION_LZW, mega), decoding);
        row("deflate tile declaring 23168 x 23168", declaredBeyondData(path, 23168, 23168, 23168, deflate, mega), decoding);
        // A row of a tile is decoded before its data shows: no tile is wider than an image may be.
        row("tile 2^20 + 16 wide", handMadeTiff(16, 16, 0, 0, 0, 1048592, 16), "Unsupported TIFF tile size 1048592 x 16 : ");
        row("ITEX 300,000,000 x 1", itexBytes(geometry(300000000, 1, 2), pixels), "Image size 300000000 x 1 " + side);
        row("ITEX 1 x 2^20 + 1", itexBytes(geometry(1, 1048577, 4), pixels), "Image size 1 x 1048577 " + side);
        row("ITEX block of 2^31", itexBytes(geometry(32768, 32768, 2), pixels),
            "ITEX pixel block of 2147483648 bytes is too large : ");
        row("ITEX pixel size 3", itexBytes(geometry(4, 3, 3), pixels), "ITEX pixel size 3 is neither 2 nor 4 bytes : ");
        // The last item counts only when a comma follows it: the pixel size stays 0.
        row("no trailing comma", itexBytes(geometry(4, 3, 2).chopped(1), pixels),
            "ITEX pixel size 0 is neither 2 nor 4 bytes : ");
        row("ITEX without geometry", itexBytes("Comment=none,", pixels), "Image size 0 x 0 " + side);
        row("ITEX of 9 bytes", QByteArray("IM\0\0\0\0\0\0\0", 9), "Error on reading ITEX file props.");
        // 3 x 2 pixels of 2 bytes need 12 bytes; 7 are there: the 4th keeps its low byte.
        row("short ITEX pixel block", itexBytes(geometry(3, 2, 2), QByteArray("\1\0\2\0\3\0\4", 7)),
            "ITEX pixel block is 5 bytes short, missing pixels read as 0 : ", {4, 0});
        // The signature: both bytes of each.
        row("one byte", "I", unknown);
        row("IN", QByteArray("IN\0\0", 4), unknown);
        row("MI*", QByteArray("MI\0*", 4), unknown);
        row("II* only", "II*", "Can not open TIFF file to read props.");
        row("MM*", QByteArray("MM\0*", 4), "Can not open TIFF file to read props.");
        row("absent", QByteArray(), "Check File Type (TIFF):: Can not open|Check File Type (ITEX):: Can not open|" + unknown);
    }
    void hostileFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QFETCH(QList<double>, row1);
        QVERIFY2(bytes.isNull() || !bytes.isEmpty(), "the test file could not be written");
        const QString file = bytes.isNull() ? dir.filePath("absent") : write("hostile", bytes);
        const QStringList got = addInBoundedChild(file);
        QVERIFY2(!got.isEmpty(), "the child did not report");
        QCOMPARE(got.first(), row1.isEmpty() ? QString("refused") : QString("added %1 %2").arg(row1[0]).arg(row1[1]));
        if (row1.isEmpty() && !lines.contains(QLatin1String("Unknown file type : ")))
            lines << "File is not ready to access";
        for (const QString &line : lines)
            QVERIFY2(got.count(line + " \"" + file + "\"") == 1, qPrintable(got.join('\n')));
    }

    // Images far larger than their files, as compression makes them, load whole: memory
    // follows the decoded data, not the size of the file. Strips, and tiles larger than
    // the reader's first decoding of a tile, with a predictor that needs whole rows.
    void largeCompressedImages_data()
    {
        QTest::addColumn<int>("compression");
        QTest::addColumn<int>("predictor");
        QTest::addColumn<int>("tileWidth"); // 0: strips of tileHeight rows
        QTest::addColumn<int>("tileHeight");
        QTest::newRow("deflate strips of 64 rows") << COMPRESSION_ADOBE_DEFLATE << PREDICTOR_NONE << 0 << 64;
        QTest::newRow("LZW in one strip") << COMPRESSION_LZW << PREDICTOR_NONE << 0 << 4096;
        QTest::newRow("deflate tiles of 1040 x 2048, predictor")
            << COMPRESSION_ADOBE_DEFLATE << PREDICTOR_HORIZONTAL << 1040 << 2048;
    }
    void largeCompressedImages()
    {
        QFETCH(int, compression);
        QFETCH(int, predictor);
        QFETCH(int, tileWidth);
        QFETCH(int, tileHeight);
        const int side = 4096;
        const QString file = dir.filePath("large.tif");
        QVERIFY(writeMarkedTiff(file, side, compression, predictor, tileWidth, tileHeight));
        // The premise: no bound of the pixels by the file's size would have let these through.
        const qint64 fileBytes = QFileInfo(file).size(), imageBytes = qint64(side) * side * 2;
        QVERIFY2(fileBytes * 256 < imageBytes, qPrintable(QString("the file has %1 bytes").arg(fileBytes)));
        const std::unique_ptr<ImgData> reader = openImgData(file);
        QVERIFY2(reader, qPrintable(messages.join('\n')));
        QCOMPARE(messages, QStringList());
        QVERIFY(reader->imageWidth() == side && reader->imageHeight() == side);
        std::vector<double> row(side);
        int wrong = 0;
        QString first;
        for (int y = 0; y < side; ++y) {
            reader->line(y, row.data());
            for (int x = 0; x < side; ++x)
                if (row[size_t(x)] != markAt(x, y, side) && wrong++ == 0)
                    first = QString("(%1, %2) is %3").arg(x).arg(y).arg(row[size_t(x)]);
        }
        QVERIFY2(wrong == 0, qPrintable(QString("%1 samples wrong, first %2").arg(wrong).arg(first)));
    }

    // Transposed or one side alone: every difference in size is refused, until clear().
    void sizeRules()
    {
        for (const auto &[width, height] : {std::pair{4, 8}, {9, 4}, {8, 5}}) {
            messages.clear();
            ImgDatas series;
            QVERIFY(series.add(itexImage("a.img", 8, 4)));
            const QString other = itexImage("b.img", width, height);
            QVERIFY(!series.add(other));
            QVERIFY(series.add(itexImage("c.img", 8, 4)));
            QVERIFY(series.count() == 2 && series.at(1)->imageFileName() == dir.filePath("c.img"));
            QVERIFY(!series.at(2) && !series.at(-1));
            series.clearImgs(); // keeps the size
            QCOMPARE(series.count(), 0);
            QVERIFY(!series.add(other));
            QCOMPARE(messages, QStringList(2, QString("Mismatch image size : (8, 4) != (%1, %2) :  \"%3\"")
                                                   .arg(width).arg(height).arg(other)));
            series.clear();
            QVERIFY(series.add(other));
            QVERIFY(series.imageWidth() == width && series.imageHeight() == height);
        }
    }

    // A NaN or infinite pixel is no part of the range; without a finite one the range is 0, 0.
    void minMaxSkipsNonFinite()
    {
        const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
        MemoryReader reader(5, 1, {nan, -inf, -5, inf, -3}), nothing(2, 2, {nan, inf, nan, -inf});
        double lo = -1, hi = -1;
        reader.minMax(lo, hi); // not opened: 0, 0 without scanning
        QVERIFY(lo == 0.0 && hi == 0.0 && !reader.isMinMaxValid());
        QVERIFY(reader.open() && nothing.open());
        reader.minMax(lo, hi);
        QVERIFY2(lo == -5 && hi == -3, qPrintable(QString("%1 %2").arg(lo).arg(hi)));
        nothing.minMax(lo, hi);
        QVERIFY(lo == 0.0 && hi == 0.0 && nothing.isMinMaxValid());
    }

    void outOfMemory()
    {
        MemoryReader exhausted(4, 4, {}, true);
        QVERIFY(!exhausted.open() && !exhausted.isValid());
        // 2^40 bytes of picture are not to be had: nothing is drawn, the scale keeps its range.
        ColorScale scale;
        scale.minV = -1;
        const ColorScale before = scale;
        MemoryReader huge(ImgData::maxImageSide, ImgData::maxImageSide, {});
        QVERIFY(huge.open());
        QImage picture(3, 2, QImage::Format_Grayscale8);
        QVERIFY(!huge.toImage(picture, scale, true));
        QCOMPARE(messages, QStringList({"Not enough memory to load \"memory.img\"",
                                        "Not enough memory to show \"memory.img\""}));
        QCOMPARE(picture.size(), QSize(3, 2));
        QVERIFY(scale.minV == before.minV && scale.maxV == before.maxV);
        QVERIFY(!huge.isMinMaxValid());
        // The series emits only for a picture it could render.
        ImgDatas series;
        QVERIFY(series.add(itexImage("a.img", 8, 4)));
        QSignalSpy updated(&series, &ImgDatas::imageUpdated);
        QVERIFY(!series.showImage(1, picture, scale, true));
        QVERIFY(series.showImage(0, picture, scale, true));
        QCOMPARE(updated.count(), 1);
        QCOMPARE(picture.size(), QSize(8, 4)); // every pixel through the scale
        std::vector<double> row(8);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x)
                QCOMPARE(int(picture.constScanLine(y)[x]), scale.colorIndex(series.at(0)->line(y, row.data())[x]));
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
