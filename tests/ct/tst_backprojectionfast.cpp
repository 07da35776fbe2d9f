// The optimised back-projection against the reference loop: every path the processor
// has must give the reference's image bit for bit, for any size, number of projections,
// projection range and calculation region.

#include "BackProjection.h"
#include "BackProjectionFast.h"

#include <QtTest>

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

// Filtered rows in memory that ends at an inaccessible page (and starts right after
// one): a vector load past the padding of the last row, or before the first row, faults
// instead of reading a neighbour's bytes.
class GuardedRows
{
public:
    GuardedRows(int rows, int stride) : count(size_t(rows) * size_t(stride))
    {
        const size_t page = size_t(sysconf(_SC_PAGESIZE)), bytes = count * sizeof(double);
        const size_t dataPages = (bytes + page - 1) / page;
        mappedBytes = (dataPages + 2) * page;
        void *mapping = mmap(nullptr, mappedBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            return;
        base = static_cast<char *>(mapping);
        mprotect(base, page, PROT_NONE);
        mprotect(base + (dataPages + 1) * page, page, PROT_NONE);
        values = reinterpret_cast<double *>(base + (dataPages + 1) * page - bytes);
    }
    ~GuardedRows() { if (base) munmap(base, mappedBytes); }
    GuardedRows(const GuardedRows &) = delete;
    GuardedRows &operator=(const GuardedRows &) = delete;
    double *data() const { return values; }
    size_t size() const { return count; }

private:
    size_t count, mappedBytes = 0;
    char *base = nullptr;
    double *values = nullptr;
};

// How the filtered values are drawn: ordinary, very large, very small (subnormal
// included), or every sample with its own decimal exponent.
enum class Magnitude { Unit, Huge, Tiny, Mixed };

struct Case
{
    int n, m, jBegin, jEnd;
    double x0, x1, z0, z1;
    Magnitude magnitude;
    unsigned seed;
};

void fillRows(GuardedRows &rows, int n, int stride, Magnitude magnitude, std::mt19937_64 &random)
{
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    const double scale = magnitude == Magnitude::Huge ? 1e300 : magnitude == Magnitude::Tiny ? 1e-305 : 1.0;
    for (size_t k = 0; k < rows.size(); ++k) {
        if (int(k % size_t(stride)) >= n) {
            // Padding: read by the vector loads but never part of a sum.
            rows.data()[k] = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        double v = unit(random) * scale;
        if (magnitude == Magnitude::Mixed)
            v = unit(random) * std::pow(10.0, exponent(random));
        rows.data()[k] = v;
    }
}

QByteArray describe(const Case &c)
{
    return QString::asprintf("N=%d M=%d j=%d..%d x=%g..%g z=%g..%g magnitude=%d", c.n, c.m, c.jBegin, c.jEnd, c.x0,
                             c.x1, c.z0, c.z1, int(c.magnitude)).toLatin1();
}

// A region of one of the kinds the engines and scripts can produce.
void randomRegion(Case &c, std::mt19937_64 &random)
{
    const double n = c.n;
    std::uniform_real_distribution<double> across(-0.5 * n, 1.5 * n);
    std::uniform_real_distribution<double> inside(0.0, n);
    std::uniform_int_distribution<int> kind(0, 7);
    switch (kind(random)) {
    case 0: // the whole image
        c.x0 = 0.0, c.x1 = n, c.z0 = 0.0, c.z1 = n;
        break;
    case 1: // fractional bounds inside the image
        c.x0 = inside(random), c.x1 = c.x0 + inside(random), c.z0 = inside(random), c.z1 = c.z0 + inside(random);
        break;
    case 2: // negative and past the far edge
        c.x0 = -inside(random) - 0.25, c.x1 = n + inside(random), c.z0 = -inside(random), c.z1 = n + 3.7;
        break;
    case 3: // anywhere, upper bound possibly below the lower
        c.x0 = across(random), c.x1 = across(random), c.z0 = across(random), c.z1 = across(random);
        break;
    case 4: // empty
        c.x0 = c.x1 = inside(random), c.z0 = 0.0, c.z1 = n;
        break;
    case 5: // a single row
        c.x0 = -1.0, c.x1 = n, c.z0 = std::floor(inside(random)), c.z1 = c.z0 + 0.5;
        break;
    case 6: // a single column
        c.x0 = std::floor(inside(random)) + 0.9, c.x1 = std::floor(c.x0) + 1.0, c.z0 = 0.0, c.z1 = n;
        break;
    default: // the region turned around
        c.x0 = n - 1.0, c.x1 = 1.0, c.z0 = n * 0.75, c.z1 = n * 0.25;
        break;
    }
}

std::vector<Case> randomCases()
{
    std::mt19937_64 random(20240611);
    std::uniform_int_distribution<int> halfSize(1, 150);
    std::uniform_int_distribution<int> projections(1, 400);
    std::uniform_int_distribution<int> magnitude(0, 3);
    std::vector<Case> cases;
    for (int k = 0; k < 48; ++k) {
        Case c{};
        c.n = 2 * halfSize(random);
        c.m = projections(random);
        c.jBegin = 0;
        c.jEnd = c.m;
        if (k % 4 == 1) { // a part of the projections, as the single-slice engine adds them
            c.jBegin = c.m / 3;
            c.jEnd = std::max(c.jBegin + 1, 2 * c.m / 3);
        } else if (k % 4 == 2) { // up to and including 180 degrees
            c.jEnd = c.m + 1;
        }
        randomRegion(c, random);
        c.magnitude = Magnitude(magnitude(random));
        c.seed = unsigned(k + 1);
        cases.push_back(c);
    }
    return cases;
}

std::vector<Case> fixedCases()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {
        {2, 1, 0, 1, 0, 2, 0, 2, Magnitude::Unit, 101},             // the smallest image: no pixel inside
        {4, 3, 0, 3, 0, 4, 0, 4, Magnitude::Unit, 102},
        {18, 4, 0, 4, 0, 18, 0, 18, Magnitude::Unit, 103},          // 0, 45, 90, 135 degrees
        {18, 4, 0, 4, -5.7, 10.5, 0, 10, Magnitude::Unit, 104},
        {64, 2, 0, 2, 0, 64, 0, 64, Magnitude::Mixed, 105},         // 90 degrees: cos is 6e-17
        {64, 8, 0, 9, 0, 64, 0, 64, Magnitude::Huge, 106},          // 0 ... 180 degrees in 22.5
        {256, 3600, 895, 905, 0, 256, 0, 256, Magnitude::Unit, 107},  // around 90 degrees
        {256, 3600, 445, 455, 0, 256, 0, 256, Magnitude::Unit, 108},  // around 45 degrees
        {256, 3600, 1345, 1355, 0, 256, 0, 256, Magnitude::Unit, 109}, // around 135 degrees
        {256, 3600, 0, 6, 0, 256, 0, 256, Magnitude::Unit, 110},      // just above 0 degrees
        {256, 3600, 1795, 1801, 0, 256, 0, 256, Magnitude::Tiny, 111}, // up to 180 degrees
        {100, 90, 0, 90, -1e300, 1e300, -1e300, 1e300, Magnitude::Unit, 112},
        {100, 90, 0, 90, nan, 50, 20, 80, Magnitude::Unit, 113},
        {100, 90, 0, 90, 10, 90, 10, nan, Magnitude::Unit, 114},
        {1024, 12, 0, 12, 0, 1024, 0, 1024, Magnitude::Unit, 115},
        {300, 400, 0, 400, 0, 300, 0, 300, Magnitude::Mixed, 116},
        // Odd sizes do not come from the engines (N is rounded down to even), but the
        // centre then lies between pixels, which the circle bounds must handle too.
        {17, 40, 0, 40, 0, 17, 0, 17, Magnitude::Unit, 117},
        {101, 90, 0, 91, -3, 120, -3, 120, Magnitude::Unit, 118},
    };
}

} // namespace

class TestBackProjectionFast : public QObject
{
    Q_OBJECT

private slots:
    void identicalToReference_data();
    void identicalToReference();
    void steepRowsMatchScalarKernel_data();
    void steepRowsMatchScalarKernel();
    void pathFromEnvironmentValue();
};

void TestBackProjectionFast::identicalToReference_data()
{
    QTest::addColumn<int>("path");
    QTest::addColumn<int>("caseIndex");
    QTest::addColumn<bool>("random");
    for (BackProjectionPath path :
         {BackProjectionPath::Scalar, BackProjectionPath::Avx2, BackProjectionPath::Avx512}) {
        const std::vector<Case> fixed = fixedCases();
        for (size_t k = 0; k < fixed.size(); ++k)
            QTest::addRow("%s %s", backProjectionPathName(path), describe(fixed[k]).constData())
                << int(path) << int(k) << false;
        const std::vector<Case> cases = randomCases();
        for (size_t k = 0; k < cases.size(); ++k)
            QTest::addRow("%s random %s", backProjectionPathName(path), describe(cases[k]).constData())
                << int(path) << int(k) << true;
    }
}

void TestBackProjectionFast::identicalToReference()
{
    QFETCH(int, path);
    QFETCH(int, caseIndex);
    QFETCH(bool, random);
    const auto bpPath = BackProjectionPath(path);
    if (!backProjectionPathSupported(bpPath))
        QSKIP("This processor lacks the instruction set of this path");
    const Case c = random ? randomCases()[size_t(caseIndex)] : fixedCases()[size_t(caseIndex)];

    std::mt19937_64 generator(c.seed);
    const int stride = backProjectionStride(c.n);
    GuardedRows rows(c.jEnd, stride);
    QVERIFY(rows.data());
    fillRows(rows, c.n, stride, c.magnitude, generator);

    // Both start from the same non-zero image, so pixels outside the region or the
    // circle must be left exactly as they were.
    std::uniform_real_distribution<double> start(-1.0, 1.0);
    std::vector<double> expected(size_t(c.n) * size_t(c.n));
    for (double &v : expected)
        v = start(generator);
    std::vector<double> actual = expected;
    const std::vector<double> before = expected;

    backProjectReference(rows.data(), stride, c.n, c.m, c.jBegin, c.jEnd, c.x0, c.x1, c.z0, c.z1, expected.data());
    backProjectFastOnPath(bpPath, rows.data(), stride, c.n, c.m, c.jBegin, c.jEnd, c.x0, c.x1, c.z0, c.z1,
                          actual.data());

    for (size_t k = 0; k < actual.size(); ++k) {
        if (std::memcmp(&actual[k], &expected[k], sizeof(double)) != 0) {
            const int n = c.n;
            QFAIL(qPrintable(QString("pixel x=%1 z=%2: optimised %3, reference %4 (started at %5)")
                                 .arg(int(k % size_t(n)))
                                 .arg(int(k / size_t(n)))
                                 .arg(actual[k], 0, 'g', 17)
                                 .arg(expected[k], 0, 'g', 17)
                                 .arg(before[k], 0, 'g', 17)));
        }
    }
}

void TestBackProjectionFast::steepRowsMatchScalarKernel_data()
{
    QTest::addColumn<int>("path");
    QTest::addColumn<double>("cs");
    // Slopes at and near +-1 take the kernels' steep variants; slopes beyond 1 (no
    // cosine is) make 4 or 8 neighbouring indices span more than the usual window, so
    // the span check and its one-by-one fallback run too.
    for (BackProjectionPath path : {BackProjectionPath::Avx2, BackProjectionPath::Avx512}) {
        for (double cs : {1.0, -1.0, 1.0 - 1e-7, -(1.0 - 1e-7), 1.0 - 2e-6, 1.2, -1.2, 1.37, -1.9})
            QTest::addRow("%s cs=%.9g", backProjectionPathName(path), cs) << int(path) << cs;
    }
}

void TestBackProjectionFast::steepRowsMatchScalarKernel()
{
    QFETCH(int, path);
    QFETCH(double, cs);
    const auto bpPath = BackProjectionPath(path);
    if (!backProjectionPathSupported(bpPath))
        QSKIP("This processor lacks the instruction set of this path");
    const int n = 200;
    const int stride = backProjectionStride(n);
    std::mt19937_64 generator(99);
    GuardedRows samples(1, stride);
    GuardedRows differences(1, stride + 1);
    QVERIFY(samples.data() && differences.data());
    fillRows(samples, n, stride, Magnitude::Mixed, generator);
    for (size_t i = 0; i < differences.size(); ++i)
        differences.data()[i] = int(i) < n - 1 ? samples.data()[i + 1] - samples.data()[i]
                                               : std::numeric_limits<double>::quiet_NaN();
    std::vector<double> columns(size_t(n) + 8);
    for (size_t x = 0; x < columns.size(); ++x)
        columns[x] = double(x);
    const ProjectionRow row{samples.data(), differences.data(), columns.data()};

    std::uniform_real_distribution<double> start(-1.0, 1.0);
    // Every start column (so every alignment of the first group) and several lengths,
    // with t kept inside 0 ... N - 2 (rising from 1.37 or falling from N - 3.4).
    for (int xBegin = 0; xBegin < 9; ++xBegin) {
        for (int length : {1, 3, 4, 7, 8, 9, 31, 90}) {
            const int xEnd = xBegin + length;
            const double a = cs > 0.0 ? 1.37 - cs * xBegin : (n - 3.4) - cs * xBegin;
            std::vector<double> expected(static_cast<size_t>(n));
            for (double &v : expected)
                v = start(generator);
            std::vector<double> actual = expected;
            backProjectRowScalar(expected.data(), row, xBegin, xEnd, cs, a);
            if (bpPath == BackProjectionPath::Avx2)
                backProjectRowAvx2(actual.data(), row, xBegin, xEnd, cs, a);
            else
                backProjectRowAvx512(actual.data(), row, xBegin, xEnd, cs, a);
            QVERIFY2(std::memcmp(actual.data(), expected.data(), sizeof(double) * size_t(n)) == 0,
                     qPrintable(QString("x=%1..%2").arg(xBegin).arg(xEnd)));
        }
    }
}

// ZORVEL_BP_PATH names a path; unknown or unsupported names fall back to the widest
// path this processor has, with a debug line.
void TestBackProjectionFast::pathFromEnvironmentValue()
{
    const BackProjectionPath widest = backProjectionPathFor(nullptr);
    QVERIFY(backProjectionPathSupported(widest));
    QVERIFY(backProjectionPathSupported(backProjectionDefaultPath()));
    if (backProjectionPathSupported(BackProjectionPath::Avx2))
        QVERIFY(widest != BackProjectionPath::Scalar);
    QCOMPARE(int(backProjectionPathFor("")), int(widest));
    for (BackProjectionPath path :
         {BackProjectionPath::Scalar, BackProjectionPath::Avx2, BackProjectionPath::Avx512}) {
        const char *name = backProjectionPathName(path);
        if (backProjectionPathSupported(path)) {
            QCOMPARE(int(backProjectionPathFor(name)), int(path));
        } else {
            QTest::ignoreMessage(QtDebugMsg,
                                 qPrintable(QString("Back-projection path not supported by this processor %1").arg(name)));
            QCOMPARE(int(backProjectionPathFor(name)), int(widest));
        }
    }
    QTest::ignoreMessage(QtDebugMsg, "Unknown back-projection path in ZORVEL_BP_PATH AVX512");
    QCOMPARE(int(backProjectionPathFor("AVX512")), int(widest));
}

QTEST_APPLESS_MAIN(TestBackProjectionFast)
#include "tst_backprojectionfast.moc"
