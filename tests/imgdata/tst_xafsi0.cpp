#include "XafsI0.h"

#include <QtTest>

#include <cmath>

// The XAFS I0 table: the real PF-BL9A scan, written scans read back against the Bragg
// formula, failures and interpolation.
class TstXafsI0 : public QObject
{
    Q_OBJECT
private slots:
    void init() { dir = std::make_unique<QTemporaryDir>(); }
    void realScan();
    void writtenScans_data();
    void writtenScans();
    void failures();
    void i0At_data();
    void i0At();

private:
    QString writeFile(const QByteArray &text)
    {
        const QString name = dir->filePath(QString("scan%1.dat").arg(++files));
        QFile file(name);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? name : QString();
    }
    static double bragg(double theta, double d) { return 12398.424360387684 / (2.0 * std::sin(theta * M_PI / 180.0) * d); }
    std::unique_ptr<QTemporaryDir> dir;
    int files = 0;
};

void TstXafsI0::realScan()
{
    const QString file = qEnvironmentVariable("ZORVEL_REAL_DATA") + "/xafs/PF9A_2022.dat";
    if (!QFileInfo::exists(file))
        QSKIP("real data not present");
    XafsI0 table;
    table.setD(1.0); // the file states its own spacing
    QVERIFY(table.read(file));
    QCOMPARE(table.d(), 3.13551);
    QCOMPARE(table.energies().size(), 1426);
    QCOMPARE(table.i0s().size(), 1426);
    // First and last data lines: angle(c) angle(o) time/s I0 If
    QVERIFY(std::abs(table.energies().first() - bragg(17.41440, 3.13551)) <= 1e-6);
    QVERIFY(std::abs(table.energies().last() - bragg(13.93280, 3.13551)) <= 1e-6);
    QVERIFY(std::abs(table.energies().first() - 6606) <= 1.0 && std::abs(table.energies().last() - 8211) <= 1.0);
    QCOMPARE(table.i0s().first(), 1792467.0);
    QCOMPARE(table.i0s().last(), 2019824.0 / 3.0);
    // Ascending; the encoder reads one angle twice (data lines 94 and 95), hence >=.
    for (int i = 1; i < table.energies().size(); ++i)
        QVERIFY2(table.energies()[i] >= table.energies()[i - 1], qPrintable(QString::number(i)));

    // A DOS end-of-file mark (and anything after it) or trailing blank lines read the same.
    QFile real(file);
    QVERIFY(real.open(QIODevice::ReadOnly));
    const QByteArray bytes = real.readAll();
    for (const char *tail : {"\x1a", "\x1a\n 1 2 3 4 5\n", "\n\n  \n"}) {
        XafsI0 again;
        QVERIFY(again.read(writeFile(bytes + tail)));
        QCOMPARE(again.energies(), table.energies());
        QCOMPARE(again.i0s(), table.i0s());
    }
}

void TstXafsI0::writtenScans_data()
{
    // Each data line below is "- theta divisor c3 c4"; expected: (theta, I0) pairs.
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("d"); // 3 unless the file states one
    QTest::addColumn<QList<QPointF>>("points");
    const QByteArray data = "Offset\n- 20 2 100 7\n- 19 0.5 200 8\n";
    const QList<QPointF> column3 = {{20, 50}, {19, 400}};
    const QList<QPointF> column4 = {{20, 3.5}, {19, 16}};
    QTest::newRow("I0 in column 3") << "Mode 0 0 1 3\n" + data << 3.0 << column3;
    QTest::newRow("spacing stated") << " Mono : Si(311) D= 1.6375 A\nMode 0 0 1\n" + data << 1.6375 << column3;
    QTest::newRow("spacing glued to D=") << " Mono : D=1.6375\nMode 0 0 1\n" + data << 1.6375 << column3;
    QTest::newRow("unusable spacing") << " Mono : D= -2 A\nMode 0 0 1\n" + data << 3.0 << column3;
    QTest::newRow("two code-1 columns") << "Mode 0 0 1 1\n" + data << 3.0 << column4;
    QTest::newRow("code 1 in column 2") << "Mode 0 1 0 0\n" + data << 3.0 << QList<QPointF>();
    QTest::newRow("no code 1") << "Mode 0 0 3 3\n" + data << 3.0 << QList<QPointF>();
    QTest::newRow("lower-case mode") << "mode 0 0 1\n" + data << 3.0 << QList<QPointF>();
    QTest::newRow("no Mode line") << data << 3.0 << QList<QPointF>();
    QTest::newRow("no Offset line") << QByteArray("Mode 0 0 1\n- 20 2 100 7\n- 19 0.5 200 8\n") << 3.0 << QList<QPointF>();
    QTest::newRow("one data line") << QByteArray("Mode 0 0 1\nOffset\n- 20 2 100\n") << 3.0 << QList<QPointF>();
    QTest::newRow("short lines skipped") << "Mode 0 0 0 1\n" + data + "- 18 1 5\n\n-\n" << 3.0 << column4;
    QTest::newRow("header text after Offset is data") << "Mode 0 0 1\n" + data + "angle 21 x 9\n" << 3.0
                                                       << QList<QPointF>{{20, 50}, {19, 400}, {21, qInf()}};
    QTest::newRow("CRLF") << QByteArray("Mode 0 0 1\n" + data).replace("\n", "\r\n") << 3.0 << column3;
    QTest::newRow("end-of-file mark") << "Mode 0 0 1\n" + data + "\x1a\n" << 3.0 << column3;
    QTest::newRow("end-of-file mark in the header") << "Mode 0 0 1\n\x1a" + data << 3.0 << QList<QPointF>();
}

void TstXafsI0::writtenScans()
{
    QFETCH(QByteArray, text);
    QFETCH(double, d);
    QFETCH(QList<QPointF>, points);
    const QString file = writeFile(text);
    XafsI0 table;
    table.setD(3.0);
    if (points.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, qPrintable("No I0 table (Mode line with an I0 column, Offset line and two "
                                                    "data lines) in :  \"" + file + "\""));
    QCOMPARE(table.read(file), !points.isEmpty());
    QCOMPARE(table.isLoaded(), !points.isEmpty());
    QCOMPARE(table.d(), points.isEmpty() ? 3.0 : d);
    QCOMPARE(table.energies().size(), points.size());
    QCOMPARE(table.i0s().size(), points.size());
    for (int i = 0; i < points.size(); ++i) {
        QVERIFY(std::abs(table.energies()[i] / bragg(points[i].x(), d) - 1.0) <= 1e-9);
        QCOMPARE(table.i0s()[i], points[i].y());
    }
}

void TstXafsI0::failures()
{
    XafsI0 table;
    QCOMPARE(table.d(), 3.13551);
    QCOMPARE(table.i0At(7000.0), 0.0);
    QVERIFY(table.read(writeFile("Mode 0 0 1\nOffset\n- 20 1 10\n- 19 1 20\n")));
    const QString missing = dir->filePath("missing.dat");
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Can't open :  \"" + missing + "\""));
    QVERIFY(!table.read(missing));
    QVERIFY(table.isLoaded() && table.energies().size() == 2); // kept

    const QString huge = writeFile("Mode 0 0 1\nOffset\n");
    QVERIFY(QFile::resize(huge, XafsI0::maxFileBytes + 1));
    QTest::ignoreMessage(QtDebugMsg, qPrintable("XAFS file too large :  \"" + huge + "\""));
    QVERIFY(!table.read(huge));
    QVERIFY(table.isLoaded() && table.energies().size() == 2);
    QVERIFY(QFile::resize(huge, XafsI0::maxFileBytes));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^No I0 table"));
    QVERIFY(!table.read(huge));
    QVERIFY(!table.isLoaded() && table.energies().isEmpty() && table.i0s().isEmpty());
}

void TstXafsI0::i0At_data()
{
    QTest::addColumn<QByteArray>("lines"); // energy (eV) and I0 per line
    QTest::addColumn<double>("energy");
    QTest::addColumn<double>("i0");
    const QByteArray three = "7000 1\n7100 2\n7200 4\n";
    QTest::newRow("between") << three << 7150.0 << 3.0;
    QTest::newRow("above: last two points") << three << 7300.0 << 6.0;
    QTest::newRow("below: first two points") << three << 6900.0 << 0.0;
    QTest::newRow("between the first two") << three << 7025.0 << 1.25;
    QTest::newRow("inner point") << three << 7100.0 << 2.0;
    QTest::newRow("equal energies: their mean") << QByteArray("7000 1\n7000 3\n") << 7000.0 << 2.0;
}

void TstXafsI0::i0At()
{
    QFETCH(QByteArray, lines);
    QFETCH(double, energy);
    QFETCH(double, i0);
    QByteArray text = "Mode 0 0 1\nOffset\n";
    for (const QByteArray &line : lines.trimmed().split('\n')) {
        const double e = line.split(' ')[0].toDouble();
        const double theta = std::asin(12398.424360387684 / (2.0 * 3.13551 * e)) * 180.0 / 3.1415926535;
        text += "- " + QByteArray::number(theta, 'g', 17) + " 1 " + line.split(' ')[1] + "\n";
    }
    XafsI0 table;
    QVERIFY(table.read(writeFile(text)));
    QVERIFY(std::abs(table.i0At(energy) - i0) <= 1e-9);
}

QTEST_APPLESS_MAIN(TstXafsI0)
#include "tst_xafsi0.moc"
