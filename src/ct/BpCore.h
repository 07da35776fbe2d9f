#pragma once

#include "ReconFilter.h"

#include <fftw3.h>

#include <vector>

// Filtered back-projection of one slice: FFT of each sinogram row, ramp filter,
// inverse FFT, and linear-interpolation back-projection inside the inscribed circle.
//
// N is the transform length and the image side (the sinogram width rounded down to an
// even number, no padding), M the number of projections; projection j lies at j*pi/M.
// The image is N x N, row-major, image()[z * N + x] (z down, x right); its centre, and
// the centre of rotation, is c = N/2.
//
// Filtered rows are one block: row j starts at filtered() + j * filteredStride() and
// holds N samples followed by zero padding, as backProjectFast expects.
//
// In the quantitative mode (ReconFilter::quantitative) each row is zero-padded to
// P = QuantFilter::paddedLength(N) samples and transformed with real-to-complex plans;
// a spectrum then holds P/2 + 1 bins, the filter is the Ram-Lak response times the
// window, and the filtered row is cut to N samples and scaled by pi/(2M), so the sum
// over projections is attenuation per pixel whichever engine calls.
//
// Threads: a core belongs to one thread at a time, which plans, executes and destroys its
// transforms (the planner is made thread-safe at start-up, see FftwPlannerThread);
// several cores may run in parallel.
class BpCore
{
public:
    BpCore() = default;
    ~BpCore();
    BpCore(const BpCore &) = delete;
    BpCore &operator=(const BpCore &) = delete;

    // Keeps buffers and plans when N and M are unchanged; otherwise rebuilds them.
    // An odd N is rounded down to even; N <= 0 leaves the core without plans. False when
    // the core is left without plans: N <= 0, or not enough memory (with a debug line).
    bool setupCore(int n, int m);
    // The same with a filter choice; a different choice also rebuilds.
    bool setupCore(int n, int m, const ReconFilter &filter);
    void releaseCore();
    // N x N zeros; clears done.
    void resizeImage(int n);
    // Forward transform of the first N samples of row into spectrum j.
    void transformRow(const double *row, int j);
    // Ramp filter of spectrum j, inverse transform, divided by `divisor` into filtered
    // row j. The divisor is N for the CT2 engine (image = sum over projections) and
    // M*N for the CT1 engine (image = mean). The quantitative mode ignores the divisor:
    // its rows carry the scale pi/(2M*P) of the unnormalised transforms and the angles.
    void filterRow(int j, double divisor);
    // Adds projection j over the region x0 <= x < x1, z0 <= z < z1 (bounds truncated
    // toward zero) with the reference loop; sets done.
    void backProject(int j, double x0, double x1, double z0, double z1);
    // Adds projections 0 ... M-1 in order, same sums as backProject for each j; sets done.
    void backProjectAll(double x0, double x1, double z0, double z1);
    // One whole slice after setupCore: N x N zeros, then transform, filter (divisor) and
    // back-projection of every row, row j of the sinogram at rows + j * rowStride.
    void reconstructSlice(const double *rows, int rowStride, double divisor,
                          double x0, double x1, double z0, double z1);
    // min and max over all N*N values when done is set and the image is N x N.
    void imageMinMax();

    int n() const { return N; }
    int m() const { return M; }
    const ReconFilter &filter() const { return filterChoice; }
    // Padded transform length of the quantitative mode; N otherwise.
    int transformLength() const { return filterChoice.quantitative ? padded : N; }
    // Complex values of one spectrum: N, or P/2 + 1 in the quantitative mode.
    int spectrumLength() const { return specLength; }
    bool isDone() const { return done; }
    double minValue() const { return min; }
    double maxValue() const { return max; }
    // Side of the current image (0 before resizeImage).
    int imageSide() const { return imageN; }
    const double *image() const { return img.data(); }
    double imageAt(int x, int z) const { return img[size_t(z) * imageN + x]; }
    const double *filtered() const { return filteredRows; }
    int filteredStride() const { return stride; }

private:
    // Buffers and plans for N and M; false when any of them cannot be had.
    bool allocate();
    bool ready(int j) const { return fwdPlan && j >= 0 && j < storedM; }
    bool setupPlans();
    bool setupPaddedPlans();
    void transformPadded(const double *row, int j);
    void filterPadded(int j);

    int N = 0;
    fftw_complex *fwdIn = nullptr;
    fftw_complex *fwdOut = nullptr;
    fftw_complex *bwdIn = nullptr;
    fftw_complex *bwdOut = nullptr;
    fftw_plan fwdPlan = nullptr;
    fftw_plan bwdPlan = nullptr;
    // Quantitative mode: padded row, its half spectrum, the padded filtered row (P, P/2 + 1, P).
    ReconFilter filterChoice;
    int padded = 0;
    double *padRow = nullptr;
    fftw_complex *padSpectrum = nullptr;
    double *padFiltered = nullptr;
    std::vector<double> response; // P/2 + 1 real factors, window included
    int specLength = 0;
    fftw_complex *spectra = nullptr; // M blocks of N values
    double *filteredRows = nullptr;  // M rows of `stride` doubles, 64-byte aligned
    int stride = 0;
    int storedM = 0;                 // projections the spectra and rows are allocated for
    int M = 0;
    std::vector<double> img;
    int imageN = 0;
    bool done = false;
    double min = 0.0;
    double max = 0.0;
};
