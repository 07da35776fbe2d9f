#pragma once

#include "XanesNormalize.h"

#include <QByteArray>
#include <QString>

#include <vector>

// A reference spectrum: energies (eV, increasing) and normalised mu.
struct XanesReference
{
    static constexpr int maxPoints = 1000000;
    static constexpr qint64 maxFileBytes = 64 * 1024 * 1024;

    QString name;
    std::vector<double> energies;
    std::vector<double> values;

    // Text of two or more columns (energy, normalised mu, anything further ignored), split by
    // blanks, tabs or commas; lines starting with # and lines that are not numbers (a
    // header) are skipped. False with a one-line reason when fewer than two points remain
    // or the energies do not increase.
    static bool parse(const QByteArray &text, const QString &name, XanesReference *out, QString *why);
    static bool read(const QString &fileName, XanesReference *out, QString *why);
    // Linear interpolation at energy (only called inside the reference's range).
    double at(double energy) const;
};

struct XanesFitSettings
{
    double emin = 0.0; // fit window in eV; 0: the first energy of the stack
    double emax = 0.0; // 0: the last energy
    bool sumToOne = false;
};

// One pixel's fit: a fraction per reference, the R-factor sum (y - fit)^2 / sum y^2 and the
// root-mean-square residual, both over the window.
struct XanesPixelFit
{
    double fractions[4] = {0.0, 0.0, 0.0, 0.0};
    double rFactor = 0.0;
    double residual = 0.0;
};

struct XanesFitMaps
{
    std::vector<std::vector<float>> fractions; // one map per reference
    std::vector<float> rFactor, residual;
};

// Linear-combination fitting of normalised spectra with 2 to 4 references by non-negative
// least squares, optionally with the fractions summing to one. With so few references the
// exact solution is found by trying every subset of references as the free ones: the
// optimum is the unconstrained (or sum-constrained) solution on its own support, so the best
// feasible subset is it. The inverse normal matrix of every subset is computed once.
class XanesFit
{
public:
    static constexpr int maxReferences = 4;

    // False with a one-line reason: not 2 to 4 references, a window with too few energies,
    // a reference that does not cover the window, references that are not independent.
    bool setup(const std::vector<double> &stackEnergies, const std::vector<XanesReference> &references,
               const XanesFitSettings &settings, QString *why);
    // Fits y, the normalised spectrum at the stack's energies windowBegin() .. windowEnd()-1.
    XanesPixelFit fit(const double *y) const;
    // The fitted curve of these fractions over the window.
    std::vector<double> curve(const XanesPixelFit &f) const;
    // Fraction, R-factor and residual maps of every unmasked pixel (NaN elsewhere).
    XanesFitMaps maps(const SpectralStack &stack, const XanesNormalize &normalize, const XanesMaps &maps) const;

    int windowBegin() const { return begin; }
    int windowEnd() const { return end; }
    int referenceCount() const { return refs; }

private:
    struct Subset
    {
        std::vector<int> members;
        std::vector<double> inverse; // of the normal matrix, bordered by the sum row with sumToOne
    };
    int begin = 0, end = 0, refs = 0;
    bool sumToOne = false;
    std::vector<double> basis;  // reference r at window point i: basis[r * points + i]
    std::vector<double> normal; // refs x refs
    std::vector<Subset> subsets;
};
