#include "CtFileSet.h"
#include "DataSetName.h"

#include <QtTest>

// The sample-energy-number naming rule and the grouping of a directory's files
// into data sets; no widgets, no application object.
class TstCtFileSet : public QObject
{
    Q_OBJECT
private slots:
    void namingRule_data();
    void namingRule();
    void energyInEvOfText_data();
    void energyInEvOfText();
    void groupsRunsOfEqualKey();
};

void TstCtFileSet::namingRule_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("energyText");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<double>("unitScale");
    QTest::addColumn<double>("energy");

    QTest::newRow("sample-energy-number") << "0123abc-7112_5eV-00012.img" << "0123abc-7112_5eV" << "0123abc"
                                          << "7112_5eV" << "eV" << 1.0 << 7112.5;
    QTest::newRow("keV") << "fe-7_1125keV-00001.img" << "fe-7_1125keV" << "fe" << "7_1125keV" << "keV" << 1000.0 << 7.1125;
    QTest::newRow("KeV") << "fe-7112_5KeV-00001.img" << "fe-7112_5KeV" << "fe" << "7112_5KeV" << "KeV" << 1000.0 << 7112.5;
    QTest::newRow("kev") << "fe-7112_5kev-00001.img" << "fe-7112_5kev" << "fe" << "7112_5kev" << "kev" << 1000.0 << 7112.5;
    QTest::newRow("hyphens in the sample") << "a-b-7100eV-1.img" << "a-b-7100eV" << "a-b" << "7100eV" << "eV" << 1.0 << 7100.0;
    // Without a hyphen every part is the whole name, read up to its last digit.
    QTest::newRow("no hyphen") << "7112_5.img" << "7112_5.img" << "7112_5.img" << "7112_5.img" << ".img" << 1.0 << 7112.5;
    QTest::newRow("no hyphen, no number") << "scan2b.img" << "scan2b.img" << "scan2b.img" << "scan2b.img" << "b.img" << 1.0 << 0.0;
    QTest::newRow("one hyphen") << "abc-00001.img" << "abc" << "abc" << "abc" << "abc" << 1.0 << 0.0;
    QTest::newRow("two underscores") << "s-7_1_2eV-1.img" << "s-7_1_2eV" << "s" << "7_1_2eV" << "eV" << 1.0 << 0.0;
    QTest::newRow("letters before the number") << "s-E7112-1.img" << "s-E7112" << "s" << "E7112" << "" << 1.0 << 0.0;
    QTest::newRow("exponent") << "s-7_1e3eV-1.img" << "s-7_1e3eV" << "s" << "7_1e3eV" << "eV" << 1.0 << 7100.0;
    QTest::newRow("empty energy") << "s--1.img" << "s-" << "s" << "" << "" << 1.0 << 0.0;
}

void TstCtFileSet::namingRule()
{
    QFETCH(QString, fileName);
    QFETCH(QString, key);
    QFETCH(QString, sample);
    QFETCH(QString, energyText);
    QFETCH(QString, unit);
    QFETCH(double, unitScale);
    QFETCH(double, energy);

    CtFileSet set;
    set.append(QFileInfo("/elsewhere/left-over.img"));
    set.setFirst(QFileInfo("/data/" + fileName));
    QCOMPARE(set.files().size(), 1);
    QCOMPARE(set.files().first().fileName(), fileName);
    QCOMPARE(set.name(), fileName);
    QCOMPARE(set.key(), key);
    QCOMPARE(set.sample(), sample);
    QCOMPARE(set.energyText(), energyText);
    QCOMPARE(set.unit(), unit);
    QCOMPARE(set.unitScale(), unitScale);
    QCOMPARE(set.energy(), energy);
    QCOMPARE(set.energyInEv(), energy * unitScale);
    QCOMPARE(energyInEvOfName(fileName), energy * unitScale);
    QCOMPARE(keyOfName(fileName), key);
    QCOMPARE(energyOfName(energyText), energy);
}

void TstCtFileSet::energyInEvOfText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("energyInEv");
    QTest::newRow("eV") << "7112_5eV" << 7112.5;
    QTest::newRow("keV") << "7_1125keV" << 7112.5;
    QTest::newRow("KEV") << "7_1125KEV" << 7112.5;
    QTest::newRow("plain number") << "7100" << 7100.0;
    QTest::newRow("sample before energy") << "Fe_7100eV" << 0.0;
    QTest::newRow("no digit") << "alpha" << 0.0;
    QTest::newRow("too large") << "1e999eV" << 0.0;
}

void TstCtFileSet::energyInEvOfText()
{
    QFETCH(QString, text);
    QFETCH(double, energyInEv);
    QCOMPARE(::energyInEvOfText(text), energyInEv);
}

void TstCtFileSet::groupsRunsOfEqualKey()
{
    const QStringList names = {"a-7100eV-00000.img", "a-7100eV-00001.img", "a-7200eV-00000.img",
                               "a-7100eV-00002.img", "a-7100eV-00003.img", "A-7100eV-00004.img",
                               "b-7100eV-00000.img"};
    QFileInfoList files;
    for (const QString &name : names)
        files.append(QFileInfo("/data/" + name));

    // Reference: a new set wherever the key differs from the previous file's.
    QList<QStringList> expected;
    QString previousKey;
    for (int i = 0; i < names.size(); ++i) {
        const QString key = names[i].left(names[i].lastIndexOf('-'));
        if (i == 0 || key != previousKey)
            expected.append(QStringList());
        expected.last().append(names[i]);
        previousKey = key;
    }
    QCOMPARE(expected.size(), 5);

    const auto sets = groupIntoFileSets(files);
    QCOMPARE(int(sets.size()), expected.size());
    for (size_t s = 0; s < sets.size(); ++s) {
        QStringList got;
        for (const QFileInfo &file : sets[s]->files())
            got.append(file.fileName());
        QCOMPARE(got, expected[int(s)]);
        QCOMPARE(sets[s]->name(), expected[int(s)].first());
        QCOMPARE(sets[s]->files().first().filePath(), "/data/" + expected[int(s)].first());
    }
    QVERIFY(groupIntoFileSets(QFileInfoList()).empty());
}

QTEST_APPLESS_MAIN(TstCtFileSet)
#include "tst_ctfileset.moc"
