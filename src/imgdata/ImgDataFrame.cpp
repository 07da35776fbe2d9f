#include "ImgDataFrame.h"

#include <algorithm>

ImgDataFrame::ImgDataFrame(const QString &name, int width, int height, std::vector<double> values)
    : frameWidth(width), frameHeight(height), pixels(std::move(values))
{
    setFileName(name);
}

void ImgDataFrame::reset()
{
    width = 0;
    height = 0;
    valid = false;
}

bool ImgDataFrame::readProps(const QString &name, int &w, int &h)
{
    if (!sidesAccepted(frameWidth, frameHeight, name))
        return false;
    w = frameWidth;
    h = frameHeight;
    return true;
}

bool ImgDataFrame::load()
{
    return pixels.size() == size_t(frameWidth) * size_t(frameHeight);
}

double *ImgDataFrame::line(int y, double *buffer) const
{
    const double *row = pixels.data() + size_t(y) * size_t(frameWidth);
    std::copy(row, row + frameWidth, buffer);
    return buffer;
}

double *ImgDataFrame::column(int x, double *buffer) const
{
    for (int y = 0; y < frameHeight; ++y)
        buffer[y] = pixels[size_t(y) * size_t(frameWidth) + size_t(x)];
    return buffer;
}
