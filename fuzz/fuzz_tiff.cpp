// TIFF reader (libtiff underneath): layout checks, strips and tiles, rows, columns and value range.
#include "FuzzInput.h"
#include "ImgDataTiff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ImgDataTiff reader;
    reader.setFileName(fuzzInputFile(data, size));
    if (isTIFFFile(reader.imageFileName()) && reader.open())
        readOpenedImage(reader);
    return 0;
}
