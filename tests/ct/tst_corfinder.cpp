#include "CorFinder.h"
#include "CorSearch.h"

#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "Phantom.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fftw3.h>

#include <cmath>
#include <memory>

namespace {

// A projection series with its I0 and BG images, as the file selectors link them.
struct Series
{
    ImgDatas imgs;
    std::unique_ptr<ImgData> i0, bg;
    ImgData *i0Slot = nullptr, *bgSlot = nullptr;

    bool load(const QStringList &projections, const QString &i0Name, const QString &bgName)
    {
        for (const QString &name : projections)
            if (!imgs.add(name))
                return false;
        i0 = openImgData(i0Name);
        bg = openImgData(bgName);
        i0Slot = i0.get();
        bgSlot = bg.get();
        imgs.setI0Link(&i0Slot);
        imgs.setBgLink(&bgSlot);
        return i0 && bg;
    }
};

// Rewrites an ITEX image with rows and columns swapped: the rotation axis turns horizontal.
bool writeTransposed(const QString &from, const QString &to)
{
    const std::unique_ptr<ImgData> image = openImgData(from);
    if (!image)
        return false;
    const int w = image->imageWidth(), h = image->imageHeight();
    std::vector<double> row(static_cast<size_t>(w));
    std::vector<quint32> pixels(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        image->line(y, row.data());
        for (int x = 0; x < w; ++x)
            pixels[size_t(x) * h + y] = quint32(row[size_t(x)]);
    }
    return ItexWriter::write(to, h, w, 2, pixels);
}

double findIn(const ImgDatas &imgs, bool rotAxIsV, int slice)
{
    CorFinder::Sinogram sinogram;
    double cor = std::nan("");
    if (!CorFinder::sinogramOf(imgs, rotAxIsV, slice, sinogram) || !CorFinder::find(sinogram, cor))
        return std::nan("");
    return cor;
}

QString realData(const QString &folder)
{
    const QString root = qEnvironmentVariable("ZORVEL_REAL_DATA");
    return root.isEmpty() ? QString() : QDir(root).filePath(folder);
}

} // namespace

// The centre of rotation found in synthetic series with a known axis and in measured ones.
class TestCorFinder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void phantomSeries_data();
    void phantomSeries();
    void toothSeries_data();
    void toothSeries();
    void savuSeries();
    void refusedSinograms_data();
    void refusedSinograms();
    void searchOnWorkerThread();
};

void TestCorFinder::initTestCase()
{
    fftw_make_planner_thread_safe();
}

void TestCorFinder::phantomSeries_data()
{
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("photons");
    QTest::addColumn<bool>("rotAxIsV");
    QTest::newRow("+0.8") << 0.8 << 0.0 << true;
    QTest::newRow("-3.3") << -3.3 << 0.0 << true;
    QTest::newRow("+0.8 noisy") << 0.8 << 3000.0 << true;
    QTest::newRow("-3.3 noisy") << -3.3 << 3000.0 << true;
    QTest::newRow("-3.3 noisy, axis horizontal") << -3.3 << 3000.0 << false;
    QTest::newRow("+17.6 noisy") << 17.6 << 3000.0 << true;
}

// Axis off the detector centre by non-half-integer amounts, with and without photon noise.
void TestCorFinder::phantomSeries()
{
    QFETCH(double, offset);
    QFETCH(double, photons);
    QFETCH(bool, rotAxIsV);
    QTemporaryDir dir;
    Phantom::Series settings;
    settings.width = 256;
    settings.height = 2;
    settings.projections = 180;
    settings.corOffset = offset;
    settings.noisePhotons = photons;
    settings.folder = dir.path();
    QStringList written;
    QVERIFY(Phantom::writeSeries(settings, &written));
    if (!rotAxIsV)
        for (const QString &name : written)
            QVERIFY(writeTransposed(name, name));
    const QString bg = written.takeFirst(), i0 = written.takeFirst();
    Series series;
    QVERIFY(series.load(written, i0, bg));

    const double truth = 0.5 * (settings.width - 1) + offset;
    for (int slice = 0; slice < settings.height; ++slice) {
        const double cor = findIn(series.imgs, rotAxIsV, slice);
        QVERIFY2(std::abs(cor - truth) <= 0.25, qPrintable(QString("%1 found, %2 true").arg(cor).arg(truth)));
    }
}

void TestCorFinder::toothSeries_data()
{
    QTest::addColumn<int>("slice");
    QTest::newRow("slice 0") << 0;
    QTest::newRow("slice 1") << 1;
}

void TestCorFinder::toothSeries()
{
    QFETCH(int, slice);
    const QDir tooth(realData("tooth"));
    if (!tooth.exists("tooth_000.img"))
        QSKIP("the tooth series is not there");
    QStringList names;
    for (int j = 0; j < 180; ++j)
        names << tooth.filePath(QString("tooth_%1.img").arg(j, 3, 10, QChar('0')));
    Series series;
    QVERIFY(series.load(names, tooth.filePath("i0.img"), tooth.filePath("bg.img")));
    const double cor = findIn(series.imgs, true, slice);
    qDebug() << "tooth slice" << slice << "centre of rotation" << cor;
    QVERIFY2(std::abs(cor - 295.5) <= 1.0, qPrintable(QString::number(cor)));
}

// The Savu series (90 projections over half a turn; the 91st repeats the first): what is found
// is written to the log.
void TestCorFinder::savuSeries()
{
    const QDir savu(realData("savu"));
    if (!savu.exists("tiffs/raw_00000.tiff"))
        QSKIP("the Savu series is not there");
    QStringList names;
    for (int j = 0; j < 90; ++j)
        names << savu.filePath(QString("tiffs/raw_%1.tiff").arg(j, 5, 10, QChar('0')));
    Series series;
    QVERIFY(series.load(names, savu.filePath("flat_00001.tiff"), savu.filePath("dark_00001.tiff")));
    for (int slice : {20, 67, 110})
        qDebug() << "savu slice" << slice << "centre of rotation" << findIn(series.imgs, true, slice);
    // Known only roughly, from its data description.
    QVERIFY(std::abs(findIn(series.imgs, true, 67) - 85.5) <= 1.5);
}

void TestCorFinder::refusedSinograms_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("valueCount");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("message");
    const QString tooSmall = "^Sinogram too small to find the centre of rotation";
    QTest::newRow("7 samples") << 7 << 10 << 70 << 1.0 << tooSmall;
    QTest::newRow("3 rows") << 64 << 3 << 192 << 1.0 << tooSmall;
    QTest::newRow("values missing") << 64 << 10 << 639 << 1.0 << tooSmall;
    QTest::newRow("NaN") << 8 << 4 << 32 << std::nan("") << "not finite";
    QTest::newRow("infinite") << 8 << 4 << 32 << HUGE_VAL << "not finite";
}

void TestCorFinder::refusedSinograms()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, valueCount);
    QFETCH(double, value);
    QFETCH(QString, message);
    CorFinder::Sinogram sinogram;
    sinogram.w = w;
    sinogram.h = h;
    sinogram.values.assign(size_t(valueCount), 0.5);
    sinogram.values.back() = value;
    double cor = 7.0;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(message));
    QVERIFY(!CorFinder::find(sinogram, cor));
    QCOMPARE(cor, 7.0);
}

// The search answers on the caller's thread with what the estimator finds there; one at a time.
void TestCorFinder::searchOnWorkerThread()
{
    QTemporaryDir dir;
    Phantom::Series settings;
    settings.width = 96;
    settings.height = 1;
    settings.projections = 60;
    settings.corOffset = 2.6;
    settings.folder = dir.path();
    QStringList written;
    QVERIFY(Phantom::writeSeries(settings, &written));
    const QString bg = written.takeFirst(), i0 = written.takeFirst();
    Series series;
    QVERIFY(series.load(written, i0, bg));

    const double direct = findIn(series.imgs, true, 0);
    QVERIFY(std::abs(direct - (47.5 + 2.6)) <= 0.25);
    CorSearch search;
    QSignalSpy spy(&search, &CorSearch::finished);
    QTest::ignoreMessage(QtDebugMsg, "Slice out of range : 1");
    QVERIFY(!search.start(series.imgs, true, 1));
    QVERIFY(!search.isBusy());
    QVERIFY(search.start(series.imgs, true, 0));
    QVERIFY(search.isBusy());
    QTest::ignoreMessage(QtDebugMsg, "Centre of rotation search already running");
    QVERIFY(!search.start(series.imgs, true, 0));
    series.imgs.clear(); // the search holds its own copy
    QVERIFY(spy.wait(5000));
    QVERIFY(!search.isBusy());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QCOMPARE(spy.at(0).at(1).toDouble(), direct);

    // Destroyed while a search runs: the thread is waited for, nothing is left behind.
    Series again;
    QVERIFY(again.load(written, i0, bg));
    auto running = std::make_unique<CorSearch>();
    QVERIFY(running->start(again.imgs, true, 0));
    running.reset();
}

QTEST_GUILESS_MAIN(TestCorFinder)
#include "tst_corfinder.moc"
