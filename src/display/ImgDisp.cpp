#include "ImgDisp.h"

#include "FileDialogs.h"
#include "FloatTiff.h"
#include "ViewTransform.h"

#include <QAction>
#include <QDebug>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>

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

bool copyRow(const double *data, int width, int height, int y, double *out)
{
    if (!data || y < 0 || y >= height)
        return false;
    std::copy_n(data + qint64(y) * width, width, out);
    return true;
}

ImgDisp::ImgDisp(QWidget *parent)
    : DispAWLayout(parent), mouse(dispA->mouse), coord(dispA->coord)
{
    setMouseTracking(true);
    connect(this, &DispAWLayout::wheelMoved0, this, &ImgDisp::onWheelMoved);
    connect(this, &DispAWLayout::mouseMoved0, this, &ImgDisp::onMouseMoved);
    connect(this, &DispAWLayout::mousePressed0, this, &ImgDisp::onMousePressed);
    connect(this, &DispAWLayout::mouseReleased0, this, &ImgDisp::onMouseReleased);
    connect(this, &DispAWLayout::drawImage1, this, &ImgDisp::draw);

    keepAspect = new QAction(tr("Keep aspect ratio"), this);
    keepAspect->setCheckable(true);
    connect(keepAspect, &QAction::toggled, this, [this] { applyView(), dispA->update(); });
    auto *saveAction = new QAction(tr("Save view as…"), this);
    connect(saveAction, &QAction::triggered, this, &ImgDisp::askSaveView);
    addActions({keepAspect, saveAction});
    setContextMenuPolicy(Qt::ActionsContextMenu);
    FileDialogs::setUp(saveDialog);
    saveDialog.setAcceptMode(QFileDialog::AcceptSave);
    connect(&saveDialog, &QFileDialog::fileSelected, this, &ImgDisp::saveView);
}

void ImgDisp::setKeepAspectRatio(bool keep) { keepAspect->setChecked(keep); }
bool ImgDisp::keepsAspectRatio() const { return keepAspect->isChecked(); }

QRectF ImgDisp::shownView() const
{
    const QSizeF canvas(dispA->width(), dispA->height());
    return keepsAspectRatio() ? ViewTransform::withAspectOf(view, canvas) : view;
}

ViewTransform ImgDisp::transform() const
{
    return ViewTransform(shownView(), QSizeF(dispA->width(), dispA->height()));
}

void ImgDisp::applyView()
{
    // The screen range is normally set by the canvas's paint; setting it here as well
    // keeps the converter right when the canvas was resized since its last paint.
    coord.setScreen(0, dispA->height(), dispA->width(), 0);
    const QRectF shown = shownView();
    coord.setRealCoord(shown.x(), shown.y() + shown.height(), shown.x() + shown.width(), shown.y());
}

void ImgDisp::draw(QPainter *p)
{
    // Drawn on every pointer move: the one scaled image and nothing else. Only the part
    // inside the image is drawn; a kept aspect ratio leaves the canvas's white around it.
    applyView();  // the canvas may have been resized since the view was last applied
    const ViewTransform t = transform();
    const QRectF inside = t.view.intersected(QRectF(QPointF(), img.size()));
    if (!inside.isEmpty())
        p->drawImage(t.canvasRectOf(inside), img, inside);
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
    emit selectedARect(sel);
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

void ImgDisp::askSaveView()
{
    QStringList filters{tr("PNG picture as shown (*.png)")};
    if (rowValues)
        filters << tr("32-bit float TIFF of the values (*.tif *.tiff)");
    saveDialog.setNameFilters(filters);
    saveDialog.setDefaultSuffix(QStringLiteral("png"));
    FileDialogs::open(saveDialog, lastSaved);
}

bool ImgDisp::saveView(const QString &fname)
{
    lastSaved = fname;
    const QString suffix = QFileInfo(fname).suffix().toLower();
    const bool values = suffix == QLatin1String("tif") || suffix == QLatin1String("tiff");
    return values ? saveValues(fname) : saveShown(fname);
}

bool ImgDisp::saveShown(const QString &fname) const
{
    QSaveFile file(fname);
    const QByteArray format = QFileInfo(fname).suffix().toLatin1();
    const bool saved = file.open(QIODevice::WriteOnly)
                       && dispA->grab().save(&file, format.isEmpty() ? "png" : format.constData())
                       && file.commit();
    if (!saved)
        qDebug() << "Failed to save the view" << fname;
    return saved;
}

bool ImgDisp::saveValues(const QString &fname) const
{
    // The whole pixels of the image that the canvas shows, at image resolution.
    const QRect part = ViewTransform::savedPixels(shownView()).intersected(QRect(QPoint(), img.size()));
    std::vector<float> values;
    std::vector<double> row(size_t(std::max(img.width(), 0)));
    bool read = rowValues && !part.isEmpty();
    if (read)
        values.reserve(size_t(part.width()) * size_t(part.height()));
    for (int y = part.top(); read && y <= part.bottom(); ++y) {
        read = rowValues(y, row.data());
        values.insert(values.end(), row.begin() + part.left(), row.begin() + part.left() + part.width());
    }
    if (!read) {
        qDebug() << "No values to save in" << fname;
        return false;
    }
    return FloatTiff::write(fname, part.width(), part.height(), values);
}
