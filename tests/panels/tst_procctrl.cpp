#include "CalcConds.h"
#include "ProcCtrl.h"
#include "WidgetChecks.h"

#include <QSignalSpy>
#include <QTest>

#include <climits>

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
    // Both fields start at the form's "1000"; only a changed value is reported.
    void fieldEdit_data()
    {
        QTest::addColumn<bool>("editCor");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("expected");
        QTest::newRow("Cor: same value written differently") << true << "1000.0" << 1000.0;
        QTest::newRow("Cor: letters read as 0") << true << "abc" << 0.0;
        QTest::newRow("SliceNo: same value written differently") << false << "+1000" << 1000.0;
        QTest::newRow("SliceNo: letters read as 0") << false << "abc" << 0.0;
    }
    void fieldEdit()
    {
        QFETCH(bool, editCor);
        QFETCH(QString, typed);
        QFETCH(double, expected);
        ProcCtrl ctrl;
        QSignalSpy spy(&ctrl, editCor ? &ProcCtrl::corUpdated : &ProcCtrl::sliceNoUpdated);
        retype(editCor ? ctrl.Cor : ctrl.SliceNo, typed);
        const double value = editCor ? ctrl.cor : ctrl.sliceNo;
        QVERIFY(std::abs(value - expected) <= 1e-12);
        QCOMPARE(spy.count(), expected == 1000.0 ? 0 : 1);
    }

    void setSliceNoAndCor()
    {
        ProcCtrl ctrl;
        QSignalSpy sliceSpy(&ctrl, &ProcCtrl::sliceNoUpdated);
        QSignalSpy corSpy(&ctrl, &ProcCtrl::corUpdated);
        ctrl.SliceNo->setText("typed but not finished");
        ctrl.setSliceNo(1000);
        ctrl.setCor(1000.0);
        QCOMPARE(ctrl.SliceNo->text(), QString("typed but not finished"));
        ctrl.setSliceNo(77);
        ctrl.setCor(1023.4567891);
        QCOMPARE(ctrl.SliceNo->text() + " " + ctrl.Cor->text(), QString("77 1023.46"));
        QCOMPARE(ctrl.sliceNo, 77);
        QCOMPARE(QList<qsizetype>({sliceSpy.count(), corSpy.count()}), QList<qsizetype>({1, 1}));
    }

    void signedStep_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("expectedStep");
        QTest::newRow("downward range") << 2047 << 0 << 5 << -5;
        QTest::newRow("upward range, negative step given") << 0 << 10 << -5 << 5;
        QTest::newRow("single slice") << 10 << 10 << -3 << 3;
        QTest::newRow("smallest int step") << 10 << 0 << INT_MIN << -INT_MAX;
    }
    void signedStep()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, step);
        QFETCH(int, expectedStep);
        ProcCtrl ctrl;
        ctrl.setSliceFrom(from);
        ctrl.setSliceTo(to);
        ctrl.setSliceStep(step);
        CalcConds conds;
        ctrl.fillCalcConds(conds, false, true);
        QCOMPARE(QList<int>({conds.sliceFrom, conds.sliceTo, conds.sliceStep}),
                 QList<int>({from, to, expectedStep}));
    }

    void userSettingsReachTheRequest()
    {
        ProcCtrl ctrl;
        ctrl.show();
        QSignalSpy updateSpy(&ctrl, &ProcCtrl::autoUpdateUpdated);
        QSignalSpy execSpy(&ctrl, &ProcCtrl::autoExecUpdated);
        QSignalSpy rotAxSpy(&ctrl, &ProcCtrl::rotAxUpdated);
        QTest::mouseClick(ctrl.RotAxH, Qt::LeftButton); // already checked: no change
        QCOMPARE(rotAxSpy.count(), 0);
        QTest::mouseClick(ctrl.RotAxV, Qt::LeftButton);
        QVERIFY(!ctrl.RotAxH->isChecked()); // one group, exclusive
        QTest::mouseClick(ctrl.AutoExecCtCalc, Qt::LeftButton);
        QTest::mouseClick(ctrl.AutoUpdate, Qt::LeftButton);
        ctrl.Threads->setValue(32);
        retype(ctrl.SliceNo, "321");
        retype(ctrl.Cor, "987.25");
        QCOMPARE(QList<qsizetype>({rotAxSpy.count(), execSpy.count(), updateSpy.count()}),
                 QList<qsizetype>({1, 1, 1}));
        CalcConds c;
        c.nextSlice = 42; // the dispatcher's, left alone
        ctrl.fillCalcConds(c, true, false);
        const QString got = QString("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11")
                                .arg(c.useCt1).arg(c.useCt2).arg(c.rotAxIsV).arg(c.slice).arg(c.cor)
                                .arg(c.rangeMode).arg(c.sliceFrom).arg(c.sliceTo).arg(c.sliceStep)
                                .arg(c.threads).arg(c.nextSlice);
        QCOMPARE(got, QString("1 0 1 321 987.25 1 0 2047 1 32 42"));
        QTest::mouseClick(ctrl.RotAxH, Qt::LeftButton);
        QCOMPARE(rotAxSpy.count(), 2);
        QCOMPARE(ctrl.rotAxIsV, false);
        // Slice fields hold any slice of the largest image with sign, Cor any real.
        for (QLineEdit *field : {ctrl.SliceNo, ctrl.SliceFrom, ctrl.SliceTo, ctrl.SliceStep})
            QVERIFY(showsWhole(field, "-1048576"));
        QVERIFY(showsWhole(ctrl.Cor, "-1.23457e-05"));
    }
};

QTEST_MAIN(TestProcCtrl)
#include "tst_procctrl.moc"
