// zorvel-bench-slicefiles: what one slice costs as a text data file and as a 32-bit float
// TIFF, each made from the values and written atomically through the saver (flushed to
// the disk), as a CT2 worker and the saver do it.
//
//   zorvel-bench-slicefiles [--size N] [--repeat R]
//       N x N slice of smooth values with noise (default 1020, the tooth's width), R
//       slices of each kind (default 10), written into a temporary folder beside the
//       current one. Prints milliseconds to encode and to write, and bytes, per slice.

#include "BenchOptions.h"
#include "BenchRandom.h"
#include "CalcRegion.h"
#include "DataSaver.h"
#include "ResultFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

namespace {

std::vector<double> sliceValues(int n)
{
    std::vector<double> values = randomValues(size_t(n) * n, std::normal_distribution<double>(0.0, 0.02), std::mt19937_64(5));
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            const double r = std::hypot(x - n / 2.0, z - n / 2.0) / n;
            values[size_t(z) * n + x] += r < 0.4 ? 1.5 - r : 0.0;
        }
    return values;
}

void measure(const char *kind, const char *suffix, int repeat, const QTemporaryDir &dir,
             const std::function<QByteArray()> &encode)
{
    double encodeMs = 0.0, writeMs = 0.0;
    qint64 bytes = 0;
    for (int r = 0; r < repeat; ++r) {
        QElapsedTimer timer;
        timer.start();
        const QByteArray file = encode();
        encodeMs += timer.nsecsElapsed() / 1e6;
        timer.restart();
        if (!DataSaver::writeFile(dir.filePath(QString::asprintf("s-%05d.%s", r, suffix)), file, "cannot write"))
            std::exit(1);
        writeMs += timer.nsecsElapsed() / 1e6;
        bytes = file.size();
    }
    std::printf("%-10s %10.1f ms encode %10.1f ms write %12lld bytes per slice\n", kind, encodeMs / repeat,
                writeMs / repeat, static_cast<long long>(bytes));
}

} // namespace

int main(int argc, char **argv)
{
    int n = 1020, repeat = 10;
    if (!parseBenchOptions(argc, argv, {{"--size", &n}, {"--repeat", &repeat}}, "zorvel-bench-slicefiles [--size N] [--repeat R]"))
        return 2;
    if (n < 2 || n > 8192 || repeat < 1 || repeat > 1000) {
        std::fprintf(stderr, "--size 2..8192, --repeat 1..1000\n");
        return 2;
    }
    const std::vector<double> image = sliceValues(n);
    const CalcRegion whole{0.0, 0.0, double(n), double(n)};
    QTemporaryDir dir(QDir::currentPath() + "/bench-slicefiles-XXXXXX");
    std::printf("slice %d x %d, %d of each\n", n, n, repeat);
    measure("data file", "dat", repeat, dir, [&] { return ResultFiles::dataText(image.data(), n, whole); });
    measure("float TIFF", "tif", repeat, dir, [&] { return ResultFiles::floatTiff(image.data(), n, whole); });
    return 0;
}
