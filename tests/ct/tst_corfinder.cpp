// The centre of rotation found in synthetic series with a known axis and in measured ones
// (the tooth also reconstructed end to end), on the search thread, and through "Find CoR".

#include "CorFinder.h"
#include "CorSearch.h"

#include "BpCore.h"
#include "FieldValue.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "Phantom.h"
#include "ProcCtrl.h"
#include "Sinogram.h"
#include "SinogramGenerator.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
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
        i0 = openImgData(i0Name), bg = openImgData(bgName);
        i0Slot = i0.get(), bgSlot = bg.get();
        imgs.setI0Link(&i0Slot), imgs.setBgLink(&bgSlot);
        return i0 && bg;
    }
};

// Rewrites an ITEX image with rows and columns swapped: the rotation axis turns horizontal.
bool transpose(const QString &fileName)
{
    const std::unique_ptr<ImgData> image = openImgData(fileName);
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
    return ItexWriter::write(fileName, h, w, 2, pixels);
}

// A phantom series (2 rows, half a turn) with the axis at (width - 1) / 2 + offset, loaded.
bool loadPhantom(Series &series, const QTemporaryDir &dir, int width, int projections, double offset,
                 double photons, bool rotAxIsV = true)
{
    Phantom::Series settings;
    settings.width = width, settings.height = 2, settings.projections = projections;
    settings.corOffset = offset, settings.noisePhotons = photons, settings.folder = dir.path();
    QStringList written;
    if (!Phantom::writeSeries(settings, &written))
        return false;
    for (const QString &name : written)
        if (!rotAxIsV && !transpose(name))
            return false;
    const QString bg = written.takeFirst(), i0 = written.takeFirst();
    return series.load(written, i0, bg);
}

double findIn(const ImgDatas &imgs, bool rotAxIsV, int slice)
{
    CorFinder::Sinogram sinogram;
    double cor = std::nan("");
    if (!CorFinder::sinogramOf(imgs, rotAxIsV, slice, sinogram) || !CorFinder::find(sinogram, cor))
        return std::nan("");
    return cor;
}

// The tooth (180 projections of 640 x 2) reconstructed around 295.5: a finite, mostly positive
// sinogram and a finite slice with the tooth, a minority of the circle, far above the air.
void checkToothSlice(const ImgDatas &imgs)
{
    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(imgs, &record, true, 295.5, 0));
    QVERIFY(record.w == 589 && record.h == 180);
    double sum = 0.0;
    for (int i = 0; i < record.w * record.h; ++i)
        sum += record.sgm[i];
    QVERIFY2(sum / (record.w * record.h) > 0.05, qPrintable(QString::number(sum)));
    BpCore core;
    core.setupCore(record.w, record.h);
    core.reconstructSlice(record.sgm, record.w, core.n(), 0, core.n(), 0, core.n());
    std::vector<double> inside;
    const double c = core.n() * 0.5;
    for (int z = 0; z < core.n(); ++z)
        for (int x = 0; x < core.n(); ++x) {
            QVERIFY(std::isfinite(core.imageAt(x, z)));
            if (std::hypot(x - c, z - c) < 0.9 * c)
                inside.push_back(core.imageAt(x, z) / (2.0 * record.h));
        }
    std::sort(inside.begin(), inside.end());
    const double median = inside[inside.size() / 2], p99 = inside[inside.size() * 99 / 100], p10 = inside[inside.size() / 10];
    const double toothShare = double(inside.end() - std::lower_bound(inside.begin(), inside.end(), 0.003)) / double(inside.size());
    QVERIFY2(std::abs(median) <= 0.002 && p99 >= 0.005 && p99 - median >= 5.0 * std::abs(median - p10)
                 && toothShare >= 0.05 && toothShare <= 0.4,
             qPrintable(QString("p10 %1 median %2 p99 %3 share %4").arg(p10).arg(median).arg(p99).arg(toothShare)));
}

} // namespace

class TestCorFinder : public QObject
{
    Q_OBJECT
private slots:
    void phantomSeries_data();
    void phantomSeries();
    void realSeries_data();
    void realSeries();
    void refusedSinograms();
    void searchOnWorkerThread();
    void findCorOnPanel();
};

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
    Series series;
    QVERIFY(loadPhantom(series, dir, 256, 180, offset, photons, rotAxIsV));
    for (int slice : {0, 1}) {
        const double cor = findIn(series.imgs, rotAxIsV, slice);
        QVERIFY2(std::abs(cor - (127.5 + offset)) <= 0.25, qPrintable(QString::number(cor)));
    }
}

void TestCorFinder::realSeries_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("projection"); // file name pattern, %1 the number
    QTest::addColumn<int>("projections");
    QTest::addColumn<QString>("i0");
    QTest::addColumn<QString>("bg");
    QTest::addColumn<int>("slice");
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("tooth slice 0") << "tooth" << "tooth_%1.img" << 180 << "i0.img" << "bg.img" << 0 << 295.5 << 1.0;
    QTest::newRow("tooth slice 1") << "tooth" << "tooth_%1.img" << 180 << "i0.img" << "bg.img" << 1 << 295.5 << 1.0;
    // Known only roughly; 90 projections over half a turn (the 91st repeats the first).
    QTest::newRow("savu slice 67") << "savu" << "tiffs/raw_00%1.tiff" << 90 << "flat_00001.tiff"
                                   << "dark_00001.tiff" << 67 << 85.5 << 1.5;
}

void TestCorFinder::realSeries()
{
    QFETCH(QString, folder);
    QFETCH(QString, projection);
    QFETCH(int, projections);
    QFETCH(QString, i0);
    QFETCH(QString, bg);
    QFETCH(int, slice);
    QFETCH(double, expected);
    QFETCH(double, tolerance);
    const QString root = qEnvironmentVariable("ZORVEL_REAL_DATA");
    const QDir dir(QDir(root).filePath(folder));
    if (root.isEmpty() || !dir.exists(i0))
        QSKIP("the measured series is not there");
    QStringList names;
    for (int j = 0; j < projections; ++j)
        names << dir.filePath(projection.arg(j, 3, 10, QChar('0')));
    Series series;
    QVERIFY(series.load(names, dir.filePath(i0), dir.filePath(bg)));
    const double cor = findIn(series.imgs, true, slice);
    QVERIFY2(std::abs(cor - expected) <= tolerance, qPrintable(QString::number(cor)));
    if (folder == "tooth" && slice == 0)
        checkToothSlice(series.imgs);
}

void TestCorFinder::refusedSinograms()
{
    const QString tooSmall = "^Sinogram too small to find the centre of rotation";
    const struct { int w, h, valueCount; double value; QString message; } cases[] = {
        {7, 10, 70, 1.0, tooSmall}, {64, 3, 192, 1.0, tooSmall}, {64, 10, 639, 1.0, tooSmall}, // values missing
        {8, 4, 32, std::nan(""), "not finite"}, {8, 4, 32, HUGE_VAL, "not finite"}};
    for (const auto &c : cases) {
        CorFinder::Sinogram sinogram;
        sinogram.w = c.w, sinogram.h = c.h;
        sinogram.values.assign(size_t(c.valueCount), 0.5);
        sinogram.values.back() = c.value;
        double cor = 7.0;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(c.message));
        QVERIFY(!CorFinder::find(sinogram, cor));
        QCOMPARE(cor, 7.0);
    }
}

// The search answers on the caller's thread with what the estimator finds; one at a time;
// it works on its own copy of the sinogram, and its destructor waits for a running search.
void TestCorFinder::searchOnWorkerThread()
{
    QTemporaryDir dir;
    Series series;
    QVERIFY(loadPhantom(series, dir, 96, 60, 2.6, 0.0));
    const double direct = findIn(series.imgs, true, 0);
    QVERIFY(std::abs(direct - (47.5 + 2.6)) <= 0.25);
    CorSearch search;
    QSignalSpy spy(&search, &CorSearch::finished);
    QTest::ignoreMessage(QtDebugMsg, "Slice out of range : 2");
    QVERIFY(!search.start(series.imgs, true, 2) && !search.isBusy());
    QVERIFY(search.start(series.imgs, true, 0) && search.isBusy());
    QTest::ignoreMessage(QtDebugMsg, "Centre of rotation search already running");
    QVERIFY(!search.start(series.imgs, true, 0));
    series.imgs.clear();
    QVERIFY(spy.wait(5000));
    QVERIFY(!search.isBusy() && spy.count() == 1 && spy.at(0).at(0).toBool());
    QCOMPARE(spy.at(0).at(1).toDouble(), direct);
    Series again;
    QVERIFY(loadPhantom(again, dir, 96, 60, 2.6, 0.0));
    auto running = std::make_unique<CorSearch>();
    QVERIFY(running->start(again.imgs, true, 0));
    running.reset();
}

// "Find CoR" applies the estimate as a typed centre: stored and shown with 6 digits,
// corUpdated() once, the sinogram rebuilt around it, one debug line; refusals answer at once.
void TestCorFinder::findCorOnPanel()
{
    QTemporaryDir dir;
    Series series;
    QVERIFY(loadPhantom(series, dir, 128, 90, -3.3, 0.0));
    const QString shown = realFieldText(findIn(series.imgs, true, 0));
    ProcCtrl ctrl;
    Sinogram panel;
    QSignalSpy doneSpy(&panel, &Sinogram::corSearchFinished);
    QVERIFY(!panel.findCor()); // no controls
    panel.setProcCtrl(&ctrl);
    QVERIFY(!panel.findCor()); // no images
    ImgDatas empty;
    panel.setImgDatas(&empty);
    QTest::ignoreMessage(QtDebugMsg, "No projections to find the centre of rotation in");
    QVERIFY(!panel.findCor());
    QCOMPARE(doneSpy.count(), 3);

    ctrl.RotAxV->click();
    ctrl.setCor(63.5);
    ctrl.setSliceNo(0);
    ctrl.AutoUpdate->setChecked(true);
    panel.setImgDatas(&series.imgs);
    connect(&ctrl, &ProcCtrl::corUpdated, &panel, &Sinogram::corUpdated);
    QSignalSpy corSpy(&ctrl, &ProcCtrl::corUpdated);
    QTest::ignoreMessage(QtDebugMsg, "Centre of rotation search already running");
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Centre of rotation found " + shown));
    panel.FindCor->click();
    QVERIFY(!panel.FindCor->isEnabled() && !panel.findCor());
    QCOMPARE(doneSpy.count(), 4);
    QVERIFY(doneSpy.wait(5000));
    for (int i = 0; i < doneSpy.count(); ++i)
        QCOMPARE(doneSpy.at(i).at(0).toBool(), i == 4);
    QVERIFY(panel.FindCor->isEnabled() && corSpy.count() == 1);
    QCOMPARE(ctrl.cor, realFieldValue(shown));
    QVERIFY(ctrl.Cor->text() == shown && panel.Cor->text() == shown);
    QCOMPARE(panel.sinogram()->w, 2 * int(std::floor(ctrl.cor)) - 1);
}

QTEST_MAIN(TestCorFinder)
#include "tst_corfinder.moc"
