// ITEX reader: header, comment items, pixel block, rows, columns and value range.
#include "FuzzInput.h"
#include "ImgDataITEX.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ImgDataITEX reader;
    reader.setFileName(fuzzInputFile(data, size));
    if (isITEXFile(reader.imageFileName()) && reader.open())
        readOpenedImage(reader);
    return 0;
}
