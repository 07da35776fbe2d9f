#include "Body.h"

#include "CtCalc2.h"
#include "CtCalc2Ui.h"
#include "ColorBar.h"
#include "DispA.h"
#include "ImgData.h"
#include "Phantom.h"
#include "RawDisp.h"

#include <algorithm>
#include <QDir>
#include <QScrollArea>
#include <QScrollBar>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QTranslator>
#include <QtTest>

#include <memory>

// The main window: the command set, loading a series, the overlay, runs and shutdown.
class TstBody : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void newSeriesOfAnotherSize();
    void commands_data();
    void commands();
    void nearestI0FirstWinsTie();
    void configurationLinesAndSpentTime();
    void closingDuringSavedRangeRun();
    void loadsDuringARun();
    void regionsFollowTheSeries();
    void runs();
    void japaneseTexts();
    void showImgTurnsToItsTab();
    void rawViewSavesTheShownProjection();
    void everyViewInsideTheWindow_data();
    void everyViewInsideTheWindow();

private:
    // Writes a Shepp-Logan series of w x h pixels with m projections into a folder of the
    // fixture (with I0 and BG, and a copy of its first image named like the folder) and loads it.
    void loadPhantom(int w, int h, int m, bool vertical = true, const QString &folder = "series");
    void run(const QString &lines);
    QString value(const QString &path);
    std::vector<double> reconstruct(const QString &engine);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Body> body;
    QString previousDir;
};

void TstBody::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    previousDir = QDir::currentPath();
    QDir::setCurrent(dir->path());
    body = std::make_unique<Body>(QStringList());
}

void TstBody::cleanup()
{
    body.reset();
    QDir::setCurrent(previousDir);
    dir.reset();
}

// Commands separated by ';', each executed as the batch engine would hand it over ('$' is
// the fixture folder), and the user's own actions: "@click X Y l|r|s" on the raw image,
// "@select X Y W H" (a completed selection, then a repaint), "@set PATH.PROPERTY=VALUE" and
// "@expect REGEX" (a debug line that must come).
void TstBody::run(const QString &lines)
{
    for (const QString &line : lines.split(u';')) {
        const QStringList words = line.split(u' ');
        if (words[0] == "@click") {
            const MouseC::MStat button = words[3] == "l" ? MouseC::MLeft : words[3] == "r" ? MouseC::MRight : MouseC::MLeftShift;
            body->selectedAPointInRawImg(words[1].toDouble(), words[2].toDouble(), button);
        } else if (words[0] == "@select") {
            body->rawView().sel = QRectF(words[1].toDouble(), words[2].toDouble(), words[3].toDouble(), words[4].toDouble());
            body->rawView().selValid = true;
            QImage canvas(200, 200, QImage::Format_RGB32);
            QPainter painter(&canvas);
            body->draw(&painter);
        } else if (words[0] == "@expect") {
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(line.mid(8)));
        } else if (words[0] == "@set") {
            const QString target = words[1].section(u'=', 0, 0);
            QObject *widget = body->findChild<QObject *>(target.section(u'.', 0, 0).section(u'/', -1));
            QVERIFY(widget && widget->setProperty(qPrintable(target.section(u'.', 1)), words[1].section(u'=', 1)));
        } else {
            body->batchExCmd(BatchCmd(QString(line).replace(u'$', dir->path())));
        }
    }
}

// A property by object names from the window down ("procCtrl/SliceFrom.text"); the roots
// "ct1" and "ct2" are the CT1 panel and the last CT2 panel, "shown" is a widget's visibility.
QString TstBody::value(const QString &path)
{
    QObject *at = body.get();
    QStringList names = path.section(u'.', 0, 0).split(u'/', Qt::SkipEmptyParts);
    if (!names.isEmpty() && (names[0] == "ct1" || names[0] == "ct2"))
        at = names.takeFirst() == "ct1" ? static_cast<QObject *>(&body->ct1()) : body->ct2Panels().last();
    for (const QString &name : names)
        at = at ? at->findChild<QObject *>(name) : nullptr;
    const QString property = path.section(u'.', 1);
    if (!at)
        return "no " + path;
    if (property == "shown")
        return QVariant(!static_cast<QWidget *>(at)->isHidden()).toString();
    return at->property(qPrintable(property)).toString();
}

void TstBody::loadPhantom(int w, int h, int m, bool vertical, const QString &folder)
{
    Phantom::Series series;
    series.width = w;
    series.height = h;
    series.projections = m;
    series.folder = dir->filePath(folder);
    QVERIFY(Phantom::writeSeries(series));
    QFile::copy(series.folder + "/phantom_00000.img", series.folder + "/" + QFileInfo(folder).fileName());
    run(QString("ct_rot_ax_is_v %1;images_new_on_load 1;i0_load %2/i0.img;bg_load %2/bg.img;images_load %2 phantom_*.img")
            .arg(vertical ? 1 : 0)
            .arg(series.folder));
    QCOMPARE(body->images().count(), m);
}

// Loading new files frees the geometry of the series before: a data set of another detector
// size is accepted whole.
void TstBody::newSeriesOfAnotherSize()
{
    loadPhantom(40, 4, 3);
    loadPhantom(32, 6, 5);
    QCOMPARE(body->images().imageWidth(), 32);
}

// On a fresh window, with a phantom series loaded first ("W H M [h] [FOLDER]") or none: the
// actions of run(), then each check "PATH.PROPERTY=VALUE" (value() of the window itself for
// an empty path, with "images", "calculating", and "loads", "reports" (batch reports) and
// "corUpdates" counted from before the actions) or "PATH.PROPERTY~VALUE" within 0.5.
void TstBody::commands_data()
{
    QTest::addColumn<QString>("phantom");
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("checkText"); // checks separated by '|'
    auto row = [](const char *name, const char *phantom, const char *actions, const char *checks) {
        QTest::newRow(name) << QString(phantom) << QString(actions) << QString(checks);
    };
    row("settings", "", "ct_rot_ax_is_h 0;ct_slice_from 12;ct_slice_to 40;ct_slice_step 3;ct_threads 99;ct_proc_slice 7;ct_cor 100.25;"
        "ct_auto_gen_sinogram 1;ct_quantitative 1;ct_filter hann;show_sinogram", "procCtrl/RotAxV.checked=true|procCtrl/SliceFrom.text=12|"
        "procCtrl/SliceTo.text=40|procCtrl/SliceStep.text=3|procCtrl/Threads.value=32|procCtrl/SliceNo.text=7|procCtrl/Cor.text=100.25|"
        "procCtrl/AutoUpdate.checked=true|procCtrl/Quantitative.checked=true|procCtrl/FilterWindow.currentIndex=4|ImgsTab.currentIndex=1|.reports=11");
    row("settings back", "", "ct_rot_ax_is_v 1;ct_rot_ax_is_v 0;ct_quantitative 1;ct_quantitative 2;ct_filter cosine;ct_filter ramlak;show_bg;show_orig",
        "procCtrl/RotAxH.checked=true|procCtrl/Quantitative.checked=false|procCtrl/FilterWindow.currentIndex=0|ImgsTab.currentIndex=0");
    // Range mode is a toggled reaction, and it chooses CT2; the click reaction (range mode off
    // for CT1) is not run by a command.
    row("range mode", "", "ct_auto_exec 1;calc_show_res 1;show_ct1", "SelectCt2.checked=true|ShowCalcRes.checked=true|ImgsTab.currentIndex=2");
    row("engines", "", "calc_ct1 1;CALC_CT2 1;calc_ct1 2;calc_ct1;show_i0", "SelectCt2.checked=true|ImgsTab.currentIndex=3");
    row("CT1 in range mode", "", "ct_auto_exec 1;calc_ct1 1;show_bg", "procCtrl/AutoExecCtCalc.checked=true|SelectCt1.checked=true|ImgsTab.currentIndex=4");
    row("colour scale", "", "fix_color_min 0.5;fix_color_max 12345678;fix_color_scale 1;images_add_on_load 1;show_ct2 1",
        "ColorMin.text=0.5|ColorMax.text=1.23457e+07|FixColorScale.checked=true|CTFiles/AddFiles.checked=true|ImgsTab.currentIndex=6");
    row("saving", "", "auto_save_image 1;auto_save_data 1;auto_save_image_name ct;auto_save_image_tag E1;auto_save_data_name d;auto_save_data_tag "
        "\"a b\";images_new_on_load 0;show_tab 3", "AutoSaveImage.checked=true|AutoSaveData.checked=true|SelectImageSaveDir/Name.text=ct|"
        "SelectImageSaveDir/AddTag.text=E1|SelectDataSaveDir/Name.text=d|SelectDataSaveDir/AddTag.text=a b|CTFiles/AddFiles.checked=true|ImgsTab.currentIndex=3");
    row("images", "", "auto_save_data_name x;auto_save_data_clear;images_exp_time 2.5;images_multi 1 90;i0_exp_time 3;bg_exp_time 0.25;"
        "images_add_on_load 1;images_new_on_load 1;show_tab 2;unknown_word 1", "SelectDataSaveDir/Name.text=|CTFiles/ExpTime.text=2.5|"
        "CTFiles/LoadMultiTimes.checked=true|CTFiles/MultiTimes.text=90|I0ImgSel/ExpTimeLE.text=3|BGImgSel/ExpTimeLE.text=0.25|"
        "CTFiles/LoadNewFiles.checked=true|ImgsTab.currentIndex=2|.reports=10");
    row("XAFS information", "", "images_multi 1;images_add_on_load 1;images_add_on_load 0;add_inf_show 1;add_inf_raw_i0_val 2.5;add_inf_raw_i0_from_xafs 1;"
        "add_inf_raw_i0_eng_ptn ###_#;add_inf_i0_i0_val 4;add_inf_i0_i0_from_xafs 1;add_inf_i0_i0_eng_ptn ##;seq_exec_file_pattern *.tif",
        "CTFiles/MultiTimes.text=0|CTFiles/LoadNewFiles.checked=true|AdditionalInfo.shown=true|SelDDir/isKSTStd_.checked=true|I0ofRawImage_/I0Val.text=2.5|"
        "I0ofRawImage_/CalcFromXAFS.checked=true|I0ofRawImage_/EngPattern.text=###_#|I0ofI0Image_/I0Val.text=4|I0ofI0Image_/CalcFromXAFS.checked=true|"
        "I0ofI0Image_/EngPattern.text=##|SelDDir/Pattern.text=*.tif");
    row("naming mode only", "", "add_inf_show 0;seq_exec_kst_std 1", "AdditionalInfo.shown=false|SelDDir/isKSTStd_.checked=true");
    row("sequence shown", "", "seq_exec_show 1", "AdditionalInfo.shown=true");
    // 65 x 6 pixels: a vertical axis halves the odd width, a horizontal one the height.
    row("defaults, vertical axis", "65 6 4", "images_load $/series phantom_*.img", "procCtrl/SliceNo.text=3|procCtrl/Cor.text=32.5|"
        "procCtrl/SliceTo.text=5|seekCtrl/Seek.maximum=3|CTFiles/Selected.count=4|.loads=1");
    row("defaults, horizontal axis", "65 6 4 h", "images_load $/series phantom_*.img",
        "procCtrl/SliceNo.text=32|procCtrl/Cor.text=3|procCtrl/SliceTo.text=64|seekCtrl/Seek.maximum=3");
    // The first argument is the directory, not a pattern: the file named like it is not loaded.
    row("appending, seek clamps", "32 4 5", "images_add_on_load 1;images_load $/series phantom_00000.img;images_load series phantom_00001.img;"
        "images_seek -5", ".images=7|seekCtrl/Index.maximum=6|seekCtrl/Index.value=0");
    row("seek beyond the end", "32 4 5", "images_seek 99", "seekCtrl/Index.value=4");
    row("clear empties the series", "32 4 5", "images_clear", ".images=0|CTFiles/Selected.count=0");
    row("a CT2 view past the last", "", "show_ct2 2147483647", "ImgsTab.currentIndex=36");
    // Unchecked "keep Conds.": every engine's regions follow the new images.
    row("regions follow", "32 4 5", "@set CTFiles/KeepConditions.checked=false;images_load $/series phantom_0000[01].img",
        ".images=2|ct1/Crx1.text=31|ct1/Drx0.text=0|ct1/Drz0.text=0|ct1/Drz1.text=31|ct2/Drz1.text=31");
    row("regions by command", "40 30 2", "ct_set_disp_region 1 2 30 29;ct_set_calc_region 3 4 20 25", "ct1/Drx0.text=1|ct1/Drz0.text=2|"
        "ct1/Drx1.text=30|ct1/Drz1.text=29|ct2/Crx0.text=3|ct2/Crz0.text=4|ct2/Crx1.text=20|ct2/Crz1.text=25");
    row("centre already in use", "32 4 5", "ct_cor 16", ".corUpdates=0");
    row("raw image clicks", "40 30 2", "@click 12.7 20.9 l;@click 12.5 20.9 r;@click 1 1 s", "procCtrl/SliceNo.text=20|procCtrl/Cor.text=12.5");
    // A completed selection: the same square region in all engines, the slice range along the axis.
    row("selection", "40 30 2", "@select 5.5 7.25 20 10",
        "ct1/Crx0.text=5.5|ct1/Crz1.text=25.5|ct2/Drx1.text=25.5|procCtrl/SliceFrom.text=7|procCtrl/SliceTo.text=17");
    row("selection, horizontal axis", "40 30 2", "ct_rot_ax_is_h 1;@select 5.5 7.25 20 10",
        "ct1/Crx0.text=7.25|procCtrl/SliceFrom.text=5|procCtrl/SliceTo.text=25");
    // One sub-directory per data set: "seq_exec_set" loads the chosen one's images and tags the
    // saved results with its name.
    row("data set by sub-directory", "32 4 3 v sets/e1",
        "seq_exec_kst_std 0;seq_exec_file_pattern phantom_*.img;seq_exec_dir $/sets;images_clear;seq_exec_set", ".images=3|SelectDataSaveDir/AddTag.text=e1");
    row("range run with CT1 ends at once", "32 4 10", "ct_auto_exec 1;calc_ct1 1;@expect ^A range run needs the CT2 engine. choose CT2$;"
        "calc_exec", ".reports=3|.calculating=0");
    row("centre search answers when it ends", "64 4 90", "ct_cor 20;ct_find_cor", ".reports=2|procCtrl/Cor.text~31.5");
}

void TstBody::commands()
{
    QFETCH(QString, phantom);
    QFETCH(QString, actions);
    QFETCH(QString, checkText);
    const QStringList checks = checkText.split(u'|');
    const QStringList series = phantom.split(u' ');
    if (!phantom.isEmpty())
        loadPhantom(series[0].toInt(), series[1].toInt(), series[2].toInt(), series.value(3) != "h", series.value(4, "series"));
    body->show();
    QSignalSpy reports(body.get(), &Body::callBatchCheckEnd);
    QSignalSpy loads(body.get(), &Body::finishedLoadingCTFiles);
    QSignalSpy corUpdates(body->procCtrl, &ProcCtrl::corUpdated);
    run(actions);
    const QMap<QString, int> counts{{".images", body->images().count()}, {".loads", loads.count()}, {".corUpdates", corUpdates.count()},
                                      {".calculating", body->isCalculating()}};
    for (const QString &check : checks) {
        const QString path = check.section(QRegularExpression("[=~]"), 0, 0);
        const QString expected = check.mid(path.size() + 1);
        if (path == ".reports")
            QTRY_COMPARE_WITH_TIMEOUT(QString::number(reports.count()), expected, 20000);
        else if (counts.contains(path))
            QCOMPARE(QString::number(counts[path]), expected);
        else if (check[path.size()] == u'~')
            QVERIFY2(std::abs(value(path).toDouble() - expected.toDouble()) <= 0.5, qPrintable(value(path)));
        else
            QCOMPARE(value(path), expected);
    }
}

void TstBody::nearestI0FirstWinsTie()
{
    QDir(dir->path()).mkpath("sets");
    QFile(dir->filePath("sets/s-7150eV-00000.img")).open(QIODevice::WriteOnly);
    run("seq_exec_kst_std 1;seq_exec_file_pattern *.img;seq_exec_dir $/sets");
    QCOMPARE(body->SelDDir->currentEnergy(), 7150.0);
    QCOMPARE(body->SelDDir->SelDir->fileDialog().directory().absolutePath(), dir->filePath("sets"));
    body->i0FilesSelected({"/x/i0-7_3keV-1.img", "/x/i0-7100eV-1.img", "/x/i0-7200eV-1.img"}, true);
    QCOMPARE(body->i0EnergyList(), (QList<double>{7300, 7100, 7200}));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(".*"));
    body->setI0FileFromList();
    QCOMPARE(body->I0ImgSel->FilePath->text(), QString("/x/i0-7100eV-1.img"));
}

void TstBody::configurationLinesAndSpentTime()
{
    body = std::make_unique<Body>(QStringList{"ct_threads 4", "ct_threads 8", "DataRoot /tmp"});
    QCOMPARE(body->procCtrl->Threads->value(), 8);
    const QDateTime start = QDateTime::currentDateTime();
    QCOMPARE(Body::spentText(start, start.addMSecs(1500)), QString("1.5"));
    QCOMPARE(Body::spentText(start, start.addMSecs(123456789)), QString("123457"));
}

// Closing the window in the middle of a CT2 range run that saves: no crash, every
// thread ended, every data file complete, every finished slice saved.
void TstBody::closingDuringSavedRangeRun()
{
    loadPhantom(96, 40, 120);
    const QString out = dir->filePath("out");
    run(QString("ct_threads 2;ct_slice_from 0;ct_slice_to 39;ct_slice_step 1;ct_auto_exec 1;"
                "auto_save_image_path %1;auto_save_image_name s;auto_save_image 1;"
                "auto_save_data_path %1;auto_save_data_name s;auto_save_data 1;calc_exec")
            .arg(out));
    QSignalSpy done(body.get(), &Body::sliceDone);
    QVERIFY(done.wait(20000));
    QCOMPARE(done.first().at(1).toInt(), 1);
    QCOMPARE(done.first().at(2).toInt(), 40);
    QVERIFY(body->CalcProgress->text().endsWith(" / 40"));
    const QList<QThread *> threads = body->threads();
    QCOMPARE(threads.size(), 35);
    QVERIFY(std::none_of(threads.begin(), threads.end(), [](QThread *thread) { return thread->isFinished(); }));
    body->close();
    QVERIFY(std::all_of(threads.begin(), threads.end(), [](QThread *thread) { return thread->isFinished(); }));
    body.reset();

    const QStringList files = QDir(out).entryList({"*.dat"}, QDir::Files, QDir::Name);
    QVERIFY(files.size() >= done.count());
    QVERIFY(files.size() < 40);
    for (const QString &name : files) {
        QFile file(QDir(out).filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        // Header, one line per pixel of the 92 x 92 slice, and the final line feed.
        QCOMPARE(lines.size(), 6 + 92 * 92 + 1);
        QVERIFY(lines.at(lines.size() - 2).startsWith("91\t91\t"));
        QVERIFY(!QImage(QDir(out).filePath(QString(name).replace(".dat", ".png"))).isNull());
    }
}

// A saving range run while the window loads another series, clears it and replaces I0
// after every slice: the files are those of a run left alone. ZORVEL_REPEAT repeats it.
void TstBody::loadsDuringARun()
{
    loadPhantom(40, 6, 30, true, "other");
    loadPhantom(48, 32, 60);
    const QString save = "ct_threads 2;ct_slice_from 0;ct_slice_to 31;ct_slice_step 1;ct_auto_exec 1;"
                         "auto_save_image_name s;auto_save_image 1;auto_save_data_name s;auto_save_data 1;";
    auto runInto = [&](const QString &out, bool disturb) {
        QDir(dir->path()).mkpath(out);
        run(save + QString("auto_save_image_path $/%1;auto_save_data_path $/%1").arg(out));
        int done = 0;
        const auto meddle = connect(body.get(), &Body::sliceDone, this, [&] {
            const QString other = ++done % 2 ? "other" : "series";
            run(QString("images_load $/%1 phantom_*.img;i0_load $/%1/i0.img;images_clear").arg(other));
        });
        if (!disturb)
            disconnect(meddle);
        QSignalSpy ended(body.get(), &Body::calcFinished);
        run("calc_exec");
        QVERIFY(ended.wait(60000));
        disconnect(meddle);
        QVERIFY(!disturb || done == 32);
        run("images_load $/series phantom_*.img;i0_load $/series/i0.img");
    };
    runInto("alone", false);
    const int repeat = qEnvironmentVariableIntValue("ZORVEL_REPEAT");
    for (int k = 0; k < std::max(repeat, 1); ++k)
        runInto(QString("meddled%1").arg(k), true);
    body.reset(); // the saver has written everything
    const QDir alone(dir->filePath("alone"));
    const QStringList files = alone.entryList({"*.png", "*.dat"}, QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 64);
    for (int k = 0; k < std::max(repeat, 1); ++k) {
        const QDir meddled(dir->filePath(QString("meddled%1").arg(k)));
        QCOMPARE(meddled.entryList({"*.png", "*.dat"}, QDir::Files, QDir::Name), files);
        for (const QString &name : files) {
            QFile a(alone.filePath(name)), b(meddled.filePath(name));
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            QVERIFY2(a.readAll() == b.readAll(), qPrintable(name));
        }
    }
}

// A region that fits the new series is kept; one that does not is reset to the whole slice
// with a line. A run over a region wider than its slice writes, and says, only the pixels
// the slice has: no file claims pixels it does not hold, no picture is padded.
void TstBody::regionsFollowTheSeries()
{
    loadPhantom(40, 4, 30, true, "narrow");
    QDir(dir->path()).mkpath("out");
    run("ct_auto_exec 0;calc_ct2 1;auto_save_data_path $/out;auto_save_data_name d;auto_save_data 1;"
        "auto_save_image_path $/out;auto_save_image_name d;auto_save_image 1;ct_set_calc_region 2 3 30 31;ct_set_disp_region 0 0 40 40");
    loadPhantom(64, 4, 30, true, "wide");
    QCOMPARE(value("ct2/Crx1.text"), QString("30")); // fits: kept
    QSignalSpy ended(body.get(), &Body::calcFinished);
    run("calc_exec");
    QVERIFY(ended.wait(20000));
    run("@expect ^The regions do not fit slices of 24 pixels; the whole slice is used : \"\\(2, 3\\)-\\(30, 31\\)\"$");
    loadPhantom(24, 4, 30, true, "small");
    QCOMPARE(value("ct2/Crx1.text") + " " + value("ct1/Drz1.text"), QString("23 23"));
    run("ct_set_calc_region 0 0 2047 2047;ct_set_disp_region 0 0 2047 2047;auto_save_data_tag small;auto_save_image_tag small");
    run("calc_exec");
    QVERIFY(ended.wait(20000));
    body.reset();
    QFile wide(dir->filePath("out/d-00002.dat")), small(dir->filePath("out/d-small-00002.dat"));
    QVERIFY(wide.open(QIODevice::ReadOnly) && small.open(QIODevice::ReadOnly));
    QVERIFY(wide.readLine() == "#ZRVL-CTImg\n" && small.readLine() == "#ZRVL-CTImg\n");
    QCOMPARE(wide.readAll().count('\n'), 5 + 28 * 28);
    const QList<QByteArray> lines = small.readAll().split('\n');
    QCOMPARE(lines.at(4), QByteArray("# sx,sy, ex,ey   : 0\t0\t20\t20"));
    QCOMPARE(lines.size(), 5 + 20 * 20 + 1); // the slice of 24 pixels at centre 12 is 20 wide
    QCOMPARE(QImage(dir->filePath("out/d-small-00002.png")).size(), QSize(20, 20));
}

// A run the script starts (after the commands before its engine's word) reports to it when it
// has ended (CT1 at once, CT2 later), and only then; the image of CT1 or of the first CT2
// worker, or none when the reports were wrong.
std::vector<double> TstBody::reconstruct(const QString &engine)
{
    QSignalSpy ends(body.get(), &Body::calcFinished);
    QSignalSpy scriptEnds(body.get(), &Body::batchCalcFinished);
    QSignalSpy reports(body.get(), &Body::callBatchCheckEnd);
    run(engine + " 1;calc_exec");
    const int commands = engine.count(u';') + 2;
    if ((body->isCalculating() && (reports.count() != commands - 1 || !ends.wait(10000))) || scriptEnds.count() != 1 || reports.count() != commands)
        return {};
    const BpCore &core = engine == "calc_ct1" ? body->ct1().result() : body->ct2Workers()[0]->bpCore();
    return std::vector<double>(core.image(), core.image() + size_t(core.n()) * core.n());
}

// The quantitative mode shows in the title; an unknown window word leaves the choice; CT1 and
// CT2 reconstruct the same numbers in it, and the default is unaffected. A run the user starts
// does not report to the script.
void TstBody::runs()
{
    loadPhantom(64, 24, 60);
    run("ct_quantitative 1;ct_filter hamming");
    QCOMPARE(body->windowTitle(), QString("Zorvel - Quantitative (Hamming)"));
    QTest::ignoreMessage(QtDebugMsg, "Unknown filter window (ramlak, shepp-logan, cosine, hamming, hann): \"blackman\"");
    run("ct_filter blackman");
    QCOMPARE(body->procCtrl->reconFilter.window, ReconFilter::Hamming);
    const std::vector<double> ct1 = reconstruct("calc_ct1");
    QVERIFY(ct1.size() > 100);
    QVERIFY(ct1 == reconstruct("calc_ct2"));
    QCOMPARE(body->ct2Workers()[0]->bpCore().filter(), (ReconFilter{true, ReconFilter::Hamming}));
    run("ct_quantitative 0");
    QCOMPARE(body->windowTitle(), QString("Zorvel"));
    const std::vector<double> defaultCt1 = reconstruct("calc_ct1");
    QCOMPARE(defaultCt1.size(), ct1.size());
    QVERIFY(defaultCt1 != ct1);
    QVERIFY(!body->ct1().result().filter().quantitative);

    QSignalSpy scriptEnds(body.get(), &Body::batchCalcFinished);
    QSignalSpy ends(body.get(), &Body::calcFinished);
    run("calc_ct2 1");
    body->CalcCT->click();
    QVERIFY(ends.wait(10000));
    QCOMPARE(scriptEnds.count(), 0);
    QVERIFY(!body->CalcSpentT->text().isEmpty());
    QCOMPARE(body->CalcCT->styleSheet(), QString("background-color: rgb(240, 240, 240);"));
    QCOMPARE(body->CalcProgress->text(), QString());
    // A horizontal axis: slices are image columns, 24 rows across the axis.
    QVERIFY(!reconstruct("ct_rot_ax_is_h 1;ct_cor 12;ct_proc_slice 16;calc_ct2").empty());
    QCOMPARE(body->ct2Workers().first()->bpCore().imageSide(), 20);
    QVERIFY(body->ct2Workers().first()->bpCore().isDone());
}

// Texts of the window's form, of a panel's, of a frame title and of the window's own code,
// from the Japanese catalogue the program carries.
void TstBody::japaneseTexts()
{
    QTranslator translator;
    QVERIFY(translator.load(ZORVEL_QM));
    QCoreApplication::installTranslator(&translator);
    body = std::make_unique<Body>(QStringList());
    const QStringList texts{body->CalcCT->text(), value("CTFiles/Select.text"), value("I0ofRawImage_/Title.text"),
                            value("procCtrl/Quantitative.text"), value("SelDDir/Next.text"), value("I0ofI0Image_/CalcFromXAFS.text"),
                            value("SinogramImgBase/GenImg.text"), value("CtImgBase/SetCRegion.text"), body->RawImgBase->popBase.windowTitle(),
                            QCoreApplication::translate("XafsBatch", "Calculating"), body->ImgsTab->tabText(body->fixedTabs + 1),
                            body->rawView().actions().value(1)->text()};
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(texts, (QStringList{"計算", "データ選択", "投影像の I0", "定量", "次へ", "XAFS ファイルから計算", "画像生成", "計算範囲に設定",
                                         "測定生画像", "計算中", "CT2 2", "表示を名前を付けて保存…"}));
}

// The I0 and BG views are docked on tabs: "Show Img" turns to the tab, or raises the view's
// own window when it was popped out.
void TstBody::showImgTurnsToItsTab()
{
    body->show();
    QVERIFY(QTest::qWaitForWindowExposed(body.get()));
    for (const auto &[selector, base] : {std::pair{body->I0ImgSel, body->I0ImgBase}, {body->BGImgSel, body->BGImgBase}}) {
        body->ImgsTab->setCurrentIndex(0);
        QTest::mouseClick(selector->ShowImg, Qt::LeftButton);
        QVERIFY(body->ImgsTab->currentWidget()->isAncestorOf(base) && selector->imageView().isVisible());
    }
    QTest::mouseClick(body->I0ImgBase->PopDock, Qt::LeftButton);
    body->ImgsTab->setCurrentIndex(0);
    body->activateWindow();
    QTest::mouseClick(body->I0ImgSel->ShowImg, Qt::LeftButton);
    QCOMPARE(body->ImgsTab->currentIndex(), 0);
    QTRY_VERIFY(body->I0ImgBase->popBase.isActiveWindow() && body->I0ImgSel->imageView().isVisible());
}

// "Save view as..." a float TIFF from the raw view: the values of the projection it shows,
// read back through the program's own TIFF reader.
void TstBody::rawViewSavesTheShownProjection()
{
    loadPhantom(40, 4, 3);
    body->seekCtrl->Index->setValue(2);
    auto *view = body->RawImgBase->findChild<RawDisp *>();
    QVERIFY(view);
    const QString file = dir->filePath("raw.tif");
    QVERIFY(view->saveView(file));
    const std::unique_ptr<ImgData> saved = openImgData(file);
    const ImgData *shown = body->images().at(2);
    QVERIFY(saved && shown && saved->imageWidth() == 40 && saved->imageHeight() == 4);
    std::vector<double> savedRow(40), shownRow(40);
    for (int y = 0; y < 4; ++y) {
        saved->line(y, savedRow.data());
        shown->line(y, shownRow.data());
        for (int x = 0; x < 40; ++x)
            QCOMPARE(savedRow[size_t(x)], double(float(shownRow[size_t(x)])));
    }
    QVERIFY(shown != body->images().at(0)); // the projection shown, not the first
}

void TstBody::everyViewInsideTheWindow_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("small screen") << QSize(1280, 800);
    QTest::newRow("default") << QSize(1500, 960);
}

// A detector 640 pixels wide (the tooth's), after a CT2 range run (its slices widen the CT2
// panel): on every tab each canvas and colour bar is wholly in sight, not clipped by the window
// or by a scroll area, and large enough to look at.
void TstBody::everyViewInsideTheWindow()
{
    QFETCH(QSize, size);
    loadPhantom(640, 4, 12);
    run("ct_cor 300;ct_proc_slice 2;ct_auto_gen_sinogram 1");
    body->sinogram().setGenFouS(true);
    body->sinogram().genImage();
    QVERIFY(!reconstruct("ct_auto_exec 1;ct_slice_from 0;ct_slice_to 3;ct_slice_step 1;calc_ct2").empty());
    body->resize(size);
    body->show();
    QVERIFY(QTest::qWaitForWindowExposed(body.get()));
    QCOMPARE(body->size(), size);
    for (int tab : {0, 1, 2, 3, 4, Body::fixedTabs, Body::fixedTabs + 1}) {
        body->ImgsTab->setCurrentIndex(tab);
        QTest::qWait(20);  // layout requests post further ones
        const QList<DispA *> canvases = body->ImgsTab->currentWidget()->findChildren<DispA *>();
        QVERIFY(canvases.size() >= 2);
        // A panel wider than its tab scrolls sideways, whatever the last layout pass left.
        const auto *page = qobject_cast<const QScrollArea *>(body->ImgsTab->currentWidget());
        QVERIFY2(!page || page->widget()->minimumSizeHint().width() <= page->viewport()->width(),
                 qPrintable(body->ImgsTab->tabText(tab) + " is wider than its tab"));
        QVERIFY(!body->ImgsTab->currentWidget()->findChildren<ColorBar *>().isEmpty());
        for (const DispA *canvas : canvases) {
            const QString where = body->ImgsTab->tabText(tab) + " " + canvas->metaObject()->className();
            const QRect inWindow(canvas->mapTo(body.get(), QPoint(0, 0)), canvas->size());
            QVERIFY2(canvas->isVisible() && body->rect().contains(inWindow), qPrintable(where));
            QVERIFY2(canvas->visibleRegion() == QRegion(canvas->rect()), qPrintable(where + " is clipped"));
            QVERIFY2(canvas->height() >= 150 && canvas->width() >= 20, qPrintable(where + " is too small"));
        }
    }
}

QTEST_MAIN(TstBody)
#include "tst_body.moc"
