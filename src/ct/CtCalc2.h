#pragma once

#include "BpCore.h"
#include "CalcRegion.h"
#include "HSgm.h"
#include "SaveSettings.h"
#include "SavingData.h"
#include "SavingImg.h"

#include <QObject>
#include <QString>

#include <memory>
#include <mutex>
#include <vector>

class CtCalc2Ui;
class ImgDatas;

// One CT2 worker: reconstructs whole slices on a thread of its own, with its own
// sinogram record and back-projection core, renders the slice through its panel's
// colour scale, saves the image (through the panel) and the data file (through the
// DataSaver), and reports calcFinished.
//
// Threads: the object lives on its worker thread; the main window (GUI thread) sets
// the panel and the image series before the thread starts. setupCore and the save
// settings may be called from the GUI thread while the worker is idle: every entry
// point holds the worker's lock. The worker reaches its panel only through the
// panel's thread-safe copies and posts.
class CtCalc2 : public QObject
{
    Q_OBJECT
public:
    explicit CtCalc2(QObject *parent = nullptr);
    ~CtCalc2() override;

    // Attaches the panel (both ways).
    void setPanel(CtCalc2Ui *panel);
    CtCalc2Ui *panel() const { return ui; }
    // The projection series the sinograms are built from (the sinogram panel's).
    void setImgDatas(const ImgDatas *imgDatas);
    // GUI thread, worker idle: transforms for image side n, m projections and the filter.
    void setupCore(int n, int m, const ReconFilter &filter = ReconFilter{});

    // Worker thread, or any thread once the worker's thread has ended.
    const BpCore &bpCore() const { return core; }

signals:
    void askToStartCalc();
    void calcFinished();
    void saveDataWDiscard(SavingData *data);
    void saveImgWDiscard(SavingImg *img);

public slots:
    void beginingCt();
    void endingCt();
    void genResImage();
    void startCt(CtCalc2 *ctc2, bool rotAxIsV, double cor, int slice, bool genAndDispImage);
    void startCt(CtCalc2 *ctc2, bool rotAxIsV, double cor, int slice);
    void saveImage(QString fname);
    void saveData(QString fname);
    void setSaveImage(bool f, QString path, QString name, QString tag);
    void setSaveData(bool f, QString path, QString name, QString tag);

private:
    // Builds, transforms, filters and back-projects the slice; false when there is
    // nothing to show (no sinogram, N = 0 or transforms not set up for it).
    bool reconstruct(bool rotAxIsV, double cor, int slice);
    void saveResults(int slice);

    CtCalc2Ui *ui = nullptr;
    const ImgDatas *imgs = nullptr;
    HSgm hSgm;
    bool busy = false;
    int N = 0;
    int M = 0;
    // Held by every entry point, from whichever thread it is called.
    std::recursive_mutex workLock;
    BpCore core;
    CalcRegion sliceRegion; // of the last slice computed
    bool imageMade = false; // rendered since the slice was computed
    bool display = true;
    SaveSettings imageSave;
    SaveSettings dataSave;
};
