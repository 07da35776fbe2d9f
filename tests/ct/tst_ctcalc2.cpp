#include "ColorBar.h"
#include "CtCalc2.h"
#include "CtCalc2Ui.h"
#include "CtDispatcher.h"
#include "DataSaver.h"
#include "DrainingThread.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "ResultFiles.h"
#include "SinogramGenerator.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int detectorWidth = 47;
constexpr int detectorHeight = 4;
constexpr int projections = 12;
constexpr double cor = 23.5;  // N = 42 (the row keeps 21 samples each side)

// Two discs seen from 12 angles over half a turn, with a bright incident beam.
std::vector<quint32> projection(int j)
{
    const double pi = 3.141592653589793, theta = j * pi / projections;
    std::vector<quint32> pixels(size_t(detectorWidth) * detectorHeight);
    for (int y = 0; y < detectorHeight; ++y)
        for (int x = 0; x < detectorWidth; ++x) {
            const double u = x - cor;
            const double p = u - 8.0 * std::cos(theta) * (1 + y);
            const double chord = std::sqrt(std::max(0.0, 36.0 - p * p)) + std::sqrt(std::max(0.0, 9.0 - u * u));
            pixels[size_t(y) * detectorWidth + x] = quint32(5000.0 * std::exp(-0.05 * chord));
        }
    return pixels;
}

// CT1's computation of the same slice (the mean over projections), by the core's
// one-projection-at-a-time calls.
std::vector<double> ct1Slice(const ImgDatas &imgs, int slice, const CalcRegion &r)
{
    HSgm sgm;
    SinogramGenerator::genSinogram0(imgs, &sgm, true, cor, slice);
    const int n = (sgm.w / 2) * 2;
    BpCore core;
    core.setupCore(n, sgm.h);
    core.resizeImage(n);
    for (int j = 0; j < sgm.h; ++j) {
        core.transformRow(sgm.sgm + size_t(j) * sgm.w, j);
        core.filterRow(j, double(sgm.h) * n);
        core.backProject(j, r.x0, r.x1, r.z0, r.z1);
    }
    return std::vector<double>(core.image(), core.image() + size_t(n) * n);
}

bool sameValues(const double *a, const std::vector<double> &b, double factor)
{
    for (size_t i = 0; i < b.size(); ++i)
        if (!(std::abs(a[i] - factor * b[i]) <= 1e-9 * std::max(1.0, std::abs(a[i]))))
            return false;
    return true;
}

} // namespace

// CT2 workers on their own threads with their panels, the dispatcher and the saver.
class TestCtCalc2 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstSliceSetsTheRegion();
    void rangeRunSavesEverySlice();
    void failedSinogramEndsAtOnce();
    void colourBarChangeReRenders();
    void panelRegions_data();
    void panelRegions();
    void panelReadOut();

private:
    void startPool(int size);
    // Runs one slice on the first worker and waits for its end and the panel's updates.
    void runSlice(int slice, double sliceCor = cor, bool display = true);

    QTemporaryDir dir;
    ImgDatas imgs;
    std::vector<std::unique_ptr<CtCalc2Ui>> panels;
    std::vector<std::unique_ptr<CtCalc2>> workers;
    std::vector<std::unique_ptr<QThread>> threads;
    std::unique_ptr<CtDispatcher> dispatcher;
    std::unique_ptr<DataSaver> saver;
    std::unique_ptr<DrainingThread> saverThread;
};

void TestCtCalc2::initTestCase()
{
    for (int j = 0; j < projections; ++j) {
        const QString name = dir.filePath(QString("p%1.img").arg(j, 3, 10, QChar('0')));
        QVERIFY(ItexWriter::write(name, detectorWidth, detectorHeight, 2, projection(j)));
        QVERIFY(imgs.add(name));
    }
}

void TestCtCalc2::init() { startPool(2); }

void TestCtCalc2::startPool(int size)
{
    saver = std::make_unique<DataSaver>();
    saverThread = std::make_unique<DrainingThread>();
    saver->moveToThread(saverThread.get());
    saverThread->start();
    dispatcher = std::make_unique<CtDispatcher>();
    QList<CtCalc2 *> pool;
    for (int k = 0; k < size; ++k) {
        panels.push_back(std::make_unique<CtCalc2Ui>());
        workers.push_back(std::make_unique<CtCalc2>());
        threads.push_back(std::make_unique<QThread>());
        CtCalc2 *worker = workers.back().get();
        worker->setPanel(panels.back().get());
        worker->setImgDatas(&imgs);
        worker->moveToThread(threads.back().get());
        threads.back()->start();
        connect(dispatcher.get(), &CtDispatcher::startCt, worker,
                qOverload<CtCalc2 *, bool, double, int, bool>(&CtCalc2::startCt));
        connect(worker, &CtCalc2::calcFinished, dispatcher.get(), &CtDispatcher::execMultiCtCalc);
        connect(worker, &CtCalc2::saveDataWDiscard, saver.get(), &DataSaver::saveDataWDiscard);
        pool.append(worker);
    }
    dispatcher->setWorkers(pool);
}

void TestCtCalc2::cleanup()
{
    // Workers first (they send to panels and saver), then the saver, then the objects.
    for (auto &thread : threads) {
        thread->quit();
        thread->wait();
    }
    saverThread.reset();
    workers.clear();
    threads.clear();
    panels.clear();
    saver.reset();
    dispatcher.reset();
}

void TestCtCalc2::runSlice(int slice, double sliceCor, bool display)
{
    CtDispatcher::Run run;
    run.display = display;
    run.cor = sliceCor;
    run.slice = slice;
    run.dim = detectorWidth;
    run.projections = projections;
    QSignalSpy finished(dispatcher.get(), &CtDispatcher::finished);
    dispatcher->start(run);
    QVERIFY(finished.wait(20000));
    // The panel's queued updates were posted before calcFinished.
    QCoreApplication::processEvents();
}

void TestCtCalc2::firstSliceSetsTheRegion()
{
    CtCalc2Ui &panel = *panels[0];
    QSignalSpy regions(&panel, &CtCalc2Ui::cRUpdated);
    QVERIFY(!panel.isRegionSet());
    runSlice(1);
    QCOMPARE(regions.size(), 1);
    QCOMPARE(regions.at(0), (QList<QVariant>{0.0, 0.0, 42.0, 42.0}));
    QCOMPARE(panel.ShowSliceNo->text(), QString("1"));
    const CtCalc2 &worker = *workers[0];
    QCOMPARE(worker.bpCore().imageSide(), 42);
    // The CT2 slice is the CT1 slice times M.
    QVERIFY(sameValues(worker.bpCore().image(), ct1Slice(imgs, 1, {0, 0, 42, 42}), projections));
    // Shown through the colour bar, its range the slice's own.
    const BpCore &core = worker.bpCore();
    const double *v = core.image();
    const double lowest = *std::min_element(v, v + 42 * 42), highest = *std::max_element(v, v + 42 * 42);
    QCOMPARE(panel.colorBar()->minV(), lowest);
    QCOMPARE(panel.colorBar()->maxV(), highest);
    QCOMPARE(panel.DispCt->img.size(), QSize(42, 42));
    for (int z = 0; z < 42; ++z)
        for (int x = 0; x < 42; ++x)
            QCOMPARE(int(panel.DispCt->img.constScanLine(z)[x]), panel.colorBar()->colorIndex(core.imageAt(x, z)));
    QCOMPARE(panel.Crx1->text(), QString("42"));

    // Later slices keep a region that was set.
    panel.setCR(3, 5.5, 30, 40);
    regions.clear();
    runSlice(2);
    QCOMPARE(regions.size(), 0);
    QVERIFY(sameValues(worker.bpCore().image(), ct1Slice(imgs, 2, {3, 5.5, 30, 40}), projections));
    QVERIFY(QTime::fromString(panel.EndT->text(), "hh:mm:ss.zzz").isValid());
}

// Three slices on two workers with image and data saving: every file complete, the
// data the slice's values, the image the slice as shown.
void TestCtCalc2::rangeRunSavesEverySlice()
{
    for (auto &panel : panels)
        panel->setCR(2, 1, 40.5, 42);
    CtDispatcher::Run run;
    run.cor = cor;
    run.rangeMode = true;
    run.from = 3;
    run.to = 1;
    run.step = -1;
    run.threads = 2;
    run.dim = detectorWidth;
    run.projections = projections;
    run.image = {true, dir.filePath("out"), "ct", "E1"};
    run.data = {true, dir.filePath("out"), "sub/ct.x", ""};
    QVERIFY(QDir(dir.path()).mkpath("out"));
    QSignalSpy finished(dispatcher.get(), &CtDispatcher::finished);
    dispatcher->start(run);
    QVERIFY(finished.wait(20000));
    for (int slice = 1; slice <= 3; ++slice) {
        const std::vector<double> ct1 = ct1Slice(imgs, slice, {2, 1, 40.5, 42});
        std::vector<double> ct2(ct1.size());
        for (size_t i = 0; i < ct1.size(); ++i)
            ct2[i] = ct1[i] * projections;
        QFile data(dir.filePath(QString("out/ct-%1.dat").arg(slice, 5, 10, QChar('0'))));
        QTRY_VERIFY(data.exists());
        QVERIFY(data.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = data.readAll().split('\n');
        const QList<QByteArray> expected = ResultFiles::dataText(ct2.data(), 42, {2, 1, 40.5, 42}).split('\n');
        QCOMPARE(lines.size(), expected.size());
        QCOMPARE(lines.mid(0, 6), expected.mid(0, 6));
        for (int i = 6; i < lines.size() - 1; ++i) {
            const QList<QByteArray> got = lines[i].split('\t'), want = expected[i].split('\t');
            QCOMPARE(got.mid(0, 2), want.mid(0, 2));
            QVERIFY(std::abs(got[2].toDouble() - want[2].toDouble()) <= 1e-5 * std::max(1.0, std::abs(want[2].toDouble())));
        }
        QTRY_VERIFY(QFile::exists(dir.filePath(QString("out/ct-E1-%1.png").arg(slice, 5, 10, QChar('0')))));
    }
    const QImage saved(dir.filePath("out/ct-E1-00001.png"));
    QCOMPARE(saved.size(), QSize(42, 42));
    QCOMPARE(QDir(dir.filePath("out")).entryList(QDir::Files).size(), 6);
}

// A centre of rotation for which no sinogram can be built: the slice ends at once,
// nothing is reconstructed, rendered or saved, the last slice stays.
void TestCtCalc2::failedSinogramEndsAtOnce()
{
    // Without display and saving nothing is rendered.
    runSlice(1, cor, false);
    QVERIFY(panels[0]->DispCt->img.isNull());
    runSlice(1);
    const QImage before = panels[0]->DispCt->img;
    const std::vector<double> values(workers[0]->bpCore().image(), workers[0]->bpCore().image() + 42 * 42);
    CtDispatcher::SaveSettings save{true, dir.path(), "fail", ""};
    dispatcher->setupSaveConds(save, save);
    runSlice(2, 0.7);
    QCOMPARE(panels[0]->ShowSliceNo->text(), QString("2"));
    QVERIFY(sameValues(workers[0]->bpCore().image(), values, 1.0));
    QCOMPARE(panels[0]->DispCt->img, before);
    QTest::qWait(50);
    QCOMPARE(QDir(dir.path()).entryList({"fail*"}, QDir::Files).size(), 0);
}

// A fixed range typed into the colour bar re-renders the worker's last slice with it.
void TestCtCalc2::colourBarChangeReRenders()
{
    runSlice(0);
    CtCalc2Ui &panel = *panels[0];
    panel.setFixColorScale(true);
    QVERIFY(panel.colorBar()->fixBox()->isChecked());
    panel.colorBar()->minEdit()->setText("-1e9");
    panel.colorBar()->maxEdit()->setText("0");
    emit panel.colorBar()->minEdit()->editingFinished();
    // Everything at or above 0 is white; the rest is a nearly white grey.
    QTRY_COMPARE(int(panel.DispCt->img.constScanLine(22)[22]), 255);
    QCOMPARE(panel.colorBar()->minV(), -1e9);
    panel.setCBarMinMaxForced(0, 1e-3);
    QCOMPARE(panel.colorBar()->maxEdit()->text(), QString("0.001"));
    QCOMPARE(panel.renderState().scale.maxV, 1e-3);
    QVERIFY(panel.renderState().fixed);
}

void TestCtCalc2::panelRegions_data()
{
    QTest::addColumn<QList<double>>("calc");    // values for setCR
    QTest::addColumn<bool>("calcEmits");
    QTest::addColumn<QList<double>>("display"); // display region, then setCRegion
    QTest::addColumn<QList<double>>("rounded");
    QTest::newRow("only Crz1 differs") << QList<double>{0, 0, 2047, 2046} << true
                                       << QList<double>{10.4, 20.6, 100.2, 200.9} << QList<double>{10, 20, 101, 201};
    QTest::newRow("same values") << QList<double>{0, 0, 2047, 2047} << false
                                 << QList<double>{-3.5, 0, 7, 7.000001} << QList<double>{-4, 0, 7, 7};
}

void TestCtCalc2::panelRegions()
{
    QFETCH(QList<double>, calc);
    QFETCH(bool, calcEmits);
    QFETCH(QList<double>, display);
    QFETCH(QList<double>, rounded);
    CtCalc2Ui &panel = *panels[0];
    QSignalSpy calcSpy(&panel, &CtCalc2Ui::cRUpdated);
    QSignalSpy displaySpy(&panel, &CtCalc2Ui::dRUpdated);
    panel.setCR(calc[0], calc[1], calc[2], calc[3]);
    QCOMPARE(calcSpy.size(), calcEmits ? 1 : 0);
    QCOMPARE(panel.isRegionSet(), calcEmits);
    panel.setDR(display[0], display[1], display[2], display[3]);
    QCOMPARE(displaySpy.size(), 1);
    QCOMPARE(panel.DispCt->view, QRectF(display[0], display[1], display[2] - display[0], display[3] - display[1]));
    QVERIFY(panel.DispCt->scaleSet);
    panel.setDR(display[0], display[1], display[2], display[3]);
    QCOMPARE(displaySpy.size(), 1);
    calcSpy.clear();
    panel.SetCRegion->click();
    QCOMPARE(calcSpy.size(), 1);
    const CalcRegion r = panel.calcRegion();
    QCOMPARE((QList<double>{r.x0, r.z0, r.x1, r.z1}), rounded);
}

// The value under the pointer comes from the shown slice; the fields fit their texts.
void TestCtCalc2::panelReadOut()
{
    CtCalc2Ui &panel = *panels[0];
    panel.noticedNewPos(1, 1);
    QCOMPARE(panel.DispCt->Val->text(), QString("0"));
    runSlice(1);
    const BpCore &core = workers[0]->bpCore();
    panel.noticedNewPos(20.7, 31.2);
    QCOMPARE(panel.DispCt->Val->text(), QString::number(core.imageAt(20, 31), 'g', 6));
    panel.noticedNewPos(42, 3); // outside: the last value stays
    QCOMPARE(panel.DispCt->Val->text(), QString::number(core.imageAt(20, 31), 'g', 6));
    panel.noticedNewPos(0, 0.5); // the first column and row are inside (and outside the circle)
    QCOMPARE(panel.DispCt->Val->text(), QString("0"));
    panel.show();
    for (QLineEdit *field : {panel.Crx0, panel.Drz1, panel.StartT, panel.SpentT}) {
        const int needed = field->fontMetrics().horizontalAdvance("-1.23457e-05");
        QVERIFY2(field->contentsRect().width() - 4 >= needed, qPrintable(field->objectName()));
    }
}

QTEST_MAIN(TestCtCalc2)
#include "tst_ctcalc2.moc"
