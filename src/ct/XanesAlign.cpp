#include "XanesAlign.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct FftwFree
{
    void operator()(void *p) const { fftw_free(p); }
};
using RealBuffer = std::unique_ptr<double[], FftwFree>;
using ComplexBuffer = std::unique_ptr<fftw_complex[], FftwFree>;

// Forward and inverse real transforms of one plane size.
class PlaneTransform
{
public:
    PlaneTransform(int width, int height)
        : w(width), h(height), half(width / 2 + 1), real(fftw_alloc_real(size_t(w) * size_t(h))),
          spectrum(fftw_alloc_complex(size_t(half) * size_t(h)))
    {
        forwardPlan = fftw_plan_dft_r2c_2d(h, w, real.get(), spectrum.get(), FFTW_ESTIMATE);
        inversePlan = fftw_plan_dft_c2r_2d(h, w, spectrum.get(), real.get(), FFTW_ESTIMATE);
    }
    ~PlaneTransform()
    {
        fftw_destroy_plan(forwardPlan);
        fftw_destroy_plan(inversePlan);
    }
    PlaneTransform(const PlaneTransform &) = delete;
    PlaneTransform &operator=(const PlaneTransform &) = delete;

    // Transforms a plane (NaN pixels at the mean of the others) into spectrum().
    std::vector<std::complex<double>> forward(const std::vector<float> &plane)
    {
        double sum = 0.0;
        size_t finite = 0;
        for (float v : plane)
            if (std::isfinite(v)) {
                sum += v;
                ++finite;
            }
        const double mean = finite ? sum / double(finite) : 0.0;
        for (size_t i = 0; i < plane.size(); ++i)
            real[i] = std::isfinite(plane[i]) ? double(plane[i]) : mean;
        fftw_execute(forwardPlan);
        std::vector<std::complex<double>> out(size_t(half) * size_t(h));
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = {spectrum[i][0], spectrum[i][1]};
        return out;
    }
    // Inverse transform, divided by the pixel count.
    std::vector<double> inverse(const std::vector<std::complex<double>> &in)
    {
        for (size_t i = 0; i < in.size(); ++i) {
            spectrum[i][0] = in[i].real();
            spectrum[i][1] = in[i].imag();
        }
        fftw_execute(inversePlan);
        std::vector<double> out(size_t(w) * size_t(h));
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = real[i] / double(out.size());
        return out;
    }
    int halfWidth() const { return half; }

private:
    int w, h, half;
    RealBuffer real;
    ComplexBuffer spectrum;
    fftw_plan forwardPlan = nullptr;
    fftw_plan inversePlan = nullptr;
};

// Signed frequency (cycles per image) of index i of an axis of n points.
int signedFrequency(int i, int n)
{
    return i <= n / 2 ? i : i - n;
}

// Offset of the vertex of the parabola through (-1, a), (0, b), (1, c), within +-0.5.
double peakOffset(double a, double b, double c)
{
    const double curvature = a - 2.0 * b + c;
    return curvature < 0.0 ? std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5) : 0.0;
}

} // namespace

std::vector<XanesAlign::Shift> XanesAlign::estimate(const SpectralStack &stack, int reference)
{
    const int w = stack.width(), h = stack.height();
    PlaneTransform transform(w, h);
    const std::vector<std::complex<double>> fixed = transform.forward(stack.plane(reference));
    std::vector<Shift> shifts(size_t(stack.count()));
    for (int k = 0; k < stack.count(); ++k) {
        if (k == reference)
            continue;
        std::vector<std::complex<double>> cross = transform.forward(stack.plane(k));
        for (size_t i = 0; i < cross.size(); ++i) {
            const std::complex<double> c = cross[i] * std::conj(fixed[i]);
            const double magnitude = std::abs(c);
            cross[i] = magnitude > 0.0 ? c / magnitude : 0.0;
        }
        const std::vector<double> correlation = transform.inverse(cross);
        size_t peak = 0;
        for (size_t i = 1; i < correlation.size(); ++i)
            if (correlation[i] > correlation[peak])
                peak = i;
        const int px = int(peak % size_t(w)), pz = int(peak / size_t(w));
        const auto at = [&](int x, int z) { return correlation[size_t(((z + h) % h) * w + (x + w) % w)]; };
        shifts[size_t(k)].dx = signedFrequency(px, w) + peakOffset(at(px - 1, pz), at(px, pz), at(px + 1, pz));
        shifts[size_t(k)].dz = signedFrequency(pz, h) + peakOffset(at(px, pz - 1), at(px, pz), at(px, pz + 1));
    }
    return shifts;
}

void XanesAlign::apply(SpectralStack &stack, const std::vector<Shift> &shifts)
{
    const int w = stack.width(), h = stack.height();
    PlaneTransform transform(w, h);
    for (int k = 0; k < stack.count() && k < int(shifts.size()); ++k) {
        const Shift s = shifts[size_t(k)];
        if (s.dx == 0.0 && s.dz == 0.0)
            continue;
        std::vector<float> plane = stack.plane(k);
        std::vector<std::complex<double>> spectrum = transform.forward(plane);
        for (int v = 0; v < h; ++v) {
            for (int u = 0; u < transform.halfWidth(); ++u) {
                // Moving by (-dx, -dz): multiply by exp(+2 pi i (u dx / w + v dz / h)).
                const double phase = 2.0 * kPi * (u * s.dx / w + signedFrequency(v, h) * s.dz / h);
                spectrum[size_t(v * transform.halfWidth() + u)] *= std::polar(1.0, phase);
            }
        }
        const std::vector<double> moved = transform.inverse(spectrum);
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = std::isfinite(plane[i]) ? float(moved[i]) : plane[i];
        stack.setPlane(k, plane.data(), w, h, nullptr);
    }
}
