#include "CorFinder.h"

#include "HSgm.h"
#include "ImgDatas.h"
#include "SinogramGenerator.h"

#include <QDebug>

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>

namespace {

using Complex = std::complex<double>;

constexpr double kPi = 3.141592653589793;
constexpr double kCoarseStep = 0.5; // pixels
constexpr double kFineStep = 0.01;  // pixels

// Smallest length >= n made of the factors 2, 3 and 5, which FFTW transforms fastest.
int smoothLength(int n)
{
    for (int length = n;; ++length) {
        int rest = length;
        for (int factor : {2, 3, 5})
            while (rest % factor == 0)
                rest /= factor;
        if (rest == 1)
            return length;
    }
}

// The two-dimensional spectrum of the measured rows, A(n, m): 2M angular frequencies n
// (rows; the rows are zero-padded to a full turn) by width / 2 + 1 detector frequencies m.
// Each row is padded to `width` with a straight line from its last sample back to its first,
// so that it has no jump where the transform wraps it around.
std::vector<Complex> halfTurnSpectrum(const CorFinder::Sinogram &sinogram, int width)
{
    const int rows = 2 * sinogram.h;
    const int columns = width / 2 + 1;
    double *in = fftw_alloc_real(size_t(rows) * size_t(width));
    fftw_complex *out = fftw_alloc_complex(size_t(rows) * size_t(columns));
    fftw_plan plan = fftw_plan_dft_r2c_2d(rows, width, in, out, FFTW_ESTIMATE);
    std::fill(in, in + size_t(rows) * size_t(width), 0.0);
    const int pad = width - sinogram.w;
    for (int j = 0; j < sinogram.h; ++j) {
        const double *row = sinogram.values.data() + size_t(j) * size_t(sinogram.w);
        double *padded = in + size_t(j) * size_t(width);
        std::copy(row, row + sinogram.w, padded);
        const double last = row[sinogram.w - 1];
        for (int p = 1; p <= pad; ++p)
            padded[sinogram.w + p - 1] = last + (row[0] - last) * p / (pad + 1);
    }
    fftw_execute(plan);
    std::vector<Complex> spectrum(size_t(rows) * size_t(columns));
    std::memcpy(static_cast<void *>(spectrum.data()), out, sizeof(fftw_complex) * spectrum.size());
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
    return spectrum;
}

// The part of the metric that depends on the trial centre c (in samples of the padded row):
//   energy(c) = constant + 4 sum_m Re(K(m) exp(i 4 pi m c / width)),
//   K(m) = sum over (n, m) outside the double wedge of (-1)^n A(n, m) A(-n, m).
// (-1)^n is the phase of the mirrored rows, which start half a turn later.
std::vector<Complex> mirrorCoefficients(const std::vector<Complex> &spectrum, int h, int w, int width)
{
    const int rows = 2 * h;
    const int columns = width / 2 + 1;
    // The object fits in the field: radius w / 2 pixels. Frequencies m = 0 and 1 hold
    // the mean and the slow trends of the rows, not their alignment.
    const double wedgeSlope = 2.0 * kPi * (w * 0.5) / width;
    std::vector<Complex> coefficients(static_cast<size_t>(columns));
    for (int m = 2; m < columns - 1; ++m) {
        const double bound = wedgeSlope * m;
        Complex sum;
        for (int index = 0; index < rows; ++index) {
            const int n = index <= h ? index : index - rows;
            if (std::abs(n) <= bound)
                continue;
            const Complex product = spectrum[size_t(index) * columns + m] *
                                    spectrum[size_t((rows - index) % rows) * columns + m];
            sum += index % 2 == 0 ? product : -product;
        }
        coefficients[size_t(m)] = sum;
    }
    return coefficients;
}

double mismatch(const std::vector<Complex> &coefficients, int width, double c)
{
    double sum = 0.0;
    for (size_t m = 0; m < coefficients.size(); ++m)
        sum += std::real(coefficients[m] * std::polar(1.0, 4.0 * kPi * double(m) * c / width));
    return sum;
}

// The c of least mismatch on the grid from..to (both included) with this step.
double gridMinimum(const std::vector<Complex> &coefficients, int width, double from, double to, double step)
{
    double best = from;
    double bestValue = mismatch(coefficients, width, from);
    for (int i = 1; from + i * step <= to; ++i) {
        const double c = from + i * step;
        const double value = mismatch(coefficients, width, c);
        if (value < bestValue) {
            bestValue = value;
            best = c;
        }
    }
    return best;
}

// The vertex of the parabola through c - step, c, c + step, when it opens upwards.
double parabolaVertex(const std::vector<Complex> &coefficients, int width, double c, double step)
{
    const double below = mismatch(coefficients, width, c - step);
    const double at = mismatch(coefficients, width, c);
    const double above = mismatch(coefficients, width, c + step);
    const double curvature = below - 2.0 * at + above;
    if (!(curvature > 0.0))
        return c;
    return c + 0.5 * step * (below - above) / curvature;
}

bool allFinite(const std::vector<double> &values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

} // namespace

bool CorFinder::sinogramOf(const ImgDatas &imgs, bool rotAxIsV, int slice, Sinogram &sinogram)
{
    const int dim = rotAxIsV ? imgs.imageWidth() : imgs.imageHeight();
    // A whole-pixel centre makes every sample a detector pixel; with it at or left of the
    // middle the row starts at pixel 1.
    const double middle = std::floor((dim - 1) * 0.5);
    HSgm record;
    if (!SinogramGenerator::genSinogram0(imgs, &record, rotAxIsV, middle, slice))
        return false;
    sinogram.values.assign(record.sgm, record.sgm + size_t(record.w) * size_t(record.h));
    sinogram.w = record.w;
    sinogram.h = record.h;
    sinogram.firstPosition = middle - (record.w - 1) / 2;
    return true;
}

bool CorFinder::find(const Sinogram &sinogram, double &cor)
{
    if (sinogram.w < 8 || sinogram.h < 4 || sinogram.values.size() != size_t(sinogram.w) * size_t(sinogram.h)) {
        qDebug() << "Sinogram too small to find the centre of rotation :" << sinogram.w << "x" << sinogram.h;
        return false;
    }
    if (!allFinite(sinogram.values)) {
        qDebug() << "Sinogram with values that are not finite; no centre of rotation";
        return false;
    }
    // Twice the row: mirrored rows of any centre in the central half stay clear of the
    // measured ones where the transform wraps them around.
    const int width = smoothLength(2 * sinogram.w);
    const std::vector<Complex> coefficients =
        mirrorCoefficients(halfTurnSpectrum(sinogram, width), sinogram.h, sinogram.w, width);
    const double middle = (sinogram.w - 1) * 0.5;
    const double from = middle - sinogram.w * 0.25, to = middle + sinogram.w * 0.25;
    const double coarse = gridMinimum(coefficients, width, from, to, kCoarseStep);
    const double fine = gridMinimum(coefficients, width, std::max(from, coarse - kCoarseStep),
                                    std::min(to, coarse + kCoarseStep), kFineStep);
    cor = sinogram.firstPosition + parabolaVertex(coefficients, width, fine, kFineStep);
    return true;
}
