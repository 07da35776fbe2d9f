#include "SeekCtrl.h"

#include <QSignalSpy>
#include <QTest>

class TestSeekCtrl : public QObject
{
    Q_OBJECT
    enum Action { Inc, Dec, SpinBox, Drag };

private slots:
    // Slider and spin box end on the same index; every report carries it. A move from
    // the slider side or a jump is reported twice (once through the spin box); no
    // move, no report.
    void move_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("reports");
        QTest::newRow("inc limited by maximum") << 1000 << 995 << int(Inc) << 1000 << 2;
        QTest::newRow("inc in the middle") << 1000 << 500 << int(Inc) << 510 << 2;
        QTest::newRow("inc at maximum") << 1000 << 1000 << int(Inc) << 1000 << 0;
        QTest::newRow("inc without series") << 0 << 0 << int(Inc) << 0 << 0;
        QTest::newRow("dec limited by 0") << 1000 << 7 << int(Dec) << 0 << 2;
        QTest::newRow("dec in the middle") << 1000 << 500 << int(Dec) << 490 << 2;
        QTest::newRow("dec without series") << 0 << 0 << int(Dec) << 0 << 0;
        QTest::newRow("spin box moves the slider") << 100 << 0 << int(SpinBox) << 42 << 1;
        QTest::newRow("slider drag moves the spin box") << 100 << 0 << int(Drag) << 63 << 2;
    }
    void move()
    {
        QFETCH(int, maximum);
        QFETCH(int, start);
        QFETCH(int, action);
        QFETCH(int, expected);
        QFETCH(int, reports);
        SeekCtrl seek;
        seek.Seek->setMaximum(maximum);
        seek.Index->setMaximum(maximum);
        seek.Index->setValue(start);
        QSignalSpy spy(&seek, &SeekCtrl::newIndex);
        if (action == Inc || action == Dec) {
            QTest::mouseClick(action == Inc ? seek.Inc : seek.Dec, Qt::LeftButton);
        } else if (action == SpinBox) {
            seek.Index->setValue(expected); // as typing or the spin box arrows do
        } else {
            seek.Seek->setSliderDown(true);
            seek.Seek->setSliderPosition(expected); // what a drag does: emits sliderMoved
            seek.Seek->setSliderDown(false);
        }
        QCOMPARE(seek.Seek->value(), expected);
        QCOMPARE(seek.Index->value(), expected);
        QCOMPARE(spy.count(), reports);
        for (const auto &args : spy)
            QCOMPARE(args.at(0).toInt(), expected);
    }
};

QTEST_MAIN(TestSeekCtrl)
#include "tst_seekctrl.moc"
