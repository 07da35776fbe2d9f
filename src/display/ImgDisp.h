#pragma once

#include "DispAWLayout.h"
#include "MouseC.h"

#include <QFileDialog>
#include <QImage>
#include <QRectF>

#include <functional>

class ChCoord;
class QAction;
class ViewTransform;

// A view of one grey image on a canvas: wheel zoom about the pointer, pan by dragging,
// Shift + left drag selection, points picked by a click, the image pixel under the pointer, and
// saving the visible part at image resolution. The owner fills img and calls newImage.
// Its context menu (a right click beside the picture, or Ctrl + right click on it: a plain
// right click on the picture picks a point) keeps the aspect ratio and saves the view.
// Row y of a row-major width x height array into out (a rowValues helper); false outside
// the array or without one.
bool copyRow(const double *data, int width, int height, int y, double *out);

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
    // The numbers behind row y of img (img.width() of them) into out; false when there
    // are none. Set by owners whose picture stands for values, for the float TIFF save.
    std::function<bool(int y, double *out)> rowValues;

    // Shift + left drag selection in image pixels; the owner reads and draws it.
    bool selecting = false;
    bool selValid = false;
    QRectF sel;

signals:
    void newPos(int ix, int iy);
    void newS(QRectF s);
    void selectedAPoint(double x, double y, MouseC::MStat s);
    // A Shift-drag ended with a rectangle of the image (`sel`, normalised).
    void selectedARect(QRectF rect);

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
    // "Save view as…": a .tif/.tiff name gets the visible values as 32-bit floats, any
    // other name the picture as shown on the canvas. False (with a debug line) on failure.
    bool saveView(const QString &fname);
    // Square image pixels: the shown part is widened to the canvas's aspect ratio.
    void setKeepAspectRatio(bool keep);
    bool keepsAspectRatio() const;
    // The part of the image the canvas shows: view, widened when the aspect is kept.
    QRectF shownView() const;

private:
    QSize shownSize;  // of the image newImage last showed; invalid before the first
    QAction *keepAspect;
    QFileDialog saveDialog;
    QString lastSaved;
    void askSaveView();
    bool saveValues(const QString &fname) const;
    bool saveShown(const QString &fname) const;
    ViewTransform transform() const;
    // Puts view into the canvas converter, for this view and for owners' overlays.
    void applyView();
    void finishSelection();
};
