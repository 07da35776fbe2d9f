#include "ImgDispWCBar.h"

#include <QGridLayout>

ImgDispWCBar::ImgDispWCBar(QWidget *parent) : ImgDisp(parent), panelRow(new QGridLayout)
{
    Ui::ImgDispWCBar::setupUi(this);
    gridLayout->addWidget(CBar, 0, 1);
    gridLayout->addLayout(panelRow, 1, 0, 1, 2);
    panelRow->addWidget(CBar->panelBase(), 0, 1);
    connect(CBar, &ColorBar::newBar, this, &ImgDispWCBar::newBar);
}
