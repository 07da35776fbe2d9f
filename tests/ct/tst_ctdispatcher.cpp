#include "CtCalc2.h"
#include "CtDispatcher.h"

#include <QtTest>

#include <memory>
#include <tuple>
#include <vector>

Q_DECLARE_METATYPE(CtDispatcher::Run)

// Slice hand-out of a CT2 run, without threads: each test completes the workers' slices
// itself, in the order the table gives, and compares the log of requests and ends.
class TestCtDispatcher : public QObject
{
    Q_OBJECT
    QStringList log; // "w2:12" for every request, "end" for every finished()
    std::vector<std::unique_ptr<CtCalc2>> workers;
    std::unique_ptr<CtDispatcher> dispatcher;

    static CtDispatcher::Run rangeRun(int from, int to, int step, int threads, bool rangeMode = true)
    {
        CtDispatcher::Run run;
        std::tie(run.cor, run.slice, run.rangeMode, run.dim, run.projections) = std::make_tuple(20.0, 7, rangeMode, 40, 6);
        std::tie(run.from, run.to, run.step, run.threads) = std::make_tuple(from, to, step, threads);
        return run;
    }

private slots:
    void init()
    {
        log.clear();
        workers.clear();
        QList<CtCalc2 *> pool;
        for (int k = 0; k < 4; ++k) {
            workers.push_back(std::make_unique<CtCalc2>());
            pool.append(workers.back().get());
        }
        dispatcher = std::make_unique<CtDispatcher>();
        dispatcher->setWorkers(pool);
        connect(dispatcher.get(), &CtDispatcher::startCt, this, [this](CtCalc2 *worker, bool rotAxIsV, double cor, int slice, bool genImg) {
            QVERIFY(rotAxIsV && cor == 20.0 && genImg);
            log << QString("w%1:%2").arg(dispatcher->workers().indexOf(worker) + 1).arg(slice);
        });
        connect(dispatcher.get(), &CtDispatcher::finished, this, [this]() { log << "end"; });
    }

    void runs_data()
    {
        QTest::addColumn<CtDispatcher::Run>("run");
        QTest::addColumn<QList<int>>("completions"); // worker numbers from 1; 0 stops the run; -1 empties the pool
        QTest::addColumn<QString>("expected");
        QTest::newRow("10..14 step 2, three workers") << rangeRun(10, 14, 2, 3) << QList<int>{2, 1, 3} << "w1:10 w2:12 w3:14 end";
        QTest::newRow("14..10 step -2") << rangeRun(14, 10, -2, 1) << QList<int>{1, 1, 1} << "w1:14 w1:12 w1:10 end";
        QTest::newRow("10..20, two workers") << rangeRun(10, 20, 1, 2) << QList<int>{2, 2, 1, 2, 1, 1, 2, 1, 2, 1, 2}
                                             << "w1:10 w2:11 w2:12 w2:13 w1:14 w2:15 w1:16 w1:17 w2:18 w1:19 w2:20 end";
        QTest::newRow("more workers than slices") << rangeRun(3, 4, 1, 4) << QList<int>{1, 2} << "w1:3 w2:4 end";
        QTest::newRow("threads beyond the pool") << rangeRun(0, 5, 1, 32) << QList<int>{4, 3, 2, 1, 4, 3} << "w1:0 w2:1 w3:2 w4:3 w4:4 w3:5 end";
        QTest::newRow("stop during a run") << rangeRun(10, 20, 1, 2) << QList<int>{1, 0, 2, 1} << "w1:10 w2:11 w1:12";
        QTest::newRow("step 0 repeats until stopped") << rangeRun(5, 9, 0, 3) << QList<int>{1, 1, 1, 0, 1} << "w1:5 w1:5 w1:5 w1:5";
        QTest::newRow("a completion of a worker without a slice") << rangeRun(1, 2, 1, 1) << QList<int>{2, 1, 1} << "w1:1 w1:2 end";
        QTest::newRow("single slice on the first worker") << rangeRun(10, 20, 1, 3, false) << QList<int>{1} << "w1:7 end";
        QTest::newRow("empty pool") << rangeRun(0, 3, 1, 2) << QList<int>{-1} << "end";
    }
    void runs()
    {
        QFETCH(CtDispatcher::Run, run);
        QFETCH(QList<int>, completions);
        QFETCH(QString, expected);
        if (completions == QList<int>{-1})
            dispatcher->setWorkers({});
        dispatcher->start(run);
        for (int k : completions) {
            if (k == 0)
                dispatcher->stop();
            else if (k > 0)
                dispatcher->completed(workers[size_t(k - 1)].get());
        }
        QVERIFY(log.join(' ') == expected && !dispatcher->isRunning() && dispatcher->outstandingCount() == 0);
    }

    // A start while a stopped run's slices are outstanding sets up nothing and hands out
    // nothing until the last of them has ended; then it runs in full.
    void startWaitsForStoppedSlices()
    {
        dispatcher->start(rangeRun(0, 9, 1, 2));
        dispatcher->stop();
        CtDispatcher::Run next = rangeRun(30, 31, 1, 2);
        std::tie(next.dim, next.projections) = std::make_tuple(60, 8);
        dispatcher->start(next);
        QVERIFY(dispatcher->isWaiting() && workers[0]->bpCore().n() == 36); // the first run's transforms, untouched
        dispatcher->completed(workers[1].get());
        QVERIFY(log.join(' ') == "w1:0 w2:1" && workers[1]->bpCore().m() == 6);
        dispatcher->completed(workers[0].get());
        QCOMPARE(log.join(' '), QString("w1:0 w2:1 w1:30 w2:31"));
        QVERIFY(workers[0]->bpCore().m() == 8 && workers[1]->bpCore().n() == 38);
        QVERIFY(dispatcher->isRunning() && !dispatcher->isWaiting());
        dispatcher->completed(workers[1].get());
        dispatcher->completed(workers[0].get());
        QCOMPARE(log.last(), QString("end"));
        // A stop while waiting cancels the waiting start.
        dispatcher->start(rangeRun(0, 9, 1, 1));
        dispatcher->stop();
        dispatcher->start(rangeRun(50, 50, 1, 1));
        dispatcher->stop();
        dispatcher->completed(workers[0].get());
        QCOMPARE(log.last(), QString("w1:0"));
    }
};

QTEST_GUILESS_MAIN(TestCtDispatcher)
#include "tst_ctdispatcher.moc"
