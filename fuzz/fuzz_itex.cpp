// ITEX reader: header, comment items, pixel block, rows, columns and value range, in memory and streamed.
#include "FuzzInput.h"
#include "ImgDataITEX.h"
#include "RowCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ImgDataITEX reader;
    readImageInput(reader, isITEXFile, data, size);
    // The same file streamed: blocks of 4 rows through a cache of 1 MB.
    ImgDataITEX streamed;
    streamed.streamThrough(std::make_shared<RowCache>(qint64(1) << 20), 4);
    readImageInput(streamed, isITEXFile, data, size);
    return 0;
}
