#pragma once

// The sinogram of one slice: one row per projection (row j = the j-th image of the
// series, taken at angle j*pi/M), resampled so that the centre of rotation is the
// middle sample (index halfW - 1); sample k lies at detector position
// cor - (halfW - 1) + k.
//
// The record owns both arrays. It is passed by pointer between the sinogram panel and
// the engines, so it is neither copied nor moved.
struct HSgm
{
    double *sgm = nullptr;    // attenuation ln((I0 - BG) / (I - BG)), w*h values, row-major
    double *rawSgm = nullptr; // the resampled raw intensities of the same rows
    int w = 0;                // samples per row
    int h = 0;                // rows (projections)
    int slice = 0;            // detector line the rows were taken from

    HSgm() = default;
    ~HSgm() { resize(0, 0); }
    HSgm(const HSgm &) = delete;
    HSgm &operator=(const HSgm &) = delete;

    // Frees both arrays, stores w and h, and allocates w*h doubles for each when w*h > 0
    // (contents undefined until written). A negative size is stored as 0.
    void resize(int width, int height);
};
