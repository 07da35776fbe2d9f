#pragma once

#include <QRect>
#include <QRectF>
#include <QSizeF>

// The geometry of an image view: which rectangle of the image (in image pixels, x to
// the right, y downward as rows) fills a canvas of a given size. The visible part is
// stretched over the whole canvas, so the two axes scale independently.
class ViewTransform
{
public:
    ViewTransform(const QRectF &view, const QSizeF &canvas) : view(view), canvas(canvas) {}

    // Image coordinates of a canvas position.
    double toImageX(double sx) const { return view.x() + sx * view.width() / canvas.width(); }
    double toImageY(double sy) const { return view.y() + sy * view.height() / canvas.height(); }

    // The whole image.
    static QRectF wholeImage(int imageWidth, int imageHeight);
    // Scales the view by factor about the canvas position (px, py): the image point
    // under it stays under it. No limit in either direction.
    QRectF zoomedAbout(double px, double py, double factor) const;
    // Moves the view so that the image follows the pointer from canvas position
    // (fromX, fromY) to (toX, toY).
    QRectF pannedBy(double fromX, double fromY, double toX, double toY) const;
    // The view grown about its centre, along one axis only, to the canvas's aspect ratio, so
    // that image pixels are square on the canvas. An empty view or canvas is returned as is.
    static QRectF withAspectOf(const QRectF &view, const QSizeF &canvas);
    // The canvas rectangle on which the image rectangle imagePart is drawn.
    QRectF canvasRectOf(const QRectF &imagePart) const;
    // The pixel rectangle of the image that a save writes: each number of the view
    // truncated toward zero.
    static QRect savedPixels(const QRectF &view);

    QRectF view;
    QSizeF canvas;
};
