#include "CtCalc.h"

#include "ColorBar.h"
#include "CtProgress.h"
#include "FieldValue.h"
#include "FullTurnSinogram.h"
#include "GreyImage.h"
#include "HSgm.h"
#include "Sinogram.h"

#include <QCoreApplication>
#include <QDebug>
#include <QThread>

CtCalc::CtCalc(QWidget *parent)
    : CtSlicePanel(parent), progress(new CtProgress), progressThread(new QThread)
{
    progress->moveToThread(progressThread);
    DispCt->rowValues = [this](int y, double *out) {
        const int n = core.imageSide();
        return n == DispCt->img.width() && copyRow(core.image(), n, n, y, out);
    };

    connect(this, &CtCalc::startCalcAll, progress, &CtProgress::startCalcAll, Qt::QueuedConnection);
    connect(progress, &CtProgress::calcAll, this, &CtCalc::calcAll, Qt::QueuedConnection);
    connect(this, &CtCalc::startCalcOneByOne, progress, &CtProgress::startCalcOneByOne, Qt::QueuedConnection);
    connect(progress, &CtProgress::calcOne, this, &CtCalc::calcOne, Qt::QueuedConnection);
    connect(this, &CtCalc::finishedCalcOne, progress, &CtProgress::calcNext, Qt::QueuedConnection);
    connect(progress, &CtProgress::finishedCalcOneByOne, this, &CtCalc::finishedOneByOne, Qt::QueuedConnection);
    connect(StartCalc, &QPushButton::clicked, this, &CtCalc::askToStartCalc);
    connect(DispCt, &ImgDispWCBar::newBar, this, &CtCalc::genResImage);
    connect(DispCt, &ImgDispWPV::newPosInvY, this, &CtCalc::noticedNewPos);
}

CtCalc::~CtCalc()
{
    stopProgress();
    delete progress;
    delete progressThread;
}

void CtCalc::startCt()
{
    if (!sinogramPanel)
        return;
    if (running)
        stopProgress();
    running = true;
    oneByOne = false;
    showStartTime();
    if (!takeSinogram()) {
        qDebug() << "CT1: no sinogram at this slice and centre of rotation; nothing reconstructed";
        endCt();
        return;
    }
    showSliceNo(sinogramPanel->sinogram()->slice);
    core.setupCore((rowLength / 2) * 2, M, filter); // keeps the plans while N, M and the filter stay
    const int n = core.n();
    if (!isRegionSet())
        setCR(0, 0, n, n);
    core.resizeImage(n);
    DispCt->img = QImage(n, n, QImage::Format_Grayscale8);
    DispCt->img.fill(0);

    if (CalcAtOnce->isChecked()) {
        progressThread->start();
        emit startCalcAll();
        return;
    }
    oneByOne = true;
    nextProjection = 0;
    progress->total = M; // the pacing thread is stopped: no one else touches these
    progress->current = 0;
    progressThread->start();
    emit startCalcOneByOne();
}

bool CtCalc::takeSinogram()
{
    if (!sinogramPanel->genSinogram())
        return false;
    const HSgm &record = *sinogramPanel->sinogram();
    if (!FullTurnSinogram::hasData(record))
        return false;
    rowLength = record.w;
    M = record.h;
    sgmRows.assign(record.sgm, record.sgm + size_t(record.w) * size_t(record.h));
    return true;
}

void CtCalc::stopCt() { endCt(); }

void CtCalc::endCt()
{
    if (!running)
        return;
    running = false;
    oneByOne = false;
    stopProgress();
    showEndTime();
    showSpentT();
    emit calcFinished();
}

void CtCalc::stopProgress()
{
    progressThread->quit();
    progressThread->wait();
    QCoreApplication::removePostedEvents(progress);
}

void CtCalc::calcAll()
{
    if (!running || oneByOne)
        return;
    const double divisor = double(M) * core.n();
    for (int j = 0; j < M; ++j)
        core.transformRow(sgmRows.data() + size_t(j) * size_t(rowLength), j);
    for (int j = 0; j < M; ++j)
        core.filterRow(j, divisor);
    // The same sums as projection after projection, in the same order, only faster.
    core.backProjectAll(realFieldValue(Crx0->text()), realFieldValue(Crx1->text()),
                        realFieldValue(Crz0->text()), realFieldValue(Crz1->text()));
    genResImage();
    endCt();
}

void CtCalc::calcOne(int iz)
{
    // Only the projection this run expects: a step of a stopped or replaced run that
    // was still on its way is dropped.
    if (!oneByOne || iz != nextProjection)
        return;
    ++nextProjection;
    core.transformRow(sgmRows.data() + size_t(iz) * size_t(rowLength), iz);
    core.filterRow(iz, double(M) * core.n());
    core.backProject(iz, realFieldValue(Crx0->text()), realFieldValue(Crx1->text()),
                     realFieldValue(Crz0->text()), realFieldValue(Crz1->text()));
    genResImage();
    showEndTime();
    emit finishedCalcOne();
}

void CtCalc::finishedOneByOne()
{
    if (oneByOne && nextProjection >= M)
        endCt();
}

void CtCalc::calcCt()
{
    if (oneByOne)
        endCt();
    else
        startCt();
}

void CtCalc::genResImage()
{
    const int n = core.n();
    if (n <= 0 || core.imageSide() != n)
        return;
    if (core.isDone()) {
        core.imageMinMax();
        colorBar()->autoRange(core.minValue(), core.maxValue());
    }
    DispCt->img = greyImage(core.image(), n, n, colorBar()->colorScale());
    DispCt->newImage();
}

void CtCalc::noticedNewPos(double x, double z)
{
    showValueAt(x, z, core.image(), core.imageSide());
}

void CtCalc::setSaveImage(bool f, QString path, QString name, QString tag)
{
    imageSave = {f, path, name, tag};
}

void CtCalc::setSaveData(bool f, QString path, QString name, QString tag)
{
    dataSave = {f, path, name, tag};
}
