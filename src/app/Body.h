#pragma once

#include "Batch.h"
#include "BatchCmd.h"
#include "CalcConds.h"
#include "CtCalc.h"
#include "CtPool.h"
#include "JobOutcome.h"
#include "ImgDatas.h"
#include "MouseC.h"
#include "RawDisp.h"
#include "Sinogram.h"
#include "XafsBatch.h"
#include "XanesCommands.h"
#include "ui_Body.h"

#include <QDateTime>
#include <QFileInfoList>
#include <QHash>
#include <QFrame>
#include <QList>
#include <QPen>
#include <QStringList>

#include <memory>
#include <vector>

class CtCalc2;
class CtCalc2Ui;
class QAbstractButton;
class QButtonGroup;
class QThread;
class XanesPanel;

// The main window. It owns every panel, view, engine and worker thread, wires them
// together, and keeps the behaviour that belongs to no single panel: loading a series
// and adapting the controls to it, the overlay on the raw image, the runs of both
// engines with their times, the regions and the colour scale shared by all result
// views, the save settings, and the batch command set. The configuration lines are
// executed as commands at the end of construction.
//
// Threads: the batch engine, the sequence controller, the data saver and the 32 CT2
// workers each live on a thread created here; every signal between them and the
// window is queued. A CT2 run reads a snapshot of the series and the controls taken
// at its start, so loading, clearing or replacing images during a run changes only
// what the window shows. Closing the window (or destroying it, or shutdown()) stops
// the script and the sequence, lets the slices in progress end and the saver write
// what it holds, and waits for every thread before the objects they serve go.
class Body : public QFrame, public Ui::Body
{
    Q_OBJECT
public:
    explicit Body(const QStringList &configLines, QWidget *parent = nullptr);
    ~Body() override;

    static constexpr int ct2PoolSize = 32;
    static constexpr int fixedTabs = 5; // raw, sinogram, CT1, I0, BG; the CT2 views follow

    const QList<CtCalc2 *> &ct2Workers() const { return ct2Pool.workers(); }
    CtPool &ct2() { return ct2Pool; }
    const QList<CtCalc2Ui *> &ct2Panels() const { return panels; }
    CtCalc &ct1() { return ctCalc; }
    Sinogram &sinogram() { return sinogramPanel; }
    RawDisp &rawView() { return rawDisp; }
    ImgDatas &images() { return imgs; }
    const QList<double> &i0EnergyList() const { return i0Energies; }
    bool isCalculating() const { return calculating; }
    // What the job did so far: runs, data sets, loads and files.
    const JobOutcome &jobOutcome() const { return outcome; }
    // A headless job (-q): every run a script starts must be able to end.
    void setJobMode(bool on) { jobMode = on; }
    // Seconds from start to end as the "Spent" field shows them ('g', 6 digits).
    static QString spentText(const QDateTime &start, const QDateTime &end);
    // Every thread the window started (engine, sequence, saver, workers).
    QList<QThread *> threads() const;

signals:
    void batchCalcStart();
    void batchCalcFinished();
    void finishing();
    void finishedLoadingCTFiles();
    void calcFinished();
    void callBatchLoad(QString fname);
    void callBatchExec();
    void callBatchCheckEnd();
    // The script started with batchExec has stopped and the run it started has ended.
    void batchJobEnded();
    // A slice of a range run has ended: its number, and the count done of the total
    // (total 0 when the range never ends, Step 0).
    void sliceDone(int slice, qint64 done, qint64 total);

public slots:
    void dataFilesSelected(QStringList files, bool clear);
    void newPosOnRawImg(double x, double y);
    void updateRawImage();
    void draw(QPainter *p);
    void selectedAPointInRawImg(double x, double y, MouseC::MStat s);
    void showDispRaw();
    void showSinogram();
    void toggleCalcCt();
    void startCalcCt();
    void stopCalcCt();
    void execSingleCtCalc();
    void ctCalcFinished();
    void showAdditionalInfo(bool f);
    void changedCtSel(QAbstractButton *button);
    void changedAutoExec();
    void dRUpdated(double rx0, double rz0, double rx1, double rz1);
    void cRUpdated(double rx0, double rz0, double rx1, double rz1);
    void batchExCmd(BatchCmd cmd);
    void fixColorScaleToggled(bool f);
    double colorMin();
    double colorMax();
    void selectedDir(QString dir, QStringList patterns);
    void selectedFileInfoList(QFileInfoList fileInfoList);
    void startingSeqCalc();
    void finishedSeqCalc();
    void i0FilesSelected(QStringList files, bool clear);
    void noticedStage(QString msg, qlonglong dEt);
    void setI0FileFromList();
    void batchLoad(QString fname);
    void batchExec();
    void setFixColorScale(bool f);
    void setColorMin(double v);
    void setColorMax(double v);
    void setAutoSaveImage(bool f);
    void setAutoSaveData(bool f);

    // Stops handing out slices, lets the running ones end and the saver write what it
    // holds, then ends every thread. Idempotent; also on close and destruction.
    void shutdown();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void batchEngineStopped();
    // The window title names the quantitative mode and its window while it is on.
    void showReconMode();
    void corSearchEnded(bool found);
    void xanesEnded(XanesOutcome result);

private:
    // One entry of the command set: every entry whose keyword matches runs.
    struct Command
    {
        const char *keyword;
        void (*action)(Body &body, const BatchCmd &cmd);
    };
    static const std::vector<Command> &commandTable();

    void buildForm();
    void buildViews();
    void buildCt2Pool();
    void connectPanels();
    void startBatchEngine();
    void startSequenceController();
    void executeConfigLines(const QStringList &lines);

    void setSliceNo(int slice);
    void setCor(double cor);
    void setRotAxisVertical(bool vertical);
    void clearSeries();
    void setDefaultsForSeries();
    void showSeries();
    bool regionsFitSeries() const;
    // Data sets and jobs (BodyJobs.cpp).
    void failDataSet(const QString &reason);
    void checkReferenceImages();
    void keepConditionsForDataSet();
    bool jobRangeAllowed();
    QList<int> slicesOfRun() const;
    QStringList resultNamesOfRun() const;
    bool resultNamesFree();
    bool runAllowed();
    void countRun();
    void writeJobRecord(const CtDispatcher::Report &report);
    void noteFileSaved(const QString &fileName, bool ok);
    void updateReferenceFiles();
    void loadReference(SelectAImgFile &selector, const QString &fileName);
    void startCt2Run();
    void applySelection();
    void setRegions(double x0, double z0, double x1, double z1);
    void loadInDir(SelectDataFiles &selector, const QString &dir, const QStringList &patterns);
    void setSaveDir(SelectAFile &selector, const QString &dir);
    void nextDataSet();
    void selectDataSet(const QString &name);
    void announceDataSet();
    void seekTo(int index);

    // A region setter of the CT panels: setDR or setCR.
    using RegionSetter = void (CtSlicePanel::*)(double, double, double, double);
    // Passes a region change on to the CT1 panel and every CT2 panel but `from`, the one it came from.
    void setRegionOfOthers(const QObject *from, RegionSetter set, double rx0, double rz0, double rx1, double rz1);
    CtDispatcher::Run ct2Run() const;
    std::shared_ptr<const RunSnapshot> runSnapshot() const;
    // What the save controls ask for, for pictures and for data files.
    SaveSettings imageSaveSettings() const;
    SaveSettings dataSaveSettings() const;
    SaveSettings tiffSaveSettings() const;
    void setupSaveConds();
    void sliceAnswered(const SliceResult &result);
    void gatherPlane(const SliceResult &result);
    void watchSequenceSlices();
    void sequenceSetCounted();
    void showProgress(qint64 done, qint64 total);
    void fitRegionsToSeries();
    void endRun();

    QPen cursorPen;
    QPen slicePen;
    QPen corPen;
    QPen draggingPen;
    QPen selectedPen;
    CalcConds conds;
    QDateTime startT;
    QDateTime endT;
    Batch batch;
    XafsBatch xafsBatch;
    XanesCommands xanes;
    QList<double> i0Energies;
    RawDisp rawDisp;
    Sinogram sinogramPanel;
    CtCalc ctCalc;
    ImgDatas imgs;

    CtPool ct2Pool{ct2PoolSize};
    QList<CtCalc2Ui *> panels;
    QThread *batchThread = nullptr;
    QThread *xafsThread = nullptr;
    QButtonGroup *ctSelGroup = nullptr;

    bool calculating = false;
    bool startedByCommand = false;
    bool corSearchByCommand = false; // "ct_find_cor" waits for the search's end
    CtDispatcher &dispatcher = ct2Pool.dispatcher();
    std::shared_ptr<const RunSnapshot> currentRun; // of the run under way, when it went to the CT2 pool
    // The watched slices of the sequence's data sets, gathered as their runs answer: what the
    // XANES tab follows and what xanes_exec maps with "xanes_from_sequence 1".
    SequenceStack sequenceStack;
    QString planeSet;          // the data set of the run under way ("" outside a sequence)
    double planeEnergy = 0.0;  // and its energy
    XanesPanel *xanesPanel = nullptr;

    JobOutcome outcome;
    bool jobMode = false;
    bool loadingDataSet = false;  // the load under way is a data set of a sequence
    bool dataSetPending = false;  // a data set was chosen and its run is not counted yet
    QString dataSetFailure;       // why the current data set cannot be reconstructed
    bool sequenceByCommand = false;
    bool corGiven = false;        // a centre of rotation was set (by a load, the user, a command)
    bool sliceGiven = false;      // the same for the current slice
    int sequenceSetsFailed = 0;   // failed sets counted before the sequence began
    // Result files of this folder's data sets, and the tags (data/image) that wrote them.
    QHash<QString, QString> writtenBy;
    // The engine reported that the script stopped; batchJobEnded waits for the run.
    bool batchEndPending = false;
    bool shutDown = false;
    QString baseTitle; // the form's title, without the mode
};
