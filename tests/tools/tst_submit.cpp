// zorvel-submit from the outside: the scripts of a small CT-XAFS night, the night run on
// this machine against the workbench's own sequence, byte for byte, the summary with a
// failed set, and the inputs and submissions it must refuse (with stand-ins for sbatch).
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList energies{"7100eV", "7112_5eV", "7150eV"};

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments, const QString &dir, const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(180000))
        process.kill();
    process.waitForFinished();
    Run result{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
               QString::fromUtf8(process.readAllStandardError())};
    return result;
}

bool writeText(const QString &fileName, const QString &text)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

QString readText(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Every result file under dir (relative name -> bytes), records left out (they hold the date).
QMap<QString, QByteArray> resultFiles(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, {"*.png", "*.dat"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = it.next();
        QFile file(name);
        files.insert(QDir(dir).relativeFilePath(name), file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return files;
}

// A stand-in for sbatch and scancel: each call is logged; the submission numbered
// refuseAt (from 1) and those after it are refused as SLURM refuses them.
void writeFakeSlurm(const QString &bin, int refuseAt)
{
    writeText(bin + "/sbatch", QString("#!/bin/bash\necho \"sbatch $*\" >> \"$FAKE_LOG\"\nn=0\n"
                                       "while read -r line; do [[ $line == sbatch* ]] && n=$((n + 1)); done < \"$FAKE_LOG\"\n"
                                       "if [ $n -ge %1 ]; then echo 'sbatch: error: Batch job submission failed: Invalid partition' >&2; exit 1; fi\n"
                                       "echo \"$((4000 + n));cluster\"\n").arg(refuseAt));
    writeText(bin + "/scancel", "#!/bin/bash\necho \"scancel $*\" >> \"$FAKE_LOG\"\n");
    for (const char *tool : {"sbatch", "scancel"})
        QFile::setPermissions(bin + "/" + QString(tool), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class TstSubmit : public QObject
{
    Q_OBJECT
    QTemporaryDir root;
    QString series;

    QString settings(const QString &out) const
    {
        return QString("ct_rot_ax_is_v 1\nct_cor 31.5\ncalc_ct2 1\nct_slice_from 1\nct_slice_to 2\nct_slice_step 1\nct_auto_exec 1\n"
                       "auto_save_image_path \"%1\"\nauto_save_image_name ct\nauto_save_image 1\n"
                       "auto_save_data_path \"%1\"\nauto_save_data_name ct\nauto_save_data 1\n")
            .arg(out);
    }
    // The data-set options of the series and a settings script saving into out.
    QStringList night(const QString &jobs, const QString &out, const QString &extra = {})
    {
        const QString script = QDir(root.path()).filePath(QFileInfo(jobs).fileName() + ".zsc");
        writeText(script, settings(out) + extra);
        return {"--kst-std", "--pattern", "phantom-*.img", "--i0-dir", series, "--i0-pattern", "i0-*.img", "--bg", series + "/bg.img",
                "--jobs", jobs, series, script};
    }
    QString path(const QString &name) const { return QDir(root.path()).filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(root.isValid());
        series = path("xafs");
        const Run phantom = run(ZORVEL_PHANTOM, {"--out", series, "--width", "64", "--height", "4", "--projections", "40",
                                                 "--energies", "7100,7112.5,7150", "--seed", "3"}, root.path());
        QVERIFY2(phantom.status == 0, qPrintable(phantom.err));
    }

    // The scripts as text: one per set in energy order, the set chosen by its name after
    // the settings, its I0 the one of its energy; the array of as many tasks.
    void dryRunWritesScripts()
    {
        const QString jobs = path("jobs-dry");
        const Run submit = run(ZORVEL_SUBMIT, QStringList{"--dry-run", "--cpus", "2", "--partition", "short", "--time", "30", "--mem", "2G"} + night(jobs, path("out-dry")), root.path());
        QVERIFY2(submit.status == 0, qPrintable(submit.err));
        const QJsonArray sets = QJsonDocument::fromJson(readText(jobs + "/sets.json").toUtf8()).object().value("sets").toArray();
        QCOMPARE(sets.size(), energies.size());
        for (int k = 0; k < energies.size(); ++k) {
            QCOMPARE(sets[k].toObject().value("name").toString(), energies[k]);
            QCOMPARE(sets[k].toObject().value("i0").toString(), QDir(series).filePath(QString("i0-%1-00000.img").arg(energies[k])));
            QCOMPARE(sets[k].toObject().value("record").toString(), path("out-dry/ct-" + energies[k] + "-record.json"));
            const QString script = readText(QString("%1/set-%2.zsc").arg(jobs).arg(k));
            QVERIFY(script.startsWith(QString("# Data set %1 of 3: %2 (").arg(k + 1).arg(energies[k])));
            QVERIFY(script.contains(settings(path("out-dry")) + "ct_threads 2\n"));
            QVERIFY2(script.endsWith(QString("seq_exec_dir %1\nseq_exec_select %2\n:ifng :stop\nseq_exec_set\ncalc_exec\n").arg(series, energies[k])), qPrintable(script));
        }
        QVERIFY(!QFile::exists(QString("%1/set-%2.zsc").arg(jobs).arg(energies.size())));
        const QString array = readText(jobs + "/array.sh");
        for (const char *line : {"#SBATCH --array=0-2\n", "#SBATCH --cpus-per-task=2\n", "#SBATCH --partition=short\n", "#SBATCH --time=30\n", "#SBATCH --mem=2G\n"})
            QVERIFY2(array.contains(line), qPrintable(line));
        QVERIFY(array.contains(QString("'%1' -nw -q -e -b \"$jobs/set-$k.zsc\" -x\n").arg(ZORVEL_PROGRAM)));
        QVERIFY(readText(jobs + "/summary.sh").contains("--summarize '" + jobs + "'"));
        QVERIFY(QFileInfo(jobs + "/array.sh").isExecutable());
        // A second night into the same folder would mix its statuses with these.
        QCOMPARE(run(ZORVEL_SUBMIT, QStringList{"--dry-run"} + night(jobs, path("out-dry")), root.path()).status, 1);
    }

    // The night on this machine writes what the sequence writes, byte for byte; a set whose
    // images are broken fails alone and the summary names it.
    void localNightEqualsSequence()
    {
        const Run dry = run(ZORVEL_SUBMIT, QStringList{"--dry-run"} + night(path("jobs-seq"), path("out-seq")), root.path());
        QVERIFY2(dry.status == 0, qPrintable(dry.err));
        const Run sequence = run(ZORVEL_PROGRAM, {"-nw", "-q", "-e", "-b", path("jobs-seq/sequence.zsc"), "-x"}, root.path());
        QVERIFY2(sequence.status == 0, qPrintable(sequence.err.right(2000)));

        const Run local = run(ZORVEL_SUBMIT, QStringList{"--local", "--cpus", "2"} + night(path("jobs-local"), path("out-local")), root.path());
        QVERIFY2(local.status == 0, qPrintable(local.out + local.err));
        QVERIFY2(local.out.endsWith("Night done: 3 data sets done, 0 failed\n"), qPrintable(local.out));
        const QMap<QString, QByteArray> expected = resultFiles(path("out-seq"));
        QCOMPARE(expected.size(), energies.size() * 2 * 2);
        QCOMPARE(resultFiles(path("out-local")), expected);
        QCOMPARE(readText(path("jobs-local/status/set-0.exit")), QString("0\n"));

        // Set 2 of 3 loses a projection's pixels: only that task fails.
        QFile broken(QDir(series).filePath("phantom-7112_5eV-00007.img"));
        const QByteArray whole = [&] { QFile f(broken.fileName()); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }();
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write(whole.left(80)) == 80);
        broken.close();
        const Run failing = run(ZORVEL_SUBMIT, QStringList{"--local"} + night(path("jobs-broken"), path("out-broken")), root.path());
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write(whole) == whole.size());
        broken.close();
        QCOMPARE(failing.status, 2);
        QVERIFY2(failing.out.contains("Data set 7112_5eV (7112.5 eV): failed, 0 slices reconstructed: exit status 2, no record"), qPrintable(failing.out));
        QVERIFY2(failing.out.endsWith("Night incomplete: 2 data sets done, 1 failed: 7112_5eV\n"), qPrintable(failing.out));
        QCOMPARE(readText(path("jobs-broken/summary.txt")), failing.out);
    }

    // A set gone from the folder between submission and its task: the task fails naming it
    // and never reconstructs another set in its place.
    void taskOfVanishedSet()
    {
        const QString copy = path("xafs-copy");
        QVERIFY(QDir().mkpath(copy));
        for (const QFileInfo &file : QDir(series).entryInfoList(QDir::Files))
            QVERIFY(QFile::copy(file.absoluteFilePath(), QDir(copy).filePath(file.fileName())));
        QStringList arguments = QStringList{"--dry-run"} + night(path("jobs-gone"), path("out-gone"));
        arguments.replaceInStrings(QRegularExpression("^" + QRegularExpression::escape(series)), copy);
        QCOMPARE(run(ZORVEL_SUBMIT, arguments, root.path()).status, 0);
        for (const QString &name : QDir(copy).entryList({"phantom-7112_5eV-*.img"}))
            QVERIFY(QFile::remove(QDir(copy).filePath(name)));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SLURM_ARRAY_TASK_ID", "1");
        const QString task = path("jobs-gone/array.sh");
        const Run gone = run("/bin/bash", {task}, root.path(), environment);
        QCOMPARE(gone.status, 2);
        QVERIFY2(gone.err.contains("Data set 7112_5eV failed: there is no such data set in " + copy), qPrintable(gone.err.right(1500)));
        QCOMPARE(readText(path("jobs-gone/status/set-1.exit")), QString("2\n"));
        QVERIFY(resultFiles(path("out-gone")).isEmpty());
    }

    // Settings that save nothing leave no record: a set is judged by its exit status alone.
    void summaryWithoutRecords()
    {
        const QString jobs = path("jobs-unsaved");
        QCOMPARE(run(ZORVEL_SUBMIT, QStringList{"--dry-run"} + night(jobs, path("out-unsaved"), "auto_save_data 0\nauto_save_image 0\n"), root.path()).status, 0);
        for (int k = 0; k < energies.size(); ++k)
            QVERIFY(writeText(QString("%1/status/set-%2.exit").arg(jobs).arg(k), k == 1 ? "2\n" : "0\n"));
        const Run summary = run(ZORVEL_SUBMIT, {"--summarize", jobs}, root.path());
        QCOMPARE(summary.status, 2);
        QCOMPARE(summary.out, QString("Data set 7100eV (7100 eV): done, 0 slices reconstructed\n"
                                      "Data set 7112_5eV (7112.5 eV): failed, 0 slices reconstructed: exit status 2\n"
                                      "Data set 7150eV (7150 eV): done, 0 slices reconstructed\n"
                                      "Night incomplete: 2 data sets done, 1 failed: 7112_5eV\n"));
    }

    // What the summary step makes of the tasks' traces, on the folder of a good night.
    void summaryOfTraces_data()
    {
        QTest::addColumn<QString>("file");  // under the job folder, or a record (relative to root)
        QTest::addColumn<QString>("text");  // its new contents; null: removed
        QTest::addColumn<QString>("fault"); // what the summary says of set 7150eV
        QTest::newRow("no exit status") << "jobs-local/status/set-2.exit" << QString() << "its task left no exit status";
        QTest::newRow("killed task") << "jobs-local/status/set-2.exit" << "137\n" << "exit status 137";
        QTest::newRow("garbled status") << "jobs-local/status/set-2.exit" << "done\n" << "its task left no exit status";
        QTest::newRow("no record") << "out-local/ct-7150eV-record.json" << QString() << "no record";
        QTest::newRow("failed slice") << "out-local/ct-7150eV-record.json"
                                      << R"({"slices":[{"slice":1,"outcome":"reconstructed"},{"slice":2,"outcome":"failed"}]})" << "1 slices failed";
    }
    void summaryOfTraces()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(QString, fault);
        if (!QFile::exists(path("jobs-local/sets.json")))
            QSKIP("needs the night of localNightEqualsSequence");
        const QString target = path(file);
        const QByteArray before = readText(target).toUtf8();
        QVERIFY(text.isNull() ? QFile::remove(target) : writeText(target, text));
        const Run summary = run(ZORVEL_SUBMIT, {"--summarize", path("jobs-local")}, root.path());
        QVERIFY(QFile::remove(target) || !QFile::exists(target));
        QVERIFY(writeText(target, QString::fromUtf8(before)));
        QCOMPARE(summary.status, 2);
        QVERIFY2(summary.out.contains("Data set 7150eV (7150 eV): failed, ") && summary.out.contains(fault), qPrintable(summary.out));
        QVERIFY2(summary.out.contains("Data set 7100eV (7100 eV): done, 2 slices reconstructed\n"), qPrintable(summary.out));
        QVERIFY(summary.out.endsWith("Night incomplete: 2 data sets done, 1 failed: 7150eV\n"));
    }

    // Inputs that cannot make a night: one line, status 1, no job folder left behind.
    void refusedInputs_data()
    {
        QTest::addColumn<QString>("dropped");    // an option left out of the night's arguments
        QTest::addColumn<QStringList>("added"); // options given after the night's own (the last value counts)
        QTest::addColumn<QString>("extra");     // added to the settings script
        QTest::addColumn<QString>("line");
        QTest::newRow("no sets") << QString() << QStringList{"--pattern", "nothing-*.img"} << QString() << "No data sets in ";
        QTest::newRow("no sub-directories") << "--kst-std" << QStringList() << QString() << "No data sets in ";
        QTest::newRow("no I0 files") << QString() << QStringList{"--i0-pattern", "i1-*.img"} << QString() << "No I0 files matching i1-*.img in ";
        QTest::newRow("I0 unreadable") << QString() << QStringList{"--i0-pattern", "*.txt"} << QString() << "Data set 7100eV: its I0 image cannot be read: ";
        QTest::newRow("BG unreadable") << QString() << QStringList{"--bg", "missing.img"} << QString() << "The BG image cannot be read: ";
        QTest::newRow("run in settings") << QString() << QStringList() << "calc_exec\n" << "holds \"calc_exec\"";
        QTest::newRow("too many cpus") << QString() << QStringList{"--cpus", "33"} << QString() << "--cpus takes 1 to 32, not 33";
        QTest::newRow("job folder unwritable") << QString() << QStringList{"--jobs", "xafs/bg.img/jobs"} << QString() << "Cannot write the job folder ";
        QTest::newRow("two-word limit") << QString() << QStringList{"--time", "1 day"} << QString() << "--time takes one word";
    }
    void refusedInputs()
    {
        QFETCH(QString, dropped);
        QFETCH(QStringList, added);
        QFETCH(QString, extra);
        QFETCH(QString, line);
        QVERIFY(writeText(path("xafs/i0-7100eV-notes.txt"), "not an image\n"));
        QStringList arguments = QStringList{"--dry-run"} + night(path("jobs-refused"), path("out-refused"), extra);
        arguments.removeAll(dropped);
        for (const QString &option : added)
            arguments.insert(arguments.size() - 2, option);
        const Run submit = run(ZORVEL_SUBMIT, arguments, root.path());
        QFile::remove(path("xafs/i0-7100eV-notes.txt"));
        QCOMPARE(submit.status, 1);
        QVERIFY2(submit.err.trimmed().section('\n', -1).contains(line), qPrintable(submit.err));
        QVERIFY(!QFile::exists(path("jobs-refused")));
    }

    // Submission: sbatch missing, the array refused, the final step refused (the array
    // it depends on cancelled), and a night accepted whole.
    void submission_data()
    {
        QTest::addColumn<int>("refuseAt"); // the submission refused first; 0: no sbatch
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("calls"); // what sbatch and scancel were asked
        QTest::newRow("no sbatch") << 0 << 1 << "sbatch not found" << QString();
        QTest::newRow("array refused") << 1 << 1 << "sbatch refused the job (exit status 1): sbatch: error: Batch job submission failed: Invalid partition"
                                       << "sbatch --parsable --chdir=R --output=J/logs/set-%a.log J/array.sh\n";
        QTest::newRow("summary refused") << 2 << 1 << "the array job 4001 was cancelled"
                                         << "sbatch --parsable --chdir=R --output=J/logs/set-%a.log J/array.sh\n"
                                            "sbatch --parsable --dependency=afterany:4001 --chdir=R --output=J/logs/summary.log J/summary.sh\nscancel 4001\n";
        QTest::newRow("submitted") << 3 << 0 << QString()
                                   << "sbatch --parsable --chdir=R --output=J/logs/set-%a.log J/array.sh\n"
                                      "sbatch --parsable --dependency=afterany:4001 --chdir=R --output=J/logs/summary.log J/summary.sh\n";
    }
    void submission()
    {
        QFETCH(int, refuseAt);
        QFETCH(int, status);
        QFETCH(QString, said);
        QFETCH(QString, calls);
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        if (refuseAt > 0)
            writeFakeSlurm(bin.path(), refuseAt);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", bin.path());
        environment.insert("FAKE_LOG", bin.filePath("calls"));
        const QString jobs = bin.filePath("jobs");
        const Run submit = run(ZORVEL_SUBMIT, night(jobs, path("out-submit")), root.path(), environment);
        QCOMPARE(submit.status, status);
        if (status == 0)
            QVERIFY2(submit.out.startsWith("Submitted array job 4001 (3 data sets) and its summary job 4002"), qPrintable(submit.out));
        else
            QVERIFY2(submit.err.trimmed().section('\n', -1).contains(said), qPrintable(submit.err));
        QCOMPARE(readText(bin.filePath("calls")), QString(calls).replace("=R ", "=" + QDir(root.path()).canonicalPath() + " ").replace("J/", jobs + "/"));
    }
};

QTEST_GUILESS_MAIN(TstSubmit)
#include "tst_submit.moc"
