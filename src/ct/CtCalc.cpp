#include "CtCalc.h"

#include "ColorBar.h"
#include "CtProgress.h"
#include "FieldValue.h"
#include "FieldWidth.h"
#include "FullTurnSinogram.h"
#include "GreyImage.h"
#include "HSgm.h"
#include "Sinogram.h"

#include <QCoreApplication>
#include <QDebug>
#include <QThread>

#include <cmath>

namespace {
const QString timeFormat = QStringLiteral("hh:mm:ss.zzz");
} // namespace

CtCalc::CtCalc(QWidget *parent)
    : QFrame(parent), progress(new CtProgress), progressThread(new QThread)
{
    setupUi(this);
    cBar = DispCt->CBar;
    for (QLineEdit *field : {Drx0, Drz0, Drx1, Drz1, Crx0, Crz0, Crx1, Crz1})
        FieldWidth::fitReal(field);
    progress->moveToThread(progressThread);

    connect(this, &CtCalc::startCalcAll, progress, &CtProgress::startCalcAll, Qt::QueuedConnection);
    connect(progress, &CtProgress::calcAll, this, &CtCalc::calcAll, Qt::QueuedConnection);
    connect(this, &CtCalc::startCalcOneByOne, progress, &CtProgress::startCalcOneByOne, Qt::QueuedConnection);
    connect(progress, &CtProgress::calcOne, this, &CtCalc::calcOne, Qt::QueuedConnection);
    connect(this, &CtCalc::finishedCalcOne, progress, &CtProgress::calcNext, Qt::QueuedConnection);
    connect(progress, &CtProgress::finishedCalcOneByOne, this, &CtCalc::finishedOneByOne, Qt::QueuedConnection);
    connect(StartCalc, &QPushButton::clicked, this, &CtCalc::askToStartCalc);
    connect(SetCRegion, &QPushButton::clicked, this, &CtCalc::setCRegion);
    connect(DispCt, &ImgDispWCBar::newBar, this, &CtCalc::genResImage);
    connect(DispCt, &ImgDisp::newS, this, &CtCalc::noticedNewS);
    connect(DispCt, &ImgDispWPV::newPosInvY, this, &CtCalc::noticedNewPos);

    setCR(0, 0, 2047, 2047);
    regionSet = false;
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
    started = QDateTime::currentDateTime();
    StartT->setText(started.toString(timeFormat));
    if (!takeSinogram()) {
        qDebug() << "CT1: no sinogram at this slice and centre of rotation; nothing reconstructed";
        endCt();
        return;
    }
    ShowSliceNo->setText(QString::number(sinogramPanel->sinogram()->slice));
    core.setupCore((rowLength / 2) * 2, M, filter); // keeps the plans while N, M and the filter stay
    const int n = core.n();
    if (!regionSet)
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
    ended = QDateTime::currentDateTime();
    EndT->setText(ended.toString(timeFormat));
    SpentT->setText(realFieldText(started.msecsTo(ended) / 1000.0));
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
    ended = QDateTime::currentDateTime();
    EndT->setText(ended.toString(timeFormat));
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
        cBar->autoRange(core.minValue(), core.maxValue());
    }
    DispCt->img = greyImage(core.image(), n, n, cBar->colorScale());
    DispCt->newImage();
}

void CtCalc::noticedNewPos(double x, double z)
{
    const int n = core.imageSide();
    // Truncation toward zero; NaN fails every comparison.
    const double column = std::trunc(x);
    const double row = std::trunc(z);
    if (column >= 0 && column < n && row >= 0 && row < n)
        DispCt->setVal(core.imageAt(int(column), int(row)));
}

void CtCalc::noticedNewS(QRectF s)
{
    setDR(s.x(), s.y(), s.x() + s.width(), s.y() + s.height());
}

void CtCalc::setCRegion()
{
    setCR(std::floor(realFieldValue(Drx0->text())), std::floor(realFieldValue(Drz0->text())),
          std::ceil(realFieldValue(Drx1->text())), std::ceil(realFieldValue(Drz1->text())));
}

bool CtCalc::writeRegion(const Fields &fields, const std::array<double, 4> &values)
{
    bool changed = false;
    for (size_t i = 0; i < fields.size(); ++i) {
        const double old = realFieldValue(fields[i]->text());
        fields[i]->setText(realFieldText(values[i]));
        changed = changed || realFieldValue(fields[i]->text()) != old;
    }
    return changed;
}

void CtCalc::setDR(double rx0, double rz0, double rx1, double rz1)
{
    if (!writeRegion({Drx0, Drz0, Drx1, Drz1}, {rx0, rz0, rx1, rz1}))
        return;
    // A view without a positive, finite extent would make the view's conversions
    // divide by zero; the fields still show what was asked for.
    const QRectF view(rx0, rz0, rx1 - rx0, rz1 - rz0);
    if (view.width() > 0 && view.height() > 0 && std::isfinite(view.width()) && std::isfinite(view.height())) {
        DispCt->view = view;
        DispCt->scaleSet = true;
        DispCt->dispA->update();
    }
    emit dRUpdated(rx0, rz0, rx1, rz1);
}

void CtCalc::setCR(double rx0, double rz0, double rx1, double rz1)
{
    if (!writeRegion({Crx0, Crz0, Crx1, Crz1}, {rx0, rz0, rx1, rz1}))
        return;
    regionSet = true;
    emit cRUpdated(rx0, rz0, rx1, rz1);
}

void CtCalc::setFixColorScale(bool f) { cBar->setFixColorScale(f); }

void CtCalc::setCBarMinMaxForced(double min, double max) { cBar->setRange(min, max); }

void CtCalc::setSaveImage(bool f, QString path, QString name, QString tag)
{
    imageSave = {f, path, name, tag};
}

void CtCalc::setSaveData(bool f, QString path, QString name, QString tag)
{
    dataSave = {f, path, name, tag};
}
