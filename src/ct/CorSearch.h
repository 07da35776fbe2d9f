#pragma once

#include "CorFinder.h"

#include <QObject>
#include <QThread>

#include <memory>

class CorFinderWorker;
class ProjectionSeries;

// The centre-of-rotation search of the workbench: takes the attenuation sinogram of the
// current slice on the caller's thread (a copy, so the series may change afterwards) and
// estimates the centre on a thread of its own. One search at a time.
//
// The thread lives as long as this object; the destructor asks it to quit and waits for
// it, so a search under way is finished first (it takes well under a second).
//
// The worker plans its FFTW transforms on its own thread, so the constructor makes the FFTW
// planner thread-safe; create the search on the GUI thread before any other thread plans.
class CorSearch : public QObject
{
    Q_OBJECT
public:
    explicit CorSearch(QObject *parent = nullptr);
    ~CorSearch() override;

    // Starts a search on line `slice` of the series (image rows when rotAxIsV, else
    // columns). False, with nothing started, while a search is running (with a debug
    // line) or when the series gives no sinogram (nothing loaded, slice out of range).
    bool start(const ProjectionSeries &imgs, bool rotAxIsV, int slice);
    bool isBusy() const { return busy; }

signals:
    // The answer to a started search, on the caller's thread. found is false when the
    // sinogram allowed no estimate (a debug line says why); cor is then 0.
    void finished(bool found, double cor);
    // To the worker (queued): its own copy of the sinogram.
    void requested(const CorFinder::Sinogram &sinogram);

private slots:
    void workerFinished(bool found, double cor);

private:
    QThread thread;
    // Lives on `thread`; deleted after the thread has ended.
    std::unique_ptr<CorFinderWorker> worker;
    bool busy = false;
};
