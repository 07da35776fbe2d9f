#include "XanesWorker.h"

#include <QDebug>

void XanesWorker::registerTypes()
{
    qRegisterMetaType<XanesRequest>();
    qRegisterMetaType<XanesOutcome>();
}

void XanesWorker::run(XanesRequest request)
{
    const XanesOutcome outcome = XanesJob::run(request);
    qDebug().noquote() << outcome.summary();
    emit finished(outcome);
}
