// Rendering a 2048 x 2048 image into an 8-bit grey picture through the colour scale:
// the bare per-pixel loop, and ImgData::toImage on an ITEX file through a ColorBar.
#include "BenchRandom.h"
#include "ColorBar.h"
#include "ColorScale.h"
#include "ImgData.h"
#include "ImageRendering.h"
#include "ItexWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {
constexpr int kSide = 2048;
constexpr int kRuns = 15;

double medianMs(const std::function<void()> &work)
{
    work();  // warm-up: page in the buffers
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const std::vector<quint32> counts =
        randomValues(size_t(kSide) * kSide, std::uniform_int_distribution<quint32>(100, 60000), std::mt19937(7));
    const std::vector<double> values(counts.begin(), counts.end());
    ColorScale scale;
    scale.minV = 100;
    scale.maxV = 60000;
    scale.lowR = 0.1;
    scale.highR = 0.9;
    QImage image(kSide, kSide, QImage::Format_Grayscale8);
    const double loopMs = medianMs([&] {
        for (int y = 0; y < kSide; ++y) {
            const double *row = values.data() + size_t(y) * kSide;
            uchar *pixels = image.scanLine(y);
            for (int x = 0; x < kSide; ++x)
                pixels[x] = uchar(scale.colorIndex(row[x]));
        }
    });
    std::printf("colour scale loop, %d x %d doubles -> Grayscale8: %.1f ms (median of %d)\n",
                kSide, kSide, loopMs, kRuns);

    QTemporaryDir dir;
    const QString fileName = dir.filePath("bench.img");
    if (!dir.isValid() || !ItexWriter::write(fileName, kSide, kSide, 2, counts))
        return 1;
    std::unique_ptr<ImgData> reader(newImgData(ImgTypeITEX));
    reader->setFileName(fileName);
    if (!reader->open())
        return 1;
    ColorBar bar;
    QImage rendered;
    const double toImageMs = medianMs([&] { renderThroughBar(*reader, rendered, bar); });
    std::printf("ImgData::toImage, %d x %d ITEX (16-bit) through a ColorBar: %.1f ms (median of %d)\n",
                kSide, kSide, toImageMs, kRuns);
    return 0;
}
