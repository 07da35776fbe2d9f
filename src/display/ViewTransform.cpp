#include "ViewTransform.h"

QRectF ViewTransform::wholeImage(int imageWidth, int imageHeight)
{
    return QRectF(0, 0, imageWidth, imageHeight);
}

QRectF ViewTransform::zoomedAbout(double px, double py, double factor) const
{
    const double w = view.width() * factor;
    const double h = view.height() * factor;
    const double x = toImageX(px) - px / canvas.width() * w;
    const double y = toImageY(py) - py / canvas.height() * h;
    return QRectF(x, y, w, h);
}

QRectF ViewTransform::pannedBy(double fromX, double fromY, double toX, double toY) const
{
    QRectF moved(view);
    moved.moveLeft(view.x() - toImageX(toX) + toImageX(fromX));
    moved.moveTop(view.y() - toImageY(toY) + toImageY(fromY));
    return moved;
}

QRect ViewTransform::savedPixels(const QRectF &view)
{
    return QRect(int(view.x()), int(view.y()), int(view.width()), int(view.height()));
}
