#include "Batch.h"
#include "BatchScript.h"

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <mutex>

namespace {
// Debug lines from any thread; the per-step "cmd" lines are only counted. Standard locks
// and atomics throughout: ThreadSanitizer sees those, not Qt's own (Qt is not instrumented).
std::mutex logLock;
QStringList logLines;
std::atomic<int> stepLines{0};

void captureLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.startsWith("cmd ")) {
        ++stepLines;
        return;
    }
    const std::lock_guard<std::mutex> lock(logLock);
    logLines.append(message);
}

QStringList takeLog()
{
    const std::lock_guard<std::mutex> lock(logLock);
    return std::exchange(logLines, {});
}
}

// The test stands in for the main window on the GUI thread, talking to the engine's thread
// through queued signals only: it records each command line (and "stopped" for each
// batchStopped) and answers at once, except that "calc_exec" holds its answer until the test
// releases it and "seq_exec_next" reports that no further data set is left.
class TstBatch : public QObject
{
    Q_OBJECT
signals:
    void callBatchLoad(const QString &fname);
    void callBatchExec();
    void callBatchCheckEnd();
    void block(); // holds the engine's thread on `gate` while the test queues work for it
    void ping(); // answered by pong from the engine's thread, after everything queued before
    void pong();

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void parse_data();
    void parse();
    void scriptLines_data();
    void scriptLines();
    void engine_data();
    void engine();

private:
    QString write(const QByteArray &script);
    void sync();

    QTemporaryDir dir;
    int scripts = 0;
    QThread engineThread;
    std::mutex gate;
    std::unique_lock<std::mutex> gateHeld{gate, std::defer_lock};
    std::atomic<bool> engineEnded{false};
    Batch *batch = nullptr;
    QStringList received;
    int pongs = 0;
};

void TstBatch::initTestCase()
{
    qInstallMessageHandler(captureLog);
    connect(this, &TstBatch::pong, this, [this] { ++pongs; });
    // Its end seen through an atomic, which ThreadSanitizer sees and QThread::wait is not.
    connect(&engineThread, &QThread::finished, this, [this] { engineEnded.store(true); }, Qt::DirectConnection);
}

// Every connection is made before the engine's thread starts, which orders them before it.
void TstBatch::init()
{
    takeLog();
    received.clear();
    batch = new Batch;
    batch->moveToThread(&engineThread);
    connect(this, &TstBatch::callBatchLoad, batch, &Batch::batchLoad);
    connect(this, &TstBatch::callBatchExec, batch, &Batch::batchExec);
    connect(this, &TstBatch::callBatchCheckEnd, batch, &Batch::batchCheckEnd);
    connect(this, &TstBatch::block, batch, [this] { const std::lock_guard<std::mutex> wait(gate); });
    connect(this, &TstBatch::ping, batch, [this] { emit pong(); });
    connect(batch, &Batch::batchExCmd, this, [this](const BatchCmd *handed) {
        const BatchCmd cmd = Batch::received(handed);
        received.append(cmd.line);
        if (cmd.isCmd("seq_exec_next"))
            batch->ok = false;
        if (!cmd.isCmd("calc_exec"))
            emit callBatchCheckEnd();
    });
    connect(batch, &Batch::batchStopped, this, [this] { received.append("stopped"); });
    engineThread.start();
}

void TstBatch::cleanup()
{
    if (gateHeld.owns_lock())
        gateHeld.unlock();
    engineThread.quit();
    engineThread.wait();
    QVERIFY(engineEnded.exchange(false));
    delete batch;
}

QString TstBatch::write(const QByteArray &script)
{
    QFile file(dir.filePath(QString("s%1.bat").arg(++scripts)));
    file.open(QIODevice::WriteOnly);
    file.write(script);
    return file.fileName();
}

// Returns when the engine has done everything queued to it before and the window has
// received all it sent meanwhile.
void TstBatch::sync()
{
    const int answered = pongs + 1;
    emit ping();
    QTRY_COMPARE(pongs, answered);
}

void TstBatch::parse_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QVector<double>>("reals"); // firstReal, realArg(1), realArg(-1), firstInt, firstFlag
    QTest::newRow("flag on") << "images_multi 1 2.5" << "images_multi" << QStringList{"1", "2.5"} << QVector<double>{1, 2.5, 0, 1, 1};
    QTest::newRow("quoted, tabs, not 1") << "\tc \"2 b\"\t-1e3 " << "c" << QStringList{"2 b", "-1e3"} << QVector<double>{0, -1000, 0, 0, 0};
    QTest::newRow("quoted empty ends args") << "c 1.0 \"\" 3" << "c" << QStringList{"1.0"} << QVector<double>{1, 0, 0, 0, 0};
    QTest::newRow("beyond 32 bits, inf") << "c 2147483648 inf" << "c" << QStringList{"2147483648", "inf"} << QVector<double>{2147483648.0, 0, 0, 0, 0};
    QTest::newRow("white space only") << "  " << "" << QStringList{} << QVector<double>{0, 0, 0, 0, 0};
}

void TstBatch::parse()
{
    QFETCH(QString, line);
    QFETCH(QString, cmd);
    const BatchCmd command(line);
    QCOMPARE(command.line, line);
    QCOMPARE(command.cmd, cmd);
    QTEST(command.args, "args");
    QTEST(QVector<double>({command.firstReal(), command.realArg(1), command.realArg(-1), double(command.firstInt()), double(command.firstFlag())}), "reals");
    QVERIFY(command.isCmd(cmd.toUpper()) && !command.isCmd(cmd + "x"));
}

// Scripts read from files (none for a null text): the commands stored, and the one
// debug line of a refusal, which keeps the commands loaded before (here "old").
void TstBatch::scriptLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("comments, blanks kept") << QByteArray("# head\n\na # c\n  \r\n:echo \"#\"\n") << QStringList{"a ", "  ", ":echo \"#\""} << "";
    QTest::newRow("continued twice") << QByteArray("load /d \\\n  *.img\\ # more\n *.tif\nb") << QStringList{"load /d   *.img *.tif", "b"} << "";
    QTest::newRow("comment line ends it, last line") << QByteArray("a \\\n# note\nb\nc \\  \n") << QStringList{"a ", "b", "c "} << "";
    QTest::newRow("lone backslashes") << QByteArray("\\\n\\\nc\n\\") << QStringList{"c"} << "";
    QTest::newRow("longest line, largest file") << QByteArray(maxBatchCommandLength, 'x') + "\n#" + QByteArray(maxBatchScriptBytes - maxBatchCommandLength - 2, '#')
                                                << QStringList{QString(maxBatchCommandLength, 'x')} << "";
    QTest::newRow("most lines") << QByteArray("a\n").repeated(maxBatchScriptLines) << QStringList(maxBatchScriptLines, "a") << "";
    QTest::newRow("line too long") << "a\n" + QByteArray(maxBatchCommandLength - 1, 'x') + "\\\nyy" << QStringList{"old"}
                                   << "Batch file line 3 is longer than 8192 characters";
    QTest::newRow("too many lines") << QByteArray("a\n").repeated(maxBatchScriptLines) + "b" << QStringList{"old"}
                                    << "Batch file has more than 100000 lines";
    QTest::newRow("missing") << QByteArray() << QStringList{"old"} << "Can't open batch file";
    QTest::newRow("too large") << QByteArray(maxBatchScriptBytes + 1, '#') << QStringList{"old"} << "Batch file is larger than 4194304 bytes";
}

void TstBatch::scriptLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, refusal);
    const QString name = text.isNull() ? dir.filePath("missing.bat") : write(text);
    QStringList commands{"old"};
    QCOMPARE(readBatchScript(name, commands), refusal.isEmpty());
    QTEST(commands, "commands");
    QCOMPARE(takeLog(), refusal.isEmpty() ? QStringList{} : QStringList{refusal + " \"" + name + "\""});
}

// Each action goes to the engine through the window's signals: "load:<script>", "exec",
// "release" (the answer to "calc_exec"), "block"/"unblock" (the engine's thread), "spin"
// (100000 steps done) and "got:<n>" (the window has received n commands, and no more once
// the engine has done all queued to it).
void TstBatch::engine_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("received"); // command lines the window got, in order
    QTest::addColumn<QStringList>("log");
    const auto run = [](const char *script, int got) { return QStringList{QString("load:") + script, "exec", QString("got:%1").arg(got)}; };
    QTest::newRow("empty, then another") << run("# nothing", 1) + run("a", 3) << QStringList{"stopped", "a", "stopped"} << QStringList{};
    QTest::newRow("words any case, labels exact") << run(":GoTo skip\nfirst\nSkip\nskip\nlast", 3) << QStringList{"skip", "last", "stopped"} << QStringList{};
    QTest::newRow("unknown label, first of two") << run(":goto M\n:goto L\na\nL\nb\nL\nc", 5) << QStringList{"L", "b", "L", "c", "stopped"} << QStringList{};
    QTest::newRow(":ifok after a command") << run("a\n:ifok :goto L\nb\nL", 3) << QStringList{"a", "L", "stopped"} << QStringList{};
    // The non-firing ":ifok" is an ordinary command and sets ok again.
    QTest::newRow("no further set") << run("seq_exec_next\n:ifok :goto L\n:ifng :goto L\nb\nL", 6)
                                    << QStringList{"seq_exec_next", ":ifok :goto L", ":ifng :goto L", "b", "L", "stopped"} << QStringList{};
    QTest::newRow(":ifok carrying :ifng") << run("a\n:ifok :ifng :goto L\nb\nL", 5) << QStringList{"a", ":ifng :goto L", "b", "L", "stopped"} << QStringList{};
    QTest::newRow(":ifng carrying :ifok") << run("seq_exec_next\n:IFNG :ifok :goto L\nb\nL", 5)
                                          << QStringList{"seq_exec_next", ":ifok :goto L", "b", "L", "stopped"} << QStringList{};
    QTest::newRow(":end, :stop") << run("a\n:End\nb", 2) + run(":STOP\nc", 3) << QStringList{"a", "stopped", "stopped"} << QStringList{};
    QTest::newRow(":echo whole line") << run(":Echo a  \"b c\" # note\nx\n:ifok :echo d  \"e  f\"", 2) << QStringList{"x", "stopped"}
                                      << QStringList{":Echo a  \"b c\" ", ":echo d  \"e  f\""};
    // What a condition runs keeps its quotes: a directory and a label with blanks stay whole.
    QTest::newRow("quotes kept after :ifok, :ifng")
        << run("a\n:ifok  images_load \"/data/run 1\" \"*.img\"\nseq_exec_next\n:ifng :goto \"L 2\"\nb\n\"L 2\"", 5)
        << QStringList{"a", "images_load \"/data/run 1\" \"*.img\"", "seq_exec_next", "\"L 2\"", "stopped"} << QStringList{};
    QTest::newRow("continued lines, blank") << run("a \\\n b\n:goto \\\nL\nc\nL\n  ", 4) << QStringList{"a  b", "L", "  ", "stopped"} << QStringList{};
    // Stopping lets the command in flight finish and nothing after it; starting again
    // before it has finished waits for its answer, then begins at the first line.
    QTest::newRow("stop, restart in long command")
        << QStringList{"load:calc_exec\nb", "exec", "got:1", "exec", "exec", "got:2", "release", "got:3", "exec", "release", "got:4"}
        << QStringList{"calc_exec", "stopped", "calc_exec", "stopped"} << QStringList{};
    QTest::newRow("reload while running") << QStringList{"load:calc_exec\nold1\nold2", "exec", "got:1", "load:n0\nn1", "release", "got:3"}
                                          << QStringList{"calc_exec", "n1", "stopped"} << QStringList{};
    // Between two control-line steps, a report nobody waits for and a stop and start
    // begin no second chain of steps.
    QTest::newRow("stray report, restart") << QStringList{"load::echo e\ncalc_exec\nb", "block", "exec", "release", "exec", "exec", "unblock",
                                                          "got:2", "exec", "release", "got:3"}
                                           << QStringList{"stopped", "calc_exec", "stopped"} << QStringList{":echo e"};
    // ":goto :goto" jumps to itself for ever: the steps neither deepen the stack nor shut out a stop.
    QTest::newRow("control loop stops") << QStringList{"load::goto :goto", "exec", "spin", "exec", "got:1"} << QStringList{"stopped"} << QStringList{};
}

void TstBatch::engine()
{
    QFETCH(QStringList, actions);
    for (const QString &action : actions) {
        if (action.startsWith("load:")) {
            emit callBatchLoad(write(action.mid(5).toUtf8()));
        } else if (action == "exec") {
            emit callBatchExec();
        } else if (action == "release") {
            emit callBatchCheckEnd();
        } else if (action == "block") {
            gateHeld.lock();
            emit block();
        } else if (action == "unblock") {
            gateHeld.unlock();
        } else if (action == "spin") {
            stepLines = 0;
            QTRY_VERIFY_WITH_TIMEOUT(stepLines > 100000, 120000);
        } else {
            QTRY_COMPARE(received.size(), action.mid(4).toInt());
            sync();
            sync(); // a second chain of steps would have sent more by now
            QCOMPARE(received.size(), action.mid(4).toInt());
        }
    }
    QTEST(received, "received");
    QTEST(takeLog(), "log");
}

QTEST_GUILESS_MAIN(TstBatch)
#include "tst_batch.moc"
