// AVX-512 row kernel, compiled with -mavx512f -mavx512dq -mavx512vl -mavx512bw and only
// called when the processor has them. Nothing here may be an inline or template
// function shared with other files (the linker could pick this file's copy for all).

#include "BackProjectionFast.h"

// GCC 12's intrinsics pass an intentionally undefined vector through some conversions
// and then warn about it.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

namespace {

constexpr int kLanes = 8;

// Projections closer than this to 0 or 180 degrees take the wide window (below).
constexpr double kSteepCosine = 1.0 - 1e-6;

// t = x*cs + a and its floor, lane by lane as the reference computes them. Every lane
// has t >= 0 (the caller's bounds), so truncation is the floor, and converting the index
// back gives the reference's (double)i.
struct Lanes
{
    __m512d t;
    __m512i index;
};

static inline __attribute__((always_inline)) Lanes detectorLanes(__m512d xv, __m512d csv, __m512d av)
{
    const __m512d t = _mm512_add_pd(_mm512_mul_pd(xv, csv), av);
    return {t, _mm512_cvttpd_epi64(t)};
}

// f[i] + (t - i)*(f[i+1] - f[i]) added to the pixels selected by mask.
static inline __attribute__((always_inline)) void addInterpolated(double *pixels, const Lanes &lanes,
                                                                  __m512d sample, __m512d difference,
                                                                  __mmask8 mask)
{
    const __m512d fraction = _mm512_sub_pd(lanes.t, _mm512_cvtepi64_pd(lanes.index));
    const __m512d v = _mm512_add_pd(sample, _mm512_mul_pd(fraction, difference));
    if (mask == 0xff) {
        _mm512_storeu_pd(pixels, _mm512_add_pd(_mm512_loadu_pd(pixels), v));
    } else {
        const __m512d sum = _mm512_add_pd(_mm512_maskz_loadu_pd(mask, pixels), v);
        _mm512_mask_storeu_pd(pixels, mask, sum);
    }
}

// Usual projections: |cos| < 1 - 1e-6, so over 8 pixels t moves by less than 7 samples
// (rounding adds far less than the margin) and the 8 indices span at most 7. Then all
// indices lie in the two 8-sample blocks starting at the block of the smallest one.
// Loaded as "even block" and "odd block" (block number parity), the permute selects
// from them with the index itself: bit 3 picks the block, bits 0-2 the sample.
static inline __attribute__((always_inline)) __m512d fromBlocks(const double *values, long long smallest,
                                                                __m512i index)
{
    const __m512d evenBlock = _mm512_loadu_pd(values + ((smallest + kLanes) & ~15LL));
    const __m512d oddBlock = _mm512_loadu_pd(values + ((smallest & ~15LL) | kLanes));
    return _mm512_permutex2var_pd(evenBlock, index, oddBlock);
}

static inline __attribute__((always_inline)) void addPixels(double *pixels, const ProjectionRow &row, __m512d xv,
                                                            __m512d csv, __m512d av, long long backStep,
                                                            __mmask8 mask)
{
    const Lanes lanes = detectorLanes(xv, csv, av);
    // Smallest index: lane 0 when t grows along the row, else at least lane 0's minus 7.
    long long smallest = _mm_cvtsi128_si64(_mm512_castsi512_si128(lanes.index)) - backStep;
    smallest = smallest < 0 ? 0 : smallest;
    addInterpolated(pixels, lanes, fromBlocks(row.samples, smallest, lanes.index),
                    fromBlocks(row.differences, smallest, lanes.index), mask);
}

// Projections within 1e-6 of 0 or 180 degrees: t may move by a rounding more than 7
// samples over 8 pixels, so the window is the 16 samples from the smallest index
// itself (exactly known here: lane 0 or lane 7), which leaves room for a span of 15.
static inline __attribute__((always_inline)) void addPixelsSteep(double *pixels, const ProjectionRow &row,
                                                                 __m512d xv, __m512d csv, __m512d av,
                                                                 bool falling, __mmask8 mask)
{
    const Lanes lanes = detectorLanes(xv, csv, av);
    const __m512i smallestLane = _mm512_set1_epi64(falling ? kLanes - 1 : 0);
    const __m512i smallest = _mm512_permutexvar_epi64(smallestLane, lanes.index);
    const long long base = _mm_cvtsi128_si64(_mm512_castsi512_si128(smallest));
    const __m512i offset = _mm512_sub_epi64(lanes.index, smallest);
    const __m512d sample = _mm512_permutex2var_pd(_mm512_loadu_pd(row.samples + base), offset,
                                                  _mm512_loadu_pd(row.samples + base + kLanes));
    const __m512d difference = _mm512_permutex2var_pd(_mm512_loadu_pd(row.differences + base), offset,
                                                      _mm512_loadu_pd(row.differences + base + kLanes));
    addInterpolated(pixels, lanes, sample, difference, mask);
}

template <bool steep>
static inline __attribute__((always_inline)) void addGroup(double *imageRow, const ProjectionRow &row, int x,
                                                           int count, __m512d csv, __m512d av, bool falling,
                                                           long long backStep)
{
    __m512d xv = _mm512_loadu_pd(row.columns + x);
    __mmask8 mask = 0xff;
    if (count < kLanes) {
        // Lanes past the group repeat its last pixel and are masked off.
        mask = __mmask8((1u << count) - 1u);
        xv = _mm512_min_pd(xv, _mm512_set1_pd(double(x + count - 1)));
    }
    if (steep)
        addPixelsSteep(imageRow + x, row, xv, csv, av, falling, mask);
    else
        addPixels(imageRow + x, row, xv, csv, av, backStep, mask);
}

template <bool steep>
static inline __attribute__((always_inline)) void addRow(double *imageRow, const ProjectionRow &rowIn,
                                                         int xBegin, int xEnd, double cs, double a)
{
    // A local copy: the image stores cannot change it, so its pointers stay in registers.
    const ProjectionRow row = rowIn;
    const __m512d csv = _mm512_set1_pd(cs);
    const __m512d av = _mm512_set1_pd(a);
    const bool falling = cs < 0.0;
    const long long backStep = falling ? kLanes - 1 : 0;
    int x = xBegin;
    // A first, partial group up to a 64-byte boundary of the image row, so that the
    // loads and stores of the pixels do not straddle cache lines.
    const int misaligned = int((reinterpret_cast<unsigned long long>(imageRow + x) & 63u) / sizeof(double));
    if (misaligned != 0 && x < xEnd) {
        const int count = xEnd - x < kLanes - misaligned ? xEnd - x : kLanes - misaligned;
        addGroup<steep>(imageRow, row, x, count, csv, av, falling, backStep);
        x += count;
    }
    for (; x + kLanes <= xEnd; x += kLanes)
        addGroup<steep>(imageRow, row, x, kLanes, csv, av, falling, backStep);
    if (x < xEnd)
        addGroup<steep>(imageRow, row, x, xEnd - x, csv, av, falling, backStep);
}

} // namespace

void backProjectRowAvx512(double *imageRow, const ProjectionRow &row, int xBegin, int xEnd, double cs, double a)
{
    if (cs < kSteepCosine && cs > -kSteepCosine)
        addRow<false>(imageRow, row, xBegin, xEnd, cs, a);
    else
        addRow<true>(imageRow, row, xBegin, xEnd, cs, a);
}
