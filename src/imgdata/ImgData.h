#pragma once

#include <QString>

#include <atomic>
#include <limits>
#include <memory>
#include <vector>

class ColorScale;
class QImage;
class RowCache;

// One measured image file (projection, I0 or BG). A reader reads the file's
// properties, loads its pixels once into memory and hands out rows and columns
// as doubles. A streamed reader (streamThrough) loads nothing: it keeps the file's
// geometry and reads blocks of rows from the file when they are asked for, through
// the row cache of its series. Pixel values are unsigned integers (or float samples) widened to
// double, without scaling; row 0 is the first row stored in the file.
//
// line() and column() are called concurrently by the reconstruction workers, each
// with its own buffer: implementations only read the in-memory pixel block, or the
// thread-safe row cache and the file through a handle of their own.
// lineBuf/columnBuf and the min/max scan belong to the GUI thread.
class ImgData
{
public:
    ImgData() = default;
    virtual ~ImgData() = default;
    ImgData(const ImgData &) = delete;
    ImgData &operator=(const ImgData &) = delete;

    // Sets the reader's own fields back to zero without freeing anything.
    virtual void reset() = 0;
    // Reads width, height (through the references) and the exposure time.
    virtual bool readProps(const QString &fileName, int &width, int &height) = 0;
    // Reads the pixels into memory.
    virtual bool load() = 0;
    // Fills buffer[0..width-1] with row y and returns buffer.
    virtual double *line(int y, double *buffer) const = 0;
    // Fills buffer[0..height-1] with column x (row 0 first) and returns buffer.
    virtual double *column(int x, double *buffer) const = 0;

    // Makes the reader a streamed one, reading blocks of rowsPerBlock rows through cache.
    // Before open(); a null cache keeps the pixels in memory.
    void streamThrough(std::shared_ptr<RowCache> cache, int rowsPerBlock);
    bool isStreamed() const { return rowCache != nullptr; }
    int rowsPerBlock() const { return blockRows; }
    // Blocks of rows read from the file since the reader was made (streamed readers only).
    quint64 rowBlockReads() const { return blockReads.load(); }
    // Reads the file's properties only: its size and memoryBytes() without its pixels.
    bool probe(const QString &name);
    // The bytes an in-memory reader of this image holds; meaningful after probe or open.
    qint64 memoryBytes() const { return qint64(width) * height * storedSampleBytes(); }

    // The common opening sequence: readProps, load (not for a streamed reader), work buffers. False, with one debug
    // line naming the file, when any step fails or memory runs out.
    bool open();
    void calcMinMax();
    // min and max of the finite pixels, scanning first when not up to date; 0, 0 without
    // data or without a finite pixel.
    void minMax(double &minValue, double &maxValue);

    bool isValid() const { return valid; }
    void setValid(bool v) { valid = v; }
    int imageWidth() const { return width; }
    int imageHeight() const { return height; }
    double exposureTime() const { return expTime; }
    QString imageFileName() const { return fileName; }
    void setFileName(const QString &name) { fileName = name; }
    bool isMinMaxValid() const { return minMaxValid; }

    // Renders the image into an 8-bit grey picture through the colour scale, after
    // setting the scale's range to this image's min/max when autoRange is on (the
    // colour bar's "Fix" box unchecked). False, leaving picture and scale as they were,
    // while the reader holds no data or when the picture cannot be allocated (with a
    // debug line).
    bool toImage(QImage &image, ColorScale &scale, bool autoRange);
    // Row y into out, which holds width values: false unless the reader holds data of
    // exactly that width and y is one of its rows.
    bool copyLine(int width, int y, double *out) const;

    // Largest image side accepted from a file: far beyond any detector, and small enough
    // that every buffer derived from a geometry stays well inside 64-bit sizes.
    static constexpr int maxImageSide = 1 << 20;

protected:
    // Bytes of one pixel as load() keeps it.
    virtual int storedSampleBytes() const { return int(sizeof(double)); }
    // Rows first ... first + count - 1 from the file into out (count x width values), for a
    // streamed reader; pixels that cannot be read are 0. False, with a debug line, when
    // the file cannot be read.
    virtual bool readRows(int first, int count, double *out) const;
    // Row y / column x of a streamed reader, through the row cache.
    double *streamedLine(int y, double *buffer) const;
    double *streamedColumn(int x, double *buffer) const;

    // True when both sides lie in 1 ... maxImageSide; otherwise false with a debug line.
    static bool sidesAccepted(qint64 w, qint64 h, const QString &fileName);

    bool valid = false;
    double expTime = 1.0;
    int width = 0;
    int height = 0;
    QString fileName;
    bool minMaxValid = false;
    double min = std::numeric_limits<double>::max();
    double max = -std::numeric_limits<double>::max();
    std::vector<double> lineBuf;   // one row; GUI-thread scans only
    std::vector<double> columnBuf; // one column; GUI-thread scans only

private:
    // The whole image of a streamed reader, read from the file past the cache (the
    // window shows one projection at a time; it should not push out a run's rows).
    std::vector<double> wholeImage() const;
    // min/max of all pixels given at once, then the scan's two halves.
    void calcMinMax(const std::vector<double> &whole);
    void widenRange(const double *values, qint64 count);
    void closeRange();

    std::shared_ptr<RowCache> rowCache;
    int blockRows = 1;
    quint64 imageNumber = 0;
    mutable std::atomic<quint64> blockReads{0};
};

// Reader type codes of fileType/newImgData.
enum ImgFileType { ImgTypeITEX = 0, ImgTypeTIFF = 1, ImgTypeUnknown = 2 };

// 0 for ITEX, 1 for TIFF (checked first), 2 (with a debug line) for anything else.
int fileType(const QString &fileName);
// A new, empty reader for the type code; nullptr for any other code. Caller owns it.
ImgData *newImgData(int type);
// fileType, newImgData and open in one: the opened reader of the file, or nullptr (after
// the readers' own debug lines) when its type is unknown or it cannot be opened.
std::unique_ptr<ImgData> openImgData(const QString &fileName);
