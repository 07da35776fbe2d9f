#pragma once

#include <algorithm>
#include <thread>
#include <vector>

// Small dense linear algebra of the XANES fits (at most a few unknowns).
namespace XanesLinear {

// Inverts the n x n row-major matrix m in place (Gauss-Jordan with partial pivoting);
// false when it is singular to working precision.
bool invert(std::vector<double> &m, int n);

// Least-squares rows of a polynomial of this degree through the points x[0..count):
// coefficient j (of x^j) of the fit to values y is the dot product of row j with y.
// Empty when the points do not determine the polynomial.
std::vector<std::vector<double>> polynomialRows(const double *x, int count, int degree);

// Runs work(rowBegin, rowEnd) on bands of rows, one band per thread (threads 0: one per
// core); the calling thread takes the first band.
template <typename Work>
void overRows(int height, int threads, Work work)
{
    const int count = std::clamp(threads > 0 ? threads : int(std::thread::hardware_concurrency()), 1, std::max(1, height));
    std::vector<std::thread> pool;
    for (int t = 1; t < count; ++t)
        pool.emplace_back(work, height * t / count, height * (t + 1) / count);
    work(0, height / count);
    for (std::thread &thread : pool)
        thread.join();
}

} // namespace XanesLinear
