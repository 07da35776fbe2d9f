#include "ImageRendering.h"

#include "ColorBar.h"
#include "ImgData.h"
#include "ImgDatas.h"

bool renderThroughBar(ImgData &img, QImage &picture, ColorBar &bar)
{
    ColorScale scale = bar.colorScale();
    if (!img.toImage(picture, scale, !bar.isFixed()))
        return false;
    bar.autoRange(scale.minV, scale.maxV);
    return true;
}

bool renderThroughBar(ImgDatas &series, int index, QImage &picture, ColorBar &bar)
{
    ColorScale scale = bar.colorScale();
    if (!series.showImage(index, picture, scale, !bar.isFixed()))
        return false;
    bar.autoRange(scale.minV, scale.maxV);
    return true;
}
