// Random text, lengths, rectangles and format bits through RenderText on a
// small bitmap, on the glyph path and the direct path, drawing and measuring.
#include "platform/SystemFont.h"
#include "platform/TextDraw.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Fonts {
    RasterCachedFont glyph, direct, vertical;
    Fonts()
    {
        glyph.AttachSystemFont(SystemFont::Create("DejaVu Sans", 11, 400, false, 0, 4).release(), 0x200);
        direct.AttachSystemFont(SystemFont::Create("DejaVu Sans", 11, 400, false, 0, 4).release(), 0x600);
        vertical.AttachSystemFont(SystemFont::Create("DejaVu Sans", 9, 700, true, 0, 3).release(), 0x200 | 0x001);
        glyph.SetForegroundColor(0x80FFFFFF);
        direct.SetForegroundColor(0xFFFFFFFF);
        vertical.SetForegroundColor(0xFFFFFFFF);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Fonts fonts;
    static RasterMemBitmap mem(37, 23);
    static RasterSysBitmap sys(29, 31);
    if (size < 12) {
        return 0;
    }
    auto s8 = [&](size_t i) { return int(int8_t(data[i])); };
    RasterRect rect{s8(0), s8(1), s8(2), s8(3)};
    int format = int(uint32_t(data[4]) | (uint32_t(data[5]) << 8) | (uint32_t(data[6] & 0xC0) << 24));
    int length = data[7] == 0xFF ? -1 : data[7];
    int choice = data[8];
    fonts.glyph.SetBackgroundMode(1 + (data[9] & 1));
    fonts.glyph.SetBlend(data[9] >> 1 & 7, float(data[10]) / 128.0f);
    fonts.vertical.SetBlend(0, 1.0f);
    std::vector<char> text(data + 11, data + size);
    text.push_back('\0');
    RasterCachedFont& font = (choice & 3) == 0 ? fonts.direct : (choice & 3) == 1 ? fonts.vertical : fonts.glyph;
    RasterBitmap* bitmap = (choice & 4) != 0 ? static_cast<RasterBitmap*>(&sys)
                           : (choice & 8) != 0 ? nullptr
                                               : static_cast<RasterBitmap*>(&mem);
    font.RenderText(bitmap, text.data(), length, &rect, format);
    return 0;
}

// Font configuration keeps unreachable caches for the life of the process;
// every other leak is reported.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
