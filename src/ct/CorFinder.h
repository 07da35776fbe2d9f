#pragma once

#include <QMetaType>

#include <vector>

class ProjectionSeries;

// Estimates the centre of rotation of a half-turn series (projection j at j*pi/M) from the
// attenuation sinogram of one slice.
//
// Method (the Fourier-domain consistency metric of Vo, Atwood and Drakopoulos, Opt. Express 22
// (2014) 19078): the measured rows followed by the same rows mirrored about a trial centre c form a
// full-turn sinogram, which is consistent only for the true centre. The two-dimensional spectrum of
// a consistent sinogram of an object inside the field of view is empty outside the double wedge
// |n| <= r * omega (n the angular frequency in cycles per turn, omega the detector frequency in
// radians per pixel, r the radius of the field); the energy found there, at angular frequencies
// above the lowest 20 (at most 5 % of them), is the metric. Mirroring about c only multiplies the
// detector spectrum of the mirrored rows by a phase ramp, so the energy for every c is a
// trigonometric sum in c built from one 2-D transform of the measured rows: no interpolation of
// the data, any sub-pixel c. It is searched on a grid of half a pixel (finer when the sum has
// faster waves) over the central half of the row, refined on a 0.01-pixel grid and finished with
// a parabola through the three best points. The fixed pattern of the detector and of the I0/BG
// images (the same in every row) is taken out first: it would mismatch at every c.
//
// A minimum is only trusted when it has the dip a consistent centre gives: not at the edge of
// the searched range, rising around it like the sum of the magnitudes of the terms alone, and
// without a second minimum almost as low. An axis outside the central half, or one near its edge
// with the object reaching far beyond the field, gives no such dip, and no centre is reported
// rather than a wrong one.
//
// Everything here is reentrant: it may run on any thread, given that the FFTW planner has been
// made thread-safe at start-up (FftwPlannerThread::makePlannerThreadSafe), as plans are made per call.
class CorFinder
{
public:
    // Attenuation sinogram of one slice: h rows (projections) of w samples, row-major;
    // sample k lies at detector position firstPosition + k (pixel centres at integers).
    struct Sinogram
    {
        std::vector<double> values;
        int w = 0;
        int h = 0;
        double firstPosition = 0.0;
    };

    // The sinogram of line `slice` (image rows when rotAxIsV, else columns) of the series,
    // normalised with its I0 and BG like the reconstruction's, sampled at whole detector
    // pixels 1, 2, ... False when the series cannot give one (with a debug line when it holds
    // no projections).
    static bool sinogramOf(const ProjectionSeries &imgs, bool rotAxIsV, int slice, Sinogram &sinogram);
    // The centre of rotation in detector pixels, the axis taken to lie in the central half of
    // the row. False (with a debug line, cor untouched) for fewer than 8 samples or 4 rows,
    // values that are not finite, or a minimum of the metric that cannot be trusted.
    static bool find(const Sinogram &sinogram, double &cor);
};

Q_DECLARE_METATYPE(CorFinder::Sinogram)
