#include "DrainingThread.h"

#include <QCoreApplication>

DrainingThread::~DrainingThread()
{
    quit();
    wait();
}

void DrainingThread::run()
{
    exec();
    // quit() ends the loop between two events; what was posted before it is delivered now.
    QCoreApplication::sendPostedEvents();
}
