// ITEX reader: header, comment items, pixel block, rows, columns and value range.
#include "FuzzInput.h"
#include "ImgDataITEX.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ImgDataITEX reader;
    readImageInput(reader, isITEXFile, data, size);
    return 0;
}
