#include "CtCalc2Ui.h"

#include "ColorBar.h"
#include "GreyImage.h"
#include "SliceJob.h"

CtCalc2Ui::CtCalc2Ui(QWidget *parent) : CtSlicePanel(parent)
{
    connect(DispCt, &ImgDispWPV::newPosInvY, this, &CtCalc2Ui::noticedNewPos);
    DispCt->rowValues = [this](int y, double *out) {
        return copyRow(values ? values->data() : nullptr, shownN, shownN, y, out);
    };
    connect(DispCt, &ImgDispWCBar::newBar, this, &CtCalc2Ui::genResImage);
}

void CtCalc2Ui::sliceStarted(int slice)
{
    showStartTime();
    showSliceNo(slice);
}

void CtCalc2Ui::showResult(const SliceResult &result)
{
    showEndTime();
    showSpentT();
    if (!result.show || result.image.isNull())
        return;
    if (result.autoRanged && !colorBar()->isFixed())
        colorBar()->setRange(result.min, result.max);
    DispCt->img = result.image;
    values = result.values;
    shownN = result.n;
    newImage();
}

void CtCalc2Ui::genResImage()
{
    if (!values || shownN < 1)
        return;
    DispCt->img = greyImage(values->data(), shownN, shownN, colorBar()->colorScale());
    newImage();
}

void CtCalc2Ui::noticedNewPos(double x, double z)
{
    showValueAt(x, z, values ? values->data() : nullptr, shownN);
}

void CtCalc2Ui::newImage() { DispCt->newImage(); }
