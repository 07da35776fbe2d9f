#pragma once

#include <QObject>

#include <atomic>

// Paces the CT1 engine from a thread of its own. It only relays: every signal between
// it and the CT1 panel crosses threads and is queued, so in the projection-by-
// projection mode the GUI thread returns to its event loop between projections.
//
// total and current are written by the panel only while this object's thread is
// stopped (before it is started for a run); while it runs only that thread uses them.
// They are atomic all the same: the hand-over through QThread::wait and start happens
// inside Qt, where a thread checker cannot see it.
class CtProgress : public QObject
{
    Q_OBJECT
public:
    explicit CtProgress(QObject *parent = nullptr);

    std::atomic<int> total{0};   // projections of the run
    std::atomic<int> current{0}; // the projection being computed

signals:
    void calcAll();
    void calcOne(int pc);
    void finishedCalcOneByOne();

public slots:
    void startCalcAll();
    void startCalcOneByOne();
    // The panel finished projection current: the next one, or the end of the run.
    void calcNext();
};
