// Batch scripts from outside: the loader, BatchCmd parsing of every command and
// its numeric arguments, then a bounded run of the engine with a window that
// answers every command at once ("seq_exec_next" reporting no further set).
#include "Batch.h"
#include "BatchCmd.h"
#include "BatchScript.h"

#include <QCoreApplication>
#include <QTemporaryFile>

#include <cstdint>

namespace {
// Generations of posted events the engine may step through per input.
constexpr int maxSteps = 512;

void discardMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

void parseCommands(const QByteArray &text)
{
    QStringList commands;
    QString refusal;
    if (!batchScriptLines(text, commands, refusal))
        return;
    for (const QString &line : commands) {
        const BatchCmd command(line);
        // Any index, negative or far beyond the arguments, must read as 0.
        const double value = command.firstReal() + command.realArg(command.firstInt()) + command.firstFlag();
        (void)value;
        (void)command.isCmd(QStringLiteral(":goto"));
    }
}

void runEngine(QTemporaryFile &script, const QByteArray &text)
{
    script.resize(0);
    script.seek(0);
    script.write(text);
    script.flush();

    Batch batch;
    QObject::connect(&batch, &Batch::batchExCmd, &batch, [&batch](const BatchCmd &command) {
        if (command.isCmd(QStringLiteral("seq_exec_next")))
            batch.ok = false;
        QMetaObject::invokeMethod(&batch, &Batch::batchCheckEnd, Qt::QueuedConnection);
    });
    batch.batchLoad(script.fileName());
    batch.batchExec();
    for (int step = 0; step < maxSteps && batch.isRunning(); ++step)
        QCoreApplication::sendPostedEvents();
    batch.batchStop();
    QCoreApplication::sendPostedEvents();
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_batch";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryFile script;
    if (!script.isOpen()) {
        qInstallMessageHandler(discardMessage);
        script.open();
    }
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    parseCommands(text);
    runEngine(script, text);
    return 0;
}
