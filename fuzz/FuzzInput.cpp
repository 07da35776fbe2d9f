#include "FuzzInput.h"

#include "ImgData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace {
void dropMessage(QtMsgType, const QMessageLogContext &, const QString &) {}
}

QString fuzzInputFile(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static const bool prepared = (qInstallMessageHandler(dropMessage), QDir::setCurrent(dir.path()));
    Q_UNUSED(prepared);
    const QString name = dir.filePath(QStringLiteral("input"));
    QFile file(name);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    return name;
}

void readImageInput(ImgData &image, bool (*isImageFile)(const QString &), const uint8_t *data, size_t size)
{
    image.setFileName(fuzzInputFile(data, size));
    if (!isImageFile(image.imageFileName()) || !image.open())
        return;
    const int w = image.imageWidth(), h = image.imageHeight();
    std::vector<double> row(static_cast<size_t>(w)), column(static_cast<size_t>(h));
    image.line(0, row.data());
    image.line(h - 1, row.data());
    // A streamed column reads every block of rows, opening the file once per block: only of
    // small images with few rows (a 3 x 52704 TIFF took 95 s under the sanitizers).
    const bool small = qint64(w) * h <= (qint64(1) << 22);
    if (!image.isStreamed() || (small && h <= 4096)) {
        image.column(0, column.data());
        image.column(w - 1, column.data());
    }
    if (small) {
        double lo = 0, hi = 0;
        image.minMax(lo, hi);
    }
}
