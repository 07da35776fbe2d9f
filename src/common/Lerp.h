#pragma once

// Two-point linear interpolation at x through (x0, y0) and (x1, y1); the mean of y0 and
// y1 when x1 == x0. Inline: the sinogram resampling calls it for every sample.
inline double lerp(double x, double x0, double y0, double x1, double y1)
{
    if (x1 == x0)
        return (y0 + y1) * 0.5;
    return (x - x0) * ((y1 - y0) / (x1 - x0)) + y0;
}
