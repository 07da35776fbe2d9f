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
    void init();
    void dialogStartsInTheDataRoot();
    void filesFromList_data();
    void filesFromList();
    void selectInDir_data();
    void selectInDir();
    void listStepsAndCount();
    void keepConditionsMode();

private:
    std::unique_ptr<QTemporaryDir> root;
};

void TstSelectDataFiles::init()
{
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(root->isValid());
    setDataRoot(root->path());
}

void TstSelectDataFiles::dialogStartsInTheDataRoot()
{
    SelectDataFiles files;
    QCOMPARE(files.fileDialog().fileMode(), QFileDialog::ExistingFiles);
    QCOMPARE(files.fileDialog().acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(files.fileDialog().directory().absolutePath(), QDir(root->path()).absolutePath());
    QCOMPARE(files.fileDialog().nameFilters(),
             QStringList({"Itex File (*.img)", "Tiff File (*.tif *.tiff)", "Any Files (* *.*)"}));
    QVERIFY(!files.LoadNewFiles->isChecked() && !files.AddFiles->isChecked());
    QVERIFY(files.KeepConditions->isChecked());

    QSignalSpy selected(&files, &SelectDataFiles::filesSelected);
    files.Select->click();
    QVERIFY(files.fileDialog().isVisible());
    emit files.fileDialog().filesSelected({"/d/a.img", "/d/b.img"});
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.at(0).at(0).toStringList(), QStringList({"/d/a.img", "/d/b.img"}));
    files.fileDialog().hide();
    files.setExpTime(0.25);
    QCOMPARE(files.ExpTime->text(), QString("0.25"));
    QCOMPARE(files.expTime(), 0.25);
    files.ExpTime->setText("fast");
    QCOMPARE(files.expTime(), 0.0);
}

void TstSelectDataFiles::filesFromList_data()
{
    QTest::addColumn<bool>("loadNew");
    QTest::addColumn<bool>("multi");
    QTest::addColumn<QString>("multiTimes");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("repeats"); // -1: the list as given; else the first file this often

    const QStringList three = {"/d/a.img", "/d/b.img", "/d/c.img"};
    QTest::newRow("add") << false << false << "180" << three << -1;
    QTest::newRow("new") << true << false << "180" << three << -1;
    QTest::newRow("Multi. 180") << true << true << "180" << three << 180;
    QTest::newRow("Multi. 180, add") << false << true << "180" << three << 180;
    QTest::newRow("Multi. with text") << false << true << "many" << three << 0;
    QTest::newRow("Multi. 0") << false << true << "0" << three << 0;
    QTest::newRow("Multi. negative") << false << true << "-3" << three << 0;
    QTest::newRow("Multi. at the limit") << false << true << QString::number(SelectDataFiles::maxMultiTimes) << three
                                         << SelectDataFiles::maxMultiTimes;
    QTest::newRow("Multi. beyond the limit") << false << true << QString::number(SelectDataFiles::maxMultiTimes + 1)
                                             << three << 0;
    QTest::newRow("Multi. of nothing") << false << true << "180" << QStringList() << -1;
}

void TstSelectDataFiles::filesFromList()
{
    QFETCH(bool, loadNew);
    QFETCH(bool, multi);
    QFETCH(QString, multiTimes);
    QFETCH(QStringList, files);
    QFETCH(int, repeats);

    SelectDataFiles sel;
    sel.addFileName("/d/old.img");
    (loadNew ? sel.LoadNewFiles : sel.AddFiles)->setChecked(true);
    sel.LoadMultiTimes->setChecked(multi);
    sel.MultiTimes->setText(multiTimes);
    QSignalSpy selected(&sel, &SelectDataFiles::filesSelected);
    QSignalSpy cleared(&sel, &SelectDataFiles::filesCleared);
    if (multiTimes.toInt() > SelectDataFiles::maxMultiTimes)
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Multi. count too large :  %1").arg(multiTimes)));

    QFileInfoList fileInfos;
    for (const QString &f : files)
        fileInfos << QFileInfo(f);
    sel.setFileInfoList(fileInfos);

    QStringList expected = files;
    if (repeats >= 0) {
        expected.clear();
        for (int i = 0; i < repeats; ++i)
            expected << files.first();
    }
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.at(0).at(0).toStringList(), expected);
    QCOMPARE(selected.at(0).at(1).toBool(), loadNew);
    QCOMPARE(cleared.count(), loadNew ? 1 : 0);
    QCOMPARE(sel.Selected->count(), loadNew ? 0 : 1);
    QCOMPARE(sel.Count->text(), QString::number(sel.Selected->count()));
}

void TstSelectDataFiles::selectInDir_data()
{
    QTest::addColumn<bool>("loadNew");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("images, name order ignoring case") << false << QStringList{"*.img"}
                                                      << QStringList{"A.img", "b.img"};
    QTest::newRow("two patterns, new") << true << QStringList{"*.tif", "*.img"}
                                       << QStringList{"A.img", "b.img", "c.tif"};
    QTest::newRow("empty leading pattern") << false << QStringList{"", "*.tif"} << QStringList{"c.tif"};
    QTest::newRow("nothing matches") << true << QStringList{"*.png"} << QStringList();
}

void TstSelectDataFiles::selectInDir()
{
    QFETCH(bool, loadNew);
    QFETCH(QStringList, patterns);
    QFETCH(QStringList, expected);
    QDir dir(root->path());
    for (const QString name : {"b.img", "A.img", "c.tif"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(dir.mkdir("dir.img")); // a directory is no data file

    SelectDataFiles sel;
    sel.LoadNewFiles->setChecked(loadNew);
    sel.AddFiles->setChecked(!loadNew);
    QSignalSpy selected(&sel, &SelectDataFiles::filesSelected);
    if (loadNew)
        QTest::ignoreMessage(QtDebugMsg, qPrintable("clear files \"" + dir.absolutePath() + "\""));
    if (expected.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^No data files matching .* in :  \""
                                                            + QRegularExpression::escape(dir.path()) + "\"$"));
    sel.selectInDir(dir.path(), patterns);

    QStringList paths;
    for (const QString &name : expected)
        paths << dir.absoluteFilePath(name);
    // An empty selection is handed on too: the window ends its load and a running
    // sequence goes on.
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.at(0).at(0).toStringList(), paths);
    QCOMPARE(selected.at(0).at(1).toBool(), loadNew);
}

void TstSelectDataFiles::listStepsAndCount()
{
    SelectDataFiles sel;
    QSignalSpy index(&sel, &SelectDataFiles::currentIndexChanged);
    QSignalSpy cleared(&sel, &SelectDataFiles::filesCleared);
    for (const QString name : {"a", "b", "c"})
        sel.addFileName(name);
    QCOMPARE(sel.Count->text(), QString("3"));
    QCOMPARE(index.count(), 1); // the first entry became current
    sel.next();
    sel.next();
    sel.next();
    QCOMPARE(sel.Selected->currentIndex(), 2);
    sel.prev();
    QCOMPARE(sel.Selected->currentIndex(), 1);
    sel.prev();
    sel.prev();
    QCOMPARE(sel.Selected->currentIndex(), 0);
    for (int i : {2, 3, -1})
        sel.select(i);
    QCOMPARE(sel.Selected->currentIndex(), 2);
    QCOMPARE(index.last().at(0).toInt(), 2);
    sel.Clear->click();
    QCOMPARE(sel.Selected->count(), 0);
    QCOMPARE(sel.Count->text(), QString("0"));
    QCOMPARE(cleared.count(), 1);
}

void TstSelectDataFiles::keepConditionsMode()
{
    SelectDataFiles sel;
    sel.show();
    const QList<QWidget *> modeWidgets = {sel.LoadNewFiles, sel.AddFiles, sel.KeepConditions, sel.LoadMultiTimes,
                                          sel.MultiTimes};
    sel.setKeepConditions(true);
    for (QWidget *w : modeWidgets)
        QVERIFY(!w->isVisible());
    QVERIFY(sel.LoadNewFiles->isChecked());
    sel.setKeepConditions(false);
    for (QWidget *w : modeWidgets)
        QVERIFY(w->isVisible());
    QVERIFY(sel.LoadNewFiles->isChecked());
}

QTEST_MAIN(TstSelectDataFiles)
#include "tst_selectdatafiles.moc"
