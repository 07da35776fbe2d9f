#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

// Drives a CT-XAFS sequence over the data sets of a directory: select the first set,
// wait until it is loaded, start a reconstruction, wait for its end, select the next
// set, ... until no set is left. Every stage is reported with the milliseconds since
// the previous one. Lives on a thread of its own; all its connections are queued, so
// the running flag and the clock are only touched on that thread.
class XafsBatch : public QObject
{
    Q_OBJECT
public:
    explicit XafsBatch(QObject *parent = nullptr);

signals:
    void stage(QString msg, qint64 dEt);
    void starting();
    void setFirstImageSet();
    void setNextSet();
    void execCalculation();
    void finished();

public slots:
    // Starts a sequence; while one runs, ends it (the button doubles as stop).
    void start();
    void loadedDataSet();
    void calcFinished();
    void noMoreSets();
    void finish();

private:
    // Milliseconds since the previous stage; the clock reading becomes the new mark.
    qint64 lap();

    bool running = false;
    QElapsedTimer timer;
    qint64 lastMs = 0;
};
