#include "DataRoot.h"
#include "SelectDir.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestSelectDir : public QObject
{
    Q_OBJECT
private slots:
    void dialogInTheDataRootShowsAndReportsTheChoice()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        setDataRoot(root.path());
        SelectDir sel;
        QCOMPARE(sel.fileDialog().fileMode(), QFileDialog::Directory);
        QCOMPARE(sel.fileDialog().acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(sel.fileDialog().directory().absolutePath(), QDir(root.path()).absolutePath());

        QSignalSpy spy(&sel, &SelectDir::aDirSelected);
        emit sel.fileDialog().fileSelected("/data/sample-a");
        QCOMPARE(sel.SelectedDir->text(), QString("/data/sample-a"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QString("/data/sample-a"));

        sel.setDirName("/data/other");
        QCOMPARE(sel.SelectedDir->text(), QString("/data/other"));
        QCOMPARE(spy.count(), 1);
    }
};

QTEST_MAIN(TestSelectDir)
#include "tst_selectdir.moc"
