#pragma once

#include "ReconFilter.h"
#include "SaveSettings.h"

#include <QList>
#include <QObject>
#include <QString>

class CtCalc2;

// Hands out the slices of a CT2 run to the workers of the pool (GUI thread).
//
// The main window owns one, gives it the pool and calls start/stop; every worker's
// calcFinished is connected to execMultiCtCalc, and startCt is broadcast to every
// worker (each acts only on requests addressed to itself).
//
// A worker is marked outstanding when a slice is handed to it and cleared by its
// calcFinished, so a slice queued but not yet started is never missed. A start while
// slices of a stopped run are still outstanding waits until they have ended, because
// the transforms must not be set up while a worker is busy.
class CtDispatcher : public QObject
{
    Q_OBJECT
public:
    // Everything a run needs, taken from the controls when it is started.
    struct Run
    {
        bool rotAxIsV = true;
        double cor = 0.0;
        int slice = 0;      // the slice of a single-slice run
        bool rangeMode = false;
        int from = 0;
        int to = 0;
        int step = 1;       // 0 repeats the From slice until the run is stopped
        int threads = 1;    // the first `threads` workers of the pool take part
        bool display = true;
        int dim = 0;        // detector size across the rotation axis
        int projections = 0;
        ReconFilter filter;
        SaveSettings image;
        SaveSettings data;
    };

    explicit CtDispatcher(QObject *parent = nullptr);

    void setWorkers(const QList<CtCalc2 *> &pool);
    const QList<CtCalc2 *> &workers() const { return pool; }

    // Transform set-up of the workers that take part in a run of `threads` workers
    // (GUI thread, no worker busy): image side from the sinogram geometry.
    void setupFFT(bool rotAxIsV, int dim, double cor, int projections, int threads,
                  const ReconFilter &filter = ReconFilter{});
    // The save settings of every worker (GUI thread, no worker busy).
    void setupSaveConds(const SaveSettings &image, const SaveSettings &data);

    bool isRunning() const { return running; }
    // A start waits for the slices of a stopped run.
    bool isWaiting() const { return waiting; }
    int outstandingCount() const;

signals:
    void startCt(CtCalc2 *ctc2, bool rotAxIsV, double cor, int slice, bool genImg);
    // The run has ended by itself: range exhausted, or the single slice done.
    void finished();

public slots:
    // Sets up transforms and save settings, then hands out the first slices; when
    // slices of a stopped run are outstanding, does so once they have ended.
    void start(const CtDispatcher::Run &run);
    // No further slice is handed out; running slices end, their completion is ignored.
    void stop();
    // A worker's calcFinished (the worker is the sender).
    void execMultiCtCalc();
    void completed(CtCalc2 *worker);

private:
    void launch();
    void dispatch();
    void handOut(int worker, int slice);
    bool inRange(qint64 slice) const;
    int participants() const;

    QList<CtCalc2 *> pool;
    QList<bool> outstanding;
    Run run;
    bool running = false;
    bool waiting = false;
    qint64 cur = 0;
};
