#pragma once

#include "BpCore.h"
#include "HSgm.h"
#include "SavingData.h"
#include "SliceJob.h"

#include <QObject>
#include <QString>

#include <memory>

class SaveBudget;

// One CT2 worker: reconstructs whole slices on a thread of its own, with its own
// sinogram record and back-projection core. It receives a SliceRequest, which carries
// everything the slice reads (the run's snapshot), renders the slice, hands its result
// files to the DataSaver, and answers with a SliceResult value. It knows no panel and
// shares nothing mutable with the window: the core and the record are its own, and the
// snapshot is read-only.
//
// Threads: the object lives on its worker thread; setSaveBudget is called before that
// thread starts. bpCore() may be read once the thread has ended.
class CtCalc2 : public QObject
{
    Q_OBJECT
public:
    explicit CtCalc2(QObject *parent = nullptr);

    // The budget a result file is reserved from before it goes to the saver (none: no wait).
    void setSaveBudget(std::shared_ptr<SaveBudget> shared) { budget = std::move(shared); }
    const BpCore &bpCore() const { return core; }

signals:
    // The answer to every startCt addressed to this worker.
    void calcFinished(SliceResult *result);
    void saveDataWDiscard(SavingData *data);

public slots:
    // Reconstructs request.slice when ctc2 is this worker; requests are broadcast.
    void startCt(CtCalc2 *ctc2, const SliceRequest *request);

private:
    // Builds, transforms, filters and back-projects the slice into the core; false when
    // there is nothing to show (no sinogram, N = 0, no transforms for it).
    bool reconstruct(const RunSnapshot &run, int slice);
    // The 8-bit picture of the slice through the run's scale (or the slice's own range).
    QImage genResImage(const RunSnapshot::Scale &choice, SliceResult &result);
    void saveResults(const RunSnapshot &run, SliceResult &result);
    void saveTiff(const RunSnapshot &run, SliceResult &result);
    void saveFile(const QString &fileName, QByteArray bytes);

    HSgm hSgm;
    BpCore core;
    std::shared_ptr<SaveBudget> budget;
};
