#include "raster/GlyphScratch.h"

#include "raster/RasterSysBitmap.h"

RasterSysBitmap& GlyphScratchBitmap()
{
    static RasterSysBitmap scratch;
    return scratch;
}
