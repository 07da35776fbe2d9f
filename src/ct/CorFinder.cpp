#include "CorFinder.h"

#include "HSgm.h"
#include "ProjectionSeries.h"
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
constexpr double kCoarseStep = 0.5; // pixels, at most
constexpr double kFineStep = 0.01;  // pixels
constexpr int kPatternReach = 4;    // pixels each side of the running median
// Angular frequencies up to this (and up to 5 % of them) are left out of the metric: just
// outside the double wedge the object's own spectrum has not yet died away, and it pulls the
// minimum off the true centre, most at the lowest frequencies.
constexpr int kLowestAngularFrequency = 20;
// When the minimum of the metric can be trusted. At a consistent centre every term of the
// metric's sum is at its least, so around it the metric has the shape of the sum of the terms'
// magnitudes alone (the ideal dip). At the ideal dip's half width (where it has risen half way
// to its mean) the metric must have risen at least this share of what the ideal dip has, each
// counted as a share of the way up to its median over the searched range. Phantom series (with
// and without noise, 12 to 720 projections) and the measured ones (cropped or padded) give 93 %
// and more; an axis outside the searched range, or near its edge with the object reaching far
// beyond the field, 77 % at most.
constexpr double kDipShape = 0.85;
// Nor may the metric, away from the dip of its minimum, come within this share of the way from
// the minimum up to its median again: 70 % and more on a consistent centre, 25 % on the tooth cut
// so that its axis lies beyond the searched range.
constexpr double kSecondMinimum = 0.5;

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

// The sinogram without the part that is the same in every row and changes from pixel to
// pixel: the fixed pattern of the detector and of the I0 and BG images (ring artefacts). It
// would be mirrored with the rows and mismatch at every trial centre. Estimated as the mean
// row minus its running median (after Boin and Haibel, Opt. Express 14 (2006) 12071).
std::vector<double> withoutFixedPattern(const CorFinder::Sinogram &sinogram)
{
    const int w = sinogram.w, h = sinogram.h;
    std::vector<double> mean(static_cast<size_t>(w), 0.0);
    for (int j = 0; j < h; ++j)
        for (int k = 0; k < w; ++k)
            mean[size_t(k)] += sinogram.values[size_t(j) * w + k] / h;
    std::vector<double> pattern(static_cast<size_t>(w));
    for (int k = 0; k < w; ++k) {
        const int from = std::max(0, k - kPatternReach), to = std::min(w - 1, k + kPatternReach);
        std::vector<double> window(mean.begin() + from, mean.begin() + to + 1);
        std::nth_element(window.begin(), window.begin() + window.size() / 2, window.end());
        pattern[size_t(k)] = mean[size_t(k)] - window[window.size() / 2];
    }
    std::vector<double> values(sinogram.values);
    for (int j = 0; j < h; ++j)
        for (int k = 0; k < w; ++k)
            values[size_t(j) * w + k] -= pattern[size_t(k)];
    return values;
}

// Detector frequencies m (of a row padded to `width`) whose angular frequencies outside the
// double wedge exist: the object fits in the field, radius w / 2 pixels, so its spectrum
// keeps to |n| <= (2 pi m / width) (w / 2).
struct Wedge
{
    double slope = 0.0; // the wedge's edge in n per unit of m
    int lastColumn = 0; // the highest m with angular frequencies outside it, below Nyquist

    Wedge(int h, int w, int width)
        : slope(2.0 * kPi * (w * 0.5) / width), lastColumn(std::min(width / 2 - 1, int(std::ceil(h / slope)) - 1))
    {
    }
};

// The two-dimensional spectrum of the measured rows, A(n, m), column by column: for each
// detector frequency m = 0 ... lastColumn the 2M angular frequencies n (the rows are
// zero-padded to a full turn). Each row is padded to `width` with a straight line from its
// last sample back to its first, so that it has no jump where the transform wraps it around.
std::vector<Complex> halfTurnSpectrum(const CorFinder::Sinogram &sinogram, int width, int lastColumn)
{
    const int h = sinogram.h, rows = 2 * h;
    const int columns = width / 2 + 1, used = lastColumn + 1;
    double *in = fftw_alloc_real(size_t(h) * size_t(width));
    fftw_complex *rowSpectra = fftw_alloc_complex(size_t(h) * size_t(columns));
    fftw_complex *out = fftw_alloc_complex(size_t(used) * size_t(rows));
    const fftw_plan rowPlan =
        fftw_plan_many_dft_r2c(1, &width, h, in, nullptr, 1, width, rowSpectra, nullptr, 1, columns, FFTW_ESTIMATE);
    const fftw_plan columnPlan =
        fftw_plan_many_dft(1, &rows, used, out, nullptr, 1, rows, out, nullptr, 1, rows, FFTW_FORWARD, FFTW_ESTIMATE);
    const int pad = width - sinogram.w;
    const std::vector<double> values = withoutFixedPattern(sinogram);
    for (int j = 0; j < h; ++j) {
        const double *row = values.data() + size_t(j) * size_t(sinogram.w);
        double *padded = in + size_t(j) * size_t(width);
        std::copy(row, row + sinogram.w, padded);
        const double last = row[sinogram.w - 1];
        for (int p = 1; p <= pad; ++p)
            padded[sinogram.w + p - 1] = last + (row[0] - last) * p / (pad + 1);
    }
    fftw_execute(rowPlan);
    std::fill(&out[0][0], &out[0][0] + 2 * size_t(used) * size_t(rows), 0.0);
    for (int m = 0; m < used; ++m)
        for (int j = 0; j < h; ++j) {
            out[size_t(m) * rows + j][0] = rowSpectra[size_t(j) * columns + m][0];
            out[size_t(m) * rows + j][1] = rowSpectra[size_t(j) * columns + m][1];
        }
    fftw_execute(columnPlan);
    std::vector<Complex> spectrum(size_t(used) * size_t(rows));
    std::memcpy(static_cast<void *>(spectrum.data()), out, sizeof(fftw_complex) * spectrum.size());
    fftw_destroy_plan(columnPlan);
    fftw_destroy_plan(rowPlan);
    fftw_free(out);
    fftw_free(rowSpectra);
    fftw_free(in);
    return spectrum;
}

// The part of the metric that depends on the trial centre c (in samples of the padded row):
//   energy(c) = constant + 4 sum_m Re(K(m) exp(i 4 pi m c / width)),
//   K(m) = sum over (n, m) outside the double wedge of (-1)^n A(n, m) A(-n, m).
// (-1)^n is the phase of the mirrored rows, which start half a turn later. Frequencies
// m = 0 and 1 hold the mean and the slow trends of the rows, not their alignment.
std::vector<Complex> mirrorCoefficients(const std::vector<Complex> &spectrum, int h, const Wedge &wedge)
{
    const int rows = 2 * h;
    const int lowest = std::min(kLowestAngularFrequency, int(std::ceil(0.05 * rows)));
    std::vector<Complex> coefficients(static_cast<size_t>(wedge.lastColumn + 1));
    for (int m = 2; m <= wedge.lastColumn; ++m) {
        const double bound = std::max(wedge.slope * m, double(lowest));
        const Complex *column = spectrum.data() + size_t(m) * rows;
        Complex sum;
        for (int index = 0; index < rows; ++index) {
            const int n = index <= h ? index : index - rows;
            if (std::abs(n) <= bound)
                continue;
            const Complex product = column[index] * column[(rows - index) % rows];
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

// The mismatch on the grid from..to (both included) with this step.
std::vector<double> gridValues(const std::vector<Complex> &coefficients, int width, double from, double to, double step)
{
    std::vector<double> values;
    for (int i = 0; from + i * step <= to; ++i)
        values.push_back(mismatch(coefficients, width, from + i * step));
    return values;
}

int leastIndex(const std::vector<double> &values)
{
    return int(std::min_element(values.begin(), values.end()) - values.begin());
}

// The c of least mismatch on the grid from..to (both included) with this step.
double gridMinimum(const std::vector<Complex> &coefficients, int width, double from, double to, double step)
{
    return from + leastIndex(gridValues(coefficients, width, from, to, step)) * step;
}

double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The coarse grid over the searched range, values[i] the mismatch at c = from + i * step, and
// the judgement of its least value.
struct SearchedRange
{
    const std::vector<Complex> &coefficients;
    int width = 0; // of the padded row
    double from = 0.0, to = 0.0, step = 0.0;
    std::vector<double> values;

    // True when the least value, at index `best`, can be trusted; else false with one debug line.
    bool isClearMinimum(int best) const
    {
        if (best <= 1 || best + 2 >= int(values.size())) {
            qDebug() << "Centre of rotation not found: the metric is least at the edge of the searched range, the central half of the detector";
            return false;
        }
        if (!hasIdealDip(from + best * step)) {
            qDebug() << "Centre of rotation not found: the minimum of the metric is not clearly below its neighbours";
            return false;
        }
        if (hasSecondMinimum(best)) {
            qDebug() << "Centre of rotation not found: the metric has a second minimum almost as low";
            return false;
        }
        return true;
    }

    // Whether the metric around c rises like the ideal dip (kDipShape), which lies at 0 and is
    // judged over the same stretch of trial centres.
    bool hasIdealDip(double c) const
    {
        std::vector<Complex> ideal(coefficients.size());
        std::transform(coefficients.begin(), coefficients.end(), ideal.begin(), [](Complex k) { return -std::abs(k); });
        const double bottom = mismatch(ideal, width, 0.0);
        double halfWidth = step;
        while (halfWidth < to - from && mismatch(ideal, width, halfWidth) < 0.5 * bottom)
            halfWidth += step;
        const double idealRise = riseShare(ideal, 0.0, halfWidth, gridValues(ideal, width, from - c, to - c, step));
        return riseShare(coefficients, c, halfWidth, values) >= kDipShape * idealRise;
    }

    // How far the sum of these terms has risen at c - reach and c + reach (the less of the two),
    // as a share of the way from its value at c to the median of `curve`.
    double riseShare(const std::vector<Complex> &terms, double c, double reach, const std::vector<double> &curve) const
    {
        const double least = mismatch(terms, width, c);
        const double rise = std::min(mismatch(terms, width, c - reach), mismatch(terms, width, c + reach)) - least;
        return rise / (median(curve) - least);
    }

    // True when, away from the stretch around `best` below the level kSecondMinimum of the way
    // to the median, the metric comes below that level again.
    bool hasSecondMinimum(int best) const
    {
        const double least = values[size_t(best)];
        const double level = least + kSecondMinimum * (median(values) - least);
        int low = best, high = best;
        while (low > 0 && values[size_t(low - 1)] < level)
            --low;
        while (high + 1 < int(values.size()) && values[size_t(high + 1)] < level)
            ++high;
        const auto below = [level](double value) { return value < level; };
        return std::any_of(values.begin(), values.begin() + low, below) || std::any_of(values.begin() + high + 1, values.end(), below);
    }
};

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

bool CorFinder::sinogramOf(const ProjectionSeries &imgs, bool rotAxIsV, int slice, Sinogram &sinogram)
{
    if (imgs.count() == 0) {
        qDebug() << "No projections to find the centre of rotation in";
        return false;
    }
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
    const Wedge wedge(sinogram.h, sinogram.w, width);
    const std::vector<Complex> coefficients =
        mirrorCoefficients(halfTurnSpectrum(sinogram, width, wedge.lastColumn), sinogram.h, wedge);
    const double middle = (sinogram.w - 1) * 0.5;
    const double from = middle - sinogram.w * 0.25, to = middle + sinogram.w * 0.25;
    // The metric's fastest wave, of m = lastColumn, has a period of width / (2 lastColumn)
    // pixels: the coarse grid takes at least four points per period.
    const double coarseStep = std::min(kCoarseStep, width / (8.0 * wedge.lastColumn));
    const SearchedRange searched{coefficients, width, from, to, coarseStep, gridValues(coefficients, width, from, to, coarseStep)};
    const int best = leastIndex(searched.values);
    if (!searched.isClearMinimum(best))
        return false;
    const double coarse = from + best * coarseStep;
    const double fine = gridMinimum(coefficients, width, std::max(from, coarse - coarseStep),
                                    std::min(to, coarse + coarseStep), kFineStep);
    cor = sinogram.firstPosition + parabolaVertex(coefficients, width, fine, kFineStep);
    return true;
}
