#include "FieldValue.h"
#include "FieldWidth.h"
#include "ColorBar.h"
#include "CtCalc.h"
#include "CtCalc2.h"
#include "CtCalc2Ui.h"
#include "CtPool.h"
#include "FullTurnSinogram.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "ProcCtrl.h"
#include "ResultFiles.h"
#include "Sinogram.h"
#include "SinogramGenerator.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fftw3.h>

#include <complex>
#include <cstring>
#include <functional>
#include <numeric>
#include <set>
#include <tuple>

namespace {

constexpr int detectorWidth = 47, detectorHeight = 4, projections = 12, n = 42;
constexpr double cor = 23.5; // the row keeps 21 samples each side: slices are n wide

// Two discs seen from 12 angles over half a turn, with a bright incident beam.
std::vector<quint32> projection(int j)
{
    const double theta = j * M_PI / projections;
    std::vector<quint32> pixels(size_t(detectorWidth) * detectorHeight);
    for (int i = 0; i < detectorWidth * detectorHeight; ++i) {
        const double u = i % detectorWidth - cor, p = u - 8.0 * std::cos(theta) * (1 + i / detectorWidth);
        const double chord = std::sqrt(std::max(0.0, 36.0 - p * p)) + std::sqrt(std::max(0.0, 9.0 - u * u));
        pixels[size_t(i)] = quint32(5000.0 * std::exp(-0.05 * chord));
    }
    return pixels;
}

// The oracle: the core's sum over projections of the slice, region x0, z0, x1, z1.
std::vector<double> sumOverM(const ImgDatas &imgs, int slice, const QList<double> &r)
{
    HSgm sgm;
    SinogramGenerator::genSinogram0(*imgs.snapshot(), &sgm, true, cor, slice);
    BpCore core;
    core.setupCore(n, sgm.h);
    core.reconstructSlice(sgm.sgm, sgm.w, n, r[0], r[2], r[1], r[3]);
    return {core.image(), core.image() + n * n};
}

bool isSum(const BpCore &result, double factor, const std::vector<double> &sum)
{
    double worst = 0.0, scale = 0.0;
    for (int i = 0; i < n * n && result.imageSide() == n; ++i)
        std::tie(worst, scale) = std::make_pair(std::max(worst, std::abs(result.image()[i] * factor - sum[size_t(i)])), std::max(scale, std::abs(sum[size_t(i)])));
    return result.imageSide() == n && worst <= 1e-12 * scale;
}

using Rows = std::vector<std::vector<double>>;

// Row r of the full turn of a sinogram: the measured rows, then the same rows mirrored.
double fullTurn(const Rows &rows, int r, int x)
{
    const int h = int(rows.size());
    return r < h ? rows[size_t(r)][size_t(x)] : rows[size_t(r - h)][rows[0].size() - 1 - size_t(x)];
}

QString texts(std::initializer_list<QLineEdit *> fields)
{
    return std::accumulate(fields.begin(), fields.end(), QString(), [](const QString &all, QLineEdit *field) { return all + field->text() + ' '; }).trimmed();
}

// Both panels announce only a change of the fields ('g', 6 digits); the screen region rounds outward.
template <class Panel> void checkRegions(Panel &panel)
{
    QSignalSpy calc(&panel, &Panel::cRUpdated), display(&panel, &Panel::dRUpdated);
    QCOMPARE(texts({panel.Crx0, panel.Crz0, panel.Crx1, panel.Crz1}), QString("0 0 2047 2047"));
    panel.setCR(0, 0, 2047, 2047);
    QVERIFY(!panel.isRegionSet());
    for (double z1 : {40.0, 40.0, 40.0000001, 41.0})
        panel.setCR(1, 2, 30, z1);
    QVERIFY(calc.count() == 2 && calc.at(1) == QVariantList({1.0, 2.0, 30.0, 41.0}));
    QVERIFY(panel.isRegionSet() && !panel.DispCt->scaleSet);
    for (double x1 : {30.0, 30.0, 30.5})
        panel.setDR(1, 2, x1, 40);
    QVERIFY(display.count() == 2 && panel.DispCt->view == QRectF(1, 2, 29.5, 38) && panel.DispCt->scaleSet);
    emit panel.DispCt->newS(QRectF(-3.5, 20.6, 10.5, 180.3));
    panel.SetCRegion->click();
    QCOMPARE(texts({panel.Crx0, panel.Crz0, panel.Crx1, panel.Crz1}), QString("-4 20 7 201"));
    QVERIFY(calc.count() == 3 && display.count() == 3);
}

// Both panels: the slice through its own range, or a fixed one; the value under the pointer.
template <class Panel> void checkView(Panel &panel, const double *v)
{
    ColorBar *bar = panel.colorBar();
    const auto valueAt = [v](int x, int z) { return QString::number(v[z * n + x], 'g', 6); };
    const auto drawnThrough = [&](const ColorScale &scale) {
        for (int i = 0; i < n * n; ++i)
            if (panel.DispCt->img.size() != QSize(n, n) || panel.DispCt->img.constScanLine(i / n)[i % n] != scale.colorIndex(v[i]))
                return false;
        return true;
    };
    QVERIFY(bar->minV() == *std::min_element(v, v + n * n) && bar->maxV() == *std::max_element(v, v + n * n));
    QVERIFY(drawnThrough(bar->colorScale()));
    panel.setFixColorScale(true);
    panel.setCBarMinMaxForced(-1, 1e-5);
    QCOMPARE(bar->minEdit()->text() + " " + bar->maxEdit()->text(), QString("-1 1e-05"));
    emit bar->newBar();
    QTRY_VERIFY(drawnThrough(ColorScale{-1, 1e-5}));
    emit panel.DispCt->newPosInvY(30.7, 20.2);
    QCOMPARE(panel.DispCt->Val->text(), valueAt(30, 20));
    for (double x : {double(n), -1.0, 0.0}) // outside: the last value stays
        emit panel.DispCt->newPosInvY(x, x == 0.0 ? n : 0.0);
    QCOMPARE(panel.DispCt->Val->text(), valueAt(30, 20));
    emit panel.DispCt->newPosInvY(-0.5, -0.5); // column and row 0, outside the circle
    QCOMPARE(panel.DispCt->Val->text(), valueAt(0, 0));
    // Asked wide enough for the longest real, yet squeezable below it (elided then).
    for (QLineEdit *field : {panel.Drx0, panel.Drz0, panel.Drx1, panel.Drz1, panel.Crx0, panel.Crz0, panel.Crx1, panel.Crz1}) {
        const int longest = field->fontMetrics().horizontalAdvance("-1.23457e-05");
        QVERIFY(field->sizeHint().width() > longest && field->minimumSizeHint().width() < longest);
    }
}

} // namespace

// The sinogram panel, CT1 and CT2 (threads, dispatcher, saver) on 12 projections of 47 x 4.
class TestCtCalc : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    ImgDatas imgs;
    ProcCtrl ctrl;
    Sinogram sinogram;
    std::unique_ptr<CtCalc> ct1;
    // Two CT2 panels showing what the engine's controller reports, as the window wires them.
    std::unique_ptr<CtPool> pool;
    std::vector<std::unique_ptr<CtCalc2Ui>> panels;

    void runCt1(bool atOnce)
    {
        QSignalSpy finished(ct1.get(), &CtCalc::calcFinished);
        ct1->CalcAtOnce->setChecked(atOnce);
        ct1->startCt();
        QCOMPARE(ct1->isOneByOne(), !atOnce);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QTest::qWait(20);
        QCOMPARE(finished.count(), 1);
    }
    // A single slice on the first worker, over the first panel's region; waits for the panels.
    void runCt2(int slice, double sliceCor = cor, bool display = true)
    {
        auto snapshot = std::make_shared<RunSnapshot>();
        snapshot->series = imgs.snapshot();
        std::tie(snapshot->cor, snapshot->display) = std::make_tuple(sliceCor, display);
        const CtCalc2Ui &panel = *panels[0];
        snapshot->region = CalcRegion{panel.Crx0->text().toDouble(), panel.Crz0->text().toDouble(),
                                      panel.Crx1->text().toDouble(), panel.Crz1->text().toDouble()};
        snapshot->regionSet = panel.isRegionSet();
        snapshot->scales = {{panel.colorBar()->colorScale(), panel.colorBar()->isFixed()}};
        snapshot->image = snapshot->data = {true, dir.path(), "ct", ""};
        CtDispatcher::Run run;
        std::tie(run.snapshot, run.slice) = std::make_tuple(snapshot, slice);
        QSignalSpy finished(&pool->dispatcher(), &CtDispatcher::finished);
        pool->dispatcher().start(run);
        QVERIFY(finished.wait(20000));
    }

    // Raw intensities straight into the sinogram panel's record.
    void show(const Rows &rows)
    {
        HSgm &record = *sinogram.sinogram();
        record.resize(int(rows[0].size()), int(rows.size()));
        for (int i = 0; i < record.w * record.h; ++i)
            record.rawSgm[i] = rows[size_t(i / record.w)][size_t(i % record.w)];
        sinogram.genImage();
    }
private slots:
    void initTestCase()
    {
        for (int j = 0; j < projections; ++j) {
            const QString name = dir.filePath(QString("p%1.img").arg(j, 3, 10, QChar('0')));
            QVERIFY(ItexWriter::write(name, detectorWidth, detectorHeight, 2, projection(j)) && imgs.add(name));
        }
        ctrl.RotAxV->click();
        ctrl.setSliceNo(1);
        ctrl.setCor(cor);
        sinogram.setProcCtrl(&ctrl);
        sinogram.setImgDatas(&imgs);
    }
    void init()
    {
        ct1.reset(new CtCalc);
        ct1->setSinogramPanel(&sinogram);
        pool = std::make_unique<CtPool>(2);
        panels.clear();
        for (int k = 0; k < 2; ++k)
            panels.push_back(std::make_unique<CtCalc2Ui>());
        connect(&pool->dispatcher(), &CtDispatcher::sliceStarted, this, [this](int k, int slice) { panels[size_t(k)]->sliceStarted(slice); });
        connect(&pool->dispatcher(), &CtDispatcher::sliceFinished, this, [this](const SliceResult &r) { panels[size_t(r.worker)]->showResult(r); });
    }

    void ct1IsTheSumOverM_data()
    {
        QTest::addColumn<bool>("atOnce");
        QTest::newRow("at once") << true;
        QTest::newRow("one by one") << false;
    }
    // The first start sets the region, later ones keep it (uneven: x is not z); each step is drawn.
    void ct1IsTheSumOverM()
    {
        QFETCH(bool, atOnce);
        QSignalSpy regions(ct1.get(), &CtCalc::cRUpdated);
        QVERIFY(!ct1->isRegionSet());
        runCt1(atOnce);
        QVERIFY(regions.count() == 1 && regions.at(0) == QVariantList({0.0, 0.0, double(n), double(n)}));
        QVERIFY(isSum(ct1->result(), projections, sumOverM(imgs, 1, {0, 0, n, n})));
        std::set<qint64> pictures;
        connect(ct1.get(), &CtCalc::finishedCalcOne, this, [&]() { pictures.insert(ct1->DispCt->img.cacheKey()); });
        ct1->setCR(3, 11.5, 40, 30);
        runCt1(atOnce);
        QVERIFY(isSum(ct1->result(), projections, sumOverM(imgs, 1, {3, 11.5, 40, 30})));
        QCOMPARE(int(pictures.size()), atOnce ? 0 : projections);
        QVERIFY(!ct1->isRunning() && !ct1->isOneByOne() && ct1->ShowSliceNo->text() == "1");
        const QRegularExpression clock("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$");
        QVERIFY(clock.match(ct1->StartT->text()).hasMatch() && clock.match(ct1->EndT->text()).hasMatch());
        QCOMPARE(ct1->SpentT->text(), QString::number(ct1->startTime().msecsTo(ct1->endTime()) / 1000.0, 'g', 6));
    }

    // A press between two steps stops (a late step is dropped) or starts afresh; a start replaces a run.
    void ct1StopAndRestart()
    {
        QSignalSpy steps(ct1.get(), &CtCalc::finishedCalcOne), ended(ct1.get(), &CtCalc::calcFinished);
        std::function<void()> press = [&]() { ct1->calcCt(); };
        qsizetype pressAt = 5;
        connect(ct1.get(), &CtCalc::finishedCalcOne, this, [&]() {
            if (steps.count() == pressAt) // the spy, connected first, has counted this step
                press();
        });
        CtCalc unwired; // no sinogram panel: nothing happens
        QSignalSpy unwiredEnded(&unwired, &CtCalc::calcFinished);
        unwired.startCt();
        QVERIFY(!unwired.isRunning() && unwiredEnded.isEmpty());
        ctrl.setCor(0.7); // no sinogram at this centre: the run ends at once
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^CT1: no sinogram"));
        ct1->startCt();
        ctrl.setCor(cor);
        QVERIFY(ended.count() == 1 && !ct1->isRunning() && ct1->result().n() == 0);
        ct1->CalcAtOnce->setChecked(false);
        for (int run = 2; run <= 4; ++run) {
            ct1->calcCt();
            QTRY_COMPARE_WITH_TIMEOUT(ended.count(), run, 20000);
            QTest::qWait(50);
            ct1->stopCt(); // idle: nothing more to end
            QCOMPARE(QList<qsizetype>({steps.count(), ended.count()}), (QList<qsizetype>{5 + (run - 2) * projections + (run == 4) * 3, run}));
            QVERIFY(run == 2 || isSum(ct1->result(), projections, sumOverM(imgs, 1, {0, 0, n, n})));
            press = [&]() { ct1->startCt(); };
            pressAt = 5 + projections + 3;
        }
    }

    void ct1Panel()
    {
        ct1->DispCt->Val->setText("-");
        emit ct1->DispCt->newPosInvY(1, 1); // nothing reconstructed yet
        QCOMPARE(ct1->DispCt->Val->text(), QString("-"));
        runCt1(true);
        checkView(*ct1, ct1->result().image());
        // The value field asks for room for the slice's own range.
        const ColorBar &bar = *ct1->DispCt->CBar;
        QLineEdit *val = ct1->DispCt->Val;
        QVERIFY(val->sizeHint().width() >= FieldWidth::widthFor(val, {realFieldText(bar.minV()), realFieldText(bar.maxV())}));
        ct1.reset(new CtCalc);
        checkRegions(*ct1);
        for (const QList<double> &r : {QList<double>{1, 2, 1, 40}, {1, 2, 30, 2}}) // no width, no height
            ct1->setDR(r[0], r[1], r[2], r[3]);
        QVERIFY(texts({ct1->Drx1, ct1->Drz1}) == "30 2" && ct1->DispCt->view == QRectF(-3.5, 20.6, 10.5, 180.3));
        ct1->setDR(1, 2, 1.5, 2.25); // a sub-pixel view is still a view
        QCOMPARE(ct1->DispCt->view, QRectF(1, 2, 0.5, 0.25));
    }

    // A slice over the panel's region, shown unless display is off; a slice without a
    // sinogram leaves what was shown and saves nothing.
    void ct2SlicesAndFailure()
    {
        CtCalc2Ui &panel = *panels[0];
        runCt2(1, cor, false);
        QVERIFY(panel.DispCt->img.isNull() && !panel.shownValues() && panel.ShowSliceNo->text() == "1");
        panel.setCR(3, 5.5, 30, 40);
        runCt2(2);
        const std::vector<double> sum = sumOverM(imgs, 2, {3, 5.5, 30, 40});
        QVERIFY(panel.shownValues() && panel.shownSide() == n && *panel.shownValues() == sum);
        QVERIFY(panel.ShowSliceNo->text() == "2" && panel.DispCt->img.size() == QSize(n, n));
        QVERIFY(QTime::fromString(panel.EndT->text(), "hh:mm:ss.zzz").isValid());
        QCOMPARE(panel.SpentT->text(), QString::number(panel.startTime().msecsTo(panel.endTime()) / 1000.0, 'g', 6));
        const QImage before = panel.DispCt->img;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Slice out of range"));
        runCt2(detectorHeight + 3);
        runCt2(3, 0.7);
        QVERIFY(panel.ShowSliceNo->text() == "3" && panel.DispCt->img == before && *panel.shownValues() == sum);
        pool->shutdown();
        QCOMPARE(QDir(dir.path()).entryList({"ct-*"}, QDir::Files), QStringList({"ct-00001.dat", "ct-00001.png", "ct-00002.dat", "ct-00002.png"}));
        CtCalc2 unwired; // a request without a run: it still answers, or a run would wait forever
        QSignalSpy answered(&unwired, &CtCalc2::calcFinished);
        const SliceRequest runless;
        unwired.startCt(&unwired, &runless);
        QCOMPARE(answered.count(), 1);
        const std::unique_ptr<SliceResult> answer(answered.at(0).at(0).value<SliceResult *>());
        QVERIFY(answer && !answer->reconstructed);
    }

    void ct2Panel()
    {
        CtCalc2Ui &panel = *panels[0];
        panel.DispCt->Val->setText("-");
        panel.noticedNewPos(1, 1); // nothing shown yet
        QCOMPARE(panel.DispCt->Val->text(), QString("-"));
        runCt2(0);
        checkView(panel, panel.shownValues()->data());
        QVERIFY(panel.StartT->sizeHint().width() > panel.StartT->fontMetrics().horizontalAdvance("00:00:00.000"));
        QVERIFY(panel.SpentT->sizeHint().width() > panel.SpentT->fontMetrics().horizontalAdvance("-1.23457e-05"));
        CtCalc2Ui fresh;
        checkRegions(fresh);
    }
    void sinogramViews_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QList<double>>("range");
        QTest::newRow("constant: the mean at (0, 0), 0 elsewhere") << Rows{{2.5, 2.5, 2.5, 2.5}, {2.5, 2.5, 2.5, 2.5}, {2.5, 2.5, 2.5, 2.5}} << QList<double>{2.5, 2.5};
        QTest::newRow("uneven") << Rows{{1, 7, 2, 3}, {4, -5, 9, 0}} << QList<double>{-5, 9};
    }
    // Nothing before a sinogram; then the full turn and the Fourier magnitudes by their definition.
    void sinogramViews()
    {
        QFETCH(Rows, rows);
        QFETCH(QList<double>, range);
        sinogram.sinogram()->resize(0, 0);
        sinogram.DispSinogram->img = sinogram.DispFouS->img = QImage();
        sinogram.setGenFouS(true);
        sinogram.DispSinogram->CBar->setRange(3, 4);
        sinogram.genImage();
        QVERIFY(sinogram.DispSinogram->img.isNull() && sinogram.DispFouS->img.isNull());
        QVERIFY(sinogram.DispSinogram->CBar->maxV() == 4 && sinogram.minValue() > sinogram.maxValue());
        QVERIFY(sinogram.Cor->minimumWidth() > sinogram.Cor->fontMetrics().horizontalAdvance("-1.23457e-05"));
        sinogram.setGenFouS(false);
        show(rows);
        QVERIFY(sinogram.DispFouS->img.isNull()); // "Gen Fou. Sinogram" is off
        sinogram.setGenFouS(true); // checking it later adds the view
        sinogram.genFouSImage();
        const int w = int(rows[0].size()), turn = 2 * int(rows.size());
        // Freed blocks full of large values first: the transform must not read what memory held.
        for (int i = 0; i < 8; ++i)
            fftw_free(std::memset(fftw_alloc_complex(size_t(w) * turn), 0x7f, sizeof(fftw_complex) * w * turn));
        const std::vector<double> magnitude = FullTurnSinogram::fourierMagnitude(*sinogram.sinogram());
        QVERIFY(int(magnitude.size()) == w * turn && sinogram.DispFouS->img.size() == QSize(w, turn) && sinogram.DispSinogram->img.size() == QSize(w, turn));
        QCOMPARE((QList<double>{sinogram.minValue(), sinogram.maxValue(), sinogram.DispSinogram->CBar->minV(), sinogram.DispSinogram->CBar->maxV()}), range + range);
        for (int u = 0; u < turn; ++u)
            for (int v = 0; v < w; ++v) {
                std::complex<double> sum;
                for (int r = 0; r < turn; ++r)
                    for (int x = 0; x < w; ++x)
                        sum += fullTurn(rows, r, x) * std::polar(1.0, -2 * M_PI * (double(u) * r / turn + double(v) * x / w));
                const double m = magnitude[size_t(u * w + v)];
                QVERIFY(std::abs(m - std::abs(sum) / (w * turn)) <= 1e-12);
                QCOMPARE(int(sinogram.DispFouS->img.constScanLine(u)[v]), (ColorScale{-10, 10}.colorIndex(m)));
                QCOMPARE(int(sinogram.DispSinogram->img.constScanLine(u)[v]), (ColorScale{range[0], range[1]}.colorIndex(fullTurn(rows, u, v))));
            }
        QVERIFY(sinogram.DispFouS->scaleSet);
        // Its own colour bar draws the kept magnitudes again.
        sinogram.DispFouS->CBar->maxEdit()->setText("0.5");
        emit sinogram.DispFouS->CBar->maxEdit()->editingFinished();
        QCOMPARE(int(sinogram.DispFouS->img.constScanLine(0)[0]), ColorScale({-10, 0.5}).colorIndex(magnitude[0]));
        sinogram.DispFouS->img = QImage(); // a new sinogram brings its Fourier view along
        sinogram.genImage();
        QVERIFY(!sinogram.DispFouS->img.isNull());
    }

    // A typed centre goes to the controls, whose announcement writes it back as they show it.
    void sinogramTypedCentre()
    {
        ProcCtrl typedTo;
        Sinogram typing;
        typing.setProcCtrl(&typedTo);
        connect(&typedTo, &ProcCtrl::corUpdated, &typing, &Sinogram::corUpdated);
        typing.Cor->setText("295.54321");
        emit typing.Cor->editingFinished();
        QVERIFY(std::abs(typedTo.cor - 295.54321) <= 1e-12 && typing.Cor->text() == "295.543");
    }
    // Truncated toward zero; the lower half reads the measured row, not the mirrored one.
    void sinogramReadOut()
    {
        sinogram.sinogram()->resize(0, 0);
        sinogram.DispSinogram->Val->setText("-");
        sinogram.newPos(0, 0); // nothing built
        QCOMPARE(sinogram.DispSinogram->Val->text(), QString("-"));
        show({{1, 2, 3}, {4, 5, 6}});
        struct Case { double x, y; const char *shown; };
        for (const Case &c : {Case{2.9, 1.2, "6"}, {0.0, 2.5, "1"}, {0.0, 3.99, "4"}, {0.0, 4.0, "4"}, {-0.5, 0.0, "1"},
                              {3.0, 0.0, "1"}, {std::nan(""), 0.0, "1"}}) {
            emit sinogram.DispSinogram->newPosInvY(c.x, c.y);
            QCOMPARE(sinogram.DispSinogram->Val->text(), QString(c.shown));
        }
    }

    // "Gen Image" builds the sinogram always, the auto-update slots only when it is checked.
    void sinogramBuiltOnRequest()
    {
        Sinogram built;
        HSgm record, expected; // of a worker, of the generator
        QVERIFY(!built.genSinogram0(&record, true, cor, 1) && !built.genSinogram()); // no images set, no controls
        built.setImgDatas(&imgs);
        built.setProcCtrl(&ctrl);
        ctrl.AutoUpdate->setChecked(false);
        for (auto slot : {&Sinogram::rotAxUpdated, &Sinogram::sliceNoUpdated, &Sinogram::autoUpdateUpdated, &Sinogram::genSgmImage, &Sinogram::corUpdated})
            (built.*slot)();
        QVERIFY(built.sinogram()->h == 0 && built.Cor->text() == "23.5");
        built.GenImg->click();
        QVERIFY(built.sinogram()->w / 2 * 2 == n && built.sinogram()->h == projections && built.DispSinogram->img.height() == 2 * projections);
        ctrl.setCor(20.0);
        ctrl.AutoUpdate->setChecked(true);
        built.autoUpdateUpdated();
        QVERIFY(SinogramGenerator::genSinogram0(*imgs.snapshot(), &expected, true, 20.0, 1) && expected.w / 2 * 2 != n);
        QVERIFY(built.sinogram()->w == expected.w && built.DispSinogram->img.width() == expected.w);
        ctrl.setCor(cor);
        ctrl.AutoUpdate->setChecked(false);
    }
};

QTEST_MAIN(TestCtCalc)
#include "tst_ctcalc.moc"
