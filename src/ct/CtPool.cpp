#include "CtPool.h"

#include "CtCalc2.h"
#include "DataSaver.h"
#include "DrainingThread.h"
#include "SaveBudget.h"
#include "ThreadHandoff.h"

CtPool::CtPool(int size, QObject *parent) : QObject(parent), budget(std::make_shared<SaveBudget>())
{
    qRegisterMetaType<SavingData *>("SavingData*");
    dataSaver = new DataSaver;
    dataSaver->setBudget(budget);
    saverThread = new DrainingThread(this);
    dataSaver->moveToThread(saverThread);
    saverThread->start(QThread::InheritPriority);
    for (int i = 0; i < size; ++i) {
        auto *worker = new CtCalc2;
        worker->setSaveBudget(budget);
        auto *thread = new QThread(this);
        worker->moveToThread(thread);
        thread->start(QThread::InheritPriority);
        connect(&control, &CtDispatcher::startCt, worker, &CtCalc2::startCt);
        connect(worker, &CtCalc2::calcFinished, &control, &CtDispatcher::execMultiCtCalc);
        connect(worker, &CtCalc2::saveDataWDiscard, dataSaver, &DataSaver::saveDataWDiscard);
        pool.append(worker);
        workerThreads.append(thread);
    }
    control.setWorkers(pool);
}

CtPool::~CtPool()
{
    shutdown();
    qDeleteAll(pool);
    delete dataSaver;
}

QList<QThread *> CtPool::threads() const
{
    QList<QThread *> all{saverThread};
    all.append(workerThreads);
    return all;
}

// Order matters: the workers end their slices first, and a worker waiting for room in
// the saver's budget needs the saver running; the saver's thread then writes everything
// queued to it before it ends.
void CtPool::shutdown()
{
    control.stop();
    for (QThread *thread : std::as_const(workerThreads))
        thread->quit();
    for (QThread *thread : std::as_const(workerThreads))
        thread->wait();
    // What each worker did on its thread comes before what follows here.
    for (CtCalc2 *worker : std::as_const(pool))
        ThreadHandoff::take(worker);
    saverThread->quit();
    saverThread->wait();
}
