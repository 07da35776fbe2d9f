#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// The reconstructions of one slice at every energy of a CT-XAFS sequence, in energy order,
// as 32-bit floats. Stored pixel by pixel (the spectrum of a pixel is contiguous), because
// everything done with the stack works on one pixel's spectrum at a time.
//
// A stack is made for known energies and a known slice size, then filled plane by plane.
// Its memory is counted before it is allocated: a stack over the budget is refused.
class SpectralStack
{
public:
    static constexpr int minEnergies = 8;
    static constexpr int maxEnergies = 4096;
    static constexpr int maxSide = 32768;
    static constexpr std::int64_t defaultBudgetBytes = std::int64_t(4) << 30;

    SpectralStack() = default;

    // Empty when a stack of these energies and this size fits the budget, else a one-line
    // reason: energies not increasing or not finite, fewer than minEnergies, a bad size, too
    // much memory.
    static QString check(const std::vector<double> &energies, int width, int height,
                         std::int64_t budgetBytes = defaultBudgetBytes);
    // Allocates the stack (every value NaN until its plane is set). False, with the reason of
    // check() in *why, when it is refused.
    bool create(const std::vector<double> &energies, int width, int height, QString *why,
                std::int64_t budgetBytes = defaultBudgetBytes);
    // Stores plane k (row-major width x height). False with a reason when the size differs.
    bool setPlane(int k, const float *plane, int planeWidth, int planeHeight, QString *why);
    // Plane k copied out of the stack (row-major).
    std::vector<float> plane(int k) const;

    static std::int64_t bytesFor(int energyCount, int width, int height);
    std::int64_t bytes() const { return bytesFor(count(), w, h); }
    int count() const { return int(energyList.size()); }
    int width() const { return w; }
    int height() const { return h; }
    std::int64_t pixels() const { return std::int64_t(w) * h; }
    const std::vector<double> &energies() const { return energyList; }
    // The spectrum of pixel p (p = z * width + x): count() values in energy order.
    const float *spectrum(std::int64_t p) const { return values.data() + p * count(); }
    float *spectrum(std::int64_t p) { return values.data() + p * count(); }

private:
    std::vector<double> energyList;
    int w = 0;
    int h = 0;
    std::vector<float> values;
};
