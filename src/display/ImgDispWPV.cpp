#include "ImgDispWPV.h"

#include <QGridLayout>

ImgDispWPV::ImgDispWPV(QWidget *parent) : ImgDispWCBar(parent)
{
    Ui::ImgDispWPV::setupUi(this);
    panelRow->addWidget(PVFrame, 0, 0);
    connect(this, &ImgDisp::newPos, this, &ImgDispWPV::noticedNewPos);
    connect(ResetScale, &QPushButton::clicked, this, &ImgDisp::resetScale);
    resize(width(), width());
}

void ImgDispWPV::noticedNewPos(int ix, int iy)
{
    PosX->setText(QString::number(double(ix), 'g', 6));
    PosY->setText(QString::number(double(iy), 'g', 6));
    emit newPosInvY(ix, iy);
}

void ImgDispWPV::setVal(double v) { Val->setText(QString::number(v, 'g', 6)); }
