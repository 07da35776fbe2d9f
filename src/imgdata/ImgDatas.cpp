#include "ImgDatas.h"

#include "Hdf5Series.h"
#include "ImgData.h"
#include "RowCache.h"

#include <QDebug>

#include <algorithm>

ImgDatas::ImgDatas(QObject *parent) : QObject(parent) {}

ImgDatas::~ImgDatas() = default;

bool ImgDatas::add(const QString &fileName)
{
    if (Hdf5Series::isHdf5File(fileName))
        return addHdf5(fileName);
    std::unique_ptr<ImgData> reader(newImgData(fileType(fileName)));
    if (!reader)
        return false;
    reader->streamThrough(streamCache, streamRows);
    reader->setFileName(fileName);
    const bool ok = reader->open();
    reader->setValid(ok);
    if (!ok) {
        qDebug() << "File is not ready to access" << fileName;
        return false;
    }
    if (width != 0 && (reader->imageWidth() != width || reader->imageHeight() != height)) {
        qDebug() << "Mismatch image size"
                 << qUtf8Printable(QString(": (%1, %2) != (%3, %4) : ")
                                       .arg(width).arg(height).arg(reader->imageWidth()).arg(reader->imageHeight()))
                 << fileName;
        return false;
    }
    if (width == 0) {
        width = reader->imageWidth();
        height = reader->imageHeight();
    }
    imgs.push_back(std::move(reader));
    return true;
}

void ImgDatas::planLoad(const QStringList &files)
{
    streamCache.reset();
    const auto first = std::find_if(files.begin(), files.end(), [](const QString &f) { return !Hdf5Series::isHdf5File(f); });
    if (first == files.end())
        return;
    const std::unique_ptr<ImgData> probe(newImgData(fileType(*first)));
    if (!probe || !probe->probe(*first))
        return;
    // At most 2^31 bytes an image and 2^31 images: no overflow.
    const qint64 images = qint64(count()) + files.size();
    if (probe->memoryBytes() * images <= memoryBudget())
        return;
    streamCache = std::make_shared<RowCache>(memoryBudget());
    streamRows = streamCache->rowsPerBlock(images, probe->imageWidth());
}

bool ImgDatas::addHdf5(const QString &fileName)
{
    Hdf5Series::Contents contents;
    if (!Hdf5Series::read(fileName, contents))
        return false;
    if (width != 0 && (contents.width != width || contents.height != height)) {
        qDebug() << "Mismatch image size"
                 << qUtf8Printable(QString(": (%1, %2) != (%3, %4) : ").arg(width).arg(height).arg(contents.width).arg(contents.height))
                 << fileName;
        return false;
    }
    width = contents.width;
    height = contents.height;
    imgs.insert(imgs.end(), contents.projections.begin(), contents.projections.end());
    fileI0 = contents.i0;
    fileBg = contents.bg;
    return true;
}

ImgData *ImgDatas::i0Image() const
{
    return i0 && *i0 ? i0->get() : fileI0.get();
}

ImgData *ImgDatas::bgImage() const
{
    return bg && *bg ? bg->get() : fileBg.get();
}

std::shared_ptr<const ProjectionSeries> ImgDatas::snapshot() const
{
    std::vector<ProjectionSeries::Reader> readers(imgs.begin(), imgs.end());
    return std::make_shared<const ProjectionSeries>(std::move(readers), width, height,
                                                    i0 && *i0 ? *i0 : fileI0, bg && *bg ? *bg : fileBg);
}

void ImgDatas::clearImgs()
{
    imgs.clear();
    fileI0.reset();
    fileBg.reset();
}

void ImgDatas::clear()
{
    clearImgs();
    width = 0;
    height = 0;
}
