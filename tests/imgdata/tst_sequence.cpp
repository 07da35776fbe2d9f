#include "DataSetName.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "SelectDataDir.h"
#include "SelectDataFiles.h"
#include "XafsBatch.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cmath>

namespace {

// The main window's part of a CT-XAFS sequence, as far as the data sets go: the data-set
// selector and the projection list wired as in the window, a projection series that
// really loads the files, and, as the "reconstruction", the mean attenuation
// -ln((I - BG) / (I0 - BG)) of the middle detector row with the I0 image nearest in energy.
class SequenceBody : public QObject
{
    Q_OBJECT
public:
    struct Set
    {
        QString tag;
        int projections = 0;
        QString i0;
        double meanAttenuation = 0.0;
    };

    SequenceBody(const QString &dir, const QStringList &i0Files, const QString &bgFile)
        : i0Files(i0Files), bg(openImgData(bgFile))
    {
        selDDir.Pattern->setText("phantom-*.img");
        selDDir.setIsKSTStandard(true);
        selDDir.aDirSelected(dir);
        ctFiles.LoadNewFiles->setChecked(true);

        batch.moveToThread(&thread);
        thread.start();
        connect(&batch, &XafsBatch::setFirstImageSet, &selDDir, &SelectDataDir::setFirstSet);
        connect(&batch, &XafsBatch::setNextSet, &selDDir, &SelectDataDir::setNextSet);
        connect(&selDDir, &SelectDataDir::noMoreSets, &batch, &XafsBatch::noMoreSets);
        connect(&selDDir, &SelectDataDir::selectedFileInfoList, this, &SequenceBody::selectedFileInfoList);
        connect(&ctFiles, &SelectDataFiles::filesSelected, this, &SequenceBody::dataFilesSelected);
        connect(this, &SequenceBody::finishedLoadingCTFiles, &batch, &XafsBatch::loadedDataSet);
        connect(&batch, &XafsBatch::execCalculation, this, &SequenceBody::startCalcCt);
        connect(this, &SequenceBody::calcFinished, &batch, &XafsBatch::calcFinished);
        connect(&batch, &XafsBatch::stage, this, [this](const QString &text, qint64 ms) {
            stages << text;
            qInfo("%-15s %4lld ms", qPrintable(text), ms);
        });
        connect(this, &SequenceBody::seqCalcClicked, &batch, &XafsBatch::start);
    }
    ~SequenceBody() override
    {
        thread.quit();
        thread.wait();
    }

    SelectDataDir selDDir;
    SelectDataFiles ctFiles;
    QStringList stages;
    QList<Set> sets;

signals:
    void seqCalcClicked();
    void finishedLoadingCTFiles();
    void calcFinished();

private slots:
    void selectedFileInfoList(const QFileInfoList &files)
    {
        sets.append({selDDir.currentSetName(), 0, nearestI0(selDDir.currentEnergy()), 0.0});
        ctFiles.setFileInfoList(files);
    }
    void dataFilesSelected(const QStringList &files, bool clear)
    {
        if (clear)
            series.clearImgs();
        for (const QString &file : files) {
            if (series.add(file))
                ctFiles.addFileName(file);
        }
        sets.last().projections = series.count();
        emit finishedLoadingCTFiles();
    }
    void startCalcCt()
    {
        sets.last().meanAttenuation = meanAttenuation();
        emit calcFinished();
    }

private:
    QString nearestI0(double energy) const
    {
        int best = 0;
        for (int i = 1; i < i0Files.size(); ++i) {
            if (std::abs(energyInEvOfName(QFileInfo(i0Files[i]).fileName()) - energy)
                < std::abs(energyInEvOfName(QFileInfo(i0Files[best]).fileName()) - energy))
                best = i;
        }
        return i0Files.value(best);
    }
    double meanAttenuation() const
    {
        const auto i0 = openImgData(sets.last().i0);
        const int width = series.imageWidth();
        const int row = series.imageHeight() / 2;
        const size_t n = size_t(width);
        std::vector<double> line(n), i0Line(n), bgLine(n);
        i0->line(row, i0Line.data());
        bg->line(row, bgLine.data());
        double sum = 0.0;
        for (int p = 0; p < series.count(); ++p) {
            series.at(p)->line(row, line.data());
            for (int x = 0; x < width; ++x)
                sum -= std::log((line[size_t(x)] - bgLine[size_t(x)]) / (i0Line[size_t(x)] - bgLine[size_t(x)]));
        }
        return sum / (double(width) * series.count());
    }

    QStringList i0Files;
    std::unique_ptr<ImgData> bg;
    ImgDatas series;
    XafsBatch batch;
    QThread thread;
};

} // namespace

// A sequence over a synthetic CT-XAFS series of three energies in "KST Std." naming.
class TstSequence : public QObject
{
    Q_OBJECT
private slots:
    void phantomSeriesOfThreeEnergies();
};

void TstSequence::phantomSeriesOfThreeEnergies()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess phantom;
    phantom.start(ZORVEL_PHANTOM, {"--out", dir.path(), "--width", "64", "--height", "4", "--projections", "30",
                                   "--energies", "7100,7112.5,7130"});
    QVERIFY(phantom.waitForFinished(60000));
    QCOMPARE(phantom.exitCode(), 0);
    const QDir folder(dir.path());
    QStringList i0Files;
    for (const QString &name : folder.entryList({"i0-*.img"}, QDir::Files, QDir::Name))
        i0Files << folder.filePath(name);
    QCOMPARE(i0Files.size(), 3);

    SequenceBody body(dir.path(), i0Files, folder.filePath("bg.img"));
    QCOMPARE(body.selDDir.SubDirs->count(), 3);
    QCOMPARE(body.selDDir.SubDirs->itemText(1), QString("2 :         (7112.5[eV], 30)"));
    QSignalSpy noMore(&body.selDDir, &SelectDataDir::noMoreSets);
    emit body.seqCalcClicked();
    QTRY_COMPARE_WITH_TIMEOUT(body.stages.size(), 1 + 3 * 2 + 1, 30000);

    QStringList expected = {"Data Loading"};
    for (int set = 0; set < 3; ++set)
        expected << "Calculating" << "Finished Calc.";
    expected << "Finished";
    QCOMPARE(body.stages, expected);
    QCOMPARE(noMore.count(), 1);

    const QStringList tags = {"7100eV", "7112_5eV", "7130eV"};
    QCOMPARE(body.sets.size(), 3);
    for (int s = 0; s < 3; ++s) {
        QCOMPARE(body.sets[s].tag, tags[s]);
        QCOMPARE(body.sets[s].projections, 30);
        QCOMPARE(QFileInfo(body.sets[s].i0).fileName(), "i0-" + tags[s] + "-00000.img");
        qInfo("set %s: %d projections, I0 %s, mean attenuation %.6f", qPrintable(tags[s]), body.sets[s].projections,
              qPrintable(QFileInfo(body.sets[s].i0).fileName()), body.sets[s].meanAttenuation);
        QVERIFY(std::isfinite(body.sets[s].meanAttenuation) && body.sets[s].meanAttenuation > 0.0);
    }
    // The absorber lights up above its edge (7112 eV).
    QVERIFY(body.sets[0].meanAttenuation < body.sets[1].meanAttenuation);
    QCOMPARE(body.ctFiles.Selected->count(), 30);
    QVERIFY(body.ctFiles.Selected->itemText(0).endsWith("phantom-7130eV-00000.img"));
}

QTEST_MAIN(TstSequence)
#include "tst_sequence.moc"
