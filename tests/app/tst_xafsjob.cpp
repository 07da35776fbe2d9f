// Unattended CT-XAFS jobs from the outside: zorvel -nw -q on an off-centre series of two
// samples at three energies, every data file against a reconstruction at the centre the
// script set, the failed sets named, the record beside the results, the exit status.
#include "BpCore.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "Phantom.h"
#include "ResultFiles.h"
#include "SinogramGenerator.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int width = 97, rows = 4, projections = 60;
constexpr double axis = 44.3; // off the detector centre 48
const QStringList energies{"7100eV", "7112_5eV", "7150eV"};

// The run of zorvel -nw -q on a script in dir: exit code (-1 when it did not end) and log.
int runJob(const QString &dir, const QString &script, QByteArray &log)
{
    QFile file(QDir(dir).filePath("job.zsc"));
    if (!file.open(QIODevice::WriteOnly) || file.write(script.toUtf8()) < 0)
        return -2;
    file.close();
    QProcess zorvel;
    zorvel.setWorkingDirectory(dir);
    zorvel.setProcessChannelMode(QProcess::MergedChannels);
    zorvel.start(ZORVEL_PROGRAM, {"-nw", "-e", "-q", "-b", "job.zsc", "-x"});
    if (!zorvel.waitForFinished(120000))
        zorvel.kill();
    zorvel.waitForFinished();
    log = zorvel.readAll();
    return zorvel.exitStatus() == QProcess::NormalExit ? zorvel.exitCode() : -1;
}

// The oracle: slice `slice` of a set's files at the axis, with its I0 and the BG, as the
// data file holds it (whole slice).
QByteArray referenceData(const QString &folder, const QString &sample, const QString &energy, int slice)
{
    ImgDatas imgs;
    for (int j = 0; j < projections; ++j)
        imgs.add(QDir(folder).filePath(QString("%1-%2-%3.img").arg(sample, energy).arg(j, 5, 10, QChar('0'))));
    const ImgDatas::Reader i0 = openImgData(QDir(folder).filePath(QString("i0-%1-00000.img").arg(energy)));
    const ImgDatas::Reader bg = openImgData(QDir(folder).filePath("bg.img"));
    imgs.setI0Link(&i0);
    imgs.setBgLink(&bg);
    HSgm sinogram;
    if (imgs.count() != projections || !i0 || !SinogramGenerator::genSinogram0(*imgs.snapshot(), &sinogram, true, axis, slice))
        return {};
    const int n = (sinogram.w / 2) * 2;
    BpCore core;
    core.setupCore(n, sinogram.h);
    core.reconstructSlice(sinogram.sgm, sinogram.w, n, 0, n, 0, n);
    return ResultFiles::dataText(core.image(), n, {0, 0, double(n), double(n)});
}

QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TstXafsJob : public QObject
{
    Q_OBJECT
    QTemporaryDir root;
    QString series;

    // Settings before the sequence, as the documented loop has them; `run` is the rest.
    QString script(const QString &out, const QString &run) const
    {
        return QString("ct_rot_ax_is_v 1\nct_cor %1\ncalc_ct2 1\nct_threads 2\nct_slice_from 1\nct_slice_to 2\nct_slice_step 1\n"
                       "ct_auto_exec 1\nauto_save_image_path %2\nauto_save_image_name ct\nauto_save_image 1\n"
                       "auto_save_data_path %2\nauto_save_data_name ct\nauto_save_data 1\nimages_new_on_load 1\n"
                       "bg_load \"%3/bg.img\"\nseq_exec_select_i0 \"%3\" \"i0-*.img\"\nseq_exec_kst_std 1\n"
                       "seq_exec_file_pattern \"*.img\"\nseq_exec_dir \"%3\"\n")
                   .arg(axis)
                   .arg(out, series)
            + run;
    }

private slots:
    void initTestCase()
    {
        series = root.filePath("xafs");
        for (const QString &sample : {"aaa", "disc"}) {
            Phantom::Series settings;
            std::tie(settings.width, settings.height, settings.projections) = std::make_tuple(width, rows, projections);
            settings.corOffset = axis - (width - 1) / 2.0;
            settings.sample = sample;
            settings.folder = series;
            settings.energies = {7100, 7112.5, 7150};
            QVERIFY(Phantom::writeSeries(settings));
        }
    }

    void sequence_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<bool>("corruptI0");
        const QString loop = "loop\nseq_exec_set\ncalc_exec\nseq_exec_next\n:ifok :goto loop\n:echo all energies done\n";
        QTest::newRow("documented loop") << loop << false;
        QTest::newRow("documented loop, a corrupt I0") << loop << true;
        QTest::newRow("seq_exec_calc") << "seq_exec_calc\n" << false;
        QTest::newRow("seq_exec_calc, a corrupt I0") << "seq_exec_calc\n" << true;
    }
    // Every set at the script's centre and slices, under sample-energy names; a set whose
    // I0 cannot be read fails (named) and the job says so in its status.
    void sequence()
    {
        QFETCH(QString, run);
        QFETCH(bool, corruptI0);
        const QString corrupt = QDir(series).filePath("i0-7112_5eV-00000.img");
        const QByteArray intact = contents(corrupt);
        if (corruptI0) {
            QFile file(corrupt);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not an image") > 0);
        }
        QTemporaryDir job;
        const QString out = QDir(job.path()).filePath("out");
        QVERIFY(QDir().mkpath(out));
        QByteArray log;
        const int status = runJob(job.path(), script(out, run), log);
        const QByteArray tail = log.right(3000);
        if (corruptI0) {
            QFile file(corrupt);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(intact) == intact.size());
        }
        QVERIFY2(status == (corruptI0 ? 2 : 0), tail.constData());
        const QByteArray summary = log.trimmed().split('\n').last();
        QCOMPARE(summary, QByteArray(corruptI0 ? "Job incomplete: 8 slices written, 0 slices failed, 4 data sets done, 2 data sets failed, 0 loads failed, 0 files not saved"
                                               : "Job done: 12 slices written, 0 slices failed, 6 data sets done, 0 data sets failed, 0 loads failed, 0 files not saved"));
        for (const QString &sample : {"aaa", "disc"}) {
            for (const QString &energy : energies) {
                const bool failed = corruptI0 && energy == "7112_5eV";
                QCOMPARE(log.contains(qPrintable(QString("Data set %1-%2 failed: its I0 image cannot be read").arg(sample, energy))), failed);
                for (int slice : {1, 2}) {
                    const QString name = QDir(out).filePath(QString("ct-%1-%2-%3.dat").arg(sample, energy).arg(slice, 5, 10, QChar('0')));
                    QVERIFY2(failed ? !QFile::exists(name) : contents(name) == referenceData(series, sample, energy, slice), qPrintable(name));
                }
            }
        }
        // The record of one set, read back.
        const QJsonObject record = QJsonDocument::fromJson(contents(QDir(out).filePath("ct-disc-7150eV-record.json"))).object();
        QCOMPARE(record["geometry"]["centre"].toDouble(), axis);
        QCOMPARE(record["inputs"]["i0"].toString(), QDir(series).filePath("i0-7150eV-00000.img"));
        QCOMPARE(record["inputs"]["count"].toInt(), projections);
        QCOMPARE(record["inputs"]["first"].toString(), QString("disc-7150eV-00000.img"));
        QCOMPARE(record["inputs"]["data_set_energy_ev"].toDouble(), 7150.0);
        QCOMPARE(record["slices"].toArray().size(), 2);
        QCOMPARE(record["slices"][1]["outcome"].toString(), QString("reconstructed"));
    }

    // The CT-XAFS example of the batch-command documentation, run as written on a phantom
    // series in place of /data/xafs.
    void documentedExampleRuns()
    {
        QFile docs(ZORVEL_DOCS);
        QVERIFY(docs.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(docs.readAll());
        const qsizetype heading = text.indexOf("## Example: a CT-XAFS loop over data sets");
        const qsizetype begin = text.indexOf("```\n", heading) + 4, end = text.indexOf("```", begin);
        QVERIFY(heading > 0 && begin > heading && end > begin);
        QTemporaryDir job;
        Phantom::Series settings; // 256 x 8 pixels, the axis at 127.5
        settings.folder = job.filePath("xafs");
        settings.energies = {7100, 7112.5, 7150};
        QVERIFY(Phantom::writeSeries(settings));
        QByteArray log;
        QCOMPARE(runJob(job.path(), text.mid(begin, end - begin).replace("/data/xafs", settings.folder), log), 0);
        QVERIFY(log.contains("all energies done") && log.contains("Job done: 12 slices written"));
        const QDir out(settings.folder + "/out");
        QCOMPARE(out.entryList({"ct-*.dat"}, QDir::Files).size(), 3 * 4);
        QCOMPARE(out.entryList({"ct-7112_5eV-0000[2345].png"}, QDir::Files).size(), 4);
    }

    // The exit status of a job: 0 only when everything asked for was written.
    void exitStatus_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line"); // a log line that must come
        const QString load = QString("ct_rot_ax_is_v 1\nimages_new_on_load 1\nimages_load \"%1\" \"aaa-7100eV-*.img\"\n"
                                     "i0_load \"%1/i0-7100eV-00000.img\"\nbg_load \"%1/bg.img\"\nct_cor %2\ncalc_ct2 1\n")
                                 .arg(series)
                                 .arg(axis);
        QTest::newRow("all written") << load + "auto_save_data_path out\nauto_save_data 1\ncalc_exec\n" << 0 << "Job done: 1 slices written";
        QTest::newRow("a run refused after one done") << load + "calc_exec\nct_auto_exec 1\ncalc_ct1 1\ncalc_exec\n" << 0
                                                       << "Job done: 1 slices written";
        QTest::newRow("an unreadable I0") << load + "i0_load /no/such/i0.img\n:ifng :echo no I0\ncalc_exec\n" << 2 << "no I0";
        QTest::newRow("a mistyped folder") << "images_load /no/such/folder \"*.img\"\ncalc_ct2 1\ncalc_exec\n" << 2 << "No data files matching";
        QTest::newRow("files that cannot be saved") << load + "auto_save_data_path /proc/no-folder\nauto_save_data 1\ncalc_exec\n" << 2
                                                    << "Failed to write the data file";
        QTest::newRow("Step 0 in a job") << load + "ct_auto_exec 1\nct_slice_step l\ncalc_exec\n" << 2 << "Step 0 repeats one slice";
        QTest::newRow("a range past the series") << load + "ct_auto_exec 1\nct_slice_from 1\nct_slice_to 2147483647\ncalc_exec\n" << 0
                                                 << "Slices 1..2147483647 clamped to 1..3";
        const QString sets = QString("ct_rot_ax_is_v 1\nct_cor %1\ncalc_ct2 1\nauto_save_data_path out\nauto_save_data_name ct\nauto_save_data 1\n"
                                     "images_new_on_load 1\nbg_load \"%2/bg.img\"\nseq_exec_select_i0 \"%2\" \"i0-*.img\"\n"
                                     "seq_exec_kst_std 1\nseq_exec_file_pattern \"aaa-*.img\"\nseq_exec_dir \"%2\"\n")
                                 .arg(axis)
                                 .arg(series);
        const QString sameTag = "seq_exec_set\nauto_save_data_tag same\ncalc_exec\n";
        QTest::newRow("two sets under one name") << sets + sameTag + "seq_exec_next\n" + sameTag + ":ifng :echo refused\n" << 2
                                                 << "Data set 7112_5eV failed: its results would overwrite those of data set 7100eV";
        QTest::newRow("a line too long") << "calc_exec " + QString(9000, 'x') + "\n" << 1 << "";
    }
    void exitStatus()
    {
        QFETCH(QString, run);
        QFETCH(int, status);
        QFETCH(QString, line);
        QTemporaryDir job;
        QVERIFY(QDir(job.path()).mkpath("out"));
        QByteArray log;
        QCOMPARE(runJob(job.path(), run, log), status);
        QVERIFY2(log.contains(line.toUtf8()), log.right(2000).constData());
    }
};

QTEST_GUILESS_MAIN(TstXafsJob)
#include "tst_xafsjob.moc"
