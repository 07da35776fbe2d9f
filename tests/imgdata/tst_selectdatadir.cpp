#include "SelectDataDir.h"
#include "XafsBatch.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <numeric>

// The data sets of a directory in both modes, and a CT-XAFS sequence stepping through them.
class TstSelectDataDir : public QObject
{
    Q_OBJECT
    QTemporaryDir root;
    QDir dir{root.path()};
    static QStringList labels(const SelectDataDir &sel)
    {
        QStringList texts;
        for (int i = 0; i < sel.SubDirs->count(); ++i)
            texts << sel.SubDirs->itemText(i);
        return texts;
    }

private slots:
    void initTestCase()
    {
        const QString longSample(120, 's');
        for (const char *name : {"7112_5eV", "7_2keV", "Beta", "Fe-7300eV", "alpha", "run2-7_31keV", "sub-7000eV-0.img"})
            QVERIFY(dir.mkdir(name));
        for (const QString &name : QStringList{"fe-7100eV-0.img", "fe-7100eV-1.img", "fe-7112_5eV-0.img", "ni-8_3keV-0.img",
                                               "notes.txt", longSample + "-1eV-0.img", longSample + "-2eV-0.img"})
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    }
    void sequence_data();
    void sequence();
};

void TstSelectDataDir::sequence_data()
{
    QTest::addColumn<bool>("kstStandard");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("names");      // currentSetName of each set
    QTest::addColumn<QList<double>>("energies"); // currentEnergy of each set
    QTest::newRow("sub-directories") << false << ""
                                     << QStringList{"1 : 7112_5eV", "2 : 7_2keV", "3 : Beta", "4 : Fe-7300eV", "5 : alpha",
                                                    "6 : run2-7_31keV", "7 : sub-7000eV-0.img"}
                                     << QStringList{"7112_5eV", "7_2keV", "Beta", "Fe-7300eV", "alpha", "run2-7_31keV", "sub-7000eV-0.img"}
                                     << QList<double>{7112.5, 7200, 0, 7300, 0, 7310, 0};
    QTest::newRow("KST Std.") << true << ""
                              << QStringList{"1 : fe (7100[eV], 2)", "2 :    (7112.5[eV], 1)", "3 : ni (8.3[keV], 1)",
                                             "4 : " + QString(120, 's') + " (1[eV], 1)", "5 : " + QString(101, ' ') + " (2[eV], 1)"}
                              << QStringList{"fe-7100eV", "fe-7112_5eV", "ni-8_3keV", QString(120, 's') + "-1eV", QString(120, 's') + "-2eV"}
                              << QList<double>{7100, 7112.5, 8300, 1, 2};
    QTest::newRow("no sub-directories") << false << "alpha" << QStringList() << QStringList() << QList<double>();
    QTest::newRow("no data files") << true << "alpha" << QStringList() << QStringList() << QList<double>();
}

// Each "reconstruction" takes calcMs; then the end of the list, and a second start that
// stops a running sequence.
void TstSelectDataDir::sequence()
{
    QFETCH(bool, kstStandard);
    QFETCH(QString, directory);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, names);
    QFETCH(QList<double>, energies);
    SelectDataDir sel;
    sel.setIsKSTStandard(kstStandard); // no directory yet: nothing listed
    QVERIFY(sel.SubDirs->count() == 0 && sel.currentEnergy() == 0.0 && sel.currentSetName().isEmpty());
    sel.Pattern->setText(kstStandard ? "*.img" : " *.img  *.tif");
    if (kstStandard && !directory.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, qPrintable("No files matching \"*.img\" in :  \"" + dir.filePath(directory) + "\""));
    emit sel.SelDir->fileDialog().fileSelected(dir.filePath(directory));
    QCOMPARE(TstSelectDataDir::labels(sel), labels);
    const int count = labels.size(), calcMs = 20;

    XafsBatch batch;
    QStringList events, expected = {"Data Loading"}, gotNames;
    QList<double> gotEnergies;
    QList<qint64> laps;
    connect(&batch, &XafsBatch::setFirstImageSet, &sel, &SelectDataDir::setFirstSet);
    connect(&batch, &XafsBatch::setNextSet, &sel, &SelectDataDir::setNextSet);
    connect(&sel, &SelectDataDir::noMoreSets, &batch, &XafsBatch::noMoreSets);
    connect(&sel, kstStandard ? SIGNAL(selectedFileInfoList(QFileInfoList)) : SIGNAL(selected(QString, QStringList)),
            &batch, SLOT(loadedDataSet()));
    connect(&batch, &XafsBatch::stage, [&](const QString &text, qint64 ms) { events << text, laps << ms; });
    const auto calc = connect(&batch, &XafsBatch::execCalculation, [&]() {
        gotNames << sel.currentSetName(), gotEnergies << sel.currentEnergy();
        QThread::msleep(calcMs), batch.calcFinished();
    });
    QSignalSpy noMore(&sel, &SelectDataDir::noMoreSets), selected(&sel, &SelectDataDir::selected),
        selectedFiles(&sel, &SelectDataDir::selectedFileInfoList), finished(&batch, &XafsBatch::finished);
    sel.SubDirs->setCurrentIndex(2); // the sequence starts at the first set all the same
    QElapsedTimer total;
    total.start();
    batch.start();
    for (int i = 0; i < count; ++i)
        expected << "Calculating" << "Finished Calc.";
    QCOMPARE(events, expected << "Finished");
    QCOMPARE(finished.count(), 1);
    QVERIFY(gotNames == names && gotEnergies == energies);
    QVERIFY(selected.count() == (kstStandard ? 0 : count) && selectedFiles.count() == (kstStandard ? count : 0));
    // Each stage reports the time since the previous one: the laps add up to at most the
    // whole run, and each "Finished Calc." is at least as long as the calculation.
    for (int i = 2; i < laps.size() - 1; i += 2)
        QVERIFY(laps[i] >= calcMs);
    QVERIFY(std::accumulate(laps.begin(), laps.end(), qint64(0)) <= total.elapsed());
    QVERIFY(*std::min_element(laps.begin(), laps.end()) >= 0);
    // At the end: next stays, nextIfAny says so, setNextSet reports the end again.
    sel.Next->click();
    QVERIFY(!sel.nextIfAny());
    QCOMPARE(sel.SubDirs->currentIndex(), count - 1);
    sel.setNextSet();
    QCOMPARE(noMore.count(), 2); // the end of the run (an empty list ends at setFirstSet) and this one

    // A second start ends the sequence; what arrives later advances nothing, and an idle
    // finish still reports its stage.
    disconnect(calc);
    events.clear();
    laps.clear();
    batch.start();
    QVERIFY(laps.first() < calcMs); // the clock started anew
    batch.start();
    batch.calcFinished();
    batch.loadedDataSet();
    batch.finish();
    QCOMPARE(events, count ? QStringList({"Data Loading", "Calculating", "Finished", "Finished"})
                           : QStringList({"Data Loading", "Finished", "Data Loading", "Finished", "Finished"}));
    if (!count)
        return;
    sel.SubDirs->setCurrentIndex(0);
    selected.clear(), selectedFiles.clear();
    sel.Set->click(); // the set at the current entry
    sel.next();
    QCOMPARE(sel.SubDirs->currentIndex(), 1);
    if (kstStandard) {
        const auto files = selectedFiles.first().first().value<QFileInfoList>();
        QVERIFY(files.size() == 2 && files[1].absoluteFilePath() == dir.absoluteFilePath("fe-7100eV-1.img"));
        // A directory without matching files keeps the sets found before.
        QTemporaryDir empty;
        QTest::ignoreMessage(QtDebugMsg, qPrintable("No files matching \"*.img\" in :  \"" + empty.path() + "\""));
        sel.aDirSelected(empty.path());
        QCOMPARE(TstSelectDataDir::labels(sel), labels);
        // Back to sub-directories: the name is the sub-directory's, not an earlier set's.
        sel.aDirSelected(dir.path());
        sel.setIsKSTStandard(false);
        QCOMPARE(sel.currentSetName(), QString("7112_5eV"));
    } else {
        QCOMPARE(selected.first(), QVariantList({dir.path() + "/7112_5eV", QStringList({"", "*.img", "*.tif"})}));
        sel.Pattern->setText("*.img"); // one name filter in this mode
        sel.isKSTStd_->click();
        QCOMPARE(sel.SubDirs->itemText(0), QString("1 : fe (7100[eV], 2)"));
        QCOMPARE(sel.currentSetName(), QString("fe-7100eV")); // samples fe and ni: the sample goes with the energy
    }
}

QTEST_MAIN(TstSelectDataDir)
#include "tst_selectdatadir.moc"
