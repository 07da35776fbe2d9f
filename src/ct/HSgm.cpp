#include "HSgm.h"

#include <cstddef>

void HSgm::resize(int width, int height)
{
    delete[] sgm;
    delete[] rawSgm;
    sgm = nullptr;
    rawSgm = nullptr;
    w = width > 0 ? width : 0;
    h = height > 0 ? height : 0;
    const long long count = (long long)w * h;
    if (count > 0) {
        sgm = new double[std::size_t(count)];
        rawSgm = new double[std::size_t(count)];
    }
}
