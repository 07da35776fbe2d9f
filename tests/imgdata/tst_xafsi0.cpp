#include "I0ofImage.h"
#include "XafsI0.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {
const double pi = 3.1415926535; // as the scan software converts its angles
double bragg(double theta, double d) { return 12398.424360387684 / (2.0 * std::sin(theta * pi / 180.0) * d); }
}

// The XAFS I0 table (the real PF-BL9A scan, written scans against the Bragg formula,
// failures, interpolation) and the I0 panel that shows it.
class TstXafsI0 : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString writeFile(const QString &name, const QByteArray &text)
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? file.fileName() : QString();
    }

private slots:
    void realScan()
    {
        QFile real(qEnvironmentVariable("ZORVEL_REAL_DATA") + "/xafs/PF9A_2022.dat");
        if (!real.exists())
            QSKIP("real data not present");
        XafsI0 table;
        table.setD(1.0); // the file states its own spacing
        QVERIFY(table.read(real.fileName()));
        QCOMPARE(table.d(), 3.13551);
        QVERIFY(table.energies().size() == 1426 && table.i0s().size() == 1426);
        // First and last data lines: angle(c) angle(o) time/s I0 If
        QVERIFY(std::abs(table.energies().first() - bragg(17.41440, 3.13551)) <= 1e-6);
        QVERIFY(std::abs(table.energies().last() - bragg(13.93280, 3.13551)) <= 1e-6);
        QVERIFY(std::abs(table.energies().first() - 6606) <= 1.0 && std::abs(table.energies().last() - 8211) <= 1.0);
        QVERIFY(table.i0s().first() == 1792467.0 && table.i0s().last() == 2019824.0 / 3.0);
        // Ascending; the encoder reads one angle twice (data lines 94 and 95), hence >=.
        for (int i = 1; i < table.energies().size(); ++i)
            QVERIFY2(table.energies()[i] >= table.energies()[i - 1], qPrintable(QString::number(i)));
        // A DOS end-of-file mark (and anything after it) or trailing blank lines read the same.
        QVERIFY(real.open(QIODevice::ReadOnly));
        const QByteArray bytes = real.readAll();
        for (const char *tail : {"\x1a", "\x1a\n 1 2 3 4 5\n", "\n\n  \n"}) {
            XafsI0 again;
            QVERIFY(again.parse(bytes + tail, "again"));
            QVERIFY(again.energies() == table.energies() && again.i0s() == table.i0s());
        }
    }

    void writtenScans_data()
    {
        // Each data line is "- theta divisor c3 c4"; expected: (theta, I0) pairs.
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("d"); // 3 unless the file states one
        QTest::addColumn<QList<QPointF>>("points");
        const auto row = [](const char *name, const QByteArray &text, QList<QPointF> points = {}, double d = 3.0) {
            QTest::newRow(name) << text << d << points;
        };
        const QByteArray data = "Offset\n- 20 2 100 7\n- 19 0.5 200 8\n";
        const QList<QPointF> column3 = {{20, 50}, {19, 400}}, column4 = {{20, 3.5}, {19, 16}};
        row("I0 in column 3", "Mode 0 0 1 3\n" + data, column3);
        row("spacing stated", " Mono : Si(311) D= 1.6375 A\nMode 0 0 1\n" + data, column3, 1.6375);
        row("spacing glued to D=", " Mono : D=1.6375\nMode 0 0 1\n" + data, column3, 1.6375);
        row("unusable spacing", " Mono : D= -2 A\nMode 0 0 1\n" + data, column3);
        row("two code-1 columns", "Mode 0 0 1 1\n" + data, column4);
        row("code 1 in column 2", "Mode 0 1 0 0\n" + data);
        row("no code 1", "Mode 0 0 3 3\n" + data);
        row("lower-case mode", "mode 0 0 1\n" + data);
        row("no Mode line", data);
        row("no Offset line", "Mode 0 0 1\n- 20 2 100 7\n- 19 0.5 200 8\n");
        row("one data line", "Mode 0 0 1\nOffset\n- 20 2 100\n");
        row("short lines skipped", "Mode 0 0 0 1\n" + data + "- 18 1 5\n\n-\n", column4);
        row("header text after Offset is data", "Mode 0 0 1\n" + data + "angle 21 x 9\n", column3 + QList<QPointF>{{21, qInf()}});
        row("CRLF", QByteArray("Mode 0 0 1\n" + data).replace("\n", "\r\n"), column3);
        row("end-of-file mark", "Mode 0 0 1\n" + data + "\x1a\n", column3);
        row("end-of-file mark in the header", "Mode 0 0 1\n\x1a" + data);
    }
    void writtenScans()
    {
        QFETCH(QByteArray, text);
        QFETCH(double, d);
        QFETCH(QList<QPointF>, points);
        XafsI0 table;
        table.setD(3.0);
        if (points.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, "No I0 table (Mode line with an I0 column, Offset line and two data lines) "
                                             "in :  \"scan\"");
        QCOMPARE(table.parse(text, "scan"), !points.isEmpty());
        QCOMPARE(table.isLoaded(), !points.isEmpty());
        QCOMPARE(table.d(), points.isEmpty() ? 3.0 : d);
        QVERIFY(table.energies().size() == points.size() && table.i0s().size() == points.size());
        for (int i = 0; i < points.size(); ++i) {
            QVERIFY(std::abs(table.energies()[i] / bragg(points[i].x(), d) - 1.0) <= 1e-9);
            QCOMPARE(table.i0s()[i], points[i].y());
        }
    }

    // Unopenable or too large: the table read before stays.
    void failures()
    {
        XafsI0 table;
        QCOMPARE(table.i0At(7000.0), 0.0);
        QVERIFY(table.read(writeFile("two.dat", "Mode 0 0 1\nOffset\n- 20 1 10\n- 19 1 20\n")));
        const QString missing = dir.filePath("missing.dat");
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Can't open :  \"" + missing + "\""));
        QVERIFY(!table.read(missing));
        const QString huge = writeFile("huge.dat", "Mode 0 0 1\nOffset\n");
        QVERIFY(QFile::resize(huge, XafsI0::maxFileBytes + 1));
        QTest::ignoreMessage(QtDebugMsg, qPrintable("XAFS file too large :  \"" + huge + "\""));
        QVERIFY(!table.read(huge));
        QVERIFY(table.isLoaded() && table.energies().size() == 2);
        QVERIFY(QFile::resize(huge, XafsI0::maxFileBytes));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^No I0 table"));
        QVERIFY(!table.read(huge));
        QVERIFY(!table.isLoaded() && table.energies().isEmpty() && table.i0s().isEmpty());
    }

    // Linear through the two points around the energy, the end pairs extended beyond them;
    // equal energies give their mean.
    void i0At()
    {
        const auto scan = [](std::initializer_list<std::pair<double, double>> points) {
            QByteArray text = "Mode 0 0 1\nOffset\n";
            for (const auto &[energy, i0] : points) {
                const double theta = std::asin(12398.424360387684 / (2.0 * 3.13551 * energy)) * 180 / pi;
                text += "- " + QByteArray::number(theta, 'g', 17) + " 1 " + QByteArray::number(i0) + "\n";
            }
            XafsI0 table;
            table.parse(text, "scan");
            return table;
        };
        const XafsI0 three = scan({{7000, 1}, {7100, 2}, {7200, 4}});
        for (const auto &[energy, i0] : {std::pair{7150.0, 3.0}, {7300.0, 6.0}, {6900.0, 0.0}, {7025.0, 1.25}, {7100.0, 2.0}})
            QVERIFY2(std::abs(three.i0At(energy) - i0) <= 1e-9, qPrintable(QString::number(energy)));
        QVERIFY(std::abs(scan({{7000, 1}, {7000, 3}}).i0At(7000) - 2.0) <= 1e-9);
    }

    // The panel: a fixed value, or the table at the data set's energy.
    void panelFixedValueOrTable()
    {
        const QString scan = writeFile("scan.dat", " Mono : D= 1.6375 A\nMode 0 0 1\nOffset\n 20 20 2 100\n 19 19 2 300\n");
        I0ofImage panel;
        QCOMPARE(panel.CurrentI0->text(), QString("1")); // the fixed value, "1.0"
        panel.setEnergy((bragg(20, 1.6375) + bragg(19, 1.6375)) / 2.0); // I0 there: (50 + 150) / 2
        panel.XafsFile->fileSelected0(scan);
        QCOMPARE(panel.XafsFile->FilePath->styleSheet(), QString("background-color: rgb(211, 255, 241);"));
        QCOMPARE(panel.CurrentI0->text(), QString("1")); // until XAFS is chosen
        panel.CalcFromXAFS->setChecked(true);
        QCOMPARE(panel.CurrentI0->text(), QString("100"));
        panel.setEnergy(bragg(19, 1.6375));
        QCOMPARE(panel.CurrentI0->text(), QString("150"));
        // An unreadable file turns the field red and keeps the table; a file without a
        // table empties it; a cleared selection falls back to the fixed value.
        panel.I0Val->setText("2.5");
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Can't open :  \"" + dir.filePath("missing.dat") + "\""));
        panel.XafsFile->fileSelected0(dir.filePath("missing.dat"));
        QCOMPARE(panel.XafsFile->FilePath->styleSheet(), QString("background-color: rgb(255, 192, 192);"));
        QCOMPARE(panel.CurrentI0->text(), QString("150"));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^No I0 table"));
        panel.XafsFile->fileSelected0(writeFile("empty.dat", ""));
        QCOMPARE(panel.CurrentI0->text(), QString("2.5"));
        panel.XafsFile->fileSelected0(scan);
        QCOMPARE(panel.i0At(bragg(19, 1.6375)), 150.0);
        panel.XafsFile->clear0();
        QVERIFY(!panel.xafsI0().isLoaded() && panel.xafsI0().d() == 1.6375); // the crystal stays
        QCOMPARE(panel.CurrentI0->text(), QString("2.5"));
    }
};

QTEST_MAIN(TstXafsI0)
#include "tst_xafsi0.moc"
