#include "CtCalc2.h"
#include "CtDispatcher.h"

#include <QtTest>

#include <memory>
#include <vector>

Q_DECLARE_METATYPE(CtDispatcher::Run)

// Slice hand-out of a CT2 run, without threads: each test completes the workers' slices
// itself, in the order the table gives, and compares the log of requests and ends.
class TestCtDispatcher : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void runs_data();
    void runs();
    void startWaitsForStoppedSlices();
    void emptyPoolEndsAtOnce();

private:
    CtDispatcher::Run rangeRun(int from, int to, int step, int threads) const;
    // "w2:12" for every request, "end" for every finished().
    QStringList log;
    std::vector<std::unique_ptr<CtCalc2>> workers;
    std::unique_ptr<CtDispatcher> dispatcher;
};

void TestCtDispatcher::init()
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
    connect(dispatcher.get(), &CtDispatcher::startCt, this,
            [this](CtCalc2 *worker, bool rotAxIsV, double cor, int slice, bool genImg) {
                QVERIFY(rotAxIsV && cor == 20.0 && genImg);
                log << QString("w%1:%2").arg(dispatcher->workers().indexOf(worker) + 1).arg(slice);
            });
    connect(dispatcher.get(), &CtDispatcher::finished, this, [this]() { log << "end"; });
}

CtDispatcher::Run TestCtDispatcher::rangeRun(int from, int to, int step, int threads) const
{
    CtDispatcher::Run run;
    run.rotAxIsV = true;
    run.cor = 20.0;
    run.slice = 7;
    run.rangeMode = true;
    run.from = from;
    run.to = to;
    run.step = step;
    run.threads = threads;
    run.dim = 40;
    run.projections = 6;
    return run;
}

void TestCtDispatcher::runs_data()
{
    QTest::addColumn<CtDispatcher::Run>("run");
    QTest::addColumn<QList<int>>("completions"); // worker numbers from 1; 0 stops the run
    QTest::addColumn<QString>("expected");
    QTest::newRow("10..14 step 2, three workers")
        << rangeRun(10, 14, 2, 3) << QList<int>{2, 1, 3} << "w1:10 w2:12 w3:14 end";
    QTest::newRow("14..10 step -2") << rangeRun(14, 10, -2, 1) << QList<int>{1, 1, 1} << "w1:14 w1:12 w1:10 end";
    QTest::newRow("10..20, two workers") << rangeRun(10, 20, 1, 2) << QList<int>{2, 2, 1, 2, 1, 1, 2, 1, 2, 1, 2}
                                         << "w1:10 w2:11 w2:12 w2:13 w1:14 w2:15 w1:16 w1:17 w2:18 w1:19 w2:20 end";
    QTest::newRow("more workers than slices") << rangeRun(3, 4, 1, 4) << QList<int>{1, 2} << "w1:3 w2:4 end";
    QTest::newRow("threads beyond the pool") << rangeRun(0, 5, 1, 32) << QList<int>{4, 3, 2, 1, 4, 3}
                                             << "w1:0 w2:1 w3:2 w4:3 w4:4 w3:5 end";
    QTest::newRow("stop during a run") << rangeRun(10, 20, 1, 2) << QList<int>{1, 0, 2, 1}
                                       << "w1:10 w2:11 w1:12";
    QTest::newRow("step 0 repeats until stopped")
        << rangeRun(5, 9, 0, 3) << QList<int>{1, 1, 1, 0, 1} << "w1:5 w1:5 w1:5 w1:5";
    QTest::newRow("a completion of a worker without a slice")
        << rangeRun(1, 2, 1, 1) << QList<int>{2, 1, 1} << "w1:1 w1:2 end";
    CtDispatcher::Run single = rangeRun(10, 20, 1, 3);
    single.rangeMode = false;
    QTest::newRow("single slice on the first worker") << single << QList<int>{1} << "w1:7 end";
}

void TestCtDispatcher::runs()
{
    QFETCH(CtDispatcher::Run, run);
    QFETCH(QList<int>, completions);
    QFETCH(QString, expected);
    dispatcher->start(run);
    for (int k : completions) {
        if (k == 0)
            dispatcher->stop();
        else
            dispatcher->completed(workers[size_t(k - 1)].get());
    }
    QCOMPARE(log.join(' '), expected);
    QCOMPARE(dispatcher->isRunning(), false);
    QCOMPARE(dispatcher->outstandingCount(), 0);
}

// A start while a stopped run's slices are outstanding sets up nothing and hands out
// nothing until the last of them has ended; then it runs in full.
void TestCtDispatcher::startWaitsForStoppedSlices()
{
    dispatcher->start(rangeRun(0, 9, 1, 2));
    dispatcher->stop();
    CtDispatcher::Run next = rangeRun(30, 31, 1, 2);
    next.dim = 60;
    next.cor = 20.0;
    next.projections = 8;
    dispatcher->start(next);
    QVERIFY(dispatcher->isWaiting());
    QCOMPARE(workers[0]->bpCore().n(), 36); // the first run's transforms, untouched
    dispatcher->completed(workers[1].get());
    QCOMPARE(log.join(' '), QString("w1:0 w2:1"));
    QCOMPARE(workers[1]->bpCore().m(), 6);
    dispatcher->completed(workers[0].get());
    QCOMPARE(log.join(' '), QString("w1:0 w2:1 w1:30 w2:31"));
    QCOMPARE(workers[0]->bpCore().m(), 8);
    QCOMPARE(workers[1]->bpCore().n(), 38);
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

void TestCtDispatcher::emptyPoolEndsAtOnce()
{
    dispatcher->setWorkers({});
    dispatcher->start(rangeRun(0, 3, 1, 2));
    QCOMPARE(log.join(' '), QString("end"));
    QVERIFY(!dispatcher->isRunning());
}

QTEST_GUILESS_MAIN(TestCtDispatcher)
#include "tst_ctdispatcher.moc"
