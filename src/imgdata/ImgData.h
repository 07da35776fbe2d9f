#pragma once

#include <QString>

#include <limits>
#include <memory>
#include <vector>

class ColorScale;
class QImage;

// One measured image file (projection, I0 or BG). A reader reads the file's
// properties, loads its pixels once into memory and hands out rows and columns
// as doubles. Pixel values are unsigned integers (or float samples) widened to
// double, without scaling; row 0 is the first row stored in the file.
//
// line() and column() are called concurrently by the reconstruction workers, each
// with its own buffer: implementations only read the in-memory pixel block.
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

    // The common opening sequence: readProps, load, work buffers. False, with one debug
    // line naming the file, when any step fails or memory runs out.
    bool open();
    void calcMinMax();
    // min and max of the finite pixels, scanning first when not up to date; 0, 0 without
    // data or without a finite pixel.
    void minMax(double &minValue, double &maxValue);

    bool isValid() const { return valid; }
    void setValid(bool v) { valid = v; }
    bool keepsInMemory() const { return keepInMemory; }
    void setKeepInMemory(bool keep) { keepInMemory = keep; }
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
    // True when both sides lie in 1 ... maxImageSide; otherwise false with a debug line.
    static bool sidesAccepted(qint64 w, qint64 h, const QString &fileName);

    bool valid = false;
    bool keepInMemory = true;
    double expTime = 1.0;
    int width = 0;
    int height = 0;
    QString fileName;
    bool minMaxValid = false;
    double min = std::numeric_limits<double>::max();
    double max = -std::numeric_limits<double>::max();
    std::vector<double> lineBuf;   // one row; GUI-thread scans only
    std::vector<double> columnBuf; // one column; GUI-thread scans only
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
