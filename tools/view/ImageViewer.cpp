#include "ImageViewer.h"

#include "ImgData.h"
#include "ImageRendering.h"
#include "ImgDispWPV.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QMouseEvent>

ImageViewer::ImageViewer() : display(new ImgDispWPV)
{
    connect(display.get(), &ImgDispWCBar::newBar, this, &ImageViewer::render);
    connect(display.get(), &ImgDispWPV::newPosInvY, this, &ImageViewer::showValue);
}

ImageViewer::~ImageViewer() = default;

bool ImageViewer::open(const QString &fileName)
{
    reader = openImgData(fileName);
    if (!reader)
        return false;
    row.assign(size_t(reader->imageWidth()), 0.0);
    display->setWindowTitle(QString("%1 (%2 x %3)")
                                .arg(QFileInfo(fileName).fileName())
                                .arg(reader->imageWidth())
                                .arg(reader->imageHeight()));
    render();
    return true;
}

void ImageViewer::render()
{
    if (!reader)
        return;
    renderThroughBar(*reader, display->img, *display->CBar);
    display->newImage();
}

void ImageViewer::showValue(double x, double y)
{
    const int ix = int(x);
    const int iy = int(y);
    if (!reader || ix < 0 || iy < 0 || ix >= reader->imageWidth() || iy >= reader->imageHeight())
        return;
    display->setVal(reader->line(iy, row.data())[ix]);
}

void ImageViewer::pointAt(int canvasX, int canvasY)
{
    QWidget *canvas = display->dispA;
    const QPointF at(canvasX, canvasY);
    QMouseEvent move(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &move);
}
