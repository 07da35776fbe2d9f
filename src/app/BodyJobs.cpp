// The main window's part in unattended work: data sets of a sequence loaded with the
// user's conditions (or failed, with the reason), runs a job can finish, result names
// that never overwrite another set's, a record of each saving run, and the outcome a
// headless job reports.

#include "Body.h"

#include "CtCalc2Ui.h"
#include "DataSaver.h"
#include "DataSetName.h"
#include "FieldValue.h"
#include "ImgData.h"
#include "JobRecord.h"
#include "ResultFiles.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>

void Body::failDataSet(const QString &reason)
{
    if (!dataSetFailure.isEmpty())
        return;
    dataSetFailure = reason;
    qDebug().noquote() << QStringLiteral("Data set %1 failed: %2").arg(SelDDir->currentSetName(), reason);
}

// The I0 of the set and the BG must be the images their fields name: a file that could
// not be read leaves the image before it in use, which belongs to another set.
void Body::checkReferenceImages()
{
    for (const SelectAImgFile *selector : {I0ImgSel, BGImgSel}) {
        const QString wanted = selector->FilePath->text();
        if (!wanted.isEmpty() && (!selector->image || selector->image->imageFileName() != wanted))
            failDataSet(tr("its %1 image cannot be read: %2").arg(selector == I0ImgSel ? "I0" : "BG", wanted));
    }
}

// An I0 or BG image a script asked for that could not be read is a failed load of the
// job (the selector keeps the image before it, and says so in red).
void Body::loadReference(SelectAImgFile &selector, const QString &fileName)
{
    selector.fileSelected0(fileName);
    if (!selector.image || selector.image->imageFileName() != fileName) {
        ++outcome.loadsFailed;
        batch.ok = false;
    }
}

// A data set of a sequence keeps the centre, the slices and the regions the user set,
// as long as they fit its images; otherwise the set fails. A centre or slice never given
// takes the set's default, and so does the current slice when a range is reconstructed.
void Body::keepConditionsForDataSet()
{
    const int w = imgs.imageWidth();
    const int h = imgs.imageHeight();
    const bool vertical = procCtrl->rotAxIsV;
    const int across = vertical ? w : h;
    const int along = vertical ? h : w;
    auto fits = [along](int slice) { return slice >= 0 && slice < along; };
    if (!corGiven)
        setCor(vertical ? w * 0.5 : double(h / 2));
    if (!sliceGiven || (procCtrl->AutoExecCtCalc->isChecked() && !fits(procCtrl->sliceNo)))
        setSliceNo(along / 2);
    CalcConds now;
    procCtrl->fillCalcConds(now, false, false);
    QStringList misfits;
    if (!(now.cor > 1 && now.cor < across - 1))
        misfits << tr("the centre of rotation %1").arg(realFieldText(now.cor));
    if (now.rangeMode && !(fits(now.sliceFrom) && fits(now.sliceTo)))
        misfits << tr("the slices %1..%2").arg(now.sliceFrom).arg(now.sliceTo);
    if (!now.rangeMode && !fits(now.slice))
        misfits << tr("the slice %1").arg(now.slice);
    if (!regionsFitSeries())
        misfits << tr("the regions");
    showSeries();
    if (!misfits.isEmpty())
        failDataSet(tr("%1 do not fit its images of %2 x %3").arg(misfits.join(QStringLiteral(", "))).arg(w).arg(h));
}

// In a headless job a run (of calc_exec or of a sequence) must end: nobody can press
// Stop. Step 0 (the same slice for ever) is refused, and a range reaching past the series
// is clamped to its slices.
bool Body::jobRangeAllowed()
{
    if (!jobMode || !conds.rangeMode)
        return true;
    if (conds.sliceStep == 0) {
        qDebug() << "Step 0 repeats one slice until stopped; a job refuses it";
        return false;
    }
    const int along = conds.rotAxIsV ? imgs.imageHeight() : imgs.imageWidth();
    const int last = std::max(along - 1, 0);
    const int from = std::clamp(conds.sliceFrom, 0, last);
    const int to = std::clamp(conds.sliceTo, 0, last);
    if (from == conds.sliceFrom && to == conds.sliceTo)
        return true;
    qDebug().noquote() << QStringLiteral("Slices %1..%2 clamped to %3..%4, the slices the series has")
                              .arg(conds.sliceFrom).arg(conds.sliceTo).arg(from).arg(to);
    conds.sliceFrom = from;
    conds.sliceTo = to;
    return true;
}

// The result files a run would write, keyed to the tag of its results.
QStringList Body::resultNamesOfRun() const
{
    QStringList names;
    const QList<int> slices = slicesOfRun();
    for (const auto &[save, suffix] : {std::pair{imageSaveSettings(), QStringLiteral("png")}, {dataSaveSettings(), QStringLiteral("dat")},
                                         {tiffSaveSettings(), QStringLiteral("tif")}})
        for (int slice : save.f ? slices : QList<int>())
            names << ResultFiles::sliceFile(save, slice, suffix);
    return names;
}

QList<int> Body::slicesOfRun() const
{
    if (!conds.rangeMode || conds.sliceStep == 0)
        return {conds.rangeMode ? conds.sliceFrom : conds.slice};
    QList<int> slices;
    const qint64 step = conds.sliceStep;
    const qint64 count = std::min<qint64>(CtDispatcher::rangeCount(conds.sliceFrom, conds.sliceTo, conds.sliceStep), ImgData::maxImageSide);
    for (qint64 k = 0; k < count; ++k)
        slices << int(conds.sliceFrom + k * step);
    return slices;
}

// A data set may write its results again (run twice); a file another data set of this
// folder wrote is never overwritten. Outside a data set, results are owned by their tag.
bool Body::resultNamesFree()
{
    const QString owner = dataSetPending ? tr("data set %1").arg(SelDDir->currentSetName())
                                         : tr("the results tagged %1").arg(SelectDataSaveDir->AddTag->text());
    const QStringList names = resultNamesOfRun();
    for (const QString &name : names) {
        const auto earlier = writtenBy.constFind(name);
        if (earlier != writtenBy.constEnd() && *earlier != owner) {
            const QString reason = tr("its results would overwrite those of %1: %2").arg(*earlier, name);
            if (dataSetPending)
                failDataSet(reason);
            else
                qDebug().noquote() << QStringLiteral("Run refused: %1").arg(reason);
            return false;
        }
    }
    for (const QString &name : names)
        writtenBy.insert(name, owner);
    return true;
}

bool Body::runAllowed()
{
    const bool allowed = dataSetFailure.isEmpty() && jobRangeAllowed() && resultNamesFree();
    if (!allowed) {
        batch.ok = false;
        if (!dataSetPending)
            ++outcome.slicesFailed;
    }
    return allowed;
}

// What the run that ends did, into the job's outcome; a saving CT2 run leaves its record.
void Body::countRun()
{
    if (!calculating)
        return;
    qint64 failed = 0;
    if (currentRun) {
        const CtDispatcher::Report &report = dispatcher.report();
        failed = report.slicesFailed;
        outcome.slicesDone += report.slicesDone - report.slicesFailed;
        outcome.slicesFailed += failed;
        outcome.filesFailed += report.filesFailed;
        writeJobRecord(report);
        if (failed > 0)
            batch.ok = false;
    }
    if (std::exchange(dataSetPending, false)) {
        if (dataSetFailure.isEmpty() && failed == 0)
            ++outcome.setsDone;
        else
            ++outcome.setsFailed;
        sequenceSetCounted();
    }
}

void Body::writeJobRecord(const CtDispatcher::Report &report)
{
    if (!(currentRun->image.f || currentRun->data.f || currentRun->tiff.f))
        return;
    JobRecord record;
    record.program = QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(), QStringLiteral(ZORVEL_VERSION));
    record.started = startT;
    record.projectionCount = imgs.count();
    record.firstProjection = CTFiles->Selected->itemText(0);
    record.lastProjection = CTFiles->Selected->itemText(CTFiles->Selected->count() - 1);
    // Without a selected image, an HDF5 series' own mean flat and dark (named after it).
    record.i0 = I0ImgSel->image ? I0ImgSel->FilePath->text() : imgs.i0Image() ? imgs.i0Image()->imageFileName() : QString();
    record.i0Energy = energyInEvOfName(QFileInfo(record.i0).fileName());
    record.bg = BGImgSel->image ? BGImgSel->FilePath->text() : imgs.bgImage() ? imgs.bgImage()->imageFileName() : QString();
    if (dataSetPending) {
        record.dataSet = SelDDir->currentSetName();
        record.dataSetEnergy = SelDDir->currentEnergy();
    }
    std::tie(record.sliceFrom, record.sliceTo, record.sliceStep) =
        conds.rangeMode ? std::make_tuple(conds.sliceFrom, conds.sliceTo, conds.sliceStep) : std::make_tuple(conds.slice, conds.slice, 1);
    record.run = currentRun;
    record.slices = report.slices;
    const SaveSettings &where = currentRun->data.f ? currentRun->data : currentRun->image.f ? currentRun->image : currentRun->tiff;
    const QString fileName = ResultFiles::fullPath(where.path, JobRecord::fileName(where.name, where.tag));
    QMetaObject::invokeMethod(&ct2Pool.saver(), "saveRecord", Qt::QueuedConnection, Q_ARG(QString, fileName),
                              Q_ARG(QByteArray, record.toJson()));
}

// The I0 images of the list and the I0 and BG in use are never projections of a data set.
void Body::updateReferenceFiles()
{
    QStringList names{I0ImgSel->FilePath->text(), BGImgSel->FilePath->text()};
    for (int i = 0; i < SelI0Files->Selected->count(); ++i)
        names << SelI0Files->Selected->itemText(i);
    QStringList files;
    for (const QString &name : names)
        if (!name.isEmpty())
            files << QFileInfo(name).absoluteFilePath();
    SelDDir->setReferenceFiles(files);
}

void Body::noteFileSaved(const QString &fileName, bool ok)
{
    if (!ok)
        outcome.filesFailed << fileName;
}
