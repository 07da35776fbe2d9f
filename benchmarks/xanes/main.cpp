// Times the chemical-state maps of one slice: E0 alone, the maps (E0, normalisation, white
// line) and a three-reference fit, on a stack of model spectra (default 1024 x 1024 pixels
// at 60 energies), and reports the peak memory against the stack's size.

#include "BenchOptions.h"
#include "Phantom.h"
#include "SpectralStack.h"
#include "XanesFit.h"
#include "XanesLinear.h"
#include "XanesNormalize.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

namespace {

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Peak resident memory of this process in MB (VmHWM).
double peakMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0.0;
}

// The third reference: phase 1's shape with its edge 8 eV higher.
double thirdPhase(double eV)
{
    return Phantom::phaseAbsorption(1, eV - 8.0);
}

double reference(int r, double eV)
{
    return r < 2 ? Phantom::phaseAbsorption(r, eV) : thirdPhase(eV);
}

std::vector<double> energies(int count)
{
    std::vector<double> e;
    const int pre = count / 4, post = count / 4, edge = count - pre - post;
    for (int i = 0; i < pre; ++i)
        e.push_back(7000.0 + 100.0 * i / pre);
    for (int i = 0; i < edge; ++i)
        e.push_back(7105.0 + 45.0 * i / edge);
    for (int i = 0; i < post; ++i)
        e.push_back(7160.0 + 240.0 * i / std::max(post - 1, 1));
    return e;
}

// Every pixel a random mixture of the three references with noise, filled row by row.
void fill(SpectralStack &stack, int threads)
{
    const std::vector<double> &e = stack.energies();
    XanesLinear::overRows(stack.height(), threads, [&](int rowBegin, int rowEnd) {
        std::mt19937_64 random(std::uint64_t(rowBegin) + 1);
        std::uniform_real_distribution<double> share(0.0, 1.0);
        std::normal_distribution<double> noise(0.0, 2e-4);
        for (std::int64_t p = std::int64_t(rowBegin) * stack.width(); p < std::int64_t(rowEnd) * stack.width(); ++p) {
            const double a = share(random), b = (1.0 - a) * share(random), c = 1.0 - a - b;
            float *mu = stack.spectrum(p);
            for (size_t k = 0; k < e.size(); ++k)
                mu[k] = float(0.01 + 0.02 * (a * reference(0, e[k]) + b * reference(1, e[k]) + c * reference(2, e[k])) + noise(random));
        }
    });
}

} // namespace

int main(int argc, char **argv)
{
    int size = 1024, count = 60, threads = 2;
    if (!parseBenchOptions(argc, argv, {{"--size", &size}, {"--energies", &count}, {"--threads", &threads}},
                           "zorvel-bench-xanes [--size N] [--energies E] [--threads T]"))
        return 1;
    SpectralStack stack;
    QString why;
    if (!stack.create(energies(count), size, size, &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    fill(stack, threads);
    const double before = peakMegabytes();

    XanesSettings settings;
    settings.threads = threads;
    const XanesNormalize normalize(stack.energies(), settings);
    auto start = std::chrono::steady_clock::now();
    double e0Sum = 0.0;
    XanesLinear::overRows(1, 1, [&](int, int) {
        for (std::int64_t p = 0; p < stack.pixels(); p += 16)
            e0Sum += normalize.findE0(stack.spectrum(p));
    });
    const double e0Time = seconds(start) * 16.0;

    start = std::chrono::steady_clock::now();
    const XanesMaps maps = normalize.maps(stack);
    const double mapTime = seconds(start);

    std::vector<XanesReference> refs(3);
    for (int r = 0; r < 3; ++r)
        for (double e = 6990.0; e <= 7410.0; e += 0.5) {
            refs[size_t(r)].energies.push_back(e);
            refs[size_t(r)].values.push_back(reference(r, e));
        }
    XanesFit fit;
    if (!fit.setup(stack.energies(), refs, {7090.0, 7250.0, false}, &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    start = std::chrono::steady_clock::now();
    const XanesFitMaps fitted = fit.maps(stack, normalize, maps);
    const double fitTime = seconds(start);

    double fractionSum = 0.0;
    for (int r = 0; r < 3; ++r)
        fractionSum += fitted.fractions[size_t(r)][size_t(stack.pixels() / 2)];
    const double stackMB = double(stack.bytes()) / (1024.0 * 1024.0);
    std::printf("%d x %d pixels, %d energies, %d threads; stack %.0f MB\n", size, size, count, threads, stackMB);
    std::printf("E0 alone (one thread, estimated from 1/16 of the pixels): %.3f s\n", e0Time);
    std::printf("maps (E0, normalisation, white line): %.3f s, %lld pixels masked\n", mapTime, static_cast<long long>(maps.maskedCount));
    std::printf("three-reference fit: %.3f s\n", fitTime);
    std::printf("maps + fit: %.3f s (target 2 s)\n", mapTime + fitTime);
    std::printf("peak memory %.0f MB = %.2f x the stack (after filling: %.0f MB); check: mean E0 %.1f eV, fractions sum %.3f\n",
                peakMegabytes(), peakMegabytes() / stackMB, before, e0Sum / double((stack.pixels() + 15) / 16), fractionSum);
    return 0;
}
