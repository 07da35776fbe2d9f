#include "Batch.h"

#include <QMutex>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {
// Debug lines from any thread; the per-step "cmd" lines are only counted.
QMutex logLock;
QStringList logLines;
std::atomic<int> stepLines{0};

void captureLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.startsWith("cmd ")) {
        ++stepLines;
        return;
    }
    QMutexLocker lock(&logLock);
    logLines.append(message);
}
}

// Stands in for the main window on the GUI thread: records each command line and
// answers at once, except that "calc_exec" holds its answer until release() and
// "seq_exec_next" reports that no further data set is left.
class StandIn : public QObject
{
    Q_OBJECT
public:
    explicit StandIn(Batch *engine) : engine(engine) {}
    void release() { emit callBatchCheckEnd(); }
    QStringList received;

public slots:
    void batchExCmd(const BatchCmd &cmd)
    {
        received.append(cmd.line);
        if (cmd.isCmd("seq_exec_next"))
            engine->ok = false;
        if (!cmd.isCmd("calc_exec"))
            emit callBatchCheckEnd();
    }

signals:
    void callBatchLoad(const QString &fname);
    void callBatchExec();
    void callBatchCheckEnd();

private:
    Batch *engine;
};

class TstBatch : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void steps_data();
    void steps();
    void emptyScriptEndsRun();
    void stopAndRestartDuringLongCommand();
    void reloadWhileRunning();
    void failedLoadKeepsScript();
    void strayReportIgnored();
    void controlLoopStaysStoppable();

private:
    QString write(const QByteArray &script);
    void load(const QByteArray &script) { emit standIn->callBatchLoad(write(script)); }
    bool engineRunning();
    void run(const QByteArray &script);

    QTemporaryDir dir;
    int scripts = 0;
    QThread engineThread;
    Batch *batch = nullptr;
    StandIn *standIn = nullptr;
    QtMessageHandler previousHandler = nullptr;
};

void TstBatch::init()
{
    logLines.clear();
    previousHandler = qInstallMessageHandler(captureLog);
    batch = new Batch;
    batch->moveToThread(&engineThread);
    standIn = new StandIn(batch);
    connect(standIn, &StandIn::callBatchLoad, batch, &Batch::batchLoad);
    connect(standIn, &StandIn::callBatchExec, batch, &Batch::batchExec);
    connect(batch, &Batch::batchExCmd, standIn, &StandIn::batchExCmd);
    connect(standIn, &StandIn::callBatchCheckEnd, batch, &Batch::batchCheckEnd);
    engineThread.start();
}

void TstBatch::cleanup()
{
    engineThread.quit();
    engineThread.wait();
    delete batch;
    delete standIn;
    qInstallMessageHandler(previousHandler);
}

QString TstBatch::write(const QByteArray &script)
{
    QFile file(dir.filePath(QString("s%1.bat").arg(++scripts)));
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
        qFatal("cannot write a script");
    return file.fileName();
}

// Asked on the engine's thread, after everything queued there before.
bool TstBatch::engineRunning()
{
    bool running = false;
    QMetaObject::invokeMethod(batch, [&] { running = batch->isRunning(); }, Qt::BlockingQueuedConnection);
    return running;
}

void TstBatch::run(const QByteArray &script)
{
    load(script);
    emit standIn->callBatchExec();
    QTRY_VERIFY(!engineRunning());
    QCoreApplication::processEvents();
}

void TstBatch::steps_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("received"); // command lines the window got, in order
    QTest::addColumn<QStringList>("echoes");
    QTest::newRow("empty") << QByteArray("# nothing\n") << QStringList{} << QStringList{};
    QTest::newRow("words any case, labels exact")
        << QByteArray(":GoTo skip\nfirst\nSkip\nskip\nlast") << QStringList{"skip", "last"} << QStringList{};
    QTest::newRow("first of two labels")
        << QByteArray(":goto L\na\nL\nb\nL\nc") << QStringList{"L", "b", "L", "c"} << QStringList{};
    QTest::newRow("unknown label goes on") << QByteArray(":goto M\na") << QStringList{"a"} << QStringList{};
    QTest::newRow(":ifok after a command") << QByteArray("a\n:ifok :goto L\nb\nL") << QStringList{"a", "L"} << QStringList{};
    // The non-firing ":ifok" is an ordinary command and sets ok again.
    QTest::newRow("no further set") << QByteArray("seq_exec_next\n:ifok :goto L\n:ifng :goto L\nb\nL")
                                    << QStringList{"seq_exec_next", ":ifok :goto L", ":ifng :goto L", "b", "L"} << QStringList{};
    QTest::newRow(":ifng fires") << QByteArray("seq_exec_next\n:IFNG :goto L\nb\nL")
                                 << QStringList{"seq_exec_next", "L"} << QStringList{};
    QTest::newRow(":ifok carrying :ifng") << QByteArray("a\n:ifok :ifng :goto L\nb\nL")
                                          << QStringList{"a", ":ifng :goto L", "b", "L"} << QStringList{};
    QTest::newRow(":ifng carrying :ifok") << QByteArray("seq_exec_next\n:ifng :ifok :goto L\nb\nL")
                                          << QStringList{"seq_exec_next", ":ifok :goto L", "b", "L"} << QStringList{};
    QTest::newRow(":end") << QByteArray("a\n:End\nb") << QStringList{"a"} << QStringList{};
    QTest::newRow(":stop") << QByteArray(":STOP\nb") << QStringList{} << QStringList{};
    QTest::newRow(":echo whole line") << QByteArray(":Echo a  \"b c\" # note\nx\n:ifok :echo d  e")
                                      << QStringList{"x"} << QStringList{":Echo a  \"b c\" ", ":echo d e"};
    QTest::newRow("continued lines") << QByteArray("a \\\n b\n:goto \\\nL\nc\nL") << QStringList{"a  b", "L"} << QStringList{};
    QTest::newRow("blank command") << QByteArray("  \n") << QStringList{"  "} << QStringList{};
}

void TstBatch::steps()
{
    QFETCH(QByteArray, script);
    run(script);
    QTEST(standIn->received, "received");
    QTEST(logLines, "echoes");
}

void TstBatch::emptyScriptEndsRun()
{
    run("");
    run("a");
    QCOMPARE(standIn->received, QStringList{"a"});
}

// Stopping lets the command in flight finish and nothing after it; starting again
// before it has finished waits for its report, then begins at the first line.
void TstBatch::stopAndRestartDuringLongCommand()
{
    load("calc_exec\nb");
    emit standIn->callBatchExec();
    QTRY_COMPARE(standIn->received, QStringList{"calc_exec"});
    emit standIn->callBatchExec();
    emit standIn->callBatchExec();
    QVERIFY(engineRunning());
    QCoreApplication::processEvents();
    QCOMPARE(standIn->received, QStringList{"calc_exec"});
    standIn->release();
    QTRY_COMPARE(standIn->received, QStringList({"calc_exec", "calc_exec"}));
    emit standIn->callBatchExec();
    standIn->release();
    QTRY_VERIFY(!engineRunning());
    QCoreApplication::processEvents();
    QCOMPARE(standIn->received.size(), 2);
}

void TstBatch::reloadWhileRunning()
{
    load("calc_exec\nold1\nold2");
    emit standIn->callBatchExec();
    QTRY_COMPARE(standIn->received, QStringList{"calc_exec"});
    load("n0\nn1");
    standIn->release();
    QTRY_VERIFY(!engineRunning());
    QCoreApplication::processEvents();
    QCOMPARE(standIn->received, QStringList({"calc_exec", "n1"}));
}

void TstBatch::failedLoadKeepsScript()
{
    run("a");
    emit standIn->callBatchLoad(dir.filePath("missing.bat"));
    emit standIn->callBatchExec();
    QTRY_VERIFY(!engineRunning());
    QCoreApplication::processEvents();
    QCOMPARE(standIn->received, QStringList({"a", "a"}));
    QCOMPARE(logLines, QStringList{"Can't open batch file \"" + dir.filePath("missing.bat") + "\""});
}

// An engine on this thread, so that the order of its queued steps is exact.
void TstBatch::strayReportIgnored()
{
    Batch local;
    QSignalSpy commands(&local, &Batch::batchExCmd);
    local.batchLoad(write(":echo e\na\nb"));
    local.batchExec();
    local.batchCheckEnd(); // a report nobody waits for
    for (int i = 0; i < 4; ++i)
        QCoreApplication::sendPostedEvents();
    QCOMPARE(commands.size(), 1);
    QCOMPARE(commands.at(0).at(0).value<BatchCmd>().line, QString("a"));
}

// ":goto :goto" jumps to itself for ever; the steps must neither deepen the
// stack nor shut out the stop request.
void TstBatch::controlLoopStaysStoppable()
{
    stepLines = 0;
    load(":goto :goto");
    emit standIn->callBatchExec();
    QTRY_VERIFY_WITH_TIMEOUT(stepLines > 100000, 120000);
    emit standIn->callBatchExec();
    QTRY_VERIFY(!engineRunning());
    QVERIFY(standIn->received.isEmpty());
}

QTEST_GUILESS_MAIN(TstBatch)
#include "tst_batch.moc"
