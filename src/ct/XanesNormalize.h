#pragma once

#include "SpectralStack.h"

#include <QString>

#include <cstdint>
#include <vector>

// Settings of the edge-step normalisation, in the convention XAFS users know from Athena
// and Larch's pre_edge: every limit is relative to E0, in eV.
struct XanesSettings
{
    double e0 = 0.0;       // eV; 0: each pixel's own, at the maximum of its smoothed derivative
    double pre1 = -150.0;  // pre-edge line fitted over [E0 + pre1, E0 + pre2]
    double pre2 = -30.0;
    double norm1 = 50.0;   // post-edge polynomial over [E0 + norm1, E0 + norm2]
    double norm2 = 0.0;    // 0 (or past the data): up to the last energy
    int postDegree = 1;    // 0 to 2; 1 is what pre_edge takes for a XANES range under 350 eV
    double stepThreshold = -1.0; // pixels with a smaller edge step are masked; < 0: 3 x the stack's noise
    double whiteLineRange = 30.0; // the white line is the highest normalised value in [E0, E0 + this]
    int threads = 0;       // 0: one per core

    // Empty when usable, else a one-line reason.
    QString check() const;
};

// Normalisation of one pixel: pre(E) = preOffset + preSlope (E - edgeEnergy), the edge step
// = post(edgeEnergy) - pre(edgeEnergy), normalised mu = (mu - pre) / edgeStep. As in
// pre_edge, the step is taken at the measured energy nearest E0 (edgeEnergy), and the fit
// windows are index ranges from the last energy at or below the lower limit up to, not
// including, the energy nearest the upper limit (at least two points); limits are clipped
// to the data.
struct XanesPixel
{
    double e0 = 0.0;          // the pixel's E0 (between measured energies)
    int e0Index = -1;         // the measured energy nearest e0
    double edgeEnergy = 0.0;  // energies[e0Index]
    double preOffset = 0.0;
    double preSlope = 0.0;
    double edgeStep = 0.0;
    double pre(double energy) const { return preOffset + preSlope * (energy - edgeEnergy); }
};

// Everything the plot of one pixel (or a region's mean) shows.
struct XanesCurve
{
    bool valid = false;
    XanesPixel pixel;
    std::vector<double> mu, pre, post, normalised; // one value per energy
    double whiteLineEnergy = 0.0;
    double whiteLineHeight = 0.0;
};

// Maps of one slice, each width x height, row-major. Pixels that are masked (edge step
// below the threshold, a NaN anywhere in the spectrum, E0 too close to the ends of the
// data) are NaN in every map but the edge step, which keeps the step wherever one could
// be measured, so the threshold can be judged on it.
struct XanesMaps
{
    int width = 0;
    int height = 0;
    std::vector<float> edgeStep, e0, whiteLineEnergy, whiteLineHeight;
    std::vector<XanesPixel> pixels; // per pixel, for the fit
    std::vector<std::uint8_t> valid;
    double threshold = 0.0; // the edge-step threshold used
    std::int64_t maskedCount = 0;
};

// The normalisation of a stack's spectra. The fits are linear in the data and every pixel
// has the same energies, so the least-squares rows of the pre-edge line and of the post-edge
// polynomial are computed once for each possible E0 index; a pixel is then a few dot products.
// E0 is found first (or given), which fixes the pixel's E0 index and so its windows.
class XanesNormalize
{
public:
    XanesNormalize(const std::vector<double> &energies, const XanesSettings &settings);

    // E0 of one spectrum: the maximum of its derivative smoothed over three points, refined
    // by a parabola through the neighbours; the given E0 when the settings have one. NaN
    // when the spectrum holds a NaN.
    double findE0(const float *mu) const;
    // Normalises one spectrum; false when it cannot be (NaN values, E0 too close to the ends).
    bool normalise(const float *mu, XanesPixel &out) const;
    // The whole curve of one spectrum, for the plot and the CSV export.
    XanesCurve curve(const std::vector<double> &mu) const;
    // Highest normalised value within [e0, e0 + whiteLineRange]: energy and height.
    void whiteLine(const float *mu, const XanesPixel &pixel, double &energy, double &height) const;

    // Noise of the edge-step map, from the differences of horizontal neighbours (robust:
    // 1.4826 x median absolute deviation / sqrt 2): the step's own noise, which the lines'
    // extrapolation to E0 makes several times that of one energy's values, measured alike
    // whether the element fills the slice or not. Pixels outside the reconstructed circle (step
    // exactly 0) hold no measurement and are left out.
    static double stepNoiseOf(const XanesMaps &maps);
    // All maps of a stack, on settings.threads threads over rows.
    XanesMaps maps(const SpectralStack &stack) const;

    const std::vector<double> &energies() const { return energyList; }
    const XanesSettings &settings() const { return config; }

private:
    struct Window
    {
        bool usable = false;
        int pre1 = 0, pre2 = 0;   // [pre1, pre2)
        int post1 = 0, post2 = 0; // [post1, post2)
        std::vector<double> preOffsetRow, preSlopeRow, postValueRow;
        std::vector<std::vector<double>> postRows; // polynomial coefficients in (E - edgeEnergy)
    };
    Window windowFor(int e0Index) const;
    int nearestIndex(double energy) const;

    std::vector<double> energyList;
    XanesSettings config;
    std::vector<Window> windows; // per E0 index
};
