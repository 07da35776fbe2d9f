#include "ImgDisp.h"

#include "ViewTransform.h"

#include <QDebug>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
// Image pixel of an image coordinate, truncated toward zero. A view zoomed far out puts
// the pointer beyond the int range; such positions stop at its ends (NaN gives 0).
int pixelOf(double coordinate)
{
    if (std::isnan(coordinate))
        return 0;
    return int(std::clamp(coordinate, double(INT_MIN), double(INT_MAX)));
}
} // namespace

ImgDisp::ImgDisp(QWidget *parent)
    : DispAWLayout(parent), mouse(dispA->mouse), coord(dispA->coord)
{
    setMouseTracking(true);
    connect(this, &DispAWLayout::wheelMoved0, this, &ImgDisp::onWheelMoved);
    connect(this, &DispAWLayout::mouseMoved0, this, &ImgDisp::onMouseMoved);
    connect(this, &DispAWLayout::mousePressed0, this, &ImgDisp::onMousePressed);
    connect(this, &DispAWLayout::mouseReleased0, this, &ImgDisp::onMouseReleased);
    connect(this, &DispAWLayout::drawImage1, this, &ImgDisp::draw);
}

ViewTransform ImgDisp::transform() const
{
    return ViewTransform(view, QSizeF(dispA->width(), dispA->height()));
}

void ImgDisp::applyView()
{
    // The screen range is normally set by the canvas's paint; setting it here as well
    // keeps the converter right when the canvas was resized since its last paint.
    coord.setScreen(0, dispA->height(), dispA->width(), 0);
    coord.setRealCoord(view.x(), view.y() + view.height(), view.x() + view.width(), view.y());
}

void ImgDisp::draw(QPainter *p)
{
    // Drawn on every pointer move: the one scaled image and nothing else.
    p->drawImage(QRectF(0, 0, dispA->width(), dispA->height()), img, view);
}

void ImgDisp::newImage()
{
    if (qint64(img.width()) * img.height() < 1)
        return;
    // Zoom and pan persist while the user steps through images of one size; an image of
    // another size (a sinogram narrowed by the centre, a new calculation region) would
    // show in a view cut for the old one, so it is shown whole. A view set by an owner
    // before the first image is kept.
    const bool sizeChanged = shownSize.isValid() && img.size() != shownSize;
    shownSize = img.size();
    if (!scaleSet || sizeChanged) {
        view = ViewTransform::wholeImage(img.width(), img.height());
        applyView();
        scaleSet = true;
        emit newS(view);
    }
    dispA->update();
}

void ImgDisp::resetScale()
{
    view = ViewTransform::wholeImage(img.width(), img.height());
    applyView();
    dispA->update();
}

void ImgDisp::onWheelMoved()
{
    view = transform().zoomedAbout(mouse.pos.x(), mouse.pos.y(), dispA->zoomFactor);
    applyView();
    emit newS(view);
    dispA->update();
}

void ImgDisp::onMouseMoved()
{
    applyView();
    const ViewTransform t = transform();
    const double px = mouse.pos.x();
    const double py = mouse.pos.y();
    emit newPos(pixelOf(t.toImageX(px)), pixelOf(t.toImageY(py)));
    if (!mouse.pressed)
        return;
    if (mouse.pressButton == Qt::LeftButton) {
        const MouseC::MStat s = mouse.pressStat();
        if (s == MouseC::MLeftShift) {
            sel.setWidth(t.toImageX(px) - sel.x());
            sel.setHeight(t.toImageY(py) - sel.y());
        } else if (s == MouseC::MLeft) {
            view = t.pannedBy(mouse.prevPos.x(), mouse.prevPos.y(), px, py);
            applyView();
            emit newS(view);
        }
    }
    dispA->update();
}

void ImgDisp::onMousePressed()
{
    applyView();
    const ViewTransform t = transform();
    const MouseC::MStat s = mouse.pressStat();
    if (s == MouseC::MLeftShift) {
        selecting = true;
        selValid = false;
        sel = QRectF(t.toImageX(mouse.pos.x()), t.toImageY(mouse.pos.y()), 0, 0);
    } else if (s == MouseC::MRightShift) {
        sel = QRectF();
        selecting = false;
        selValid = false;
    }
    dispA->update();
}

void ImgDisp::onMouseReleased()
{
    // The press decides what the release means; the release position is the point.
    // Only a click picks: a plain left drag pans, and a pan must never move the slice.
    const ViewTransform t = transform();
    const double x = t.toImageX(mouse.releasePos.x());
    const double y = t.toImageY(mouse.releasePos.y());
    const MouseC::MStat s = mouse.pressStat();
    if (s == MouseC::MLeftShift && selecting)
        finishSelection();
    else if ((s == MouseC::MLeft || s == MouseC::MRight) && mouse.isClick())
        emit selectedAPoint(x, y, s);
    dispA->update();
}

void ImgDisp::finishSelection()
{
    selecting = false;
    if (sel.width() == 0 || sel.height() == 0)
        return;
    sel = sel.normalized();
    selValid = true;
}

bool ImgDisp::saveImage(QString fname)
{
    const QImage visible = img.copy(ViewTransform::savedPixels(view));
    if (visible.isNull() || !visible.save(fname)) {
        qDebug() << "Failed to save the image" << fname;
        return false;
    }
    return true;
}
