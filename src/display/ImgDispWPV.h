#pragma once

#include "ImgDispWCBar.h"
#include "ui_ImgDispWPV.h"

// An image view with a read-out row: the image pixel under the pointer, the value
// there (set by the owner) and the "Scale Reset" button.
class ImgDispWPV : public ImgDispWCBar, public Ui::ImgDispWPV
{
    Q_OBJECT
public:
    explicit ImgDispWPV(QWidget *parent = nullptr);

signals:
    // Pointer position in image pixels, sent after the read-out was updated.
    void newPosInvY(double x, double y);

public slots:
    void noticedNewPos(int ix, int iy);
    void setVal(double v);
    // Also sizes the read-out for the image's coordinates and the colour bar's range.
    void newImage() override;
};
