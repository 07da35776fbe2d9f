#include "SeekCtrl.h"

#include <QSignalSpy>
#include <QTest>

class TestSeekCtrl : public QObject
{
    Q_OBJECT
private:
    static void setUp(SeekCtrl &seek, int maximum, int value)
    {
        seek.Seek->setMaximum(maximum);
        seek.Index->setMaximum(maximum);
        seek.Index->setValue(value);
    }
    // Every emission carries the same index; how often is the stepper's business.
    static void verifyAllIndices(const QSignalSpy &spy, int expected)
    {
        QVERIFY(spy.count() >= 1);
        for (const auto &args : spy)
            QCOMPARE(args.at(0).toInt(), expected);
    }

private slots:
    void jumps_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<int>("expected");
        QTest::newRow("inc limited by maximum") << 1000 << 995 << true << 1000;
        QTest::newRow("inc in the middle") << 1000 << 500 << true << 510;
        QTest::newRow("dec limited by 0") << 1000 << 7 << false << 0;
        QTest::newRow("dec in the middle") << 1000 << 500 << false << 490;
    }
    void jumps()
    {
        QFETCH(int, maximum);
        QFETCH(int, start);
        QFETCH(bool, forward);
        QFETCH(int, expected);
        SeekCtrl seek;
        setUp(seek, maximum, start);
        QSignalSpy spy(&seek, &SeekCtrl::newIndex);
        QTest::mouseClick(forward ? seek.Inc : seek.Dec, Qt::LeftButton);
        QCOMPARE(seek.Seek->value(), expected);
        QCOMPARE(seek.Index->value(), expected);
        verifyAllIndices(spy, expected);
        QCOMPARE(spy.count(), 2); // once through the spin box, once from the jump
    }

    void noMoveNoSignal_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("forward");
        QTest::newRow("inc at maximum") << 1000 << 1000 << true;
        QTest::newRow("dec at 0") << 1000 << 0 << false;
        QTest::newRow("inc without series") << 0 << 0 << true;
        QTest::newRow("dec without series") << 0 << 0 << false;
    }
    void noMoveNoSignal()
    {
        QFETCH(int, maximum);
        QFETCH(int, start);
        QFETCH(bool, forward);
        SeekCtrl seek;
        setUp(seek, maximum, start);
        QSignalSpy spy(&seek, &SeekCtrl::newIndex);
        QTest::mouseClick(forward ? seek.Inc : seek.Dec, Qt::LeftButton);
        QCOMPARE(seek.Seek->value(), start);
        QCOMPARE(seek.Index->value(), start);
        QCOMPARE(spy.count(), 0);
    }

    void spinBoxMovesSlider()
    {
        SeekCtrl seek;
        setUp(seek, 100, 0);
        QSignalSpy spy(&seek, &SeekCtrl::newIndex);
        seek.Index->setFocus();
        seek.Index->selectAll();
        QTest::keyClicks(seek.Index, "42");
        QCOMPARE(seek.Seek->value(), 42);
        QCOMPARE(spy.last().at(0).toInt(), 42);
    }

    void sliderDragMovesSpinBox()
    {
        SeekCtrl seek;
        setUp(seek, 100, 0);
        QSignalSpy spy(&seek, &SeekCtrl::newIndex);
        seek.Seek->setSliderDown(true);
        seek.Seek->setSliderPosition(63); // what a drag does: emits sliderMoved
        seek.Seek->setSliderDown(false);
        QCOMPARE(seek.Index->value(), 63);
        QCOMPARE(seek.Seek->value(), 63);
        verifyAllIndices(spy, 63);
    }
};

QTEST_MAIN(TestSeekCtrl)
#include "tst_seekctrl.moc"
