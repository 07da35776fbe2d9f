// HDF5 series reader (libhdf5 underneath): layouts, ranks, types, bounds, filters, angles,
// and the rows and columns of the frames it makes. As in the program, the file's structure is
// first read in a child process: a crash of libhdf5 there refuses the file (the child's
// sanitizer report still shows in the log), and only what follows runs in this process.
#include "FuzzInput.h"
#include "Hdf5Series.h"
#include "RowCache.h"
#include "ImgData.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Within the fuzzer's memory limit, whatever this machine has.
    static const bool budgetSet = (setMemoryBudget(qint64(1) << 30), true);
    Q_UNUSED(budgetSet);
    const QString fileName = fuzzInputFile(data, size);
    Hdf5Series::Contents contents;
    if (!Hdf5Series::isHdf5File(fileName) || !Hdf5Series::read(fileName, contents))
        return 0;
    std::vector<double> row(size_t(contents.width)), column(size_t(contents.height));
    for (const ImgData *image : {contents.projections.front().get(), contents.projections.back().get(), contents.i0.get(), contents.bg.get()})
        if (image) {
            image->line(contents.height - 1, row.data());
            // A streamed column reads every block of rows of its frame: only of small frames.
            if (!contents.streamed || qint64(contents.width) * contents.height <= (qint64(1) << 22))
                image->column(contents.width - 1, column.data());
        }
    return 0;
}
