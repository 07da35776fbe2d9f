#pragma once

#include "ImgDisp.h"
#include "ui_ImgDispWCBar.h"

class QGridLayout;

// An image view with its colour bar right of the canvas and the bar's panel below.
class ImgDispWCBar : public ImgDisp, public Ui::ImgDispWCBar
{
    Q_OBJECT
public:
    explicit ImgDispWCBar(QWidget *parent = nullptr);

signals:
    // The colour scale was changed by the user; the owner rebuilds img.
    void newBar();

protected:
    QGridLayout *panelRow;  // below canvas and bar; column 1 holds the bar's panel
};
