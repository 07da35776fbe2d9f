// AVX2 row kernel, compiled with -mavx2 and only called when the processor has it.
// Nothing here may be an inline or template function shared with other files (the
// linker could pick this file's copy for all).

#include "BackProjectionFast.h"

#include <immintrin.h>

namespace {

constexpr int kLanes = 4;

// The reference's loop for the pixels of one group whose indices do not fit the window.
static void addPixelsOneByOne(double *imageRow, const ProjectionRow &row, int xBegin, int xEnd, double cs,
                              double a)
{
    for (int x = xBegin; x < xEnd; ++x) {
        const double t = double(x) * cs + a;
        const int i = int(_mm_cvtsd_f64(_mm_floor_sd(_mm_setzero_pd(), _mm_set_sd(t))));
        imageRow[x] += row.samples[i] + (t - i) * row.differences[i];
    }
}

// Adds the pixels x .. x + 3 selected by `mask` (lanes past the row end repeat its last
// pixel). Along 4 pixels t moves by at most 3 samples (a rounding more in rare cases),
// so f[i] and f[i+1] - f[i] lie in the 4 values from the smallest index: one vector
// load each, permuted into place as 32-bit halves instead of a gather. Returns false,
// having added nothing, when an index lies outside that window.
static inline __attribute__((always_inline)) bool addPixels(double *pixels, const ProjectionRow &row, __m256d xv,
                                                            __m256d csv, __m256d av, int backStep,
                                                            bool wholeGroup, __m256i mask)
{
    const __m256d t = _mm256_add_pd(_mm256_mul_pd(xv, csv), av);
    const __m256d floorT = _mm256_round_pd(t, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __m128i index = _mm256_cvttpd_epi32(floorT);
    // Smallest index: lane 0 when t grows along the row, else at least lane 0's minus 3.
    int base = _mm_cvtsi128_si32(index) - backStep;
    base = base < 0 ? 0 : base;
    const __m128i offset = _mm_sub_epi32(index, _mm_set1_epi32(base));
    const __m128i inWindow = _mm_cmpeq_epi32(_mm_min_epu32(offset, _mm_set1_epi32(kLanes - 1)), offset);
    if (_mm_movemask_epi8(inWindow) != 0xffff)
        return false;
    // Double lane k reads the 32-bit halves 2*offset[k] and 2*offset[k] + 1.
    const __m256i doubled = _mm256_castsi128_si256(_mm_add_epi32(offset, offset));
    const __m256i halves = _mm256_add_epi32(
        _mm256_permutevar8x32_epi32(doubled, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3)),
        _mm256_setr_epi32(0, 1, 0, 1, 0, 1, 0, 1));
    const __m256d sample = _mm256_castps_pd(
        _mm256_permutevar8x32_ps(_mm256_castpd_ps(_mm256_loadu_pd(row.samples + base)), halves));
    const __m256d difference = _mm256_castps_pd(
        _mm256_permutevar8x32_ps(_mm256_castpd_ps(_mm256_loadu_pd(row.differences + base)), halves));
    const __m256d fraction = _mm256_sub_pd(t, floorT);
    const __m256d v = _mm256_add_pd(sample, _mm256_mul_pd(fraction, difference));
    if (wholeGroup) {
        _mm256_storeu_pd(pixels, _mm256_add_pd(_mm256_loadu_pd(pixels), v));
    } else {
        const __m256d sum = _mm256_add_pd(_mm256_maskload_pd(pixels, mask), v);
        _mm256_maskstore_pd(pixels, mask, sum);
    }
    return true;
}

} // namespace

void backProjectRowAvx2(double *imageRow, const ProjectionRow &row, int xBegin, int xEnd, double cs, double a)
{
    const __m256d csv = _mm256_set1_pd(cs);
    const __m256d av = _mm256_set1_pd(a);
    const int backStep = cs < 0.0 ? kLanes - 1 : 0;
    const __m256i allLanes = _mm256_set1_epi64x(-1);
    int x = xBegin;
    for (; x + kLanes <= xEnd; x += kLanes) {
        const __m256d xv = _mm256_loadu_pd(row.columns + x);
        if (!addPixels(imageRow + x, row, xv, csv, av, backStep, true, allLanes))
            addPixelsOneByOne(imageRow, row, x, x + kLanes, cs, a);
    }
    if (x < xEnd) {
        const int count = xEnd - x;
        const __m256d xv = _mm256_min_pd(_mm256_loadu_pd(row.columns + x), _mm256_set1_pd(double(xEnd - 1)));
        const __m256i mask = _mm256_cmpgt_epi64(_mm256_set1_epi64x(count), _mm256_setr_epi64x(0, 1, 2, 3));
        if (!addPixels(imageRow + x, row, xv, csv, av, backStep, false, mask))
            addPixelsOneByOne(imageRow, row, x, xEnd, cs, a);
    }
}
