#pragma once

#include <QThread>

// A thread for objects that must not lose work at shutdown (the DataSaver): when its
// event loop is asked to quit, the events already queued to its objects are still
// delivered before the thread ends. Its destructor asks it to quit and waits.
class DrainingThread : public QThread
{
    Q_OBJECT
public:
    explicit DrainingThread(QObject *parent = nullptr) : QThread(parent) {}
    ~DrainingThread() override;

protected:
    void run() override;
};
