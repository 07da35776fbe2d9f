#include "ReconFilter.h"

namespace {
const char *const windowNames[ReconFilter::windowCount] = {"ramlak", "shepp-logan", "cosine", "hamming", "hann"};
} // namespace

QString ReconFilter::windowName(Window window)
{
    return QLatin1String(windowNames[int(window)]);
}

bool ReconFilter::windowFromName(const QString &name, Window *window)
{
    for (int i = 0; i < windowCount; ++i) {
        if (name == QLatin1String(windowNames[i])) {
            *window = Window(i);
            return true;
        }
    }
    return false;
}
