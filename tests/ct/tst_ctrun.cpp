// The CT2 engine without a window: the run controller on its own, then the pool of
// workers with the saver, against the core's own sum over projections. Links the
// reconstruction core alone.
#include "CtCalc2.h"
#include "CtDispatcher.h"
#include "CtPool.h"
#include "DataSaver.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "ResultFiles.h"
#include "SaveBudget.h"
#include "SinogramGenerator.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <climits>
#include <cmath>
#include <thread>


namespace {

// Requests are recorded, answers given by the test: "w1:10" is slice 10 on worker 1.
struct HandOut : QObject
{
    std::vector<std::unique_ptr<CtCalc2>> workers;
    CtDispatcher dispatcher;
    QStringList log;
    std::map<CtCalc2 *, SliceRequest> last;
    HandOut()
    {
        QList<CtCalc2 *> pool;
        for (int k = 0; k < 4; ++k) {
            workers.push_back(std::make_unique<CtCalc2>());
            pool.append(workers.back().get());
        }
        dispatcher.setWorkers(pool);
        connect(&dispatcher, &CtDispatcher::startCt, this, [this](CtCalc2 *worker, const SliceRequest *request) {
            last[worker] = *request;
            log << QString("w%1:%2").arg(dispatcher.workers().indexOf(worker) + 1).arg(request->slice);
        });
        connect(&dispatcher, &CtDispatcher::finished, this, [this]() { log << "end"; });
    }
    // The answer of worker k (from 1) to its last request.
    void answer(int k, bool reconstructed = true)
    {
        CtCalc2 *worker = workers[size_t(k - 1)].get();
        SliceResult result;
        result.runId = last[worker].runId;
        result.worker = k - 1;
        result.slice = last[worker].slice;
        result.reconstructed = reconstructed;
        dispatcher.completed(worker, result);
    }
    static CtDispatcher::Run range(int from, int to, int step, int threads, bool rangeMode = true)
    {
        CtDispatcher::Run run;
        run.slice = 7;
        run.rangeMode = rangeMode;
        std::tie(run.from, run.to, run.step, run.threads) = std::make_tuple(from, to, step, threads);
        return run;
    }
};

constexpr int detectorWidth = 47, detectorHeight = 6, projections = 12, n = 42;
constexpr double cor = 23.5; // 21 samples each side of the centre: slices of 42

// Two discs over half a turn; `shift` moves them, so that two series differ everywhere.
std::vector<quint32> projection(int j, int width, double shift)
{
    const double theta = j * M_PI / projections, centre = width / 2.0;
    std::vector<quint32> pixels(size_t(width) * detectorHeight);
    for (int i = 0; i < width * detectorHeight; ++i) {
        const double u = i % width - centre, p = u - (8.0 + shift) * std::cos(theta) * (1 + i / width);
        const double chord = std::sqrt(std::max(0.0, 36.0 - p * p)) + std::sqrt(std::max(0.0, 9.0 - u * u));
        pixels[size_t(i)] = quint32(5000.0 * std::exp(-0.05 * chord)) + quint32(i % 7);
    }
    return pixels;
}

bool writeSeries(ImgDatas &imgs, const QString &folder, int width, double shift)
{
    if (!QDir().mkpath(folder))
        return false;
    for (int j = 0; j < projections; ++j) {
        const QString name = QDir(folder).filePath(QString("p%1.img").arg(j, 3, 10, QChar('0')));
        if (!ItexWriter::write(name, width, detectorHeight, 2, projection(j, width, shift)) || !imgs.add(name))
            return false;
    }
    return true;
}

// The oracle: the core's sum over projections of one slice of a series.
std::vector<double> sumOverM(const ProjectionSeries &series, int slice, const CalcRegion &r)
{
    HSgm sgm;
    if (!SinogramGenerator::genSinogram0(series, &sgm, true, cor, slice))
        return {};
    BpCore core;
    core.setupCore(n, sgm.h);
    core.reconstructSlice(sgm.sgm, sgm.w, n, r.x0, r.x1, r.z0, r.z1);
    return {core.image(), core.image() + n * n};
}

QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}


} // namespace

class TestCtRun : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    std::shared_ptr<RunSnapshot> snapshotOf(const ImgDatas &imgs, const QString &out)
    {
        auto run = std::make_shared<RunSnapshot>();
        run->series = imgs.snapshot();
        run->cor = cor;
        run->display = false;
        run->data = {true, out, "ct", ""};
        run->image = {true, out, "ct", ""};
        return run;
    }
    // A range run on the pool, waited for, and the saver's queue behind it.
    static bool runRange(CtPool &pool, std::shared_ptr<const RunSnapshot> snapshot, int from, int to,
                         const std::function<void()> &meanwhile = {})
    {
        CtDispatcher::Run run;
        run.snapshot = std::move(snapshot);
        std::tie(run.rangeMode, run.from, run.to, run.step, run.threads) = std::make_tuple(true, from, to, 1, 2);
        QSignalSpy finished(&pool.dispatcher(), &CtDispatcher::finished);
        pool.dispatcher().start(run);
        if (meanwhile)
            meanwhile();
        return finished.wait(60000);
    }

private slots:
    void dispatcherRuns_data()
    {
        QTest::addColumn<CtDispatcher::Run>("run");
        QTest::addColumn<QList<int>>("answers"); // worker numbers from 1; 0 stops the run; -1 empties the pool
        QTest::addColumn<QString>("expected");
        QTest::newRow("10..14 step 2, three workers") << HandOut::range(10, 14, 2, 3) << QList<int>{2, 1, 3} << "w1:10 w2:12 w3:14 end";
        QTest::newRow("14..10 step -2") << HandOut::range(14, 10, -2, 1) << QList<int>{1, 1, 1} << "w1:14 w1:12 w1:10 end";
        QTest::newRow("10..20, two workers") << HandOut::range(10, 20, 1, 2) << QList<int>{2, 2, 1, 2, 1, 1, 2, 1, 2, 1, 2}
                                             << "w1:10 w2:11 w2:12 w2:13 w1:14 w2:15 w1:16 w1:17 w2:18 w1:19 w2:20 end";
        QTest::newRow("more workers than slices") << HandOut::range(3, 4, 1, 4) << QList<int>{1, 2} << "w1:3 w2:4 end";
        QTest::newRow("threads beyond the pool") << HandOut::range(0, 5, 1, 32) << QList<int>{4, 3, 2, 1, 4, 3} << "w1:0 w2:1 w3:2 w4:3 w4:4 w3:5 end";
        QTest::newRow("stop during a run") << HandOut::range(10, 20, 1, 2) << QList<int>{1, 0, 2, 1} << "w1:10 w2:11 w1:12";
        QTest::newRow("step 0 repeats until stopped") << HandOut::range(5, 9, 0, 3) << QList<int>{1, 1, 1, 0, 1} << "w1:5 w1:5 w1:5 w1:5";
        QTest::newRow("an answer of a worker without a slice") << HandOut::range(1, 2, 1, 1) << QList<int>{2, 1, 1} << "w1:1 w1:2 end";
        QTest::newRow("single slice on the first worker") << HandOut::range(10, 20, 1, 3, false) << QList<int>{1} << "w1:7 end";
        QTest::newRow("the last int") << HandOut::range(INT_MAX - 1, INT_MAX, 1, 2) << QList<int>{1, 2} << "w1:2147483646 w2:2147483647 end";
        QTest::newRow("the first int, downward") << HandOut::range(INT_MIN + 1, INT_MIN, -1, 1) << QList<int>{1, 1} << "w1:-2147483647 w1:-2147483648 end";
        QTest::newRow("empty pool") << HandOut::range(0, 3, 1, 2) << QList<int>{-1} << "end";
    }
    void dispatcherRuns()
    {
        QFETCH(CtDispatcher::Run, run);
        QFETCH(QList<int>, answers);
        QFETCH(QString, expected);
        HandOut h;
        if (answers == QList<int>{-1})
            h.dispatcher.setWorkers({});
        h.dispatcher.start(run);
        for (int k : answers) {
            if (k == 0)
                h.dispatcher.stop();
            else if (k > 0)
                h.answer(k);
        }
        QCOMPARE(h.log.join(' '), expected);
        QVERIFY(!h.dispatcher.isRunning() && h.dispatcher.outstandingCount() == 0);
    }

    // A new run does not wait for a stopped one: it starts on the free workers, a late
    // answer frees its worker for the new run and does not count for it.
    void stopThenStart()
    {
        HandOut h;
        QSignalSpy progress(&h.dispatcher, &CtDispatcher::progress);
        h.dispatcher.start(HandOut::range(0, 9, 1, 3));
        h.dispatcher.stop();
        h.answer(3); // stopped: nothing more is handed out
        h.dispatcher.start(HandOut::range(30, 32, 1, 3));
        QCOMPARE(h.log.join(' '), QString("w1:0 w2:1 w3:2 w3:30"));
        h.answer(1); // of the stopped run: its worker takes the next slice
        QVERIFY(h.log.last() == "w1:31" && progress.isEmpty() && h.dispatcher.report().slicesDone == 0);
        h.answer(3, false);
        h.answer(2); // stopped run again: nothing left to hand out
        h.answer(1);
        QVERIFY(h.dispatcher.isRunning());
        h.answer(3);
        QCOMPARE(h.log.join(' '), QString("w1:0 w2:1 w3:2 w3:30 w1:31 w3:32 end"));
        const CtDispatcher::Report &report = h.dispatcher.report();
        QVERIFY(report.slicesDone == 3 && report.slicesFailed == 1 && progress.count() == 3);
        QCOMPARE(progress.last(), (QVariantList{32, qint64(3), qint64(3)}));
    }

    // Counts of a range are 64-bit: the whole int range, and Step 0 that never ends.
    void progressBeyondInt_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("step");
        QTest::addColumn<qint64>("total");
        QTest::newRow("0..INT_MAX") << 0 << INT_MAX << 1 << (qint64(1) << 31);
        QTest::newRow("INT_MIN..INT_MAX") << INT_MIN << INT_MAX << 1 << (qint64(1) << 32);
        QTest::newRow("INT_MAX..INT_MIN step INT_MIN") << INT_MAX << INT_MIN << INT_MIN << qint64(2);
        QTest::newRow("step 0") << 5 << 9 << 0 << qint64(0);
    }
    void progressBeyondInt()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, step);
        QFETCH(qint64, total);
        HandOut h;
        QSignalSpy progress(&h.dispatcher, &CtDispatcher::progress);
        h.dispatcher.start(HandOut::range(from, to, step, 1));
        h.answer(1);
        QCOMPARE(h.dispatcher.total(), total);
        QCOMPARE(progress.last().at(2).toLongLong(), total);
        QVERIFY(h.dispatcher.isRunning());
        h.dispatcher.stop();
    }

    // Two workers on threads, saving pictures and data: every file matches the oracle; a
    // region wider than the slice is clipped and the header says what the file holds.
    void poolSavesEverySlice()
    {
        ImgDatas imgs;
        QVERIFY(writeSeries(imgs, dir.filePath("a"), detectorWidth, 0.0));
        const QString out = dir.filePath("pool");
        QVERIFY(QDir().mkpath(out));
        auto snapshot = snapshotOf(imgs, out);
        std::tie(snapshot->region, snapshot->regionSet) = std::make_tuple(CalcRegion{2, -3, 40.5, 2047}, true);
        std::tie(snapshot->view, snapshot->viewSet) = std::make_tuple(CalcRegion{10, 5, 200, 30.5}, true);
        const ColorScale scale{-1e-3, 2e-3};
        snapshot->scales = {{scale, true}, {scale, true}};
        CtPool pool(2);
        QVERIFY(runRange(pool, snapshot, 0, 5));
        pool.shutdown();
        const CalcRegion clipped{2, 0, 40.5, n};
        for (int slice = 0; slice <= 5; ++slice) {
            const std::vector<double> sum = sumOverM(*imgs.snapshot(), slice, clipped);
            const QString base = QDir(out).filePath(QString("ct-%1").arg(slice, 5, 10, QChar('0')));
            QCOMPARE(contents(base + ".dat"), ResultFiles::dataText(sum.data(), n, clipped));
            const QImage picture(base + ".png");
            QCOMPARE(picture.size(), QSize(n - 10, 25)); // the shown part that lies inside the slice
            for (int z = 0; z < picture.height(); ++z)
                for (int x = 0; x < picture.width(); ++x)
                    QCOMPARE(qGray(picture.pixel(x, z)), scale.colorIndex(sum[size_t(z + 5) * n + size_t(x + 10)]));
        }
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), 12);
        QCOMPARE(pool.dispatcher().report().filesQueued, 12);
    }

    // The window clears its series during a run: the run's readers live on until its last
    // slice is answered, then go. (That the results do not change: app_tst_body.)
    void runHoldsItsSeriesToTheEnd()
    {
        ImgDatas imgs;
        QVERIFY(writeSeries(imgs, dir.filePath("s1"), detectorWidth, 0.0));
        auto snapshot = snapshotOf(imgs, dir.filePath("held"));
        const std::weak_ptr<const ProjectionSeries> taken = snapshot->series;
        CtPool pool(2);
        int answers = 0;
        connect(&pool.dispatcher(), &CtDispatcher::progress, this, [&] {
            imgs.clear();
            QVERIFY(++answers == detectorHeight || !taken.expired());
        });
        QVERIFY(QDir().mkpath(dir.filePath("held")) && runRange(pool, std::move(snapshot), 0, detectorHeight - 1));
        pool.shutdown();
        QVERIFY(answers == detectorHeight && taken.expired());
        QCOMPARE(QDir(dir.filePath("held")).entryList({"*.dat"}, QDir::Files).size(), detectorHeight);
    }

    // The budget holds a worker while the saver is that far behind, and only then.
    void saveBudgetWaits()
    {
        SaveBudget budget(10 * 1024);
        budget.reserve(6 * 1024);
        budget.reserve(1); // counts as 1 KiB
        QCOMPARE(budget.available(), qint64(3 * 1024));
        std::atomic<bool> through{false};
        std::thread writer([&] {
            budget.reserve(1 << 30); // larger than the budget: takes all of it
            through = true;
        });
        QTest::qWait(50);
        QVERIFY(!through);
        budget.giveBack(6 * 1024);
        QVERIFY(!through);
        budget.giveBack(1);
        writer.join();
        QVERIFY(through && budget.available() == 0);
    }
};

QTEST_GUILESS_MAIN(TestCtRun)
#include "tst_ctrun.moc"
