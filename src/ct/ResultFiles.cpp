#include "ResultFiles.h"

#include "FloatTiff.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

// Splits the file-name part of name at its last dot.
void splitName(const QString &name, QString &base, QString &suffix)
{
    const QString fileName = QFileInfo(name).fileName();
    const qsizetype dot = fileName.lastIndexOf(u'.');
    base = dot < 0 ? fileName : fileName.left(dot);
    suffix = dot < 0 ? QString() : fileName.mid(dot + 1);
}

// The first integer index at or above bound that the back-projection visits: the bound
// truncated toward zero, clamped to [lo, hi] so that huge or non-finite bounds stay
// in range (a NaN bound visits nothing).
qint64 truncatedBound(double bound, qint64 lo, qint64 hi)
{
    if (!(bound > double(lo)))
        return bound != bound ? hi : lo;
    if (!(bound < double(hi)))
        return hi;
    return qint64(bound);
}

// One past the last index i with i < bound, within [lo, hi].
qint64 exclusiveEnd(double bound, qint64 lo, qint64 hi)
{
    if (!(bound > double(lo)))
        return lo;
    if (!(bound <= double(hi)))
        return hi;
    return qint64(std::ceil(bound));
}

char *writeInt(char *out, qint64 v)
{
    return std::to_chars(out, out + 24, v).ptr;
}

} // namespace

QString ResultFiles::tagStep(const QString &name, const QString &tag)
{
    QString base;
    QString suffix;
    splitName(name, base, suffix);
    return base + u'-' + tag + u'.' + suffix;
}

QString ResultFiles::suffixStep(const QString &name, const QString &suffix)
{
    QString base;
    QString oldSuffix;
    splitName(name, base, oldSuffix);
    return base + u'.' + suffix;
}

QString ResultFiles::autoName(const QString &name, const QString &tag, int slice, const QString &suffix)
{
    QString tagged = name;
    if (!tag.isEmpty())
        tagged = tagStep(tagged, tag);
    tagged = tagStep(tagged, QString::asprintf("%05d", slice));
    return suffixStep(tagged, suffix);
}

QString ResultFiles::fullPath(const QString &dir, const QString &fname)
{
    return QDir::cleanPath(QFileInfo(QDir(dir).filePath(fname)).absoluteFilePath());
}

void ResultFiles::appendReal(QByteArray &text, double v)
{
    char buf[32];
    const char *end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6).ptr;
    text.append(buf, end - buf);
}

ResultFiles::Pixels ResultFiles::pixelsInside(int n, const CalcRegion &region)
{
    const qint64 side = std::max(n, 0);
    return {std::max<qint64>(truncatedBound(region.x0, -1, side), 0), exclusiveEnd(region.x1, 0, side),
            std::max<qint64>(truncatedBound(region.z0, -1, side), 0), exclusiveEnd(region.z1, 0, side)};
}

QByteArray ResultFiles::floatTiff(const double *image, int n, const CalcRegion &region)
{
    const Pixels inside = pixelsInside(image ? n : 0, region);
    if (inside.xBegin >= inside.xEnd || inside.zBegin >= inside.zEnd)
        return {};
    return FloatTiff::encode(image + inside.zBegin * n + inside.xBegin, int(inside.xEnd - inside.xBegin),
                             int(inside.zEnd - inside.zBegin), n);
}

std::vector<float> ResultFiles::floatPixels(const double *image, int n, const CalcRegion &region, int *width, int *height)
{
    const Pixels inside = pixelsInside(image ? n : 0, region);
    *width = int(std::max<qint64>(inside.xEnd - inside.xBegin, 0));
    *height = int(std::max<qint64>(inside.zEnd - inside.zBegin, 0));
    std::vector<float> pixels;
    pixels.reserve(size_t(*width) * size_t(*height));
    for (qint64 z = inside.zBegin; z < inside.zEnd; ++z)
        for (qint64 x = inside.xBegin; x < inside.xEnd; ++x)
            pixels.push_back(float(image[z * n + x]));
    return pixels;
}

QByteArray ResultFiles::dataText(const double *image, int n, const CalcRegion &region)
{
    QByteArray text;
    const auto headerLine = [&text](const char *label, double v) {
        text.append(label);
        appendReal(text, v);
        text.append('\n');
    };
    text.append("#ZRVL-CTImg\n");
    headerLine("# Range_X0       : ", region.x0);
    headerLine("# Range_Y0       : ", region.z0);
    headerLine("# Range_X1       : ", region.x1);
    headerLine("# Range_Y1       : ", region.z1);
    text.append("# sx,sy, ex,ey   : ");
    for (double v : {region.x0, region.z0, region.x1}) {
        appendReal(text, v);
        text.append('\t');
    }
    appendReal(text, region.z1);
    text.append('\n');

    const qint64 side = n > 0 && image ? n : 0;
    const auto [xBegin, xEnd, zBegin, zEnd] = pixelsInside(image ? n : 0, region);
    if (xBegin >= xEnd || zBegin >= zEnd)
        return text;

    // "x\tz\tvalue\n" is at most 11 + 1 + 11 + 1 + 13 + 1 characters.
    const qint64 header = text.size();
    text.resize(header + (xEnd - xBegin) * (zEnd - zBegin) * 40);
    char *out = text.data() + header;
    for (qint64 z = zBegin; z < zEnd; ++z) {
        const double *row = image + z * side;
        for (qint64 x = xBegin; x < xEnd; ++x) {
            out = writeInt(out, x);
            *out++ = '\t';
            out = writeInt(out, z);
            *out++ = '\t';
            out = std::to_chars(out, out + 16, row[x], std::chars_format::general, 6).ptr;
            *out++ = '\n';
        }
    }
    text.resize(out - text.data());
    return text;
}
