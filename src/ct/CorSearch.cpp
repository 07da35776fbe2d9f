#include "CorSearch.h"

#include "CorFinderWorker.h"

#include <QDebug>

CorSearch::CorSearch(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<CorFinder::Sinogram>();
    auto *worker = new CorFinderWorker;
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(this, &CorSearch::requested, worker, &CorFinderWorker::find);
    connect(worker, &CorFinderWorker::finished, this, &CorSearch::workerFinished);
    thread.start();
}

CorSearch::~CorSearch()
{
    thread.quit();
    thread.wait();
}

bool CorSearch::start(const ImgDatas &imgs, bool rotAxIsV, int slice)
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
