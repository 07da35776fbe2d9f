#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "SinogramGenerator.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

using PixelFn = std::function<quint32(int x, int y)>;

QString writeImage(const QTemporaryDir &dir, const QString &name, int width, int height, const PixelFn &pixel)
{
    std::vector<quint32> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[size_t(y) * width + x] = pixel(x, y);
    const QString path = dir.filePath(name);
    if (!ItexWriter::write(path, width, height, 4, pixels))
        return QString();
    return path;
}

std::unique_ptr<ImgData> openReader(const QString &path)
{
    std::unique_ptr<ImgData> reader(newImgData(fileType(path)));
    if (reader) {
        reader->setFileName(path);
        reader->setValid(reader->open());
    }
    return reader;
}

// A series of m projections plus optional I0 and BG readers, all in a temporary folder.
struct Series
{
    QTemporaryDir dir;
    ImgDatas imgs;
    std::unique_ptr<ImgData> i0Reader;
    std::unique_ptr<ImgData> bgReader;
    ImgData *i0 = nullptr;
    ImgData *bg = nullptr;

    Series()
    {
        imgs.setI0Link(&i0);
        imgs.setBgLink(&bg);
    }
    bool addProjections(int m, int width, int height, const std::function<quint32(int j, int x, int y)> &pixel)
    {
        for (int j = 0; j < m; ++j) {
            const QString path = writeImage(dir, QString("p_%1.img").arg(j, 3, 10, QChar('0')), width, height,
                                            [&](int x, int y) { return pixel(j, x, y); });
            if (path.isEmpty() || !imgs.add(path))
                return false;
        }
        return true;
    }
    bool setI0(int width, int height, const PixelFn &pixel)
    {
        i0Reader = openReader(writeImage(dir, "i0.img", width, height, pixel));
        i0 = i0Reader.get();
        return i0 && i0->isValid();
    }
    bool setBg(int width, int height, const PixelFn &pixel)
    {
        bgReader = openReader(writeImage(dir, "bg.img", width, height, pixel));
        bg = bgReader.get();
        return bg && bg->isValid();
    }
};

quint32 pattern(int j, int x, int y)
{
    return quint32(50 + 7 * j + 13 * x + 3 * y + (x * y) % 5);
}

} // namespace

// Sinogram generation: geometry, line direction, normalisation with I0 and BG, and the
// cases in which nothing is built.
class TestSinogramGenerator : public QObject
{
    Q_OBJECT
private slots:
    void normalisation_data();
    void normalisation();
    void noReferencesGivesMinusLogIntensity();
    void integerCorTakesDetectorPixels();
    void fractionalCorInterpolates();
    void horizontalAxisReadsColumns();
    void nothingBuilt_data();
    void nothingBuilt();
    void sliceOutOfRangeIsRefused();
    void emptySeries();
    void referenceOfOtherSizeIsNotUsed();
    void invalidReferenceIsNeutral();
    void concurrentCallsAgree();
};

void TestSinogramGenerator::normalisation_data()
{
    QTest::addColumn<int>("intensity");
    QTest::addColumn<int>("i0"); // -1: no I0 image
    QTest::addColumn<int>("bg"); // -1: no BG image
    QTest::addColumn<double>("expected");

    QTest::newRow("no references") << 100 << -1 << -1 << -std::log(100.0);
    QTest::newRow("I0 only") << 100 << 1000 << -1 << std::log(10.0);
    QTest::newRow("I equals I0, BG 0") << 500 << 500 << 0 << 0.0;
    QTest::newRow("I0 and BG") << 550 << 1000 << 100 << std::log(2.0);
    QTest::newRow("I below BG") << 80 << 1000 << 100 << std::log(900.0);
    QTest::newRow("I equals BG") << 100 << 1000 << 100 << std::log(900.0);
    QTest::newRow("I0 and I below BG") << 20 << 50 << 100 << 0.0;
    QTest::newRow("I0 below BG only") << 200 << 50 << 100 << -std::log(100.0);
    QTest::newRow("BG only (I0 1 is below BG)") << 300 << -1 << 200 << -std::log(100.0);
}

void TestSinogramGenerator::normalisation()
{
    QFETCH(int, intensity);
    QFETCH(int, i0);
    QFETCH(int, bg);
    QFETCH(double, expected);
    Series series;
    QVERIFY(series.addProjections(3, 8, 4, [&](int, int, int) { return quint32(intensity); }));
    if (i0 >= 0)
        QVERIFY(series.setI0(8, 4, [&](int, int) { return quint32(i0); }));
    if (bg >= 0)
        QVERIFY(series.setBg(8, 4, [&](int, int) { return quint32(bg); }));
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 4.0, 2));
    QCOMPARE(record.w, 5);
    QCOMPARE(record.h, 3);
    QCOMPARE(record.slice, 2);
    for (int i = 0; i < record.w * record.h; ++i) {
        QVERIFY2(std::abs(record.sgm[i] - expected) <= 1e-12, qPrintable(QString::number(record.sgm[i])));
        QCOMPARE(record.rawSgm[i], double(intensity));
    }
}

void TestSinogramGenerator::noReferencesGivesMinusLogIntensity()
{
    Series series;
    // Some pixels are 0 or 1: their attenuation is 0.
    QVERIFY(series.addProjections(4, 10, 3, [](int j, int x, int) { return quint32((x + j) % 4 == 0 ? 0 : x * 40 + j); }));
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 5.0, 1));
    QCOMPARE(record.w, 7);
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 7; ++k) {
            const int x = 5 - 3 + k;
            const double intensity = (x + j) % 4 == 0 ? 0.0 : x * 40 + j;
            const double expected = intensity > 0.0 ? -std::log(intensity) : 0.0;
            QVERIFY(std::abs(record.sgm[j * 7 + k] - expected) <= 1e-12);
        }
    }
}

void TestSinogramGenerator::integerCorTakesDetectorPixels()
{
    Series series;
    QVERIFY(series.addProjections(5, 30, 6, pattern));
    QVERIFY(series.setI0(30, 6, [](int x, int y) { return quint32(5000 + x * 11 + y); }));
    QVERIFY(series.setBg(30, 6, [](int x, int) { return quint32(20 + x % 3); }));
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 12.0, 4));
    QCOMPARE(record.w, 2 * 12 - 1);
    for (int j = 0; j < 5; ++j) {
        for (int k = 0; k < record.w; ++k) {
            const int x = 12 - 11 + k;
            const double raw = pattern(j, x, 4);
            const double i0 = 5000 + x * 11 + 4, bg = 20 + x % 3;
            QCOMPARE(record.rawSgm[j * record.w + k], raw);
            QVERIFY(std::abs(record.sgm[j * record.w + k] - std::log((i0 - bg) / (raw - bg))) <= 1e-12);
        }
    }
}

// The centre sample lies at cor: with cor 10.5 in 100 pixels, samples sit at 1.5 ... 19.5.
void TestSinogramGenerator::fractionalCorInterpolates()
{
    Series series;
    QVERIFY(series.addProjections(2, 100, 3, [](int j, int x, int) { return quint32(1000 + 10 * x + j); }));
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.5, 0));
    QCOMPARE(record.w, 19);
    for (int j = 0; j < 2; ++j)
        for (int k = 0; k < 19; ++k)
            QVERIFY(std::abs(record.rawSgm[j * 19 + k] - (1000 + 10 * (1.5 + k) + j)) <= 1e-9);
    QVERIFY(std::abs(record.rawSgm[9] - 1105.0) <= 1e-9);
}

// Horizontal axis: a slice is an image column, the centre is a y coordinate, and the
// detector line is as long as the image is high (here higher than wide, then wider than high).
void TestSinogramGenerator::horizontalAxisReadsColumns()
{
    for (const QSize size : {QSize(5, 40), QSize(40, 14)}) {
        Series series;
        QVERIFY(series.addProjections(3, size.width(), size.height(), pattern));
        HSgm record;
        const double cor = size.height() / 2.0;
        const int slice = 3;
        QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, false, cor, slice));
        const int halfW = int(std::floor(std::min(cor, size.height() - cor - 1.0)));
        QCOMPARE(record.w, 2 * halfW - 1);
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < record.w; ++k) {
                const int y = int(cor) - (halfW - 1) + k;
                QCOMPARE(record.rawSgm[j * record.w + k], double(pattern(j, slice, y)));
                QVERIFY(std::abs(record.sgm[j * record.w + k] + std::log(double(pattern(j, slice, y)))) <= 1e-12);
            }
        }
    }
}

void TestSinogramGenerator::nothingBuilt_data()
{
    QTest::addColumn<double>("cor");
    QTest::newRow("cor 0.7 (floor 0)") << 0.7;
    QTest::newRow("cor -4") << -4.0;
    QTest::newRow("cor 98.5 (within a pixel of the far edge)") << 98.5;
    QTest::newRow("cor 99.2 (ceil reaches the width)") << 99.2;
    QTest::newRow("cor 250") << 250.0;
    QTest::newRow("cor NaN") << std::nan("");
    QTest::newRow("cor infinite") << HUGE_VAL;
}

// The record keeps what it held, so the caller can tell nothing new was built.
void TestSinogramGenerator::nothingBuilt()
{
    QFETCH(double, cor);
    Series series;
    QVERIFY(series.addProjections(2, 100, 3, pattern));
    HSgm record;
    record.resize(3, 2);
    record.slice = 7;
    const double *kept = record.sgm;
    QVERIFY(!SinogramGenerator::genSinogram0(series.imgs, &record, true, cor, 1));
    QCOMPARE(record.w, 3);
    QCOMPARE(record.h, 2);
    QCOMPARE(record.slice, 7);
    QCOMPARE(record.sgm, kept);
}

void TestSinogramGenerator::sliceOutOfRangeIsRefused()
{
    Series series;
    QVERIFY(series.addProjections(2, 20, 6, pattern));
    HSgm record;
    QTest::ignoreMessage(QtDebugMsg, "Slice out of range : 6");
    QVERIFY(!SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, 6));
    QTest::ignoreMessage(QtDebugMsg, "Slice out of range : -1");
    QVERIFY(!SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, -1));
    // With a horizontal axis slices are columns, so 6 ... 19 are valid.
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, false, 2.5, 19));
    QCOMPARE(record.w, 3);
    QVERIFY(record.sgm != nullptr);
}

// clearImgs keeps the size, so a sinogram of no rows can still be asked for.
void TestSinogramGenerator::emptySeries()
{
    Series series;
    QVERIFY(series.addProjections(2, 20, 4, pattern));
    series.imgs.clearImgs();
    HSgm record;
    record.resize(5, 5);
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, 1));
    QCOMPARE(record.w, 17);
    QCOMPARE(record.h, 0);
    QVERIFY(!record.sgm);
    QVERIFY(!record.rawSgm);
}

void TestSinogramGenerator::referenceOfOtherSizeIsNotUsed()
{
    Series series;
    QVERIFY(series.addProjections(2, 20, 4, [](int, int, int) { return quint32(40); }));
    // A wider I0 would overrun the line buffer, a lower one its own pixels: both are ignored.
    QVERIFY(series.setI0(30, 4, [](int, int) { return quint32(4000); }));
    QVERIFY(series.setBg(20, 2, [](int, int) { return quint32(30); }));
    HSgm record;
    const QRegularExpression message("^Reference image size differs from the projections : \".*(i0|bg)\\.img\"$");
    QTest::ignoreMessage(QtDebugMsg, message);
    QTest::ignoreMessage(QtDebugMsg, message);
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, 3));
    for (int i = 0; i < record.w * record.h; ++i)
        QVERIFY(std::abs(record.sgm[i] + std::log(40.0)) <= 1e-12);
}

void TestSinogramGenerator::invalidReferenceIsNeutral()
{
    Series series;
    QVERIFY(series.addProjections(2, 20, 4, [](int, int, int) { return quint32(40); }));
    std::unique_ptr<ImgData> unopened(newImgData(ImgTypeITEX));
    series.i0 = unopened.get();
    series.bg = unopened.get();
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &record, true, 10.0, 3));
    for (int i = 0; i < record.w * record.h; ++i)
        QVERIFY(std::abs(record.sgm[i] + std::log(40.0)) <= 1e-12);
}

// Workers build sinograms of different slices at the same time from one series.
void TestSinogramGenerator::concurrentCallsAgree()
{
    Series series;
    QVERIFY(series.addProjections(60, 120, 8, pattern));
    QVERIFY(series.setI0(120, 8, [](int x, int y) { return quint32(9000 + x + y); }));
    QVERIFY(series.setBg(120, 8, [](int x, int) { return quint32(10 + x % 7); }));
    const int threads = 4;
    std::vector<HSgm> sequential(threads), parallel(threads);
    for (int t = 0; t < threads; ++t)
        QVERIFY(SinogramGenerator::genSinogram0(series.imgs, &sequential[size_t(t)], true, 59.25, t * 2));
    std::vector<std::thread> workers;
    std::vector<char> built(threads, 0);
    for (int round = 0; round < 20; ++round) {
        workers.clear();
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&, t] {
                built[size_t(t)] = SinogramGenerator::genSinogram0(series.imgs, &parallel[size_t(t)], true, 59.25, t * 2);
            });
        for (std::thread &worker : workers)
            worker.join();
        for (int t = 0; t < threads; ++t) {
            QVERIFY(built[size_t(t)]);
            const HSgm &a = sequential[size_t(t)], &b = parallel[size_t(t)];
            QCOMPARE(b.w, a.w);
            QCOMPARE(b.h, a.h);
            QVERIFY(std::equal(a.sgm, a.sgm + a.w * a.h, b.sgm));
            QVERIFY(std::equal(a.rawSgm, a.rawSgm + a.w * a.h, b.rawSgm));
        }
    }
}

QTEST_GUILESS_MAIN(TestSinogramGenerator)
#include "tst_sinogramgenerator.moc"
