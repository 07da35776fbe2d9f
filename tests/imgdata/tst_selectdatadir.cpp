#include "SelectDataDir.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The data sets of a directory in both modes and the stepping of a sequence over them.
class TstSelectDataDir : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void subDirectories();
    void fileSets();
    void stepping_data();
    void stepping();
    void noSets_data();
    void noSets();
    void modeChangeRescans();

private:
    void touch(const QString &name);
    std::unique_ptr<QTemporaryDir> root;
    QDir dir;
};

void TstSelectDataDir::init()
{
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(root->isValid());
    dir = QDir(root->path());
}

void TstSelectDataDir::touch(const QString &name)
{
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void TstSelectDataDir::subDirectories()
{
    for (const QString name : {"alpha", "7_2keV", "Beta", "7112_5eV"})
        QVERIFY(dir.mkdir(name));
    touch("file.img");
    SelectDataDir sel;
    QCOMPARE(sel.SelDir->Select->text(), QString("Sel. Data Dir."));
    sel.Pattern->setText(" *.img  *.tif");
    emit sel.SelDir->fileDialog().fileSelected(dir.path());
    QCOMPARE(sel.SelDir->SelectedDir->text(), dir.path());

    QStringList labels;
    for (int i = 0; i < sel.SubDirs->count(); ++i)
        labels << sel.SubDirs->itemText(i);
    QCOMPARE(labels, QStringList({"1 : 7112_5eV", "2 : 7_2keV", "3 : Beta", "4 : alpha"}));

    QSignalSpy selected(&sel, &SelectDataDir::selected);
    const QList<double> energies = {7112.5, 7200.0, 0.0, 0.0};
    for (int i = 0; i < 4; ++i) {
        sel.SubDirs->setCurrentIndex(i);
        sel.Set->click();
        const QString name = labels[i].mid(labels[i].indexOf(" : ") + 3);
        QCOMPARE(selected.last().at(0).toString(), dir.path() + "/" + name);
        QCOMPARE(selected.last().at(1).toStringList(), QStringList({"", "*.img", "*.tif"}));
        QCOMPARE(sel.currentSetName(), name);
        QCOMPARE(sel.currentEnergy(), energies[i]);
    }
    QCOMPARE(selected.count(), 4);
}

void TstSelectDataDir::fileSets()
{
    const QString longSample(120, QLatin1Char('s'));
    for (const QString name : {"fe-7100eV-00000.img", "fe-7100eV-00001.img", "fe-7112_5eV-00000.img",
                                "ni-8_3keV-00000.img", "ni-8_3keV-00001.img", "notes.txt"})
        touch(name);
    for (const QString energy : {"1eV", "2eV"})
        touch(longSample + "-" + energy + "-00000.img");
    QVERIFY(dir.mkdir("sub-7000eV-0.img"));
    SelectDataDir sel;
    sel.setIsKSTStandard(true);
    sel.aDirSelected(dir.path());
    QCOMPARE(sel.SelDir->SelectedDir->text(), dir.path());

    QStringList labels;
    for (int i = 0; i < sel.SubDirs->count(); ++i)
        labels << sel.SubDirs->itemText(i);
    QCOMPARE(labels, QStringList({"1 : fe (7100[eV], 2)", "2 :    (7112.5[eV], 1)", "3 : ni (8.3[keV], 2)",
                                  "4 : " + longSample + " (1[eV], 1)",
                                  "5 : " + QString(101, QLatin1Char(' ')) + " (2[eV], 1)"}));

    QSignalSpy selected(&sel, &SelectDataDir::selectedFileInfoList);
    sel.SubDirs->setCurrentIndex(0);
    sel.set();
    QCOMPARE(selected.count(), 1);
    const auto files = selected.at(0).at(0).value<QFileInfoList>();
    QCOMPARE(files.size(), 2);
    QCOMPARE(files[0].absoluteFilePath(), dir.absoluteFilePath("fe-7100eV-00000.img"));
    QCOMPARE(files[1].absoluteFilePath(), dir.absoluteFilePath("fe-7100eV-00001.img"));
    QCOMPARE(sel.currentSetName(), QString("7100eV"));
    QCOMPARE(sel.currentEnergy(), 7100.0);
    sel.SubDirs->setCurrentIndex(2);
    QCOMPARE(sel.currentSetName(), QString("8_3keV"));
    QCOMPARE(sel.currentEnergy(), 8300.0);

    // A directory without matching files keeps the sets found before.
    QTemporaryDir empty;
    QTest::ignoreMessage(QtDebugMsg, qPrintable("No files matching \"*.img\" in :  \"" + empty.path() + "\""));
    sel.aDirSelected(empty.path());
    QCOMPARE(sel.SubDirs->count(), 5);
    sel.set();
    QCOMPARE(selected.count(), 2);
    QCOMPARE(selected.at(1).at(0).value<QFileInfoList>().first().fileName(), QString("ni-8_3keV-00000.img"));
}

void TstSelectDataDir::stepping_data()
{
    QTest::addColumn<bool>("kstStandard");
    QTest::newRow("sub-directories") << false;
    QTest::newRow("KST Std.") << true;
}

void TstSelectDataDir::stepping()
{
    QFETCH(bool, kstStandard);
    for (const QString name : {"s-7100eV", "s-7200eV", "s-7300eV"}) {
        QVERIFY(dir.mkdir(name));
        touch(name + "-00000.img");
    }
    SelectDataDir sel;
    sel.setIsKSTStandard(kstStandard);
    sel.aDirSelected(dir.path());
    QCOMPARE(sel.SubDirs->count(), 3);

    QSignalSpy sets(&sel, kstStandard ? SIGNAL(selectedFileInfoList(QFileInfoList)) : SIGNAL(selected(QString, QStringList)));
    QSignalSpy noMore(&sel, &SelectDataDir::noMoreSets);
    sel.SubDirs->setCurrentIndex(2);
    sel.setFirstSet();
    QCOMPARE(sel.SubDirs->currentIndex(), 0);
    QCOMPARE(sets.count(), 1);
    sel.Next->click();
    QCOMPARE(sel.SubDirs->currentIndex(), 1);
    QCOMPARE(sets.count(), 1); // next() only moves
    sel.setNextSet();
    QCOMPARE(sel.SubDirs->currentIndex(), 2);
    QCOMPARE(sets.count(), 2);
    QCOMPARE(sel.currentEnergy(), kstStandard ? 7300.0 : 0.0);
    QCOMPARE(sel.currentSetName(), kstStandard ? QString("7300eV") : QString("s-7300eV"));

    // At the end: next stays, nextIfAny says so, setNextSet reports the end.
    sel.next();
    QVERIFY(!sel.nextIfAny());
    QCOMPARE(sel.SubDirs->currentIndex(), 2);
    QCOMPARE(noMore.count(), 0);
    sel.setNextSet();
    QCOMPARE(noMore.count(), 1);
    QCOMPARE(sets.count(), 2);
    sel.SubDirs->setCurrentIndex(0);
    QVERIFY(sel.nextIfAny());
    QCOMPARE(sel.SubDirs->currentIndex(), 1);
}

void TstSelectDataDir::noSets_data()
{
    QTest::addColumn<bool>("kstStandard");
    QTest::newRow("sub-directories") << false;
    QTest::newRow("KST Std.") << true;
}

void TstSelectDataDir::noSets()
{
    QFETCH(bool, kstStandard);
    SelectDataDir sel;
    sel.setIsKSTStandard(kstStandard);
    QSignalSpy noMore(&sel, &SelectDataDir::noMoreSets);
    QSignalSpy selected(&sel, &SelectDataDir::selected);
    QSignalSpy selectedFiles(&sel, &SelectDataDir::selectedFileInfoList);
    if (kstStandard)
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^No files matching"));
    sel.aDirSelected(dir.path());
    QCOMPARE(sel.SubDirs->count(), 0);
    QCOMPARE(sel.currentEnergy(), 0.0);
    QCOMPARE(sel.currentSetName(), QString());
    QVERIFY(!sel.nextIfAny());
    sel.setFirstSet();
    sel.set();
    sel.setNextSet();
    QCOMPARE(noMore.count(), 3);
    QCOMPARE(selected.count() + selectedFiles.count(), 0);
}

void TstSelectDataDir::modeChangeRescans()
{
    QVERIFY(dir.mkdir("sub"));
    touch("a-7100eV-0.img");
    touch("a-7100eV-1.img");
    SelectDataDir sel;
    sel.isKSTStd_->click(); // no directory yet: nothing is listed
    sel.isKSTStd_->click();
    QCOMPARE(sel.SubDirs->count(), 0);
    sel.aDirSelected(dir.path());
    QCOMPARE(sel.SubDirs->itemText(0), QString("1 : sub"));
    sel.isKSTStd_->click();
    QCOMPARE(sel.SubDirs->count(), 1);
    QCOMPARE(sel.SubDirs->itemText(0), QString("1 : a (7100[eV], 2)"));
    QCOMPARE(sel.currentSetName(), QString("7100eV"));
    sel.setIsKSTStandard(false);
    QCOMPARE(sel.SubDirs->itemText(0), QString("1 : sub"));
    // The sets of the file scan are not the sub-directory's name.
    QCOMPARE(sel.currentSetName(), QString("sub"));
}

QTEST_MAIN(TstSelectDataDir)
#include "tst_selectdatadir.moc"
