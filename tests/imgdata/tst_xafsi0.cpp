#include "XafsI0.h"

#include <QtTest>

#include <cmath>

namespace {
struct Point
{
    double theta; // monochromator angle, degrees
    double divisor;
    double count;
};
} // namespace
Q_DECLARE_METATYPE(Point)

// The XAFS I0 table: the real PF-BL9A scan, written scans read back against the
// Bragg formula, the header rules, failures and interpolation. No application object.
class TstXafsI0 : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void realScan();
    void writtenScans_data();
    void writtenScans();
    void failuresKeepOrEmptyTheTable();
    void i0At_data();
    void i0At();

private:
    QString writeFile(const QByteArray &text);
    static double braggEnergy(double theta, double d);
    static double braggAngle(double energy, double d);
    static QByteArray scan(const QByteArray &header, const QList<QList<double>> &rows);
    std::unique_ptr<QTemporaryDir> dir;
    int files = 0;
};

void TstXafsI0::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

QString TstXafsI0::writeFile(const QByteArray &text)
{
    const QString name = dir->filePath(QString("scan%1.dat").arg(++files));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return name;
}

double TstXafsI0::braggEnergy(double theta, double d)
{
    return 12398.424360387684 / (2.0 * std::sin(theta * 3.1415926535 / 180.0) * d);
}

double TstXafsI0::braggAngle(double energy, double d)
{
    return std::asin(12398.424360387684 / (2.0 * d * energy)) * 180.0 / 3.1415926535;
}

QByteArray TstXafsI0::scan(const QByteArray &header, const QList<QList<double>> &rows)
{
    QByteArray text = header;
    for (const QList<double> &row : rows) {
        for (double v : row)
            text += ' ' + QByteArray::number(v, 'g', 17);
        text += '\n';
    }
    return text;
}

void TstXafsI0::realScan()
{
    const QString file = qEnvironmentVariable("ZORVEL_REAL_DATA") + "/xafs/PF9A_2022.dat";
    if (!QFileInfo::exists(file))
        QSKIP("real data not present");
    XafsI0 table;
    table.setD(1.0); // the file states its own spacing
    QVERIFY(table.read(file));
    QVERIFY(table.isLoaded());
    QCOMPARE(table.d(), 3.13551);
    QCOMPARE(table.energies().size(), 1426);
    QCOMPARE(table.i0s().size(), 1426);
    // First and last data lines of the file: angle(c) angle(o) time/s I0 If
    const double first = braggEnergy(17.41440, 3.13551);
    const double last = braggEnergy(13.93280, 3.13551);
    QVERIFY(std::abs(table.energies().first() - first) <= 1e-9);
    QVERIFY(std::abs(table.energies().last() - last) <= 1e-9);
    QVERIFY(std::abs(first - 6606) <= 1.0 && std::abs(last - 8211) <= 1.0);
    QVERIFY(std::abs(table.i0s().first() - 1792467.0) <= 1e-6);
    QVERIFY(std::abs(table.i0s().last() - 2019824.0 / 3.0) <= 1e-6);
    // Ascending; the encoder reads one angle twice (lines 94 and 95), hence >=.
    for (int i = 1; i < table.energies().size(); ++i)
        QVERIFY2(table.energies()[i] >= table.energies()[i - 1], qPrintable(QString::number(i)));

    // A DOS end-of-file mark and trailing blank lines read the same.
    QFile real(file);
    QVERIFY(real.open(QIODevice::ReadOnly));
    const QByteArray bytes = real.readAll();
    for (const QByteArray &tail : {QByteArray("\x1a"), QByteArray("\x1a\n"), QByteArray("\n\n  \n"),
                                   QByteArray("\x1a garbage 1 2 3 4 5\n")}) {
        XafsI0 again;
        QVERIFY(again.read(writeFile(bytes + tail)));
        QCOMPARE(again.energies(), table.energies());
        QCOMPARE(again.i0s(), table.i0s());
    }
}

void TstXafsI0::writtenScans_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("d");
    QTest::addColumn<QList<Point>>("expected");
    // d of the table before the read; a usable file without a Mono line keeps it.
    const QByteArray header = "  9809 test\n Mono : Si(311) D= 1.6375 A  Initial angle= 20 deg\n";
    const QList<QList<double>> rows = {{20.0, 20.01, 1.0, 5000, 7}, {19.5, 19.51, 2.0, 9000, 8},
                                       {19.0, 19.01, 0.5, 2000, 9}};
    const QList<Point> column3 = {{20.01, 1.0, 5000}, {19.51, 2.0, 9000}, {19.01, 0.5, 2000}};
    const QList<Point> column4 = {{20.01, 1.0, 7}, {19.51, 2.0, 8}, {19.01, 0.5, 9}};

    QTest::newRow("I0 in column 3") << scan(header + "Mode 0 0 1 3\nOffset 0 0 0 0\n", rows) << 1.6375 << column3;
    QTest::newRow("spacing kept") << scan("Mode 0 0 1 3\nOffset\n", rows) << 3.0 << column3;
    QTest::newRow("spacing glued to D=") << scan(" Mono : Si(311) D=1.6375\nMode 0 0 1\nOffset\n", rows)
                                         << 1.6375 << column3;
    QTest::newRow("unusable spacing") << scan(" Mono : D= -2 A\nMode 0 0 1\nOffset\n", rows) << 3.0 << column3;
    QTest::newRow("two code-1 columns") << scan(header + "Mode 0 0 1 1\nOffset\n", rows) << 1.6375 << column4;
    QTest::newRow("Mode codes after the I0") << scan("Mode 0 0 0 1 3 5\nOffset\n", rows) << 3.0 << column4;
    QTest::newRow("code 1 in column 2") << scan("Mode 0 1 0 0\nOffset\n", rows) << 3.0 << QList<Point>();
    QTest::newRow("code 1 in column 1") << scan("Mode 1 0\nOffset\n", rows) << 3.0 << QList<Point>();
    QTest::newRow("no code 1") << scan("Mode 0 0 3 3\nOffset\n", rows) << 3.0 << QList<Point>();
    QTest::newRow("Mode alone") << scan("Mode\nOffset\n", rows) << 3.0 << QList<Point>();
    QTest::newRow("lower-case mode") << scan("mode 0 0 1\nOffset\n", rows) << 3.0 << QList<Point>();
    QTest::newRow("no Mode line") << scan("Offset 0 0 1\n", rows) << 3.0 << QList<Point>();
    QTest::newRow("no Offset line") << scan("Mode 0 0 1\n", rows) << 3.0 << QList<Point>();
    QTest::newRow("one data line") << scan("Mode 0 0 1\nOffset\n", rows.mid(0, 1)) << 3.0 << QList<Point>();
    QTest::newRow("short lines skipped")
        << scan("Mode 0 0 0 1\nOffset\n", {{1, 20.01, 1, 5000}, {1, 20.01, 1, 5000, 4}, {1}, {}, {1, 19.01, 2, 0, 6}})
        << 3.0 << QList<Point>{{20.01, 1, 4}, {19.01, 2, 6}};
    QTest::newRow("header lines after Offset are data")
        << QByteArray("Mode 0 0 1\nOffset\nangle 20 two 8\n 1 19 2 4\n") << 3.0
        << QList<Point>{{20, 0, 8}, {19, 2, 4}};
    QTest::newRow("CRLF lines") << scan("Mode 0 0 1\r\nOffset\r\n", rows).replace("\n", "\r\n") << 3.0 << column3;
    QTest::newRow("end-of-file mark") << scan("Mode 0 0 1\nOffset\n", rows) + "\x1a\n" << 3.0 << column3;
    QTest::newRow("end-of-file mark in the header") << scan("Mode 0 0 1\n\x1aOffset\n", rows) << 3.0 << QList<Point>();
}

void TstXafsI0::writtenScans()
{
    QFETCH(QByteArray, text);
    QFETCH(double, d);
    QFETCH(QList<Point>, expected);
    const QString file = writeFile(text);
    XafsI0 table;
    table.setD(3.0);
    if (expected.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("No I0 table (Mode line with an I0 column, Offset line "
                                                            "and two data lines) in :  \"%1\"").arg(file)));
    QCOMPARE(table.read(file), !expected.isEmpty());
    QCOMPARE(table.isLoaded(), !expected.isEmpty());
    QCOMPARE(table.d(), expected.isEmpty() ? 3.0 : d);
    QCOMPARE(table.energies().size(), expected.size());
    QCOMPARE(table.i0s().size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const double e = braggEnergy(expected[i].theta, d);
        const double i0 = expected[i].count / expected[i].divisor;
        QVERIFY2(std::abs(table.energies()[i] - e) <= 1e-9 * e, qPrintable(QString::number(i)));
        QVERIFY2(table.i0s()[i] == i0 || (std::isinf(i0) && table.i0s()[i] == i0), qPrintable(QString::number(i)));
    }
}

void TstXafsI0::failuresKeepOrEmptyTheTable()
{
    XafsI0 table;
    QCOMPARE(table.d(), 3.13551);
    QVERIFY(!table.isLoaded());
    QCOMPARE(table.i0At(7000.0), 0.0);
    QVERIFY(table.read(writeFile(scan("Mode 0 0 1\nOffset\n", {{0, 20, 1, 10}, {0, 19, 1, 20}}))));

    const QString missing = dir->filePath("missing.dat");
    QTest::ignoreMessage(QtDebugMsg, qPrintable("Can't open :  \"" + missing + "\""));
    QVERIFY(!table.read(missing));
    QVERIFY(table.isLoaded());
    QCOMPARE(table.energies().size(), 2);

    // A file beyond the size limit is refused before it is read.
    const QString huge = writeFile("Mode 0 0 1\nOffset\n");
    QVERIFY(QFile::resize(huge, XafsI0::maxFileBytes + 1));
    QTest::ignoreMessage(QtDebugMsg, qPrintable("XAFS file too large :  \"" + huge + "\""));
    QVERIFY(!table.read(huge));
    QCOMPARE(table.energies().size(), 2);
    QVERIFY(QFile::resize(huge, XafsI0::maxFileBytes));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^No I0 table"));
    QVERIFY(!table.read(huge));
    QVERIFY(!table.isLoaded());
    QVERIFY(table.energies().isEmpty() && table.i0s().isEmpty());
}

void TstXafsI0::i0At_data()
{
    QTest::addColumn<QList<double>>("energies");
    QTest::addColumn<QList<double>>("i0s");
    QTest::addColumn<double>("energy");
    QTest::addColumn<double>("i0");
    const QList<double> e3 = {7000, 7100, 7200};
    const QList<double> i3 = {1, 2, 4};
    QTest::newRow("between") << e3 << i3 << 7150.0 << 3.0;
    QTest::newRow("above: last two points") << e3 << i3 << 7300.0 << 6.0;
    QTest::newRow("below: first two points") << e3 << i3 << 6900.0 << 0.0;
    QTest::newRow("first point") << e3 << i3 << 7000.0 << 1.0;
    QTest::newRow("inner point") << e3 << i3 << 7100.0 << 2.0;
    QTest::newRow("last point") << e3 << i3 << 7200.0 << 4.0;
    QTest::newRow("between the first two") << e3 << i3 << 7025.0 << 1.25;
    QTest::newRow("two points") << QList<double>{7000, 7100} << QList<double>{1, 3} << 7200.0 << 5.0;
    QTest::newRow("equal energies: their mean") << QList<double>{7000, 7000} << QList<double>{1, 3} << 7000.0 << 2.0;
}

void TstXafsI0::i0At()
{
    QFETCH(QList<double>, energies);
    QFETCH(QList<double>, i0s);
    QFETCH(double, energy);
    QFETCH(double, i0);
    const double d = 3.13551;
    QList<QList<double>> rows;
    for (int i = 0; i < energies.size(); ++i)
        rows.append({0, braggAngle(energies[i], d), 1.0, i0s[i]});
    XafsI0 table;
    QVERIFY(table.read(writeFile(scan("Mode 0 0 1\nOffset\n", rows))));
    QVERIFY(std::abs(table.i0At(energy) - i0) <= 1e-9);
}

QTEST_APPLESS_MAIN(TstXafsI0)
#include "tst_xafsi0.moc"
