// AVX-512 row kernel, compiled with -mavx512f -mavx512dq -mavx512vl -mavx512bw and only
// called when the processor has them. Nothing here may be an inline or template
// function shared with other files (the linker could pick this file's copy for all).

#include "BackProjectionFast.h"

#include <immintrin.h>

namespace {

constexpr int kLanes = 8;

// Adds 8 pixels at xv (as doubles; lanes past the row end repeat its last pixel and are
// masked off). `base` is the smallest detector index of the 8 lanes: along 8 pixels t
// moves by at most 7 samples, so f[i] and f[i + 1] lie in f[base .. base + 15], two
// vector loads, and a two-register permute puts them into place instead of a gather.
static inline __attribute__((always_inline)) void addPixels(double *pixels, const double *row, __m512d xv,
                                                            __m512d csv, __m512d av, int base,
                                                            __mmask8 mask)
{
    const __m512d t = _mm512_add_pd(_mm512_mul_pd(xv, csv), av);
    // The masked forms avoid GCC's uninitialised-looking pass-through operand.
    const __m512d floorT = _mm512_mask_roundscale_pd(t, 0xff, t, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __m512d fraction = _mm512_sub_pd(t, floorT);
    const __m512i index = _mm512_sub_epi64(_mm512_cvttpd_epi64(floorT), _mm512_set1_epi64(base));
    const __m512i nextIndex = _mm512_add_epi64(index, _mm512_set1_epi64(1));
    const __m512d low = _mm512_loadu_pd(row + base);
    const __m512d high = _mm512_loadu_pd(row + base + kLanes);
    const __m512d f0 = _mm512_permutex2var_pd(low, index, high);
    const __m512d f1 = _mm512_permutex2var_pd(low, nextIndex, high);
    const __m512d v = _mm512_add_pd(f0, _mm512_mul_pd(fraction, _mm512_sub_pd(f1, f0)));
    const __m512d sum = _mm512_add_pd(_mm512_maskz_loadu_pd(mask, pixels), v);
    _mm512_mask_storeu_pd(pixels, mask, sum);
}

// The reference's detector index at pixel x, computed the same way as in the lanes.
static inline int detectorIndex(int x, double cs, double a)
{
    const double t = double(x) * cs + a;
    return int(_mm_cvtsd_f64(_mm_floor_sd(_mm_setzero_pd(), _mm_set_sd(t))));
}

} // namespace

void backProjectRowAvx512(double *imageRow, const double *row, int xBegin, int xEnd, double cs, double a)
{
    const __m512d csv = _mm512_set1_pd(cs);
    const __m512d av = _mm512_set1_pd(a);
    const __m512d laneOffsets = _mm512_set_pd(7.0, 6.0, 5.0, 4.0, 3.0, 2.0, 1.0, 0.0);
    // The lane with the smallest index: the first when t grows along the row, else the last.
    const int smallestLane = cs < 0.0 ? kLanes - 1 : 0;
    int x = xBegin;
    for (; x + kLanes <= xEnd; x += kLanes) {
        const __m512d xv = _mm512_add_pd(_mm512_set1_pd(double(x)), laneOffsets);
        addPixels(imageRow + x, row, xv, csv, av, detectorIndex(x + smallestLane, cs, a), 0xff);
    }
    if (x < xEnd) {
        const int count = xEnd - x;
        const int lastX = xEnd - 1;
        const __m512d unclamped = _mm512_add_pd(_mm512_set1_pd(double(x)), laneOffsets);
        const __m512d xv = _mm512_mask_min_pd(unclamped, 0xff, unclamped, _mm512_set1_pd(double(lastX)));
        const int baseX = cs < 0.0 ? lastX : x;
        addPixels(imageRow + x, row, xv, csv, av, detectorIndex(baseX, cs, a), __mmask8((1u << count) - 1u));
    }
}
