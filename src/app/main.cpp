#include "BatchScript.h"
#include "Body.h"
#include "Config.h"
#include "DataRoot.h"
#include "FftwPlannerThread.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QScreen>
#include <QTranslator>

#include <csignal>

int main(int argc, char *argv[])
{
    Config &cfg = config();
    cfg.parseCommandLine(argc, argv);
    // Read before the application exists (reading needs none), so that "-nw" written in the
    // file chooses the platform below just as on the command line.
    cfg.read(cfg.configFileName());

    // A run without a window (batch work on a machine without a display) must not
    // need an X server: use the offscreen platform unless one was chosen explicitly.
    if (cfg.contains(QStringLiteral("-nw")) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    // Plans are made on the GUI thread and by the centre-of-rotation search, and a worker
    // deleted at shutdown destroys its plans on another thread: the planner must be guarded
    // before any thread exists.
    FftwPlannerThread::makePlannerThreadSafe();

    if (cfg.contains(QStringLiteral("DataRoot")))
        setDataRoot(cfg.value(QStringLiteral("DataRoot")));
    if (cfg.contains(QStringLiteral("-d")))
        setDataRoot(cfg.value(QStringLiteral("-d")));

    const bool noTranslation = cfg.contains(QStringLiteral("-e"));
    const bool loadBatch = cfg.contains(QStringLiteral("-b"));
    const QString batchFile = cfg.value(QStringLiteral("-b"));
    const bool execBatch = cfg.contains(QStringLiteral("-x"));
    const bool noWindow = cfg.contains(QStringLiteral("-nw"));
    const bool quitAfterBatch = execBatch && cfg.contains(QStringLiteral("-q"));

    QTranslator translator;
    if (!noTranslation && translator.load(QStringLiteral(":zorvel_ja_JP"), QCoreApplication::applicationDirPath()))
        app.installTranslator(&translator);

    Body body(cfg.lines());
    body.setJobMode(quitAfterBatch);
    QObject::connect(&body, &Body::finishing, &app, &QCoreApplication::quit);
    if (quitAfterBatch)
        QObject::connect(&body, &Body::batchJobEnded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (noWindow) {
        // Without a window the log is the only progress display of a range run.
        QObject::connect(&body, &Body::sliceDone, [](int slice, qint64 done, qint64 total) {
            qDebug().noquote() << QStringLiteral("Slice %1 finished: %2 of %3").arg(slice).arg(done).arg(total);
        });
    } else {
        // The form's size, on a smaller screen the screen's: a window larger than the
        // screen hides its right edge, where the colour bars are.
        body.resize(body.size().boundedTo(body.screen()->availableGeometry().size()));
        body.show();
    }
    // SIGTERM or SIGINT: no new slice, the running ones end and what they made is
    // written, then the program ends with the status of a process ended by the signal.
    TerminationSignals terminations;
    terminations.install();
    // A file size limit reached is a failed write (one line, no file), not the end of the job.
    std::signal(SIGXFSZ, SIG_IGN);
    QObject::connect(&terminations, &TerminationSignals::received, &app, [&body](int signalNumber) {
        qDebug().noquote() << QStringLiteral("Signal %1 received: finishing the slices under way").arg(signalNumber);
        body.shutdown();
        QCoreApplication::exit(128 + signalNumber);
    });
    // A job whose script cannot be opened, or is refused, does not start (one line says why).
    QStringList scriptLines;
    if (quitAfterBatch && !readBatchScript(batchFile, scriptLines))
        return 1;
    if (loadBatch)
        body.batchLoad(batchFile);
    if (execBatch)
        body.batchExec();

    const int status = app.exec();
    if (!quitAfterBatch)
        return status;
    // Every file is written (or known not to be) only once the saver has ended.
    body.shutdown();
    qDebug().noquote() << body.jobOutcome().summary();
    return status != 0 ? status : body.jobOutcome().exitStatus();
}
