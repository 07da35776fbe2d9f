#pragma once

#include "ImgData.h"

// Reader of grey TIFF images through libtiff: 8-, 16- or 32-bit unsigned or 32-bit
// float samples, one sample per pixel, strips or tiles, either byte order, any
// compression libtiff decodes. The first image of the file is read.
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

private:
    int sampleFormat = 0; // the reader's own field: layout code of the samples
    std::vector<double> pixels; // width * height values, row after row
};

// True when the file starts with "II" or "MM".
bool isTIFFFile(const QString &fileName);
