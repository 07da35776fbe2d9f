#include "ColorBar.h"
#include "DrawText.h"
#include "MouseEvents.h"
#include "WidgetChecks.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

// The colour bar: handle picking and dragging, the range fields, "Fix", the auto-range
// rule, and what the bar paints.
class TestColorBar : public QObject
{
    Q_OBJECT
private slots:
    void init() { bar.reset(new ColorBar); bar->resize(25, 400); }
    void colorIndex_data();
    void colorIndex();
    void handleDrag_data();
    void handleDrag();
    void fieldEdits_data();
    void fieldEdits();
    void fixAndAutoRange();
    void paintsRampHandlesAndLabels();
    void fittedPointSize();

private:
    static int countColour(const QImage &shot, const QRect &area, const QColor &colour);
    std::unique_ptr<ColorBar> bar;
};

int TestColorBar::countColour(const QImage &shot, const QRect &area, const QColor &colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += QColor(shot.pixel(x, y)) == colour;
    return n;
}

void TestColorBar::colorIndex_data()
{
    QTest::addColumn<double>("minV");
    QTest::addColumn<double>("maxV");
    QTest::addColumn<double>("lowR");
    QTest::addColumn<double>("highR");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("grey");
    const double nan = std::numeric_limits<double>::quiet_NaN();

    QTest::newRow("initial, middle") << 0.0 << 1.0 << 0.0 << 1.0 << 0.5 << 128;
    QTest::newRow("initial, top is 256 -> white") << 0.0 << 1.0 << 0.0 << 1.0 << 1.0 << 255;
    QTest::newRow("initial, truncated not rounded") << 0.0 << 1.0 << 0.0 << 1.0 << 0.99 << 253;
    QTest::newRow("equal ends, above") << 5.0 << 5.0 << 0.0 << 1.0 << 6.0 << 255;
    QTest::newRow("equal ends, equal") << 5.0 << 5.0 << 0.0 << 1.0 << 5.0 << 0;
    QTest::newRow("equal handles, at") << 0.0 << 1.0 << 0.5 << 0.5 << 0.5 << 0;
    QTest::newRow("inverted handles, quarter") << 0.0 << 1.0 << 1.0 << 0.0 << 0.25 << 192;
    QTest::newRow("handles outside, wide window") << 0.0 << 1.0 << -1.0 << 2.0 << 0.0 << 85;
    QTest::newRow("NaN is black") << 0.0 << 1.0 << 0.0 << 1.0 << nan << 0;
}

void TestColorBar::colorIndex()
{
    QFETCH(double, minV);
    QFETCH(double, maxV);
    QFETCH(double, lowR);
    QFETCH(double, highR);
    QFETCH(double, value);
    QFETCH(int, grey);
    bar->setRange(minV, maxV);
    bar->setHandles(lowR, highR);
    QCOMPARE(bar->colorIndex(value), grey);
}

void TestColorBar::handleDrag_data()
{
    // H = 400: a press at y is r = (400 - y) / 400.
    QTest::addColumn<double>("startHandles");  // both at this value; -1: at 0 and 1
    QTest::addColumn<int>("pressY");  // -1: no press
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("moveY");
    QTest::addColumn<bool>("grabbed");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<int>("newBars");
    const int left = Qt::LeftButton;
    QTest::newRow("upper") << -1.0 << 40 << left << 100 << true << 0.0 << 0.75 << 1;
    QTest::newRow("lower") << -1.0 << 360 << left << 300 << true << 0.25 << 1.0 << 1;
    QTest::newRow("tie grabs nothing, moves still emit")
        << -1.0 << 200 << int(Qt::RightButton) << 100 << false << 0.0 << 1.0 << 1;
    QTest::newRow("below the bar, not clamped") << -1.0 << 390 << left << 500 << true << -0.25 << 1.0 << 1;
    QTest::newRow("past the other handle") << -1.0 << 390 << left << -400 << true << 2.0 << 1.0 << 1;
    // Coinciding handles: above them the upper one, on or below them the lower one.
    QTest::newRow("coinciding, press above") << 0.5 << 100 << left << 40 << true << 0.5 << 0.9 << 1;
    QTest::newRow("coinciding, press on") << 0.5 << 200 << left << 300 << true << 0.25 << 0.5 << 1;
    QTest::newRow("coinciding, press below") << 0.5 << 300 << left << 360 << true << 0.1 << 0.5 << 1;
    QTest::newRow("no button held") << -1.0 << -1 << left << 100 << false << 0.0 << 1.0 << 0;
}

void TestColorBar::handleDrag()
{
    QFETCH(double, startHandles);
    QFETCH(int, pressY);
    QFETCH(int, button);
    QFETCH(int, moveY);
    QFETCH(bool, grabbed);
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(int, newBars);
    if (startHandles >= 0)
        bar->setHandles(startHandles, startHandles);
    QSignalSpy newBar(bar.get(), &ColorBar::newBar);
    const Qt::MouseButton b = Qt::MouseButton(button);
    if (pressY >= 0)
        press(bar.get(), QPointF(10, pressY), b);
    QCOMPARE(bar->isGrabbed(), grabbed);
    QCOMPARE(newBar.count(), 0);
    moveTo(bar.get(), QPointF(10, moveY), pressY >= 0 ? b : Qt::NoButton);
    QCOMPARE(newBar.count(), newBars);
    QVERIFY(std::abs(bar->lowR() - low) <= 1e-12);
    QVERIFY(std::abs(bar->highR() - high) <= 1e-12);

    // A release drops the handle silently; later moves without a button change nothing.
    release(bar.get(), QPointF(10, moveY), b);
    moveTo(bar.get(), QPointF(10, 250));
    QVERIFY(!bar->isGrabbed());
    QCOMPARE(newBar.count(), newBars);
    QVERIFY(std::abs(bar->lowR() - low) <= 1e-12);
}

void TestColorBar::fieldEdits_data()
{
    QTest::addColumn<bool>("minField");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("min number") << true << "-1.5e3" << -1500.0;
    QTest::newRow("max letters") << false << "1x2" << 0.0;
    QTest::newRow("max not finite") << false << "inf" << 0.0;
}

void TestColorBar::fieldEdits()
{
    QFETCH(bool, minField);
    QFETCH(QString, text);
    QFETCH(double, expected);
    bar->setRange(7, 9);
    QLineEdit *field = minField ? bar->minEdit() : bar->maxEdit();
    QSignalSpy newBar(bar.get(), &ColorBar::newBar);
    field->setText(text);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(newBar.count(), 1);
    QCOMPARE(minField ? bar->minV() : bar->maxV(), expected);
    QCOMPARE(minField ? bar->maxV() : bar->minV(), minField ? 9.0 : 7.0);
    QCOMPARE(field->text(), text);
}

void TestColorBar::fixAndAutoRange()
{
    QSignalSpy newBar(bar.get(), &ColorBar::newBar);
    bar->autoRange(0.000123456789, 4000.123456);
    QCOMPARE(bar->minEdit()->text(), QString("0.000123457"));
    QCOMPARE(bar->maxEdit()->text(), QString("4000.12"));
    QCOMPARE(bar->maxV(), 4000.123456);  // the value itself is not rounded

    bar->setFixColorScale(true);
    bar->autoRange(-5, 5);
    QCOMPARE(bar->maxV(), 4000.123456);
    QCOMPARE(bar->minEdit()->text(), QString("0.000123457"));

    bar->setFixColorScale(false);
    bar->autoRange(-5, 5);
    QCOMPARE(bar->minV(), -5.0);
    QCOMPARE(bar->maxEdit()->text(), QString("5"));
    QCOMPARE(newBar.count(), 0);
}

void TestColorBar::paintsRampHandlesAndLabels()
{
    bar->setRange(100, 4000);
    bar->setHandles(0.25, 0.75);
    QCOMPARE(bar->colorScale().valueAt(0.25), 1075.0);  // what the grabbed lower handle reads
    const QImage shot = bar->grab().toImage();
    // Between the labels row y shows normalised value (H - 1 - y) / H: black up to the
    // lower handle, then s = (f - 0.25) * 512 truncated, white from the upper handle.
    const QList<int> rows = {299, 298, 200, 150, 99};
    QList<int> greys;
    for (int y : rows)
        greys << qGray(shot.pixel(12, y));
    QCOMPARE(greys, QList<int>({0, 1, 126, 190, 255}));
    // Handle lines across the whole width at trunc((1 - r) * H).
    const QColor handle(0, 192, 255);
    QCOMPARE(countColour(shot, QRect(0, 100, 25, 1), handle), 25);
    QCOMPARE(countColour(shot, QRect(0, 300, 25, 1), handle), 25);
    QCOMPARE(countColour(shot, QRect(0, 101, 25, 198), handle), 0);

    // Labels: the range ends near the ends, the grabbed handle's value only while grabbed.
    const QColor label(0, 255, 192);
    const QRect middle(0, 105, 25, 190);
    QVERIFY(countColour(shot, QRect(0, 0, 25, 100), label) > 0);
    QVERIFY(countColour(shot, QRect(0, 300, 25, 100), label) > 0);
    QCOMPARE(countColour(shot, middle, label), 0);
    press(bar.get(), QPointF(10, 90), Qt::LeftButton);
    QVERIFY(countColour(bar->grab().toImage(), middle, label) > 0);
    // The release asks for the repaint that takes that label away.
    bar->show();
    QVERIFY(QTest::qWaitForWindowExposed(bar.get()));
    QCoreApplication::processEvents();
    PaintCounter painted(bar.get());
    release(bar.get(), QPointF(10, 90), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(painted.paints > 0, 2000);
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
