#include "ViewTransform.h"

#include <QtTest>

#include <cmath>

// The view geometry alone, a plain value type: no application object is made.
class TestViewTransform : public QObject
{
    Q_OBJECT
private slots:
    void squarePixels_data()
    {
        QTest::addColumn<QRectF>("view");
        QTest::addColumn<QSizeF>("canvas");
        QTest::newRow("square slice, tall canvas") << QRectF(0, 0, 256, 256) << QSizeF(300, 600);
        QTest::newRow("square slice, wide canvas") << QRectF(0, 0, 256, 256) << QSizeF(640, 200);
        QTest::newRow("zoomed, off-centre") << QRectF(-10.5, 30.25, 40, 90) << QSizeF(517, 233);
        QTest::newRow("already fitting") << QRectF(5, 5, 100, 50) << QSizeF(400, 200);
    }
    // Pixels come out square, the centre stays, the asked part is all still shown, and
    // only one axis grows.
    void squarePixels()
    {
        QFETCH(QRectF, view);
        QFETCH(QSizeF, canvas);
        const ViewTransform t(ViewTransform::withAspectOf(view, canvas), canvas);
        const double pixelW = canvas.width() / t.view.width();
        const double pixelH = canvas.height() / t.view.height();
        QVERIFY(std::abs(pixelW - pixelH) <= 1e-9 * pixelW);
        QVERIFY(std::abs(t.view.center().x() - view.center().x()) <= 1e-9);
        QVERIFY(std::abs(t.view.center().y() - view.center().y()) <= 1e-9);
        QVERIFY(t.view.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(view));
        QVERIFY(t.view.width() == view.width() || t.view.height() == view.height());
        // The asked part lands where the canvas's own inverse mapping puts it.
        const QRectF drawn = t.canvasRectOf(view);
        QVERIFY(std::abs(t.toImageX(drawn.left()) - view.left()) <= 1e-9);
        QVERIFY(std::abs(t.toImageY(drawn.bottom()) - view.bottom()) <= 1e-9);
        QVERIFY(std::abs(drawn.width() / drawn.height() - view.width() / view.height()) <= 1e-9);
    }
    void emptyViewOrCanvasUnchanged()
    {
        const QRectF view(1, 2, 30, 40);
        QCOMPARE(ViewTransform::withAspectOf(view, QSizeF(0, 100)), view);
        QCOMPARE(ViewTransform::withAspectOf(QRectF(1, 2, 0, 40), QSizeF(10, 10)), QRectF(1, 2, 0, 40));
    }
};

QTEST_APPLESS_MAIN(TestViewTransform)
#include "tst_viewtransform.moc"
