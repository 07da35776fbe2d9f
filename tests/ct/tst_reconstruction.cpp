#include "BpCore.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "SinogramGenerator.h"

#include <QDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr double mu = 0.01; // attenuation per pixel inside the disc

// Line integral through a disc of radius r at distance p from its centre.
double chord(double p, double r)
{
    return std::abs(p) < r ? 2.0 * std::sqrt(r * r - p * p) * mu : 0.0;
}

// CT2 reconstruction (sum over projections) of a sinogram record, whole image.
void reconstructCt2(BpCore &core, const HSgm &record)
{
    const int n = (record.w / 2) * 2;
    core.setupCore(n, record.h);
    core.reconstructSlice(record.sgm, record.w, n, 0, n, 0, n);
}

struct RingStats
{
    double mean = std::nan("");
    double lowest = std::nan("");
    double highest = std::nan("");
    int count = 0;
};

// Statistics of image / scale over the pixels whose distance from (cx, cz) lies in [r0, r1).
RingStats ring(const BpCore &core, double scale, double cx, double cz, double r0, double r1)
{
    RingStats stats;
    double sum = 0.0;
    for (int z = 0; z < core.n(); ++z) {
        for (int x = 0; x < core.n(); ++x) {
            const double r = std::hypot(x - cx, z - cz);
            if (r < r0 || r >= r1)
                continue;
            const double v = core.imageAt(x, z) / scale;
            sum += v;
            stats.lowest = stats.count ? std::min(stats.lowest, v) : v;
            stats.highest = stats.count ? std::max(stats.highest, v) : v;
            ++stats.count;
        }
    }
    if (stats.count)
        stats.mean = sum / stats.count;
    return stats;
}

QString describe(const RingStats &s)
{
    return QString("mean %1 range %2 .. %3 of %4 pixels").arg(s.mean).arg(s.lowest).arg(s.highest).arg(s.count);
}

} // namespace

// Whole reconstructions: accuracy on a uniform disc, and real data end to end.
class TestReconstruction : public QObject
{
    Q_OBJECT
private slots:
    void uniformDiscAnalytic();
    void toothSeries();
};

// Filtered back-projection of a disc of 0.01 per pixel: the CT2 sum over 2M gives the
// attenuation minus the constant offset of the unpadded ramp filter (about -0.001 here).
void TestReconstruction::uniformDiscAnalytic()
{
    const int w = 253, m = 360, centre = 126;
    const double radius = 60.0;
    HSgm record;
    record.resize(w, m);
    for (int j = 0; j < m; ++j)
        for (int k = 0; k < w; ++k)
            record.sgm[size_t(j) * w + k] = chord(k - centre, radius);
    BpCore core;
    reconstructCt2(core, record);
    QCOMPARE(core.n(), 252);
    const double c = core.n() * 0.5;
    const RingStats inside = ring(core, 2.0 * m, c, c, 0.0, 50.0);
    const RingStats air = ring(core, 2.0 * m, c, c, 70.0, 110.0);
    qDebug() << "disc inside:" << describe(inside) << "air:" << describe(air);
    QVERIFY2(std::abs(inside.mean - 0.0090) <= 0.0002, qPrintable(describe(inside)));
    QVERIFY2(std::abs(inside.lowest - 0.0090) <= 0.0005 && std::abs(inside.highest - 0.0090) <= 0.0005,
             qPrintable(describe(inside)));
    QVERIFY2(std::abs(air.mean + 0.0010) <= 0.0003, qPrintable(describe(air)));
    QVERIFY2(std::abs(air.lowest + 0.0010) <= 0.0006 && std::abs(air.highest + 0.0010) <= 0.0006,
             qPrintable(describe(air)));
    // The jump at the edge is the attenuation itself.
    QVERIFY(std::abs((inside.mean - air.mean) - mu) <= 0.0003);
}

// The tooth series (180 projections of 640 x 2, I0 and BG): a finite, mostly positive
// sinogram and a finite slice with the tooth well above the background.
void TestReconstruction::toothSeries()
{
    const QString root = qEnvironmentVariable("ZORVEL_REAL_DATA");
    if (root.isEmpty())
        QSKIP("ZORVEL_REAL_DATA is not set");
    const QDir tooth(QDir(root).filePath("tooth"));
    if (!tooth.exists("tooth_000.img"))
        QSKIP("the tooth series is not there");
    ImgDatas imgs;
    for (int j = 0; j < 180; ++j)
        QVERIFY(imgs.add(tooth.filePath(QString("tooth_%1.img").arg(j, 3, 10, QChar('0')))));
    const std::unique_ptr<ImgData> i0 = openImgData(tooth.filePath("i0.img"));
    const std::unique_ptr<ImgData> bg = openImgData(tooth.filePath("bg.img"));
    QVERIFY(i0 && bg);
    ImgData *i0Slot = i0.get(), *bgSlot = bg.get();
    imgs.setI0Link(&i0Slot);
    imgs.setBgLink(&bgSlot);

    HSgm record;
    QVERIFY(SinogramGenerator::genSinogram0(imgs, &record, true, 295.5, 0));
    QCOMPARE(record.w, 589);
    QCOMPARE(record.h, 180);
    double sum = 0.0;
    for (int i = 0; i < record.w * record.h; ++i) {
        QVERIFY(std::isfinite(record.sgm[i]));
        sum += record.sgm[i];
    }
    const double meanAttenuation = sum / (record.w * record.h);

    BpCore core;
    reconstructCt2(core, record);
    QCOMPARE(core.n(), 588);
    std::vector<double> inside;
    const double c = core.n() * 0.5;
    for (int z = 0; z < core.n(); ++z)
        for (int x = 0; x < core.n(); ++x) {
            QVERIFY(std::isfinite(core.imageAt(x, z)));
            if (std::hypot(x - c, z - c) < 0.9 * c)
                inside.push_back(core.imageAt(x, z) / (2.0 * record.h));
        }
    std::sort(inside.begin(), inside.end());
    const double median = inside[inside.size() / 2];
    const double p99 = inside[inside.size() * 99 / 100];
    const double p10 = inside[inside.size() / 10];
    const double toothShare =
        double(inside.end() - std::lower_bound(inside.begin(), inside.end(), 0.003)) / double(inside.size());
    qDebug() << "tooth: mean attenuation" << meanAttenuation << "slice p10" << p10 << "median" << median << "p99" << p99
             << "share above 0.003" << toothShare;
    QVERIFY2(meanAttenuation > 0.05, qPrintable(QString::number(meanAttenuation)));
    // The tooth covers a minority of the circle and stands far above the air around it.
    QVERIFY2(std::abs(median) <= 0.002, qPrintable(QString::number(median)));
    QVERIFY2(p99 >= 0.005, qPrintable(QString::number(p99)));
    QVERIFY2(p99 - median >= 5.0 * std::abs(median - p10), qPrintable(QString("%1 %2 %3").arg(p10).arg(median).arg(p99)));
    QVERIFY2(toothShare >= 0.05 && toothShare <= 0.4, qPrintable(QString::number(toothShare)));
}

QTEST_GUILESS_MAIN(TestReconstruction)
#include "tst_reconstruction.moc"
