#pragma once

#include "BatchCmd.h"
#include "XanesWorker.h"

#include <QObject>
#include <QThread>

// The batch commands of chemical-state maps: the xanes_* words build a request, and
// xanes_exec hands it to a worker on a thread of its own; finished() answers when it has
// ended, so a script waits for it as it waits for a run.
class XanesCommands : public QObject
{
    Q_OBJECT
public:
    explicit XanesCommands(QObject *parent = nullptr);
    ~XanesCommands() override;

    // True when cmd is one of the xanes_* words (it is then applied); *execRequested when it
    // was xanes_exec, whose job start() begins.
    bool handle(const BatchCmd &cmd, bool *execRequested);
    // Hands the request built so far to the worker (with the sequence's planes when it maps
    // them); finished() answers.
    void start(std::shared_ptr<const SequenceStack> sequence);
    const XanesRequest &request() const { return pending; }
    // Lets a job under way end, then ends the thread. Idempotent.
    void shutdown();

signals:
    void finished(XanesOutcome outcome);
    void runRequested(Handed<XanesRequest> request);

private:
    struct Command
    {
        const char *keyword;
        void (*action)(XanesRequest &request, const BatchCmd &cmd);
    };
    static const std::vector<Command> &commandTable();

    XanesRequest pending;
    QThread thread;
    XanesWorker *worker = nullptr;
};
