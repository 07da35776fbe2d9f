#include "Batch.h"

#include "BatchScript.h"
#include "TextLine.h"

#include <QDebug>

Batch::Batch(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<BatchCmd>("BatchCmd");
    // Queued even on this thread: a long run of control lines (or a ":goto" loop
    // among them) steps through the event loop instead of recursing, so the stack
    // stays flat and a stop request still gets through between steps.
    connect(this, &Batch::batchExecNext, this, &Batch::batchNext, Qt::QueuedConnection);
    connect(this, &Batch::batchFinishALine, this, &Batch::batchCheckEnd);
}

void Batch::batchStart()
{
    running = true;
    pc = 0;
    // While a command of the previous run is still in flight, its completion
    // report starts this run, so that the window never gets two commands at once.
    if (!awaitingReport)
        emit batchExecNext();
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

void Batch::batchCheckEnd()
{
    // Reports nobody waits for (the configuration lines the window runs at
    // start-up answer too) must not start a second chain of steps.
    if (!awaitingReport)
        return;
    awaitingReport = false;
    if (running)
        emit batchExecNext();
}

void Batch::batchNext()
{
    if (!running)
        return;
    if (pc >= cmds.size()) {
        stopRunning();
        return;
    }
    BatchCmd command(cmds.at(pc));
    ++pc;
    qDebug() << "cmd" << command.cmd;

    const bool lastOk = ok.load();
    if (command.isCmd(QStringLiteral(":ifok")) && lastOk)
        command = BatchCmd(command.args.join(u' '));
    if (command.isCmd(QStringLiteral(":ifng")) && !lastOk)
        command = BatchCmd(command.args.join(u' '));

    if (command.isCmd(QStringLiteral(":goto"))) {
        goTo(command.args.value(0));
        emit batchExecNext();
    } else if (command.isCmd(QStringLiteral(":end")) || command.isCmd(QStringLiteral(":stop"))) {
        stopRunning();
    } else if (command.isCmd(QStringLiteral(":echo"))) {
        qDebug().noquote() << command.line;
        emit batchExecNext();
    } else {
        ok = true;
        awaitingReport = true;
        emit batchExCmd(command);
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
