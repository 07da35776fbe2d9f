#include "BpCore.h"
#include "ColorBar.h"
#include "CtCalc.h"
#include "ImgDatas.h"
#include "Phantom.h"
#include "ProcCtrl.h"
#include "Sinogram.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <set>

constexpr int timeoutMs = 20000;

// The CT1 engine on a synthetic head of 180 projections, 64 x 2 pixels, centre 31.5:
// slices are N = 60 pixels wide.
class TestCtCalc : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    ImgDatas series;
    ProcCtrl ctrl;
    Sinogram sinogram;
    std::unique_ptr<CtCalc> ct1;

    // True when CT1 times M is, within rounding, the sum over projections of the same
    // slice and region as the CT2 engine reconstructs it (the oracle).
    bool isTheSumOverM(double x0, double z0, double x1, double z1)
    {
        HSgm record;
        BpCore sum;
        sinogram.genSinogram0(&record, ctrl.rotAxIsV, ctrl.cor, ctrl.sliceNo);
        sum.setupCore(60, record.h);
        sum.reconstructSlice(record.sgm, record.w, 60, x0, x1, z0, z1);
        double worst = 0.0, scale = 0.0;
        for (int i = 0; i < 60 * 60; ++i) {
            worst = std::max(worst, std::abs(ct1->result().image()[i] * 180 - sum.image()[i]));
            scale = std::max(scale, std::abs(sum.image()[i]));
        }
        return ct1->result().n() == 60 && worst <= 1e-12 * scale;
    }
    void runToTheEnd(bool atOnce)
    {
        QSignalSpy finished(ct1.get(), &CtCalc::calcFinished);
        ct1->CalcAtOnce->setChecked(atOnce);
        ct1->startCt();
        QCOMPARE(ct1->isOneByOne(), !atOnce);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, timeoutMs);
        QTest::qWait(20);
        QCOMPARE(finished.count(), 1);
    }

private slots:
    void initTestCase()
    {
        Phantom::Series settings;
        settings.width = 64;
        settings.height = 2;
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
        sinogram.setProcCtrl(&ctrl);
        sinogram.setImgDatas(&series);
    }
    void init()
    {
        ct1.reset(new CtCalc);
        ct1->setSinogramPanel(&sinogram);
    }

    void sameSliceAsTheSumOverM_data()
    {
        QTest::addColumn<bool>("atOnce");
        QTest::newRow("at once") << true;
        QTest::newRow("projection by projection") << false;
    }
    // The region is uneven on purpose, so that x and z bounds cannot be mixed up. One by
    // one, each of the 180 steps is drawn as it comes (a new picture every time).
    void sameSliceAsTheSumOverM()
    {
        QFETCH(bool, atOnce);
        std::set<qint64> pictures;
        connect(ct1.get(), &CtCalc::finishedCalcOne, this, [&]() { pictures.insert(ct1->DispCt->img.cacheKey()); });
        ct1->setCR(3, 11.5, 52, 40);
        runToTheEnd(atOnce);
        QVERIFY(isTheSumOverM(3, 11.5, 52, 40));
        QCOMPARE(int(pictures.size()), atOnce ? 0 : 180);
        QVERIFY(!ct1->isRunning() && !ct1->isOneByOne());
        QCOMPARE(ct1->ShowSliceNo->text(), QString("1"));
        const QRegularExpression clock("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$");
        QVERIFY(clock.match(ct1->StartT->text()).hasMatch() && clock.match(ct1->EndT->text()).hasMatch());
        QCOMPARE(ct1->SpentT->text(), QString::number(ct1->startTime().msecsTo(ct1->endTime()) / 1000.0, 'g', 6));
    }

    // Stopping ends the run at once; a step still on its way is dropped. The next press
    // starts again from projection 0 on a zeroed image. A start during a run replaces
    // it. The presses come between two projections, as a click does.
    void calcCtDuringOneByOne()
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
        QTest::qWait(100);
        ct1->stopCt(); // idle: nothing more to end
        QCOMPARE(QList<qsizetype>({steps.count(), ended.count()}), QList<qsizetype>({20, 1}));

        ct1->calcCt();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, timeoutMs);
        QCOMPARE(steps.count(), 20 + 180);
        QVERIFY(isTheSumOverM(0, 0, 60, 60));

        press = [&]() { ct1->startCt(); };
        pressAt = 200 + 5;
        ct1->calcCt();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 3, timeoutMs);
        QTest::qWait(50);
        QCOMPARE(QList<qsizetype>({steps.count(), ended.count()}), QList<qsizetype>({205 + 180, 3}));
        QVERIFY(isTheSumOverM(0, 0, 60, 60));
    }

    // A fresh panel shows (0, 0)-(2047, 2047) without counting it as set; the first start
    // sets (0, 0)-(N, N), later starts keep what was set.
    void regionSetOnFirstStart()
    {
        QSignalSpy regions(ct1.get(), &CtCalc::cRUpdated);
        QCOMPARE(QStringList({ct1->Crx0->text(), ct1->Crz0->text(), ct1->Crx1->text(), ct1->Crz1->text()}).join(' '),
                 QString("0 0 2047 2047"));
        QVERIFY(!ct1->isRegionSet());
        runToTheEnd(true);
        QCOMPARE(regions.count(), 1);
        QCOMPARE(regions.at(0), QVariantList({0.0, 0.0, 60.0, 60.0}));
        ct1->setCR(10, 10, 20, 20);
        runToTheEnd(true);
        QVERIFY(ct1->result().imageAt(9, 15) == 0.0 && ct1->result().imageAt(10, 15) != 0.0);
        for (QLineEdit *field : {ct1->Drx0, ct1->Drz0, ct1->Drx1, ct1->Drz1, ct1->Crx0, ct1->Crz0, ct1->Crx1, ct1->Crz1, ct1->DispCt->Val})
            QVERIFY(field->minimumWidth() > field->fontMetrics().horizontalAdvance("-1.23457e-05"));
    }

    // A setter announces only a change of the fields' values ('g', 6 digits); the view
    // follows a display region that has an extent. The screen region rounds outward.
    void regionSetters()
    {
        QSignalSpy calc(ct1.get(), &CtCalc::cRUpdated);
        QSignalSpy display(ct1.get(), &CtCalc::dRUpdated);
        const auto fields = [](std::initializer_list<QLineEdit *> f) {
            QStringList texts;
            for (QLineEdit *field : f)
                texts << field->text();
            return texts.join(' ');
        };
        for (double z1 : {40.0, 40.0, 40.0000001, 41.0})
            ct1->setCR(1, 2, 30, z1);
        QCOMPARE(calc.count(), 2);
        QCOMPARE(calc.at(1), QVariantList({1.0, 2.0, 30.0, 41.0}));
        QVERIFY(ct1->isRegionSet() && !ct1->DispCt->scaleSet);
        for (double x1 : {30.0, 30.0, 30.5, 1.0}) // the last one has no width
            ct1->setDR(1, 2, x1, 40);
        QCOMPARE(display.count(), 3);
        QCOMPARE(fields({ct1->Drx0, ct1->Drz0, ct1->Drx1, ct1->Drz1}), QString("1 2 1 40"));
        QVERIFY(ct1->DispCt->view == QRectF(1, 2, 29.5, 38) && ct1->DispCt->scaleSet);
        ct1->setDR(1, 2, 30, 2); // no height
        QCOMPARE(ct1->DispCt->view, QRectF(1, 2, 29.5, 38));

        emit ct1->DispCt->newS(QRectF(10.4, 20.6, 89.8, 180.3));
        ct1->SetCRegion->click();
        QCOMPARE(fields({ct1->Crx0, ct1->Crz0, ct1->Crx1, ct1->Crz1}), QString("10 20 101 201"));
    }

    // No sinogram panel: nothing happens. No sinogram at this centre: the run ends at once.
    void nothingToReconstruct()
    {
        CtCalc unwired;
        QSignalSpy unwiredEnded(&unwired, &CtCalc::calcFinished);
        unwired.startCt();
        QSignalSpy ended(ct1.get(), &CtCalc::calcFinished);
        ctrl.setCor(0.7);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^CT1: no sinogram"));
        ct1->startCt();
        ctrl.setCor(31.5);
        QVERIFY(ended.count() == 1 && !ct1->isRunning() && ct1->result().n() == 0);
        QVERIFY(!unwired.isRunning() && unwiredEnded.isEmpty());
    }

    // The result view ranges itself unless fixed; a colour bar change draws it again; the
    // read-out shows the value under the pointer.
    void colourBarAndReadOut()
    {
        runToTheEnd(true);
        const BpCore &image = ct1->result();
        ColorBar *bar = ct1->colorBar();
        QCOMPARE(QList<double>({bar->minV(), bar->maxV()}), QList<double>({image.minValue(), image.maxValue()}));
        ct1->setFixColorScale(true);
        ct1->setCBarMinMaxForced(-1, 1e-5);
        QCOMPARE(bar->minEdit()->text() + " " + bar->maxEdit()->text(), QString("-1 1e-05"));
        emit bar->newBar();
        QCOMPARE(int(ct1->DispCt->img.constScanLine(20)[30]), (ColorScale{-1, 1e-5}.colorIndex(image.imageAt(30, 20))));
        runToTheEnd(true);
        QVERIFY(bar->isFixed() && bar->maxV() == 1e-5);

        emit ct1->DispCt->newPosInvY(30.7, 20.2);
        QCOMPARE(ct1->DispCt->Val->text(), QString::number(image.imageAt(30, 20), 'g', 6));
        ct1->DispCt->Val->setText("-");
        emit ct1->DispCt->newPosInvY(60, 0);
        emit ct1->DispCt->newPosInvY(0, -1);
        QCOMPARE(ct1->DispCt->Val->text(), QString("-"));
    }
};

QTEST_MAIN(TestCtCalc)
#include "tst_ctcalc.moc"
