// zorvel-imginfo FILE...: checks detector files with the workbench's own readers.
// One line per file: "FILE: ITEX|TIFF WIDTHxHEIGHT exp=E min=MIN max=MAX", or
// "FILE: unreadable" after the readers' own debug lines. Exit status 1 when any
// file was unreadable.

#include "ImgData.h"
#include "ImgDataITEX.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

QString describe(const QString &fileName)
{
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
               "Prints one line per ITEX or TIFF image file: type, size, exposure time and value range.\n";
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
