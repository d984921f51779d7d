#include "raster/RasterBitmap.h"

RasterBitmap::~RasterBitmap() = default;

bool RasterBitmap::IsBottomUp() const { return false; }

::DeviceContext* RasterBitmap::DeviceContext() { return nullptr; }

void* RasterBitmap::QueryExtension(int, void*) { return nullptr; }
