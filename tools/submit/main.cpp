// zorvel-submit: a CT-XAFS night on a SLURM cluster, one array task per data set, or the
// same tasks one after another on this machine (--local). See docs/cluster.md.
#include "JobScripts.h"
#include "NightPlan.h"
#include "NightSummary.h"
#include "Slurm.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>

namespace {

constexpr int maxCpus = 32; // the CT2 workers a run can have
enum Status { Done = 0, BadInput = 1, SetFailed = 2 };

int fail(const QString &line)
{
    QTextStream(stderr) << line << '\n';
    return BadInput;
}

void print(const QStringList &lines)
{
    QTextStream out(stdout);
    for (const QString &line : lines)
        out << line << '\n';
}

// The workbench installed beside this program, or in its build tree, or on the PATH.
QString findZorvel()
{
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString &candidate : {here.filePath(QStringLiteral("zorvel")), here.filePath(QStringLiteral("../../src/app/zorvel"))})
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("zorvel"));
}

int summarize(const QString &jobDir)
{
    NightSummary summary;
    const bool read = summary.summarize(jobDir);
    print(summary.lines);
    if (!read)
        return BadInput;
    writeFileAtomically(QDir(jobDir).filePath(QStringLiteral("summary.txt")), (summary.lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    return summary.failedSets.isEmpty() ? Done : SetFailed;
}

bool writeJobFolder(const NightPlan &plan, const ArrayOptions &array)
{
    const QDir dir(array.jobDir);
    if (!dir.mkpath(QStringLiteral("logs")) || !dir.mkpath(QStringLiteral("status")))
        return false;
    for (int k = 0; k < plan.sets().size(); ++k)
        if (!writeFileAtomically(dir.filePath(QStringLiteral("set-%1.zsc").arg(k)), plan.setScript(k).toUtf8()))
            return false;
    const auto executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
    return writeFileAtomically(dir.filePath(QStringLiteral("sequence.zsc")), plan.sequenceScript().toUtf8())
           && writeFileAtomically(dir.filePath(QStringLiteral("sets.json")), plan.setsJson())
           && writeFileAtomically(dir.filePath(QStringLiteral("array.sh")), arrayScript(array).toUtf8())
           && writeFileAtomically(dir.filePath(QStringLiteral("summary.sh")), summaryScript(array).toUtf8())
           && QFile::setPermissions(dir.filePath(QStringLiteral("array.sh")), executable)
           && QFile::setPermissions(dir.filePath(QStringLiteral("summary.sh")), executable);
}

// The tasks one after another, as the array would run them, then the summary.
int runLocally(const ArrayOptions &array)
{
    const QDir dir(array.jobDir);
    for (int k = 0; k < array.setCount; ++k) {
        QProcess task;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("SLURM_ARRAY_TASK_ID"), QString::number(k));
        task.setProcessEnvironment(environment);
        task.setProcessChannelMode(QProcess::MergedChannels);
        task.setStandardOutputFile(dir.filePath(QStringLiteral("logs/set-%1.log").arg(k)));
        task.start(QStringLiteral("/bin/bash"), {dir.filePath(QStringLiteral("array.sh"))});
        task.waitForFinished(-1);
    }
    return summarize(array.jobDir);
}

int submit(const ArrayOptions &array, bool wait)
{
    if (QStandardPaths::findExecutable(QStringLiteral("sbatch")).isEmpty())
        return fail(QStringLiteral("sbatch not found: SLURM is not installed here (--local runs the night on this machine)"));
    const Slurm::Submitted night = Slurm::submitNight(array.jobDir, array.workDir, wait);
    if (!night.ok)
        return fail(night.error);
    print({QStringLiteral("Submitted array job %1 (%2 data sets) and its summary job %3; job folder %4")
               .arg(night.arrayId)
               .arg(array.setCount)
               .arg(night.summaryId, array.jobDir)});
    if (!wait)
        return Done;
    QFile summary(QDir(array.jobDir).filePath(QStringLiteral("summary.txt")));
    if (summary.open(QIODevice::ReadOnly))
        QTextStream(stdout) << summary.read(1024 * 1024);
    return night.summaryStatus == 0 ? Done : SetFailed;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvel-submit"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Reconstructs every data set of a CT-XAFS folder as one task of a SLURM array job."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("the data-set folder"));
    parser.addPositionalArgument(QStringLiteral("settings"), QStringLiteral("batch script with the reconstruction settings"));
    const QCommandLineOption kstStd(QStringLiteral("kst-std"), QStringLiteral("data sets are runs of files sample-energy-number (\"KST Std.\"); else one sub-directory each"));
    const QCommandLineOption pattern(QStringLiteral("pattern"), QStringLiteral("file pattern of the data sets"), QStringLiteral("pattern"), QStringLiteral("*.img"));
    const QCommandLineOption i0Dir(QStringLiteral("i0-dir"), QStringLiteral("folder of the I0 images (each set takes the one nearest in energy)"), QStringLiteral("dir"));
    const QCommandLineOption i0Pattern(QStringLiteral("i0-pattern"), QStringLiteral("file pattern of the I0 images"), QStringLiteral("pattern"), QStringLiteral("*.img"));
    const QCommandLineOption bg(QStringLiteral("bg"), QStringLiteral("the BG (dark) image"), QStringLiteral("file"));
    const QCommandLineOption jobs(QStringLiteral("jobs"), QStringLiteral("job folder: scripts, logs, exit statuses, summary"), QStringLiteral("dir"), QStringLiteral("zorvel-night"));
    const QCommandLineOption cpus(QStringLiteral("cpus"), QStringLiteral("CPUs per task, also the CT2 workers of each run (1 to 32)"), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption partition(QStringLiteral("partition"), QStringLiteral("SLURM partition"), QStringLiteral("name"));
    const QCommandLineOption time(QStringLiteral("time"), QStringLiteral("time limit of each task (sbatch --time)"), QStringLiteral("limit"));
    const QCommandLineOption memory(QStringLiteral("mem"), QStringLiteral("memory of each task (sbatch --mem)"), QStringLiteral("size"));
    const QCommandLineOption zorvel(QStringLiteral("zorvel"), QStringLiteral("the workbench program the tasks run"), QStringLiteral("program"));
    const QCommandLineOption local(QStringLiteral("local"), QStringLiteral("run the tasks one after another on this machine, without SLURM"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("only write the scripts"));
    const QCommandLineOption wait(QStringLiteral("wait"), QStringLiteral("return when the summary step has ended, with its status"));
    const QCommandLineOption summarizeDir(QStringLiteral("summarize"), QStringLiteral("write the summary of the night in a job folder"), QStringLiteral("dir"));
    parser.addOptions({kstStd, pattern, i0Dir, i0Pattern, bg, jobs, cpus, partition, time, memory, zorvel, local, dryRun, wait, summarizeDir});
    parser.process(app);

    if (parser.isSet(summarizeDir))
        return summarize(parser.value(summarizeDir));
    if (parser.positionalArguments().size() != 2)
        return fail(QStringLiteral("Give the data-set folder and the settings script (zorvel-submit --help)"));

    bool cpusOk = false;
    const int cpuCount = parser.value(cpus).toInt(&cpusOk);
    if (!cpusOk || cpuCount < 1 || cpuCount > maxCpus)
        return fail(QStringLiteral("--cpus takes 1 to %1, not %2").arg(maxCpus).arg(parser.value(cpus)));
    static const QRegularExpression oneWord(QStringLiteral("^\\S*$"));
    for (const QCommandLineOption *limit : {&partition, &time, &memory})
        if (!oneWord.match(parser.value(*limit)).hasMatch())
            return fail(QStringLiteral("--%1 takes one word, not \"%2\"").arg(limit->names().first(), parser.value(*limit)));

    NightOptions options;
    options.dataDir = parser.positionalArguments().at(0);
    options.settingsScript = parser.positionalArguments().at(1);
    options.kstStd = parser.isSet(kstStd);
    options.pattern = parser.value(pattern);
    options.i0Dir = parser.value(i0Dir);
    options.i0Pattern = parser.value(i0Pattern);
    options.bg = parser.value(bg);
    options.cpus = cpuCount;
    NightPlan plan;
    QString error;
    if (!plan.make(options, error))
        return fail(error);

    ArrayOptions array;
    array.jobDir = QFileInfo(parser.value(jobs)).absoluteFilePath();
    array.workDir = QDir::currentPath();
    array.zorvel = parser.isSet(zorvel) ? QFileInfo(parser.value(zorvel)).absoluteFilePath() : findZorvel();
    array.submit = QCoreApplication::applicationFilePath();
    array.setCount = int(plan.sets().size());
    array.cpus = cpuCount;
    array.partition = parser.value(partition);
    array.time = parser.value(time);
    array.memory = parser.value(memory);
    if (array.zorvel.isEmpty())
        return fail(QStringLiteral("The workbench program zorvel was not found (give it with --zorvel)"));
    if (QFileInfo::exists(QDir(array.jobDir).filePath(QStringLiteral("sets.json"))))
        return fail(QStringLiteral("The job folder %1 holds a night already: name another with --jobs").arg(array.jobDir));
    if (!writeJobFolder(plan, array))
        return fail(QStringLiteral("Cannot write the job folder %1").arg(array.jobDir));
    if (parser.isSet(dryRun)) {
        print({QStringLiteral("%1 data sets; scripts written to %2").arg(array.setCount).arg(array.jobDir)});
        return Done;
    }
    return parser.isSet(local) ? runLocally(array) : submit(array, parser.isSet(wait));
}
