#include "SgmGeometry.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

// Resampling geometry around the centre of rotation, and lerp.
class TestSgmGeometry : public QObject
{
    Q_OBJECT
private slots:
    void geometry_data();
    void geometry();
    void lerpValues_data();
    void lerpValues();
    void resampleCentresOnCor_data();
    void resampleCentresOnCor();
};

void TestSgmGeometry::geometry_data()
{
    QTest::addColumn<int>("dim");
    QTest::addColumn<double>("cor");
    QTest::addColumn<int>("halfW");
    QTest::addColumn<int>("iCor");
    QTest::addColumn<double>("dCor");
    QTest::addColumn<int>("transformLength");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("cor 0.7") << 100 << 0.7 << 0 << 0 << 0.7 << 0;
    QTest::newRow("cor 10.5") << 100 << 10.5 << 10 << 10 << 0.5 << 18;
    QTest::newRow("cor 98.5 (far edge)") << 100 << 98.5 << 0 << 98 << 0.5 << 0;
    QTest::newRow("cor 97.5") << 100 << 97.5 << 1 << 97 << 0.5 << 0;
    QTest::newRow("integer cor 40") << 100 << 40.0 << 40 << 40 << 0.0 << 78;
    QTest::newRow("negative cor") << 100 << -3.25 << 0 << -4 << 0.75 << 0;
    QTest::newRow("cor beyond detector") << 100 << 1e12 << 0 << -1 << nan << 0;
    QTest::newRow("cor NaN") << 100 << nan << 0 << -1 << nan << 0;
    QTest::newRow("cor infinite") << 100 << HUGE_VAL << 0 << -1 << nan << 0;
}

void TestSgmGeometry::geometry()
{
    QFETCH(int, dim);
    QFETCH(double, cor);
    QFETCH(int, halfW);
    QFETCH(int, iCor);
    QFETCH(double, dCor);
    QFETCH(int, transformLength);

    const SgmGeometry g = SgmGeometry::compute(false, dim, cor);
    QCOMPARE(g.halfW, halfW);
    QCOMPARE(g.w, 2 * halfW - 1);
    QCOMPARE(g.transformLength(), transformLength);
    if (!std::isnan(dCor)) { // iCor is meaningless for centres far outside the detector
        QCOMPARE(g.iCor, iCor);
        QVERIFY(std::abs(g.dCor - dCor) <= 1e-12);
    }
}

void TestSgmGeometry::lerpValues_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("y0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("y1");
    QTest::addColumn<double>("expected");

    QTest::newRow("extrapolated") << 7.0 << 3.0 << 0.0 << 5.0 << 1.0 << 2.0;
    QTest::newRow("descending x") << 4.0 << 5.0 << 1.0 << 3.0 << 5.0 << 3.0;
    QTest::newRow("equal x gives mean") << 9.0 << 2.0 << 1.0 << 2.0 << 4.0 << 2.5;
}

void TestSgmGeometry::lerpValues()
{
    QFETCH(double, x);
    QFETCH(double, x0);
    QFETCH(double, y0);
    QFETCH(double, x1);
    QFETCH(double, y1);
    QFETCH(double, expected);
    QVERIFY(std::abs(lerp(x, x0, y0, x1, y1) - expected) <= 1e-12);
}

void TestSgmGeometry::resampleCentresOnCor_data()
{
    QTest::addColumn<int>("dim");
    QTest::addColumn<double>("cor");
    QTest::newRow("cor 10.5 of 100") << 100 << 10.5;
    QTest::newRow("cor 10.25 of 100") << 100 << 10.25;
    QTest::newRow("cor 60.75 of 100 (near far edge)") << 100 << 60.75;
    for (double cor : {1.5, 2.0, 17.25, 18.0})
        QTest::addRow("cor %g of 20", cor) << 20 << cor;
}

// A linear detector line comes back exactly, sample k at cor - (halfW - 1) + k. The line
// is NaN outside 1 ... dim - 1, the only indices the resampling may read.
void TestSgmGeometry::resampleCentresOnCor()
{
    QFETCH(int, dim);
    QFETCH(double, cor);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> line(size_t(dim) + 2, nan);
    double *detector = line.data() + 1; // detector[-1], [0] and [dim] are NaN
    for (int i = 1; i < dim; ++i)
        detector[i] = 3.0 * i + 2.0;
    const SgmGeometry g = SgmGeometry::compute(true, dim, cor);
    QVERIFY(g.halfW >= 1);
    std::vector<double> out(size_t(g.w), nan);
    resampleLine(detector, out.data(), g);
    for (int k = 0; k < g.w; ++k) {
        const double position = cor - (g.halfW - 1) + k;
        QVERIFY2(std::abs(out[size_t(k)] - (3.0 * position + 2.0)) <= 1e-9, qPrintable(QString::number(k)));
    }
    QVERIFY(std::abs(out[size_t(g.halfW - 1)] - (3.0 * cor + 2.0)) <= 1e-9);
}

QTEST_APPLESS_MAIN(TestSgmGeometry)
#include "tst_sgmgeometry.moc"
