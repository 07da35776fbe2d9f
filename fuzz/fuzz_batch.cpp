// Batch scripts: the loader, BatchCmd parsing of every command with its numeric arguments,
// and a bounded run of the engine with a window that answers every command at once
// ("seq_exec_next" reporting no further data set, so that ":ifok" and ":ifng" both branch).
#include "Batch.h"
#include "BatchScript.h"
#include "FuzzInput.h"

#include <QCoreApplication>

namespace {
// Rounds of posted events the engine may step through per input (":goto" loops run for ever).
constexpr int maxSteps = 512;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_batch";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const QString script = fuzzInputFile(data, size);
    QStringList commands;
    if (readBatchScript(script, commands)) {
        for (const QString &line : commands) {
            const BatchCmd command(line);
            // Any index, negative or far beyond the arguments, must read as 0.
            const double sum = command.firstReal() + command.realArg(command.firstInt()) + command.firstFlag();
            Q_UNUSED(sum);
        }
    }

    Batch batch;
    QObject::connect(&batch, &Batch::batchExCmd, &batch, [&batch](const BatchCmd *command) {
        if (command->isCmd(QStringLiteral("seq_exec_next")))
            batch.ok = false;
        QMetaObject::invokeMethod(&batch, &Batch::batchCheckEnd, Qt::QueuedConnection);
    });
    batch.batchLoad(script);
    batch.batchExec();
    for (int step = 0; step < maxSteps && batch.isRunning(); ++step)
        QCoreApplication::sendPostedEvents();
    return 0;
}
