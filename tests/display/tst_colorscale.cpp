#include "ColorScale.h"

#include <QtTest>

#include <limits>

// The transfer function from data values to grey levels, without any widget.
class TestColorScale : public QObject
{
    Q_OBJECT
private slots:
    void colorIndex_data();
    void colorIndex();
};

void TestColorScale::colorIndex_data()
{
    QTest::addColumn<double>("minV");
    QTest::addColumn<double>("maxV");
    QTest::addColumn<double>("lowR");
    QTest::addColumn<double>("highR");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("grey");
    const double nan = std::numeric_limits<double>::quiet_NaN();

    QTest::newRow("initial, bottom") << 0.0 << 1.0 << 0.0 << 1.0 << 0.0 << 0;
    QTest::newRow("initial, middle") << 0.0 << 1.0 << 0.0 << 1.0 << 0.5 << 128;
    QTest::newRow("initial, top is 256 -> white") << 0.0 << 1.0 << 0.0 << 1.0 << 1.0 << 255;
    QTest::newRow("initial, top 1/256 already white") << 0.0 << 1.0 << 0.0 << 1.0 << 255.0 / 256 << 255;
    QTest::newRow("initial, truncated not rounded") << 0.0 << 1.0 << 0.0 << 1.0 << 0.99 << 253;
    QTest::newRow("100..4000, min") << 100.0 << 4000.0 << 0.0 << 1.0 << 100.0 << 0;
    QTest::newRow("100..4000, max") << 100.0 << 4000.0 << 0.0 << 1.0 << 4000.0 << 255;
    QTest::newRow("equal ends, above") << 5.0 << 5.0 << 0.0 << 1.0 << 6.0 << 255;
    QTest::newRow("equal ends, below") << 5.0 << 5.0 << 0.0 << 1.0 << 4.0 << 0;
    QTest::newRow("equal ends, equal") << 5.0 << 5.0 << 0.0 << 1.0 << 5.0 << 0;
    QTest::newRow("equal handles, above") << 0.0 << 1.0 << 0.5 << 0.5 << 0.6 << 255;
    QTest::newRow("equal handles, at") << 0.0 << 1.0 << 0.5 << 0.5 << 0.5 << 0;
    QTest::newRow("equal handles, below") << 0.0 << 1.0 << 0.5 << 0.5 << 0.4 << 0;
    QTest::newRow("inverted handles, bottom white") << 0.0 << 1.0 << 1.0 << 0.0 << 0.0 << 255;
    QTest::newRow("inverted handles, quarter") << 0.0 << 1.0 << 1.0 << 0.0 << 0.25 << 192;
    QTest::newRow("handles outside, wide window") << 0.0 << 1.0 << -1.0 << 2.0 << 0.0 << 85;
    QTest::newRow("handles outside, top") << 0.0 << 1.0 << -1.0 << 2.0 << 1.0 << 170;
    QTest::newRow("NaN is black") << 0.0 << 1.0 << 0.0 << 1.0 << nan << 0;
    QTest::newRow("NaN with equal handles") << 0.0 << 1.0 << 0.5 << 0.5 << nan << 0;
}

void TestColorScale::colorIndex()
{
    QFETCH(double, minV);
    QFETCH(double, maxV);
    QFETCH(double, lowR);
    QFETCH(double, highR);
    QFETCH(double, value);
    QFETCH(int, grey);
    ColorScale scale;
    scale.minV = minV;
    scale.maxV = maxV;
    scale.lowR = lowR;
    scale.highR = highR;
    QCOMPARE(scale.colorIndex(value), grey);
}

QTEST_APPLESS_MAIN(TestColorScale)
#include "tst_colorscale.moc"
