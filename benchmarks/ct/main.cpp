// zorvel-bench: times the reference back-projection against the optimised one on one
// thread, checks that their images are identical bit for bit, and times one whole
// slice (sinogram from an image series in memory, transform, filter, back-projection).
//
//   zorvel-bench [--size N] [--angles M] [--repeat R]
//
// The last line reads
//   backprojection N=1024 M=720 reference=3.91s optimised=0.52s speedup=7.5x identical=yes
// and the exit status is 1 when any path's image differs from the reference.

#include "BackProjection.h"
#include "BackProjectionFast.h"
#include "BenchOptions.h"
#include "BpCore.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "SinogramGenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

struct Options
{
    int n = 1024;
    int m = 720;
    int repeat = 1;
};

bool parseOptions(int argc, char **argv, Options &options)
{
    if (!parseBenchOptions(argc, argv,
                           {{"--size", &options.n}, {"--angles", &options.m}, {"--repeat", &options.repeat}},
                           "zorvel-bench [--size N] [--angles M] [--repeat R]"))
        return false;
    if (options.n < 2 || options.n % 2 != 0 || options.m < 1 || options.repeat < 1) {
        std::fprintf(stderr, "zorvel-bench: N must be even and at least 2, M and R at least 1\n");
        return false;
    }
    return true;
}

// Best of `repeat` runs of `run`, each after `prepare`, in seconds.
double bestSeconds(int repeat, const std::function<void()> &prepare, const std::function<void()> &run)
{
    double best = 0.0;
    for (int k = 0; k < repeat; ++k) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        run();
        const double seconds = double(timer.nsecsElapsed()) * 1e-9;
        if (k == 0 || seconds < best)
            best = seconds;
    }
    return best;
}

bool sameBits(const std::vector<double> &a, const std::vector<double> &b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Filtered rows of a random sinogram, with the padding the vector loads read.
std::vector<double> randomFilteredRows(int n, int m, int stride)
{
    std::mt19937_64 random(12345);
    std::normal_distribution<double> sample(0.0, 1.0);
    std::vector<double> rows(size_t(m) * size_t(stride), 0.0);
    for (int j = 0; j < m; ++j)
        for (int k = 0; k < n; ++k)
            rows[size_t(j) * size_t(stride) + size_t(k)] = sample(random);
    return rows;
}

// Counts behind a phantom of two discs (one off the axis) at projection j, for a
// detector row of `width` pixels whose centre of rotation is `cor`.
std::vector<quint32> phantomProjection(int width, int height, double cor, int j, int m, std::mt19937_64 &random)
{
    const double radius = 0.4 * (width - 4);
    const double theta = j * 3.141592653589793 / m;
    const double offAxis = 0.2 * (width - 4) * std::cos(theta);
    const double smallRadius = 0.08 * (width - 4);
    std::normal_distribution<double> noise(0.0, 20.0);
    std::vector<quint32> pixels(size_t(width) * size_t(height));
    for (int x = 0; x < width; ++x) {
        const double u = x - cor;
        const double chord = u * u < radius * radius ? 2.0 * std::sqrt(radius * radius - u * u) : 0.0;
        const double v = u - offAxis;
        const double smallChord =
            v * v < smallRadius * smallRadius ? 2.0 * std::sqrt(smallRadius * smallRadius - v * v) : 0.0;
        const double counts = 100.0 + 20000.0 * std::exp(-0.002 * chord - 0.01 * smallChord);
        for (int y = 0; y < height; ++y)
            pixels[size_t(y) * size_t(width) + size_t(x)] = quint32(std::lround(std::max(0.0, counts + noise(random))));
    }
    return pixels;
}

// One slice as a reconstruction worker computes it: sinogram, transforms, filter,
// back-projection. Prints the time of each stage; false when the series cannot be made.
bool timeWholeSlice(int n, int m)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    // A detector of N + 4 pixels with the centre of rotation at N/2 + 1 gives rows of
    // N + 1 samples, so the transform length is N.
    const int width = n + 4;
    const int height = 2;
    const double cor = n / 2 + 1.0;
    std::mt19937_64 random(777);
    ImgDatas series;
    for (int j = 0; j < m; ++j) {
        const QString name = dir.filePath(QString("proj-%1.img").arg(j, 5, 10, QChar('0')));
        if (!ItexWriter::write(name, width, height, 2, phantomProjection(width, height, cor, j, m, random))
            || !series.add(name))
            return false;
    }
    const QString i0Name = dir.filePath("i0.img");
    const QString bgName = dir.filePath("bg.img");
    if (!ItexWriter::write(i0Name, width, height, 2, std::vector<quint32>(size_t(width) * height, 20100))
        || !ItexWriter::write(bgName, width, height, 2, std::vector<quint32>(size_t(width) * height, 100)))
        return false;
    const ImgDatas::Reader i0 = openImgData(i0Name);
    const ImgDatas::Reader bg = openImgData(bgName);
    series.setI0Link(&i0);
    series.setBgLink(&bg);

    BpCore core;
    HSgm sgm;
    QElapsedTimer timer;
    timer.start();
    core.setupCore(n, m);
    const double planSeconds = double(timer.nsecsElapsed()) * 1e-9;

    timer.restart();
    if (!SinogramGenerator::genSinogram0(*series.snapshot(), &sgm, true, cor, 1) || (sgm.w / 2) * 2 != n)
        return false;
    const double sinogramSeconds = double(timer.nsecsElapsed()) * 1e-9;

    timer.restart();
    core.resizeImage(n);
    for (int j = 0; j < m; ++j)
        core.transformRow(sgm.sgm + size_t(j) * size_t(sgm.w), j);
    for (int j = 0; j < m; ++j)
        core.filterRow(j, n);
    const double filterSeconds = double(timer.nsecsElapsed()) * 1e-9;

    timer.restart();
    core.backProjectAll(0.0, n, 0.0, n);
    const double backProjectionSeconds = double(timer.nsecsElapsed()) * 1e-9;
    core.imageMinMax();

    std::printf("slice N=%d M=%d sinogram=%.3fs transform+filter=%.3fs backprojection=%.3fs total=%.3fs "
                "(plans %.3fs, once per run) image=%.4g..%.4g\n",
                n, m, sinogramSeconds, filterSeconds, backProjectionSeconds,
                sinogramSeconds + filterSeconds + backProjectionSeconds, planSeconds, core.minValue(),
                core.maxValue());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseOptions(argc, argv, options))
        return 2;
    const int n = options.n;
    const int m = options.m;
    const int stride = backProjectionStride(n);
    const std::vector<double> rows = randomFilteredRows(n, m, stride);
    // The engines' region: the whole image.
    const double x0 = 0.0, x1 = n, z0 = 0.0, z1 = n;
    std::vector<double> reference;
    std::vector<double> image;
    const auto clear = [n](std::vector<double> &img) { img.assign(size_t(n) * size_t(n), 0.0); };

    const double referenceSeconds = bestSeconds(
        options.repeat, [&] { clear(reference); },
        [&] { backProjectReference(rows.data(), stride, n, m, 0, m, x0, x1, z0, z1, reference.data()); });
    std::printf("reference N=%d M=%d %.3fs %.3f G pixel updates/s\n", n, m, referenceSeconds,
                double(n) * n * 0.785398 * m / referenceSeconds * 1e-9);

    bool allIdentical = true;
    for (BackProjectionPath path :
         {BackProjectionPath::Scalar, BackProjectionPath::Avx2, BackProjectionPath::Avx512}) {
        if (!backProjectionPathSupported(path)) {
            std::printf("path=%s not supported by this processor\n", backProjectionPathName(path));
            continue;
        }
        const double seconds = bestSeconds(
            options.repeat, [&] { clear(image); },
            [&] { backProjectFastOnPath(path, rows.data(), stride, n, m, 0, m, x0, x1, z0, z1, image.data()); });
        const bool identical = sameBits(image, reference);
        allIdentical = allIdentical && identical;
        std::printf("path=%s optimised=%.3fs speedup=%.1fx identical=%s\n", backProjectionPathName(path), seconds,
                    referenceSeconds / seconds, identical ? "yes" : "no");
    }

    const BackProjectionPath defaultPath = backProjectionDefaultPath();
    const double optimisedSeconds = bestSeconds(
        options.repeat, [&] { clear(image); },
        [&] { backProjectFast(rows.data(), stride, n, m, 0, m, x0, x1, z0, z1, image.data()); });
    allIdentical = allIdentical && sameBits(image, reference);

    if (!timeWholeSlice(n, m))
        std::printf("slice N=%d M=%d could not be built\n", n, m);

    std::printf("default path=%s\n", backProjectionPathName(defaultPath));
    std::printf("backprojection N=%d M=%d reference=%.2fs optimised=%.2fs speedup=%.1fx identical=%s\n", n, m,
                referenceSeconds, optimisedSeconds, referenceSeconds / optimisedSeconds,
                allIdentical ? "yes" : "no");
    return allIdentical ? 0 : 1;
}
