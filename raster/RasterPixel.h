#pragma once

#include <cstdint>

// One pixel, 0xAARRGGBB with straight alpha; in memory the bytes are blue,
// green, red, alpha (little-endian), the layout cairo's ARGB32 surfaces read.
using RasterPixel = uint32_t;
