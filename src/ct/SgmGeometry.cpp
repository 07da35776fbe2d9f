#include "SgmGeometry.h"

#include <algorithm>
#include <cmath>

SgmGeometry SgmGeometry::compute(bool rotAxIsV, int dim, double cor)
{
    SgmGeometry g;
    g.rotAxIsV = rotAxIsV;
    g.cor = cor;
    if (!std::isfinite(cor))
        return g;
    const double reach = std::floor(std::min(cor, dim - cor - 1.0));
    // Clamped before the conversion: a centre far outside the detector must not
    // overflow the integer, and a negative reach builds nothing either way.
    g.halfW = reach > 0.0 ? int(std::min(reach, double(dim))) : 0;
    g.w = 2 * g.halfW - 1;
    const double floorCor = std::floor(cor);
    if (std::abs(floorCor) < 2147483647.0) {
        g.iCor = int(floorCor);
        g.dCor = cor - g.iCor;
    }
    return g;
}

void resampleLine(const double *line, double *out, const SgmGeometry &geometry)
{
    const int halfW = geometry.halfW;
    for (int k = 1 - halfW; k <= halfW - 1; ++k) {
        const int i = geometry.iCor + k;
        out[k + halfW - 1] = lerp(geometry.dCor + i, i, line[i], i + 1, line[i + 1]);
    }
}
