#pragma once

#include "XanesJob.h"

#include <QMetaType>
#include <QObject>

Q_DECLARE_METATYPE(XanesRequest)
Q_DECLARE_METATYPE(XanesOutcome)

// Runs chemical-state jobs on the thread it lives on: receives a request value, answers
// with the outcome value. Its connections are queued; it touches nothing but its request.
class XanesWorker : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    static void registerTypes();

public slots:
    void run(XanesRequest request);

signals:
    void finished(XanesOutcome outcome);
};
