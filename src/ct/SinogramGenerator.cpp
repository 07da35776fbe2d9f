#include "SinogramGenerator.h"

#include "HSgm.h"
#include "ImgData.h"
#include "ProjectionSeries.h"
#include "SgmGeometry.h"

#include <QDebug>

#include <cmath>
#include <vector>

namespace {
// A difference that is not a positive finite number (a dead or saturated pixel, a NaN
// or infinite float sample) counts as 1: zero attenuation instead of a NaN that the
// filter would spread over the whole slice.
double usableDifference(double d)
{
    return std::isfinite(d) && d > 0.0 ? d : 1.0;
}
}

bool SinogramGenerator::genSinogram0(const ProjectionSeries &imgs, HSgm *hSgm, bool rotAxIsV, double cor, int slice)
{
    if (!hSgm || !std::isfinite(cor))
        return false;
    const int dim = rotAxIsV ? imgs.imageWidth() : imgs.imageHeight();
    if (std::floor(cor) <= 0.0 || std::ceil(cor) >= dim)
        return false;
    // A slice is a row when the axis is vertical, a column otherwise.
    const int sliceCount = rotAxIsV ? imgs.imageHeight() : imgs.imageWidth();
    if (slice < 0 || slice >= sliceCount) {
        qDebug() << "Slice out of range :" << slice;
        return false;
    }
    const SgmGeometry geometry = SgmGeometry::compute(rotAxIsV, dim, cor);
    if (geometry.halfW < 1)
        return false;
    hSgm->slice = slice;

    const int w = geometry.w;
    const int m = imgs.count();
    hSgm->resize(w, m);

    std::vector<double> numRow(static_cast<size_t>(w));
    std::vector<double> bgRow(static_cast<size_t>(w));
    std::vector<double> lineBuf(static_cast<size_t>(dim));
    referenceRow(imgs.i0Image(), imgs, geometry, slice, 1.0, numRow.data(), lineBuf.data());
    referenceRow(imgs.bgImage(), imgs, geometry, slice, 0.0, bgRow.data(), lineBuf.data());
    // I0 - BG is the same for every projection: computed once, in place of the I0 row.
    for (int k = 0; k < w; ++k)
        numRow[k] = usableDifference(numRow[k] - bgRow[k]);

    for (int j = 0; j < m; ++j) {
        readLine(*imgs.at(j), rotAxIsV, slice, lineBuf.data());
        double *raw = hSgm->rawSgm + size_t(j) * w;
        double *att = hSgm->sgm + size_t(j) * w;
        resampleLine(lineBuf.data(), raw, geometry);
        for (int k = 0; k < w; ++k)
            att[k] = std::log(numRow[k] / usableDifference(raw[k] - bgRow[k]));
    }
    return true;
}

void SinogramGenerator::referenceRow(const ImgData *img, const ProjectionSeries &imgs, const SgmGeometry &geometry,
                                     int slice, double neutral, double *row, double *lineBuf)
{
    bool usable = img && img->isValid();
    // A reference image of another size would be read past its pixels (or past the
    // line buffer), so it is not used at all.
    if (usable && (img->imageWidth() != imgs.imageWidth() || img->imageHeight() != imgs.imageHeight())) {
        qDebug() << "Reference image size differs from the projections :" << img->imageFileName();
        usable = false;
    }
    if (!usable) {
        for (int k = 0; k < geometry.w; ++k)
            row[k] = neutral;
        return;
    }
    readLine(*img, geometry.rotAxIsV, slice, lineBuf);
    resampleLine(lineBuf, row, geometry);
}

void SinogramGenerator::readLine(const ImgData &img, bool rotAxIsV, int slice, double *lineBuf)
{
    if (rotAxIsV)
        img.line(slice, lineBuf);
    else
        img.column(slice, lineBuf);
}
