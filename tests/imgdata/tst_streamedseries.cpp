// Series above the memory budget: streamed readers give every row, column and picture of
// the in-memory readers (and of the values written) for ITEX, TIFF strips and tiles, plain
// and compressed, and HDF5; a range read by two threads reads each file once per block of
// rows; the row cache keeps to its bound; an unreadable file reads as 0 with one line.

#include "ColorScale.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "RowCache.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <hdf5.h>
#include <tiffio.h>

#include <cstring>
#include <thread>

namespace {

constexpr int kWidth = 37, kHeight = 29, kCount = 5;

// Sample (x, y) of projection p; float kinds hold it rounded to float.
double sampleValue(int p, int x, int y, bool asFloat)
{
    const double v = double((p * 7919 + x * 131 + y * 2999) % 65536);
    return asFloat ? double(float(v / 7.25 - 100.0)) : v;
}

struct TiffKind
{
    bool asFloat;
    int compression;
    int predictor; // 1: none
    int tileSide;  // 0: strips of 4 rows
};

bool writeTiff(const QString &name, int p, const TiffKind &k)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(name).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, k.asFloat ? 32 : 16);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, k.asFloat ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, k.compression);
    if (k.predictor != 1)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, k.predictor);
    const int blockW = k.tileSide ? k.tileSide : kWidth, blockH = k.tileSide ? k.tileSide : 4;
    if (k.tileSide) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, blockW);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, blockH);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, blockH);
    }
    const int sampleBytes = k.asFloat ? 4 : 2;
    bool ok = true;
    for (int y0 = 0; y0 < kHeight; y0 += blockH)
        for (int x0 = 0; x0 < kWidth; x0 += blockW) {
            const int rows = k.tileSide ? blockH : std::min(blockH, kHeight - y0);
            std::vector<unsigned char> block(size_t(rows * blockW * sampleBytes), 0);
            for (int i = 0; i < rows * blockW; ++i) {
                const double v = sampleValue(p, x0 + i % blockW, y0 + i / blockW, k.asFloat);
                const float f = float(v);
                const quint16 u = quint16(v);
                std::memcpy(&block[size_t(i * sampleBytes)], k.asFloat ? (const void *)&f : (const void *)&u, size_t(sampleBytes));
            }
            ok = ok && (k.tileSide ? TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, x0, y0, 0, 0), block.data(), tmsize_t(block.size()))
                                   : TIFFWriteEncodedStrip(tif, TIFFComputeStrip(tif, y0, 0), block.data(), tmsize_t(block.size())))
                           >= 0;
        }
    TIFFClose(tif);
    return ok;
}

bool writeItex(const QString &name, int p, int width = kWidth, int height = kHeight)
{
    std::vector<quint32> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(quint32(sampleValue(p, x, y, false)));
    return ItexWriter::write(name, width, height, 2, pixels);
}

// kCount float32 projections as /exchange/data.
bool writeHdf5(const QString &name)
{
    std::vector<double> values;
    for (int p = 0; p < kCount; ++p)
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                values.push_back(sampleValue(p, x, y, true));
    const hid_t file = H5Fcreate(QFile::encodeName(name).constData(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    const hid_t links = H5Pcreate(H5P_LINK_CREATE);
    H5Pset_create_intermediate_group(links, 1);
    const hsize_t dims[3] = {kCount, kHeight, kWidth};
    const hid_t space = H5Screate_simple(3, dims, nullptr);
    const hid_t data = H5Dcreate2(file, "/exchange/data", H5T_IEEE_F32LE, space, links, H5P_DEFAULT, H5P_DEFAULT);
    const bool ok = data >= 0 && H5Dwrite(data, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) >= 0;
    H5Dclose(data);
    H5Sclose(space);
    H5Pclose(links);
    H5Fclose(file);
    return ok;
}

// The files of a series of kind `kind` written into dir; empty when one cannot be written.
QStringList writeSeries(const QString &kind, const QDir &dir)
{
    if (kind == "HDF5 Data Exchange")
        return writeHdf5(dir.filePath("series.h5")) ? QStringList{dir.filePath("series.h5")} : QStringList();
    static const QMap<QString, TiffKind> tiffs = {
        {"TIFF uint16 strips", {false, COMPRESSION_NONE, 1, 0}},
        {"TIFF float32 tiles", {true, COMPRESSION_NONE, 1, 16}},
        {"TIFF deflate strips", {false, COMPRESSION_ADOBE_DEFLATE, 1, 0}},
        {"TIFF LZW strips, predictor", {false, COMPRESSION_LZW, 2, 0}},
        {"TIFF LZW float32 tiles, predictor", {true, COMPRESSION_LZW, 3, 16}},
    };
    QStringList files;
    for (int p = 0; p < kCount; ++p) {
        const QString name = dir.filePath(QString("p%1.%2").arg(p).arg(kind.startsWith("TIFF") ? "tif" : "img"));
        if (!(kind.startsWith("TIFF") ? writeTiff(name, p, tiffs.value(kind)) : writeItex(name, p)))
            return {};
        files << name;
    }
    return files;
}

// The bound that gives blocks of `rows` rows to `count` images `width` wide.
qint64 boundForRows(int rows, int count, int width)
{
    return 2 * qint64(count) * width * qint64(sizeof(double)) * rows;
}

bool loadAll(ImgDatas &series, const QStringList &files, qint64 budget)
{
    setMemoryBudget(budget);
    series.planLoad(files);
    const bool ok = std::all_of(files.begin(), files.end(), [&](const QString &f) { return series.add(f); });
    setMemoryBudget(0);
    return ok;
}

QStringList messages;
void collect(QtMsgType, const QMessageLogContext &, const QString &text)
{
    messages << text;
}

} // namespace

class TestStreamedSeries : public QObject
{
    Q_OBJECT
private slots:
    void streamedEqualsInMemory_data();
    void streamedEqualsInMemory();
    void rangeReadsEachFileOncePerBlock();
    void cacheKeepsToItsBound();
    void unreadableFileReadsAsZero_data();
    void unreadableFileReadsAsZero();
};

void TestStreamedSeries::streamedEqualsInMemory_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"ITEX 16-bit", "TIFF uint16 strips", "TIFF float32 tiles", "TIFF deflate strips",
                             "TIFF LZW strips, predictor", "TIFF LZW float32 tiles, predictor", "HDF5 Data Exchange"})
        QTest::newRow(kind) << QString(kind);
}

// Blocks of 3 rows straddle the strips of 4 rows and the tiles of 16; the smallest series
// (16-bit) is above the bound, so every kind streams.
void TestStreamedSeries::streamedEqualsInMemory()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QStringList files = writeSeries(kind, QDir(dir.path()));
    QVERIFY(!files.isEmpty());
    ImgDatas whole, streamed;
    QVERIFY(loadAll(whole, files, 0) && loadAll(streamed, files, boundForRows(3, kCount, kWidth)));
    QVERIFY(whole.count() == kCount && streamed.count() == kCount);
    const bool asFloat = kind.contains("float") || kind.startsWith("HDF5");
    std::vector<double> a(std::max(kWidth, kHeight)), b(a.size());
    for (int p = 0; p < kCount; ++p) {
        const ImgData &inMemory = *whole.at(p), &fromFile = *streamed.at(p);
        QVERIFY(!inMemory.isStreamed() && fromFile.isStreamed() && fromFile.rowsPerBlock() == 3);
        for (int y = 0; y < kHeight; ++y) {
            inMemory.line(y, a.data());
            fromFile.line(y, b.data());
            for (int x = 0; x < kWidth; ++x)
                QVERIFY2(a[x] == sampleValue(p, x, y, asFloat) && b[x] == a[x], qPrintable(QString("p %1 (%2, %3)").arg(p).arg(x).arg(y)));
        }
        for (int x = 0; x < kWidth; ++x) {
            inMemory.column(x, a.data());
            fromFile.column(x, b.data());
            QVERIFY2(std::memcmp(a.data(), b.data(), kHeight * sizeof(double)) == 0, qPrintable(QString("p %1 column %2").arg(p).arg(x)));
        }
        QImage wholePicture, streamedPicture;
        ColorScale wholeScale, streamedScale;
        const quint64 readsBefore = fromFile.rowBlockReads();
        QVERIFY(whole.at(p)->toImage(wholePicture, wholeScale, true) && streamed.at(p)->toImage(streamedPicture, streamedScale, true));
        QVERIFY(wholePicture == streamedPicture && wholeScale.minV == streamedScale.minV && wholeScale.maxV == streamedScale.maxV);
        // The picture is one read of the file: range and pixels together.
        QCOMPARE(fromFile.rowBlockReads(), readsBefore + 1);
    }
}

// Slices 8 ... 23 of six projections read by two threads at a time, as two workers of a
// range run read them: blocks of 4 rows, so each file is read 16 / 4 = 4 times.
void TestStreamedSeries::rangeReadsEachFileOncePerBlock()
{
    constexpr int count = 6, width = 40, height = 64, rows = 4, first = 8, slices = 16;
    QTemporaryDir dir;
    QStringList files;
    for (int p = 0; p < count; ++p) {
        files << QDir(dir.path()).filePath(QString("p%1.img").arg(p));
        QVERIFY(writeItex(files.back(), p, width, height));
    }
    ImgDatas series;
    QVERIFY(loadAll(series, files, boundForRows(rows, count, width)));
    const std::shared_ptr<const ProjectionSeries> snapshot = series.snapshot();
    std::atomic<int> wrong{0};
    const auto readSlice = [&](int y) {
        std::vector<double> row(width);
        for (int p = 0; p < count; ++p) {
            snapshot->at(p)->line(y, row.data());
            for (int x = 0; x < width; ++x)
                wrong += row[x] != sampleValue(p, x, y, false);
        }
    };
    for (int y = first; y < first + slices; y += 2) {
        std::thread other(readSlice, y + 1);
        readSlice(y);
        other.join();
    }
    QCOMPARE(wrong.load(), 0);
    for (int p = 0; p < count; ++p) {
        QVERIFY(snapshot->at(p)->rowsPerBlock() == rows);
        QCOMPARE(snapshot->at(p)->rowBlockReads(), quint64(slices / rows));
    }
}

// Blocks of 100 doubles under a bound of 250: the two most recently used stay.
void TestStreamedSeries::cacheKeepsToItsBound()
{
    RowCache cache(250 * sizeof(double));
    int reads = 0;
    const auto block = [&](int index) {
        return cache.rows(1, index, [&] {
            ++reads;
            return std::vector<double>(100, double(index));
        });
    };
    for (int index : {0, 1, 0, 2}) // 0 was used after 1, so 1 goes when 2 comes
        QCOMPARE(block(index)->front(), double(index));
    QCOMPARE(reads, 3);
    QCOMPARE(cache.heldBytes(), qint64(200 * sizeof(double)));
    block(0);
    QCOMPARE(reads, 3);
    block(1);
    QCOMPARE(reads, 4);
    // A block larger than the bound is still handed out, and pushes out all others.
    const RowCache::Rows big = cache.rows(2, 0, [] { return std::vector<double>(300, 1.0); });
    QVERIFY(big->size() == 300 && cache.heldBytes() == qint64(300 * sizeof(double)));
    QCOMPARE(cache.rowsPerBlock(4, 1000), 1);
    QCOMPARE(RowCache(qint64(1) << 40).rowsPerBlock(1, 1), RowCache::maxRowsPerBlock);
    QCOMPARE(RowCache(boundForRows(7, 3, 11)).rowsPerBlock(3, 11), 7);
}

void TestStreamedSeries::unreadableFileReadsAsZero_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("line");
    QTest::newRow("ITEX") << "ITEX 16-bit" << "Can not read rows of ITEX file \"%1\"";
    QTest::newRow("HDF5") << "HDF5 Data Exchange" << "HDF5 rows cannot be read \"%1 [1]\"";
}

// A file gone after the series was loaded (before its first rows were read): its rows
// read as 0, with one line a block.
void TestStreamedSeries::unreadableFileReadsAsZero()
{
    QFETCH(QString, kind);
    QFETCH(QString, line);
    QTemporaryDir dir;
    const QStringList files = writeSeries(kind, QDir(dir.path()));
    ImgDatas series;
    QVERIFY(loadAll(series, files, boundForRows(3, kCount, kWidth)));
    QVERIFY(series.at(1)->isStreamed());
    QVERIFY(QFile::remove(files.value(1, files[0])));
    std::vector<double> row(kWidth, -1.0);
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    series.at(1)->line(4, row.data());
    series.at(1)->line(5, row.data());
    qInstallMessageHandler(previous);
    QVERIFY(std::all_of(row.begin(), row.end(), [](double v) { return v == 0.0; }));
    QCOMPARE(messages, QStringList{line.arg(files.value(1, files[0]))});
}

QTEST_GUILESS_MAIN(TestStreamedSeries)
#include "tst_streamedseries.moc"
