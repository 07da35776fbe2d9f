#include "ImgDatas.h"

#include "ImgData.h"

#include <QDebug>

ImgDatas::ImgDatas(QObject *parent) : QObject(parent) {}

ImgDatas::~ImgDatas() = default;

bool ImgDatas::add(const QString &fileName)
{
    std::unique_ptr<ImgData> reader(newImgData(fileType(fileName)));
    if (!reader)
        return false;
    reader->setKeepInMemory(true);
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

std::shared_ptr<const ProjectionSeries> ImgDatas::snapshot() const
{
    std::vector<ProjectionSeries::Reader> readers(imgs.begin(), imgs.end());
    return std::make_shared<const ProjectionSeries>(std::move(readers), width, height,
                                                    i0 ? *i0 : nullptr, bg ? *bg : nullptr);
}

void ImgDatas::clearImgs()
{
    imgs.clear();
}

void ImgDatas::clear()
{
    clearImgs();
    width = 0;
    height = 0;
}
