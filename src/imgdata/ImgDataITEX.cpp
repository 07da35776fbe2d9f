#include "ImgDataITEX.h"

#include "FieldValue.h"
#include "TextLine.h"

#include <QDebug>
#include <QFile>
#include <QTextStream>
#include <QtEndian>

#include <algorithm>
#include <limits>

namespace {
double decodePixel(const unsigned char *p, int bytesPerPixel)
{
    if (bytesPerPixel == 2)
        return double(qFromLittleEndian<quint16>(p));
    return double(qFromLittleEndian<quint32>(p));
}

const QString kWidthKey = QStringLiteral("Prop_ImageWidth=");
const QString kHeightKey = QStringLiteral("Prop_ImageHeight=");
const QString kBytesKey = QStringLiteral("BytesPerPixel=");
const QString kExposure1Key = QStringLiteral("Prop_ExposureTime1=");
const QString kExposure2Key = QStringLiteral("Prop_ExposureTime2=");
const QString kAreaKey = QStringLiteral("areSource=");
constexpr int kHeaderBytes = 64;

// The first item after the key as a decimal integer; 0 when absent or not a number.
int intAfter(const QString &item, const QString &key)
{
    const QStringList values = itemsAfter(item, key);
    return values.isEmpty() ? 0 : values.first().toInt(nullptr, 10);
}

// end - start of two corner coordinates; 0 when a coordinate is not a number or the
// span does not fit a 32-bit size (hostile corners must not overflow).
int areaSpan(const QString &start, const QString &end)
{
    const qint64 span = qint64(end.toInt()) - qint64(start.toInt());
    return span > std::numeric_limits<int>::max() || span < std::numeric_limits<int>::min() ? 0 : int(span);
}

// The first item after the key as a finite real, read as the fields read it: 0 when absent,
// not a number, infinite or NaN.
double doubleAfter(const QString &item, const QString &key)
{
    const QStringList values = itemsAfter(item, key);
    return values.isEmpty() ? 0.0 : realFieldValue(values.first());
}
}

bool isITEXFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        qDebug() << "Check File Type (ITEX):: Can not open" << fileName;
        return false;
    }
    const QByteArray head = f.read(2);
    return head.size() == 2 && head.at(0) == 'I' && head.at(1) == 'M';
}

ImgDataITEX::~ImgDataITEX() = default;

void ImgDataITEX::reset()
{
    dataOffset = 0;
    bytesPerPixel = 0;
    loadedPixels = 0;
    pixels.clear();
}

void ImgDataITEX::evaluateItem(const QString &item, int &areaW, int &areaH)
{
    if (startsWith(item, kWidthKey))
        width = intAfter(item, kWidthKey);
    if (startsWith(item, kHeightKey))
        height = intAfter(item, kHeightKey);
    if (startsWith(item, kBytesKey))
        bytesPerPixel = intAfter(item, kBytesKey);
    if (startsWith(item, kExposure1Key))
        expTime = doubleAfter(item, kExposure1Key);
    if (startsWith(item, kExposure2Key))
        expTime = doubleAfter(item, kExposure2Key);
    if (startsWith(item, kAreaKey)) {
        QString text = item.mid(kAreaKey.size());
        text.replace(u',', u' ');
        text.remove(u'"');
        QString x0, y0, x1, y1;
        nextItem(nextItem(nextItem(nextItem(text, x0), y0), x1), y1);
        areaW = areaSpan(x0, x1);
        areaH = areaSpan(y0, y1);
    }
}

bool ImgDataITEX::readProps(const QString &name, int &w, int &h)
{
    w = 0;
    h = 0;
    width = 0;
    height = 0;
    dataOffset = 0;
    loadedPixels = 0;
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) {
        qDebug() << "Can not open ITEX file to read props." << name;
        return false;
    }
    const QByteArray head = f.read(10);
    if (head.size() < 10) {
        qDebug() << "Error on reading ITEX file props." << name;
        return false;
    }
    dataOffset = kHeaderBytes + quint8(head.at(2)) + 256 * quint8(head.at(3));

    // The header is binary (its length bytes may be 13); the comment is read as text.
    f.setTextModeEnabled(true);
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    in.seek(kHeaderBytes);

    // Items end at commas outside double quotes; the text after the last comma is
    // never evaluated. Characters are counted after decoding.
    int areaW = 0, areaH = 0;
    const int commentLength = dataOffset - kHeaderBytes;
    const QString comment = in.read(commentLength);
    if (comment.size() < commentLength) {
        width = height = areaW = areaH = 0;
    } else {
        QString item;
        bool inQuotes = false;
        for (const QChar c : comment) {
            if (c == u'"') {
                inQuotes = !inQuotes;
                item.append(c);
            } else if (c == u',' && !inQuotes) {
                evaluateItem(item, areaW, areaH);
                item.clear();
                inQuotes = false;
            } else {
                item.append(c);
            }
        }
    }
    if (width < 1)
        width = areaW;
    if (height < 1)
        height = areaH;
    w = width;
    h = height;
    if (dataOffset < kHeaderBytes + 1 || !sidesAccepted(width, height, name))
        return false;

    // Only 2- and 4-byte pixels are defined; anything else cannot be decoded safely.
    if (bytesPerPixel != 2 && bytesPerPixel != 4) {
        qDebug() << qUtf8Printable(QString("ITEX pixel size %1 is neither 2 nor 4 bytes : ").arg(bytesPerPixel)) << name;
        return false;
    }
    // Width and height are at most 2^20 and the pixel size at most 4: no overflow in 64 bits.
    const quint64 blockBytes = quint64(width) * quint64(height) * quint64(bytesPerPixel);
    if (blockBytes >= quint64(maxPixelBlockBytes)) {
        qDebug() << qUtf8Printable(QString("ITEX pixel block of %1 bytes is too large : ").arg(blockBytes)) << name;
        return false;
    }
    return true;
}

bool ImgDataITEX::load()
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        qDebug() << "Can not open ITEX file" << fileName;
        return false;
    }
    const qint64 blockBytes = qint64(width) * qint64(height) * bytesPerPixel;
    // Only the bytes the file holds are kept (whole pixels, the last one zero-padded), so a
    // short file that declares a huge geometry costs no more memory than its own size.
    const qint64 presentBytes = std::clamp<qint64>(f.size() - dataOffset, 0, blockBytes);
    pixels.assign(size_t((presentBytes + bytesPerPixel - 1) / bytesPerPixel * bytesPerPixel), 0);
    qint64 got = 0;
    if (f.seek(dataOffset)) {
        got = f.read(reinterpret_cast<char *>(pixels.data()), presentBytes);
        if (got < 0)
            got = 0;
    }
    if (got < blockBytes)
        qDebug() << qUtf8Printable(QString("ITEX pixel block is %1 bytes short, missing pixels read as 0 : ")
                                       .arg(blockBytes - got))
                 << fileName;
    loadedPixels = qint64(width) * height;
    return true;
}

double ImgDataITEX::pixel(qint64 index) const
{
    return decodePixel(pixels.data() + index * bytesPerPixel, bytesPerPixel);
}

bool ImgDataITEX::readRows(int first, int count, double *out) const
{
    const qint64 rowBytes = qint64(width) * bytesPerPixel, wanted = rowBytes * count;
    // Bytes past the end of the file read as 0, as those of a short file loaded whole.
    std::vector<unsigned char> bytes(size_t(wanted), 0);
    QFile f(fileName);
    const bool opened = f.open(QIODevice::ReadOnly);
    if (opened && f.seek(dataOffset + rowBytes * first))
        f.read(reinterpret_cast<char *>(bytes.data()), wanted);
    for (qint64 i = 0; i < qint64(width) * count; ++i)
        out[i] = decodePixel(bytes.data() + i * bytesPerPixel, bytesPerPixel);
    if (!opened)
        qDebug() << "Can not read rows of ITEX file" << fileName;
    return opened;
}

bool ImgDataITEX::holdsPixels() const
{
    return bytesPerPixel > 0 && loadedPixels == qint64(width) * height;
}

double *ImgDataITEX::line(int y, double *buffer) const
{
    if (isStreamed())
        return streamedLine(y, buffer);
    if (!holdsPixels())
        return buffer;
    const qint64 start = qint64(y) * width;
    const qint64 stored = qint64(pixels.size()) / bytesPerPixel;
    const int present = int(std::clamp<qint64>(stored - start, 0, width));
    for (int x = 0; x < present; ++x)
        buffer[x] = pixel(start + x);
    std::fill(buffer + present, buffer + width, 0.0);
    return buffer;
}

double *ImgDataITEX::column(int x, double *buffer) const
{
    if (isStreamed())
        return streamedColumn(x, buffer);
    if (!holdsPixels())
        return buffer;
    const qint64 stored = qint64(pixels.size()) / bytesPerPixel;
    for (int r = 0; r < height; ++r) {
        const qint64 index = qint64(r) * width + x;
        buffer[r] = index < stored ? pixel(index) : 0.0;
    }
    return buffer;
}
