#include "LastWindow.h"
#include "PopDockBase.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

class TestPopDockBase : public QObject
{
    Q_OBJECT
private:
    // Installs a view the way the main window does.
    static QLabel *install(PopDockBase &frame)
    {
        auto *view = new QLabel("view");
        frame.content = view;
        frame.Layout->addWidget(view);
        return view;
    }
    static bool isDocked(PopDockBase &frame, QWidget *view)
    {
        return view->parentWidget() == &frame && frame.Layout->indexOf(view) >= 0
               && !frame.popBase.isVisible();
    }
    static bool isPoppedOut(PopDockBase &frame, QWidget *view)
    {
        return view->parentWidget() == &frame.popBase && frame.popBase.isVisible()
               && frame.Layout->indexOf(view) < 0;
    }

private slots:
    void popDockTwiceThenCloseThePopOut()
    {
        PopDockBase frame;
        QLabel *view = install(frame);
        frame.show();
        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(frame.PopDock, Qt::LeftButton);
            QVERIFY(isPoppedOut(frame, view));
            QTest::mouseClick(frame.PopDock, Qt::LeftButton);
            QVERIFY(isDocked(frame, view));
        }
        // Closing the pop-out window docks the view (and never ends the program).
        QSignalSpy closedSpy(&frame.popBase, &ClosableBase::closed);
        QTest::mouseClick(frame.PopDock, Qt::LeftButton);
        frame.hide(); // the pop-out window is the last one shown
        QVERIFY(!closingEndsTheProgram(frame.popBase));
        QCOMPARE(closedSpy.count(), 1);
        frame.show();
        QVERIFY(isDocked(frame, view));
        QTest::mouseClick(frame.PopDock, Qt::LeftButton);
        QVERIFY(isPoppedOut(frame, view));
    }
};

QTEST_MAIN(TestPopDockBase)
#include "tst_popdockbase.moc"
