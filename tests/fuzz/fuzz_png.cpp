// libFuzzer entry: any bytes through the memory decoder, both into a new
// bitmap and into a reused destination, must return cleanly.
#include "raster/PngDecoder.h"
#include "raster/RasterMemBitmap.h"

#include <climits>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > size_t(INT_MAX)) {
        return 0;
    }
    delete DecodePngMemory(data, int(size), nullptr);
    static RasterMemBitmap reused(4, 4);
    DecodePngMemory(data, int(size), &reused);
    return 0;
}
