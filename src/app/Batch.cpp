#include "Batch.h"

#include "BatchScript.h"
#include "TextLine.h"
#include "ThreadHandoff.h"

#include <QDebug>

Batch::Batch(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<const BatchCmd *>();
    // Queued even on this thread: a long run of control lines (or a ":goto" loop
    // among them) steps through the event loop instead of recursing, so the stack
    // stays flat and a stop request still gets through between steps.
    connect(this, &Batch::batchExecNext, this, &Batch::batchNext, Qt::QueuedConnection);
    connect(this, &Batch::batchFinishALine, this, &Batch::batchCheckEnd);
}

// At most one step is queued and at most one command is in flight, and never
// both: a start while a step is queued or a command is out, or a report nobody
// waits for (the configuration lines the window runs at start-up answer too),
// must not begin a second chain of steps.
void Batch::scheduleStep()
{
    if (stepQueued || awaitingReport)
        return;
    stepQueued = true;
    emit batchExecNext();
}

void Batch::batchStart()
{
    running = true;
    pc = 0;
    scheduleStep();
}

void Batch::batchStop()
{
    stopRunning();
}

void Batch::stopRunning()
{
    if (!running)
        return;
    running = false;
    emit batchStopped();
}

void Batch::batchExec()
{
    if (running)
        batchStop();
    else
        batchStart();
}

void Batch::batchLoad(const QString &fname)
{
    readBatchScript(fname, cmds);
}

BatchCmd Batch::received(const BatchCmd *handed)
{
    auto *record = const_cast<BatchCmd *>(handed);
    ThreadHandoff::take(record);
    BatchCmd copy(*handed);
    ThreadHandoff::publish(record);
    return copy;
}

void Batch::batchCheckEnd()
{
    ThreadHandoff::take(&inFlight);
    awaitingReport = false;
    if (running)
        scheduleStep();
}

void Batch::batchNext()
{
    stepQueued = false;
    if (!running)
        return;
    if (pc >= cmds.size()) {
        stopRunning();
        return;
    }
    BatchCmd command(cmds.at(pc));
    ++pc;
    qDebug() << "cmd" << command.cmd;

    // A condition that holds runs the rest of its line as a line of its own, quotes and all
    // (its arguments joined again would split a quoted directory at its blanks).
    const bool lastOk = ok.load();
    if ((command.isCmd(QStringLiteral(":ifok")) && lastOk) || (command.isCmd(QStringLiteral(":ifng")) && !lastOk))
        command = BatchCmd(afterFirstItem(command.line));

    if (command.isCmd(QStringLiteral(":goto"))) {
        goTo(command.args.value(0));
        scheduleStep();
    } else if (command.isCmd(QStringLiteral(":end")) || command.isCmd(QStringLiteral(":stop"))) {
        stopRunning();
    } else if (command.isCmd(QStringLiteral(":echo"))) {
        qDebug().noquote() << command.line;
        scheduleStep();
    } else {
        ok = true;
        awaitingReport = true;
        inFlight = command;
        ThreadHandoff::publish(&inFlight);
        emit batchExCmd(&inFlight);
    }
}

// Labels are the command words of ordinary lines, compared exactly; the first
// line from the top wins and is itself the next one executed. Without a match
// the script goes on after the ":goto".
void Batch::goTo(const QString &label)
{
    for (int i = 0; i < cmds.size(); ++i) {
        QString word;
        nextItem(cmds.at(i), word);
        if (word == label) {
            pc = i;
            return;
        }
    }
}
