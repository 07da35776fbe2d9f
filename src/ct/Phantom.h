#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// A synthetic sample made of homogeneous ellipsoids, projected analytically, and the writer
// of complete synthetic CT series (projections, I0 and BG images as ITEX files).
//
// Coordinates, all in detector pixels:
// - detector row `row` (0 = first stored image row) sits at height v = row - (H - 1) / 2;
// - in a slice, x runs along the detector at angle 0 (image column direction of a
//   reconstructed slice) and z along the slice's image rows (downwards on screen), both
//   measured from the rotation axis;
// - projection at angle theta: the ray at detector position u (u = x_det - cor) is the line
//   x cos(theta) - z sin(theta) = u, the same mapping the back-projection uses, so a slice
//   reconstructed with the true cor shows attenuationAt() upright and unblurred.
// Attenuation is per pixel length, so line integrals come out directly as -ln(I/I0).
class Phantom
{
public:
    // One ellipsoid with vertical principal axis; its slice at height v is an ellipse.
    struct Ellipsoid
    {
        double cx = 0.0, cz = 0.0; // slice-plane centre (x, z)
        double cv = 0.0;           // vertical centre (v)
        double a = 0.0, b = 0.0;   // semi-axes in the slice plane
        double c = 0.0;            // vertical semi-axis
        double psi = 0.0;          // direction of the a axis in the (x, z) plane, radians from +x towards +z
        double mu = 0.0;           // attenuation per pixel added inside, independent of energy
        double absorber = 0.0;     // attenuation per pixel of the edge absorber, fully above its edge
        double phases[2] = {0.0, 0.0}; // edge steps (attenuation per pixel) of the two Fe phases
    };

    // All settings of one synthetic series. See zorvel-phantom --help for the file names.
    struct Series
    {
        int width = 256;
        int height = 8;
        int projections = 180;
        double corOffset = 0.0;       // rotation axis relative to the detector centre (W - 1) / 2
        double noisePhotons = 0.0;    // photons counted at the I0 peak; 0 = no noise
        unsigned long long seed = 1;
        QString folder;
        QString sample = QStringLiteral("phantom");
        std::vector<double> energies; // eV; empty = one series without energy tags
        double edgeEnergy = 0.0;      // eV; 0 = 7112 eV when inside the energy range, else its middle
        double i0Peak = 30000.0;      // counts of the I0 image at the beam maximum
        bool twoPhase = false;        // the two-phase XANES sample instead of the head
    };

    static constexpr double darkLevel = 100.0;      // mean counts of the BG image
    static constexpr double peakAttenuation = 2.0;  // largest line integral of the sample
    static constexpr double defaultEdgeEnergy = 7112.0; // Fe K edge

    // The two Fe phases of the XANES sample: edges (arctangent centres) in eV, and the
    // normalised absorption of phase 0 or 1: an arctangent step of half width
    // phaseEdgeHalfWidth from 0 to 1 plus a Gaussian white line of height phaseWhiteLine,
    // phaseWhiteLineOffset above the edge, of standard deviation phaseWhiteLineWidth.
    static constexpr double phaseEdges[2] = {7122.0, 7126.0};
    static constexpr double phaseEdgeHalfWidth = 0.5;
    static constexpr double phaseWhiteLine = 0.5;
    static constexpr double phaseWhiteLineOffset = 3.0;
    static constexpr double phaseWhiteLineWidth = 2.0;
    static double phaseAbsorption(int phase, double eV);
    // Edge step (attenuation per pixel) of each phase in the sample's discs, and the share of
    // phase 0 in the mixed disc.
    static constexpr double phaseStep = 0.02;
    static constexpr double mixedShare = 0.3;
    // The energies of a XANES scan across both edges: 40 from 7050 to 7300 eV, dense (1.39 eV)
    // from 7108 to 7140 eV.
    static std::vector<double> xanesEnergies();

    Phantom(int detectorHeight, const std::vector<Ellipsoid> &ellipsoids);

    // The Shepp-Logan head (modified contrasts) as ellipsoids, sized for a detector of this
    // width with the axis at its centre (outer reach 0.8 (W - 1) / 2), attenuation scaled so
    // that the largest line integral is peakAttenuation with the absorber fully above its edge.
    // The right ventricle holds the absorber.
    static Phantom sheppLogan(int detectorWidth, int detectorHeight);
    // The two-phase XANES sample for a detector of this width: a matrix disc (attenuation
    // 0.005 per pixel, reach 0.8 (W - 1) / 2) holding three discs of radius 0.16 (W - 1) / 2:
    // phase 0 at (-r, -r/2), phase 1 at (+r, -r/2) and the 30/70 mixture at (0, +r), r = 0.4
    // (W - 1) / 2, each with an edge step of phaseStep. Columns through every detector row.
    static Phantom twoPhase(int detectorWidth, int detectorHeight);
    // The disc centres (x, z) of phase 0, phase 1 and the mixture, and their radius.
    static std::vector<std::pair<double, double>> twoPhaseCentres(int detectorWidth);
    static double twoPhaseRadius(int detectorWidth);

    // Energy of the projections (eV) and edge of the absorber; energy <= 0 shows the absorber as
    // fully above its edge (the series without energies).
    void setEnergy(double eV);
    double energy() const { return energyEV; }
    void setEdgeEnergy(double eV);
    double edgeEnergy() const { return edgeEV; }
    // Fraction of the absorber's full attenuation at this energy: 0.15 below the edge, a step
    // of 2 eV width at the edge, then falling like E^-3.
    double absorberFraction(double eV) const;

    // Line integral through detector row `row` at detector position u for angle theta.
    double lineIntegral(int row, double u, double theta) const;
    // Attenuation per pixel at (x, z) of the slice of detector row `row`.
    double attenuationAt(int row, double x, double z) const;
    // Largest distance of any part of the sample from the rotation axis.
    double reach() const;
    const std::vector<Ellipsoid> &ellipsoids() const { return parts; }

    // Empty when the settings can be written, else a one-line reason.
    static QString checkSeries(const Series &series);
    // Writes the series into series.folder (created); the written file names are appended to
    // written. False (with a debug line) on invalid settings or when a file cannot be written.
    static bool writeSeries(const Series &series, QStringList *written = nullptr);
    // Energy text of a file name: 7112.5 -> "7112_5eV", 7100 -> "7100eV" (up to 3 decimals).
    static QString energyText(double eV);
    // The edge energy writeSeries uses for these settings.
    static double seriesEdgeEnergy(const Series &series);

private:
    double ellipseChord(size_t k, double v, double u, double cosT, double sinT) const;
    double partAttenuation(const Ellipsoid &e) const;
    double heightOf(int row) const { return row - (detectorRows - 1) * 0.5; }

    int detectorRows;
    std::vector<Ellipsoid> parts;
    std::vector<std::pair<double, double>> axes; // cos and sin of each part's psi
    double energyEV = 0.0;
    double edgeEV = defaultEdgeEnergy;
    double absorberOn = 1.0; // absorberFraction at the current energy
    double phaseOn[2] = {1.0, 1.0}; // phaseAbsorption at the current energy
};
