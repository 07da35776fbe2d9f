#include "ChCoord.h"
#include "DispA.h"
#include "MouseEvents.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {
bool near(double a, double b) { return std::abs(a - b) <= 1e-9; }
} // namespace

// The canvas: its mouse recorder under synthetic events, the wheel, the paint layers and
// the screen/real converter.
class TestDispA : public QObject
{
    Q_OBJECT
private slots:
    void init() { canvas.reset(new DispA); canvas->resize(400, 200); }
    void movesPressesReleases();
    void wheel_data();
    void wheel();
    void mstat_data();
    void mstat();
    void paintLayersInOrder();
    void converterRoundTripAndLengths();

private:
    std::unique_ptr<DispA> canvas;
};

void TestDispA::movesPressesReleases()
{
    MouseC &m = canvas->mouse;
    QSignalSpy moved(canvas.get(), &DispA::mouseMoved0);
    QSignalSpy pressed(canvas.get(), &DispA::mousePressed0);
    QSignalSpy released(canvas.get(), &DispA::mouseReleased0);
    moveTo(canvas.get(), QPointF(10.9, -0.7), Qt::NoButton, Qt::ShiftModifier);
    QCOMPARE(m.pos, QPoint(10, 0));  // truncated toward zero
    QCOMPARE(m.modifiers, Qt::KeyboardModifiers(Qt::ShiftModifier));

    // Moves with Alt are ignored entirely.
    moveTo(canvas.get(), QPointF(50, 60), Qt::LeftButton, Qt::AltModifier | Qt::ControlModifier);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(m.pos, QPoint(10, 0));
    QCOMPARE(m.modifiers, Qt::KeyboardModifiers(Qt::ShiftModifier));

    // Presses and releases with Alt are recorded.
    press(canvas.get(), QPointF(15, 16), Qt::RightButton, Qt::AltModifier);
    QCOMPARE(pressed.count(), 1);
    QVERIFY(m.pressed);
    QCOMPARE(m.prevPos, QPoint(10, 0));
    QCOMPARE(m.pressPos, QPoint(15, 16));
    QCOMPARE(m.pressStat(), MouseC::MRightAlt);

    release(canvas.get(), QPointF(25, 26), Qt::RightButton);
    QCOMPARE(released.count(), 1);
    QVERIFY(!m.pressed);
    QCOMPARE(m.prevPos, QPoint(15, 16));
    QCOMPARE(m.pos, QPoint(25, 26));
    QCOMPARE(m.releasePos, QPoint(25, 26));
    QCOMPARE(m.releaseButton, Qt::RightButton);
    QCOMPARE(m.pressPos, QPoint(15, 16));
    QCOMPARE(m.pressModifiers, Qt::KeyboardModifiers(Qt::AltModifier));

    // A double click records only its own fields.
    QSignalSpy dclicked(canvas.get(), &DispA::mouseDoubleClicked0);
    press(canvas.get(), QPointF(40, 50), Qt::LeftButton);
    sendMouse(canvas.get(), QEvent::MouseButtonDblClick, QPointF(90, 95), Qt::LeftButton,
              Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(dclicked.count(), 1);
    QCOMPARE(m.dClickPos, QPoint(90, 95));
    QCOMPARE(m.dClickModifiers, Qt::KeyboardModifiers(Qt::ControlModifier));
    QCOMPARE(m.pos, QPoint(40, 50));
    QCOMPARE(m.prevPos, QPoint(25, 26));
    QVERIFY(m.pressed);
}

void TestDispA::wheel_data()
{
    QTest::addColumn<int>("delta");
    QTest::addColumn<double>("steps");
    QTest::addColumn<double>("factor");
    QTest::newRow("one notch forward") << 120 << 1.0 << 1 / 1.1;
    QTest::newRow("one notch backward") << -120 << -1.0 << 1.1;
    QTest::newRow("half notch backward") << -60 << -0.5 << 1.1;
    QTest::newRow("no turn") << 0 << 0.0 << 1 / 1.1;
}

void TestDispA::wheel()
{
    QFETCH(int, delta);
    QFETCH(double, steps);
    QFETCH(double, factor);
    QSignalSpy wheeled(canvas.get(), &DispA::wheelMoved0);
    turnWheel(canvas.get(), QPointF(100, 100), delta);
    QCOMPARE(wheeled.count(), 1);
    QVERIFY(std::abs(canvas->wheelSteps - steps) <= 1e-12);
    QVERIFY(std::abs(canvas->zoomFactor - factor) <= 1e-15);
}

void TestDispA::mstat_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("expected");
    const int shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
    const int left = Qt::LeftButton, right = Qt::RightButton;
    const int combos[8] = {0, shift, ctrl, alt, shift | ctrl, shift | alt, ctrl | alt, shift | ctrl | alt};
    for (int i = 0; i < 8; ++i) {
        QTest::addRow("left %d", i) << left << combos[i] << i;
        QTest::addRow("right %d", i) << right << combos[i] << 8 + i;
    }
    QTest::newRow("left, keypad ignored") << left << int(Qt::KeypadModifier) << 0;
    QTest::newRow("middle, modifiers not added") << int(Qt::MiddleButton) << shift << 16;
}

void TestDispA::mstat()
{
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(int, expected);
    QCOMPARE(int(MouseC::stat(Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers))), expected);
}

void TestDispA::paintLayersInOrder()
{
    QStringList order;
    connect(canvas.get(), &DispA::drawImage0, this, [&](QPainter *) { order << "0"; });
    connect(canvas.get(), &DispA::drawImage1, this, [&](QPainter *p) {
        order << "1";
        p->fillRect(0, 0, 10, 10, Qt::red);
    });
    connect(canvas.get(), &DispA::drawImage2, this, [&](QPainter *p) {
        order << "2";
        p->fillRect(5, 5, 10, 10, Qt::blue);  // later layers draw over earlier ones
    });
    const QImage shot = canvas->grab().toImage();
    QCOMPARE(order, QStringList({"0", "1", "2"}));
    QCOMPARE(QColor(shot.pixel(2, 2)), QColor(Qt::red));
    QCOMPARE(QColor(shot.pixel(7, 7)), QColor(Qt::blue));
    QCOMPARE(QColor(shot.pixel(200, 100)), QColor(Qt::white));
    // After a paint the screen range is the 400 x 200 canvas, its y range starting at the
    // bottom; with image-like real coordinates real y grows downward.
    ChCoord &c = canvas->coord;
    c.setRealCoord(0, 100, 200, 0);
    QVERIFY(near(c.toRealX(200), 100));
    QVERIFY(near(c.toRealY(50), 25));
    QVERIFY(near(c.toScreenX(100), 200));
    QVERIFY(near(c.toScreenY(25), 50));
}

void TestDispA::converterRoundTripAndLengths()
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

QTEST_MAIN(TestDispA)
#include "tst_dispa.moc"
