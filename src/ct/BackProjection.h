#pragma once

#include <algorithm>
#include <cmath>

// Back-projection of filtered projections into a slice image.
//
// Coordinates: the image is N x N, row-major, image[z * N + x]; the centre is c = N/2.
// Projection j lies at theta = j * pi / M. A pixel (x, z) strictly inside the circle
// of radius c about (c, c) receives the linear interpolation of filtered row j at
//     t = x*cos(theta) + (z*(-sin(theta)) + K),  K = c - (cos(theta)*c + (-sin(theta))*c),
// when 0 <= floor(t) <= N - 2. The region is x from (int)x0 while x < x1, z from
// (int)z0 while z < z1 (truncation toward zero, exclusive upper bounds). A region with a
// NaN bound is empty.
//
// Filtered rows: row j starts at filtered + j * stride; it holds N samples followed by
// at least kBackProjectionPad readable doubles (their values are never used in a sum).

constexpr int kBackProjectionPad = 16;

inline bool regionHasNaN(double x0, double x1, double z0, double z1)
{
    return std::isnan(x0) || std::isnan(x1) || std::isnan(z0) || std::isnan(z1);
}

// Pixels outside 1 ... n - 1 never pass the circle test, so region bounds beyond
// [-1, n + 1] select the same pixels; clamping keeps huge or infinite bounds from
// overflowing the integer loop counters or looping for ages.
inline double clampBound(double v, int n)
{
    return std::min(std::max(v, -1.0), double(n) + 1.0);
}

// Row stride (in doubles) for N samples plus the padding, rounded up to a multiple of 8.
inline int backProjectionStride(int n)
{
    return ((n + kBackProjectionPad + 7) / 8) * 8;
}

// The straightforward loop: projection outer, then z, then x, with the square-root circle
// test and the index test per pixel. Adds projections jBegin..jEnd-1 in that order.
void backProjectReference(const double *filtered, int stride, int n, int m, int jBegin, int jEnd,
                          double x0, double x1, double z0, double z1, double *image);

// Same sums, bit for bit, in the same per-pixel order (projection jBegin first), computed
// with exact per-row bounds and vector code chosen at run time by the processor's features.
void backProjectFast(const double *filtered, int stride, int n, int m, int jBegin, int jEnd,
                     double x0, double x1, double z0, double z1, double *image);
