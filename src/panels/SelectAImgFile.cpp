#include "SelectAImgFile.h"

#include "ColorBar.h"
#include "FieldValue.h"
#include "FieldWidth.h"
#include "ImgData.h"
#include "ImageRendering.h"

#include <QDebug>
#include <QTime>

#include <cmath>

SelectAImgFile::SelectAImgFile(QWidget *parent)
    : SelectAFile(parent), view(nullptr)
{
    // The form's frame is set up on a scratch holder and moved right of Clear: this
    // frame's own grid already belongs to the SelectAFile form.
    auto *holder = new QFrame;
    Ui::SelectAImgFile::setupUi(holder);
    gridLayout_3->addWidget(SelectAImgFileBase, 0, 5);
    delete holder;
    gridLayout = nullptr;

    view.rowValues = [this](int y, double *out) { return image && image->copyLine(view.img.width(), y, out); };
    defaultExpTime = realFieldValue(ExpTimeLE->text());
    FieldWidth::fitReal(ExpTimeLE);
    // The image window is a helper of the main window: closing it must not end a
    // script run without main window, and it must not keep the program alive.
    view.setAttribute(Qt::WA_QuitOnClose, false);

    connect(&view, &ImgDispWPV::newPosInvY, this, &SelectAImgFile::noticedNewPos);
    connect(&view, &ImgDispWCBar::newBar, this, &SelectAImgFile::render);
    connect(this, &SelectAFile::fileSelected, this, &SelectAImgFile::loadImage);
    connect(this, &SelectAFile::clear, this, &SelectAImgFile::clear);
    connect(ShowImg, &QPushButton::clicked, this, &SelectAImgFile::showImageWindow);
}

SelectAImgFile::~SelectAImgFile()
{
    dropImage();
}

void SelectAImgFile::loadImage(const QString &fname)
{
    qDebug() << QTime::currentTime().toString("hh:mm:ss.zzz") << "loading" << fname;
    std::unique_ptr<ImgData> reader = openImgData(fname);
    if (!reader) {
        setStat(false);
        FilePath->setToolTip(failedLoadNote(fname));
        return;
    }
    dropImage();
    setStat(true);
    FilePath->setToolTip(QString());
    image = std::move(reader);
    rowBuffer.assign(size_t(image->imageWidth()), 0.0);
    render();
    view.show();
}

// Builds the picture through the view's colour bar: on a load and on every change of
// the bar, as the other views do.
void SelectAImgFile::render()
{
    if (!image)
        return;
    renderThroughBar(*image, view.img, *view.CBar);
    view.newImage();
}

void SelectAImgFile::noticedNewPos(double x, double y)
{
    if (!image)
        return;
    // Truncation toward zero: -0.5 still reads column 0. NaN fails both comparisons.
    const double column = std::trunc(x);
    const double row = std::trunc(y);
    double value = 0.0;
    if (column >= 0 && column < image->imageWidth() && row >= 0 && row < image->imageHeight())
        value = image->line(int(row), rowBuffer.data())[int(column)];
    view.setVal(value);
}

// The field shows the failed name while the image read before stays in use: the tool
// tip says which one the normalisation actually takes.
QString SelectAImgFile::failedLoadNote(const QString &failed) const
{
    const QString inUse = image ? tr("still in use: \"%1\"").arg(image->imageFileName())
                                : tr("no image in use");
    return tr("Could not read \"%1\"; %2").arg(failed, inUse);
}

void SelectAImgFile::clear()
{
    FilePath->setToolTip(QString());
    dropImage();
    ExpTimeLE->setText(realFieldText(defaultExpTime));
}

void SelectAImgFile::setExpTime(double time)
{
    ExpTimeLE->setText(realFieldText(time));
}

// Brings back an image window the user has closed; a docked view is its owner's to show.
void SelectAImgFile::showImageWindow()
{
    if (view.isWindow() && image) {
        view.show();
        view.raise();
        view.activateWindow();
    }
    emit showImageAsked();
}

void SelectAImgFile::dropImage()
{
    image.reset();
}
