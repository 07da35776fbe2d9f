#include "ColorBar.h"
#include "DrawText.h"
#include "MouseEvents.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

// The colour bar: handle picking and dragging, the range fields, "Fix", the auto-range
// rule, and what the bar paints.
class TestColorBar : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void initialState();
    void pressPicksNearerHandle_data();
    void pressPicksNearerHandle();
    void tieGrabsNothingButMovesStillEmit();
    void dragIsNotClamped();
    void movesWithoutButtonDoNothing();
    void releaseDropsHandle();
    void fieldEdits_data();
    void fieldEdits();
    void fixAndAutoRange();
    void setRangeFormatsFields();
    void paintsRampAndHandles();
    void invertedHandlesInvertRamp();
    void grabbedValueLabelShown();
    void fittedPointSize();

private:
    static int greyAt(const QImage &shot, int x, int y) { return qGray(shot.pixel(x, y)); }
    static int countColour(const QImage &shot, const QRect &area, const QColor &colour);
    ColorBar *bar = nullptr;
};

void TestColorBar::init()
{
    bar = new ColorBar;
    bar->resize(25, 400);
}

void TestColorBar::cleanup()
{
    delete bar;
    bar = nullptr;
}

int TestColorBar::countColour(const QImage &shot, const QRect &area, const QColor &colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += QColor(shot.pixel(x, y)) == colour;
    return n;
}

void TestColorBar::initialState()
{
    QCOMPARE(bar->minV(), 0.0);
    QCOMPARE(bar->maxV(), 1.0);
    QCOMPARE(bar->lowR(), 0.0);
    QCOMPARE(bar->highR(), 1.0);
    QVERIFY(!bar->isGrabbed());
    QCOMPARE(bar->minEdit()->text(), QString("0"));
    QCOMPARE(bar->maxEdit()->text(), QString("1"));
    QVERIFY(!bar->isFixed());
    QCOMPARE(bar->panelBase()->objectName(), QString("CBarUIBase"));
}

void TestColorBar::pressPicksNearerHandle_data()
{
    QTest::addColumn<int>("y");
    QTest::addColumn<double>("newY");
    QTest::addColumn<double>("expectLow");
    QTest::addColumn<double>("expectHigh");
    // H = 400: y = 40 is r = 0.9, nearer the upper handle; y = 360 is r = 0.1.
    QTest::newRow("upper") << 40 << 100.0 << 0.0 << 0.75;
    QTest::newRow("lower") << 360 << 300.0 << 0.25 << 1.0;
    QTest::newRow("just above middle") << 199 << 20.0 << 0.0 << 0.95;
}

void TestColorBar::pressPicksNearerHandle()
{
    QFETCH(int, y);
    QFETCH(double, newY);
    QFETCH(double, expectLow);
    QFETCH(double, expectHigh);
    QSignalSpy newBar(bar, &ColorBar::newBar);
    press(bar, QPointF(10, y), Qt::LeftButton);
    QVERIFY(bar->isGrabbed());
    QCOMPARE(newBar.count(), 0);
    moveTo(bar, QPointF(10, newY), Qt::LeftButton);
    QCOMPARE(newBar.count(), 1);
    QVERIFY(std::abs(bar->lowR() - expectLow) <= 1e-12);
    QVERIFY(std::abs(bar->highR() - expectHigh) <= 1e-12);
}

void TestColorBar::tieGrabsNothingButMovesStillEmit()
{
    QSignalSpy newBar(bar, &ColorBar::newBar);
    press(bar, QPointF(10, 200), Qt::RightButton);  // r = 0.5, equally far from both
    QVERIFY(!bar->isGrabbed());
    moveTo(bar, QPointF(10, 100), Qt::RightButton);
    moveTo(bar, QPointF(10, 300), Qt::RightButton);
    QCOMPARE(newBar.count(), 2);
    QCOMPARE(bar->lowR(), 0.0);
    QCOMPARE(bar->highR(), 1.0);
}

void TestColorBar::dragIsNotClamped()
{
    press(bar, QPointF(10, 390), Qt::LeftButton);
    moveTo(bar, QPointF(10, 500), Qt::LeftButton);
    QVERIFY(std::abs(bar->lowR() - (-0.25)) <= 1e-12);
    press(bar, QPointF(10, 5), Qt::LeftButton);
    moveTo(bar, QPointF(10, -200), Qt::LeftButton);
    QVERIFY(std::abs(bar->highR() - 1.5) <= 1e-12);
    // A handle dragged past the other one inverts the scale.
    press(bar, QPointF(10, 500), Qt::LeftButton);
    QVERIFY(bar->isGrabbed());
    moveTo(bar, QPointF(10, -400), Qt::LeftButton);
    QVERIFY(std::abs(bar->lowR() - 2.0) <= 1e-12);
    QCOMPARE(bar->colorIndex(0.0), 255);
}

void TestColorBar::movesWithoutButtonDoNothing()
{
    QSignalSpy newBar(bar, &ColorBar::newBar);
    moveTo(bar, QPointF(10, 100));
    QCOMPARE(newBar.count(), 0);
    QCOMPARE(bar->highR(), 1.0);
}

void TestColorBar::releaseDropsHandle()
{
    QSignalSpy newBar(bar, &ColorBar::newBar);
    press(bar, QPointF(10, 40), Qt::LeftButton);
    release(bar, QPointF(10, 40), Qt::LeftButton);
    QVERIFY(!bar->isGrabbed());
    QCOMPARE(newBar.count(), 0);
    moveTo(bar, QPointF(10, 100));
    QCOMPARE(bar->highR(), 1.0);
}

void TestColorBar::fieldEdits_data()
{
    QTest::addColumn<bool>("minField");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("min number") << true << "12.5" << 12.5;
    QTest::newRow("min letters") << true << "abc" << 0.0;
    QTest::newRow("min exponent") << true << "-1.5e3" << -1500.0;
    QTest::newRow("max number") << false << "4000" << 4000.0;
    QTest::newRow("max letters") << false << "1x2" << 0.0;
}

void TestColorBar::fieldEdits()
{
    QFETCH(bool, minField);
    QFETCH(QString, text);
    QFETCH(double, expected);
    bar->setRange(7, 9);
    QLineEdit *field = minField ? bar->minEdit() : bar->maxEdit();
    QSignalSpy newBar(bar, &ColorBar::newBar);
    field->setText(text);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(newBar.count(), 1);
    QCOMPARE(minField ? bar->minV() : bar->maxV(), expected);
    QCOMPARE(minField ? bar->maxV() : bar->minV(), minField ? 9.0 : 7.0);
    QCOMPARE(field->text(), text);
}

void TestColorBar::fixAndAutoRange()
{
    QSignalSpy newBar(bar, &ColorBar::newBar);
    bar->autoRange(100, 4000);
    QCOMPARE(bar->minV(), 100.0);
    QCOMPARE(bar->maxV(), 4000.0);
    QCOMPARE(bar->minEdit()->text(), QString("100"));
    QCOMPARE(bar->maxEdit()->text(), QString("4000"));

    bar->setFixColorScale(true);
    QVERIFY(bar->fixBox()->isChecked());
    bar->autoRange(-5, 5);
    QCOMPARE(bar->minV(), 100.0);
    QCOMPARE(bar->maxEdit()->text(), QString("4000"));

    bar->setFixColorScale(false);
    bar->autoRange(-5, 5);
    QCOMPARE(bar->minV(), -5.0);
    QCOMPARE(newBar.count(), 0);
}

void TestColorBar::setRangeFormatsFields()
{
    bar->setRange(0.000123456789, 4000.123456);
    QCOMPARE(bar->minEdit()->text(), QString("0.000123457"));
    QCOMPARE(bar->maxEdit()->text(), QString("4000.12"));
    QCOMPARE(bar->maxV(), 4000.123456);  // the value itself is not rounded
}

void TestColorBar::paintsRampAndHandles()
{
    bar->setHandles(0.25, 0.75);
    const QImage shot = bar->grab().toImage();
    // Rows between the labels: row y shows normalised value (H - 1 - y) / H.
    for (int y : {110, 150, 200, 250, 290}) {
        const int expected = bar->colorScale().windowLevel(double(400 - 1 - y) / 400);
        QCOMPARE(greyAt(shot, 12, y), expected);
    }
    // Handle lines across the whole width at trunc((1 - r) * H).
    const QColor handle(0, 192, 255);
    QCOMPARE(countColour(shot, QRect(0, 100, 25, 1), handle), 25);
    QCOMPARE(countColour(shot, QRect(0, 300, 25, 1), handle), 25);
    QCOMPARE(countColour(shot, QRect(0, 101, 25, 198), handle), 0);
}

void TestColorBar::invertedHandlesInvertRamp()
{
    bar->setHandles(1, 0);
    const QImage shot = bar->grab().toImage();
    QVERIFY(greyAt(shot, 12, 120) < greyAt(shot, 12, 280));
    QCOMPARE(greyAt(shot, 12, 200), 128);  // row 199 from the bottom: s = 128.64
}

void TestColorBar::grabbedValueLabelShown()
{
    const QColor label(0, 255, 192);
    const QRect middle(0, 105, 25, 190);
    bar->setRange(100, 4000);
    QCOMPARE(countColour(bar->grab().toImage(), middle, label), 0);
    QVERIFY(countColour(bar->grab().toImage(), QRect(0, 0, 25, 100), label) > 0);

    press(bar, QPointF(10, 40), Qt::LeftButton);
    QVERIFY(countColour(bar->grab().toImage(), middle, label) > 0);
    release(bar, QPointF(10, 40), Qt::LeftButton);
    QCOMPARE(countColour(bar->grab().toImage(), middle, label), 0);
}

void TestColorBar::fittedPointSize()
{
    const QFont font;
    const int flags = Qt::AlignLeft | Qt::AlignVCenter;
    // A long label in a narrow box shrinks; a short one in a large box is capped.
    QVERIFY(DrawText::fittedPointSize(font, flags, "123456789012", 20, 25, 10) < 10);
    QCOMPARE(DrawText::fittedPointSize(font, flags, "1", 500, 500, 10), 10.0);
    QVERIFY(DrawText::fittedPointSize(font, flags, "1", 500, 500, 0) > 10);
    QCOMPARE(DrawText::fittedPointSize(font, flags, "", 95, 25, 0), 10.0);
}

QTEST_MAIN(TestColorBar)
#include "tst_colorbar.moc"
