#include "CtCalc2.h"

#include "CtCalc2Ui.h"
#include "FftwPlannerThread.h"
#include "GreyImage.h"
#include "ResultFiles.h"
#include "SavingData.h"
#include "SinogramGenerator.h"
#include "ThreadHandoff.h"

#include <QDebug>

CtCalc2::CtCalc2(QObject *parent) : QObject(parent)
{
    // Before any worker thread exists: cores destroyed away from the GUI thread (a
    // worker deleted at shutdown) must not corrupt the planner.
    FftwPlannerThread::makePlannerThreadSafe();
}

CtCalc2::~CtCalc2()
{
    // Orders the destruction after the last slot the worker's thread ran.
    const std::lock_guard<std::recursive_mutex> lock(workLock);
}

void CtCalc2::setPanel(CtCalc2Ui *panel)
{
    ui = panel;
    if (panel)
        panel->setWorker(this);
}

void CtCalc2::setImgDatas(const ImgDatas *imgDatas) { imgs = imgDatas; }

void CtCalc2::setupCore(int n, int m, const ReconFilter &filter)
{
    const std::lock_guard<std::recursive_mutex> lock(workLock);
    core.setupCore(n, m, filter);
}

void CtCalc2::beginingCt()
{
    const std::lock_guard<std::recursive_mutex> lock(workLock);
    busy = true;
    if (ui)
        ui->postStartTime();
}

void CtCalc2::endingCt()
{
    {
        const std::lock_guard<std::recursive_mutex> lock(workLock);
        busy = false;
        if (ui)
            ui->postEndTime();
    }
    emit calcFinished();
}

void CtCalc2::startCt(CtCalc2 *ctc2, bool rotAxIsV, double cor, int slice)
{
    startCt(ctc2, rotAxIsV, cor, slice, true);
}

void CtCalc2::startCt(CtCalc2 *ctc2, bool rotAxIsV, double cor, int slice, bool genAndDispImage)
{
    std::unique_lock<std::recursive_mutex> lock(workLock);
    if (ctc2 != this || busy)
        return;
    if (!ui) {
        lock.unlock();
        // Nowhere to show or save a slice; still answer, or the run would wait forever.
        emit calcFinished();
        return;
    }
    display = genAndDispImage;
    beginingCt();
    ui->postSliceNo(slice);
    if (reconstruct(rotAxIsV, cor, slice))
        saveResults(slice);
    lock.unlock();
    endingCt();
}

bool CtCalc2::reconstruct(bool rotAxIsV, double cor, int slice)
{
    // A sinogram that could not be built leaves the record as it was: never
    // reconstruct the previous slice's rows.
    if (!imgs || !SinogramGenerator::genSinogram0(*imgs, &hSgm, rotAxIsV, cor, slice))
        return false;
    if (!hSgm.sgm || qint64(hSgm.w) * hSgm.h < 1)
        return false;
    M = hSgm.h;
    N = (hSgm.w / 2) * 2;
    core.resizeImage(N);
    imageMade = false;
    if (N == 0)
        return false;
    if (core.n() != N || core.m() != M) {
        qDebug() << "The transforms are not set up for slice" << slice;
        return false;
    }
    sliceRegion = ui->regionForSlice(N);
    core.reconstructSlice(hSgm.sgm, hSgm.w, N, sliceRegion.x0, sliceRegion.x1, sliceRegion.z0, sliceRegion.z1);
    return true;
}

void CtCalc2::saveResults(int slice)
{
    const QString imageName = ResultFiles::autoName(imageSave.name, imageSave.tag, slice, QStringLiteral("png"));
    const QString dataName = ResultFiles::autoName(dataSave.name, dataSave.tag, slice, QStringLiteral("dat"));
    if (display)
        genResImage();
    if (imageSave.f)
        saveImage(imageName);
    if (dataSave.f)
        saveData(dataName);
}

void CtCalc2::genResImage()
{
    const std::lock_guard<std::recursive_mutex> lock(workLock);
    const int side = core.imageSide();
    if (!ui || side < 1 || !core.isDone())
        return;
    const CtCalc2Ui::RenderState state = ui->renderState();
    ColorScale scale = state.scale;
    if (!state.fixed) {
        core.imageMinMax();
        scale.minV = core.minValue();
        scale.maxV = core.maxValue();
    }
    const double *v = core.image();
    const QImage image = greyImage(v, side, side, scale);
    imageMade = true;
    // The panel keeps its own copy of the values for the read-out under the pointer.
    const auto values = std::make_shared<const std::vector<double>>(v, v + size_t(side) * side);
    ui->postImage({image, values, side, !state.fixed, scale.minV, scale.maxV, display});
}

void CtCalc2::saveImage(QString fname)
{
    const std::lock_guard<std::recursive_mutex> lock(workLock);
    const QString path = ResultFiles::fullPath(imageSave.path, fname);
    if (!imageMade)
        genResImage();
    if (!imageMade || !ui)
        return;
    // Posted after the image was handed over, so the file shows this slice.
    ui->postSaveImage(path);
}

void CtCalc2::saveData(QString fname)
{
    std::unique_lock<std::recursive_mutex> lock(workLock);
    if (!ui)
        return;
    auto *record = new SavingData;
    record->fileName = ResultFiles::fullPath(dataSave.path, fname);
    // The region this slice was computed over: the panel's may have moved since
    // (a first slice sets it on the panel only through a queued call).
    record->data = ResultFiles::dataText(core.image(), core.imageSide(), sliceRegion);
    lock.unlock();
    ThreadHandoff::publish(record);
    emit saveDataWDiscard(record);
}

void CtCalc2::setSaveImage(bool f, QString path, QString name, QString tag)
{
    const std::lock_guard<std::recursive_mutex> lock(workLock);
    imageSave = SaveSettings{f, path, name, tag};
}

void CtCalc2::setSaveData(bool f, QString path, QString name, QString tag)
{
    const std::lock_guard<std::recursive_mutex> lock(workLock);
    dataSave = SaveSettings{f, path, name, tag};
}
