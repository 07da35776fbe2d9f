#pragma once

#include "BpCore.h"
#include "CtSlicePanel.h"
#include "SaveSettings.h"

#include <QString>

#include <vector>

class CtProgress;
class QThread;
class Sinogram;

// The CT1 engine: reconstructs the slice whose sinogram the sinogram panel holds,
// either at once or projection by projection with the image building up on screen,
// and shows it with a colour bar. The image is the mean over projections (the ramp-
// filtered rows are divided by M*N), so a CT2 slice of the same data is M times it.
//
// The computation runs on the GUI thread in steps of one projection; a CtProgress on
// a thread of its own paces the steps with queued signals. CT1 writes no files: the
// save settings are only kept.
class CtCalc : public CtSlicePanel
{
    Q_OBJECT
public:
    explicit CtCalc(QWidget *parent = nullptr);
    ~CtCalc() override;

    // The panel whose sinogram is reconstructed; nothing starts without it.
    void setSinogramPanel(Sinogram *panel) { sinogramPanel = panel; }
    // The filter of the next runs (the default ramp, or the quantitative mode).
    void setFilter(const ReconFilter &choice) { filter = choice; }
    // A run has been started and has not ended yet.
    bool isRunning() const { return running; }
    bool isOneByOne() const { return oneByOne; }
    // The transforms and the N x N result (n(), m(), image(), minValue(), maxValue()).
    const BpCore &result() const { return core; }
    const SaveSettings &imageSaveSettings() const { return imageSave; }
    const SaveSettings &dataSaveSettings() const { return dataSave; }

signals:
    void askToStartCalc();
    void startCalcAll();
    void calcFinished();
    void startCalcOneByOne();
    void finishedCalcOne();

public slots:
    // Starts a run on the sinogram panel's current slice. A run still going is
    // replaced without calcFinished; a sinogram that cannot be built ends the run at
    // once (with calcFinished), so a waiting script or sequence goes on.
    void startCt();
    void stopCt();
    // Ends the current run: end time, spent time, calcFinished. Nothing when idle.
    void endCt();
    void calcAll();
    void calcOne(int iz);
    void noticedNewPos(double x, double z);
    // Start/stop toggle: ends a projection-by-projection run, otherwise starts one.
    void calcCt();
    void genResImage();
    void setSaveImage(bool f, QString path, QString name, QString tag);
    void setSaveData(bool f, QString path, QString name, QString tag);

private slots:
    // The pacing object counted past the last projection.
    void finishedOneByOne();

private:
    // Asks the pacing thread to quit, waits for it, and drops what was still posted to
    // the pacing object, so that the next run starts from a clean queue.
    void stopProgress();
    // The slice's attenuation rows, copied so that the sinogram panel may rebuild its
    // record during a run. False when there is nothing to reconstruct.
    bool takeSinogram();

    CtProgress *progress = nullptr;
    QThread *progressThread = nullptr;
    Sinogram *sinogramPanel = nullptr;
    std::vector<double> sgmRows; // M rows of rowLength attenuation samples
    int rowLength = 0;
    int M = 0;
    bool oneByOne = false;
    bool running = false;
    int nextProjection = 0; // the one projection a projection-by-projection run takes next
    BpCore core;
    ReconFilter filter;
    SaveSettings imageSave;
    SaveSettings dataSave;
};
