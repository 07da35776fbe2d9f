#pragma once

#include <memory>
#include <vector>

class ImgData;

// What a reconstruction reads: the projection readers in angle order with their
// common size, and the I0 and BG readers in use when it was taken. Immutable once
// made, and it shares the readers, so it stays valid when the window loads, clears
// or replaces images: the readers it holds are freed with the last copy of it.
// Readers only hand out rows and columns from memory, so any number of threads may
// read one series at the same time.
class ProjectionSeries
{
public:
    using Reader = std::shared_ptr<const ImgData>;

    ProjectionSeries() = default;
    ProjectionSeries(std::vector<Reader> projections, int width, int height, Reader i0, Reader bg);

    int imageWidth() const { return width; }
    int imageHeight() const { return height; }
    int count() const { return int(projections.size()); }
    // The reader of projection index; nullptr when index is out of range.
    const ImgData *at(int index) const
    {
        return index >= 0 && index < count() ? projections[size_t(index)].get() : nullptr;
    }
    // The I0 and BG readers; nullptr when there was none.
    const ImgData *i0Image() const { return i0.get(); }
    const ImgData *bgImage() const { return bg.get(); }

private:
    std::vector<Reader> projections;
    int width = 0;
    int height = 0;
    Reader i0;
    Reader bg;
};
