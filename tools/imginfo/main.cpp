// zorvel-imginfo FILE...: checks detector files with the workbench's own readers.
// One line per file: "FILE: ITEX|TIFF WIDTHxHEIGHT exp=E min=MIN max=MAX", or
// for an HDF5 series "FILE: HDF5 LAYOUT WIDTHxHEIGHT TYPE, N projections, F flats,
// D darks, angles A0 to A1 degrees|no angles min=MIN max=MAX" (range over the projections),
// or "FILE: unreadable" after the readers' own debug lines. Exit status 1 when any
// file was unreadable.

#include "Hdf5Series.h"
#include "ImgData.h"
#include "ImgDataITEX.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

QString describeHdf5(const QString &fileName)
{
    Hdf5Series::Contents contents;
    if (!Hdf5Series::read(fileName, contents))
        return QString();
    double minValue = 0, maxValue = 0;
    bool first = true;
    for (const std::shared_ptr<ImgData> &projection : contents.projections) {
        double lo = 0, hi = 0;
        projection->minMax(lo, hi);
        minValue = first ? lo : std::min(minValue, lo);
        maxValue = first ? hi : std::max(maxValue, hi);
        first = false;
    }
    const QString angles = contents.anglesGiven
                               ? QString("angles %1 to %2 degrees").arg(number(contents.firstAngle), number(contents.lastAngle))
                               : QString("no angles");
    return QString("HDF5 %1 %2x%3 %4, %5 projections, %6 flats, %7 darks, %8 min=%9 max=%10")
        .arg(contents.layout)
        .arg(contents.width)
        .arg(contents.height)
        .arg(contents.sampleType)
        .arg(contents.projections.size())
        .arg(contents.flats)
        .arg(contents.darks)
        .arg(angles, number(minValue), number(maxValue));
}

QString describe(const QString &fileName)
{
    if (Hdf5Series::isHdf5File(fileName))
        return describeHdf5(fileName);
    const std::unique_ptr<ImgData> reader = openImgData(fileName);
    if (!reader)
        return QString();
    double minValue = 0, maxValue = 0;
    reader->minMax(minValue, maxValue);
    return QString("%1 %2x%3 exp=%4 min=%5 max=%6")
        .arg(dynamic_cast<const ImgDataITEX *>(reader.get()) ? "ITEX" : "TIFF")
        .arg(reader->imageWidth())
        .arg(reader->imageHeight())
        .arg(QString::number(reader->exposureTime(), 'g', 6))
        .arg(QString::number(minValue, 'g', 6))
        .arg(QString::number(maxValue, 'g', 6));
}

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList files = app.arguments().mid(1);
    QTextStream out(stdout);
    if (files.isEmpty()) {
        out << "usage: zorvel-imginfo FILE...\n"
               "Prints one line per ITEX or TIFF image file (type, size, exposure time and value range)\n"
               "or HDF5 projection series (layout, size, sample type, frames, angles and value range).\n";
        return 0;
    }
    bool anyUnreadable = false;
    for (const QString &file : files) {
        QString info = describe(file);
        if (info.isEmpty()) {
            info = QStringLiteral("unreadable");
            anyUnreadable = true;
        }
        out << file << ": " << info << Qt::endl;
    }
    return anyUnreadable ? 1 : 0;
}
