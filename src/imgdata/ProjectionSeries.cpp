#include "ProjectionSeries.h"

#include "ImgData.h"

ProjectionSeries::ProjectionSeries(std::vector<Reader> projections, int width, int height, Reader i0, Reader bg)
    : projections(std::move(projections)), width(width), height(height), i0(std::move(i0)), bg(std::move(bg))
{
}
