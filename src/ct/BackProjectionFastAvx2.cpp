// AVX2 row kernel, compiled with -mavx2 and only called when the processor has it.
// Nothing here may be an inline or template function shared with other files (the
// linker could pick this file's copy for all).

#include "BackProjectionFast.h"

#include <immintrin.h>

namespace {

constexpr int kLanes = 4;

// The reference's detector index at pixel x, computed the same way as in the lanes.
static inline int detectorIndex(int x, double cs, double a)
{
    const double t = double(x) * cs + a;
    return int(_mm_cvtsd_f64(_mm_floor_sd(_mm_setzero_pd(), _mm_set_sd(t))));
}

// The reference's loop for the pixels of one group whose indices do not fit the window.
static void addPixelsOneByOne(double *imageRow, const double *row, int xBegin, int xEnd, double cs, double a)
{
    for (int x = xBegin; x < xEnd; ++x) {
        const double t = double(x) * cs + a;
        const double floorT = _mm_cvtsd_f64(_mm_floor_sd(_mm_setzero_pd(), _mm_set_sd(t)));
        const int i = int(floorT);
        imageRow[x] += row[i] + (t - i) * (row[i + 1] - row[i]);
    }
}

// Adds the pixels x .. x + 3 selected by `mask` (lanes past the row end repeat its last
// pixel). `base` is the smallest detector index of the lanes. Along 4 pixels t moves by
// at most 3 samples, so f[i] lies in f[base .. base + 3] and f[i + 1] in
// f[base + 1 .. base + 4]: two vector loads, each permuted into place as 32-bit halves
// instead of a gather. Returns false, having added nothing, when an index lies further
// out (t rounded across one more integer).
static inline __attribute__((always_inline)) bool addPixels(double *pixels, const double *row, __m256d xv,
                                                            __m256d csv, __m256d av, int base, __m256i mask)
{
    const __m256d t = _mm256_add_pd(_mm256_mul_pd(xv, csv), av);
    const __m256d floorT = _mm256_round_pd(t, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __m128i index = _mm_sub_epi32(_mm256_cvttpd_epi32(floorT), _mm_set1_epi32(base));
    if (_mm_movemask_epi8(_mm_cmpgt_epi32(index, _mm_set1_epi32(kLanes - 1))) != 0)
        return false;
    // Double lane k reads the 32-bit halves 2*index[k] and 2*index[k] + 1.
    const __m256i doubled = _mm256_castsi128_si256(_mm_add_epi32(index, index));
    const __m256i halves = _mm256_add_epi32(
        _mm256_permutevar8x32_epi32(doubled, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3)),
        _mm256_setr_epi32(0, 1, 0, 1, 0, 1, 0, 1));
    const __m256d f0 = _mm256_castps_pd(
        _mm256_permutevar8x32_ps(_mm256_castpd_ps(_mm256_loadu_pd(row + base)), halves));
    const __m256d f1 = _mm256_castps_pd(
        _mm256_permutevar8x32_ps(_mm256_castpd_ps(_mm256_loadu_pd(row + base + 1)), halves));
    const __m256d fraction = _mm256_sub_pd(t, floorT);
    const __m256d v = _mm256_add_pd(f0, _mm256_mul_pd(fraction, _mm256_sub_pd(f1, f0)));
    const __m256d sum = _mm256_add_pd(_mm256_maskload_pd(pixels, mask), v);
    _mm256_maskstore_pd(pixels, mask, sum);
    return true;
}

} // namespace

void backProjectRowAvx2(double *imageRow, const double *row, int xBegin, int xEnd, double cs, double a)
{
    const __m256d csv = _mm256_set1_pd(cs);
    const __m256d av = _mm256_set1_pd(a);
    const __m256d laneOffsets = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
    const __m256i allLanes = _mm256_set1_epi64x(-1);
    // The lane with the smallest index: the first when t grows along the row, else the last.
    const int smallestLane = cs < 0.0 ? kLanes - 1 : 0;
    int x = xBegin;
    for (; x + kLanes <= xEnd; x += kLanes) {
        const __m256d xv = _mm256_add_pd(_mm256_set1_pd(double(x)), laneOffsets);
        if (!addPixels(imageRow + x, row, xv, csv, av, detectorIndex(x + smallestLane, cs, a), allLanes))
            addPixelsOneByOne(imageRow, row, x, x + kLanes, cs, a);
    }
    if (x < xEnd) {
        const int count = xEnd - x;
        const int lastX = xEnd - 1;
        const __m256d xv = _mm256_min_pd(_mm256_add_pd(_mm256_set1_pd(double(x)), laneOffsets),
                                         _mm256_set1_pd(double(lastX)));
        const __m256i mask = _mm256_cmpgt_epi64(_mm256_set1_epi64x(count), _mm256_setr_epi64x(0, 1, 2, 3));
        const int baseX = cs < 0.0 ? lastX : x;
        if (!addPixels(imageRow + x, row, xv, csv, av, detectorIndex(baseX, cs, a), mask))
            addPixelsOneByOne(imageRow, row, x, xEnd, cs, a);
    }
}
