#include "I0ofImage.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The I0 panel: a fixed value, or the XAFS table at the data set's energy.
class TstI0ofImage : public QObject
{
    Q_OBJECT
private slots:
    void fixedValueOrXafsTable();
};

void TstI0ofImage::fixedValueOrXafsTable()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Energies of the two data lines for Si(111): 20 and 19 degrees.
    const double d = 3.13551;
    const double e0 = 12398.424360387684 / (2.0 * std::sin(20.0 / 180.0 * 3.1415926535) * d);
    const double e1 = 12398.424360387684 / (2.0 * std::sin(19.0 / 180.0 * 3.1415926535) * d);
    const QString scan = dir.filePath("scan.dat");
    QFile file(scan);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(" Mono : Si(111) D= 3.13551 A\nMode 0 0 1\nOffset\n 20 20 2 100\n 19 19 2 300\n");
    file.close();

    I0ofImage panel;
    QCOMPARE(panel.windowTitle(), QString("I0 of Image"));
    QCOMPARE(panel.I0Val->text(), QString("1.0"));
    QCOMPARE(panel.EngPattern->text(), QString("####_####"));
    QVERIFY(!panel.CalcFromXAFS->isChecked());
    QVERIFY(panel.CurrentI0->isReadOnly());
    QCOMPARE(panel.CurrentI0->text(), QString("1"));

    const double middle = (e0 + e1) / 2.0; // I0 there: (50 + 150) / 2
    panel.setEnergy(middle);
    panel.XafsFile->fileSelected0(scan);
    QCOMPARE(panel.XafsFile->FilePath->styleSheet(), QString("background-color: rgb(211, 255, 241);"));
    QVERIFY(panel.xafsI0().isLoaded());
    QCOMPARE(panel.CurrentI0->text(), QString("1")); // the fixed value until XAFS is chosen
    panel.CalcFromXAFS->setChecked(true);
    QVERIFY(std::abs(panel.i0At(middle) - 100.0) <= 1e-9);
    QCOMPARE(panel.CurrentI0->text(), QString("100"));
    panel.setEnergy(e1);
    QCOMPARE(panel.CurrentI0->text(), QString("150"));

    // A file without a table turns the field red; a cleared selection falls back to
    // the fixed value, keeping the crystal spacing.
    panel.I0Val->setText("2.5");
    const QString missing = dir.filePath("missing.dat");
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Can't open :  \"" + missing + "\""));
    panel.XafsFile->fileSelected0(missing);
    QCOMPARE(panel.XafsFile->FilePath->styleSheet(), QString("background-color: rgb(255, 192, 192);"));
    QCOMPARE(panel.CurrentI0->text(), QString("150")); // the table read before stays
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^No I0 table"));
    QFile empty(dir.filePath("empty.dat"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    panel.XafsFile->fileSelected0(empty.fileName());
    QCOMPARE(panel.XafsFile->FilePath->styleSheet(), QString("background-color: rgb(255, 192, 192);"));
    QCOMPARE(panel.CurrentI0->text(), QString("2.5"));
    panel.XafsFile->fileSelected0(scan);
    QCOMPARE(panel.CurrentI0->text(), QString("150"));
    panel.XafsFile->clear0();
    QVERIFY(!panel.xafsI0().isLoaded());
    QCOMPARE(panel.xafsI0().d(), d);
    QCOMPARE(panel.CurrentI0->text(), QString("2.5"));
}

QTEST_MAIN(TstI0ofImage)
#include "tst_i0ofimage.moc"
