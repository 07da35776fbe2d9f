#include "CtDispatcher.h"

#include "CtCalc2.h"
#include "ThreadHandoff.h"

#include <algorithm>
#include <cstdlib>

CtDispatcher::CtDispatcher(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<const SliceRequest *>("const SliceRequest*");
    qRegisterMetaType<SliceResult *>("SliceResult*");
}

void CtDispatcher::setWorkers(const QList<CtCalc2 *> &workers)
{
    pool = workers;
    outstanding.clear();
    outstanding.resize(size_t(pool.size()));
}

int CtDispatcher::outstandingCount() const
{
    return int(std::count_if(outstanding.begin(), outstanding.end(), [](const auto &request) { return bool(request); }));
}

qint64 CtDispatcher::rangeCount(int from, int to, int step)
{
    if (step == 0)
        return 0;
    return std::llabs(qint64(to) - from) / std::llabs(qint64(step)) + 1;
}

int CtDispatcher::participants() const
{
    return pool.isEmpty() ? 0 : std::clamp(threads, 1, int(pool.size()));
}

void CtDispatcher::start(const Run &run)
{
    snapshot = run.snapshot;
    ++runId;
    counts = Report{};
    handedOut = 0;
    // A single slice is a range of one on the first worker.
    threads = run.rangeMode ? run.threads : 1;
    from = run.rangeMode ? run.from : run.slice;
    to = run.rangeMode ? run.to : run.slice;
    step = run.rangeMode ? run.step : 1;
    totalSlices = rangeCount(int(from), int(to), int(step));
    cur = from;
    running = true;
    if (participants() < 1) {
        stop();
        emit finished();
        return;
    }
    dispatch();
}

// The snapshot goes with the run: its series is freed once the last request holding
// it has been answered.
void CtDispatcher::stop()
{
    running = false;
    snapshot.reset();
}

bool CtDispatcher::inRange(qint64 slice) const
{
    return from <= to ? from <= slice && slice <= to : to <= slice && slice <= from;
}

void CtDispatcher::handOut(int worker)
{
    auto request = std::make_unique<SliceRequest>();
    request->run = snapshot;
    request->runId = runId;
    request->worker = worker;
    request->slice = int(cur);
    ++handedOut;
    cur += step;
    const SliceRequest *handed = request.get();
    outstanding[size_t(worker)] = std::move(request);
    emit sliceStarted(worker, handed->slice);
    ThreadHandoff::publish(const_cast<SliceRequest *>(handed));
    emit startCt(pool[worker], handed);
}

void CtDispatcher::dispatch()
{
    const int used = participants();
    for (int k = 0; k < used && running && inRange(cur); ++k) {
        // Step 0 repeats the slice: one request at a time, the next on its answer.
        if (step == 0 && handedOut > counts.slicesDone)
            return;
        if (!outstanding[size_t(k)])
            handOut(k);
    }
    if (!running || inRange(cur) || counts.slicesDone < handedOut)
        return;
    stop();
    emit finished();
}

void CtDispatcher::execMultiCtCalc(SliceResult *result)
{
    const std::unique_ptr<SliceResult> owned(result);
    ThreadHandoff::take(result);
    if (result)
        completed(qobject_cast<CtCalc2 *>(sender()), *result);
}

void CtDispatcher::completed(CtCalc2 *worker, const SliceResult &result)
{
    const int k = int(pool.indexOf(worker));
    if (k < 0 || !outstanding[size_t(k)])
        return;
    ThreadHandoff::take(worker); // what the worker did before answering, e.g. to its core
    outstanding[size_t(k)].reset();
    emit sliceFinished(result);
    if (!running)
        return;
    if (result.runId == runId) {
        ++counts.slicesDone;
        counts.slicesFailed += result.reconstructed ? 0 : 1;
        counts.filesQueued += result.filesQueued;
        counts.filesFailed += result.filesFailed;
        counts.slices.emplace_back(result.slice, result.reconstructed);
        emit progress(result.slice, counts.slicesDone, totalSlices);
    }
    dispatch();
}
