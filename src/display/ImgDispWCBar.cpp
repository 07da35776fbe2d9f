#include "ImgDispWCBar.h"

#include <QGridLayout>

ImgDispWCBar::ImgDispWCBar(QWidget *parent) : ImgDisp(parent), panelRow(new QGridLayout)
{
    Ui::ImgDispWCBar::setupUi(this);
    gridLayout->addWidget(CBar, 0, 1);
    gridLayout->addLayout(panelRow, 1, 0, 1, 2);
    panelRow->addWidget(CBar->panelBase(), 0, 1);
    // The range fields keep their full width in a narrow view; what shares the row
    // with them gives way instead.
    CBar->panelBase()->setMinimumWidth(CBar->panelBase()->sizeHint().width());
    connect(CBar, &ColorBar::newBar, this, &ImgDispWCBar::newBar);
}
