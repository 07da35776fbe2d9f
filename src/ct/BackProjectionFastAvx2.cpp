// AVX2 row kernel, compiled with -mavx2 and only called when the processor has it.
// Nothing here may be an inline or template function shared with other files (the
// linker could pick this file's copy for all).

#include "BackProjectionFast.h"

#include <immintrin.h>

namespace {

constexpr int kLanes = 4;

// Projections closer than this to 0 or 180 degrees check every group's index span.
constexpr double kSteepCosine = 1.0 - 1e-6;

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
// pixel). For |cos| < 1 - 1e-6, t moves by less than 3 samples over 4 pixels (rounding
// adds far less than the margin), so f[i] and f[i+1] - f[i] lie in the 4 values from the
// smallest index: one vector load each, permuted into place as 32-bit halves instead
// of a gather. Closer to 0 and 180 degrees (`steep`) a rounding may add one more sample;
// then the span is checked and false returned, with nothing added, when it is too wide.
template <bool steep>
static inline __attribute__((always_inline)) bool addPixels(double *pixels, const ProjectionRow &row, __m256d xv,
                                                            __m256d csv, __m256d av, bool falling,
                                                            bool wholeGroup, __m256i mask)
{
    const __m256d t = _mm256_add_pd(_mm256_mul_pd(xv, csv), av);
    const __m256d floorT = _mm256_round_pd(t, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __m128i index = _mm256_cvttpd_epi32(floorT);
    // Smallest index: lane 0 when t grows along the row, else lane 3 (the lanes past the
    // row end repeat the last pixel, so lane 3 is the smallest in a partial group too).
    const int base = falling ? _mm_extract_epi32(index, 3) : _mm_cvtsi128_si32(index);
    const __m128i offset = _mm_sub_epi32(index, _mm_set1_epi32(base));
    if (steep && _mm_movemask_epi8(_mm_cmpgt_epi32(offset, _mm_set1_epi32(kLanes - 1))) != 0)
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

template <bool steep>
static inline __attribute__((always_inline)) void addRow(double *imageRow, const ProjectionRow &rowIn, int xBegin,
                                                         int xEnd, double cs, double a)
{
    // A local copy: the image stores cannot change it, so its pointers stay in registers.
    const ProjectionRow row = rowIn;
    const __m256d csv = _mm256_set1_pd(cs);
    const __m256d av = _mm256_set1_pd(a);
    const bool falling = cs < 0.0;
    const __m256i laneNumbers = _mm256_setr_epi64x(0, 1, 2, 3);
    // Pixels x .. x + count - 1, count <= 4; lanes past them repeat the last one, masked off.
    const auto addGroup = [&](int x, int count) {
        __m256d xv = _mm256_loadu_pd(row.columns + x);
        __m256i mask = _mm256_set1_epi64x(-1);
        if (count < kLanes) {
            xv = _mm256_min_pd(xv, _mm256_set1_pd(double(x + count - 1)));
            mask = _mm256_cmpgt_epi64(_mm256_set1_epi64x(count), laneNumbers);
        }
        if (!addPixels<steep>(imageRow + x, row, xv, csv, av, falling, count == kLanes, mask))
            addPixelsOneByOne(imageRow, row, x, x + count, cs, a);
    };
    int x = xBegin;
    // A first, partial group up to a 32-byte boundary of the image row, so that the
    // loads and stores of the pixels do not straddle cache lines.
    const int misaligned = int((reinterpret_cast<unsigned long long>(imageRow + x) & 31u) / sizeof(double));
    if (misaligned != 0 && x < xEnd) {
        const int count = xEnd - x < kLanes - misaligned ? xEnd - x : kLanes - misaligned;
        addGroup(x, count);
        x += count;
    }
    for (; x + kLanes <= xEnd; x += kLanes)
        addGroup(x, kLanes);
    if (x < xEnd)
        addGroup(x, xEnd - x);
}

} // namespace

void backProjectRowAvx2(double *imageRow, const ProjectionRow &row, int xBegin, int xEnd, double cs, double a)
{
    if (cs < kSteepCosine && cs > -kSteepCosine)
        addRow<false>(imageRow, row, xBegin, xEnd, cs, a);
    else
        addRow<true>(imageRow, row, xBegin, xEnd, cs, a);
}
