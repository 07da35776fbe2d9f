#pragma once

#include "BpCore.h"
#include "ui_CtCalc.h"

#include <QDateTime>
#include <QFrame>
#include <QRectF>
#include <QString>

#include <array>
#include <vector>

class ColorBar;
class CtProgress;
class QThread;
class Sinogram;

// The CT1 engine: reconstructs the slice whose sinogram the sinogram panel holds,
// either at once or projection by projection with the image building up on screen,
// and shows it with a colour bar. The image is the mean over projections (the ramp-
// filtered rows are divided by M*N), so a CT2 slice of the same data is M times it.
//
// The computation runs on the GUI thread in steps of one projection; a CtProgress on
// a thread of its own paces the steps with queued signals. Regions are in image
// pixels of the slice, x to the right, z down; the calculation region is exclusive at
// its upper bounds. CT1 writes no files: the save settings are only kept.
class CtCalc : public QFrame, public Ui::CtCalc
{
    Q_OBJECT
public:
    struct SaveSettings
    {
        bool f = false;
        QString path;
        QString name;
        QString tag;
    };

    explicit CtCalc(QWidget *parent = nullptr);
    ~CtCalc() override;

    // The panel whose sinogram is reconstructed; nothing starts without it.
    void setSinogramPanel(Sinogram *panel) { sinogramPanel = panel; }
    // A run has been started and has not ended yet.
    bool isRunning() const { return running; }
    bool isOneByOne() const { return oneByOne; }
    // The calculation region has been set since creation (not by the constructor).
    bool isRegionSet() const { return regionSet; }
    // The transforms and the N x N result (n(), m(), image(), minValue(), maxValue()).
    const BpCore &result() const { return core; }
    ColorBar *colorBar() const { return cBar; }
    const QDateTime &startTime() const { return started; }
    const QDateTime &endTime() const { return ended; }
    const SaveSettings &imageSaveSettings() const { return imageSave; }
    const SaveSettings &dataSaveSettings() const { return dataSave; }

signals:
    void askToStartCalc();
    void startCalcAll();
    void calcFinished();
    void startCalcOneByOne();
    void finishedCalcOne();
    void dRUpdated(double rx0, double rz0, double rx1, double rz1);
    void cRUpdated(double rx0, double rz0, double rx1, double rz1);

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
    void noticedNewS(QRectF s);
    void setCRegion();
    // Start/stop toggle: ends a projection-by-projection run, otherwise starts one.
    void calcCt();
    void genResImage();
    // Write the four fields ('g', 6 digits); when a value read back from them changed,
    // setCR sets regionSet and emits cRUpdated, setDR moves the view and emits
    // dRUpdated.
    void setDR(double rx0, double rz0, double rx1, double rz1);
    void setCR(double rx0, double rz0, double rx1, double rz1);
    void setFixColorScale(bool f);
    void setCBarMinMaxForced(double min, double max);
    void setSaveImage(bool f, QString path, QString name, QString tag);
    void setSaveData(bool f, QString path, QString name, QString tag);

private slots:
    // The pacing object counted past the last projection.
    void finishedOneByOne();

private:
    using Fields = std::array<QLineEdit *, 4>; // x0, z0, x1, z1
    // Writes the values; true when one of them, as read back, differs from before.
    static bool writeRegion(const Fields &fields, const std::array<double, 4> &values);
    // Asks the pacing thread to quit, waits for it, and drops what was still posted to
    // the pacing object, so that the next run starts from a clean queue.
    void stopProgress();
    // The slice's attenuation rows, copied so that the sinogram panel may rebuild its
    // record during a run. False when there is nothing to reconstruct.
    bool takeSinogram();
    void backProjectOne(int j);

    ColorBar *cBar = nullptr;
    CtProgress *progress = nullptr;
    QThread *progressThread = nullptr;
    Sinogram *sinogramPanel = nullptr;
    std::vector<double> sgmRows; // M rows of rowLength attenuation samples
    int rowLength = 0;
    int M = 0;
    bool oneByOne = false;
    bool running = false;
    int nextProjection = 0; // the one projection a projection-by-projection run takes next
    QDateTime started;
    QDateTime ended;
    BpCore core;
    bool regionSet = false;
    SaveSettings imageSave;
    SaveSettings dataSave;
};
