// zorvel-bench-quant: the quantitative reconstruction mode against the default one.
//
//   zorvel-bench-quant time [--size N] [--angles M] [--repeat R]
//       Seconds per slice (transform, filter, back-projection of a sinogram in memory,
//       one thread) in the default mode and in the quantitative mode with each window,
//       and of the transforms and filter alone (the part in which the modes differ).
//   zorvel-bench-quant export DIR [--width W] [--angles M]
//       Writes a noise-free Shepp-Logan series as ITEX files, reconstructs its middle
//       line in every mode and writes, as text matrices (one row per line):
//       sinogram.txt (M rows of w attenuation samples), truth.txt (N x N attenuation per
//       pixel of the phantom), and <window>.txt for each quantitative window.
//       scripts/compare-skimage.py compares them with scikit-image's iradon.

#include "BenchRandom.h"
#include "BpCore.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "Phantom.h"
#include "SinogramGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

int intOption(int argc, char **argv, const char *name, int fallback)
{
    for (int k = 1; k + 1 < argc; ++k)
        if (std::strcmp(argv[k], name) == 0)
            return std::atoi(argv[k + 1]);
    return fallback;
}

// One whole slice as a CT2 worker computes it.
double sliceSeconds(BpCore &core, const std::vector<double> &sinogram, int w, int repeat)
{
    const int n = core.n();
    double best = 0.0;
    for (int r = 0; r < repeat; ++r) {
        QElapsedTimer timer;
        timer.start();
        core.reconstructSlice(sinogram.data(), w, n, 0, n, 0, n);
        const double seconds = double(timer.nsecsElapsed()) * 1e-9;
        best = r == 0 || seconds < best ? seconds : best;
    }
    return best;
}

// The part the modes differ in: transform and filter of every row, no back-projection.
double filterSeconds(BpCore &core, const std::vector<double> &sinogram, int w, int repeat)
{
    double best = 0.0;
    for (int r = 0; r < repeat; ++r) {
        QElapsedTimer timer;
        timer.start();
        for (int j = 0; j < core.m(); ++j)
            core.transformRow(sinogram.data() + size_t(j) * w, j);
        for (int j = 0; j < core.m(); ++j)
            core.filterRow(j, core.n());
        const double seconds = double(timer.nsecsElapsed()) * 1e-9;
        best = r == 0 || seconds < best ? seconds : best;
    }
    return best;
}

int timeModes(int argc, char **argv)
{
    const int n = intOption(argc, argv, "--size", 1024);
    const int m = intOption(argc, argv, "--angles", 720);
    const int repeat = intOption(argc, argv, "--repeat", 3);
    if (n < 2 || n % 2 || m < 1 || repeat < 1) {
        std::fprintf(stderr, "zorvel-bench-quant: N even >= 2, M and R >= 1\n");
        return 1;
    }
    const int w = n + 1;
    const std::vector<double> sinogram =
        randomValues(size_t(w) * m, std::uniform_real_distribution<double>(0.0, 2.0), std::mt19937_64(7));

    BpCore core;
    core.setupCore(n, m);
    const double plain = sliceSeconds(core, sinogram, w, repeat);
    const double plainFilter = filterSeconds(core, sinogram, w, repeat);
    std::printf("default                  N=%d M=%d %.4f s/slice, transforms and filter %.4f s\n", n, m, plain,
                plainFilter);
    for (int k = 0; k < ReconFilter::windowCount; ++k) {
        const auto window = ReconFilter::Window(k);
        core.setupCore(n, m, ReconFilter{true, window});
        const double seconds = sliceSeconds(core, sinogram, w, repeat);
        const double filter = filterSeconds(core, sinogram, w, repeat);
        std::printf("quantitative %-11s P=%d %.4f s/slice (x%.3f), transforms and filter %.4f s (x%.3f)\n",
                    qPrintable(ReconFilter::windowName(window)), core.transformLength(), seconds, seconds / plain,
                    filter, filter / plainFilter);
    }
    return 0;
}

bool writeMatrix(const QString &fileName, const double *values, int rows, int columns)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setRealNumberPrecision(17);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            out << (c ? " " : "") << values[size_t(r) * columns + c];
        out << "\n";
    }
    return out.status() == QTextStream::Ok;
}

int exportModes(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: zorvel-bench-quant export DIR [--width W] [--angles M]\n");
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir work;
    Phantom::Series settings;
    settings.width = intOption(argc, argv, "--width", 256);
    settings.height = 4;
    settings.projections = intOption(argc, argv, "--angles", 180);
    settings.folder = work.path();
    QStringList files;
    if (!QDir().mkpath(out.path()) || !Phantom::writeSeries(settings, &files))
        return 1;
    ImgDatas series;
    ImgDatas::Reader i0, bg;
    for (const QString &file : files) {
        if (file.endsWith("i0.img"))
            i0 = openImgData(file);
        else if (file.endsWith("bg.img"))
            bg = openImgData(file);
        else if (!series.add(file))
            return 1;
    }
    series.setI0Link(&i0);
    series.setBgLink(&bg);
    const int row = settings.height / 2;
    const double cor = 0.5 * (settings.width - 1);
    HSgm record;
    if (!SinogramGenerator::genSinogram0(*series.snapshot(), &record, true, cor, row))
        return 1;
    const int n = (record.w / 2) * 2;
    if (!writeMatrix(out.filePath("sinogram.txt"), record.sgm, record.h, record.w))
        return 1;

    // The phantom in the image frame: pixel (x, z) at (x - N/2, z - N/2) from the axis.
    const Phantom phantom = Phantom::sheppLogan(settings.width, settings.height);
    std::vector<double> truth(size_t(n) * n);
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x)
            truth[size_t(z) * n + x] = phantom.attenuationAt(row, x - 0.5 * n, z - 0.5 * n);
    if (!writeMatrix(out.filePath("truth.txt"), truth.data(), n, n))
        return 1;
    BpCore core;
    for (int k = 0; k < ReconFilter::windowCount; ++k) {
        const auto window = ReconFilter::Window(k);
        core.setupCore(n, record.h, ReconFilter{true, window});
        core.reconstructSlice(record.sgm, record.w, n, 0, n, 0, n);
        if (!writeMatrix(out.filePath(ReconFilter::windowName(window) + ".txt"), core.image(), n, n))
            return 1;
    }
    std::printf("sinogram %d x %d, image %d x %d written to %s\n", record.h, record.w, n, n, qPrintable(out.path()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "time") == 0)
        return timeModes(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "export") == 0)
        return exportModes(argc, argv);
    std::fprintf(stderr, "usage: zorvel-bench-quant time|export ... (see the source's header)\n");
    return 1;
}
