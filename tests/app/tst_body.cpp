#include "Body.h"

#include "CtCalc2.h"
#include "CtCalc2Ui.h"
#include "Phantom.h"

#include <atomic>
#include <QDir>
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
    void loadingDefaults_data();
    void loadingDefaults();
    void loadingAppendsAndSeekClamps();
    void rawClicksAndSelection();
    void nearestI0FirstWinsTie();
    void dataSetsBySubDirectory();
    void runsReportToTheScriptOnlyWhenItStartedThem();
    void rangeRunWithCt1EndsAtOnce();
    void findCorAnswersWhenTheSearchEnds();
    void configurationLinesAreCommands();
    void spentTime();
    void closingDuringSavedRangeRun();
    void quantitativeMode();
    void japaneseTexts_data();
    void japaneseTexts();

private:
    // Writes a Shepp-Logan series of w x h pixels with m projections into the fixture
    // folder and loads it (with I0 and BG) through commands.
    void loadPhantom(int w, int h, int m, bool vertical = true);
    void run(const QString &lines);
    QObject *widget(const QString &path) const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Body> body;
};

// The rows of the command table share one window (each row sets what it checks);
// every other test gets a fresh one.
static bool sharesWindow()
{
    return QTest::currentTestFunction() == QLatin1String("commands");
}

void TstBody::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    if (!body || !sharesWindow())
        body = std::make_unique<Body>(QStringList());
}

void TstBody::cleanup()
{
    if (!sharesWindow())
        body.reset();
    dir.reset();
}

// Commands separated by ';', each executed as the batch engine would hand it over.
void TstBody::run(const QString &lines)
{
    for (const QString &line : lines.split(u';'))
        body->batchExCmd(BatchCmd(line));
}

// A widget by its object names from the window down, e.g. "procCtrl/SliceFrom".
QObject *TstBody::widget(const QString &path) const
{
    QObject *at = body.get();
    for (const QString &name : path.split(u'/'))
        at = at ? at->findChild<QObject *>(name) : nullptr;
    return at;
}

void TstBody::loadPhantom(int w, int h, int m, bool vertical)
{
    Phantom::Series series;
    series.width = w;
    series.height = h;
    series.projections = m;
    series.folder = dir->filePath("series");
    QVERIFY(Phantom::writeSeries(series));
    const QString folder = series.folder;
    run(QString("ct_rot_ax_is_v %1;images_new_on_load 1;i0_load %2/i0.img;bg_load %2/bg.img;"
                "images_load %2 phantom_*.img")
            .arg(vertical ? 1 : 0)
            .arg(folder));
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

// Each command moves the widget it names and reports completion once.
void TstBody::commands_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("expected");
    auto row = [](const char *lines, const char *path, const char *property, const QVariant &expected) {
        QTest::newRow(lines) << QString(lines) << QString(path) << QString(property) << expected;
    };
    row("ct_slice_from 12", "procCtrl/SliceFrom", "text", "12");
    row("ct_slice_to 40", "procCtrl/SliceTo", "text", "40");
    row("ct_slice_step 3", "procCtrl/SliceStep", "text", "3");
    row("ct_threads 4", "procCtrl/Threads", "value", 4);
    row("ct_threads 99", "procCtrl/Threads", "value", 32);
    row("ct_proc_slice 7", "procCtrl/SliceNo", "text", "7");
    row("ct_cor 100.25", "procCtrl/Cor", "text", "100.25");
    row("ct_rot_ax_is_h 0", "procCtrl/RotAxV", "checked", true);
    row("ct_rot_ax_is_v 1;ct_rot_ax_is_v 0", "procCtrl/RotAxH", "checked", true);
    row("ct_auto_gen_sinogram 1", "procCtrl/AutoUpdate", "checked", true);
    row("ct_quantitative 1", "procCtrl/Quantitative", "checked", true);
    row("ct_quantitative 1;ct_quantitative 2", "procCtrl/Quantitative", "checked", false);
    row("ct_filter hann", "procCtrl/FilterWindow", "currentIndex", 4);
    row("ct_filter cosine;ct_filter ramlak", "procCtrl/FilterWindow", "currentIndex", 0);
    // Range mode is a toggled reaction, and it chooses CT2.
    row("ct_auto_exec 1", "SelectCt2", "checked", true);
    row("calc_ct2 1", "SelectCt2", "checked", true);
    row("CALC_CT2 1", "SelectCt2", "checked", true);
    row("calc_ct2 1;calc_ct1 2", "SelectCt1", "checked", false);
    row("calc_ct2 1;calc_ct1", "SelectCt1", "checked", false);
    // The click reaction (range mode off for CT1) is not run by the command.
    row("ct_auto_exec 1;calc_ct1 1", "procCtrl/AutoExecCtCalc", "checked", true);
    row("calc_show_res 1", "ShowCalcRes", "checked", true);
    row("fix_color_min 0.5", "ColorMin", "text", "0.5");
    row("fix_color_max 12345678", "ColorMax", "text", "1.23457e+07");
    row("fix_color_scale 1", "FixColorScale", "checked", true);
    row("auto_save_image 1", "AutoSaveImage", "checked", true);
    row("auto_save_data 1", "AutoSaveData", "checked", true);
    row("auto_save_image_name ct", "SelectImageSaveDir/Name", "text", "ct");
    row("auto_save_image_tag E1", "SelectImageSaveDir/AddTag", "text", "E1");
    row("auto_save_data_name d", "SelectDataSaveDir/Name", "text", "d");
    row("auto_save_data_tag \"a b\"", "SelectDataSaveDir/AddTag", "text", "a b");
    row("auto_save_data_name x;auto_save_data_clear", "SelectDataSaveDir/Name", "text", "");
    row("images_new_on_load 1", "CTFiles/LoadNewFiles", "checked", true);
    row("images_new_on_load 0", "CTFiles/AddFiles", "checked", true);
    row("images_add_on_load 1", "CTFiles/AddFiles", "checked", true);
    row("images_add_on_load 0", "CTFiles/LoadNewFiles", "checked", true);
    row("images_exp_time 2.5", "CTFiles/ExpTime", "text", "2.5");
    row("images_multi 1 90", "CTFiles/LoadMultiTimes", "checked", true);
    row("images_multi 1 90", "CTFiles/MultiTimes", "text", "90");
    row("images_multi 1", "CTFiles/MultiTimes", "text", "0");
    row("i0_exp_time 3", "I0ImgSel/ExpTimeLE", "text", "3");
    row("bg_exp_time 0.25", "BGImgSel/ExpTimeLE", "text", "0.25");
    row("add_inf_show 1", "AdditionalInfo", "shown", true);
    row("add_inf_show 1", "SelDDir/isKSTStd_", "checked", true);
    row("seq_exec_kst_std 1", "SelDDir/isKSTStd_", "checked", true);
    row("add_inf_show 0;seq_exec_kst_std 1", "AdditionalInfo", "shown", false);
    row("seq_exec_show 1", "AdditionalInfo", "shown", true);
    row("seq_exec_file_pattern *.tif", "SelDDir/Pattern", "text", "*.tif");
    row("add_inf_raw_i0_val 2.5", "I0ofRawImage_/I0Val", "text", "2.5");
    row("add_inf_raw_i0_from_xafs 1", "I0ofRawImage_/CalcFromXAFS", "checked", true);
    row("add_inf_raw_i0_eng_ptn ###_#", "I0ofRawImage_/EngPattern", "text", "###_#");
    row("add_inf_i0_i0_val 4", "I0ofI0Image_/I0Val", "text", "4");
    row("add_inf_i0_i0_from_xafs 1", "I0ofI0Image_/CalcFromXAFS", "checked", true);
    row("add_inf_i0_i0_eng_ptn ##", "I0ofI0Image_/EngPattern", "text", "##");
    row("show_tab 3", "ImgsTab", "currentIndex", 3);
    row("show_sinogram", "ImgsTab", "currentIndex", 1);
    row("show_ct1", "ImgsTab", "currentIndex", 2);
    row("show_i0", "ImgsTab", "currentIndex", 3);
    row("show_bg", "ImgsTab", "currentIndex", 4);
    row("show_bg;show_orig", "ImgsTab", "currentIndex", 0);
    row("show_ct2 1", "ImgsTab", "currentIndex", 6);
    row("show_tab 2;unknown_word 1", "ImgsTab", "currentIndex", 2);
}

void TstBody::commands()
{
    QFETCH(QString, lines);
    QFETCH(QString, path);
    QFETCH(QString, property);
    QFETCH(QVariant, expected);
    body->show();
    QSignalSpy reports(body.get(), &Body::callBatchCheckEnd);
    run(lines);
    QCOMPARE(reports.count(), lines.count(u';') + 1);
    auto *target = qobject_cast<QWidget *>(widget(path));
    QVERIFY2(target, qPrintable(path));
    const QVariant value = property == "shown" ? QVariant(!target->isHidden()) : target->property(qPrintable(property));
    QCOMPARE(value, expected);
}

void TstBody::loadingDefaults_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<int>("slice");
    QTest::addColumn<QString>("cor");
    QTest::addColumn<QString>("sliceTo");
    // 65 x 6 pixels: a vertical axis halves the odd width, a horizontal one the height.
    QTest::newRow("vertical axis") << true << 3 << "32.5" << "5";
    QTest::newRow("horizontal axis") << false << 32 << "3" << "64";
}

void TstBody::loadingDefaults()
{
    QFETCH(bool, vertical);
    QFETCH(int, slice);
    QFETCH(QString, cor);
    QFETCH(QString, sliceTo);
    QSignalSpy loaded(body.get(), &Body::finishedLoadingCTFiles);
    loadPhantom(65, 6, 4, vertical);
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(body->procCtrl->sliceNo, slice);
    QCOMPARE(body->procCtrl->Cor->text(), cor);
    QCOMPARE(body->procCtrl->SliceTo->text(), sliceTo);
    QCOMPARE(body->seekCtrl->Seek->maximum(), 3);
    QCOMPARE(body->CTFiles->Selected->count(), 4);
}

void TstBody::loadingAppendsAndSeekClamps()
{
    loadPhantom(32, 4, 5);
    run(QString("images_add_on_load 1;images_load %1 phantom_00000.img").arg(dir->filePath("series")));
    QCOMPARE(body->images().count(), 6);
    QCOMPARE(body->seekCtrl->Index->maximum(), 5);
    // The first argument is the directory, not a pattern: a file named like the
    // directory is not loaded.
    QFile::copy(dir->filePath("series/phantom_00000.img"), dir->filePath("series/series"));
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(dir->path());
    run("images_load series phantom_00001.img");
    QDir::setCurrent(previousDir);
    QCOMPARE(body->images().count(), 7);
    run("images_seek -5");
    QCOMPARE(body->seekCtrl->Index->value(), 0);
    run("images_seek 99");
    QCOMPARE(body->seekCtrl->Index->value(), 6);
    // Unchecked "keep Conds.": every engine's regions follow the new images.
    body->CTFiles->KeepConditions->setChecked(false);
    run(QString("images_new_on_load 1;images_load %1 phantom_0000[01].img").arg(dir->filePath("series")));
    QCOMPARE(body->images().count(), 2);
    QCOMPARE(body->ct1().Crx1->text(), QString("31"));
    QCOMPARE(body->ct2Panels().last()->Drz1->text(), QString("31"));
    // The centre already in use: no signal.
    QSignalSpy corChanges(body->procCtrl, &ProcCtrl::corUpdated);
    run("ct_cor 16");
    QCOMPARE(corChanges.count(), 0);
}

void TstBody::rawClicksAndSelection()
{
    loadPhantom(40, 30, 2);
    body->selectedAPointInRawImg(12.7, 20.9, MouseC::MLeft);
    QCOMPARE(body->procCtrl->sliceNo, 20);
    body->selectedAPointInRawImg(12.5, 20.9, MouseC::MRight);
    QCOMPARE(body->procCtrl->cor, 12.5);
    body->selectedAPointInRawImg(1, 1, MouseC::MLeftShift);
    QCOMPARE(body->procCtrl->sliceNo, 20);

    // A completed selection: the same square region in all engines, the slice range
    // along the axis.
    RawDisp &raw = body->rawView();
    raw.sel = QRectF(5.5, 7.25, 20, 10);
    raw.selValid = true;
    QImage canvas(200, 200, QImage::Format_RGB32);
    QPainter painter(&canvas);
    body->draw(&painter);
    QCOMPARE(body->ct1().Crx0->text(), QString("5.5"));
    QCOMPARE(body->ct1().Crz1->text(), QString("25.5"));
    QCOMPARE(body->ct2Panels().at(31)->Drx1->text(), QString("25.5"));
    QCOMPARE(body->procCtrl->SliceFrom->text(), QString("7"));
    QCOMPARE(body->procCtrl->SliceTo->text(), QString("17"));
    run("ct_rot_ax_is_h 1");
    body->draw(&painter);
    QCOMPARE(body->ct1().Crx0->text(), QString("7.25"));
    QCOMPARE(body->procCtrl->SliceFrom->text(), QString("5"));
    QCOMPARE(body->procCtrl->SliceTo->text(), QString("25"));
}

void TstBody::nearestI0FirstWinsTie()
{
    QDir(dir->path()).mkpath("sets");
    QFile(dir->filePath("sets/s-7150eV-00000.img")).open(QIODevice::WriteOnly);
    run(QString("seq_exec_kst_std 1;seq_exec_file_pattern *.img;seq_exec_dir %1").arg(dir->filePath("sets")));
    QCOMPARE(body->SelDDir->currentEnergy(), 7150.0);
    body->i0FilesSelected({"/x/i0-7_3keV-1.img", "/x/i0-7100eV-1.img", "/x/i0-7200eV-1.img"}, true);
    QCOMPARE(body->i0EnergyList(), (QList<double>{7300, 7100, 7200}));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(".*"));
    body->setI0FileFromList();
    QCOMPARE(body->I0ImgSel->FilePath->text(), QString("/x/i0-7100eV-1.img"));
}

// One sub-directory per data set: "seq_exec_set" loads the chosen one's images and
// tags the saved results with its name.
void TstBody::dataSetsBySubDirectory()
{
    loadPhantom(32, 4, 3);
    QVERIFY(QDir(dir->path()).mkpath("sets"));
    QVERIFY(QDir(dir->path()).rename("series", "sets/e1"));
    run(QString("seq_exec_kst_std 0;seq_exec_file_pattern phantom_*.img;seq_exec_dir %1;images_new_on_load 1")
            .arg(dir->filePath("sets")));
    body->images().clearImgs();
    run("seq_exec_set");
    QCOMPARE(body->images().count(), 3);
    QCOMPARE(body->SelectDataSaveDir->AddTag->text(), QString("e1"));
}

void TstBody::runsReportToTheScriptOnlyWhenItStartedThem()
{
    loadPhantom(32, 24, 30);
    run("calc_ct2 1");
    QSignalSpy scriptEnds(body.get(), &Body::batchCalcFinished);
    QSignalSpy reports(body.get(), &Body::callBatchCheckEnd);
    QSignalSpy ends(body.get(), &Body::calcFinished);
    run("calc_exec");
    QVERIFY(body->isCalculating());
    QCOMPARE(reports.count(), 0);
    QVERIFY(ends.wait(10000));
    QCOMPARE(scriptEnds.count(), 1);
    QCOMPARE(reports.count(), 1);
    body->CalcCT->click();
    QVERIFY(ends.wait(10000));
    QCOMPARE(scriptEnds.count(), 1);
    QVERIFY(!body->CalcSpentT->text().isEmpty());
    QCOMPARE(body->CalcCT->styleSheet(), QString("background-color: rgb(240, 240, 240);"));
    QCOMPARE(body->CalcProgress->text(), QString());
    // A horizontal axis: slices are image columns, 24 rows across the axis.
    run("ct_rot_ax_is_h 1;ct_cor 12;ct_proc_slice 16;calc_exec");
    QVERIFY(ends.wait(10000));
    QCOMPARE(scriptEnds.count(), 2);
    QCOMPARE(body->ct2Workers().first()->bpCore().imageSide(), 20);
    QVERIFY(body->ct2Workers().first()->bpCore().isDone());
}

void TstBody::rangeRunWithCt1EndsAtOnce()
{
    loadPhantom(32, 4, 10);
    run("ct_auto_exec 1;calc_ct1 1");
    QSignalSpy reports(body.get(), &Body::callBatchCheckEnd);
    QTest::ignoreMessage(QtDebugMsg, "body-cmd \"calc_exec\"");
    QTest::ignoreMessage(QtDebugMsg, "A range run needs the CT2 engine; choose CT2");
    run("calc_exec");
    QVERIFY(!body->isCalculating());
    QCOMPARE(reports.count(), 1);
}

void TstBody::findCorAnswersWhenTheSearchEnds()
{
    loadPhantom(64, 4, 90);
    run("ct_cor 20");
    QSignalSpy reports(body.get(), &Body::callBatchCheckEnd);
    run("ct_find_cor");
    QVERIFY(reports.count() == 1 || reports.wait(20000));
    QCOMPARE(reports.count(), 1);
    QVERIFY(std::abs(body->procCtrl->cor - 31.5) <= 0.5);
}

void TstBody::configurationLinesAreCommands()
{
    body.reset();
    body = std::make_unique<Body>(QStringList{"ct_threads 4", "ct_threads 8", "DataRoot /tmp"});
    QCOMPARE(body->procCtrl->Threads->value(), 8);
}

void TstBody::spentTime()
{
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
    std::atomic<int> ended{0}; // counted on each finishing thread
    const QList<QThread *> threads = body->threads();
    QCOMPARE(threads.size(), 35);
    for (QThread *thread : threads)
        connect(thread, &QThread::finished, this, [&ended] { ++ended; }, Qt::DirectConnection);
    body->close();
    QCOMPARE(ended.load(), 35);
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

// The mode shows in the title; an unknown window word leaves the choice; CT1 and CT2
// reconstruct the same numbers in it, and the default is unaffected.
void TstBody::quantitativeMode()
{
    loadPhantom(64, 4, 60);
    run("ct_quantitative 1;ct_filter hamming");
    QCOMPARE(body->windowTitle(), QString("Zorvel - Quantitative (Hamming)"));
    QTest::ignoreMessage(QtDebugMsg, "body-cmd \"ct_filter\"");
    QTest::ignoreMessage(QtDebugMsg,
                         "Unknown filter window (ramlak, shepp-logan, cosine, hamming, hann): \"blackman\"");
    run("ct_filter blackman");
    QCOMPARE(body->procCtrl->reconFilter.window, ReconFilter::Hamming);

    auto reconstruct = [this](const char *engine) {
        QSignalSpy ends(body.get(), &Body::calcFinished);
        run(QString("%1 1;calc_exec").arg(engine));
        if (body->isCalculating())
            ends.wait(10000);
        const BpCore &core = QString(engine) == "calc_ct1" ? body->ct1().result() : body->ct2Workers()[0]->bpCore();
        return std::vector<double>(core.image(), core.image() + size_t(core.n()) * core.n());
    };
    const std::vector<double> ct1 = reconstruct("calc_ct1");
    const std::vector<double> ct2 = reconstruct("calc_ct2");
    QVERIFY(ct1.size() > 100);
    QVERIFY(ct1 == ct2);
    QCOMPARE(body->ct2Workers()[0]->bpCore().filter(), (ReconFilter{true, ReconFilter::Hamming}));

    run("ct_quantitative 0");
    QCOMPARE(body->windowTitle(), QString("Zorvel"));
    const std::vector<double> defaultCt1 = reconstruct("calc_ct1");
    QCOMPARE(defaultCt1.size(), ct1.size());
    QVERIFY(defaultCt1 != ct1);
    QVERIFY(!body->ct1().result().filter().quantitative);
}

// A text of each form and of the window's own texts, in English and from the
// Japanese catalogue the program carries.
void TstBody::japaneseTexts_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("japanese");
    QTest::newRow("window") << "CalcCT" << "text" << "Calc" << "計算";
    QTest::newRow("window title") << "" << "windowTitle" << "Zorvel" << "Zorvel";
    QTest::newRow("projection files") << "CTFiles/Select" << "text" << "Data Select" << "データ選択";
    QTest::newRow("data sets") << "SelDDir/Next" << "text" << "Next" << "次へ";
    QTest::newRow("I0 panel title") << "I0ofRawImage_/Title" << "text" << "I0 of Raw Image" << "投影像の I0";
    QTest::newRow("I0 panel") << "I0ofI0Image_/CalcFromXAFS" << "text" << "Calc from XAFS file" << "XAFS ファイルから計算";
    QTest::newRow("sinogram panel") << "SinogramImgBase/GenImg" << "text" << "Gen Image" << "画像生成";
    QTest::newRow("CT1 panel") << "CtImgBase/SetCRegion" << "text" << "Set To C. Region" << "計算範囲に設定";
    QTest::newRow("quantitative") << "procCtrl/Quantitative" << "text" << "Quantitative" << "定量";
    QTest::newRow("frame title") << "RawImgBase" << "popTitle" << "Measured Raw Image" << "測定生画像";
}

void TstBody::japaneseTexts()
{
    QFETCH(QString, path);
    QFETCH(QString, property);
    QFETCH(QString, english);
    QFETCH(QString, japanese);
    auto text = [&] {
        QObject *target = path.isEmpty() ? body.get() : widget(path);
        if (property == "popTitle")
            return static_cast<PopDockBase *>(target)->popBase.windowTitle();
        return target->property(qPrintable(property)).toString();
    };
    QCOMPARE(text(), english);
    QTranslator translator;
    QVERIFY(translator.load(ZORVEL_QM));
    QCoreApplication::installTranslator(&translator);
    body = std::make_unique<Body>(QStringList());
    const QString translated = text();
    const QString stage = QCoreApplication::translate("XafsBatch", "Calculating");
    const QString tab = body->ImgsTab->tabText(body->fixedTabs + 1);
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(translated, japanese);
    QCOMPARE(stage, QString("計算中"));
    QCOMPARE(tab, QString("CT2 2"));
}

QTEST_MAIN(TstBody)
#include "tst_body.moc"
