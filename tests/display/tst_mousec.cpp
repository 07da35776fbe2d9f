#include "DispA.h"
#include "MouseEvents.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>

// The canvas's mouse recorder, wheel and paint layers under synthetic events.
class TestMouseC : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void moveRecordsAndSignals();
    void altMoveIgnored();
    void pressAndReleaseWithAltRecorded();
    void doubleClickRecordsOnlyItsPosition();
    void positionsTruncateTowardZero();
    void wheel_data();
    void wheel();
    void mstat_data();
    void mstat();
    void paintLayersInOrder();

private:
    DispA *canvas = nullptr;
};

void TestMouseC::init()
{
    canvas = new DispA;
    canvas->resize(400, 200);
}

void TestMouseC::cleanup()
{
    delete canvas;
    canvas = nullptr;
}

void TestMouseC::moveRecordsAndSignals()
{
    QSignalSpy moved(canvas, &DispA::mouseMoved0);
    QSignalSpy recorded(&canvas->mouse, &MouseC::mMoved);
    moveTo(canvas, QPointF(10, 20));
    moveTo(canvas, QPointF(30, 40), Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(moved.count(), 2);
    QCOMPARE(recorded.count(), 2);
    QCOMPARE(canvas->mouse.prevPos, QPoint(10, 20));
    QCOMPARE(canvas->mouse.pos, QPoint(30, 40));
    QCOMPARE(canvas->mouse.modifiers, Qt::KeyboardModifiers(Qt::ShiftModifier));
    QVERIFY(!canvas->mouse.pressed);
}

void TestMouseC::altMoveIgnored()
{
    moveTo(canvas, QPointF(10, 20));
    QSignalSpy moved(canvas, &DispA::mouseMoved0);
    moveTo(canvas, QPointF(50, 60), Qt::NoButton, Qt::AltModifier);
    moveTo(canvas, QPointF(70, 80), Qt::LeftButton, Qt::AltModifier | Qt::ControlModifier);
    QCOMPARE(moved.count(), 0);
    QCOMPARE(canvas->mouse.pos, QPoint(10, 20));
    QCOMPARE(canvas->mouse.modifiers, Qt::KeyboardModifiers());
}

void TestMouseC::pressAndReleaseWithAltRecorded()
{
    QSignalSpy pressed(canvas, &DispA::mousePressed0);
    QSignalSpy released(canvas, &DispA::mouseReleased0);
    moveTo(canvas, QPointF(5, 6));
    press(canvas, QPointF(15, 16), Qt::RightButton, Qt::AltModifier);
    QCOMPARE(pressed.count(), 1);
    QVERIFY(canvas->mouse.pressed);
    QCOMPARE(canvas->mouse.prevPos, QPoint(5, 6));
    QCOMPARE(canvas->mouse.pressPos, QPoint(15, 16));
    QCOMPARE(canvas->mouse.pressButton, Qt::RightButton);
    QCOMPARE(canvas->mouse.pressModifiers, Qt::KeyboardModifiers(Qt::AltModifier));
    QCOMPARE(canvas->mouse.pressStat(), MouseC::MRightAlt);

    release(canvas, QPointF(25, 26), Qt::RightButton, Qt::AltModifier);
    QCOMPARE(released.count(), 1);
    QVERIFY(!canvas->mouse.pressed);
    QCOMPARE(canvas->mouse.prevPos, QPoint(15, 16));
    QCOMPARE(canvas->mouse.releasePos, QPoint(25, 26));
    QCOMPARE(canvas->mouse.pos, QPoint(25, 26));
    QCOMPARE(canvas->mouse.releaseButton, Qt::RightButton);
    // The press fields keep the press.
    QCOMPARE(canvas->mouse.pressPos, QPoint(15, 16));
}

void TestMouseC::doubleClickRecordsOnlyItsPosition()
{
    QSignalSpy dclicked(canvas, &DispA::mouseDoubleClicked0);
    press(canvas, QPointF(40, 50), Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseButtonDblClick, QPointF(90, 95), Qt::LeftButton, Qt::LeftButton,
              Qt::ControlModifier);
    QCOMPARE(dclicked.count(), 1);
    QCOMPARE(canvas->mouse.dClickPos, QPoint(90, 95));
    QCOMPARE(canvas->mouse.dClickModifiers, Qt::KeyboardModifiers(Qt::ControlModifier));
    QCOMPARE(canvas->mouse.pos, QPoint(40, 50));
    QCOMPARE(canvas->mouse.prevPos, QPoint(0, 0));
    QVERIFY(canvas->mouse.pressed);
}

void TestMouseC::positionsTruncateTowardZero()
{
    moveTo(canvas, QPointF(-0.7, 12.9));
    QCOMPARE(canvas->mouse.pos, QPoint(0, 12));
    moveTo(canvas, QPointF(-1.5, 3.2));
    QCOMPARE(canvas->mouse.pos, QPoint(-1, 3));
}

void TestMouseC::wheel_data()
{
    QTest::addColumn<int>("delta");
    QTest::addColumn<double>("steps");
    QTest::addColumn<double>("factor");
    QTest::newRow("one notch forward") << 120 << 1.0 << 1 / 1.1;
    QTest::newRow("one notch backward") << -120 << -1.0 << 1.1;
    QTest::newRow("two notches forward") << 240 << 2.0 << 1 / 1.1;
    QTest::newRow("half notch backward") << -60 << -0.5 << 1.1;
    QTest::newRow("no turn") << 0 << 0.0 << 1 / 1.1;
}

void TestMouseC::wheel()
{
    QFETCH(int, delta);
    QFETCH(double, steps);
    QFETCH(double, factor);
    QSignalSpy wheeled(canvas, &DispA::wheelMoved0);
    turnWheel(canvas, QPointF(100, 100), delta);
    QCOMPARE(wheeled.count(), 1);
    QVERIFY(std::abs(canvas->wheelSteps - steps) <= 1e-12);
    QVERIFY(std::abs(canvas->zoomFactor - factor) <= 1e-15);
}

void TestMouseC::mstat_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("expected");
    const int shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
    const int left = Qt::LeftButton, right = Qt::RightButton;
    QTest::newRow("left") << left << 0 << 0;
    QTest::newRow("left shift") << left << shift << 1;
    QTest::newRow("left ctrl") << left << ctrl << 2;
    QTest::newRow("left alt") << left << alt << 3;
    QTest::newRow("left shift ctrl") << left << (shift | ctrl) << 4;
    QTest::newRow("left shift alt") << left << (shift | alt) << 5;
    QTest::newRow("left ctrl alt") << left << (ctrl | alt) << 6;
    QTest::newRow("left all") << left << (shift | ctrl | alt) << 7;
    QTest::newRow("left, keypad ignored") << left << int(Qt::KeypadModifier) << 0;
    QTest::newRow("right") << right << 0 << 8;
    QTest::newRow("right shift ctrl") << right << (shift | ctrl) << 12;
    QTest::newRow("right all") << right << (shift | ctrl | alt) << 15;
    QTest::newRow("middle, modifiers not added") << int(Qt::MiddleButton) << shift << 16;
}

void TestMouseC::mstat()
{
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(int, expected);
    QCOMPARE(int(MouseC::stat(Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers))), expected);
}

void TestMouseC::paintLayersInOrder()
{
    QStringList order;
    QPainter *painters[3] = {};
    connect(canvas, &DispA::drawImage0, this, [&](QPainter *p) { order << "0"; painters[0] = p; });
    connect(canvas, &DispA::drawImage1, this, [&](QPainter *p) { order << "1"; painters[1] = p; });
    connect(canvas, &DispA::drawImage2, this, [&](QPainter *p) {
        order << "2";
        painters[2] = p;
        p->fillRect(0, 0, 10, 10, Qt::red);
    });
    const QImage shot = canvas->grab().toImage();
    QCOMPARE(order, QStringList({"0", "1", "2"}));
    QVERIFY(painters[0] && painters[0] == painters[1] && painters[1] == painters[2]);
    QCOMPARE(QColor(shot.pixel(5, 5)), QColor(Qt::red));
    QCOMPARE(QColor(shot.pixel(200, 100)), QColor(Qt::white));
    // After a paint the screen range is the canvas, its y range starting at the bottom.
    QCOMPARE(canvas->coord.sx1, 400.0);
    QCOMPARE(canvas->coord.sy0, 200.0);
    QCOMPARE(canvas->coord.sy1, 0.0);
}

QTEST_MAIN(TestMouseC)
#include "tst_mousec.moc"
