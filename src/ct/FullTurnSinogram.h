#pragma once

#include <QImage>

#include <vector>

struct HSgm;
class ColorScale;

// The pictures of the sinogram panel, computed from the raw intensities (rawSgm) of a
// sinogram record. Both show a full turn: the h measured rows for the first half turn,
// then the same rows mirrored left to right for the second half turn, 2h rows of w
// samples (row r < h is projection r, row h + r is projection r seen from behind).
class FullTurnSinogram
{
public:
    // True when the record holds samples (both arrays and w*h >= 1).
    static bool hasData(const HSgm &hSgm);
    // Smallest and largest raw intensity. min starts at the largest finite double and
    // max at its negative, so an empty record leaves them there; NaNs are passed over.
    static void rawRange(const HSgm &hSgm, double &min, double &max);
    // w x 2h grey picture of the raw intensities; a null image for an empty record.
    static QImage rawImage(const HSgm &hSgm, const ColorScale &scale);
    // Magnitude of the 2-D Fourier transform of the full-turn raw sinogram, scaled by
    // 1/(2wh) so that the zero-frequency term is the mean: 2h rows of w values,
    // row-major, zero frequency at row 0, column 0 (no quadrant shift). The plan is
    // made, run and destroyed here, so this runs on the FFTW planner thread only.
    // Empty for an empty record or when the buffers cannot be allocated (debug line).
    static std::vector<double> fourierMagnitude(const HSgm &hSgm);
};
