#include "XafsBatch.h"

XafsBatch::XafsBatch(QObject *parent)
    : QObject(parent)
{
    timer.start(); // a stop before any start still reports a duration
}

qint64 XafsBatch::lap()
{
    const qint64 now = timer.elapsed();
    const qint64 delta = now - lastMs;
    lastMs = now;
    return delta;
}

void XafsBatch::start()
{
    if (running) {
        finish();
        return;
    }
    running = true;
    timer.restart();
    lastMs = 0;
    emit starting();
    emit stage(tr("Data Loading"), lap());
    emit setFirstImageSet();
}

void XafsBatch::loadedDataSet()
{
    if (!running)
        return;
    emit stage(tr("Calculating"), lap());
    emit execCalculation();
}

void XafsBatch::calcFinished()
{
    if (!running)
        return;
    emit stage(tr("Finished Calc."), lap());
    emit setNextSet();
}

void XafsBatch::noMoreSets()
{
    if (running)
        finish();
}

void XafsBatch::finish()
{
    running = false;
    emit stage(tr("Finished"), lap());
    emit finished();
}
