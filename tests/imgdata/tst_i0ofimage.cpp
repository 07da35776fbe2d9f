#include "I0ofImage.h"

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
    const QString scan = dir.filePath("scan.dat");
    QFile file(scan);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(" Mono : Si(311) D= 1.6375 A\nMode 0 0 1\nOffset\n 20 20 2 100\n 19 19 2 300\n");
    file.close();
    const auto bragg = [](double theta) { return 12398.424360387684 / (2.0 * std::sin(theta / 180.0 * 3.1415926535) * 1.6375); };

    I0ofImage panel;
    QCOMPARE(panel.CurrentI0->text(), QString("1")); // the fixed value, "1.0"
    panel.setEnergy((bragg(20) + bragg(19)) / 2.0); // I0 there: (50 + 150) / 2
    panel.XafsFile->fileSelected0(scan);
    QCOMPARE(panel.XafsFile->FilePath->styleSheet(), QString("background-color: rgb(211, 255, 241);"));
    QCOMPARE(panel.CurrentI0->text(), QString("1")); // until XAFS is chosen
    panel.CalcFromXAFS->setChecked(true);
    QCOMPARE(panel.CurrentI0->text(), QString("100"));
    panel.setEnergy(bragg(19));
    QCOMPARE(panel.CurrentI0->text(), QString("150"));

    // An unreadable file turns the field red and keeps the table; a file without a
    // table empties it; a cleared selection falls back to the fixed value.
    panel.I0Val->setText("2.5");
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Can't open :  \"" + dir.filePath("missing.dat") + "\""));
    panel.XafsFile->fileSelected0(dir.filePath("missing.dat"));
    QCOMPARE(panel.XafsFile->FilePath->styleSheet(), QString("background-color: rgb(255, 192, 192);"));
    QCOMPARE(panel.CurrentI0->text(), QString("150"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^No I0 table"));
    QFile empty(dir.filePath("empty.dat"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    panel.XafsFile->fileSelected0(empty.fileName());
    QCOMPARE(panel.CurrentI0->text(), QString("2.5"));
    panel.XafsFile->fileSelected0(scan);
    QCOMPARE(panel.i0At(bragg(19)), 150.0);
    panel.XafsFile->clear0();
    QVERIFY(!panel.xafsI0().isLoaded());
    QCOMPARE(panel.xafsI0().d(), 1.6375); // the crystal stays
    QCOMPARE(panel.CurrentI0->text(), QString("2.5"));
}

QTEST_MAIN(TstI0ofImage)
#include "tst_i0ofimage.moc"
