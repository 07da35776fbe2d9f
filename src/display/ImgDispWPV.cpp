#include "ImgDispWPV.h"

#include "FieldValue.h"
#include "FieldWidth.h"

#include <QGridLayout>

#include <algorithm>

ImgDispWPV::ImgDispWPV(QWidget *parent) : ImgDispWCBar(parent)
{
    Ui::ImgDispWPV::setupUi(this);
    panelRow->addWidget(PVFrame, 0, 0);
    connect(this, &ImgDisp::newPos, this, &ImgDispWPV::noticedNewPos);
    connect(ResetScale, &QPushButton::clicked, this, &ImgDisp::resetScale);
    // 65 pixels holds "Scale Reset" in the fonts the form was laid out with; a wider
    // default font gets the width its label needs instead of a clipped label.
    ResetScale->setMaximumWidth(std::max(ResetScale->maximumWidth(), ResetScale->sizeHint().width()));
    resize(width(), width());
}

void ImgDispWPV::noticedNewPos(int ix, int iy)
{
    // Beside the image (zoomed out, panned, or an image narrower than the last) there is
    // no pixel to report: the fields go blank rather than keep a stale value. The owners
    // write Val only for pixels of their data.
    const bool inside = img.rect().contains(ix, iy);
    PosX->setText(inside ? realFieldText(ix) : QString());
    PosY->setText(inside ? realFieldText(iy) : QString());
    if (!inside)
        Val->clear();
    emit newPosInvY(ix, iy);
}

void ImgDispWPV::setVal(double v) { Val->setText(realFieldText(v)); }

void ImgDispWPV::newImage()
{
    ImgDisp::newImage();
    PosX->setTypicalTexts({realFieldText(std::max(0, img.width() - 1))});
    PosY->setTypicalTexts({realFieldText(std::max(0, img.height() - 1))});
    Val->setTypicalTexts(FieldWidth::valueTexts(CBar->minV(), CBar->maxV()));
}
