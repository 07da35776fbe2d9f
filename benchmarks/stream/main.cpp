// zorvel-bench-stream: reconstruction of a slice range from a series larger than the
// memory budget, against the same job with the whole series in memory.
//
//   zorvel-bench-stream [--projections P] [--side N] [--slices S] [--budget MB] [--workers W]
//
// Writes P ITEX projections of N x N 16-bit pixels (defaults 1024 x 1024 x 1024: 2 GB)
// into a temporary folder under /tmp, removed at the end. Each mode runs in a child
// process of its own, so that its peak resident memory (ru_maxrss) is its own: it loads
// the series as the window does (ImgDatas::planLoad, add), then W threads (default 2)
// reconstruct S slices (default 32) from the middle of the detector, taking the next slice
// as they finish, as the CT2 workers do. The budget is MB (default 256) when streamed and
// the machine's default (half its memory) in memory.

#include "BenchOptions.h"
#include "BpCore.h"
#include "HSgm.h"
#include "ImgData.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "RowCache.h"
#include "SinogramGenerator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Options
{
    int projections = 1024;
    int side = 1024;
    int slices = 32;
    int budgetMb = 256;
    int workers = 2;
};

bool writeSeries(const QDir &dir, const Options &o, QStringList &files)
{
    std::vector<quint32> pixels(size_t(o.side) * size_t(o.side));
    for (int p = 0; p < o.projections; ++p) {
        // A disc of attenuating material moving across the detector with the angle.
        const double centre = o.side / 2.0 + o.side / 4.0 * std::cos(p * M_PI / o.projections);
        for (int y = 0; y < o.side; ++y)
            for (int x = 0; x < o.side; ++x)
                pixels[size_t(y) * o.side + x] = std::abs(x - centre) < o.side / 8.0 ? 20000 : 60000;
        files << dir.filePath(QString("p%1.img").arg(p, 5, 10, QChar('0')));
        if (!ItexWriter::write(files.back(), o.side, o.side, 2, pixels))
            return false;
    }
    return true;
}

// The job of one mode; prints its times, returns its exit status.
int runJob(const QStringList &files, const Options &o, qint64 budget, const char *mode)
{
    QElapsedTimer timer;
    timer.start();
    ImgDatas series;
    setMemoryBudget(budget);
    series.planLoad(files);
    for (const QString &file : files)
        if (!series.add(file))
            return 1;
    const double loadSeconds = timer.nsecsElapsed() / 1e9;
    const std::shared_ptr<const ProjectionSeries> snapshot = series.snapshot();
    std::atomic<int> next{o.side / 2 - o.slices / 2};
    const int end = next + o.slices;
    std::atomic<bool> failed{false};
    const auto worker = [&] {
        HSgm sinogram;
        BpCore core;
        for (int slice = next++; slice < end; slice = next++) {
            if (!SinogramGenerator::genSinogram0(*snapshot, &sinogram, true, o.side / 2.0, slice)
                || !core.setupCore(sinogram.w, sinogram.h)) {
                failed = true;
                return;
            }
            core.reconstructSlice(sinogram.sgm, sinogram.w, core.n(), 0, core.n(), 0, core.n());
        }
    };
    std::vector<std::thread> threads;
    for (int w = 0; w < o.workers; ++w)
        threads.emplace_back(worker);
    for (std::thread &t : threads)
        t.join();
    const double totalSeconds = timer.nsecsElapsed() / 1e9;
    std::printf("%-9s streamed %-3s  load %7.2f s  load + %d slices %7.2f s", mode,
                series.at(0)->isStreamed() ? "yes" : "no", loadSeconds, o.slices, totalSeconds);
    std::fflush(stdout);
    return failed ? 1 : 0;
}

// Runs the job in a child process; prints its peak resident memory after its times.
bool runChild(const QStringList &files, const Options &o, qint64 budget, const char *mode)
{
    std::fflush(stdout); // the child would print what is buffered once more
    const pid_t child = fork();
    if (child == 0)
        _exit(runJob(files, o, budget, mode));
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::printf("\n%s: the job failed\n", mode);
        return false;
    }
    std::printf("  peak RSS %7.1f MB\n", usage.ru_maxrss / 1024.0);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    const char *usage = "zorvel-bench-stream [--projections P] [--side N] [--slices S] [--budget MB] [--workers W]";
    if (!parseBenchOptions(argc, argv,
                           {{"--projections", &o.projections}, {"--side", &o.side}, {"--slices", &o.slices},
                            {"--budget", &o.budgetMb}, {"--workers", &o.workers}},
                           usage))
        return 2;
    if (o.projections < 2 || o.projections > 8192 || o.side < 16 || o.side > 8192 || o.slices < 1 || o.slices > o.side / 2
        || o.budgetMb < 1 || o.budgetMb > (1 << 20) || o.workers < 1 || o.workers > 64) {
        std::fprintf(stderr, "usage: %s\n", usage);
        return 2;
    }
    QTemporaryDir dir(QDir::tempPath() + "/zorvel-bench-stream-XXXXXX");
    QStringList files;
    if (!dir.isValid() || !writeSeries(QDir(dir.path()), o, files)) {
        std::fprintf(stderr, "cannot write the series under %s\n", qPrintable(QDir::tempPath()));
        return 1;
    }
    std::printf("%d projections of %d x %d (16-bit, %.0f MB on disk), %d slices, %d workers\n", o.projections, o.side,
                o.side, double(o.projections) * o.side * o.side * 2 / (1 << 20), o.slices, o.workers);
    const bool ok = runChild(files, o, qint64(o.budgetMb) << 20, "streamed")
                    && runChild(files, o, 0, "in memory");
    return ok ? 0 : 1;
}
