#pragma once

#include "XanesJob.h"

#include <QMetaType>
#include <QObject>

Q_DECLARE_METATYPE(XanesRequest)
Q_DECLARE_METATYPE(XanesOutcome)
Q_DECLARE_METATYPE(std::shared_ptr<const XanesSlice>)

// Runs chemical-state jobs on the thread it lives on: receives a request value, answers
// with the outcome value. Its connections are queued; it touches nothing but its request.
class XanesWorker : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    static void registerTypes();

public slots:
    // A whole job: maps written, outcome answered.
    void run(XanesRequest request);
    // One slice for the window: answered with the slice, or null and the reason.
    void compute(XanesRequest request, int slice);

signals:
    void finished(XanesOutcome outcome);
    void computed(std::shared_ptr<const XanesSlice> result, QString why);
};
