// TIFF reader (libtiff underneath): layout checks, strips and tiles, rows, columns and value range.
#include "FuzzInput.h"
#include "ImgDataTiff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ImgDataTiff reader;
    readImageInput(reader, isTIFFFile, data, size);
    return 0;
}
