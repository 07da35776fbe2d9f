#pragma once

#include "DispAWLayout.h"
#include "MouseC.h"

#include <QImage>
#include <QRectF>

class ChCoord;
class ViewTransform;

// A view of one grey image on a canvas: wheel zoom about the pointer, pan by dragging,
// Shift + left drag selection, points picked by a click, the image pixel under the pointer, and
// saving the visible part at image resolution. The owner fills img and calls newImage.
class ImgDisp : public DispAWLayout
{
    Q_OBJECT
public:
    explicit ImgDisp(QWidget *parent = nullptr);

    MouseC &mouse;   // the canvas's recorder
    ChCoord &coord;  // canvas pixels -> image pixels, kept in step with view

    bool scaleSet = false;  // view has been initialised from a first image
    QRectF view;            // part of img shown, in image pixels
    QImage img;             // the grey picture; written by the owner

    // Shift + left drag selection in image pixels; the owner reads and draws it.
    bool selecting = false;
    bool selValid = false;
    QRectF sel;

signals:
    void newPos(int ix, int iy);
    void newS(QRectF s);
    void selectedAPoint(double x, double y, MouseC::MStat s);

public slots:
    void onWheelMoved();
    void onMouseMoved();
    void onMousePressed();
    void onMouseReleased();
    void draw(QPainter *p);
    // Views with a read-out extend this to size it for the new image.
    virtual void newImage();
    void resetScale();
    // Writes the visible part of img, in the format of the file name's suffix.
    // False (with a debug line) when nothing could be written.
    bool saveImage(QString fname);

private:
    QSize shownSize;  // of the image newImage last showed; invalid before the first
    ViewTransform transform() const;
    // Puts view into the canvas converter, for this view and for owners' overlays.
    void applyView();
    void finishSelection();
};
