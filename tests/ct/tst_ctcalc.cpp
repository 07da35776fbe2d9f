#include "BpCore.h"
#include "ColorBar.h"
#include "CtCalc.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "Phantom.h"
#include "ProcCtrl.h"
#include "Sinogram.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <set>

namespace {

constexpr int timeoutMs = 20000;

// Largest |ct1 * M - ct2| over the image, relative to the largest |ct2|.
double relativeDifference(const BpCore &ct1, const BpCore &ct2, int m)
{
    double worst = 0.0;
    double scale = 0.0;
    for (int z = 0; z < ct2.n(); ++z)
        for (int x = 0; x < ct2.n(); ++x) {
            worst = std::max(worst, std::abs(ct1.imageAt(x, z) * m - ct2.imageAt(x, z)));
            scale = std::max(scale, std::abs(ct2.imageAt(x, z)));
        }
    return scale > 0 ? worst / scale : std::nan("");
}

} // namespace

// The CT1 engine on a synthetic head of 180 projections, 64 x 2 pixels, centre 31.5:
// slices are N = 60 pixels wide.
class TestCtCalc : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir;
    ImgDatas series;
    ProcCtrl ctrl;
    std::unique_ptr<Sinogram> sinogram;
    std::unique_ptr<CtCalc> ct1;

    // CT2-style reconstruction (sum over projections) of the same slice, as the oracle.
    void reconstructSum(BpCore &core, double x0, double z0, double x1, double z1)
    {
        HSgm record;
        QVERIFY(sinogram->genSinogram0(&record, ctrl.rotAxIsV, ctrl.cor, ctrl.sliceNo));
        const int n = (record.w / 2) * 2;
        core.setupCore(n, record.h);
        core.reconstructSlice(record.sgm, record.w, n, x0, x1, z0, z1);
    }
    void runToTheEnd(bool atOnce)
    {
        QSignalSpy finished(ct1.get(), &CtCalc::calcFinished);
        ct1->CalcAtOnce->setChecked(atOnce);
        ct1->startCt();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, timeoutMs);
    }

private slots:
    void initTestCase();
    void init();
    void sameSliceAsTheSumOverM_data();
    void sameSliceAsTheSumOverM();
    void oneByOneBuildsUp();
    void calcCtDuringOneByOne();
    void regionSetOnFirstStart();
    void regionSetters_data();
    void regionSetters();
    void nothingToReconstruct();
    void colourBarAndReadOut();
};

void TestCtCalc::initTestCase()
{
    Phantom::Series settings;
    settings.width = 64;
    settings.height = 2;
    settings.projections = 180;
    settings.folder = dir.path();
    QStringList written;
    QVERIFY(Phantom::writeSeries(settings, &written));
    for (const QString &file : written)
        if (QFileInfo(file).fileName().startsWith("phantom_"))
            QVERIFY(series.add(file));
    QCOMPARE(series.count(), 180);
    ctrl.RotAxV->click();
    ctrl.setSliceNo(1);
    ctrl.setCor(31.5);
    ctrl.AutoUpdate->setChecked(false);
}

void TestCtCalc::init()
{
    ct1.reset();
    sinogram.reset(new Sinogram);
    sinogram->setProcCtrl(&ctrl);
    sinogram->setImgDatas(&series);
    ct1.reset(new CtCalc);
    ct1->setSinogramPanel(sinogram.get());
}

void TestCtCalc::sameSliceAsTheSumOverM_data()
{
    QTest::addColumn<bool>("atOnce");
    QTest::newRow("at once") << true;
    QTest::newRow("projection by projection") << false;
}

// The region is uneven on purpose, so that x and z bounds cannot be mixed up.
void TestCtCalc::sameSliceAsTheSumOverM()
{
    QFETCH(bool, atOnce);
    ct1->setCR(3, 11.5, 52, 40);
    runToTheEnd(atOnce);
    BpCore sum;
    reconstructSum(sum, 3, 11.5, 52, 40);
    QCOMPARE(ct1->result().n(), 60);
    QVERIFY(relativeDifference(ct1->result(), sum, 180) <= 1e-12);
    QCOMPARE(ct1->ShowSliceNo->text(), QString("1"));
    const QRegularExpression clock("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$");
    QVERIFY(clock.match(ct1->StartT->text()).hasMatch() && clock.match(ct1->EndT->text()).hasMatch());
    QCOMPARE(ct1->SpentT->text(), QString::number(ct1->startTime().msecsTo(ct1->endTime()) / 1000.0, 'g', 6));
    QVERIFY(!ct1->isRunning());
}

// 180 steps, each one drawn as it comes (a new picture every time), then one end.
void TestCtCalc::oneByOneBuildsUp()
{
    std::set<qint64> pictures;
    connect(ct1.get(), &CtCalc::finishedCalcOne, this, [&]() { pictures.insert(ct1->DispCt->img.cacheKey()); });
    QSignalSpy steps(ct1.get(), &CtCalc::finishedCalcOne);
    QSignalSpy ended(ct1.get(), &CtCalc::calcFinished);
    ct1->CalcAtOnce->setChecked(false);
    ct1->startCt();
    QVERIFY(ct1->isOneByOne());
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, timeoutMs);
    QCOMPARE(steps.count(), 180);
    QCOMPARE(int(pictures.size()), 180);
    QVERIFY(!ct1->isOneByOne());
    QTest::qWait(50);
    QCOMPARE(ended.count(), 1);
}

// Stopping ends the run at once; a step still on its way is dropped. The next press
// starts again from projection 0 on a zeroed image: the result is the whole slice.
// The presses come between two projections, as a click does.
void TestCtCalc::calcCtDuringOneByOne()
{
    QSignalSpy steps(ct1.get(), &CtCalc::finishedCalcOne);
    QSignalSpy ended(ct1.get(), &CtCalc::calcFinished);
    std::function<void()> press = [&]() { ct1->calcCt(); };
    qsizetype pressAt = 20;
    connect(ct1.get(), &CtCalc::finishedCalcOne, this, [&]() {
        if (steps.count() == pressAt) // the spy, connected first, has counted this step
            press();
    });
    ct1->CalcAtOnce->setChecked(false);
    ct1->calcCt();
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, timeoutMs);
    QVERIFY(!ct1->isOneByOne());
    QTest::qWait(100);
    QCOMPARE(steps.count(), 20);
    ct1->stopCt(); // idle: nothing more to end
    QCOMPARE(ended.count(), 1);

    ct1->calcCt();
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, timeoutMs);
    QCOMPARE(steps.count(), 20 + 180);
    BpCore sum;
    reconstructSum(sum, 0, 0, 60, 60);
    QVERIFY(relativeDifference(ct1->result(), sum, 180) <= 1e-12);

    // A start during a run replaces it: one end for the two starts, the whole slice.
    press = [&]() { ct1->startCt(); };
    pressAt = 200 + 5;
    ct1->calcCt();
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 3, timeoutMs);
    QTest::qWait(50);
    QCOMPARE(ended.count(), 3);
    QCOMPARE(steps.count(), 200 + 5 + 180);
    QVERIFY(relativeDifference(ct1->result(), sum, 180) <= 1e-12);
}

// A fresh panel shows (0, 0)-(2047, 2047) without counting it as set; the first start
// sets (0, 0)-(N, N), later starts keep what was set.
void TestCtCalc::regionSetOnFirstStart()
{
    QSignalSpy regions(ct1.get(), &CtCalc::cRUpdated);
    QCOMPARE(ct1->Crx1->text() + " " + ct1->Crz1->text(), QString("2047 2047"));
    QVERIFY(!ct1->isRegionSet());
    for (QLineEdit *field : {ct1->Drx0, ct1->Drz0, ct1->Drx1, ct1->Drz1, ct1->Crx0, ct1->Crz0, ct1->Crx1, ct1->Crz1, ct1->DispCt->Val})
        QVERIFY(field->minimumWidth() > field->fontMetrics().horizontalAdvance("-1.23457e-05"));
    runToTheEnd(true);
    QCOMPARE(regions.count(), 1);
    QCOMPARE(regions.at(0), QVariantList({0.0, 0.0, 60.0, 60.0}));
    QVERIFY(ct1->isRegionSet());
    ct1->setCR(10, 10, 20, 20);
    runToTheEnd(true);
    QCOMPARE(ct1->Crx0->text() + " " + ct1->Crz1->text(), QString("10 20"));
    QCOMPARE(ct1->result().imageAt(9, 15), 0.0);
    QVERIFY(ct1->result().imageAt(10, 15) != 0.0);
}

void TestCtCalc::regionSetters_data()
{
    QTest::addColumn<bool>("display");
    QTest::addColumn<QVariantList>("region");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<bool>("emitted");
    QTest::addColumn<QRectF>("view");
    const QVariantList first{1.0, 2.0, 30.0, 40.0};
    const QRectF firstView(1, 2, 29, 38);
    QTest::newRow("calc: same again") << false << first << "1 2 30 40" << false << QRectF();
    QTest::newRow("calc: only z1 differs") << false << QVariantList({1.0, 2.0, 30.0, 41.0}) << "1 2 30 41" << true << QRectF();
    QTest::newRow("calc: below 6 digits") << false << QVariantList({1.0000001, 2.0, 30.0, 40.0}) << "1 2 30 40" << false << QRectF();
    QTest::newRow("display: same again") << true << first << "1 2 30 40" << false << firstView;
    QTest::newRow("display: only x0 differs") << true << QVariantList({0.5, 2.0, 30.0, 40.0}) << "0.5 2 30 40" << true
                                              << QRectF(0.5, 2, 29.5, 38);
    QTest::newRow("display: no width") << true << QVariantList({1.0, 2.0, 1.0, 40.0}) << "1 2 1 40" << true << firstView;
    QTest::newRow("display: no height") << true << QVariantList({1.0, 2.0, 30.0, 2.0}) << "1 2 30 2" << true << firstView;
}

// After (1, 2)-(30, 40): a setter announces only a change of the fields' values; the
// view follows a display region that has an extent.
void TestCtCalc::regionSetters()
{
    QFETCH(bool, display);
    QFETCH(QVariantList, region);
    QFETCH(QString, fields);
    QFETCH(bool, emitted);
    QFETCH(QRectF, view);
    using Setter = void (CtCalc::*)(double, double, double, double);
    const Setter set = display ? &CtCalc::setDR : &CtCalc::setCR;
    (ct1.get()->*set)(1, 2, 30, 40);
    QSignalSpy spy(ct1.get(), display ? &CtCalc::dRUpdated : &CtCalc::cRUpdated);
    (ct1.get()->*set)(region[0].toDouble(), region[1].toDouble(), region[2].toDouble(), region[3].toDouble());
    const auto f = display ? std::array<QLineEdit *, 4>{ct1->Drx0, ct1->Drz0, ct1->Drx1, ct1->Drz1}
                           : std::array<QLineEdit *, 4>{ct1->Crx0, ct1->Crz0, ct1->Crx1, ct1->Crz1};
    QCOMPARE(QStringList({f[0]->text(), f[1]->text(), f[2]->text(), f[3]->text()}).join(' '), fields);
    QCOMPARE(spy.count(), emitted ? 1 : 0);
    if (emitted)
        QCOMPARE(spy.at(0), region);
    QCOMPARE(ct1->DispCt->view, view);
    QCOMPARE(ct1->DispCt->scaleSet, display);
    QCOMPARE(ct1->isRegionSet(), !display);
}

void TestCtCalc::nothingToReconstruct()
{
    QSignalSpy ended(ct1.get(), &CtCalc::calcFinished);
    CtCalc unwired;
    QSignalSpy unwiredEnded(&unwired, &CtCalc::calcFinished);
    unwired.startCt();
    QVERIFY(!unwired.isRunning());
    QCOMPARE(unwiredEnded.count(), 0);

    ctrl.setCor(0.7);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^CT1: no sinogram"));
    ct1->startCt();
    ctrl.setCor(31.5);
    QCOMPARE(ended.count(), 1);
    QVERIFY(!ct1->isRunning());
    QCOMPARE(ct1->result().n(), 0);
}

// The result view ranges itself unless fixed; a colour bar change draws it again; the
// read-out shows the value under the pointer.
void TestCtCalc::colourBarAndReadOut()
{
    runToTheEnd(true);
    const BpCore &image = ct1->result();
    ColorBar *bar = ct1->colorBar();
    QCOMPARE(QList<double>({bar->minV(), bar->maxV()}), QList<double>({image.minValue(), image.maxValue()}));
    ct1->setFixColorScale(true);
    ct1->setCBarMinMaxForced(-1, 1e-5);
    QCOMPARE(bar->minEdit()->text() + " " + bar->maxEdit()->text(), QString("-1 1e-05"));
    emit bar->newBar();
    runToTheEnd(true);
    QCOMPARE(bar->maxV(), 1e-5);
    const int grey = ColorScale{-1, 1e-5}.colorIndex(image.imageAt(30, 20));
    QCOMPARE(ct1->DispCt->img.constScanLine(20)[30], uchar(grey));
    QVERIFY(bar->isFixed());

    ct1->DispCt->noticedNewPos(30, 20);
    QCOMPARE(ct1->DispCt->Val->text(), QString::number(image.imageAt(30, 20), 'g', 6));
    ct1->DispCt->Val->setText("-");
    emit ct1->DispCt->newPosInvY(60, 0);
    emit ct1->DispCt->newPosInvY(-1, 0);
    QCOMPARE(ct1->DispCt->Val->text(), QString("-"));

    ct1->setSaveImage(true, "p", "n", "t");
    ct1->setSaveData(false, "dp", "dn", "dt");
    QCOMPARE(ct1->imageSaveSettings().f && !ct1->dataSaveSettings().f, true);
    QCOMPARE(ct1->imageSaveSettings().path + ct1->dataSaveSettings().tag, QString("pdt"));
}

QTEST_MAIN(TestCtCalc)
#include "tst_ctcalc.moc"
