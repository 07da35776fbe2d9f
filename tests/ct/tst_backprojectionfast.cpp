// The reference back-projection against hand-computed positions and regions, then every
// optimised path against the reference, bit for bit.

#include "BackProjection.h"
#include "BackProjectionFast.h"

#include <QtTest>

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

namespace {

constexpr double pi = 3.141592653589793;
const double kNaN = std::nan("");

// Rows between inaccessible pages: a load past the last row's padding or before the first faults.
class GuardedRows
{
public:
    GuardedRows(int rows, int stride) : count(size_t(rows) * size_t(stride))
    {
        const size_t page = size_t(sysconf(_SC_PAGESIZE)), dataPages = (count * sizeof(double) + page - 1) / page;
        mappedBytes = (dataPages + 2) * page;
        void *mapping = mmap(nullptr, mappedBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            return;
        base = static_cast<char *>(mapping);
        mprotect(base, page, PROT_NONE);
        mprotect(base + (dataPages + 1) * page, page, PROT_NONE);
        values = reinterpret_cast<double *>(base + (dataPages + 1) * page - count * sizeof(double));
    }
    ~GuardedRows() { if (base) munmap(base, mappedBytes); }
    double *data() const { return values; }
    size_t size() const { return count; }

private:
    size_t count, mappedBytes = 0;
    char *base = nullptr;
    double *values = nullptr;
};

// Filtered values: ordinary, huge, tiny (subnormal included), or each with its own exponent.
enum class Magnitude { Unit, Huge, Tiny, Mixed };

struct Case { int n, m, jBegin, jEnd; double x0, x1, z0, z1; Magnitude magnitude; unsigned seed; };

// Padding (never part of a sum) is NaN, so any use of it shows in the image.
void fillRows(GuardedRows &rows, int n, int stride, Magnitude magnitude, std::mt19937_64 &random)
{
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    const double scale = magnitude == Magnitude::Huge ? 1e300 : magnitude == Magnitude::Tiny ? 1e-305 : 1.0;
    for (size_t k = 0; k < rows.size(); ++k) {
        const double v = unit(random) * (magnitude == Magnitude::Mixed ? std::pow(10.0, exponent(random)) : scale);
        rows.data()[k] = int(k % size_t(stride)) >= n ? kNaN : v;
    }
}

// Regions of the kinds engines and scripts produce: whole, fractional, negative and past
// the edge, anywhere (possibly turned around), empty, one row, one column, reversed.
void randomRegion(Case &c, std::mt19937_64 &random)
{
    const double n = c.n;
    std::uniform_real_distribution<double> across(-0.5 * n, 1.5 * n), inside(0.0, n);
    const double a = inside(random), b = inside(random), d = inside(random), e = inside(random);
    const double kinds[8][4] = {{0, n, 0, n}, {a, a + b, d, d + e}, {-a - 0.25, n + b, -d, n + 3.7},
                                {across(random), across(random), across(random), across(random)}, {a, a, 0, n},
                                {-1, n, std::floor(a), std::floor(a) + 0.5}, {std::floor(a) + 0.9, std::floor(a) + 1.0, 0, n},
                                {n - 1, 1, n * 0.75, n * 0.25}};
    const double *k = kinds[std::uniform_int_distribution<int>(0, 7)(random)];
    c.x0 = k[0], c.x1 = k[1], c.z0 = k[2], c.z1 = k[3];
}

std::vector<Case> cases()
{
    const Magnitude unit = Magnitude::Unit;
    std::vector<Case> all = { // the smallest image (no pixel inside); 0, 45, 90, 135 degrees; cos(90) = 6e-17;
        {2, 1, 0, 1, 0, 2, 0, 2, unit, 101}, {4, 3, 0, 3, 0, 4, 0, 4, unit, 102}, {18, 4, 0, 4, 0, 18, 0, 18, unit, 103},
        {18, 4, 0, 4, -5.7, 10.5, 0, 10, unit, 104}, {64, 2, 0, 2, 0, 64, 0, 64, Magnitude::Mixed, 105},
        {64, 8, 0, 9, 0, 64, 0, 64, Magnitude::Huge, 106}, {256, 3600, 895, 905, 0, 256, 0, 256, unit, 107}, // 0 ... 180, 90
        {256, 3600, 445, 455, 0, 256, 0, 256, unit, 108}, {256, 3600, 1345, 1355, 0, 256, 0, 256, unit, 109}, // 45, 135
        {256, 3600, 0, 6, 0, 256, 0, 256, unit, 110}, {256, 3600, 1795, 1801, 0, 256, 0, 256, Magnitude::Tiny, 111},
        {100, 90, 0, 90, -1e300, 1e300, -1e300, 1e300, unit, 112}, {100, 90, 0, 90, kNaN, 50, 20, 80, unit, 113},
        {100, 90, 0, 90, 10, 90, 10, kNaN, unit, 114}, {1024, 12, 0, 12, 0, 1024, 0, 1024, unit, 115},
        {300, 400, 0, 400, 0, 300, 0, 300, Magnitude::Mixed, 116}, {17, 40, 0, 40, 0, 17, 0, 17, unit, 117}, // odd N
        {101, 90, 0, 91, -3, 120, -3, 120, unit, 118}};
    std::mt19937_64 random(20240611);
    for (int k = 0; k < 48; ++k) {
        Case c{};
        c.n = 2 * std::uniform_int_distribution<int>(1, 150)(random), c.m = std::uniform_int_distribution<int>(1, 400)(random);
        c.jEnd = k % 4 == 2 ? c.m + 1 : c.m; // up to and including 180 degrees
        if (k % 4 == 1) // a part of the projections, as the single-slice engine adds them
            c.jBegin = c.m / 3, c.jEnd = std::max(c.jBegin + 1, 2 * c.m / 3);
        randomRegion(c, random);
        c.magnitude = Magnitude(std::uniform_int_distribution<int>(0, 3)(random));
        c.seed = unsigned(k + 1);
        all.push_back(c);
    }
    return all;
}

// Reference back-projection of m copies of `row` over a region of a zero image.
std::vector<double> projectRows(const std::vector<double> &row, int m, double x0, double x1, double z0, double z1)
{
    const int n = int(row.size()), stride = backProjectionStride(n);
    std::vector<double> block(size_t(stride) * m, 0.0), image(size_t(n) * n, 0.0);
    for (int j = 0; j < m; ++j)
        std::copy(row.begin(), row.end(), block.begin() + ptrdiff_t(j) * stride);
    backProjectReference(block.data(), stride, n, m, 0, m, x0, x1, z0, z1, image.data());
    return image;
}

} // namespace

class TestBackProjectionFast : public QObject
{
    Q_OBJECT
private slots:
    void referenceGeometry();
    void identicalToReference();
    void steepRowsMatchScalarKernel();
};

// Filtered value i at sample i: a pixel receives its detector position t (N = 18, c = 9).
// Projection 0 alone adds sample x to column x inside the circle (sample N - 1, with no right
// neighbour, skipped). A region image equals the whole one on the region's pixels (bounds
// truncated toward zero, upper bounds exclusive) and is 0 elsewhere, always at row and column 0.
void TestBackProjectionFast::referenceGeometry()
{
    const int n = 18, m = 7;
    std::vector<double> ramp(n), row(n);
    for (int i = 0; i < n; ++i)
        ramp[size_t(i)] = i, row[size_t(i)] = 100.0 + i * i;
    const std::vector<double> image = projectRows(ramp, m, 0, n, 0, n), smeared = projectRows(row, 1, 0, n, 0, n),
                              whole = projectRows(row, 5, 0, n, 0, n);
    double expected = 0.0; // (13, 9): t = 9 + 4 cos(theta), summed over the half turn
    for (int j = 0; j < m; ++j)
        expected += 9.0 + 4.0 * std::cos(j * pi / m);
    QVERIFY(std::abs(image[9 * n + 9] - 9.0 * m) <= 1e-12 && std::abs(image[9 * n + 13] - expected) <= 1e-9);
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x)
            QVERIFY2(smeared[size_t(z) * n + x] == (std::hypot(x - 9.0, z - 9.0) < 9.0 && x <= n - 2 ? row[size_t(x)] : 0.0),
                     qPrintable(QString("%1,%2").arg(x).arg(z)));
    const struct { double x0, x1, z0, z1; QRect expected; } regions[] = {
        {0, 18, 0, 18, QRect(0, 0, 18, 18)},     {-5.7, 18, 0, 18, QRect(-5, 0, 23, 18)},
        {3.7, 18, 0, 18, QRect(3, 0, 15, 18)},   {0, 10, 0, 18, QRect(0, 0, 10, 18)},
        {0, 10.5, 0, 18, QRect(0, 0, 11, 18)},   {0, 18, 2.2, 7, QRect(0, 2, 18, 5)},
        {-1e300, 1e300, -1e300, 1e300, QRect(-1, -1, 20, 20)}, {5, 5, 0, 18, QRect()},
        {kNaN, 18, 0, 18, QRect()},              {0, 18, 0, kNaN, QRect()}};
    for (const auto &r : regions) {
        const std::vector<double> region = projectRows(row, 5, r.x0, r.x1, r.z0, r.z1);
        int computed = 0;
        for (int z = 0; z < n; ++z)
            for (int x = 0; x < n; ++x) {
                const double v = region[size_t(z) * n + x];
                QVERIFY2(v == (r.expected.contains(x, z) ? whole[size_t(z) * n + x] : 0.0) && (v == 0.0 || (x > 0 && z > 0)),
                         qPrintable(QString("x %1..%2 z %3..%4: %5,%6").arg(r.x0).arg(r.x1).arg(r.z0).arg(r.z1).arg(x).arg(z)));
                computed += v != 0.0;
            }
        QCOMPARE(computed > 0, !r.expected.isEmpty());
    }
}

// Every path the processor has, on every case, from the same non-zero image: pixels outside the
// region or the circle stay as they were. ZORVEL_BP_PATH: unknown or unsupported names give the
// widest path, with a debug line.
void TestBackProjectionFast::identicalToReference()
{
    const BackProjectionPath widest = backProjectionPathFor(nullptr);
    QVERIFY(backProjectionPathSupported(widest) && backProjectionPathSupported(backProjectionDefaultPath()));
    QVERIFY(widest != BackProjectionPath::Scalar || !backProjectionPathSupported(BackProjectionPath::Avx2));
    QCOMPARE(int(backProjectionPathFor("")), int(widest));
    QTest::ignoreMessage(QtDebugMsg, "Unknown back-projection path in ZORVEL_BP_PATH AVX512");
    QCOMPARE(int(backProjectionPathFor("AVX512")), int(widest));
    const std::vector<Case> all = cases();
    for (BackProjectionPath path : {BackProjectionPath::Scalar, BackProjectionPath::Avx2, BackProjectionPath::Avx512}) {
        const char *name = backProjectionPathName(path);
        if (!backProjectionPathSupported(path))
            QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("Back-projection path not supported by this processor %1").arg(name)));
        QCOMPARE(int(backProjectionPathFor(name)), int(backProjectionPathSupported(path) ? path : widest));
        if (!backProjectionPathSupported(path))
            continue;
        for (const Case &c : all) {
            std::mt19937_64 generator(c.seed);
            const int stride = backProjectionStride(c.n);
            GuardedRows rows(c.jEnd, stride);
            QVERIFY(rows.data());
            fillRows(rows, c.n, stride, c.magnitude, generator);
            std::uniform_real_distribution<double> start(-1.0, 1.0);
            std::vector<double> expected(size_t(c.n) * size_t(c.n));
            for (double &v : expected)
                v = start(generator);
            std::vector<double> actual = expected;
            backProjectReference(rows.data(), stride, c.n, c.m, c.jBegin, c.jEnd, c.x0, c.x1, c.z0, c.z1, expected.data());
            backProjectFastOnPath(path, rows.data(), stride, c.n, c.m, c.jBegin, c.jEnd, c.x0, c.x1, c.z0, c.z1, actual.data());
            QVERIFY2(std::memcmp(actual.data(), expected.data(), sizeof(double) * actual.size()) == 0,
                     qPrintable(QString::asprintf("%s N=%d M=%d j=%d..%d x=%g..%g z=%g..%g seed %u", name, c.n, c.m, c.jBegin,
                                                  c.jEnd, c.x0, c.x1, c.z0, c.z1, c.seed)));
        }
    }
}

// Slopes near +-1 take the steep variants, beyond 1 the span check's fallback; every alignment.
void TestBackProjectionFast::steepRowsMatchScalarKernel()
{
    const int n = 200, stride = backProjectionStride(n);
    std::mt19937_64 generator(99);
    GuardedRows samples(1, stride), differences(1, stride + 1);
    QVERIFY(samples.data() && differences.data());
    fillRows(samples, n, stride, Magnitude::Mixed, generator);
    for (size_t i = 0; i < differences.size(); ++i)
        differences.data()[i] = int(i) < n - 1 ? samples.data()[i + 1] - samples.data()[i] : kNaN;
    std::vector<double> columns(size_t(n) + 8), expected(static_cast<size_t>(n)), actual;
    std::iota(columns.begin(), columns.end(), 0.0);
    const ProjectionRow row{samples.data(), differences.data(), columns.data()};
    std::uniform_real_distribution<double> start(-1.0, 1.0);
    for (BackProjectionPath path : {BackProjectionPath::Avx2, BackProjectionPath::Avx512}) {
        if (!backProjectionPathSupported(path))
            continue;
        const auto kernel = path == BackProjectionPath::Avx2 ? backProjectRowAvx2 : backProjectRowAvx512;
        for (double cs : {1.0, -1.0, 1.0 - 1e-7, -(1.0 - 1e-7), 1.0 - 2e-6, 1.2, -1.2, 1.37, -1.9})
            for (int xBegin = 0; xBegin < 9; ++xBegin)
                for (int length : {1, 3, 4, 7, 8, 9, 31, 90}) {
                    const double a = cs > 0.0 ? 1.37 - cs * xBegin : (n - 3.4) - cs * xBegin;
                    for (double &v : expected)
                        v = start(generator);
                    actual = expected;
                    backProjectRowScalar(expected.data(), row, xBegin, xBegin + length, cs, a);
                    kernel(actual.data(), row, xBegin, xBegin + length, cs, a);
                    QVERIFY2(std::memcmp(actual.data(), expected.data(), sizeof(double) * size_t(n)) == 0,
                             qPrintable(QString("%1 cs=%2 x=%3 + %4").arg(backProjectionPathName(path)).arg(cs, 0, 'g', 9).arg(xBegin).arg(length)));
                }
    }
}

QTEST_APPLESS_MAIN(TestBackProjectionFast)
#include "tst_backprojectionfast.moc"
