#include "ResultFiles.h"

#include <QtTest>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

namespace {

QByteArray printed(const char *format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    return QByteArray(line);
}

// The data file as C's stdio writes it, from the rule: header, then every pixel of the
// region that lies inside the image, z outer, x inner.
QByteArray referenceText(const std::vector<double> &image, int n, const CalcRegion &r)
{
    QByteArray text("#ZRVL-CTImg\n");
    text += printed("# Range_X0       : %g\n# Range_Y0       : %g\n", r.x0, r.z0);
    text += printed("# Range_X1       : %g\n# Range_Y1       : %g\n", r.x1, r.z1);
    text += printed("# sx,sy, ex,ey   : %g\t%g\t%g\t%g\n", r.x0, r.z0, r.x1, r.z1);
    for (int z = int(r.z0); z < r.z1; ++z)
        for (int x = int(r.x0); x < r.x1; ++x)
            if (x >= 0 && z >= 0 && x < n && z < n)
                text += printed("%d\t%d\t%g\n", x, z, image[size_t(z) * n + x]);
    return text;
}

QByteArray formatted(double v)
{
    QByteArray text;
    ResultFiles::appendReal(text, v);
    return text;
}

} // namespace

// Automatic file names and the data file's bytes.
class TestResultFiles : public QObject
{
    Q_OBJECT
private slots:
    void autoName_data();
    void autoName();
    void dataText_data();
    void dataText();
    void realsAsPrintf();
};

void TestResultFiles::autoName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("slice");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");
    QTest::newRow("image") << "ct" << "" << 12 << "png" << "ct-00012.png";
    QTest::newRow("data") << "ct" << "" << 12 << "dat" << "ct-00012.dat";
    QTest::newRow("tag") << "ct" << "E1" << 12 << "png" << "ct-E1-00012.png";
    QTest::newRow("suffix replaced") << "run.a" << "" << 12 << "png" << "run-00012.png";
    QTest::newRow("suffix kept through the tag") << "run.a" << "E1" << 12 << "dat" << "run-E1-00012.dat";
    QTest::newRow("directory dropped") << "sub/ct" << "a" << 7 << "png" << "ct-a-00007.png";
    QTest::newRow("six digits") << "ct" << "" << 123456 << "dat" << "ct-123456.dat";
    QTest::newRow("negative") << "ct" << "" << -3 << "dat" << "ct--0003.dat";
}

void TestResultFiles::autoName()
{
    QFETCH(QString, name);
    QFETCH(QString, tag);
    QFETCH(int, slice);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    QCOMPARE(ResultFiles::autoName(name, tag, slice, suffix), expected);
}

void TestResultFiles::dataText_data()
{
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("z0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("z1");
    QTest::addColumn<int>("pixelLines");
    QTest::newRow("(0,0)-(4,2)") << 0.0 << 0.0 << 4.0 << 2.0 << 8;
    QTest::newRow("bounds 0.5 and 3.5") << 0.5 << 0.5 << 3.5 << 3.5 << 16;
    QTest::newRow("larger than the image") << -2.7 << -1.0 << 9.0 << 7.5 << 36;
    QTest::newRow("beyond the image") << 6.0 << 0.0 << 9.0 << 3.0 << 0;
    QTest::newRow("empty in x") << 3.0 << 0.0 << 3.0 << 4.0 << 0;
    QTest::newRow("reversed in z") << 0.0 << 4.0 << 4.0 << 1.0 << 0;
    QTest::newRow("tiny bounds") << -1.23456789e-5 << 0.0 << 1.5e-7 << 1.0 << 1;
}

void TestResultFiles::dataText()
{
    QFETCH(double, x0);
    QFETCH(double, z0);
    QFETCH(double, x1);
    QFETCH(double, z1);
    QFETCH(int, pixelLines);
    // 6 x 6 values of every kind: negatives, tiny, huge, zeros and roundings up.
    const int n = 6;
    std::vector<double> image(n * n);
    for (int i = 0; i < n * n; ++i)
        image[size_t(i)] = (i % 3 == 0 ? -1.0 : 1.0) * std::pow(10.0, i - 18) * (9.999995 - i * 0.1);
    image[7] = 0.0;
    const CalcRegion region{x0, z0, x1, z1};
    const QByteArray text = ResultFiles::dataText(image.data(), n, region);
    QCOMPARE(text, referenceText(image, n, region));
    QCOMPARE(text.count('\n'), 6 + pixelLines);
    QVERIFY(!text.contains('\r'));
    // No image yet: the header alone.
    QCOMPARE(ResultFiles::dataText(nullptr, 0, region), referenceText({}, 0, region));
}

// Every value is written exactly as printf's %g writes it.
void TestResultFiles::realsAsPrintf()
{
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.5, 1234.57, 1234567.0, -2.5e-05, 1e-05, 0.0001,
                                  999999.0, 9999995.0, 999999.5, 0.000099999951, 123456.5, 100000.0, 1e100,
                                  -1e-300, 5e-324, std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::min(), std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 random(20261206);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-320, 310);
    std::uniform_int_distribution<int> integer(-3000000, 3000000);
    for (int k = 0; k < 100000; ++k) {
        values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
        values.push_back(integer(random));
        values.push_back(integer(random) / 64.0);
    }
    for (double v : values) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%g", v);
        if (formatted(v) != QByteArray(expected))
            QFAIL(qPrintable(QString("%1: %2 instead of %3").arg(v, 0, 'g', 17).arg(formatted(v), expected)));
    }
}

QTEST_GUILESS_MAIN(TestResultFiles)
#include "tst_resultfiles.moc"
