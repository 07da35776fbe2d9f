#pragma once

#include "ThreadHandoff.h"
#include "XanesJob.h"

#include <QMetaType>
#include <QObject>

// The slice the window asked for, or null and the reason.
struct XanesAnswer
{
    std::shared_ptr<const XanesSlice> slice;
    QString why;
};

Q_DECLARE_METATYPE(Handed<XanesRequest>)
Q_DECLARE_METATYPE(Handed<XanesOutcome>)
Q_DECLARE_METATYPE(Handed<XanesAnswer>)

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
    void run(Handed<XanesRequest> request);
    // One slice for the window: answered with the slice, or null and the reason.
    void compute(Handed<XanesRequest> request, int slice);

signals:
    void finished(Handed<XanesOutcome> outcome);
    void computed(Handed<XanesAnswer> answer);
};
