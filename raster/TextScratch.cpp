#include "raster/TextScratch.h"

#include "raster/RasterSysBitmap.h"

std::recursive_mutex& TextLock()
{
    static std::recursive_mutex lock;
    return lock;
}

RasterSysBitmap& GlyphScratchBitmap()
{
    static RasterSysBitmap scratch;
    return scratch;
}

RasterSysBitmap& DirectScratchBitmap()
{
    static RasterSysBitmap scratch;
    return scratch;
}
