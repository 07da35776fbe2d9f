#include "Sinogram.h"

#include "ColorBar.h"
#include "FieldStyle.h"
#include "FieldValue.h"
#include "FieldWidth.h"
#include "FullTurnSinogram.h"
#include "GreyImage.h"
#include "ImgDatas.h"
#include "ProcCtrl.h"
#include "SinogramGenerator.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {
// The Fourier view's fixed default window: magnitudes from 0 up to 10 take the upper
// half of the grey range.
constexpr double fourierMin = -10.0;
constexpr double fourierMax = 10.0;
} // namespace

Sinogram::Sinogram(QWidget *parent) : QFrame(parent)
{
    setupUi(this);
    FieldWidth::fitReal(Cor); // the views size their own read-outs
    connect(DispSinogram, &ImgDispWPV::newPosInvY, this, &Sinogram::newPos);
    // The lower half of the picture is the upper half mirrored (the second half turn).
    DispSinogram->rowValues = [this](int y, double *out) {
        const int w = DispSinogram->img.width();
        const bool ready = FullTurnSinogram::hasData(hSgm) && hSgm.w == w && DispSinogram->img.height() == 2 * hSgm.h;
        const bool mirrored = y >= hSgm.h;
        if (!ready || !copyRow(hSgm.rawSgm, w, hSgm.h, mirrored ? y - hSgm.h : y, out))
            return false;
        if (mirrored)
            std::reverse(out, out + w);
        return true;
    };
    DispFouS->rowValues = [this](int y, double *out) {
        return DispFouS->img.width() == fourierW && copyRow(fourierMagnitude.data(), fourierW, fourierRows, y, out);
    };
    connect(DispSinogram, &ImgDispWCBar::newBar, this, &Sinogram::genImage);
    connect(Cor, &QLineEdit::editingFinished, this, &Sinogram::corEditingFinished);
    connect(GenImg, &QPushButton::clicked, this, &Sinogram::genSinogramAndImage);
    connect(DispFouS, &ImgDispWCBar::newBar, this, &Sinogram::renderFourierView);
    connect(FindCor, &QPushButton::clicked, this, &Sinogram::findCor);
    connect(&corSearch, &CorSearch::finished, this, &Sinogram::corFound);
    FindCor->setStyleSheet(FieldStyle::idle);
}

void Sinogram::newPos(double x, double y)
{
    if (!FullTurnSinogram::hasData(hSgm))
        return;
    // Truncation toward zero; NaN fails every comparison.
    const double column = std::trunc(x);
    const double row = std::trunc(y);
    if (!(column >= 0 && column < hSgm.w && row >= 0 && row < 2.0 * hSgm.h))
        return;
    const int iy = int(row) % hSgm.h;
    DispSinogram->setVal(hSgm.rawSgm[size_t(iy) * size_t(hSgm.w) + size_t(column)]);
}

void Sinogram::corUpdated()
{
    if (procCtrl)
        Cor->setText(realFieldText(procCtrl->cor));
    autoUpdate();
}

void Sinogram::sliceNoUpdated() { autoUpdate(); }
void Sinogram::rotAxUpdated() { autoUpdate(); }
void Sinogram::autoUpdateUpdated() { autoUpdate(); }
void Sinogram::genSgmImage() { autoUpdate(); }

void Sinogram::corEditingFinished()
{
    // The controls store, show and announce only a changed value; their corUpdated
    // comes back here and rewrites this field.
    if (procCtrl)
        procCtrl->setCor(realFieldValue(Cor->text()));
}

bool Sinogram::genSinogram0(HSgm *record, bool rotAxIsV, double cor, int slice)
{
    return imgs && SinogramGenerator::genSinogram0(*imgs->snapshot(), record, rotAxIsV, cor, slice);
}

bool Sinogram::genSinogram()
{
    return procCtrl && genSinogram0(&hSgm, procCtrl->rotAxIsV, procCtrl->cor, procCtrl->sliceNo);
}

void Sinogram::genImage()
{
    FullTurnSinogram::rawRange(hSgm, min, max);
    // An empty record has no range; the colour bar keeps the one it shows.
    if (FullTurnSinogram::hasData(hSgm))
        DispSinogram->CBar->autoRange(min, max);
    DispSinogram->img = FullTurnSinogram::rawImage(hSgm, DispSinogram->CBar->colorScale());
    DispSinogram->newImage();
    genFouSImage();
}

void Sinogram::genFouSImage()
{
    if (!GenFouS->isChecked())
        return;
    fourierMagnitude = FullTurnSinogram::fourierMagnitude(hSgm);
    if (fourierMagnitude.empty())
        return;
    fourierW = hSgm.w;
    fourierRows = 2 * hSgm.h;
    DispFouS->CBar->autoRange(fourierMin, fourierMax);
    renderFourierView();
}

void Sinogram::renderFourierView()
{
    if (fourierMagnitude.empty())
        return;
    DispFouS->img = greyImage(fourierMagnitude.data(), fourierW, fourierRows, DispFouS->CBar->colorScale());
    DispFouS->newImage();
}

void Sinogram::setGenFouS(bool f) { GenFouS->setChecked(f); }

void Sinogram::genSinogramAndImage()
{
    genSinogram();
    genImage();
}

void Sinogram::autoUpdate()
{
    if (procCtrl && procCtrl->AutoUpdate->isChecked())
        genSinogramAndImage();
}

bool Sinogram::findCor()
{
    if (!procCtrl || !imgs || !corSearch.start(*imgs->snapshot(), procCtrl->rotAxIsV, procCtrl->sliceNo)) {
        emit corSearchFinished(false);
        return false;
    }
    FindCor->setEnabled(false);
    FindCor->setStyleSheet(FieldStyle::busy);
    return true;
}

void Sinogram::corFound(bool found, double cor)
{
    FindCor->setEnabled(true);
    FindCor->setStyleSheet(FieldStyle::idle);
    // Applied as the field shows it, 6 digits, so that the stored centre is the one a user
    // would type from the screen.
    const double shown = realFieldValue(realFieldText(cor));
    if (found && procCtrl) {
        qDebug() << "Centre of rotation found" << shown;
        procCtrl->setCor(shown);
    }
    emit corSearchFinished(found && procCtrl);
}
