#include "Phantom.h"

#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <tiffio.h>

#include <memory>

#include <csignal>

#include <sys/resource.h>

// The program as a batch job: zorvel -nw -q -b SCRIPT -x, from the outside.
class TstBatchJob : public QObject
{
    Q_OBJECT
private slots:
    void rangeJobSavesAndLogs();
    void unreadableScriptFails();
    void windowlessFromConfigurationNeedsNoDisplay();
    void centreSearchOutsideTheCentralHalf();
    void terminatedJobKeepsWhatItWrote();
    void fullDiskLeavesNoPartialFile();

private:
    // Writes the script and runs the program in dir on it, with these options before the batch
    // job's own; its exit code (-1 when it did not end).
    static bool tiffMatchesData(const QString &tiffName, const QString &dataName);
    int runZorvel(const QTemporaryDir &dir, const QString &script, QByteArray *log = nullptr, const QStringList &options = {"-nw", "-e"},
                  const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
};

int TstBatchJob::runZorvel(const QTemporaryDir &dir, const QString &script, QByteArray *log, const QStringList &options,
                           const QProcessEnvironment &environment)
{
    QFile file(dir.filePath("job.zsc"));
    if (!script.isNull() && (!file.open(QIODevice::WriteOnly) || file.write(script.toUtf8()) < 0))
        return -2;
    file.close();
    QProcess zorvel;
    zorvel.setWorkingDirectory(dir.path());
    zorvel.setProcessChannelMode(QProcess::MergedChannels);
    zorvel.setProcessEnvironment(environment);
    zorvel.start(ZORVEL_PROGRAM, options + QStringList{"-q", "-b", "job.zsc", "-x"});
    if (!zorvel.waitForFinished(120000))
        zorvel.kill();
    zorvel.waitForFinished();
    if (log)
        *log = zorvel.readAll();
    return zorvel.exitStatus() == QProcess::NormalExit ? zorvel.exitCode() : -1;
}

// Slices 1..4 of a phantom series on two workers, saved as pictures and data files; a
// range run logs one line per finished slice, and nothing runs after ":end".
void TstBatchJob::rangeJobSavesAndLogs()
{
    QTemporaryDir dir;
    Phantom::Series series;
    series.width = 70;
    series.height = 6;
    series.projections = 60;
    series.folder = dir.filePath("series");
    QVERIFY(Phantom::writeSeries(series));
    const double cor = 34.5;
    QByteArray log;
    QCOMPARE(runZorvel(dir, QString("images_new_on_load 1\nimages_load %1 \"phantom_*.img\"\ni0_load %1/i0.img\nbg_load %1/bg.img\n"
                                    "ct_rot_ax_is_v 1\nct_cor %2\ncalc_ct2 1\nct_threads 2\nct_slice_from 1\nct_slice_to 4\nct_slice_step 1\n"
                                    "ct_auto_exec 1\nauto_save_image_path out\nauto_save_image_name ct\nauto_save_image_tag E1\nauto_save_image 1\n"
                                    "auto_save_data_path out\nauto_save_data_name ct\nauto_save_data 1\n"
                                    "auto_save_tiff_path out\nauto_save_tiff_name ct\nauto_save_tiff_tag F\nauto_save_tiff 1\ncalc_exec\n:end\nshow_ct1\n")
                                .arg(series.folder)
                                .arg(cor),
                       &log),
             0);
    QCOMPARE(log.count(" of 4\n"), 4);
    QVERIFY(log.contains("finished: 4 of 4"));
    QVERIFY(!log.contains("show_ct1")); // nothing runs after ":end"

    // Their contents against a reconstruction of their own: app_tst_xafsjob.
    for (int slice = 1; slice <= 4; ++slice)
        QCOMPARE(QImage(dir.filePath(QString::asprintf("out/ct-E1-%05d.png", slice))).size(), QSize(66, 66));
    QCOMPARE(QDir(dir.filePath("out")).entryList({"ct-*"}, QDir::Files).size(), 13); // and the run's record
    for (int slice = 1; slice <= 4; ++slice)
        QVERIFY(tiffMatchesData(dir.filePath(QString::asprintf("out/ct-F-%05d.tif", slice)),
                                dir.filePath(QString::asprintf("out/ct-%05d.dat", slice))));
}

// Every pixel of the float TIFF slice equal to the data file's value at its 6 digits.
bool TstBatchJob::tiffMatchesData(const QString &tiffName, const QString &dataName)
{
    TIFF *tiff = TIFFOpen(QFile::encodeName(tiffName).constData(), "r");
    uint32_t width = 0, height = 0;
    if (!tiff || !TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height)) {
        if (tiff)
            TIFFClose(tiff);
        return false;
    }
    std::vector<float> samples(size_t(width) * height);
    for (uint32_t z = 0; z < height; ++z)
        TIFFReadScanline(tiff, samples.data() + size_t(z) * width, z, 0);
    TIFFClose(tiff);
    QFile data(dataName);
    if (!data.open(QIODevice::ReadOnly))
        return false;
    qint64 pixels = 0;
    for (const QByteArray &line : data.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (line.startsWith('#') || fields.size() != 3)
            continue;
        const uint32_t x = fields[0].toUInt(), z = fields[1].toUInt();
        const double expected = fields[2].toDouble();
        if (x >= width || z >= height || !(qAbs(samples[size_t(z) * width + x] - expected) <= 5e-6 * qAbs(expected) + 1e-30))
            return false;
        ++pixels;
    }
    return pixels == qint64(width) * height && pixels > 0;
}

// A missing script fails the job; an empty one is a job that ends at once, successfully.
void TstBatchJob::unreadableScriptFails()
{
    QTemporaryDir dir;
    QByteArray log;
    QCOMPARE(runZorvel(dir, QString(), &log), 1);
    QVERIFY(log.contains("Can't open batch file"));
    QCOMPARE(runZorvel(dir, ""), 0);
}

// "-nw" written in the configuration file, as on the command line: no display is needed.
void TstBatchJob::windowlessFromConfigurationNeedsNoDisplay()
{
    QTemporaryDir dir;
    QFile config(dir.filePath("job.cfg"));
    QVERIFY(config.open(QIODevice::WriteOnly) && config.write("-nw\n") > 0);
    config.close();
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "QT_QPA_PLATFORM"})
        noDisplay.remove(name);
    QByteArray log;
    const int status = runZorvel(dir, "", &log, {"-c", "job.cfg", "-e"}, noDisplay);
    QVERIFY2(status == 0, log.constData());
}

// With the axis outside the central half the search finds no centre, and ":ifng" runs.
void TstBatchJob::centreSearchOutsideTheCentralHalf()
{
    QTemporaryDir dir;
    Phantom::Series series;
    series.width = 256;
    series.height = 2;
    series.corOffset = 40.3 - 127.5;
    series.folder = dir.filePath("series");
    QVERIFY(Phantom::writeSeries(series));
    QByteArray log;
    QCOMPARE(runZorvel(dir, QString("ct_rot_ax_is_v 1\nimages_load %1 \"phantom_*.img\"\ni0_load %1/i0.img\nbg_load %1/bg.img\n"
                                    "ct_find_cor\n:ifng :echo \"none found\"\n")
                           .arg(series.folder),
                       &log),
             0);
    QVERIFY2(log.contains("Centre of rotation not found: ") && log.contains(":echo \"none found\""), log.constData());
}

namespace {

// A saving range run of `slices` slices over a phantom series of w x w pixels in dir.
QString savingRun(const QTemporaryDir &dir, int w, int slices, int threads)
{
    Phantom::Series series;
    series.width = w;
    series.height = slices;
    series.projections = 90;
    series.folder = dir.filePath("series");
    if (!Phantom::writeSeries(series))
        return {};
    return QString("ct_rot_ax_is_v 1\nimages_new_on_load 1\nimages_load %1 \"phantom_*.img\"\ni0_load %1/i0.img\n"
                   "bg_load %1/bg.img\nct_cor %4\ncalc_ct2 1\nct_threads %2\nct_slice_from 0\nct_slice_to %3\nct_auto_exec 1\n"
                   "auto_save_image_path out\nauto_save_image_name s\nauto_save_image 1\n"
                   "auto_save_data_path out\nauto_save_data_name s\nauto_save_data 1\ncalc_exec\n")
        .arg(series.folder)
        .arg(threads)
        .arg(slices - 1)
        .arg((w - 1) / 2.0);
}

// Writes the series and the script of savingRun (2 workers) into dir and starts the job.
bool startSavingRun(const QTemporaryDir &dir, int w, int slices, QProcess &zorvel)
{
    const QString script = savingRun(dir, w, slices, 2);
    QFile file(dir.filePath("job.zsc"));
    if (script.isEmpty() || !QDir(dir.path()).mkpath("out") || !file.open(QIODevice::WriteOnly) || file.write(script.toUtf8()) <= 0)
        return false;
    file.close();
    zorvel.setWorkingDirectory(dir.path());
    zorvel.setProcessChannelMode(QProcess::MergedChannels);
    zorvel.start(ZORVEL_PROGRAM, {"-nw", "-e", "-q", "-b", "job.zsc", "-x"});
    return zorvel.waitForStarted(30000);
}

// Every file in out is whole: data files with one line per pixel of an n x n slice,
// pictures that decode; nothing else (no temporary file) is left there.
QString incompleteFile(const QDir &out, int n)
{
    for (const QString &name : out.entryList(QDir::Files | QDir::Hidden)) {
        QFile file(out.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return name;
        const QByteArray bytes = file.readAll();
        const bool whole = name.endsWith(".dat")    ? bytes.count('\n') == 6 + n * n
                           : name.endsWith(".png")  ? QImage(out.filePath(name)).size() == QSize(n, n)
                           : name.endsWith(".json") ? QJsonDocument::fromJson(bytes).isObject()
                                                    : false;
        if (!whole)
            return name;
    }
    return {};
}

} // namespace

// SIGTERM in the middle of a saving run: the slices under way end, what they made is
// written whole, the program ends with the signal's status and says so.
void TstBatchJob::terminatedJobKeepsWhatItWrote()
{
    QTemporaryDir dir;
    QProcess zorvel;
    QVERIFY(startSavingRun(dir, 256, 48, zorvel));
    QByteArray log;
    while (!log.contains(" of 48\n") && zorvel.waitForReadyRead(60000))
        log += zorvel.readAll();
    QVERIFY2(log.contains(" of 48\n"), log.constData());
    zorvel.terminate();
    QVERIFY(zorvel.waitForFinished(60000));
    log += zorvel.readAll();
    QCOMPARE(zorvel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(zorvel.exitCode(), 128 + 15);
    QVERIFY2(log.contains("Signal 15 received") && log.contains("slices were done"), log.constData());
    const QDir out(dir.filePath("out"));
    const int written = int(out.entryList({"*.dat"}, QDir::Files).size());
    QVERIFY2(written >= log.count(" of 48\n") && written < 48, qPrintable(QString::number(written)));
    QCOMPARE(incompleteFile(out, 252), QString());
}

// A disk with room for the pictures only (a file size limit): each data file that could
// not be written is named, none is left short, the pictures are all there.
void TstBatchJob::fullDiskLeavesNoPartialFile()
{
    QTemporaryDir dir;
    QProcess zorvel;
    zorvel.setChildProcessModifier([] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{32768, 32768};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    QVERIFY(startSavingRun(dir, 96, 6, zorvel));
    QVERIFY(zorvel.waitForFinished(120000));
    const QByteArray log = zorvel.readAll();
    QCOMPARE(zorvel.exitCode(), 2);
    const QDir out(dir.filePath("out"));
    QCOMPARE(out.entryList({"*.png"}, QDir::Files).size(), 6);
    QCOMPARE(out.entryList({"*.dat*"}, QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(log.count("Failed to write the data file"), 6);
    QCOMPARE(incompleteFile(out, 92), QString());
}

QTEST_GUILESS_MAIN(TstBatchJob)
#include "tst_batchjob.moc"
