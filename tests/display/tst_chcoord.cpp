#include "ChCoord.h"

#include <QtTest>

#include <cmath>

// Screen/real conversion of the canvas, each axis on its own.
class TestChCoord : public QObject
{
    Q_OBJECT
private slots:
    void canvasExample();
    void roundTripAndLengths();
};

namespace {
bool near(double a, double b) { return std::abs(a - b) <= 1e-9; }
} // namespace

void TestChCoord::canvasExample()
{
    // A 400 x 200 canvas after a paint, with image-like real coordinates (y downward).
    ChCoord c;
    c.setScreen(0, 200, 400, 0);
    c.setRealCoord(0, 100, 200, 0);
    QVERIFY(near(c.toRealX(200), 100));
    QVERIFY(near(c.toRealY(50), 25));
    QVERIFY(near(c.toScreenX(100), 200));
    QVERIFY(near(c.toScreenY(25), 50));
}

void TestChCoord::roundTripAndLengths()
{
    // Offsets on both ends and different scales per axis, so that a swapped field shows.
    ChCoord c;
    c.setScreen(10, 300, 410, 20);
    c.setRealCoord(-5, 7, 95, -3);
    for (double s : {0.0, 123.25, -57.5}) {
        QVERIFY(near(c.toScreenX(c.toRealX(s)), s));
        QVERIFY(near(c.toScreenY(c.toRealY(s)), s));
    }
    QVERIFY(near(c.toRealX(10), -5) && near(c.toRealX(410), 95));
    QVERIFY(near(c.toRealY(300), 7) && near(c.toRealY(20), -3));
    QVERIFY(near(c.toScreenLenX(10), 40));
    QVERIFY(near(c.toScreenLenY(10), 280));
    c.setRealCoord(-5, -3, 95, 7);  // real y now grows upward: screen y falls
    QVERIFY(near(c.toScreenLenY(10), -280));
}

QTEST_APPLESS_MAIN(TestChCoord)
#include "tst_chcoord.moc"
