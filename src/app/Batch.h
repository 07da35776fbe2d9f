#pragma once

#include "BatchCmd.h"

#include <QObject>
#include <QStringList>

#include <atomic>

// The batch script engine. It lives on a thread of its own and steps through the
// loaded script one line at a time: control lines (":ifok", ":ifng", ":goto",
// ":end", ":stop", ":echo") are handled here, every other line goes to the window
// as `batchExCmd`, and the next line runs only after the window's completion
// report arrives at `batchCheckEnd`. Exactly one command is in flight at a time: the
// engine keeps it and hands the window its address, published for the thread sanitizer
// (ThreadHandoff). The receiver takes it, copies it and publishes it back before it
// reports; the engine changes it only after the report.
class Batch : public QObject
{
    Q_OBJECT
public:
    explicit Batch(QObject *parent = nullptr);

    // Result flag tested by ":ifok"/":ifng". Set true whenever a command goes to the
    // window; the window's "seq_exec_next" stores into it from the GUI thread.
    std::atomic<bool> ok{true};

    // The receiver's copy of a handed command, made on the receiver's thread before it
    // reports (the engine may change the original after the report).
    static BatchCmd received(const BatchCmd *handed);

    // Engine state; read these on the engine's thread only.
    bool isRunning() const { return running; }
    int nextLine() const { return pc; }
    const QStringList &lines() const { return cmds; }

signals:
    void batchExecNext();
    void batchFinishALine();
    void batchExCmd(const BatchCmd *cmd);
    // The running script stopped: its end, ":end", ":stop" or a stop request.
    void batchStopped();

public slots:
    void batchStart();
    void batchStop();
    void batchNext();
    void batchLoad(const QString &fname);
    void batchExec();
    void batchCheckEnd();

private:
    void scheduleStep();
    void goTo(const QString &label);
    void stopRunning();

    bool running = false;
    int pc = 0; // index of the next line of cmds to execute
    QStringList cmds;
    bool stepQueued = false; // batchExecNext is on its way to batchNext
    // A command was handed to the window and its completion report is outstanding.
    bool awaitingReport = false;
    BatchCmd inFlight; // the command handed to the window, unchanged until its report
};
