#include "XanesLinear.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace XanesLinear {

bool invert(std::vector<double> &m, int n)
{
    std::vector<double> inverse(size_t(n) * size_t(n), 0.0);
    for (int i = 0; i < n; ++i)
        inverse[size_t(i * n + i)] = 1.0;
    double largest = 0.0;
    for (double v : m)
        largest = std::max(largest, std::abs(v));
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int row = col + 1; row < n; ++row)
            if (std::abs(m[size_t(row * n + col)]) > std::abs(m[size_t(pivot * n + col)]))
                pivot = row;
        const double p = m[size_t(pivot * n + col)];
        if (!(std::abs(p) > 1e-12 * largest))
            return false;
        for (int k = 0; k < n; ++k) {
            std::swap(m[size_t(col * n + k)], m[size_t(pivot * n + k)]);
            std::swap(inverse[size_t(col * n + k)], inverse[size_t(pivot * n + k)]);
        }
        for (int k = 0; k < n; ++k) {
            m[size_t(col * n + k)] /= p;
            inverse[size_t(col * n + k)] /= p;
        }
        for (int row = 0; row < n; ++row) {
            const double f = m[size_t(row * n + col)];
            if (row == col || f == 0.0)
                continue;
            for (int k = 0; k < n; ++k) {
                m[size_t(row * n + k)] -= f * m[size_t(col * n + k)];
                inverse[size_t(row * n + k)] -= f * inverse[size_t(col * n + k)];
            }
        }
    }
    m = std::move(inverse);
    return true;
}

std::vector<std::vector<double>> polynomialRows(const double *x, int count, int degree)
{
    const int terms = degree + 1;
    if (count < terms)
        return {};
    // Powers of x / scale keep the normal matrix well conditioned for any energy range.
    double scale = 0.0;
    for (int i = 0; i < count; ++i)
        scale = std::max(scale, std::abs(x[i]));
    scale = scale > 0.0 ? scale : 1.0;
    std::vector<double> powers(size_t(count) * size_t(terms));
    for (int i = 0; i < count; ++i) {
        double p = 1.0;
        for (int j = 0; j < terms; ++j, p *= x[i] / scale)
            powers[size_t(i * terms + j)] = p;
    }
    std::vector<double> normal(size_t(terms) * size_t(terms), 0.0);
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < terms; ++j)
            for (int k = 0; k < terms; ++k)
                normal[size_t(j * terms + k)] += powers[size_t(i * terms + j)] * powers[size_t(i * terms + k)];
    if (!invert(normal, terms))
        return {};
    std::vector<std::vector<double>> rows(size_t(terms), std::vector<double>(size_t(count), 0.0));
    for (int j = 0; j < terms; ++j) {
        const double unscale = std::pow(scale, -j);
        for (int i = 0; i < count; ++i) {
            double sum = 0.0;
            for (int k = 0; k < terms; ++k)
                sum += normal[size_t(j * terms + k)] * powers[size_t(i * terms + k)];
            rows[size_t(j)][size_t(i)] = sum * unscale;
        }
    }
    return rows;
}

} // namespace XanesLinear
