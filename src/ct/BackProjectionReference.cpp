#include "BackProjection.h"

#include <cmath>

namespace {

void addProjection(const double *row, int n, double theta, int xBegin, double x1, int zBegin, double z1,
                   double *image)
{
    const double c = n * 0.5;
    const double s = std::sin(theta);
    const double cs = std::cos(theta);
    const double k = c - (cs * c + (-s) * c);
    for (int z = zBegin; z < z1; ++z) {
        for (int x = xBegin; x < x1; ++x) {
            const double dx = x - c;
            const double dz = z - c;
            const double r = std::sqrt(dx * dx + dz * dz);
            if (!(r < c))
                continue;
            // Detector position in samples: c + (x - c) cos(theta) - (z - c) sin(theta).
            const double t = x * cs + (z * (-s) + k);
            const int i = int(std::floor(t));
            if (i < 0 || i > n - 2)
                continue;
            image[size_t(z) * n + x] += row[i] + (t - i) * (row[i + 1] - row[i]);
        }
    }
}

} // namespace

void backProjectReference(const double *filtered, int stride, int n, int m, int jBegin, int jEnd,
                          double x0, double x1, double z0, double z1, double *image)
{
    if (n <= 0 || m <= 0 || regionHasNaN(x0, x1, z0, z1))
        return;
    x0 = clampBound(x0, n);
    x1 = clampBound(x1, n);
    z0 = clampBound(z0, n);
    z1 = clampBound(z1, n);
    const double pi = 3.141592653589793;
    for (int j = jBegin; j < jEnd; ++j) {
        const double theta = j * pi / m;
        addProjection(filtered + size_t(j) * stride, n, theta, int(x0), x1, int(z0), z1, image);
    }
}
