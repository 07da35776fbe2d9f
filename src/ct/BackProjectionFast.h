#pragma once

// Vector paths of backProjectFast (BackProjection.h) and their row kernels.
//
// Every path gives the same bits as backProjectReference: the row kernels evaluate the
// reference's expressions lane by lane, t = x*cs + a with a = z*(-sin) + K, then
// i = floor(t) and f[i] + (t - i)*(f[i+1] - f[i]) added to the pixel, with no fused
// multiply-add, and every pixel receives its projections in the reference's order. What
// differs is where the work goes: the pixel bounds are solved per row instead of tested
// per pixel, f[i+1] - f[i] is subtracted once per sample instead of once per pixel, and
// f[i] is fetched by a window load and a permute instead of a gather.

enum class BackProjectionPath { Scalar, Avx2, Avx512 };

// Whether this processor can run `path` (Scalar always can).
bool backProjectionPathSupported(BackProjectionPath path);

// The path backProjectFast uses: backProjectionPathFor(the environment variable
// ZORVEL_BP_PATH), decided once per process.
BackProjectionPath backProjectionDefaultPath();

// The path named by `requested` ("scalar", "avx2", "avx512") when this processor has it;
// otherwise (null, empty, unknown or unsupported, the last two with a debug line) the
// widest supported path.
BackProjectionPath backProjectionPathFor(const char *requested);

const char *backProjectionPathName(BackProjectionPath path);

// Parses "scalar", "avx2" or "avx512"; false for anything else.
bool backProjectionPathFromName(const char *name, BackProjectionPath *path);

// backProjectFast on a given path; a path the processor lacks falls back to Scalar.
void backProjectFastOnPath(BackProjectionPath path, const double *filtered, int stride, int n, int m,
                           int jBegin, int jEnd, double x0, double x1, double z0, double z1,
                           double *image);

// One projection as the row kernels read it. The differences are the reference's
// f[i+1] - f[i], the same subtraction done once per sample instead of once per pixel.
struct ProjectionRow
{
    const double *samples;     // f[0 .. N-1], then kBackProjectionPad readable doubles
    const double *differences; // f[i+1] - f[i] for i = 0 .. N-2, then kBackProjectionPad + 1 readable doubles
    const double *columns;     // columns[x] = x for x = 0 .. N + 7
};

// Row kernels: for xBegin <= x < xEnd, imageRow[x] += the interpolation of the row at
// t = x*cs + a. The caller guarantees 0 <= floor(t) <= N - 2 for every such x.
void backProjectRowScalar(double *imageRow, const ProjectionRow &row, int xBegin, int xEnd, double cs, double a);
void backProjectRowAvx2(double *imageRow, const ProjectionRow &row, int xBegin, int xEnd, double cs, double a);
void backProjectRowAvx512(double *imageRow, const ProjectionRow &row, int xBegin, int xEnd, double cs, double a);
