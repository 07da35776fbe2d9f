#pragma once

#include "SliceJob.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

class CtCalc2;

// The run controller of the CT2 engine: hands out the slices of a run to the workers of
// the pool, keeps which worker has a slice outstanding, counts the answers and the
// failures of the run, and says when it has ended. No widgets: the window turns its
// controls into a Run and shows the progress this reports.
//
// Every request carries the run's snapshot, so a run never waits for slices of an
// earlier, stopped run: their workers are simply left out until they answer, and their
// answers do not count for the new run.
class CtDispatcher : public QObject
{
    Q_OBJECT
public:
    // A run as the controls define it.
    struct Run
    {
        std::shared_ptr<const RunSnapshot> snapshot;
        bool rangeMode = false;
        int slice = 0;   // the slice of a single-slice run
        int from = 0;
        int to = 0;
        int step = 1;    // 0 repeats the From slice until the run is stopped
        int threads = 1; // the first `threads` workers of the pool take part
    };
    // What a run did, up to now.
    struct Report
    {
        qint64 slicesDone = 0;   // answers of this run
        qint64 slicesFailed = 0; // answers without a reconstruction
        qint64 filesQueued = 0;  // result files handed to the saver
        QStringList filesFailed; // result files that could not be made
        std::vector<std::pair<int, bool>> slices; // each answer: slice, reconstructed
    };

    explicit CtDispatcher(QObject *parent = nullptr);

    void setWorkers(const QList<CtCalc2 *> &pool);
    const QList<CtCalc2 *> &workers() const { return pool; }

    bool isRunning() const { return running; }
    int outstandingCount() const;
    // Slices the run hands out: 1 for a single slice, 0 for a range that never ends (Step 0).
    qint64 total() const { return totalSlices; }
    const Report &report() const { return counts; }

    // Slices from..to by step (a range of 64-bit arithmetic: no bound overflows).
    static qint64 rangeCount(int from, int to, int step);

signals:
    // To every worker (each acts on its own requests only).
    void startCt(CtCalc2 *ctc2, const SliceRequest *request);
    void sliceStarted(int worker, int slice);
    // Every answer, of this run or of an earlier one.
    void sliceFinished(const SliceResult &result);
    // An answer of this run: done of total (total 0 when the run never ends).
    void progress(int slice, qint64 done, qint64 total);
    // The run has ended by itself: every slice answered.
    void finished();

public slots:
    void start(const CtDispatcher::Run &run);
    // No further slice is handed out; running slices end, their answers do not count.
    void stop();
    // A worker's calcFinished (the worker is the sender); takes the result.
    void execMultiCtCalc(SliceResult *result);
    void completed(CtCalc2 *worker, const SliceResult &result);

private:
    void dispatch();
    void handOut(int worker);
    bool inRange(qint64 slice) const;
    int participants() const;

    QList<CtCalc2 *> pool;
    // Per worker: the request it has not answered yet, or none.
    std::vector<std::unique_ptr<const SliceRequest>> outstanding;
    std::shared_ptr<const RunSnapshot> snapshot;
    quint64 runId = 0;
    bool running = false;
    int threads = 1;
    qint64 from = 0;
    qint64 to = 0;
    qint64 step = 1;
    qint64 cur = 0;
    qint64 totalSlices = 0;
    qint64 handedOut = 0; // of this run
    Report counts;
};

Q_DECLARE_METATYPE(CtDispatcher::Run)
