#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGINT turned into a Qt signal on the GUI thread. The handler only writes
// the signal's number into a pipe (all a handler may safely do); the event loop reads it
// and emits received(), so the program can stop its work and save what it holds. A
// second signal before the program has ended quits at once.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False (with a debug line) when the pipe or the handlers cannot be installed.
    bool install();

signals:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *notifier = nullptr;
};
