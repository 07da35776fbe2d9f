#include "CorFinder.h"
#include "FieldValue.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "Phantom.h"
#include "ProcCtrl.h"
#include "Sinogram.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fftw3.h>

#include <cmath>
#include <memory>

// "Find CoR" on the sinogram panel: the estimate is applied like a typed centre.
class TestSinogramFindCor : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void appliedLikeATypedCentre();
    void refusedWithoutData();

private:
    QTemporaryDir dir;
    ImgDatas imgs;
    std::unique_ptr<ImgData> i0, bg;
    ImgData *i0Slot = nullptr, *bgSlot = nullptr;
};

void TestSinogramFindCor::initTestCase()
{
    fftw_make_planner_thread_safe();
    Phantom::Series settings;
    settings.width = 128;
    settings.height = 1;
    settings.projections = 90;
    settings.corOffset = -3.3;
    settings.folder = dir.path();
    QStringList written;
    QVERIFY(Phantom::writeSeries(settings, &written));
    bg = openImgData(written.takeFirst());
    i0 = openImgData(written.takeFirst());
    for (const QString &name : written)
        QVERIFY(imgs.add(name));
    i0Slot = i0.get();
    bgSlot = bg.get();
    imgs.setI0Link(&i0Slot);
    imgs.setBgLink(&bgSlot);
}

void TestSinogramFindCor::appliedLikeATypedCentre()
{
    CorFinder::Sinogram sinogram;
    double direct = 0.0;
    QVERIFY(CorFinder::sinogramOf(imgs, true, 0, sinogram) && CorFinder::find(sinogram, direct));
    const QString shown = realFieldText(direct);

    ProcCtrl ctrl;
    ctrl.RotAxV->click();
    ctrl.setCor(63.5);
    ctrl.setSliceNo(0);
    ctrl.AutoUpdate->setChecked(true);
    Sinogram panel;
    panel.setProcCtrl(&ctrl);
    panel.setImgDatas(&imgs);
    connect(&ctrl, &ProcCtrl::corUpdated, &panel, &Sinogram::corUpdated);
    QSignalSpy corSpy(&ctrl, &ProcCtrl::corUpdated);
    QSignalSpy doneSpy(&panel, &Sinogram::corSearchFinished);

    QTest::ignoreMessage(QtDebugMsg, "Centre of rotation search already running");
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Centre of rotation found " + shown));
    panel.FindCor->click();
    QVERIFY(!panel.FindCor->isEnabled());
    QVERIFY(!panel.findCor());
    QCOMPARE(doneSpy.count(), 1); // the refused second search answers at once
    QVERIFY(doneSpy.wait(5000));
    QCOMPARE(doneSpy.last().at(0).toBool(), true);
    QVERIFY(panel.FindCor->isEnabled());
    QCOMPARE(corSpy.count(), 1);
    QCOMPARE(ctrl.cor, realFieldValue(shown));
    QCOMPARE(ctrl.Cor->text(), shown);
    QCOMPARE(panel.Cor->text(), shown);
    // The sinogram followed: rebuilt around the new centre.
    QCOMPARE(panel.sinogram()->w, 2 * int(std::floor(ctrl.cor)) - 1);
}

void TestSinogramFindCor::refusedWithoutData()
{
    ProcCtrl ctrl;
    Sinogram panel;
    QSignalSpy doneSpy(&panel, &Sinogram::corSearchFinished);
    QVERIFY(!panel.findCor());
    panel.setProcCtrl(&ctrl);
    QVERIFY(!panel.findCor());
    ImgDatas empty;
    panel.setImgDatas(&empty);
    QTest::ignoreMessage(QtDebugMsg, "No projections to find the centre of rotation in");
    QVERIFY(!panel.findCor());
    QCOMPARE(doneSpy.count(), 3);
    for (const QList<QVariant> &arguments : doneSpy)
        QCOMPARE(arguments.at(0).toBool(), false);
    QCOMPARE(ctrl.cor, realFieldValue(ctrl.Cor->text()));
}

QTEST_MAIN(TestSinogramFindCor)
#include "tst_sinogramfindcor.moc"
