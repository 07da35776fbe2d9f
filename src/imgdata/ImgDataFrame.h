#pragma once

#include "ImgData.h"

// An image that exists only in memory: one frame of a multi-frame file, or the mean of
// several frames (a file's flats or darks). The pixels are handed over when it is made;
// readProps and load only check them.
class ImgDataFrame : public ImgData
{
public:
    // width x height pixels, row-major; a block of another size is refused by open().
    ImgDataFrame(const QString &name, int width, int height, std::vector<double> pixels);

    void reset() override;
    bool readProps(const QString &fileName, int &width, int &height) override;
    bool load() override;
    double *line(int y, double *buffer) const override;
    double *column(int x, double *buffer) const override;

private:
    int frameWidth;
    int frameHeight;
    std::vector<double> pixels;
};
