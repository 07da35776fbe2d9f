#include "CtDispatcher.h"

#include "CtCalc2.h"
#include "SgmGeometry.h"

#include <algorithm>

CtDispatcher::CtDispatcher(QObject *parent) : QObject(parent) {}

void CtDispatcher::setWorkers(const QList<CtCalc2 *> &workers)
{
    pool = workers;
    outstanding = QList<bool>(pool.size(), false);
}

int CtDispatcher::outstandingCount() const
{
    return int(std::count(outstanding.begin(), outstanding.end(), true));
}

int CtDispatcher::participants() const
{
    if (pool.isEmpty())
        return 0;
    return run.rangeMode ? std::clamp(run.threads, 1, int(pool.size())) : 1;
}

void CtDispatcher::setupFFT(bool rotAxIsV, int dim, double cor, int projections, int threads,
                            const ReconFilter &filter)
{
    const int n = SgmGeometry::compute(rotAxIsV, dim, cor).transformLength();
    // Only the workers of the run: a full pool of cores for a large detector would
    // hold gigabytes of spectra that nobody uses.
    const int used = pool.isEmpty() ? 0 : std::clamp(threads, 1, int(pool.size()));
    for (int k = 0; k < used; ++k)
        pool[k]->setupCore(n, projections, filter);
}

void CtDispatcher::setupSaveConds(const SaveSettings &image, const SaveSettings &data)
{
    for (CtCalc2 *worker : pool) {
        worker->setSaveImage(image.f, image.path, image.name, image.tag);
        worker->setSaveData(data.f, data.path, data.name, data.tag);
    }
}

void CtDispatcher::start(const Run &newRun)
{
    run = newRun;
    running = true;
    waiting = outstandingCount() > 0;
    if (!waiting)
        launch();
}

void CtDispatcher::stop()
{
    running = false;
    waiting = false;
}

void CtDispatcher::launch()
{
    waiting = false;
    setupFFT(run.rotAxIsV, run.dim, run.cor, run.projections, participants(), run.filter);
    setupSaveConds(run.image, run.data);
    if (participants() < 1) {
        running = false;
        emit finished();
        return;
    }
    if (!run.rangeMode) {
        handOut(0, run.slice);
        return;
    }
    cur = run.from;
    dispatch();
}

bool CtDispatcher::inRange(qint64 slice) const
{
    if (run.from <= run.to)
        return run.from <= slice && slice <= run.to;
    return run.to <= slice && slice <= run.from;
}

void CtDispatcher::handOut(int worker, int slice)
{
    outstanding[worker] = true;
    emit startCt(pool[worker], run.rotAxIsV, run.cor, slice, run.display);
}

void CtDispatcher::dispatch()
{
    // Step 0 repeats the slice: one request at a time, the next on its completion.
    if (run.step == 0 && outstandingCount() > 0)
        return;
    const int used = participants();
    for (int k = 0; k < used && inRange(cur); ++k) {
        if (outstanding[k])
            continue;
        handOut(k, int(cur));
        if (run.step == 0)
            break;
        cur += run.step;
    }
    if (inRange(cur) || outstandingCount() > 0)
        return;
    running = false;
    emit finished();
}

void CtDispatcher::execMultiCtCalc()
{
    completed(qobject_cast<CtCalc2 *>(sender()));
}

void CtDispatcher::completed(CtCalc2 *worker)
{
    const int k = int(pool.indexOf(worker));
    if (k < 0 || !outstanding[k])
        return;
    outstanding[k] = false;
    if (waiting) {
        if (outstandingCount() == 0)
            launch();
        return;
    }
    if (!running)
        return;
    if (!run.rangeMode) {
        running = false;
        emit finished();
        return;
    }
    dispatch();
}
