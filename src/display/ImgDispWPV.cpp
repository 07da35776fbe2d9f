#include "ImgDispWPV.h"

#include "FieldValue.h"
#include "FieldWidth.h"

#include <QGridLayout>

#include <algorithm>

ImgDispWPV::ImgDispWPV(QWidget *parent) : ImgDispWCBar(parent)
{
    Ui::ImgDispWPV::setupUi(this);
    panelRow->addWidget(PVFrame, 0, 0);
    for (QLineEdit *field : {PosX, PosY, Val})
        FieldWidth::fitReal(field);
    connect(this, &ImgDisp::newPos, this, &ImgDispWPV::noticedNewPos);
    connect(ResetScale, &QPushButton::clicked, this, &ImgDisp::resetScale);
    // 65 pixels holds "Scale Reset" in the fonts the form was laid out with; a wider
    // default font gets the width its label needs instead of a clipped label.
    ResetScale->setMaximumWidth(std::max(ResetScale->maximumWidth(), ResetScale->sizeHint().width()));
    resize(width(), width());
}

void ImgDispWPV::noticedNewPos(int ix, int iy)
{
    PosX->setText(realFieldText(ix));
    PosY->setText(realFieldText(iy));
    emit newPosInvY(ix, iy);
}

void ImgDispWPV::setVal(double v) { Val->setText(realFieldText(v)); }
