#include "CorSearch.h"

#include "CorFinderWorker.h"
#include "FftwPlannerThread.h"

#include <QDebug>

CorSearch::CorSearch(QObject *parent) : QObject(parent), worker(std::make_unique<CorFinderWorker>())
{
    // The reconstruction cores plan on the GUI thread while the worker may plan.
    FftwPlannerThread::makePlannerThreadSafe();
    qRegisterMetaType<CorFinder::Sinogram>();
    worker->moveToThread(&thread);
    connect(this, &CorSearch::requested, worker.get(), &CorFinderWorker::find);
    connect(worker.get(), &CorFinderWorker::finished, this, &CorSearch::workerFinished);
    thread.start();
}

CorSearch::~CorSearch()
{
    thread.quit();
    thread.wait();
}

bool CorSearch::start(const ProjectionSeries &imgs, bool rotAxIsV, int slice)
{
    if (busy) {
        qDebug() << "Centre of rotation search already running";
        return false;
    }
    CorFinder::Sinogram sinogram;
    if (!CorFinder::sinogramOf(imgs, rotAxIsV, slice, sinogram))
        return false;
    busy = true;
    emit requested(sinogram);
    return true;
}

void CorSearch::workerFinished(bool found, double cor)
{
    busy = false;
    emit finished(found, cor);
}
