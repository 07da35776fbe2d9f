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
    void mstat();
    void paintLayersAndConverter();

private:
    std::unique_ptr<DispA> canvas;
};

void TestDispA::movesPressesReleases()
{
    QVERIFY(canvas->hasMouseTracking());  // moves without a button are reported too
    MouseC &m = canvas->mouse;
    QSignalSpy moved(canvas.get(), &DispA::mouseMoved0);
    QSignalSpy pressed(canvas.get(), &DispA::mousePressed0);
    QSignalSpy released(canvas.get(), &DispA::mouseReleased0);
    QSignalSpy dclicked(canvas.get(), &DispA::mouseDoubleClicked0);
    moveTo(canvas.get(), QPointF(10.9, -0.7), Qt::NoButton, Qt::ShiftModifier);
    QCOMPARE(m.pos, QPoint(10, 0));  // truncated toward zero
    // Moves with Alt are ignored entirely; presses and releases with Alt are recorded.
    moveTo(canvas.get(), QPointF(50, 60), Qt::LeftButton, Qt::AltModifier | Qt::ControlModifier);
    QCOMPARE(m.pos, QPoint(10, 0));
    QCOMPARE(m.modifiers, Qt::KeyboardModifiers(Qt::ShiftModifier));
    press(canvas.get(), QPointF(15, 16), Qt::RightButton, Qt::AltModifier);
    QVERIFY(m.pressed);
    QCOMPARE(m.prevPos, QPoint(10, 0));
    QCOMPARE(m.pressStat(), MouseC::MRightAlt);
    release(canvas.get(), QPointF(25, 26), Qt::RightButton);
    QVERIFY(!m.pressed);
    QCOMPARE(m.prevPos, QPoint(15, 16));
    QCOMPARE(m.pos, QPoint(25, 26));
    QCOMPARE(m.releasePos, QPoint(25, 26));
    QCOMPARE(m.releaseButton, Qt::RightButton);
    QCOMPARE(m.pressPos, QPoint(15, 16));
    // A double click records only its own fields.
    press(canvas.get(), QPointF(40, 50), Qt::LeftButton);
    sendMouse(canvas.get(), QEvent::MouseButtonDblClick, QPointF(90, 95), Qt::LeftButton,
              Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(m.dClickPos, QPoint(90, 95));
    QCOMPARE(m.dClickModifiers, Qt::KeyboardModifiers(Qt::ControlModifier));
    QCOMPARE(m.pos, QPoint(40, 50));
    QVERIFY(m.pressed);
    QCOMPARE(QList<qsizetype>({moved.count(), pressed.count(), released.count(), dclicked.count()}),
             QList<qsizetype>({1, 2, 1, 1}));
}

void TestDispA::wheel_data()
{
    QTest::addColumn<int>("delta");
    QTest::addColumn<double>("steps");
    QTest::addColumn<double>("factor");
    QTest::newRow("one notch forward") << 120 << 1.0 << 1 / 1.1;
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

void TestDispA::mstat()
{
    // Left 0..7 and right 8..15 by modifiers in the order none, Shift, Control, Alt and
    // their pairs and triple; other buttons 16 without offset; the keypad flag ignored.
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
    const Qt::KeyboardModifiers combos[8] = {{}, shift, ctrl, alt, shift | ctrl, shift | alt, ctrl | alt,
                                             shift | ctrl | alt};
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(int(MouseC::stat(Qt::LeftButton, combos[i] | Qt::KeypadModifier)), i);
        QCOMPARE(int(MouseC::stat(Qt::RightButton, combos[i])), 8 + i);
    }
    QCOMPARE(MouseC::stat(Qt::MiddleButton, shift), MouseC::MOther);
}

void TestDispA::paintLayersAndConverter()
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
    // bottom; with image-like real coordinates (offsets on both ends, a different scale
    // per axis) real y grows downward.
    ChCoord &c = canvas->coord;
    c.setRealCoord(-5, 7, 95, -3);
    QVERIFY(near(c.toRealX(0), -5) && near(c.toRealX(400), 95));
    QVERIFY(near(c.toRealY(200), 7) && near(c.toRealY(50), -0.5));
    for (double s : {0.0, 123.25, -57.5})
        QVERIFY(near(c.toScreenX(c.toRealX(s)), s) && near(c.toScreenY(c.toRealY(s)), s));
    QVERIFY(near(c.toScreenLenX(10), 40));
    QVERIFY(near(c.toScreenLenY(10), 200));
}

QTEST_MAIN(TestDispA)
#include "tst_dispa.moc"
