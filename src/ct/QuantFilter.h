#pragma once

#include "ReconFilter.h"

#include <vector>

// The filter of the quantitative reconstruction mode.
//
// Each sinogram row of N samples is zero-padded to paddedLength(N) = P samples, so the
// circular convolution of the FFT equals the linear one over the N samples kept. The
// filter is the exact discrete Ram-Lak kernel of unit sample spacing,
//     h(0) = 1/4,  h(n) = -1/(pi n)^2 for odd n,  h(n) = 0 for even n != 0,
// laid out circularly over P samples and transformed; its response is close to
// 2|nu| (nu in cycles per sample), the factor 2 matching the final scale pi/(2M).
// A window multiplies the response over the padded frequency axis, nu = k/P.
class QuantFilter
{
public:
    // The smallest even length >= 2n whose only prime factors are 2, 3, 5 and 7 (FFTW
    // is fast for those); 0 for n <= 0.
    static int paddedLength(int n);
    // Window value at frequency nu (cycles per sample, 0 ... 1/2).
    static double window(ReconFilter::Window window, double nu);
    // The real response of bins k = 0 ... P/2 (P even): 2 Re(FFT(h))[k] * window(k/P).
    // Plans a transform: call it on the FFTW planner thread.
    static std::vector<double> response(int p, ReconFilter::Window window);
};
