#include "DataRoot.h"
#include "SelectDataFiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The projection file list: what a selection hands to the window in each mode.
class TstSelectDataFiles : public QObject
{
    Q_OBJECT
private slots:
    void listDialogAndModes()
    {
        QTemporaryDir root;
        setDataRoot(root.path());
        SelectDataFiles sel;
        QCOMPARE(sel.fileDialog().fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(sel.fileDialog().directory().absolutePath(), QDir(root.path()).absolutePath());
        QSignalSpy selected(&sel, &SelectDataFiles::filesSelected);
        emit sel.fileDialog().filesSelected({"/d/a.img", "/d/b.img"});
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toStringList(), QStringList({"/d/a.img", "/d/b.img"}));

        QSignalSpy index(&sel, &SelectDataFiles::currentIndexChanged), cleared(&sel, &SelectDataFiles::filesCleared);
        for (const char *name : {"a", "b", "c"})
            sel.addFileName(name);
        QCOMPARE(sel.Count->text(), QString("3"));
        QList<int> steps; // next and prev stop at the ends
        for (auto step : {&SelectDataFiles::next, &SelectDataFiles::next, &SelectDataFiles::next,
                          &SelectDataFiles::prev, &SelectDataFiles::prev, &SelectDataFiles::prev})
            (sel.*step)(), steps << sel.Selected->currentIndex();
        QCOMPARE(steps, QList<int>({1, 2, 2, 1, 0, 0}));
        for (int i : {2, 3, -1})
            sel.select(i);
        QCOMPARE(index.last().at(0).toInt(), 2);
        sel.Clear->click();
        QVERIFY(sel.Count->text() == "0" && cleared.count() == 1);

        sel.setExpTime(0.25);
        QCOMPARE(sel.ExpTime->text(), QString("0.25"));
        sel.show();
        sel.setKeepConditions(true);
        QVERIFY(sel.LoadNewFiles->isChecked() && !sel.MultiTimes->isVisible() && !sel.KeepConditions->isVisible());
        sel.setKeepConditions(false);
        QVERIFY(sel.AddFiles->isVisible() && sel.LoadMultiTimes->isVisible());
    }
    void filesFromList();
    void selectInDir();
};

// Add or new, each file once or ("Multi.") the first one a valid number of times.
void TstSelectDataFiles::filesFromList()
{
    const QStringList three = {"/d/a.img", "/d/b.img", "/d/c.img"};
    const int limit = SelectDataFiles::maxMultiTimes;
    struct Case { bool loadNew; QString multiTimes; QStringList files; int repeats; }; // "": unchecked; -1: as given
    for (const Case &c : {Case{false, "", three, -1}, {true, "", three, -1}, {true, "180", three, 180},
                          {false, "many", three, 0}, {false, "-3", three, 0}, {false, QString::number(limit), three, limit},
                          {false, QString::number(limit + 1), three, 0}, {false, "180", {}, -1}}) {
        SelectDataFiles sel;
        sel.addFileName("/d/old.img");
        (c.loadNew ? sel.LoadNewFiles : sel.AddFiles)->setChecked(true);
        sel.LoadMultiTimes->setChecked(!c.multiTimes.isEmpty());
        sel.MultiTimes->setText(c.multiTimes);
        QSignalSpy selected(&sel, &SelectDataFiles::filesSelected);
        if (c.multiTimes.toInt() > limit)
            QTest::ignoreMessage(QtDebugMsg, qPrintable("Multi. count too large :  " + c.multiTimes));
        QFileInfoList infos;
        for (const QString &file : c.files)
            infos << QFileInfo(file);
        sel.setFileInfoList(infos);
        const QStringList expected = c.repeats < 0 ? c.files : QStringList(c.repeats, c.files.first());
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0), QVariantList({expected, c.loadNew}));
        QCOMPARE(sel.Selected->count(), c.loadNew ? 0 : 1);
    }
}

// Name order ignoring case; an empty pattern or a directory matches nothing; an empty
// selection is handed on too (the window ends its load, a running sequence goes on).
void TstSelectDataFiles::selectInDir()
{
    QTemporaryDir root;
    setDataRoot(root.path());
    QDir dir(root.path());
    for (const char *name : {"b.img", "A.img", "c.tif"})
        QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    QVERIFY(dir.mkdir("dir.img"));
    SelectDataFiles sel;
    sel.LoadNewFiles->setChecked(true);
    QSignalSpy selected(&sel, &SelectDataFiles::filesSelected);
    const QList<QPair<QStringList, QStringList>> patternsAndNames = {{{"*.img"}, {"A.img", "b.img"}},
        {{"*.tif", "*.img"}, {"A.img", "b.img", "c.tif"}}, {{"", "*.tif"}, {"c.tif"}}, {{"*.png"}, {}}};
    for (const auto &[patterns, names] : patternsAndNames) {
        QTest::ignoreMessage(QtDebugMsg, qPrintable("clear files \"" + dir.absolutePath() + "\""));
        if (names.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^No data files matching .*\\*\\.png.* in :  \""
                                                                + QRegularExpression::escape(dir.path()) + "\"$"));
        sel.selectInDir(dir.path(), patterns);
        QStringList paths;
        for (const QString &name : names)
            paths << dir.absoluteFilePath(name);
        QCOMPARE(selected.takeFirst().at(0).toStringList(), paths);
    }
    QVERIFY(selected.isEmpty());
}

QTEST_MAIN(TstSelectDataFiles)
#include "tst_selectdatafiles.moc"
