#pragma once

#include "ImgData.h"

// Reader of grey TIFF images through libtiff: 8-, 16- or 32-bit unsigned or 32-bit
// float samples, one sample per pixel, strips or tiles, either byte order, any
// compression libtiff decodes. The first image of the file is read; the samples are
// kept in memory in their own type (host byte order) and widened on access. A streamed
// reader opens the file for each block of rows and decodes only the strips or tiles
// that hold them.
class ImgDataTiff : public ImgData
{
public:
    ImgDataTiff() = default;
    ~ImgDataTiff() override = default;

    void reset() override;
    bool readProps(const QString &fileName, int &width, int &height) override;
    bool load() override;
    double *line(int y, double *buffer) const override;
    double *column(int x, double *buffer) const override;

    // Sample layouts this reader decodes.
    enum SampleKind { NoSamples = 0, UInt8 = 1, UInt16 = 2, UInt32 = 3, Float32 = 4 };
    int sampleKind() const { return kind; }

protected:
    int storedSampleBytes() const override { return bytesPerSample(); }
    bool readRows(int first, int count, double *out) const override;

private:
    double sample(qint64 index) const;
    // The pixel block matches the geometry (false before load and after reset), so rows
    // and columns are only read from a block that holds them.
    bool holdsPixels() const;
    int bytesPerSample() const;

    int kind = NoSamples; // the reader's own field; zero after construction and reset()
    std::vector<unsigned char> samples;
};

// True when the file starts with "II" or "MM".
bool isTIFFFile(const QString &fileName);
