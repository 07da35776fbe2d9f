#include "ChCoord.h"
#include "ViewTransform.h"

#include <QtTest>

#include <cmath>

// Screen/real conversion of the canvas and the geometry of an image view.
class TestChCoord : public QObject
{
    Q_OBJECT
private slots:
    void canvasExample();
    void roundTrip_data();
    void roundTrip();
    void invertedAxisLength();
    void viewMatchesConverter();
    void zoomKeepsPointUnderPointer_data();
    void zoomKeepsPointUnderPointer();
    void zoomExamples();
    void panFollowsPointer();
    void savedPixelsTruncate();
};

namespace {
bool near(double a, double b, double tol = 1e-9) { return std::abs(a - b) <= tol; }
} // namespace

void TestChCoord::canvasExample()
{
    // A 400 x 200 canvas after a paint, with image-like real coordinates.
    ChCoord c;
    c.setScreen(0, 200, 400, 0);
    c.setRealCoord(0, 100, 200, 0);
    QVERIFY(near(c.toRealX(200), 100));
    QVERIFY(near(c.toRealY(50), 25));
    QVERIFY(near(c.toScreenX(100), 200));
    QVERIFY(near(c.toScreenY(25), 50));
}

void TestChCoord::roundTrip_data()
{
    QTest::addColumn<double>("s");
    QTest::newRow("origin") << 0.0;
    QTest::newRow("inside") << 123.25;
    QTest::newRow("outside") << -57.5;
}

void TestChCoord::roundTrip()
{
    QFETCH(double, s);
    ChCoord c;
    c.setScreen(10, 300, 410, 20);
    c.setRealCoord(-5, 7, 95, -3);
    QVERIFY(near(c.toScreenX(c.toRealX(s)), s));
    QVERIFY(near(c.toScreenY(c.toRealY(s)), s));
}

void TestChCoord::invertedAxisLength()
{
    ChCoord c;
    c.setScreen(0, 200, 400, 0);
    c.setRealCoord(0, 0, 100, 50);  // real y grows upward: screen y falls
    QVERIFY(near(c.toScreenLenX(10), 40));
    QVERIFY(near(c.toScreenLenY(10), -40));
}

void TestChCoord::viewMatchesConverter()
{
    // The view's own maths agrees with the converter set up the way views apply it.
    const QRectF view(12.5, -30, 640, 2);
    ChCoord c;
    c.setScreen(0, 300, 500, 0);
    c.setRealCoord(view.x(), view.y() + view.height(), view.x() + view.width(), view.y());
    const ViewTransform t(view, QSizeF(500, 300));
    for (double s : {0.0, 1.0, 250.0, 499.0, 731.0}) {
        QVERIFY(near(t.toImageX(s), c.toRealX(s)));
        QVERIFY(near(t.toImageY(s), c.toRealY(s)));
    }
}

void TestChCoord::zoomKeepsPointUnderPointer_data()
{
    QTest::addColumn<double>("px");
    QTest::addColumn<double>("py");
    QTest::addColumn<double>("factor");
    QTest::newRow("centre, in") << 256.0 << 256.0 << 1 / 1.1;
    QTest::newRow("corner, out") << 0.0 << 0.0 << 1.1;
    QTest::newRow("off-centre, in") << 100.0 << 400.0 << 1 / 1.1;
    QTest::newRow("far corner, out") << 511.0 << 511.0 << 1.1;
}

void TestChCoord::zoomKeepsPointUnderPointer()
{
    QFETCH(double, px);
    QFETCH(double, py);
    QFETCH(double, factor);
    const ViewTransform before(QRectF(100, 50, 1024, 512), QSizeF(512, 512));
    const ViewTransform after(before.zoomedAbout(px, py, factor), before.canvas);
    QVERIFY(near(after.toImageX(px), before.toImageX(px), 1e-9));
    QVERIFY(near(after.toImageY(py), before.toImageY(py), 1e-9));
    QVERIFY(near(after.view.width(), 1024 * factor));
    QVERIFY(near(after.view.height(), 512 * factor));
}

void TestChCoord::zoomExamples()
{
    const ViewTransform whole(ViewTransform::wholeImage(2048, 2048), QSizeF(512, 512));
    const QRectF in = whole.zoomedAbout(256, 256, 1 / 1.1);
    QVERIFY(near(in.center().x(), 1024) && near(in.center().y(), 1024));
    QVERIFY(near(in.width(), 2048 / 1.1));
    const QRectF out = whole.zoomedAbout(0, 0, 1.1);
    QVERIFY(near(out.x(), 0) && near(out.y(), 0));
    QVERIFY(near(out.width(), 2048 * 1.1) && near(out.height(), 2048 * 1.1));
}

void TestChCoord::panFollowsPointer()
{
    // Four image pixels per canvas pixel: dragging right by 50 moves the view left by 200.
    const ViewTransform t(QRectF(0, 0, 2048, 1024), QSizeF(512, 512));
    const QRectF moved = t.pannedBy(100, 100, 150, 120);
    QVERIFY(near(moved.x(), -200) && near(moved.y(), -40));
    QCOMPARE(moved.size(), t.view.size());
}

void TestChCoord::savedPixelsTruncate()
{
    QCOMPARE(ViewTransform::savedPixels(QRectF(10.7, 20.2, 100.9, 50.5)), QRect(10, 20, 100, 50));
    QCOMPARE(ViewTransform::savedPixels(QRectF(-3.7, 0, 8.2, 4)), QRect(-3, 0, 8, 4));
}

QTEST_APPLESS_MAIN(TestChCoord)
#include "tst_chcoord.moc"
