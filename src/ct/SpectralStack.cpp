#include "SpectralStack.h"

#include <cmath>
#include <limits>

namespace {

QString number(double v)
{
    return QString::number(v, 'g', 8);
}

} // namespace

std::int64_t SpectralStack::bytesFor(int energyCount, int width, int height)
{
    return std::int64_t(energyCount) * width * height * std::int64_t(sizeof(float));
}

QString SpectralStack::check(const std::vector<double> &energies, int width, int height, std::int64_t budgetBytes)
{
    if (energies.size() < size_t(minEnergies))
        return QStringLiteral("Spectral stack refused: %1 energies, at least %2 are needed")
            .arg(energies.size()).arg(minEnergies);
    if (energies.size() > size_t(maxEnergies))
        return QStringLiteral("Spectral stack refused: %1 energies, at most %2").arg(energies.size()).arg(maxEnergies);
    for (size_t k = 0; k < energies.size(); ++k) {
        if (!std::isfinite(energies[k]))
            return QStringLiteral("Spectral stack refused: energy %1 is not a number").arg(k);
        if (k > 0 && !(energies[k] > energies[k - 1]))
            return QStringLiteral("Spectral stack refused: energies not increasing (%1 eV after %2 eV)")
                .arg(number(energies[k]), number(energies[k - 1]));
    }
    if (width < 1 || height < 1 || width > maxSide || height > maxSide)
        return QStringLiteral("Spectral stack refused: slice size %1 x %2 outside 1 .. %3").arg(width).arg(height).arg(maxSide);
    const std::int64_t needed = bytesFor(int(energies.size()), width, height);
    if (needed > budgetBytes)
        return QStringLiteral("Spectral stack refused: %1 x %2 pixels at %3 energies need %4 MB, more than the %5 MB allowed")
            .arg(width).arg(height).arg(energies.size()).arg(needed >> 20).arg(budgetBytes >> 20);
    return {};
}

bool SpectralStack::create(const std::vector<double> &energies, int width, int height, QString *why,
                           std::int64_t budgetBytes)
{
    const QString refusal = check(energies, width, height, budgetBytes);
    if (!refusal.isEmpty()) {
        if (why)
            *why = refusal;
        return false;
    }
    energyList = energies;
    w = width;
    h = height;
    values.assign(size_t(bytesFor(count(), w, h) / std::int64_t(sizeof(float))), std::numeric_limits<float>::quiet_NaN());
    return true;
}

bool SpectralStack::setPlane(int k, const float *plane, int planeWidth, int planeHeight, QString *why)
{
    if (k < 0 || k >= count() || planeWidth != w || planeHeight != h) {
        if (why)
            *why = k < 0 || k >= count()
                       ? QStringLiteral("Spectral stack: no energy %1").arg(k)
                       : QStringLiteral("Slice at %1 eV is %2 x %3, the other energies' slices are %4 x %5")
                             .arg(number(k < count() ? energyList[size_t(k)] : 0.0))
                             .arg(planeWidth).arg(planeHeight).arg(w).arg(h);
        return false;
    }
    const int n = count();
    const std::int64_t all = pixels();
    for (std::int64_t p = 0; p < all; ++p)
        values[size_t(p * n + k)] = plane[p];
    return true;
}

std::vector<float> SpectralStack::plane(int k) const
{
    std::vector<float> out(static_cast<size_t>(pixels()));
    const int n = count();
    for (std::int64_t p = 0; p < pixels(); ++p)
        out[size_t(p)] = values[size_t(p * n + k)];
    return out;
}
