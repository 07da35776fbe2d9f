#include "DataRoot.h"
#include "SelectAFile.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestSelectAFile : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir tmp;
    QString startDir;

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tmp.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(startDir); }

    void constructedForOpening()
    {
        SelectAFile sel;
        QCOMPARE(sel.currentMode(), 0);
        QVERIFY(sel.Name->isHidden());
        QVERIFY(sel.AddTag->isHidden());
        QCOMPARE(sel.fileDialog().acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(sel.fileDialog().fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(sel.fileDialog().nameFilters(),
                 QStringList({"Img file (*.img)", "Tiff file (*.tif *.tiff)", "Any file (* *.*)"}));
        QVERIFY(!sel.fileDialog().isModal());
        for (QLineEdit *field : {sel.FilePath, sel.Name, sel.AddTag})
            QCOMPARE(field->styleSheet(), QString("background-color: rgb(255, 255, 233);"));
    }

    void dialogStartsInTheDataRoot()
    {
        const QString root = tmp.filePath("root");
        QVERIFY(QDir().mkpath(root));
        setDataRoot(root);
        SelectAFile sel;
        QCOMPARE(sel.fileDialog().directory().absolutePath(), QDir(root).absolutePath());
        QVERIFY(!sel.fileDialog().isModal());
    }

    void modes()
    {
        SelectAFile sel;
        sel.setMode(1);
        QCOMPARE(sel.fileDialog().acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(sel.fileDialog().fileMode(), QFileDialog::AnyFile);
        QCOMPARE(sel.fileDialog().nameFilters(), QStringList({"Any file (* *.*)"}));
        sel.setMode(7); // stored only: the dialog keeps the save settings
        QCOMPARE(sel.currentMode(), 7);
        QCOMPARE(sel.fileDialog().acceptMode(), QFileDialog::AcceptSave);
    }

    void saveModeCreatesTheDirectory()
    {
        SelectAFile sel;
        sel.setMode(1);
        QSignalSpy spy(&sel, &SelectAFile::fileSelected);
        const QString chosen = "out/run1/slice.tif";
        QVERIFY(!QDir("out/run1").exists());
        sel.fileSelected0(chosen);
        const QString expectedDir = QDir(tmp.path()).absoluteFilePath("out/run1");
        QVERIFY(QDir(expectedDir).exists());
        QCOMPARE(sel.FilePath->text(), expectedDir);
        QCOMPARE(sel.Name->text(), QString("slice"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), chosen);
    }

    void openModeShowsTheNameAsGiven()
    {
        SelectAFile sel;
        QSignalSpy spy(&sel, &SelectAFile::fileSelected);
        sel.fileSelected0("a/b/scan.x.img");
        QCOMPARE(sel.FilePath->text(), QString("a/b/scan.x.img"));
        QCOMPARE(sel.Name->text(), QString("scan"));
        QVERIFY(!QDir("a").exists()); // opening never creates anything
        QCOMPARE(spy.count(), 1);
    }

    void dialogChoiceReachesTheField()
    {
        SelectAFile sel;
        QSignalSpy spy(&sel, &SelectAFile::fileSelected);
        emit sel.fileDialog().fileSelected("c/d/i0.img");
        QCOMPARE(sel.FilePath->text(), QString("c/d/i0.img"));
        QCOMPARE(spy.count(), 1);
    }

    void clearCreatesNothing()
    {
        SelectAFile sel;
        sel.setMode(1);
        sel.fileSelected0("keep/slice.png");
        const QStringList before = QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QSignalSpy clearSpy(&sel, &SelectAFile::clear);
        QTest::mouseClick(sel.Clear, Qt::LeftButton);
        QCOMPARE(clearSpy.count(), 1);
        QVERIFY(sel.FilePath->text().isEmpty());
        QVERIFY(sel.Name->text().isEmpty());
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    }

    void typedPathIsCreatedInSaveMode()
    {
        SelectAFile sel;
        sel.setMode(1);
        sel.showPath("typed/deeper/still");
        QVERIFY(QDir("typed/deeper/still").exists());
        QCOMPARE(sel.FilePath->text(), QString("typed/deeper/still"));
    }

    void statusColours()
    {
        SelectAFile sel;
        sel.setStat(true);
        QCOMPARE(sel.FilePath->styleSheet(), QString("background-color: rgb(211, 255, 241);"));
        sel.setStat(false);
        QCOMPARE(sel.FilePath->styleSheet(), QString("background-color: rgb(255, 192, 192);"));
    }
};

QTEST_MAIN(TestSelectAFile)
#include "tst_selectafile.moc"
