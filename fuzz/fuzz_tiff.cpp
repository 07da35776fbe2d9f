// TIFF reader (libtiff underneath): layout checks, strips and tiles, rows, columns and value range, in memory and streamed.
#include "FuzzInput.h"
#include "ImgDataTiff.h"
#include "RowCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ImgDataTiff reader;
    readImageInput(reader, isTIFFFile, data, size);
    // The same file streamed: blocks of 4 rows through a cache of 1 MB.
    ImgDataTiff streamed;
    streamed.streamThrough(std::make_shared<RowCache>(qint64(1) << 20), 4);
    readImageInput(streamed, isTIFFFile, data, size);
    return 0;
}
