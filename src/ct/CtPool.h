#pragma once

#include "CtDispatcher.h"

#include <QList>
#include <QObject>

#include <memory>

class CtCalc2;
class DataSaver;
class QThread;
class SaveBudget;

// The CT2 engine without a window: a pool of workers, each on a thread of its own, the
// DataSaver on its thread with the budget that bounds what waits for it, and the run
// controller, wired together. The window shows what the controller reports; tools and
// tests run the same engine headless.
class CtPool : public QObject
{
    Q_OBJECT
public:
    explicit CtPool(int size, QObject *parent = nullptr);
    ~CtPool() override;

    CtDispatcher &dispatcher() { return control; }
    const CtDispatcher &dispatcher() const { return control; }
    DataSaver &saver() { return *dataSaver; }
    const QList<CtCalc2 *> &workers() const { return pool; }
    QList<QThread *> threads() const;

    // No further slice; the slices under way end and the saver writes every file they
    // handed it; then the threads end. Again, it finds them ended. The workers stay readable.
    void shutdown();

private:
    CtDispatcher control;
    std::shared_ptr<SaveBudget> budget;
    DataSaver *dataSaver = nullptr;
    QThread *saverThread = nullptr;
    QList<CtCalc2 *> pool;
    QList<QThread *> workerThreads;
};
