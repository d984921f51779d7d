// libFuzzer entry: any bytes through the memory decoder into a new bitmap,
// and the same bytes with repaired CRCs into a reused destination; both
// must return cleanly.
#include "raster/PngDecoder.h"
#include "raster/RasterMemBitmap.h"

#include <zlib.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Rewrites every chunk's CRC so mutations reach the decoder's later stages
// instead of all dying at libpng's CRC check.
std::vector<uint8_t> WithFixedCrcs(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> out(data, data + size);
    size_t at = 8;
    while (at + 12 <= out.size()) {
        uint32_t length = uint32_t(out[at]) << 24 | uint32_t(out[at + 1]) << 16 | uint32_t(out[at + 2]) << 8 | out[at + 3];
        if (length > out.size() - at - 12) {
            break;
        }
        uint32_t crc = uint32_t(crc32(0, &out[at + 4], uInt(length + 4)));
        size_t c = at + 8 + length;
        out[c] = uint8_t(crc >> 24);
        out[c + 1] = uint8_t(crc >> 16);
        out[c + 2] = uint8_t(crc >> 8);
        out[c + 3] = uint8_t(crc);
        at = c + 4;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > size_t(INT_MAX)) {
        return 0;
    }
    // Huge declared sizes only measure the allocator (a corrupt header may ask
    // for gigabytes) and slow the search to a few runs a second.
    if (size >= 24) {
        auto be32 = [data](size_t at) {
            return uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 | uint32_t(data[at + 2]) << 8 | data[at + 3];
        };
        if (uint64_t(be32(16)) * be32(20) > (uint64_t(1) << 22)) {
            return 0;
        }
    }
    delete DecodePngMemory(data, int(size), nullptr);
    std::vector<uint8_t> fixed = WithFixedCrcs(data, size);
    static RasterMemBitmap reused(4, 4);
    DecodePngMemory(fixed.data(), int(fixed.size()), &reused);
    return 0;
}
