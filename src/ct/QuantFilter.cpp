#include "QuantFilter.h"


#include <QtGlobal>

#include <fftw3.h>

#include <cmath>

namespace {

constexpr double pi = 3.141592653589793;

bool hasOnlySmallFactors(qint64 value)
{
    for (const qint64 factor : {2, 3, 5, 7})
        while (value % factor == 0)
            value /= factor;
    return value == 1;
}

// The Ram-Lak kernel over P samples, sample k at distance min(k, P - k).
std::vector<double> ramLakKernel(int p)
{
    std::vector<double> kernel(size_t(p), 0.0);
    kernel[0] = 0.25;
    for (int k = 1; k < p; k += 2) {
        const int distance = k <= p / 2 ? k : p - k;
        kernel[size_t(k)] = -1.0 / ((pi * distance) * (pi * distance));
    }
    return kernel;
}

} // namespace

int QuantFilter::paddedLength(int n)
{
    if (n <= 0)
        return 0;
    qint64 length = 2 * qint64(n);
    while (!hasOnlySmallFactors(length))
        length += 2;
    return int(length);
}

double QuantFilter::window(ReconFilter::Window window, double nu)
{
    switch (window) {
    case ReconFilter::SheppLogan:
        return nu == 0.0 ? 1.0 : std::sin(pi * nu) / (pi * nu);
    case ReconFilter::Cosine:
        return std::cos(pi * nu);
    case ReconFilter::Hamming:
        return 0.54 + 0.46 * std::cos(2.0 * pi * nu);
    case ReconFilter::Hann:
        return 0.5 + 0.5 * std::cos(2.0 * pi * nu);
    case ReconFilter::RamLak:
        break;
    }
    return 1.0;
}

std::vector<double> QuantFilter::response(int p, ReconFilter::Window windowKind)
{
    if (p < 2)
        return {};
    std::vector<double> kernel = ramLakKernel(p);
    const int bins = p / 2 + 1;
    auto *spectrum = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * size_t(bins)));
    const fftw_plan plan = fftw_plan_dft_r2c_1d(p, kernel.data(), spectrum, FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    std::vector<double> values(static_cast<size_t>(bins));
    for (int k = 0; k < bins; ++k)
        values[size_t(k)] = 2.0 * spectrum[k][0] * window(windowKind, double(k) / p);
    fftw_free(spectrum);
    return values;
}
