#include "CalcConds.h"
#include "DataRoot.h"
#include "ImgData.h"
#include "ItexWriter.h"
#include "PopDockBase.h"
#include "ProcCtrl.h"
#include "SeekCtrl.h"
#include "SelectAImgFile.h"
#include "SelectDir.h"
#include "WidgetChecks.h"

#include <QLabel>
#include <QTabWidget>
#include <QTimer>

#include <climits>
#include <functional>

namespace {
const QString good = "background-color: rgb(211, 255, 241);", bad = "background-color: rgb(255, 192, 192);";
// True when closing the window, the only one shown, ends the event loop.
bool closingEndsTheProgram(QWidget &window)
{
    QTimer::singleShot(0, &window, [&window]() { window.close(); });
    QTimer::singleShot(300, qApp, []() { qApp->exit(7); });
    return qApp->exec() != 7;
}
void retype(QLineEdit *field, const QString &text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}
QStringList entries(const QTemporaryDir &d) { return QDir(d.path()).entryList(QDir::NoDotAndDotDot | QDir::Dirs); }
} // namespace

// The panels in a scratch working directory holding 3 x 2 images, pixel (x, y) = base + 10 y + x.
class TestPanels : public QObject
{
    Q_OBJECT
    QTemporaryDir tmp;
    QString startDir, first = tmp.filePath("first.img"), second = tmp.filePath("second.img");

private slots:
    void initTestCase()
    {
        startDir = QDir::currentPath();
        QVERIFY(tmp.isValid() && QDir::setCurrent(tmp.path()));
        for (const auto &[name, b] : {std::pair{first, 100u}, {second, 1000u}})
            QVERIFY(ItexWriter::write(name, 3, 2, 2, {b, b + 1, b + 2, b + 10, b + 11, b + 12}, 0.5));
        QFile text(tmp.filePath("notes.img"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("just some text\n") > 0);
        setDataRoot(tmp.path());
    }
    void cleanupTestCase() { QDir::setCurrent(startDir); }

    void popDockTwiceThenCloseThePopOut()
    {
        PopDockBase frame;
        auto *view = new QLabel("view");  // installed the way the main window does
        frame.content = view;
        frame.Layout->addWidget(view);
        frame.show();
        const auto where = [&] {
            const bool out = frame.popBase.isVisible(), inLayout = frame.Layout->indexOf(view) >= 0;
            const QWidget *host = out ? static_cast<QWidget *>(&frame.popBase) : &frame;
            return view->parentWidget() == host && out != inLayout ? out : -1;
        };
        for (int click = 0; click < 4; ++click) {
            QTest::mouseClick(frame.PopDock, Qt::LeftButton);
            QCOMPARE(where(), 1 - click % 2);
        }
        // Closing the pop-out window, the last one shown, docks the view and never ends the program.
        QSignalSpy closedSpy(&frame.popBase, &ClosableBase::closed);
        QTest::mouseClick(frame.PopDock, Qt::LeftButton);
        frame.hide();
        QVERIFY(!closingEndsTheProgram(frame.popBase));
        QCOMPARE(closedSpy.count(), 1);
        frame.show();
        QCOMPARE(where(), 0);
        QTest::mouseClick(frame.PopDock, Qt::LeftButton);
        QCOMPARE(where(), 1);
    }

    // Docked two tabs deep, as a CT2 panel is: both tabs turn to it. Popped out: its window
    // comes up and the tabs stay where the user left them.
    void bringToFront()
    {
        QTabWidget outer, inner;
        auto *page = new QWidget;
        auto *frame = new PopDockBase(page);
        frame->content = new QLabel("view");
        frame->Layout->addWidget(frame->content);
        outer.addTab(new QLabel("first"), "first");
        outer.addTab(&inner, "inner");
        inner.addTab(new QLabel("other"), "other");
        inner.addTab(page, "page");
        outer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&outer));
        QVERIFY(!frame->isVisible());
        frame->bringToFront();
        QVERIFY(outer.currentIndex() == 1 && inner.currentIndex() == 1 && frame->content->isVisible());
        QTest::mouseClick(frame->PopDock, Qt::LeftButton);
        outer.setCurrentIndex(0);
        frame->popBase.hide();
        frame->popBase.show();  // behind the tabs now
        outer.activateWindow();
        frame->bringToFront();
        QCOMPARE(outer.currentIndex(), 0);
        QTRY_VERIFY(frame->popBase.isActiveWindow() && frame->content->isVisible());
    }

    // The dialogs open in the data root; a choice is shown and reported once.
    void selectDir()
    {
        SelectDir sel;
        QFileDialog &dialog = sel.fileDialog();
        QVERIFY(dialog.fileMode() == QFileDialog::Directory && dialog.acceptMode() == QFileDialog::AcceptOpen);
        QCOMPARE(dialog.directory().absolutePath(), QDir(tmp.path()).absolutePath());
        QVERIFY(!dialog.testAttribute(Qt::WA_QuitOnClose));  // a helper window, not the program's
        QSignalSpy spy(&sel, &SelectDir::aDirSelected);
        emit dialog.fileSelected("/data/sample-a");
        sel.setDirName("/data/other");
        QCOMPARE(spy, QList<QVariantList>({{"/data/sample-a"}}));
        QCOMPARE(sel.SelectedDir->text(), QString("/data/other"));
        // Opened again, it starts in the folder chosen last.
        QVERIFY(QDir(tmp.path()).mkpath("chosen"));
        sel.setDirName(QDir(tmp.path()).filePath("chosen"));
        QTest::mouseClick(sel.Select, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.directory().absolutePath(), QDir(tmp.path()).absoluteFilePath("chosen"));
        dialog.hide();
    }

    void selectAFileModes()
    {
        SelectAFile sel;
        QFileDialog &dialog = sel.fileDialog();
        QCOMPARE(dialog.directory().absolutePath(), QDir(tmp.path()).absolutePath());
        QVERIFY(dialog.acceptMode() == QFileDialog::AcceptOpen && dialog.fileMode() == QFileDialog::ExistingFile);
        QCOMPARE(dialog.nameFilters().join(";"), QString("Img file (*.img);Tiff file (*.tif *.tiff);Any file (* *.*)"));
        QVERIFY(sel.Name->isHidden() && sel.AddTag->isHidden());
        sel.setMode(1);
        QCOMPARE(dialog.nameFilters(), QStringList({"Any file (* *.*)"}));
        sel.setMode(7);  // only stored: the dialog keeps the save settings
        QVERIFY(dialog.acceptMode() == QFileDialog::AcceptSave && dialog.fileMode() == QFileDialog::AnyFile);
        // A choice: field by mode, name before the first dot, reported; only a save creates.
        const QString created = QDir(tmp.path()).absoluteFilePath("out/run1");
        for (const auto &[mode, chosen, shown, name] :
             {std::tuple{7, "c/d/i0.img", QString(), "i0"}, {0, "a/b/scan.x.img", "a/b/scan.x.img", "scan"},
              {1, "out/run1/slice.tif", created, "slice"}}) {
            const QStringList before = entries(tmp);
            sel.setMode(mode);
            QSignalSpy spy(&sel, &SelectAFile::fileSelected);
            emit dialog.fileSelected(chosen);
            QCOMPARE(sel.FilePath->text() + "|" + sel.Name->text(), shown + "|" + name);
            QCOMPARE(spy, QList<QVariantList>({{QString(chosen)}}));
            QVERIFY(mode == 1 ? QDir(shown).exists() : entries(tmp) == before);
        }
        // Clear reports, empties the fields and creates nothing.
        sel.fileSelected0("keep/slice.png");
        const QStringList before = entries(tmp);
        QSignalSpy clearSpy(&sel, &SelectAFile::clear);
        QTest::mouseClick(sel.Clear, Qt::LeftButton);
        QVERIFY(clearSpy.count() == 1 && sel.FilePath->text().isEmpty() && sel.Name->text().isEmpty());
        QCOMPARE(entries(tmp), before);
    }

    // Slider and spin box agree; every change, from either side, is reported once.
    void seek()
    {
        using Act = std::function<void(SeekCtrl &, int)>;
        const Act inc = [](SeekCtrl &s, int) { QTest::mouseClick(s.Inc, Qt::LeftButton); };
        const Act dec = [](SeekCtrl &s, int) { QTest::mouseClick(s.Dec, Qt::LeftButton); };
        const Act drag = [](SeekCtrl &s, int to) {
            s.Seek->setSliderDown(true), s.Seek->setSliderPosition(to), s.Seek->setSliderDown(false);
        };
        const Act spinBox = [](SeekCtrl &s, int to) { s.Index->setValue(to); };  // as typing or its arrows do
        const Act grooveClick = [](SeekCtrl &s, int) { s.Seek->triggerAction(QAbstractSlider::SliderPageStepAdd); };
        const Act wheel = [](SeekCtrl &s, int) { turnWheel(s.Seek, QPointF(5, 5), 120); };
        const Act arrowKey = [](SeekCtrl &s, int) { QTest::keyClick(s.Seek, Qt::Key_Right); };
        const Act program = [](SeekCtrl &s, int to) { s.Seek->setValue(to); };
        for (const auto &[maximum, start, act, expected] :
             {std::tuple{1000, 995, inc, 1000}, {1000, 1000, inc, 1000}, {0, 0, inc, 0}, {1000, 7, dec, 0},
              {1000, 500, dec, 490}, {100, 0, spinBox, 42}, {100, 0, drag, 63}, {100, 50, grooveClick, 60},
              {100, 50, wheel, 53}, {100, 50, arrowKey, 51}, {100, 50, program, 77}}) {
            SeekCtrl seek;
            QSlider *slider = seek.Seek;
            slider->setMaximum(maximum);
            seek.Index->setMaximum(maximum);
            seek.Index->setValue(start);
            QSignalSpy spy(&seek, &SeekCtrl::newIndex);
            act(seek, expected);
            QCOMPARE(QList<int>({slider->value(), seek.Index->value()}), QList<int>({expected, expected}));
            QCOMPARE(spy, expected == start ? QList<QVariantList>() : QList<QVariantList>({{expected}}));
        }
    }

    void imageFile()
    {
        SelectAImgFile sel;
        ImgDispWPV &view = sel.imageView();
        sel.show();
        QTest::mouseClick(sel.ShowImg, Qt::LeftButton);
        view.Val->setText("untouched");
        sel.noticedNewPos(1, 1);  // nothing to show or read yet
        QVERIFY(!view.isVisible() && !sel.image && view.Val->text() == "untouched");
        const QString loading = QString(R"(^"\d\d:\d\d:\d\d\.\d\d\d" loading "%1"$)");
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(loading.arg(QRegularExpression::escape(first))));
        sel.fileSelected0(first);
        QVERIFY(sel.image && view.isVisible() && sel.FilePath->styleSheet() == good);
        // Rendered through the view's colour bar (auto range: white at the largest value).
        QVERIFY(view.img.size() == QSize(3, 2) && qGray(view.img.pixel(2, 1)) == 255);
        // The exposure-time frame sits right of Clear; the view's pointer reaches the read-out.
        QCOMPARE(sel.gridLayout_3->itemAtPosition(0, 5)->widget(), sel.SelectAImgFileBase);
        emit view.newPosInvY(1, 1);
        QCOMPARE(view.Val->text(), QString("111"));
        // A change of the colour bar re-renders: both handles at the middle make a threshold.
        QCOMPARE(qGray(view.img.pixel(1, 0)), 21);
        view.CBar->setHandles(0.5, 0.5);
        emit view.CBar->newBar();
        QCOMPARE(qGray(view.img.pixel(1, 0)), 0);
        QVERIFY(showsWhole(sel.ExpTimeLE, "-1.23457e-05"));
        // Read-out of the pixel under the pointer, truncated toward zero; 0 off the image.
        for (const auto &[x, y, shown] : {std::tuple{1.0, 1.0, "111"}, {-0.5, 0.9, "100"}, {3.0, 0.0, "0"},
                                          {0.0, 2.0, "0"}, {std::nan(""), 0.0, "0"}}) {
            view.Val->setText("stale");
            sel.noticedNewPos(x, y);
            QCOMPARE(view.Val->text(), QString(shown));
        }
        // A failed load keeps the image held.
        ImgData *const held = sel.image.get();
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Unknown file type"));
        sel.fileSelected0(tmp.filePath("notes.img"));
        QVERIFY(sel.image.get() == held && held->imageFileName() == first);
        QCOMPARE(sel.FilePath->styleSheet() + sel.FilePath->text(), bad + tmp.filePath("notes.img"));
        QCOMPARE(sel.FilePath->toolTip(), QString(R"(Could not read "%1"; still in use: "%2")").arg(tmp.filePath("notes.img"), first));
        sel.fileSelected0(second);
        QVERIFY(sel.image && sel.image->imageFileName() == second && sel.FilePath->styleSheet() == good);
        QVERIFY(sel.FilePath->toolTip().isEmpty());
        // Closing the image window, a helper, never ends the program; ShowImg brings it back.
        sel.hide();
        QVERIFY(!closingEndsTheProgram(view) && !view.isVisible());
        sel.show();
        QTest::mouseClick(sel.ShowImg, Qt::LeftButton);
        QVERIFY(view.isVisible());
        sel.setExpTime(0.1);
        QCOMPARE(sel.ExpTimeLE->text(), QString("0.1"));
        QSignalSpy clearSpy(&sel, &SelectAFile::clear);
        QTest::mouseClick(sel.Clear, Qt::LeftButton);
        QVERIFY(clearSpy.count() == 1 && sel.image == nullptr && sel.FilePath->text().isEmpty());
        QCOMPARE(sel.ExpTimeLE->text() + sel.FilePath->styleSheet(), "0.05" + good);  // the last colour stays
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Unknown file type"));
        sel.fileSelected0(tmp.filePath("notes.img"));
        QCOMPARE(sel.FilePath->toolTip(), QString(R"(Could not read "%1"; no image in use)").arg(tmp.filePath("notes.img")));
    }

    // Both fields start at "1000"; only a changed value is reported, letters read as 0.
    void procFieldEdits()
    {
        for (const auto &[editCor, typed, expected] : {std::tuple{true, "1000.0", 1000.0}, {true, "abc", 0.0},
                                                       {false, "+1000", 1000.0}, {false, "abc", 0.0}}) {
            ProcCtrl ctrl;
            QSignalSpy spy(&ctrl, editCor ? &ProcCtrl::corUpdated : &ProcCtrl::sliceNoUpdated);
            retype(editCor ? ctrl.Cor : ctrl.SliceNo, typed);
            QVERIFY(std::abs((editCor ? ctrl.cor : ctrl.sliceNo) - expected) <= 1e-12);
            QCOMPARE(spy.count(), expected == 1000.0 ? 0 : 1);
        }
    }

    void procSettingsReachTheRequest()
    {
        ProcCtrl ctrl;
        ctrl.show();
        QSignalSpy updateSpy(&ctrl, &ProcCtrl::autoUpdateUpdated), execSpy(&ctrl, &ProcCtrl::autoExecUpdated);
        QSignalSpy rotAxSpy(&ctrl, &ProcCtrl::rotAxUpdated);
        QTest::mouseClick(ctrl.RotAxH, Qt::LeftButton);  // already checked: no change
        QTest::mouseClick(ctrl.RotAxV, Qt::LeftButton);
        QVERIFY(!ctrl.RotAxH->isChecked());  // one group, exclusive
        QTest::mouseClick(ctrl.AutoExecCtCalc, Qt::LeftButton);
        QTest::mouseClick(ctrl.AutoUpdate, Qt::LeftButton);
        ctrl.Threads->setValue(32);
        retype(ctrl.SliceNo, "321");
        retype(ctrl.Cor, "987.25");
        QCOMPARE(QList<qsizetype>({rotAxSpy.count(), execSpy.count(), updateSpy.count()}), QList<qsizetype>({1, 1, 1}));
        CalcConds c;
        c.nextSlice = 42;  // the dispatcher's, left alone
        ctrl.fillCalcConds(c, true, false);
        QCOMPARE(QString("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11")
                     .arg(c.useCt1).arg(c.useCt2).arg(c.rotAxIsV).arg(c.slice).arg(c.cor).arg(c.rangeMode)
                     .arg(c.sliceFrom).arg(c.sliceTo).arg(c.sliceStep).arg(c.threads).arg(c.nextSlice),
                 QString("1 0 1 321 987.25 1 0 2047 1 32 42"));
        QTest::mouseClick(ctrl.RotAxH, Qt::LeftButton);
        QVERIFY(rotAxSpy.count() == 2 && !ctrl.rotAxIsV);
        // Slice fields hold any slice of the largest image with sign, Cor any real.
        for (QLineEdit *field : {ctrl.SliceNo, ctrl.SliceFrom, ctrl.SliceTo, ctrl.SliceStep})
            QVERIFY(showsWhole(field, "-1048576"));
        QVERIFY(showsWhole(ctrl.Cor, "-1.23457e-05"));
        // The filter choice reaches the request; the window box follows the mode.
        QSignalSpy spy(&ctrl, &ProcCtrl::reconFilterUpdated);
        QVERIFY(!ctrl.FilterWindow->isEnabled());
        QTest::mouseClick(ctrl.Quantitative, Qt::LeftButton);
        QVERIFY(ctrl.FilterWindow->isEnabled());
        ctrl.FilterWindow->setCurrentIndex(3);
        QVERIFY(ctrl.setFilterWindow("shepp-logan"));
        ctrl.setFilterWindow("shepp-logan");  // no change, no signal
        ctrl.fillCalcConds(c, false, true);
        QCOMPARE(QList<int>({c.filter.quantitative, c.filter.window, ctrl.FilterWindow->currentIndex()}),
                 QList<int>({1, ReconFilter::SheppLogan, 1}));
        QCOMPARE(spy.count(), 3);
        ctrl.setQuantitative(false);
        QVERIFY(!ctrl.FilterWindow->isEnabled() && !ctrl.reconFilter.quantitative && spy.count() == 4);
        QCOMPARE(ctrl.FilterWindow->currentText(), QString("Shepp-Logan"));
        // An index past the known windows (a form with an extra entry) takes the last one.
        ctrl.setQuantitative(true);
        ctrl.FilterWindow->addItem("extra");
        ctrl.FilterWindow->setCurrentIndex(ctrl.FilterWindow->count() - 1);
        QCOMPARE(int(ctrl.reconFilter.window), ReconFilter::windowCount - 1);
        // Set by the program: unchanged values are neither shown nor reported.
        QSignalSpy sliceSpy(&ctrl, &ProcCtrl::sliceNoUpdated), corSpy(&ctrl, &ProcCtrl::corUpdated);
        ctrl.SliceNo->setText("typed but not finished");
        ctrl.setSliceNo(321);
        ctrl.setCor(987.25);
        QCOMPARE(ctrl.SliceNo->text(), QString("typed but not finished"));
        ctrl.setSliceNo(77);
        ctrl.setCor(1023.4567891);
        QCOMPARE(ctrl.SliceNo->text() + " " + ctrl.Cor->text(), QString("77 1023.46"));
        QVERIFY(ctrl.sliceNo == 77 && sliceSpy.count() == 1 && corSpy.count() == 1);
        // The step takes the direction of the range.
        for (const auto &[from, to, step, signedStep] : {std::array{2047, 0, 5, -5}, {0, 10, -5, 5}, {10, 10, -3, 3},
                                                         {10, 0, INT_MIN, -INT_MAX}}) {
            ctrl.setSliceFrom(from);
            ctrl.setSliceTo(to);
            ctrl.setSliceStep(step);
            CalcConds conds;
            ctrl.fillCalcConds(conds, false, true);
            QCOMPARE(QList<int>({conds.sliceFrom, conds.sliceTo, conds.sliceStep}), QList<int>({from, to, signedStep}));
        }
    }
};

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
