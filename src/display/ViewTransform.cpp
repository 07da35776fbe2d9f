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

QRectF ViewTransform::withAspectOf(const QRectF &view, const QSizeF &canvas)
{
    if (view.isEmpty() || canvas.isEmpty())
        return view;
    const double canvasAspect = canvas.width() / canvas.height();
    QSizeF grown = view.size();
    if (view.width() / view.height() < canvasAspect)
        grown.setWidth(view.height() * canvasAspect);
    else
        grown.setHeight(view.width() / canvasAspect);
    QRectF fitted(QPointF(), grown);
    fitted.moveCenter(view.center());
    return fitted;
}

QRectF ViewTransform::canvasRectOf(const QRectF &imagePart) const
{
    const double sx = canvas.width() / view.width();
    const double sy = canvas.height() / view.height();
    return QRectF((imagePart.x() - view.x()) * sx, (imagePart.y() - view.y()) * sy,
                  imagePart.width() * sx, imagePart.height() * sy);
}
