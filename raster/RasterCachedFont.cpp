// The glyph cache of the cached font: each character rendered once by the
// system into an 8-bit mask, kept, and composited from there.
#include "raster/RasterCachedFont.h"

#include "platform/DeviceContext.h"
#include "platform/SystemFont.h"
#include "platform/TextDraw.h"
#include "raster/BitmapLayout.h"
#include "raster/BlendFormulas.h"
#include "raster/BlendMode.h"
#include "raster/Blur.h"
#include "raster/CompositeGlyphMask.h"
#include "raster/Fill.h"
#include "raster/TextScratch.h"
#include "raster/RasterSysBitmap.h"

#include <algorithm>
#include <utility>

namespace {

constexpr size_t MaskStoreGranularity = 65536;
constexpr size_t TableGranularity = 4096 / sizeof(GlyphRecord);

// Glyphs render white on opaque black, so a pixel's red byte is its coverage.
// Returns the scratch, at least width x height unless the allocation failed.
RasterSysBitmap& GlyphScratchAtLeast(int width, int height)
{
    RasterSysBitmap& scratch = GlyphScratchBitmap();
    if (scratch.Width() < width || scratch.Height() < height) {
        scratch.SetSize(std::max(scratch.Width(), width), std::max(scratch.Height(), height));
    }
    if (DeviceContext* dc = scratch.DeviceContext()) {
        dc->SetTextColor(0xFFFFFF);
        dc->SetBkMode(DeviceContext::Opaque);
        dc->SetBkColor(0);
    }
    return scratch;
}

} // namespace

RasterCachedFont::~RasterCachedFont()
{
    if ((flags & FontOwnsHandle) != 0) {
        delete systemFont;
    }
}

void RasterCachedFont::AttachSystemFont(::SystemFont* font, int newFlags)
{
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    if ((flags & FontOwnsHandle) != 0 && font != systemFont) {
        delete systemFont;
    }
    flags = newFlags;
    systemFont = font;
    if (font != nullptr) {
        RasterSysBitmap& scratch = GlyphScratchAtLeast(256, 256);
        if (DeviceContext* dc = scratch.DeviceContext()) {
            ::SystemFont* previous = dc->SelectFont(font);
            lineHeight = font->LineHeight();
            dc->SelectFont(previous);
        } else {
            lineHeight = font->LineHeight();
        }
    }
    ResetCache();
    if ((flags & FontFixedCache) != 0) {
        for (int code = 0; code < 128; ++code) {
            RenderGlyph(code);
        }
    }
}

void RasterCachedFont::ResetCache()
{
    std::fill(std::begin(ascii), std::end(ascii), GlyphRecord{});
    std::vector<GlyphRecord>().swap(extended);
    std::vector<uint8_t>().swap(masks);
}

namespace {

// One field of a shared font, read or replaced under the text lock.
template <class T>
T ExchangeLocked(T& field, T value)
{
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    return std::exchange(field, value);
}

template <class T>
T ReadLocked(const T& field)
{
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    return field;
}

} // namespace

RasterPixel RasterCachedFont::SetForegroundColor(RasterPixel colour) { return ExchangeLocked(textColour, colour); }
RasterPixel RasterCachedFont::SetBackgroundColor(RasterPixel colour) { return ExchangeLocked(backgroundColour, colour); }
RasterPixel RasterCachedFont::SetOutlineColor(RasterPixel colour) { return ExchangeLocked(outlineColour, colour); }
int RasterCachedFont::SetBackgroundMode(int mode) { return ExchangeLocked(backgroundMode, mode); }

void RasterCachedFont::SetBlend(int mode, float newAlpha)
{
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    blendMode = mode;
    alpha = newAlpha;
}

RasterPixel RasterCachedFont::ForegroundColor() const { return ReadLocked(textColour); }
::SystemFont* RasterCachedFont::SystemFont() const { return ReadLocked(systemFont); }
int RasterCachedFont::LineHeight() const { return ReadLocked(lineHeight); }

GlyphRecord* RasterCachedFont::FindRecord(int code)
{
    if (code >= 0 && code < 128) {
        return &ascii[code];
    }
    auto it = std::lower_bound(extended.begin(), extended.end(), code,
                               [](const GlyphRecord& r, int c) { return r.code < c; });
    return it != extended.end() && it->code == code ? &*it : nullptr;
}

const GlyphRecord* RasterCachedFont::FindGlyph(int code) const
{
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    return const_cast<RasterCachedFont*>(this)->FindRecord(code);
}

bool RasterCachedFont::RenderGlyph(int code)
{
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    if (code < 0 || code > 0xFFFF) {
        return false;
    }
    GlyphRecord* record = FindRecord(code);
    bool appended = false;
    if (record == nullptr) {
        if ((flags & FontFixedCache) != 0) {
            return false;
        }
        if (extended.size() == extended.capacity()) {
            extended.reserve(extended.size() + TableGranularity);
        }
        extended.push_back(GlyphRecord{0, 0, 0, 0, code});
        record = &extended.back();
        appended = true;
    }

    int cell = std::max(lineHeight, 1);
    RasterSysBitmap& scratch = GlyphScratchAtLeast(cell, cell);
    DeviceContext* dc = scratch.DeviceContext();
    ::SystemFont* previous = dc != nullptr ? dc->SelectFont(systemFont) : nullptr;
    const char16_t wide[2] = {char16_t(code), 0};
    RasterRect r;
    DrawTextW(dc, wide, 1, &r, TextCalcRect | TextNoPrefix | TextSingleLine);
    int advance = r.right;
    if (code >= 'A' && code <= 'Z') {
        r.right += 2; // room for capitals that reach past their advance
    }
    // Grow the scratch to the measured cell, or clip the cell to what exists,
    // so the mask is never read outside it.
    GlyphScratchAtLeast(r.right, r.bottom);
    r.right = std::min(r.right, scratch.Width());
    r.bottom = std::min(r.bottom, scratch.Height());
    int w = r.right, h = r.bottom;
    if (w >= 1 && h >= 1 && dc != nullptr) {
        ClearBitmap(&scratch);
        DrawTextW(dc, wide, 1, &r, TextNoPrefix | TextSingleLine);
    }
    if (dc != nullptr) {
        dc->SelectFont(previous);
    }

    if (w < 1 || h < 1 || dc == nullptr) {
        *record = GlyphRecord{-1, 0, 0, 0, code};
    } else {
        record->advance = advance;
        if ((flags & FontBlur) != 0) {
            BlurBitmap(w, h);
        }
        size_t start = masks.size();
        size_t need = start + size_t(w) * size_t(h);
        if (need > masks.capacity()) {
            masks.reserve((need + MaskStoreGranularity - 1) / MaskStoreGranularity * MaskStoreGranularity);
        }
        masks.resize(need);
        uint8_t* m = masks.data() + start;
        bool invert = (flags & FontInvert) != 0;
        const BitmapLayout scratchLayout = BitmapLayout::Of(scratch);
        for (int y = 0; y < h; ++y) {
            const RasterPixel* row = scratchLayout.Row(y);
            for (int x = 0; x < w; ++x) {
                int red = int((row[x] >> 16) & 0xFF);
                m[y * w + x] = uint8_t(invert ? 255 - red : red);
            }
        }
        if ((flags & FontVertical) != 0) {
            std::vector<uint8_t> old(m, m + size_t(w) * h);
            bool ccw = (flags & FontCounterClockwise) != 0;
            // The new mask is h wide and w high.
            for (int i = 0; i < w; ++i) {
                for (int j = 0; j < h; ++j) {
                    m[i * h + j] = ccw ? old[size_t(j) * w + (w - 1 - i)] : old[size_t(h - 1 - j) * w + i];
                }
            }
            std::swap(w, h);
        }
        bool marked = (flags & (FontShadow | FontOutline)) != 0;
        if ((flags & FontMonochrome) != 0 || marked) {
            for (size_t i = 0; i < size_t(w) * h; ++i) {
                m[i] = m[i] > 130 ? 255 : 0;
            }
        }
        if (marked) {
            bool shadow = (flags & FontShadow) != 0;
            auto at = [&](int x, int y) { return x >= 0 && x < w && y >= 0 && y < h && m[y * w + x] == 255; };
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    if (m[y * w + x] != 0) {
                        continue;
                    }
                    bool hit = shadow ? (at(x - 1, y) || at(x - 1, y - 1) || at(x, y - 1))
                                      : (at(x, y - 1) || at(x, y + 1) || at(x - 1, y) || at(x + 1, y));
                    if (hit) {
                        m[y * w + x] = 128;
                    }
                }
            }
        }
        record->mask = int(start) + 1;
        record->width = w;
        record->height = h;
    }
    if (appended) {
        std::sort(extended.begin(), extended.end(),
                  [](const GlyphRecord& a, const GlyphRecord& b) { return a.code < b.code; });
    }
    return true;
}

bool RasterCachedFont::DrawGlyph(RasterBitmap* bitmap, int code, int x, int y, const RasterRect& clip)
{
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    const GlyphRecord* g = FindRecord(code);
    return bitmap != nullptr && g != nullptr && DrawMask(*bitmap, *g, x, y, clip);
}

bool RasterCachedFont::DrawMask(RasterBitmap& bitmap, const GlyphRecord& g, int x, int y, const RasterRect& clip)
{
    if (g.mask <= 0) {
        return false;
    }
    if (x + g.width <= clip.left || x >= clip.right || y + g.height <= clip.top || y >= clip.bottom) {
        return false;
    }
    const uint8_t* mask = MaskOf(g);
    int w = g.width, h = g.height;
    if (x < clip.left) {
        mask += clip.left - x;
        w -= clip.left - x;
        x = clip.left;
    }
    if (y < clip.top) {
        mask += ptrdiff_t(clip.top - y) * g.width;
        h -= clip.top - y;
        y = clip.top;
    }
    if (x + w >= clip.right) {
        w = clip.right - x;
    }
    if (y + h >= clip.bottom) {
        h = clip.bottom - y;
    }
    if (backgroundMode == DeviceContext::Opaque) {
        FillRectangle(&bitmap, x, y, w, h, backgroundColour, alpha, blendMode & ~BlendUseSourceAlpha);
    }
    int op = blendMode & 0xFF;
    if (op > BlendModeHsvAdjust) {
        return true;
    }
    int A = WeightFromAlpha(alpha);
    bool marked = (flags & (FontShadow | FontOutline)) != 0;
    bool mono = !marked && (flags & FontMonochrome) != 0;
    bool fast = alpha == 1.0f && op == BlendModeCopy;
    if (!fast && (A == 0 || (op == BlendModeCopy && A < 0))) {
        return true;
    }
    int kind = marked ? 2 : mono ? 1 : 0;
    CompositeGlyphMask(op, bitmap, x, y, w, h, mask, g.width, kind, fast, A, textColour, outlineColour);
    return true;
}

const GlyphRecord* RasterCachedFont::GlyphWithMask(int code)
{
    const GlyphRecord* g = FindRecord(code);
    if (g == nullptr || g->mask == 0) {
        if (!RenderGlyph(code)) {
            return nullptr;
        }
        g = FindRecord(code);
    }
    return g != nullptr && g->mask > 0 ? g : nullptr;
}
