#include "HSgm.h"
#include "SgmGeometry.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

// Resampling geometry around the centre of rotation, lerp and the sinogram record.
class TestSgmGeometry : public QObject
{
    Q_OBJECT
private slots:
    void geometry_data();
    void geometry();
    void nonFiniteCentreBuildsNothing();
    void lerpValues_data();
    void lerpValues();
    void resampleCentresOnCor_data();
    void resampleCentresOnCor();
    void resampleIntegerCorCopiesPixels();
    void resampleReadsOnlyInsideDetector_data();
    void resampleReadsOnlyInsideDetector();
    void hsgmResize();
};

void TestSgmGeometry::geometry_data()
{
    QTest::addColumn<int>("dim");
    QTest::addColumn<double>("cor");
    QTest::addColumn<int>("halfW");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("iCor");
    QTest::addColumn<double>("dCor");
    QTest::addColumn<int>("transformLength");

    QTest::newRow("cor 0.7") << 100 << 0.7 << 0 << -1 << 0 << 0.7 << 0;
    QTest::newRow("cor 10.5") << 100 << 10.5 << 10 << 19 << 10 << 0.5 << 18;
    QTest::newRow("cor 98.5 (far edge)") << 100 << 98.5 << 0 << -1 << 98 << 0.5 << 0;
    QTest::newRow("cor 97.5") << 100 << 97.5 << 1 << 1 << 97 << 0.5 << 0;
    QTest::newRow("integer cor 40") << 100 << 40.0 << 40 << 79 << 40 << 0.0 << 78;
    QTest::newRow("centred 49.5") << 100 << 49.5 << 49 << 97 << 49 << 0.5 << 96;
    QTest::newRow("negative cor") << 100 << -3.25 << 0 << -1 << -4 << 0.75 << 0;
    QTest::newRow("cor beyond detector") << 100 << 1e12 << 0 << -1 << 0 << 0.0 << 0;
    QTest::newRow("tooth 295.5 of 640") << 640 << 295.5 << 295 << 589 << 295 << 0.5 << 588;
}

void TestSgmGeometry::geometry()
{
    QFETCH(int, dim);
    QFETCH(double, cor);
    QFETCH(int, halfW);
    QFETCH(int, w);
    QFETCH(int, iCor);
    QFETCH(double, dCor);
    QFETCH(int, transformLength);

    const SgmGeometry g = SgmGeometry::compute(false, dim, cor);
    QCOMPARE(g.rotAxIsV, false);
    QCOMPARE(g.cor, cor);
    QCOMPARE(g.halfW, halfW);
    QCOMPARE(g.w, w);
    QCOMPARE(g.transformLength(), transformLength);
    if (std::abs(cor) < 1e9) {
        QCOMPARE(g.iCor, iCor);
        QVERIFY(std::abs(g.dCor - dCor) <= 1e-12);
    }
}

void TestSgmGeometry::nonFiniteCentreBuildsNothing()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double cor : {nan, inf, -inf}) {
        const SgmGeometry g = SgmGeometry::compute(true, 100, cor);
        QCOMPARE(g.halfW, 0);
        QCOMPARE(g.transformLength(), 0);
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

    QTest::newRow("midpoint") << 10.5 << 10.0 << 4.0 << 11.0 << 8.0 << 6.0;
    QTest::newRow("at x0") << 3.0 << 3.0 << -2.0 << 5.0 << 7.0 << -2.0;
    QTest::newRow("at x1") << 5.0 << 3.0 << -2.0 << 5.0 << 7.0 << 7.0;
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
    QTest::newRow("cor 10.5") << 100 << 10.5;
    QTest::newRow("cor 10.25") << 100 << 10.25;
    QTest::newRow("cor 60.75 (near far edge)") << 100 << 60.75;
}

// A linear detector line is reproduced exactly: sample k lies at cor - (halfW - 1) + k.
void TestSgmGeometry::resampleCentresOnCor()
{
    QFETCH(int, dim);
    QFETCH(double, cor);
    std::vector<double> line(static_cast<size_t>(dim));
    for (int i = 0; i < dim; ++i)
        line[size_t(i)] = 3.0 * i + 2.0;
    const SgmGeometry g = SgmGeometry::compute(true, dim, cor);
    QVERIFY(g.w > 0);
    std::vector<double> out(size_t(g.w), std::numeric_limits<double>::quiet_NaN());
    resampleLine(line.data(), out.data(), g);
    for (int k = 0; k < g.w; ++k) {
        const double position = cor - (g.halfW - 1) + k;
        QVERIFY2(std::abs(out[size_t(k)] - (3.0 * position + 2.0)) <= 1e-9, qPrintable(QString::number(k)));
    }
    QVERIFY(std::abs(out[size_t(g.halfW - 1)] - (3.0 * cor + 2.0)) <= 1e-9);
}

void TestSgmGeometry::resampleIntegerCorCopiesPixels()
{
    std::vector<double> line(50);
    for (int i = 0; i < 50; ++i)
        line[size_t(i)] = std::sin(i * 0.37) * 1000.0;
    const SgmGeometry g = SgmGeometry::compute(true, 50, 20.0);
    QCOMPARE(g.w, 39);
    std::vector<double> out(static_cast<size_t>(g.w));
    resampleLine(line.data(), out.data(), g);
    for (int k = 0; k < g.w; ++k)
        QCOMPARE(out[size_t(k)], line[size_t(20 - (g.halfW - 1) + k)]);
}

void TestSgmGeometry::resampleReadsOnlyInsideDetector_data()
{
    QTest::addColumn<double>("cor");
    for (double cor : {1.5, 2.0, 5.5, 10.0, 17.25, 17.5, 18.0})
        QTest::newRow(qPrintable(QString::number(cor))) << cor;
}

// Every read index lies in 1 ... dim - 1: values outside are NaN and must not show up.
void TestSgmGeometry::resampleReadsOnlyInsideDetector()
{
    QFETCH(double, cor);
    const int dim = 20;
    std::vector<double> line(size_t(dim + 2), std::numeric_limits<double>::quiet_NaN());
    double *detector = line.data() + 1; // line[0] and line[dim + 1] lie outside
    for (int i = 1; i < dim; ++i)
        detector[i] = i;
    const SgmGeometry g = SgmGeometry::compute(true, dim, cor);
    QVERIFY(g.halfW >= 1);
    std::vector<double> out(static_cast<size_t>(g.w));
    resampleLine(detector, out.data(), g);
    for (double v : out)
        QVERIFY(std::isfinite(v));
}

void TestSgmGeometry::hsgmResize()
{
    HSgm record;
    QVERIFY(!record.sgm && !record.rawSgm);
    QCOMPARE(record.w, 0);
    QCOMPARE(record.h, 0);
    record.resize(19, 4);
    QVERIFY(record.sgm && record.rawSgm && record.sgm != record.rawSgm);
    record.sgm[19 * 4 - 1] = 1.0;
    record.rawSgm[19 * 4 - 1] = 2.0;
    record.resize(19, 0);
    QCOMPARE(record.w, 19);
    QCOMPARE(record.h, 0);
    QVERIFY(!record.sgm && !record.rawSgm);
    record.resize(-3, 5);
    QCOMPARE(record.w, 0);
    QVERIFY(!record.sgm);
}

QTEST_APPLESS_MAIN(TestSgmGeometry)
#include "tst_sgmgeometry.moc"
