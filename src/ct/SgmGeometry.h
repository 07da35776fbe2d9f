#pragma once

#include "Lerp.h"

// Resampling geometry of one detector line around the centre of rotation.
//
// dim is the detector size across the rotation axis: the image width when the axis is
// vertical (slices are image rows, cor is an x coordinate), else the image height
// (slices are image columns, cor is a y coordinate). The row keeps the largest reach
// around cor that stays inside the detector, halfW - 1 samples on each side, so that
// the sample at index halfW - 1 lies exactly at cor.
struct SgmGeometry
{
    bool rotAxIsV = true;
    int halfW = 0;    // floor(min(cor, dim - cor - 1)), never below 0
    int w = -1;       // 2*halfW - 1 samples per row
    int iCor = 0;     // floor(cor)
    double cor = 0.0; // centre of rotation in detector pixels
    double dCor = 0.0; // cor - iCor, in [0, 1)

    // A centre that is not finite or lies outside the detector gives halfW = 0
    // (w = -1, so the transform length (w / 2) * 2 is 0).
    static SgmGeometry compute(bool rotAxIsV, int dim, double cor);
    // The transform length and image side of the reconstruction: w rounded toward
    // zero to an even number.
    int transformLength() const { return (w / 2) * 2; }
};

// Resamples a full detector line (dim values) into w samples centred on cor:
// out[k + halfW - 1] = line interpolated at cor + k for k = 1 - halfW ... halfW - 1.
// Only indices 1 ... dim - 1 of the line are read.
void resampleLine(const double *line, double *out, const SgmGeometry &geometry);
