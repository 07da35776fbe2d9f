// Chemical-state maps end to end: the documented example (a two-phase phantom series
// reconstructed in the quantitative mode by a sequence, then mapped) against the analytic
// model, and zorvel-xanes on damaged results, which must refuse with a line, not map.

#include "ImgData.h"
#include "Phantom.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

constexpr int kWidth = 64;

int runProgram(const QString &program, const QStringList &arguments, const QString &dir, QByteArray &log)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(300000))
        process.kill();
    process.waitForFinished();
    log = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

std::vector<double> readMap(const QString &fileName, int &side)
{
    const std::unique_ptr<ImgData> image = openImgData(fileName);
    if (!image)
        return {};
    side = image->imageWidth();
    std::vector<double> values(size_t(side) * size_t(image->imageHeight()));
    for (int z = 0; z < image->imageHeight(); ++z)
        image->line(z, values.data() + size_t(z) * size_t(side));
    return values;
}

// E0 of the model where its derivative is largest, on a 0.001 eV grid.
double modelE0(int phase)
{
    double best = 0.0, bestSlope = -1.0;
    for (double e = Phantom::phaseEdges[phase] - 5.0; e < Phantom::phaseEdges[phase] + 5.0; e += 0.001) {
        const double slope = Phantom::phaseAbsorption(phase, e + 0.0005) - Phantom::phaseAbsorption(phase, e - 0.0005);
        if (slope > bestSlope)
            bestSlope = slope, best = e;
    }
    return best;
}

// Means of a map over the inner part of each disc (phase 0, phase 1, mixture). The axis is
// found as the centroid of the sample's edge step, which the three discs place on it.
struct DiscMeans
{
    double values[3] = {0.0, 0.0, 0.0};
};

class Discs
{
public:
    explicit Discs(const std::vector<double> &edgeStep, int side) : n(side)
    {
        double sx = 0.0, sz = 0.0;
        int count = 0;
        for (int z = 0; z < n; ++z)
            for (int x = 0; x < n; ++x)
                if (edgeStep[size_t(z * n + x)] > 0.5 * Phantom::phaseStep)
                    sx += x, sz += z, ++count;
        axisX = sx / std::max(count, 1);
        axisZ = sz / std::max(count, 1);
    }
    DiscMeans means(const std::vector<double> &map) const
    {
        DiscMeans m;
        const auto centres = Phantom::twoPhaseCentres(kWidth);
        const double inner = Phantom::twoPhaseRadius(kWidth) - 2.0;
        for (int d = 0; d < 3; ++d) {
            int count = 0;
            for (int z = 0; z < n; ++z)
                for (int x = 0; x < n; ++x)
                    if (std::hypot(x - axisX - centres[size_t(d)].first, z - axisZ - centres[size_t(d)].second) < inner)
                        m.values[d] += map[size_t(z * n + x)], ++count;
            m.values[d] = count > 10 ? m.values[d] / count : std::nan("");
        }
        return m;
    }

private:
    int n;
    double axisX = 0.0, axisZ = 0.0;
};

} // namespace

class TstXanesJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void documentedExampleMapsTheModel();
    void mapsFromTheRunningSequence();
    void commandsAndToolAgree();
    void damagedResultsAreRefused_data();
    void damagedResultsAreRefused();

private:
    QTemporaryDir dir;
    QString series;
};

void TstXanesJob::initTestCase()
{
    QVERIFY(dir.isValid());
    series = dir.filePath("xanes");
    Phantom::Series settings;
    settings.width = kWidth;
    settings.height = 2;
    settings.projections = 96;
    settings.noisePhotons = 1e6;
    settings.twoPhase = true;
    settings.energies = Phantom::xanesEnergies();
    settings.folder = series;
    QVERIFY(Phantom::writeSeries(settings)); // with phase1.txt and phase2.txt, the fit's references
}

// The example of the batch-command documentation, run as written on the phantom series in
// place of /data/xanes.
void TstXanesJob::documentedExampleMapsTheModel()
{
    QFile docs(ZORVEL_DOCS);
    QVERIFY(docs.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(docs.readAll());
    const qsizetype heading = text.indexOf("## Example: a CT-XAFS sequence and its chemical-state maps");
    const qsizetype begin = text.indexOf("```\n", heading) + 4, end = text.indexOf("```", begin);
    QVERIFY(heading > 0 && begin > heading && end > begin);
    QFile script(dir.filePath("job.zsc"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(text.mid(begin, end - begin).replace("/data/xanes", series).toUtf8());
    script.close();
    QByteArray log;
    QCOMPARE(runProgram(ZORVEL_PROGRAM, {"-nw", "-e", "-q", "-b", "job.zsc", "-x"}, dir.path(), log), 0);
    QVERIFY2(log.contains("maps written") && log.contains("0 of 1 map jobs incomplete"), log.right(1500).constData());

    for (int slice = 0; slice < 2; ++slice) {
        const auto map = [&](const char *name, int &side) {
            return readMap(QStringLiteral("%1/maps/ct-xanes-%2-%3.tif").arg(series).arg(slice, 5, 10, QLatin1Char('0')).arg(name), side);
        };
        int side = 0;
        const std::vector<double> step = map("edge_step", side);
        QVERIFY(side > 40 && step.size() == size_t(side) * size_t(side));
        const Discs discs(step, side);
        const DiscMeans e0 = discs.means(map("e0", side)), steps = discs.means(step);
        const DiscMeans first = discs.means(map("fraction_1", side)), second = discs.means(map("fraction_2", side));
        for (int phase = 0; phase < 2; ++phase)
            QVERIFY2(std::abs(e0.values[phase] - modelE0(phase)) <= 0.3,
                     qPrintable(QStringLiteral("E0 %1, model %2").arg(e0.values[phase]).arg(modelE0(phase))));
        const double expected[3][2] = {{1.0, 0.0}, {0.0, 1.0}, {Phantom::mixedShare, 1.0 - Phantom::mixedShare}};
        for (int d = 0; d < 3; ++d) {
            QVERIFY2(std::abs(steps.values[d] - Phantom::phaseStep) <= 0.02 * Phantom::phaseStep,
                     qPrintable(QStringLiteral("disc %1: step %2").arg(d).arg(steps.values[d])));
            QVERIFY2(std::abs(first.values[d] - expected[d][0]) <= 0.03 && std::abs(second.values[d] - expected[d][1]) <= 0.03,
                     qPrintable(QStringLiteral("disc %1: %2 %3").arg(d).arg(first.values[d]).arg(second.values[d])));
        }
    }
    QFile csv(series + "/maps/ct-xanes-00001-spectra.csv");
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count('\n'), 1 + int(Phantom::xanesEnergies().size()));
}

// The planes a sequence hands back are the values its float TIFF slices hold: the maps made
// from them equal those made from the saved slices, value for value. Both fit references
// picked as regions of the pure discs, which must give the mixture's shares of the model.
void TstXanesJob::mapsFromTheRunningSequence()
{
    const double axis = 0.5 * (kWidth - 1);
    const auto centres = Phantom::twoPhaseCentres(kWidth);
    QString regions;
    for (int phase = 0; phase < 2; ++phase) {
        const int x = int(std::lround(axis + centres[size_t(phase)].first)), z = int(std::lround(axis + centres[size_t(phase)].second));
        regions += QStringLiteral("xanes_reference_region %1 %2 %3 %4\n").arg(x - 1).arg(z - 1).arg(x + 2).arg(z + 2);
    }
    const QString script = QStringLiteral(
        "ct_rot_ax_is_v 1\nct_cor 31.5\nct_quantitative 1\ncalc_ct2 1\nct_threads 2\nct_slice_from 0\nct_slice_to 1\n"
        "ct_slice_step 1\nct_auto_exec 1\nauto_save_tiff_path S/tif\nauto_save_tiff_name ct\nauto_save_tiff 1\n"
        "images_new_on_load 1\nbg_load S/bg.img\nseq_exec_select_i0 S \"i0-*.img\"\nseq_exec_kst_std 1\n"
        "seq_exec_file_pattern \"phantom-*.img\"\nxanes_from_sequence 1\nxanes_slices 1\nseq_exec_dir S\nseq_exec_calc\n"
        "xanes_out S/live\n%1xanes_exec\n:ifng :echo live maps failed\n"
        "xanes_from_sequence 0\nxanes_results S/tif ct\nxanes_out S/saved\nxanes_exec\n:ifng :echo saved maps failed\n:end\n")
        .arg(regions).replace(QStringLiteral("S/"), series + '/').replace(QStringLiteral(" S "), ' ' + series + ' ').replace(QStringLiteral("dir S\n"), "dir " + series + '\n');
    QFile file(dir.filePath("live.zsc"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(script.toUtf8());
    file.close();
    QByteArray log;
    QCOMPARE(runProgram(ZORVEL_PROGRAM, {"-nw", "-e", "-q", "-b", "live.zsc", "-x"}, dir.path(), log), 0);
    QVERIFY2(log.contains("0 of 2 map jobs incomplete") && !log.contains("maps failed"), log.right(1500).constData());

    int side = 0;
    const auto map = [&](const char *folder, const char *name, const char *kind) {
        return readMap(QStringLiteral("%1/%2/%3-xanes-00001-%4.tif").arg(series, folder, name, kind), side);
    };
    for (const char *kind : {"edge_step", "e0", "white_line_energy", "white_line_height", "fraction_1", "fraction_2", "r_factor", "residual"}) {
        const std::vector<double> live = map("live", "maps", kind), saved = map("saved", "ct", kind);
        QVERIFY2(!live.empty() && live.size() == saved.size(), kind);
        for (size_t p = 0; p < live.size(); ++p)
            QVERIFY2(live[p] == saved[p] || (std::isnan(live[p]) && std::isnan(saved[p])), qPrintable(QStringLiteral("%1 pixel %2: %3 and %4").arg(kind).arg(p).arg(live[p]).arg(saved[p])));
    }
    const Discs discs(map("live", "maps", "edge_step"), side);
    const DiscMeans first = discs.means(map("live", "maps", "fraction_1")), second = discs.means(map("live", "maps", "fraction_2"));
    QVERIFY2(std::abs(first.values[2] - Phantom::mixedShare) <= 0.03 && std::abs(second.values[2] - (1.0 - Phantom::mixedShare)) <= 0.03,
             qPrintable(QStringLiteral("mixture: %1 %2").arg(first.values[2]).arg(second.values[2])));
}

// Every setting given once as batch commands and once as options of zorvel-xanes, two
// parsers written apart: the same maps, byte for byte, and the same settings on record.
void TstXanesJob::commandsAndToolAgree()
{
    const QString results = series + "/out";
    if (!QDir(results).exists())
        QSKIP("The documented example did not leave its results");
    const QString refs = QStringLiteral("xanes_reference %1/phase1.txt\nxanes_reference %1/phase2.txt\n").arg(series);
    QFile script(dir.filePath("settings.zsc"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("xanes_results %1 ct\nxanes_slices 1\nxanes_out %2\nxanes_pre_edge -140 -40\n"
                                "xanes_post_edge 60 160\nxanes_degree 2\nxanes_threshold 0.004\n%3"
                                "xanes_reference_region 18 24 21 27\nxanes_fit_window 7100 7190\nxanes_sum_to_one 1\n"
                                "xanes_align 1 7250\nxanes_spectrum 30 40 33 44\nxanes_spectrum 31 41\nxanes_threads 1\nxanes_exec\n:end\n")
                     .arg(results, dir.filePath("by-commands"), refs).toUtf8());
    script.close();
    QByteArray log;
    QCOMPARE(runProgram(ZORVEL_PROGRAM, {"-nw", "-e", "-q", "-b", "settings.zsc", "-x"}, dir.path(), log), 0);
    QCOMPARE(runProgram(ZORVEL_XANES, {"--results", results, "--name", "ct", "--slices", "1", "--out", dir.filePath("by-tool"),
                                       "--pre1", "-140", "--pre2", "-40", "--norm1", "60", "--norm2", "160", "--degree", "2",
                                       "--threshold", "0.004", "--reference", series + "/phase1.txt", "--reference",
                                       series + "/phase2.txt", "--reference-region", "18,24,21,27", "--fit-min", "7100",
                                       "--fit-max", "7190", "--sum-to-one", "--align", "--align-energy", "7250",
                                       "--spectrum", "30,40,33,44", "--spectrum", "31,41", "--threads", "1"},
                        dir.path(), log),
             0);
    const QStringList files = QDir(dir.filePath("by-tool")).entryList({"*.tif", "*.csv"}, QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 4 + 3 + 2 + 1);
    for (const QString &name : files) {
        QFile a(dir.filePath("by-tool/" + name)), b(dir.filePath("by-commands/" + name));
        QVERIFY2(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.readAll() == b.readAll(), qPrintable(name));
    }
    const auto settings = [this](const char *folder) {
        QFile record(dir.filePath(QStringLiteral("%1/ct-xanes-record.json").arg(folder)));
        return record.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(record.readAll()).object().value("settings") : QJsonValue();
    };
    QVERIFY(settings("by-tool").isObject());
    QCOMPARE(settings("by-commands"), settings("by-tool"));
    QCOMPARE(settings("by-tool").toObject().value("norm2").toDouble(), 160.0);
}

void TstXanesJob::damagedResultsAreRefused_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("line");
    QTest::newRow("intact") << "" << 0 << "XANES done: 1 slices mapped";
    QTest::newRow("seven energies") << "keep 7" << 2 << "7 energies, at least 8 are needed";
    QTest::newRow("an energy twice") << "copy a record" << 2 << "Energies not increasing";
    QTest::newRow("a slice of another size") << "shrink a slice" << 2 << "the other energies' slices are 60 x 60";
    QTest::newRow("a reference short of the window") << "short reference" << 2 << "not the fit window";
    QTest::newRow("a set without the slice") << "drop a slice" << 2 << "1 energies skipped";
    QTest::newRow("a map that cannot be written") << "block a map" << 2 << "0 slices mapped, 1 slices failed, 0 energies skipped, 1 files not written";
}

void TstXanesJob::damagedResultsAreRefused()
{
    QFETCH(QString, damage);
    QFETCH(int, status);
    QFETCH(QString, line);
    // The sequence's results of the example, copied so that each case damages its own.
    const QDir results(series + "/out");
    if (!results.exists())
        QSKIP("The documented example did not leave its results");
    QTemporaryDir work;
    QDir copy(work.path());
    const QStringList records = results.entryList({"*-record.json"}, QDir::Files, QDir::Name);
    for (int k = 0; k < records.size(); ++k) {
        if (damage == "keep 7" && k >= 7)
            break;
        QJsonObject record = QJsonDocument::fromJson([&] {
                                 QFile f(results.filePath(records[k]));
                                 return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                             }()).object();
        QJsonObject saving = record["saving"].toObject(), data = saving["data"].toObject();
        data["folder"] = work.path();
        saving["data"] = data;
        record["saving"] = saving;
        if (damage == "drop a slice" && k == 2)
            record["slices"] = QJsonArray{QJsonObject{{"slice", 0}, {"outcome", "failed"}}};
        QFile out(copy.filePath(records[k]));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(record).toJson());
        out.close();
        const QString tag = data["tag"].toString();
        QVERIFY(QFile::copy(results.filePath("ct-" + tag + "-00000.dat"), copy.filePath("ct-" + tag + "-00000.dat")));
        if (damage == "copy a record" && k == 3)
            QVERIFY(QFile::copy(copy.filePath(records[k]), copy.filePath("ct-again-record.json")));
    }
    const QString someSlice = copy.filePath("ct-7100eV-00000.dat");
    if (damage == "shrink a slice") {
        QFile f(someSlice);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#ZRVL-CTImg\n0\t0\t1\n1\t0\t1\n0\t1\t1\n1\t1\t1\n");
    }
    QString reference2 = series + "/phase2.txt";
    if (damage == "short reference") {
        reference2 = copy.filePath("short.txt");
        QFile f(reference2);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("7000 0\n7150 1\n");
    }
    if (damage == "block a map") // a folder where the E0 map would go
        QVERIFY(QDir().mkpath(copy.filePath("maps/ct-xanes-00000-e0.tif")));
    QByteArray log;
    const int exit = runProgram(ZORVEL_XANES, {"--results", work.path(), "--name", "ct", "--out", copy.filePath("maps"),
                                               "--reference", series + "/phase1.txt", "--reference", reference2,
                                               "--fit-min", "7090", "--fit-max", "7200"},
                                work.path(), log);
    QVERIFY2(exit == status && log.contains(line.toUtf8()), log.constData());
    QVERIFY(log.trimmed().split('\n').last().startsWith(status == 0 ? "XANES done" : "XANES incomplete"));
    const bool mapped = QFileInfo(copy.filePath("maps/ct-xanes-00000-e0.tif")).isFile();
    QCOMPARE(mapped, status == 0 || damage == "drop a slice");
    // The other maps of a slice are still written when one cannot be.
    QCOMPARE(QFile::exists(copy.filePath("maps/ct-xanes-00000-edge_step.tif")), mapped || damage == "block a map");
}

QTEST_GUILESS_MAIN(TstXanesJob)
#include "tst_xanesjob.moc"
