#pragma once

// A calculation region of a slice in image pixels (x to the right, z downward as image
// rows): x0 <= x < x1, z0 <= z < z1, the lower bounds truncated toward zero.
struct CalcRegion
{
    double x0 = 0.0;
    double z0 = 0.0;
    double x1 = 0.0;
    double z1 = 0.0;
};
