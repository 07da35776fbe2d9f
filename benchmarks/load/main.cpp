// zorvel-bench-load: the time to load the measured tooth into a series, as its original
// HDF5 file (181 float32 projections, 10 flats and 10 darks averaged) and as its ITEX
// conversion (180 files with an I0 and a BG file), as the window's load does it.
//
//   zorvel-bench-load [--repeat R]
//       The data folder is $ZORVEL_REAL_DATA, else shared/data/real beside the sources.
//       Prints the median milliseconds of R loads (default 20) of each.

#include "BenchOptions.h"
#include "ImgData.h"
#include "ImgDatas.h"

#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int repeat, const std::function<bool()> &load)
{
    std::vector<double> times;
    for (int r = 0; r < repeat; ++r) {
        QElapsedTimer timer;
        timer.start();
        if (!load())
            return -1.0;
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    int repeat = 20;
    if (!parseBenchOptions(argc, argv, {{"--repeat", &repeat}}, "zorvel-bench-load [--repeat R]") || repeat < 1 || repeat > 10000)
        return 2;
    const QString rootText = qEnvironmentVariable("ZORVEL_REAL_DATA", ZORVEL_REAL_DATA_DEFAULT);
    const QDir tooth(QDir(rootText).filePath("tooth"));
    const QString hdf5 = QDir(rootText).filePath("tooth-h5/tooth.h5");
    const QStringList itexNames = tooth.entryList({"tooth_*.img"}, QDir::Files, QDir::Name);
    const double itexMs = medianMs(repeat, [&] {
        ImgDatas series;
        const bool references = openImgData(tooth.filePath("i0.img")) && openImgData(tooth.filePath("bg.img"));
        return references && std::all_of(itexNames.begin(), itexNames.end(), [&](const QString &name) { return series.add(tooth.filePath(name)); });
    });
    const double hdf5Ms = medianMs(repeat, [&] {
        ImgDatas series;
        return series.add(hdf5) && series.count() == 181;
    });
    if (itexMs < 0 || hdf5Ms < 0) {
        std::fprintf(stderr, "cannot load the tooth from %s\n", qPrintable(rootText));
        return 1;
    }
    std::printf("tooth, median of %d loads:\n", repeat);
    std::printf("ITEX series (180 files, I0, BG)       %8.2f ms\n", itexMs);
    std::printf("HDF5 file (181 projections, 10+10)    %8.2f ms\n", hdf5Ms);
    return 0;
}
