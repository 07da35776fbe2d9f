#include "XanesNormalize.h"

#include "XanesLinear.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kNoiseToThreshold = 3.0;

// Index of the last energy at or below value (0 below the first).
int indexAtOrBelow(const std::vector<double> &energies, double value)
{
    const auto above = std::upper_bound(energies.begin(), energies.end(), value);
    return std::max(0, int(above - energies.begin()) - 1);
}

double dot(const std::vector<double> &row, const float *values)
{
    double sum = 0.0;
    for (size_t i = 0; i < row.size(); ++i)
        sum += row[i] * double(values[i]);
    return sum;
}

// Abscissa of the vertex of the parabola through three points, within [x0, x2].
double parabolaVertex(double x0, double y0, double x1, double y1, double x2, double y2)
{
    const double d01 = (y1 - y0) / (x1 - x0), d12 = (y2 - y1) / (x2 - x1);
    const double curvature = (d12 - d01) / (x2 - x0);
    if (!(curvature < 0.0))
        return x1;
    const double vertex = 0.5 * (x0 + x1) - d01 / (2.0 * curvature);
    return std::clamp(vertex, x0, x2);
}

double parabolaAt(double x0, double y0, double x1, double y1, double x2, double y2, double x)
{
    return y0 * (x - x1) * (x - x2) / ((x0 - x1) * (x0 - x2)) + y1 * (x - x0) * (x - x2) / ((x1 - x0) * (x1 - x2))
           + y2 * (x - x0) * (x - x1) / ((x2 - x0) * (x2 - x1));
}

} // namespace

QString XanesSettings::check() const
{
    if (!std::isfinite(e0) || e0 < 0.0)
        return QStringLiteral("E0 must be 0 (found per pixel) or an energy in eV");
    if (!std::isfinite(pre1) || !std::isfinite(pre2) || !(pre1 < pre2) || pre2 > 0.0)
        return QStringLiteral("The pre-edge range must lie below E0, its start before its end");
    if (!std::isfinite(norm1) || !std::isfinite(norm2) || norm1 < 0.0 || (norm2 > 0.0 && !(norm1 < norm2)))
        return QStringLiteral("The post-edge range must lie above E0, its start before its end");
    if (postDegree < 0 || postDegree > 2)
        return QStringLiteral("The post-edge polynomial's degree must be 0, 1 or 2");
    if (!std::isfinite(stepThreshold) || !std::isfinite(whiteLineRange) || whiteLineRange <= 0.0)
        return QStringLiteral("The edge-step threshold and the white-line range must be numbers");
    return {};
}

XanesNormalize::XanesNormalize(const std::vector<double> &energies, const XanesSettings &settings)
    : energyList(energies), config(settings)
{
    for (int k = 0; k < int(energyList.size()); ++k)
        windows.push_back(windowFor(k));
}

int XanesNormalize::nearestIndex(double energy) const
{
    const int below = indexAtOrBelow(energyList, energy);
    const int above = std::min(below + 1, int(energyList.size()) - 1);
    return energy - energyList[size_t(below)] <= energyList[size_t(above)] - energy ? below : above;
}

XanesNormalize::Window XanesNormalize::windowFor(int e0Index) const
{
    Window w;
    const int n = int(energyList.size());
    if (e0Index < 1 || e0Index > n - 2)
        return w;
    const double edge = energyList[size_t(e0Index)];
    const double pre1 = std::max(config.pre1, energyList.front() - edge);
    const double last = energyList.back() - edge;
    const double norm2 = config.norm2 > 0.0 ? std::min(config.norm2, last) : last;
    const auto range = [&](double lo, double hi, int &begin, int &end) {
        begin = indexAtOrBelow(energyList, edge + lo);
        end = nearestIndex(edge + hi);
        if (end - begin < 2)
            end = std::min(n, begin + 2);
    };
    range(pre1, config.pre2, w.pre1, w.pre2);
    range(config.norm1, norm2, w.post1, w.post2);
    std::vector<double> x;
    for (int k = 0; k < n; ++k)
        x.push_back(energyList[size_t(k)] - edge);
    const auto preRows = XanesLinear::polynomialRows(x.data() + w.pre1, w.pre2 - w.pre1, 1);
    w.postRows = XanesLinear::polynomialRows(x.data() + w.post1, w.post2 - w.post1, config.postDegree);
    if (preRows.empty() || w.postRows.empty())
        return w;
    w.preOffsetRow = preRows[0];
    w.preSlopeRow = preRows[1];
    w.postValueRow = w.postRows[0];
    w.usable = true;
    return w;
}

double XanesNormalize::findE0(const float *mu) const
{
    if (config.e0 > 0.0)
        return config.e0;
    const int n = int(energyList.size());
    const auto derivative = [&](int k) {
        const int lo = std::max(k - 1, 0), hi = std::min(k + 1, n - 1);
        return (double(mu[hi]) - double(mu[lo])) / (energyList[size_t(hi)] - energyList[size_t(lo)]);
    };
    // Reused per thread: a map calls this once per pixel.
    thread_local std::vector<double> slope, smooth;
    slope.resize(size_t(n));
    smooth.assign(size_t(n), -std::numeric_limits<double>::infinity());
    for (int k = 0; k < n; ++k)
        slope[size_t(k)] = derivative(k);
    int best = -1;
    for (int k = 2; k < n - 2; ++k) {
        smooth[size_t(k)] = 0.25 * slope[size_t(k - 1)] + 0.5 * slope[size_t(k)] + 0.25 * slope[size_t(k + 1)];
        if (std::isnan(smooth[size_t(k)]))
            return kNaN;
        if (best < 0 || smooth[size_t(k)] > smooth[size_t(best)])
            best = k;
    }
    if (best < 0)
        return kNaN;
    // The neighbours at the ends of the search are the unsmoothed slopes there.
    const auto smoothed = [&](int k) { return k >= 2 && k < n - 2 ? smooth[size_t(k)] : slope[size_t(k)]; };
    return parabolaVertex(energyList[size_t(best - 1)], smoothed(best - 1), energyList[size_t(best)], smooth[size_t(best)],
                          energyList[size_t(best + 1)], smoothed(best + 1));
}

bool XanesNormalize::normalise(const float *mu, XanesPixel &out) const
{
    for (size_t k = 0; k < energyList.size(); ++k)
        if (!std::isfinite(mu[k]))
            return false;
    const double e0 = findE0(mu);
    if (!std::isfinite(e0))
        return false;
    const int index = nearestIndex(e0);
    const Window &w = windows[size_t(index)];
    if (!w.usable)
        return false;
    out.e0 = e0;
    out.e0Index = index;
    out.edgeEnergy = energyList[size_t(index)];
    out.preOffset = dot(w.preOffsetRow, mu + w.pre1);
    out.preSlope = dot(w.preSlopeRow, mu + w.pre1);
    // The post-edge polynomial is fitted to mu - pre; its value at the edge is the step.
    double step = 0.0;
    for (int k = w.post1; k < w.post2; ++k)
        step += w.postValueRow[size_t(k - w.post1)] * (double(mu[k]) - out.pre(energyList[size_t(k)]));
    out.edgeStep = step;
    return std::isfinite(step) && std::isfinite(out.preOffset) && std::isfinite(out.preSlope);
}

void XanesNormalize::whiteLine(const float *mu, const XanesPixel &pixel, double &energy, double &height) const
{
    const int n = int(energyList.size());
    const auto normalised = [&](int k) { return (double(mu[k]) - pixel.pre(energyList[size_t(k)])) / pixel.edgeStep; };
    // The energies of [e0, e0 + range] are one run of indices, as the energies increase
    // (none when E0 is not a number).
    const auto first = std::lower_bound(energyList.begin(), energyList.end(), pixel.e0);
    const auto end = std::upper_bound(first, energyList.end(), pixel.e0 + config.whiteLineRange);
    if (first == end || !std::isfinite(pixel.e0)) {
        energy = height = kNaN;
        return;
    }
    int best = int(first - energyList.begin());
    for (int k = best + 1; k < int(end - energyList.begin()); ++k)
        if (normalised(k) > normalised(best))
            best = k;
    energy = energyList[size_t(best)];
    height = normalised(best);
    if (best == 0 || best == n - 1)
        return;
    const double x0 = energyList[size_t(best - 1)], x2 = energyList[size_t(best + 1)];
    const double y0 = normalised(best - 1), y2 = normalised(best + 1);
    energy = parabolaVertex(x0, y0, energy, height, x2, y2);
    height = parabolaAt(x0, y0, energyList[size_t(best)], height, x2, y2, energy);
}

XanesCurve XanesNormalize::curve(const std::vector<double> &mu) const
{
    XanesCurve c;
    c.mu = mu;
    const std::vector<float> values(mu.begin(), mu.end());
    if (values.size() != energyList.size() || !normalise(values.data(), c.pixel))
        return c;
    const Window &w = windows[size_t(c.pixel.e0Index)];
    std::vector<double> coefficients;
    for (const std::vector<double> &row : w.postRows) {
        double sum = 0.0;
        for (int k = w.post1; k < w.post2; ++k)
            sum += row[size_t(k - w.post1)] * (mu[size_t(k)] - c.pixel.pre(energyList[size_t(k)]));
        coefficients.push_back(sum);
    }
    for (size_t k = 0; k < energyList.size(); ++k) {
        const double x = energyList[k] - c.pixel.edgeEnergy;
        const double pre = c.pixel.pre(energyList[k]);
        double poly = 0.0;
        for (size_t j = coefficients.size(); j-- > 0;)
            poly = poly * x + coefficients[j];
        c.pre.push_back(pre);
        c.post.push_back(pre + poly);
        c.normalised.push_back((mu[k] - pre) / c.pixel.edgeStep);
    }
    whiteLine(values.data(), c.pixel, c.whiteLineEnergy, c.whiteLineHeight);
    c.valid = true;
    return c;
}

double XanesNormalize::stepNoiseOf(const XanesMaps &maps)
{
    std::vector<double> differences;
    for (int z = 0; z < maps.height; ++z)
        for (int x = 0; x + 1 < maps.width; ++x) {
            const size_t p = size_t(z) * size_t(maps.width) + size_t(x);
            const double a = maps.edgeStep[p], b = maps.edgeStep[p + 1];
            if (std::isfinite(a) && std::isfinite(b) && a != 0.0 && b != 0.0)
                differences.push_back(b - a);
        }
    if (differences.empty())
        return 0.0;
    const auto median = [](std::vector<double> &v) {
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    const double centre = median(differences);
    for (double &d : differences)
        d = std::abs(d - centre);
    return 1.4826 * median(differences) / std::sqrt(2.0);
}

XanesMaps XanesNormalize::maps(const SpectralStack &stack) const
{
    XanesMaps m;
    m.width = stack.width();
    m.height = stack.height();
    const size_t pixels = size_t(stack.pixels());
    m.edgeStep.assign(pixels, float(kNaN));
    m.e0 = m.whiteLineEnergy = m.whiteLineHeight = m.edgeStep;
    m.pixels.assign(pixels, XanesPixel{});
    m.valid.assign(pixels, 0);
    XanesLinear::overRows(m.height, config.threads, [&](int rowBegin, int rowEnd) {
        for (size_t p = size_t(rowBegin) * size_t(m.width); p < size_t(rowEnd) * size_t(m.width); ++p)
            if (normalise(stack.spectrum(std::int64_t(p)), m.pixels[p]))
                m.edgeStep[p] = float(m.pixels[p].edgeStep);
    });
    m.threshold = config.stepThreshold >= 0.0 ? config.stepThreshold : kNoiseToThreshold * stepNoiseOf(m);
    XanesLinear::overRows(m.height, config.threads, [&](int rowBegin, int rowEnd) {
        for (size_t p = size_t(rowBegin) * size_t(m.width); p < size_t(rowEnd) * size_t(m.width); ++p) {
            const XanesPixel &pixel = m.pixels[p];
            if (!(pixel.edgeStep >= m.threshold) || !(pixel.edgeStep > 0.0))
                continue;
            double energy = 0.0, height = 0.0;
            whiteLine(stack.spectrum(std::int64_t(p)), pixel, energy, height);
            m.e0[p] = float(pixel.e0);
            m.whiteLineEnergy[p] = float(energy);
            m.whiteLineHeight[p] = float(height);
            m.valid[p] = 1;
        }
    });
    m.maskedCount = std::int64_t(std::count(m.valid.begin(), m.valid.end(), std::uint8_t(0)));
    return m;
}
