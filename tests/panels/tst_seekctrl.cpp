#include "SeekCtrl.h"

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

class TestSeekCtrl : public QObject
{
    Q_OBJECT
    enum Action { Inc, Dec, SpinBox, Drag, GrooveClick, Wheel, ArrowKey, SetValue };

private slots:
    // Slider and spin box end on the same index, and every change, from whichever side,
    // is reported once; no change, no report.
    void move_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("expected");
        QTest::newRow("inc limited by maximum") << 1000 << 995 << int(Inc) << 1000;
        QTest::newRow("inc at maximum") << 1000 << 1000 << int(Inc) << 1000;
        QTest::newRow("inc without series") << 0 << 0 << int(Inc) << 0;
        QTest::newRow("dec limited by 0") << 1000 << 7 << int(Dec) << 0;
        QTest::newRow("dec in the middle") << 1000 << 500 << int(Dec) << 490;
        QTest::newRow("spin box moves the slider") << 100 << 0 << int(SpinBox) << 42;
        QTest::newRow("slider drag") << 100 << 0 << int(Drag) << 63;
        QTest::newRow("groove click: a page") << 100 << 50 << int(GrooveClick) << 60;
        QTest::newRow("wheel notch forward") << 100 << 50 << int(Wheel) << 53;
        QTest::newRow("arrow key") << 100 << 50 << int(ArrowKey) << 51;
        QTest::newRow("set by the program") << 100 << 50 << int(SetValue) << 77;
    }
    void move()
    {
        QFETCH(int, maximum);
        QFETCH(int, start);
        QFETCH(int, action);
        QFETCH(int, expected);
        SeekCtrl seek;
        seek.Seek->setMaximum(maximum);
        seek.Index->setMaximum(maximum);
        seek.Index->setValue(start);
        QSignalSpy spy(&seek, &SeekCtrl::newIndex);
        QSlider *slider = seek.Seek;
        if (action == Inc || action == Dec) {
            QTest::mouseClick(action == Inc ? seek.Inc : seek.Dec, Qt::LeftButton);
        } else if (action == SpinBox) {
            seek.Index->setValue(expected); // as typing or the spin box arrows do
        } else if (action == Drag) {
            slider->setSliderDown(true);
            slider->setSliderPosition(expected);
            slider->setSliderDown(false);
        } else if (action == GrooveClick) {
            slider->triggerAction(QAbstractSlider::SliderPageStepAdd); // what a click beside the handle does
        } else if (action == Wheel) {
            QWheelEvent e(QPointF(5, 5), slider->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(slider, &e);
        } else if (action == ArrowKey) {
            QTest::keyClick(slider, Qt::Key_Right);
        } else {
            slider->setValue(expected);
        }
        QCOMPARE(slider->value(), expected);
        QCOMPARE(seek.Index->value(), expected);
        QCOMPARE(spy.count(), expected == start ? 0 : 1);
        if (!spy.isEmpty())
            QCOMPARE(spy.at(0).at(0).toInt(), expected);
    }
};

QTEST_MAIN(TestSeekCtrl)
#include "tst_seekctrl.moc"
