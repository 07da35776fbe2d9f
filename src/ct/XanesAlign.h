#pragma once

#include "SpectralStack.h"

#include <vector>

// Drift between the energies of a stack: each plane's shift against a reference plane by
// sub-pixel phase correlation, and its correction. Plans are made per call on the calling
// thread (the planner is made thread-safe at start-up, see FftwPlannerThread).
class XanesAlign
{
public:
    struct Shift
    {
        double dx = 0.0; // pixels along x (columns)
        double dz = 0.0; // pixels along z (rows)
    };

    // Shift of every plane against plane `reference`: plane k(x, z) ~ reference(x - dx, z - dz).
    // The peak of the normalised cross-power spectrum is refined by a parabola along each axis.
    static std::vector<Shift> estimate(const SpectralStack &stack, int reference);
    // Moves every plane back by its shift (a phase ramp in Fourier space, periodic at the
    // borders). NaN pixels are taken as the plane's mean while it is moved.
    static void apply(SpectralStack &stack, const std::vector<Shift> &shifts);
};
