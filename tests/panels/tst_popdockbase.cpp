#include "LastWindow.h"
#include "PopDockBase.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

class TestPopDockBase : public QObject
{
    Q_OBJECT
private:
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
    void popAndDockTwice()
    {
        PopDockBase frame;
        auto *view = new QLabel("view");
        frame.content = view;
        frame.Layout->addWidget(view);
        frame.show();
        QVERIFY(isDocked(frame, view));
        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(frame.PopDock, Qt::LeftButton);
            QVERIFY(isPoppedOut(frame, view));
            QTest::mouseClick(frame.PopDock, Qt::LeftButton);
            QVERIFY(isDocked(frame, view));
        }
    }

    void closingThePopOutDocks()
    {
        PopDockBase frame;
        auto *view = new QLabel("view");
        frame.content = view;
        frame.Layout->addWidget(view);
        frame.show();
        QSignalSpy closedSpy(&frame.popBase, &ClosableBase::closed);
        QTest::mouseClick(frame.PopDock, Qt::LeftButton);
        QVERIFY(isPoppedOut(frame, view));
        frame.hide(); // the pop-out window is the last one shown
        QVERIFY(!closingEndsTheProgram(frame.popBase));
        QCOMPARE(closedSpy.count(), 1);
        frame.show();
        QVERIFY(isDocked(frame, view));
        QTest::mouseClick(frame.PopDock, Qt::LeftButton);
        QVERIFY(isPoppedOut(frame, view));
    }

    void withoutContentOnlyTheWindowToggles()
    {
        PopDockBase frame;
        frame.show();
        QTest::mouseClick(frame.PopDock, Qt::LeftButton);
        QVERIFY(frame.popBase.isVisible());
        QTest::mouseClick(frame.PopDock, Qt::LeftButton);
        QVERIFY(!frame.popBase.isVisible());
    }

    void contentDeletedByItsOwner()
    {
        PopDockBase frame;
        auto *view = new QLabel("view");
        frame.content = view;
        frame.Layout->addWidget(view);
        frame.popDock();
        delete view;
        QVERIFY(frame.content.isNull());
        frame.popDock(); // docks nothing, only hides the window
        QVERIFY(!frame.popBase.isVisible());
    }
};

QTEST_MAIN(TestPopDockBase)
#include "tst_popdockbase.moc"
