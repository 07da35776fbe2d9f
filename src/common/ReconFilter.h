#pragma once

#include <QString>

// The reconstruction filter chosen for a run. The default (quantitative off) is the
// unpadded sampled ramp of the back-projection core; the quantitative mode pads each
// row, filters it with the exact discrete Ram-Lak kernel times `window`, and scales
// the slice to attenuation per pixel. The window only applies in that mode.
struct ReconFilter
{
    // In the order of the processing controls' combo box.
    enum Window { RamLak, SheppLogan, Cosine, Hamming, Hann };
    static constexpr int windowCount = 5;

    bool quantitative = false;
    Window window = RamLak;

    bool operator==(const ReconFilter &other) const
    {
        return quantitative == other.quantitative && window == other.window;
    }

    // The batch word of a window: "ramlak", "shepp-logan", "cosine", "hamming", "hann".
    static QString windowName(Window window);
    // The window of a batch word (exact, lower case); false leaves `window` as it was.
    static bool windowFromName(const QString &name, Window *window);
};
