#include "BackProjectionFast.h"

#include "BackProjection.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

// Pixel bounds. The reference tests every pixel of the region for the inscribed circle
// and for 0 <= floor(t) <= N - 2. Both tests are monotone along a row (the circle test
// on each side of the centre, t in x for a fixed projection), so each row's passing
// pixels form one run. Its ends are first estimated in closed form, then moved pixel by
// pixel until the reference's own expressions, evaluated at the end pixels, agree: the
// runs are exactly the pixels the reference adds to, with no rounding argument needed.
//
// Order of the sums. Rows are taken in blocks small enough to stay in cache; for each
// block all projections jBegin..jEnd-1 are added in order, so every pixel receives its
// projections in the reference's order and its sum is rounded the same way.

namespace {

constexpr double kPi = 3.141592653589793;
// Rows per block: about 256 KiB of image, which stays in the second-level cache while
// every projection of the block is added.
constexpr size_t kBlockBytes = 256 * 1024;

// First integer x of the loop "for (x = int(v0); x < v1; ...)" and one past its last,
// for clamped v0, v1.
int loopBegin(double v0)
{
    return int(v0);
}

int loopEnd(double v1)
{
    return int(std::ceil(v1));
}

// The reference's circle test, the same expressions in the same order.
bool insideCircle(int x, int z, double c)
{
    const double dx = x - c;
    const double dz = z - c;
    const double r = std::sqrt(dx * dx + dz * dz);
    return r < c;
}

// The reference's detector position t at pixel x of a row with a = z*(-s) + K, and its
// index test 0 <= floor(t) <= N - 2 written without the floor: for a finite t,
// floor(t) >= 0 exactly when t >= 0, and floor(t) <= N - 2 exactly when t < N - 1.
double detectorPosition(int x, double cs, double a)
{
    return x * cs + a;
}

bool notBelowFirstSample(int x, double cs, double a)
{
    return detectorPosition(x, cs, a) >= 0.0;
}

bool notPastLastInterval(int x, double cs, double a, int n)
{
    return detectorPosition(x, cs, a) < double(n - 1);
}

int clampGuess(double guess, int lo, int hi)
{
    if (!(guess >= lo)) // NaN included
        return lo;
    if (guess > hi)
        return hi;
    return int(guess);
}

// Smallest x in [lo, hi] with pass(x), or hi + 1; pass must be false then true on [lo, hi].
// The guess only saves steps: it may be off, huge or NaN.
template <typename Pass>
int firstPassing(int lo, int hi, double guess, Pass pass)
{
    int x = clampGuess(guess, lo, hi + 1);
    while (x > lo && pass(x - 1))
        --x;
    while (x <= hi && !pass(x))
        ++x;
    return x;
}

// Largest x in [lo, hi] with pass(x), or lo - 1; pass must be true then false on [lo, hi].
template <typename Pass>
int lastPassing(int lo, int hi, double guess, Pass pass)
{
    int x = clampGuess(guess, lo - 1, hi);
    while (x < hi && pass(x + 1))
        ++x;
    while (x >= lo && !pass(x))
        --x;
    return x;
}

// Pixels of row z inside the circle, as [begin, end); empty when begin >= end.
struct Run
{
    int begin = 0;
    int end = 0;
};

Run circleRun(int z, int n)
{
    const double c = n * 0.5;
    const auto inside = [z, c](int x) { return insideCircle(x, z, c); };
    // The pixel nearest the centre column passes if any pixel of the row does.
    const int mid = int(std::floor(c));
    int centre = mid;
    if (!inside(centre)) {
        centre = mid + 1;
        if (!inside(centre))
            return {};
    }
    const double dz = z - c;
    const double halfWidth = std::sqrt(std::max(c * c - dz * dz, 0.0));
    Run run;
    run.begin = firstPassing(0, centre, c - halfWidth, inside);
    run.end = lastPassing(centre, n, c + halfWidth, inside) + 1;
    return run;
}

// Pixels of `run` whose detector index passes the reference's test for one projection.
Run indexRun(Run run, int n, double cs, double inverseCs, double a)
{
    const int last = run.end - 1;
    const auto notBelow = [cs, a](int x) { return notBelowFirstSample(x, cs, a); };
    const auto notAbove = [cs, a, n](int x) { return notPastLastInterval(x, cs, a, n); };
    if (!(cs > 0.0) && !(cs < 0.0)) { // t does not change along the row
        if (!notBelow(run.begin) || !notAbove(run.begin))
            return {};
        return run;
    }
    // Along the row t grows with x when cs > 0 and falls when cs < 0.
    const double atZero = (0.0 - a) * inverseCs;                // t = 0
    const double atLast = (double(n - 1) - a) * inverseCs;      // t = N - 1
    Run result;
    if (cs > 0.0) {
        result.begin = firstPassing(run.begin, last, atZero, notBelow);
        result.end = lastPassing(run.begin, last, atLast, notAbove) + 1;
    } else {
        result.begin = firstPassing(run.begin, last, atLast, notAbove);
        result.end = lastPassing(run.begin, last, atZero, notBelow) + 1;
    }
    return result;
}

using RowKernel = void (*)(double *, const ProjectionRow &, int, int, double, double);

RowKernel rowKernel(BackProjectionPath path)
{
    switch (path) {
    case BackProjectionPath::Avx512:
        return backProjectRowAvx512;
    case BackProjectionPath::Avx2:
        return backProjectRowAvx2;
    case BackProjectionPath::Scalar:
        break;
    }
    return backProjectRowScalar;
}

struct Angle
{
    double cs;
    double minusSin;
    double k;
    double inverseCs;
};

// Sine and cosine exactly as the reference computes them, once per projection.
std::vector<Angle> angles(int n, int m, int jBegin, int jEnd)
{
    const double c = n * 0.5;
    std::vector<Angle> result;
    result.reserve(size_t(jEnd - jBegin));
    for (int j = jBegin; j < jEnd; ++j) {
        const double theta = j * kPi / m;
        const double s = std::sin(theta);
        const double cs = std::cos(theta);
        const double k = c - (cs * c + (-s) * c);
        result.push_back({cs, -s, k, 1.0 / cs});
    }
    return result;
}

double *alignedToCacheLine(double *p)
{
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    return p + ((64 - address % 64) % 64) / sizeof(double);
}

} // namespace

bool backProjectionPathSupported(BackProjectionPath path)
{
    // Safe to repeat; needed only when this runs before the runtime's own constructors.
    __builtin_cpu_init();
    switch (path) {
    case BackProjectionPath::Scalar:
        return true;
    case BackProjectionPath::Avx2:
        return __builtin_cpu_supports("avx2");
    case BackProjectionPath::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")
            && __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
    }
    return false;
}

BackProjectionPath backProjectionDefaultPath()
{
    static const BackProjectionPath path = backProjectionPathFor(std::getenv("ZORVEL_BP_PATH"));
    return path;
}

BackProjectionPath backProjectionPathFor(const char *requested)
{
    BackProjectionPath best = BackProjectionPath::Scalar;
    if (backProjectionPathSupported(BackProjectionPath::Avx512))
        best = BackProjectionPath::Avx512;
    else if (backProjectionPathSupported(BackProjectionPath::Avx2))
        best = BackProjectionPath::Avx2;
    if (!requested || !*requested)
        return best;
    BackProjectionPath path;
    if (!backProjectionPathFromName(requested, &path)) {
        qDebug() << "Unknown back-projection path in ZORVEL_BP_PATH" << requested;
        return best;
    }
    if (!backProjectionPathSupported(path)) {
        qDebug() << "Back-projection path not supported by this processor" << requested;
        return best;
    }
    return path;
}

const char *backProjectionPathName(BackProjectionPath path)
{
    switch (path) {
    case BackProjectionPath::Avx512:
        return "avx512";
    case BackProjectionPath::Avx2:
        return "avx2";
    case BackProjectionPath::Scalar:
        break;
    }
    return "scalar";
}

bool backProjectionPathFromName(const char *name, BackProjectionPath *path)
{
    for (BackProjectionPath candidate :
         {BackProjectionPath::Scalar, BackProjectionPath::Avx2, BackProjectionPath::Avx512}) {
        if (std::strcmp(name, backProjectionPathName(candidate)) == 0) {
            *path = candidate;
            return true;
        }
    }
    return false;
}

void backProjectRowScalar(double *imageRow, const ProjectionRow &row, int xBegin, int xEnd, double cs, double a)
{
    for (int x = xBegin; x < xEnd; ++x) {
        const double t = x * cs + a;
        const int i = int(t); // t >= 0 on the run, so truncation is the floor
        imageRow[x] += row.samples[i] + (t - i) * row.differences[i];
    }
}

void backProjectFastOnPath(BackProjectionPath path, const double *filtered, int stride, int n, int m,
                           int jBegin, int jEnd, double x0, double x1, double z0, double z1,
                           double *image)
{
    if (n <= 0 || m <= 0 || jEnd <= jBegin || regionHasNaN(x0, x1, z0, z1))
        return;
    if (!backProjectionPathSupported(path))
        path = BackProjectionPath::Scalar;
    const RowKernel kernel = rowKernel(path);

    // Region rows and columns, cut to the image (no pixel outside it passes the circle test).
    const int xBegin = std::max(loopBegin(clampBound(x0, n)), 0);
    const int xEnd = std::min(loopEnd(clampBound(x1, n)), n);
    const int zBegin = std::max(loopBegin(clampBound(z0, n)), 0);
    const int zEnd = std::min(loopEnd(clampBound(z1, n)), n);
    if (xBegin >= xEnd || zBegin >= zEnd)
        return;

    std::vector<Run> rows(size_t(zEnd - zBegin));
    for (int z = zBegin; z < zEnd; ++z) {
        Run run = circleRun(z, n);
        run.begin = std::max(run.begin, xBegin);
        run.end = std::min(run.end, xEnd);
        rows[size_t(z - zBegin)] = run;
    }
    const std::vector<Angle> projections = angles(n, m, jBegin, jEnd);
    std::vector<double> columns(size_t(n) + 8);
    for (size_t x = 0; x < columns.size(); ++x)
        columns[x] = double(x);
    // Cache-line aligned like the filtered rows, so that window loads straddle no more
    // lines than those of the samples. The padding stays 0: it is read by the vector
    // loads but never part of a sum.
    std::vector<double> differenceStore(size_t(n) + kBackProjectionPad + 1 + 8, 0.0);
    double *differences = alignedToCacheLine(differenceStore.data());

    const int rowsPerBlock = int(std::max<size_t>(1, kBlockBytes / (sizeof(double) * size_t(n))));
    for (int blockBegin = zBegin; blockBegin < zEnd; blockBegin += rowsPerBlock) {
        const int blockEnd = std::min(blockBegin + rowsPerBlock, zEnd);
        for (int j = jBegin; j < jEnd; ++j) {
            const Angle &angle = projections[size_t(j - jBegin)];
            const double *samples = filtered + size_t(j) * size_t(stride);
            for (int i = 0; i + 1 < n; ++i)
                differences[i] = samples[i + 1] - samples[i];
            const ProjectionRow row{samples, differences, columns.data()};
            for (int z = blockBegin; z < blockEnd; ++z) {
                const Run &circle = rows[size_t(z - zBegin)];
                if (circle.begin >= circle.end)
                    continue;
                const double a = z * angle.minusSin + angle.k;
                const Run run = indexRun(circle, n, angle.cs, angle.inverseCs, a);
                if (run.begin < run.end)
                    kernel(image + size_t(z) * size_t(n), row, run.begin, run.end, angle.cs, a);
            }
        }
    }
}

void backProjectFast(const double *filtered, int stride, int n, int m, int jBegin, int jEnd, double x0,
                     double x1, double z0, double z1, double *image)
{
    backProjectFastOnPath(backProjectionDefaultPath(), filtered, stride, n, m, jBegin, jEnd, x0, x1, z0, z1,
                          image);
}
