#pragma once

#include "CalcRegion.h"
#include "SaveSettings.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Names and contents of the files a reconstruction worker saves after each slice.
//
// Automatic names: the base name, then "-tag" when a tag is given, then "-%05d" of the
// slice number, then the suffix ("png", "dat" or "tif"). The directory part of the base name
// is dropped; a suffix of the base name is kept through the tags and then replaced.
//
// The data file is text, line feeds only: "#ZRVL-CTImg", five header lines with the
// region, then one line "x<TAB>z<TAB>value" per pixel of the region inside the image,
// z outer and x inner. Reals are written as C's %g writes them (6 significant digits).
class ResultFiles
{
public:
    // base + "-" + tag + "." + suffix, base and suffix split at the last dot of the
    // file name (no dot: the whole name is the base and the suffix is empty).
    static QString tagStep(const QString &name, const QString &tag);
    // base + "." + suffix: any earlier suffix is replaced.
    static QString suffixStep(const QString &name, const QString &suffix);
    // The automatic name of a slice's file, e.g. ("ct", "E1", 12, "png") -> ct-E1-00012.png.
    static QString autoName(const QString &name, const QString &tag, int slice, const QString &suffix);
    // fname taken relative to dir (an absolute fname unchanged), made absolute.
    static QString fullPath(const QString &dir, const QString &fname);
    // The absolute path of a slice's file under these settings: fullPath of autoName.
    static QString sliceFile(const SaveSettings &save, int slice, const QString &suffix)
    {
        return fullPath(save.path, autoName(save.name, save.tag, slice, suffix));
    }

    // The whole data file of an n x n image (row-major, image[z * n + x]) over region.
    // Pixels of the region outside the image are left out.
    static QByteArray dataText(const double *image, int n, const CalcRegion &region);
    // The pixels of the region inside an n x n image: [xBegin, xEnd) x [zBegin, zEnd),
    // empty when nothing of the region lies inside. These are the pixels a data file holds.
    struct Pixels
    {
        qint64 xBegin, xEnd, zBegin, zEnd;
    };
    static Pixels pixelsInside(int n, const CalcRegion &region);
    // The same pixels as a 32-bit float TIFF, the region's first row and column first;
    // empty when the region holds no pixel of the image.
    static QByteArray floatTiff(const double *image, int n, const CalcRegion &region);
    // The same pixels as 32-bit floats, row-major; *width and *height their size (0 when
    // the region holds no pixel of the image).
    static std::vector<float> floatPixels(const double *image, int n, const CalcRegion &region, int *width, int *height);
    // Appends v as printf("%g") writes it.
    static void appendReal(QByteArray &text, double v);
};
