#include "SequenceWindow.h"

#include <QElapsedTimer>
#include <QtTest>

// The sequence controller on its own thread, driven by a stand-in window that
// loads and calculates at once.
class TstXafsBatch : public QObject
{
    Q_OBJECT
private slots:
    void fullRound();
    void startTwiceStops();
    void idleIgnoresProgress();
};

void TstXafsBatch::fullRound()
{
    SequenceWindow window;
    int setsLeft = 2; // the data sets after the first
    QObject::connect(&window.batch, &XafsBatch::setFirstImageSet, &window, [&window]() {
        window.events << "first set";
        emit window.finishedLoadingCTFiles();
    });
    QObject::connect(&window.batch, &XafsBatch::setNextSet, &window, [&window, &setsLeft]() {
        window.events << "next set";
        if (setsLeft-- > 0)
            emit window.finishedLoadingCTFiles();
        else
            QMetaObject::invokeMethod(&window.batch, &XafsBatch::noMoreSets);
    });
    constexpr int calcMs = 20;
    window.calculate = []() { QThread::msleep(calcMs); };

    QSignalSpy ended(&window, &SequenceWindow::sequenceEnded);
    QElapsedTimer total;
    total.start();
    emit window.startSequence();
    QVERIFY(ended.wait(5000));
    const qint64 totalMs = total.elapsed();

    QStringList expected = {"starting", "Data Loading", "first set"};
    for (int set = 0; set < 3; ++set)
        expected << "Calculating" << "calc" << "Finished Calc." << "next set";
    expected << "Finished" << "finished";
    QCOMPARE(window.events, expected);

    // Each stage reports the time since the one before: the laps add up to at most the
    // whole run, and a stage after a calculation took at least as long as it.
    qint64 sum = 0;
    for (const SequenceWindow::Stage &stage : window.stages) {
        QVERIFY(stage.ms >= 0);
        sum += stage.ms;
        if (stage.text == "Finished Calc.")
            QVERIFY2(stage.ms >= calcMs, qPrintable(QString::number(stage.ms)));
    }
    QVERIFY2(sum <= totalMs, qPrintable(QString("%1 > %2").arg(sum).arg(totalMs)));

    // A second sequence starts its clock anew.
    window.events.clear();
    window.stages.clear();
    setsLeft = 0;
    emit window.startSequence();
    QVERIFY(ended.wait(5000));
    QCOMPARE(window.events.first(), QString("starting"));
    QCOMPARE(window.events.last(), QString("finished"));
    QVERIFY(window.stages.first().ms >= 0 && window.stages.first().ms <= calcMs);
}

void TstXafsBatch::startTwiceStops()
{
    SequenceWindow window;
    // The first set never reports its load, as when its directory cannot be read:
    // the second press of the button ends the sequence.
    QSignalSpy ended(&window, &SequenceWindow::sequenceEnded);
    emit window.startSequence();
    emit window.startSequence();
    QVERIFY(ended.wait(5000));
    QCOMPARE(window.events, QStringList({"starting", "Data Loading", "Finished", "finished"}));

    // Stopped: a late load report starts nothing.
    emit window.finishedLoadingCTFiles();
    QTest::qWait(50);
    QCOMPARE(window.events.size(), 4);
    emit window.startSequence();
    QTRY_COMPARE(window.events.size(), 6);
    QCOMPARE(window.events.mid(4), QStringList({"starting", "Data Loading"}));
}

void TstXafsBatch::idleIgnoresProgress()
{
    SequenceWindow window;
    QSignalSpy ended(&window, &SequenceWindow::sequenceEnded);
    emit window.finishedLoadingCTFiles();
    emit window.calcFinished();
    QMetaObject::invokeMethod(&window.batch, &XafsBatch::noMoreSets);
    QTest::qWait(50);
    QVERIFY(window.events.isEmpty());
    // finish() itself always reports, so a stop is always seen.
    QMetaObject::invokeMethod(&window.batch, &XafsBatch::finish);
    QVERIFY(ended.wait(5000));
    QCOMPARE(window.events, QStringList({"Finished", "finished"}));
    QVERIFY(window.stages.first().ms >= 0);
}

QTEST_GUILESS_MAIN(TstXafsBatch)
#include "tst_xafsbatch.moc"
