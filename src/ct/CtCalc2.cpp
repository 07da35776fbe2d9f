#include "CtCalc2.h"

#include "DataSaver.h"
#include "FftwPlannerThread.h"
#include "GreyImage.h"
#include "ResultFiles.h"
#include "SaveBudget.h"
#include "SgmGeometry.h"
#include "SinogramGenerator.h"
#include "ThreadHandoff.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {

// The region clipped to an n x n slice: the pixels a data file holds, and what its
// header says. A region that misses the slice altogether gives an empty one.
CalcRegion clippedRegion(const CalcRegion &region, bool set, int n)
{
    if (!set)
        return CalcRegion{0, 0, double(n), double(n)};
    auto clip = [n](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, double(n)) : 0.0; };
    return CalcRegion{clip(region.x0), clip(region.z0), clip(region.x1), clip(region.z1)};
}

// The rectangle of an n x n picture that the views show, truncated to whole pixels as a
// view saves it, and only the part inside the picture: no padding.
QRect shownRect(const RunSnapshot &run, int n)
{
    const QRect whole(0, 0, n, n);
    const CalcRegion &v = run.view;
    if (!run.viewSet || !std::isfinite(v.x0) || !std::isfinite(v.z0) || !std::isfinite(v.x1) || !std::isfinite(v.z1))
        return whole;
    auto pixel = [](double p) { return int(std::clamp(p, -1e9, 1e9)); };
    const QRect shown = QRect(pixel(v.x0), pixel(v.z0), pixel(v.x1 - v.x0), pixel(v.z1 - v.z0)).intersected(whole);
    return shown.isEmpty() ? whole : shown;
}

} // namespace

CtCalc2::CtCalc2(QObject *parent) : QObject(parent)
{
    // Before any worker thread exists: each worker plans its own transforms.
    FftwPlannerThread::makePlannerThreadSafe();
}

void CtCalc2::startCt(CtCalc2 *ctc2, const SliceRequest *request)
{
    if (ctc2 != this || !request)
        return;
    ThreadHandoff::take(const_cast<SliceRequest *>(request));
    auto *result = new SliceResult;
    result->runId = request->runId;
    result->worker = request->worker;
    result->slice = request->slice;
    if (request->run && reconstruct(*request->run, request->slice)) {
        result->reconstructed = true;
        saveResults(*request->run, *result);
    }
    ThreadHandoff::publish(this);
    ThreadHandoff::publish(result);
    emit calcFinished(result);
}

bool CtCalc2::reconstruct(const RunSnapshot &run, int slice)
{
    // A sinogram that could not be built leaves the record as it was: never
    // reconstruct the previous slice's rows.
    if (!run.series || !SinogramGenerator::genSinogram0(*run.series, &hSgm, run.rotAxIsV, run.cor, slice))
        return false;
    if (!hSgm.sgm || qint64(hSgm.w) * hSgm.h < 1)
        return false;
    const int n = (hSgm.w / 2) * 2;
    if (n == 0 || !core.setupCore(n, hSgm.h, run.filter)) {
        qDebug() << "No transforms for slice" << slice;
        return false;
    }
    core.resizeImage(n);
    const CalcRegion r = clippedRegion(run.region, run.regionSet, n);
    core.reconstructSlice(hSgm.sgm, hSgm.w, n, r.x0, r.x1, r.z0, r.z1);
    return true;
}

QImage CtCalc2::genResImage(const RunSnapshot::Scale &choice, SliceResult &result)
{
    const int side = core.imageSide();
    ColorScale scale = choice.scale;
    if (!choice.fixed) {
        core.imageMinMax();
        scale.minV = core.minValue();
        scale.maxV = core.maxValue();
    }
    result.autoRanged = !choice.fixed;
    result.min = scale.minV;
    result.max = scale.maxV;
    return greyImage(core.image(), side, side, scale);
}

void CtCalc2::saveResults(const RunSnapshot &run, SliceResult &result)
{
    const int n = core.imageSide();
    result.n = n;
    const size_t w = size_t(result.worker);
    QImage picture;
    if (run.display || run.image.f)
        picture = genResImage(w < run.scales.size() ? run.scales[w] : RunSnapshot::Scale{}, result);
    if (run.display) {
        result.values = std::make_shared<const std::vector<double>>(core.image(), core.image() + size_t(n) * n);
        result.image = picture;
        result.show = true;
    }
    if (run.image.f) {
        const QString name = ResultFiles::sliceFile(run.image, result.slice, QStringLiteral("png"));
        const QByteArray png = DataSaver::encodePng(picture.copy(shownRect(run, n)));
        if (png.isEmpty()) {
            qDebug() << "Failed to save the image" << name;
            result.filesFailed.append(name);
        } else {
            saveFile(name, png);
            ++result.filesQueued;
        }
    }
    if (run.data.f) {
        const QString name = ResultFiles::sliceFile(run.data, result.slice, QStringLiteral("dat"));
        saveFile(name, ResultFiles::dataText(core.image(), n, clippedRegion(run.region, run.regionSet, n)));
        ++result.filesQueued;
    }
    if (run.tiff.f)
        saveTiff(run, result);
    if (result.slice >= run.spectralFrom && result.slice <= run.spectralTo) {
        SequenceStack::Plane &plane = result.plane;
        plane.values = std::make_shared<const std::vector<float>>(
            ResultFiles::floatPixels(core.image(), n, clippedRegion(run.region, run.regionSet, n), &plane.width, &plane.height));
    }
}

void CtCalc2::saveTiff(const RunSnapshot &run, SliceResult &result)
{
    const int n = core.imageSide();
    const QString name = ResultFiles::sliceFile(run.tiff, result.slice, QStringLiteral("tif"));
    QByteArray tiff = ResultFiles::floatTiff(core.image(), n, clippedRegion(run.region, run.regionSet, n));
    if (tiff.isEmpty()) {
        qDebug() << "Failed to write the TIFF slice" << name;
        result.filesFailed.append(name);
        return;
    }
    saveFile(name, std::move(tiff));
    ++result.filesQueued;
}

void CtCalc2::saveFile(const QString &fileName, QByteArray bytes)
{
    // Waits here while the saver is a whole budget behind: memory stays bounded with a
    // slow disk, and only this worker waits.
    if (budget)
        budget->reserve(bytes.size());
    auto *record = new SavingData{fileName, std::move(bytes)};
    ThreadHandoff::publish(record);
    emit saveDataWDiscard(record);
}
