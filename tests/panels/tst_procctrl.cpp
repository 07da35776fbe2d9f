#include "CalcConds.h"
#include "ProcCtrl.h"

#include <QSignalSpy>
#include <QTest>

// Drives the processing controls as a user does: type into a field, finish the edit.
class TestProcCtrl : public QObject
{
    Q_OBJECT
private:
    static void retype(QLineEdit *field, const QString &text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

private slots:
    void initialState()
    {
        ProcCtrl ctrl;
        QCOMPARE(ctrl.sliceNo, 1000);
        QCOMPARE(ctrl.cor, 1000.0);
        QCOMPARE(ctrl.rotAxIsV, false);
        QVERIFY(ctrl.RotAxH->isChecked());
        QVERIFY(ctrl.AutoUpdate->isChecked());
        QVERIFY(!ctrl.AutoExecCtCalc->isChecked());
    }

    void corEdit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("expectedCor");
        QTest::addColumn<int>("emissions");
        QTest::newRow("same value written differently") << "1000.0" << 1000.0 << 0;
        QTest::newRow("new value") << "1012.5" << 1012.5 << 1;
        QTest::newRow("letters read as 0") << "abc" << 0.0 << 1;
        QTest::newRow("not a finite number") << "inf" << 0.0 << 1;
    }
    void corEdit()
    {
        QFETCH(QString, typed);
        QFETCH(double, expectedCor);
        QFETCH(int, emissions);
        ProcCtrl ctrl;
        QSignalSpy spy(&ctrl, &ProcCtrl::corUpdated);
        retype(ctrl.Cor, typed);
        QCOMPARE(ctrl.Cor->text(), typed);
        QVERIFY(std::abs(ctrl.cor - expectedCor) <= 1e-12);
        QCOMPARE(spy.count(), emissions);
    }

    void sliceNoEdit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("expectedSlice");
        QTest::addColumn<int>("emissions");
        QTest::newRow("same value") << "1000" << 1000 << 0;
        QTest::newRow("new value") << "512" << 512 << 1;
        QTest::newRow("letters read as 0") << "abc" << 0 << 1;
        QTest::newRow("beyond 32 bits read as 0") << "4294967296" << 0 << 1;
        QTest::newRow("real number is not an integer") << "12.5" << 0 << 1;
    }
    void sliceNoEdit()
    {
        QFETCH(QString, typed);
        QFETCH(int, expectedSlice);
        QFETCH(int, emissions);
        ProcCtrl ctrl;
        QSignalSpy spy(&ctrl, &ProcCtrl::sliceNoUpdated);
        retype(ctrl.SliceNo, typed);
        QCOMPARE(ctrl.sliceNo, expectedSlice);
        QCOMPARE(spy.count(), emissions);
    }

    void lettersTwiceEmitOnce()
    {
        ProcCtrl ctrl;
        QSignalSpy spy(&ctrl, &ProcCtrl::sliceNoUpdated);
        retype(ctrl.SliceNo, "abc");
        retype(ctrl.SliceNo, "xyz");
        QCOMPARE(ctrl.sliceNo, 0);
        QCOMPARE(spy.count(), 1);
    }

    void setSliceNoAndCor()
    {
        ProcCtrl ctrl;
        QSignalSpy sliceSpy(&ctrl, &ProcCtrl::sliceNoUpdated);
        QSignalSpy corSpy(&ctrl, &ProcCtrl::corUpdated);
        ctrl.SliceNo->setText("typed but not finished");
        ctrl.setSliceNo(1000);
        QCOMPARE(ctrl.SliceNo->text(), QString("typed but not finished"));
        QCOMPARE(sliceSpy.count(), 0);

        ctrl.setSliceNo(77);
        QCOMPARE(ctrl.SliceNo->text(), QString("77"));
        QCOMPARE(ctrl.sliceNo, 77);
        QCOMPARE(sliceSpy.count(), 1);

        ctrl.setCor(1000.0);
        QCOMPARE(corSpy.count(), 0);
        ctrl.setCor(1023.4567891);
        QCOMPARE(ctrl.Cor->text(), QString("1023.46"));
        QCOMPARE(corSpy.count(), 1);
    }

    void rangeSetters()
    {
        ProcCtrl ctrl;
        QSignalSpy sliceSpy(&ctrl, &ProcCtrl::sliceNoUpdated);
        ctrl.setSliceFrom(-3);
        ctrl.setSliceTo(4095);
        ctrl.setSliceStep(7);
        QCOMPARE(ctrl.SliceFrom->text(), QString("-3"));
        QCOMPARE(ctrl.SliceTo->text(), QString("4095"));
        QCOMPARE(ctrl.SliceStep->text(), QString("7"));
        QCOMPARE(sliceSpy.count(), 0);
    }

    void signedStep_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("expectedStep");
        QTest::newRow("downward range") << "2047" << "0" << "5" << -5;
        QTest::newRow("upward range, negative step typed") << "0" << "10" << "-5" << 5;
        QTest::newRow("single slice") << "10" << "10" << "-3" << 3;
        QTest::newRow("downward, negative typed") << "10" << "0" << "-2" << -2;
        QTest::newRow("smallest int step") << "10" << "0" << "-2147483648" << -2147483647;
    }
    void signedStep()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, step);
        QFETCH(int, expectedStep);
        ProcCtrl ctrl;
        retype(ctrl.SliceFrom, from);
        retype(ctrl.SliceTo, to);
        retype(ctrl.SliceStep, step);
        CalcConds conds;
        ctrl.fillCalcConds(conds, false, true);
        QCOMPARE(conds.sliceFrom, from.toInt());
        QCOMPARE(conds.sliceTo, to.toInt());
        QCOMPARE(conds.sliceStep, expectedStep);
    }

    void fillCalcCondsCopiesEverything()
    {
        ProcCtrl ctrl;
        ctrl.show();
        ctrl.Threads->setMaximum(32);
        ctrl.Threads->setValue(32);
        QTest::mouseClick(ctrl.RotAxV, Qt::LeftButton);
        QTest::mouseClick(ctrl.AutoExecCtCalc, Qt::LeftButton);
        retype(ctrl.SliceNo, "321");
        retype(ctrl.Cor, "987.25");
        CalcConds conds;
        conds.nextSlice = 42;
        ctrl.fillCalcConds(conds, true, false);
        QCOMPARE(conds.useCt1, true);
        QCOMPARE(conds.useCt2, false);
        QCOMPARE(conds.rotAxIsV, true);
        QCOMPARE(conds.slice, 321);
        QCOMPARE(conds.cor, 987.25);
        QCOMPARE(conds.rangeMode, true);
        QCOMPARE(conds.sliceFrom, 0);
        QCOMPARE(conds.sliceTo, 2047);
        QCOMPARE(conds.sliceStep, 1);
        QCOMPARE(conds.threads, 32);
        QCOMPARE(conds.nextSlice, 42); // the dispatcher's, left alone
    }

    void radioGroup()
    {
        ProcCtrl ctrl;
        ctrl.show();
        QSignalSpy spy(&ctrl, &ProcCtrl::rotAxUpdated);
        QTest::mouseClick(ctrl.RotAxH, Qt::LeftButton); // already checked
        QCOMPARE(spy.count(), 0);
        QTest::mouseClick(ctrl.RotAxV, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(ctrl.rotAxIsV, true);
        QVERIFY(!ctrl.RotAxH->isChecked()); // exclusive
        QTest::mouseClick(ctrl.RotAxV, Qt::LeftButton); // clicking the checked one keeps it
        QCOMPARE(spy.count(), 1);
        QVERIFY(ctrl.RotAxV->isChecked());
        QTest::mouseClick(ctrl.RotAxH, Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(ctrl.rotAxIsV, false);
    }

    void checkBoxesSignal()
    {
        ProcCtrl ctrl;
        ctrl.show();
        QSignalSpy updateSpy(&ctrl, &ProcCtrl::autoUpdateUpdated);
        QSignalSpy execSpy(&ctrl, &ProcCtrl::autoExecUpdated);
        QTest::mouseClick(ctrl.AutoUpdate, Qt::LeftButton);
        QTest::mouseClick(ctrl.AutoExecCtCalc, Qt::LeftButton);
        QTest::mouseClick(ctrl.AutoExecCtCalc, Qt::LeftButton);
        QCOMPARE(updateSpy.count(), 1);
        QCOMPARE(execSpy.count(), 2);
    }
};

QTEST_MAIN(TestProcCtrl)
#include "tst_procctrl.moc"
