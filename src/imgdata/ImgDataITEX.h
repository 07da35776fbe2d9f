#pragma once

#include "ImgData.h"

// Reader of ITEX .img files: 64-byte header (signature "IM", comment length at
// bytes 2..3, little-endian), a comment of key=value items separated by commas,
// then the pixel block of 2- or 4-byte little-endian unsigned integers.
// The whole pixel block is read at load(); the file is closed again right away so
// that a series of thousands of projections does not hold thousands of open files.
// A streamed reader opens the file for each block of rows it reads.
class ImgDataITEX : public ImgData
{
public:
    ImgDataITEX() = default;
    ~ImgDataITEX() override;

    void reset() override;
    bool readProps(const QString &fileName, int &width, int &height) override;
    bool load() override;
    double *line(int y, double *buffer) const override;
    double *column(int x, double *buffer) const override;

    int pixelBytes() const { return bytesPerPixel; }
    int pixelDataOffset() const { return dataOffset; }

    // Pixel blocks of this many bytes or more are refused.
    static constexpr qint64 maxPixelBlockBytes = qint64(1) << 31;

protected:
    int storedSampleBytes() const override { return bytesPerPixel; }
    bool readRows(int first, int count, double *out) const override;

private:
    double pixel(qint64 index) const;
    // The pixel block was loaded for the present geometry (false before load and after
    // reset); pixels the file did not hold read as 0.
    bool holdsPixels() const;
    void evaluateItem(const QString &item, int &areaW, int &areaH);

    int dataOffset = 0;
    int bytesPerPixel = 0;
    qint64 loadedPixels = 0; // width * height at load()
    std::vector<unsigned char> pixels; // the bytes the file holds, at most the whole block
};

// True when the file starts with the two bytes 'I', 'M'.
bool isITEXFile(const QString &fileName);
