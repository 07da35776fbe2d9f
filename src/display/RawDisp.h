#pragma once

#include "ImgDispWPV.h"

// The view of the measured projection images in the main window.
class RawDisp : public ImgDispWPV
{
    Q_OBJECT
public:
    explicit RawDisp(QWidget *parent = nullptr);
};
