#include "ImgDatas.h"
#include "SelectDataDir.h"
#include "SelectDataFiles.h"
#include "XafsBatch.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// A CT-XAFS sequence over a phantom series of three energies in "KST Std." naming, the test
// standing in for the main window: selector and file list wired as there, the series really
// loads the files, the "reconstruction" takes calcMs, the controller runs on its own thread.
class TstSequence : public QObject
{
    Q_OBJECT
    static constexpr int calcMs = 20;
    QTemporaryDir dir;
    XafsBatch batch;
    QThread thread;
    SelectDataDir selDDir;
    SelectDataFiles ctFiles;
    ImgDatas series;
    QStringList events, tags; // stages and loads in order; the sets announced
    QList<qint64> laps;

signals:
    void seqCalcClicked();
    void finishedLoadingCTFiles();
    void calcFinished();

private slots:
    void initTestCase()
    {
        QProcess phantom;
        phantom.start(ZORVEL_PHANTOM, {"--out", dir.path(), "--width", "64", "--height", "4", "--projections", "30",
                                       "--energies", "7100,7112.5,7130"});
        QVERIFY(phantom.waitForFinished(60000) && phantom.exitCode() == 0);
        batch.moveToThread(&thread);
        thread.start();
        connect(&batch, &XafsBatch::setFirstImageSet, &selDDir, &SelectDataDir::setFirstSet);
        connect(&batch, &XafsBatch::setNextSet, &selDDir, &SelectDataDir::setNextSet);
        connect(&selDDir, &SelectDataDir::noMoreSets, &batch, &XafsBatch::noMoreSets);
        connect(this, &TstSequence::finishedLoadingCTFiles, &batch, &XafsBatch::loadedDataSet);
        connect(this, &TstSequence::calcFinished, &batch, &XafsBatch::calcFinished);
        connect(this, &TstSequence::seqCalcClicked, &batch, &XafsBatch::start);
        connect(&batch, &XafsBatch::stage, this, [this](const QString &text, qint64 ms) { events << text, laps << ms; });
        connect(&batch, &XafsBatch::finished, this, [this]() { events << "finished"; });
        connect(&selDDir, &SelectDataDir::selectedFileInfoList, this, [this](const QFileInfoList &files) {
            tags << selDDir.currentSetName();
            ctFiles.setFileInfoList(files);
        });
        connect(&ctFiles, &SelectDataFiles::filesSelected, this, [this](const QStringList &files, bool clear) {
            if (clear)
                series.clearImgs();
            for (const QString &file : files)
                if (series.add(file))
                    ctFiles.addFileName(file);
            events << QString("%1 loaded").arg(series.count());
            emit finishedLoadingCTFiles();
        });
        connect(&batch, &XafsBatch::execCalculation, this, [this]() {
            QThread::msleep(calcMs);
            emit calcFinished();
        });
        ctFiles.LoadNewFiles->setChecked(true);
        selDDir.Pattern->setText("phantom-*.img");
        selDDir.setIsKSTStandard(true);
        selDDir.aDirSelected(dir.path());
    }
    void cleanupTestCase()
    {
        thread.quit();
        thread.wait();
    }

    void phantomSeriesOfThreeEnergies()
    {
        QCOMPARE(selDDir.SubDirs->itemText(1), QString("2 :         (7112.5[eV], 30)"));
        QElapsedTimer total;
        total.start();
        emit seqCalcClicked();
        QTRY_VERIFY_WITH_TIMEOUT(events.contains("finished"), 30000);
        const qint64 totalMs = total.elapsed();
        QStringList expected = {"Data Loading"};
        for (int set = 0; set < 3; ++set)
            expected << "30 loaded" << "Calculating" << "Finished Calc.";
        QCOMPARE(events, expected << "Finished" << "finished");
        QCOMPARE(tags, QStringList({"7100eV", "7112_5eV", "7130eV"}));
        QVERIFY(ctFiles.Selected->itemText(0).endsWith("phantom-7130eV-00000.img"));
        // Each stage reports the time since the previous one: the laps add up to at most the
        // whole run, and each "Finished Calc." is at least as long as the calculation.
        qint64 sum = 0;
        for (int i = 0; i < laps.size(); ++i) {
            QVERIFY(laps[i] >= 0 && (i % 2 || i == 0 || i >= 7 || laps[i] >= calcMs));
            sum += laps[i];
        }
        QVERIFY2(sum <= totalMs, qPrintable(QString("%1 > %2").arg(sum).arg(totalMs)));
    }

    // The second press ends the sequence; the first set, loaded meanwhile, advances nothing.
    void startTwiceStops()
    {
        events.clear();
        laps.clear();
        emit seqCalcClicked();
        emit seqCalcClicked();
        QTRY_VERIFY_WITH_TIMEOUT(events.contains("finished"), 30000);
        QTest::qWait(200);
        QCOMPARE(events, QStringList({"Data Loading", "30 loaded", "Finished", "finished"}));
        QVERIFY(laps.first() < calcMs); // the clock started anew
        QMetaObject::invokeMethod(&batch, &XafsBatch::finish); // idle: a finish still reports its stage
        QTRY_COMPARE(events.size(), 6);
        QCOMPARE(events.mid(4), QStringList({"Finished", "finished"}));
    }
};

QTEST_MAIN(TstSequence)
#include "tst_sequence.moc"
