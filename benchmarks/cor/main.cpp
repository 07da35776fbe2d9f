// zorvel-bench-cor: times the centre-of-rotation search on a synthetic series written by the
// phantom generator (detector width W, one row, M projections over half a turn, photon noise,
// axis 0.8 pixel right of the detector centre): the sinogram taken from the series in memory,
// the estimate itself, and the whole search through its worker thread.
//
//   zorvel-bench-cor [--size W] [--angles M] [--repeat R]
//
// The last line reads
//   cor W=1024 M=720 sinogram=0.004s estimate=0.100s search=0.105s found=512.3 true=512.3
// (best of R runs) and the exit status is 1 when the estimate is off by more than 0.25 pixel.

#include "BenchOptions.h"
#include "CorFinder.h"
#include "CorSearch.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "Phantom.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

struct Options
{
    int w = 1024;
    int m = 720;
    int repeat = 3;
};

bool parseOptions(int argc, char **argv, Options &options)
{
    if (!parseBenchOptions(argc, argv,
                           {{"--size", &options.w}, {"--angles", &options.m}, {"--repeat", &options.repeat}},
                           "zorvel-bench-cor [--size W] [--angles M] [--repeat R]"))
        return false;
    if (options.w < 16 || options.w > 16384 || options.m < 4 || options.m > 100000 || options.repeat < 1) {
        std::fprintf(stderr, "zorvel-bench-cor: size 16 to 16384, angles 4 to 100000, repeat >= 1\n");
        return false;
    }
    return true;
}

// Best time of `repeat` calls, in seconds.
template <typename Run>
double bestOf(int repeat, Run run)
{
    double best = HUGE_VAL;
    for (int r = 0; r < repeat; ++r) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, timer.nsecsElapsed() * 1e-9);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseOptions(argc, argv, options))
        return 2;

    QTemporaryDir dir;
    Phantom::Series settings;
    settings.width = options.w;
    settings.height = 1;
    settings.projections = options.m;
    settings.corOffset = 0.8;
    settings.noisePhotons = 10000.0;
    settings.folder = dir.path();
    QStringList written;
    if (!Phantom::writeSeries(settings, &written))
        return 2;
    const QString bgName = written.takeFirst(), i0Name = written.takeFirst();
    ImgDatas imgs;
    for (const QString &name : written)
        if (!imgs.add(name))
            return 2;
    ImgDatas::Reader i0 = openImgData(i0Name), bg = openImgData(bgName);
    imgs.setI0Link(&i0);
    imgs.setBgLink(&bg);

    CorFinder::Sinogram sinogram;
    const double sinogramTime =
        bestOf(options.repeat, [&] { CorFinder::sinogramOf(*imgs.snapshot(), true, 0, sinogram); });
    double found = std::nan("");
    const double estimateTime = bestOf(options.repeat, [&] { CorFinder::find(sinogram, found); });

    CorSearch search;
    QEventLoop loop;
    QObject::connect(&search, &CorSearch::finished, &loop, &QEventLoop::quit);
    const double searchTime = bestOf(options.repeat, [&] {
        if (search.start(*imgs.snapshot(), true, 0))
            loop.exec();
    });

    const double truth = 0.5 * (options.w - 1) + settings.corOffset;
    std::printf("cor W=%d M=%d sinogram=%.3fs estimate=%.3fs search=%.3fs found=%.3f true=%.3f\n", options.w,
                options.m, sinogramTime, estimateTime, searchTime, found, truth);
    return std::abs(found - truth) <= 0.25 ? 0 : 1;
}
