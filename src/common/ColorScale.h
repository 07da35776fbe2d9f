#pragma once

// The transfer function from data values to 8-bit grey levels. A plain value type so
// that a worker thread can take a copy on the GUI thread and render with it.
//
// minV..maxV is the data range mapped onto the normalised range 0..1; lowR and highR
// are the contrast handles in normalised units (not clamped, not necessarily ordered).
class ColorScale
{
public:
    double minV = 0.0;
    double maxV = 1.0;
    double lowR = 0.0;
    double highR = 1.0;

    // Grey level 0..255 of a data value. NaN gives 0.
    int colorIndex(double v) const { return windowLevel((v - minV) / (maxV - minV)); }

    // Grey level of a normalised value t. The factor is 256 and the upper test is
    // "above 255", so the top 1/256 of the window is already white. The comparisons
    // are ordered so that a NaN falls through both tests and gives 0.
    int windowLevel(double t) const
    {
        const double s = (t - lowR) * 256 / (highR - lowR);
        if (s > 255)
            return 255;
        if (s >= 0)
            return int(s);
        return 0;
    }

    // Data value at a normalised position, e.g. at a handle.
    double valueAt(double r) const { return minV + (maxV - minV) * r; }
};
