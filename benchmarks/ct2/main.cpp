// zorvel-bench-ct2: measures the CT2 engine as the main window runs it.
//
//   zorvel-bench-ct2 [--slices S] [--angles M] [--width W]
//
// 1. Throughput: S slices of a W-wide synthetic series on one worker, then on two
//    (workers on their own threads, data files saved by the DataSaver), best of
//    three runs each. While the two-worker run goes on, a 1 ms
//    timer on the GUI thread records the longest gap between its ticks: the longest
//    time the event loop was blocked.
// 2. The data text of a 1024 x 1024 region and its write, against the reconstruction
//    of a 1024-wide slice with 720 projections.

#include "BenchOptions.h"
#include "BpCore.h"
#include "CtPool.h"
#include "DataSaver.h"
#include "ImgDatas.h"
#include "ItexWriter.h"
#include "ResultFiles.h"
#include "SavingData.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Options
{
    int slices = 32;
    int angles = 360;
    int width = 514;
};

bool parse(int argc, char **argv, Options &o)
{
    const char *usage = "zorvel-bench-ct2 [--slices S] [--angles M] [--width W]";
    if (!parseBenchOptions(argc, argv, {{"--slices", &o.slices}, {"--angles", &o.angles}, {"--width", &o.width}},
                           usage))
        return false;
    if (o.slices >= 1 && o.slices <= 4096 && o.angles >= 2 && o.angles <= 4096 && o.width >= 8 && o.width <= 8192)
        return true;
    std::fprintf(stderr, "usage: %s\n", usage);
    return false;
}

// A disc off the axis, one detector row per slice.
bool writeSeries(const QTemporaryDir &dir, const Options &o, ImgDatas &imgs)
{
    const double pi = 3.141592653589793, cor = o.width / 2.0 - 0.5;
    for (int j = 0; j < o.angles; ++j) {
        std::vector<quint32> pixels(size_t(o.width) * o.slices);
        for (int y = 0; y < o.slices; ++y)
            for (int x = 0; x < o.width; ++x) {
                const double p = x - cor - 0.2 * o.width * std::cos(j * pi / o.angles);
                const double chord = std::sqrt(std::max(0.0, 0.04 * o.width * o.width - p * p));
                pixels[size_t(y) * o.width + x] = quint32(20000.0 * std::exp(-0.01 * chord) + y);
            }
        const QString name = dir.filePath(QString("p%1.img").arg(j, 4, 10, QChar('0')));
        if (!ItexWriter::write(name, o.width, o.slices, 2, pixels) || !imgs.add(name))
            return false;
    }
    return true;
}

struct RunTimes
{
    double seconds = 0.0;
    double longestBlockMs = 0.0;
};

RunTimes timeRun(CtPool &pool, const ImgDatas &imgs, const Options &o, int threads, const QString &outDir)
{
    auto snapshot = std::make_shared<RunSnapshot>();
    snapshot->series = imgs.snapshot();
    snapshot->cor = o.width / 2.0 - 0.5;
    snapshot->display = false;
    snapshot->data = {true, outDir, "bench", ""};
    CtDispatcher::Run run;
    run.snapshot = snapshot;
    run.rangeMode = true;
    run.from = 0;
    run.to = o.slices - 1;
    run.threads = threads;
    QEventLoop loop;
    QObject::connect(&pool.dispatcher(), &CtDispatcher::finished, &loop, &QEventLoop::quit);
    QElapsedTimer sinceTick;
    double longest = 0.0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&]() {
        longest = std::max(longest, sinceTick.nsecsElapsed() * 1e-6);
        sinceTick.restart();
    });
    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    ticker.start();
    pool.dispatcher().start(run);
    loop.exec();
    return {timer.nsecsElapsed() * 1e-9, longest};
}

RunTimes bestOf3(CtPool &pool, const ImgDatas &imgs, const Options &o, int threads, const QString &outDir)
{
    RunTimes best{1e300, 0.0};
    for (int k = 0; k < 3; ++k) {
        const RunTimes t = timeRun(pool, imgs, o, threads, outDir);
        best.seconds = std::min(best.seconds, t.seconds);
        best.longestBlockMs = std::max(best.longestBlockMs, t.longestBlockMs);
    }
    return best;
}

void dataFileAgainstSlice(const QTemporaryDir &dir)
{
    const int n = 1024, m = 720;
    std::vector<double> sgm(size_t(n + 1) * m);
    for (size_t i = 0; i < sgm.size(); ++i)
        sgm[i] = std::sin(double(i % (n + 1)) * 0.01) * std::exp(-double(i % 97) * 0.01);
    BpCore core;
    core.setupCore(n, m);
    QElapsedTimer timer;
    timer.start();
    core.reconstructSlice(sgm.data(), n + 1, n, 0, n, 0, n);
    const double reconstruct = timer.nsecsElapsed() * 1e-9;
    timer.restart();
    SavingData record{dir.filePath("bench-1024.dat"), ResultFiles::dataText(core.image(), n, {0, 0, double(n), double(n)})};
    const double text = timer.nsecsElapsed() * 1e-9;
    timer.restart();
    const bool written = DataSaver::writeData(record);
    const double write = timer.nsecsElapsed() * 1e-9;
    std::printf("datafile N=1024 M=720 reconstruct=%.3fs text=%.3fs write=%.3fs bytes=%lld written=%s\n",
                reconstruct, text, write, static_cast<long long>(record.data.size()), written ? "yes" : "no");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options o;
    if (!parse(argc, argv, o))
        return 2;
    QTemporaryDir dir;
    ImgDatas imgs;
    if (!writeSeries(dir, o, imgs))
        return 1;
    CtPool pool(2);
    const RunTimes one = bestOf3(pool, imgs, o, 1, dir.path());
    const RunTimes two = bestOf3(pool, imgs, o, 2, dir.path());
    std::printf("throughput slices=%d M=%d W=%d one=%.3fs (%.2f slices/s) two=%.3fs (%.2f slices/s) scaling=%.2fx\n",
                o.slices, o.angles, o.width, one.seconds, o.slices / one.seconds, two.seconds,
                o.slices / two.seconds, one.seconds / two.seconds);
    std::printf("gui longest event-loop block: one worker %.1f ms, two workers %.1f ms\n", one.longestBlockMs,
                two.longestBlockMs);
    dataFileAgainstSlice(dir);
    return 0;
}
