#include "CtFileSet.h"

#include <QtTest>

// The sample-energy-number naming rule and the grouping of files into data sets.
class TstCtFileSet : public QObject
{
    Q_OBJECT
private slots:
    void namingRule_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>("parts"); // key, sample, energyText, unit
        QTest::addColumn<double>("energy");
        QTest::addColumn<double>("unitScale");
        const auto row = [](const QString &name, const QString &parts, double energy, double unitScale = 1.0) {
            QTest::newRow(qPrintable(name)) << name << parts.split('|') << energy << unitScale;
        };
        row("0123abc-7112_5eV-00012.img", "0123abc-7112_5eV|0123abc|7112_5eV|eV", 7112.5);
        row("fe-7_1125keV-1.img", "fe-7_1125keV|fe|7_1125keV|keV", 7.1125, 1000.0);
        row("fe-7112_5KeV-1.img", "fe-7112_5KeV|fe|7112_5KeV|KeV", 7112.5, 1000.0);
        row("fe-7112_5kev-1.img", "fe-7112_5kev|fe|7112_5kev|kev", 7112.5, 1000.0);
        row("a-b-7100-1.img", "a-b-7100|a-b|7100|", 7100.0); // hyphen in the sample
        row("7112_5.img", "7112_5.img|7112_5.img|7112_5.img|.img", 7112.5); // no hyphen
        row("scan.img", "scan.img|scan.img|scan.img|scan.img", 0.0);
        row("abc-00001.img", "abc|abc|abc|abc", 0.0); // one hyphen
        row("s-7_1_2eV-1.img", "s-7_1_2eV|s|7_1_2eV|eV", 0.0); // two underscores
        row("s-E7112-1.img", "s-E7112|s|E7112|", 0.0); // letter first
        row("s-1e999keV-1.img", "s-1e999keV|s|1e999keV|keV", 0.0, 1000.0); // too large
        row("fe-7_1125keV.h5", "fe-7_1125keV|fe|7_1125keV|keV", 7.1125, 1000.0); // a whole series in one file
        row("a-b-7100.NXS", "a-b-7100|a-b|7100|", 7100.0);
    }
    void namingRule();
    void groupsRunsOfEqualKey();
};

void TstCtFileSet::namingRule()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, parts);
    QFETCH(double, energy);
    QFETCH(double, unitScale);
    CtFileSet set;
    set.append(QFileInfo("/elsewhere/left-over.img"));
    set.setFirst(QFileInfo("/data/" + fileName));
    QVERIFY(set.files().size() == 1 && set.name() == fileName);
    QCOMPARE(QStringList({set.key(), set.sample(), set.energyText(), set.unit()}), parts);
    QVERIFY(set.energy() == energy && set.unitScale() == unitScale);
    QVERIFY(set.energyInEv() == energy * unitScale && energyInEvOfName(fileName) == energy * unitScale);
    QCOMPARE(energyInEvOfText(parts[2]), energy * unitScale);
}

void TstCtFileSet::groupsRunsOfEqualKey()
{
    const QStringList names = {"a-7100eV-0.img", "a-7100eV-1.img", "a-7200eV-0.img", "a-7100eV-2.img", "A-7100eV-3.img",
                               "b-7100eV-0.img", "b-7100eV-1.img", "c-7100eV.h5", "c-7100eV.hdf5", "c-7200eV.h5"};
    QFileInfoList files;
    QList<QStringList> expected; // reference: a new set wherever the key changes
    for (int i = 0; i < names.size(); ++i) {
        files.append(QFileInfo("/data/" + names[i]));
        if (i == 0 || names[i].startsWith('c') || names[i].left(names[i].lastIndexOf('-')) != names[i - 1].left(names[i - 1].lastIndexOf('-')))
            expected.append(QStringList());
        expected.last().append(names[i]);
    }
    const auto sets = groupIntoFileSets(files);
    QCOMPARE(int(sets.size()), 8);
    for (size_t s = 0; s < sets.size(); ++s) {
        QStringList got;
        for (const QFileInfo &file : sets[s]->files())
            got.append(file.fileName());
        QCOMPARE(got, expected[int(s)]);
        QCOMPARE(sets[s]->name(), got.first());
        QCOMPARE(sets[s]->files().first().path(), QString("/data"));
    }
    QVERIFY(groupIntoFileSets(QFileInfoList()).empty());
}

QTEST_APPLESS_MAIN(TstCtFileSet)
#include "tst_ctfileset.moc"
