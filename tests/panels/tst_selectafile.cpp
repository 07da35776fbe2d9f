#include "DataRoot.h"
#include "SelectAFile.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Relative names resolve in a scratch folder made the working directory.
class TestSelectAFile : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir tmp;
    QString startDir;

    QStringList scratchEntries() const
    {
        return QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tmp.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(startDir); }

    void constructedForOpeningInTheDataRoot()
    {
        setDataRoot(tmp.path());
        SelectAFile sel;
        QFileDialog &dialog = sel.fileDialog();
        QCOMPARE(dialog.directory().absolutePath(), QDir(tmp.path()).absolutePath());
        QVERIFY(dialog.acceptMode() == QFileDialog::AcceptOpen && dialog.fileMode() == QFileDialog::ExistingFile);
        QCOMPARE(dialog.nameFilters(),
                 QStringList({"Img file (*.img)", "Tiff file (*.tif *.tiff)", "Any file (* *.*)"}));
        QVERIFY(sel.Name->isHidden() && sel.AddTag->isHidden());

        sel.setMode(1);
        QVERIFY(dialog.acceptMode() == QFileDialog::AcceptSave && dialog.fileMode() == QFileDialog::AnyFile);
        QCOMPARE(dialog.nameFilters(), QStringList({"Any file (* *.*)"}));
        sel.setMode(7); // only stored: the dialog keeps the save settings
        QVERIFY(dialog.acceptMode() == QFileDialog::AcceptSave && dialog.fileMode() == QFileDialog::AnyFile);
    }

    // A choice by the dialog (or by fileSelected0): the field by mode, the base name
    // before the first dot, the full name reported.
    void choice_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("name");
        QTest::newRow("save creates the directory, shown absolute")
            << 1 << "out/run1/slice.tif" << QDir(tmp.path()).absoluteFilePath("out/run1") << "slice";
        QTest::newRow("open shows the name as given") << 0 << "a/b/scan.x.img" << "a/b/scan.x.img" << "scan";
        QTest::newRow("other mode shows nothing") << 7 << "c/d/i0.img" << "" << "i0";
    }
    void choice()
    {
        QFETCH(int, mode);
        QFETCH(QString, chosen);
        QFETCH(QString, shown);
        QFETCH(QString, name);
        const QStringList before = scratchEntries();
        SelectAFile sel;
        sel.setMode(mode);
        QSignalSpy spy(&sel, &SelectAFile::fileSelected);
        emit sel.fileDialog().fileSelected(chosen);
        QCOMPARE(sel.FilePath->text(), shown);
        QCOMPARE(sel.Name->text(), name);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), chosen);
        if (mode == 1)
            QVERIFY(QDir(shown).exists());
        else
            QCOMPARE(scratchEntries(), before); // only a save location is created
    }

    void clearCreatesNothing()
    {
        SelectAFile sel;
        sel.setMode(1);
        sel.fileSelected0("keep/slice.png");
        const QStringList before = scratchEntries();
        QSignalSpy clearSpy(&sel, &SelectAFile::clear);
        QTest::mouseClick(sel.Clear, Qt::LeftButton);
        QCOMPARE(clearSpy.count(), 1);
        QVERIFY(sel.FilePath->text().isEmpty());
        QVERIFY(sel.Name->text().isEmpty());
        QCOMPARE(scratchEntries(), before);
    }
};

QTEST_MAIN(TestSelectAFile)
#include "tst_selectafile.moc"
