#include "raster/RasterCachedFont.h"

#include "platform/DeviceContext.h"
#include "platform/SystemFont.h"
#include "platform/TextDraw.h"
#include "raster/BitmapLayout.h"
#include "raster/BlendFormulas.h"
#include "raster/BlendMode.h"
#include "raster/BlitRows.h"
#include "raster/Blit.h"
#include "raster/Blur.h"
#include "raster/Fill.h"
#include "raster/TextScratch.h"
#include "raster/RasterSysBitmap.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
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

uint32_t GdiColour(RasterPixel c) { return ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16); }

bool IsContinuation(unsigned char b) { return b >= 0x80 && b <= 0xC0; }

// One character of UTF-8 from at most avail bytes (the NUL also ends them).
int DecodeCharacter(const unsigned char* p, int avail, int& used)
{
    unsigned b0 = p[0];
    auto cont = [&](int i) { return i < avail && IsContinuation(p[i]); };
    if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
        used = 2;
        return int(((b0 & 0x1F) << 6) | (p[1] & 0x3F));
    }
    if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
        used = 3;
        return int(((b0 << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu)) & 0xFFFF);
    }
    if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
        used = 4;
        return 0x20; // outside the 16-bit range
    }
    used = 1;
    return int(b0);
}

// Strict UTF-8 to UTF-16 of n bytes; out may be null to count. -1 on any
// malformed, overlong, surrogate or out-of-range sequence.
int Utf8ToUtf16(const unsigned char* s, int n, char16_t* out)
{
    int count = 0;
    for (int i = 0; i < n;) {
        unsigned b0 = s[i];
        unsigned code;
        int extra;
        if (b0 < 0x80) {
            code = b0, extra = 0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            code = b0 & 0x1F, extra = 1;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            code = b0 & 0x0F, extra = 2;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            code = b0 & 0x07, extra = 3;
        } else {
            return -1;
        }
        if (extra > 0 && i + extra >= n) {
            return -1;
        }
        for (int e = 1; e <= extra; ++e) {
            unsigned b = s[i + e];
            if ((b & 0xC0) != 0x80) {
                return -1;
            }
            code = (code << 6) | (b & 0x3F);
        }
        if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
            (extra == 3 && (code < 0x10000 || code > 0x10FFFF))) {
            return -1;
        }
        if (code >= 0x10000) {
            if (out != nullptr) {
                out[count] = char16_t(0xD800 + ((code - 0x10000) >> 10));
                out[count + 1] = char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
            }
            count += 2;
        } else {
            if (out != nullptr) {
                out[count] = char16_t(code);
            }
            ++count;
        }
        i += extra + 1;
    }
    return count;
}

// A well-formed multi-byte lead with its continuation bytes, up to the NUL.
bool HasMultiByteSequence(const unsigned char* s)
{
    for (; *s != 0; ++s) {
        if (*s >= 0xC2 && *s <= 0xDF && s[1] >= 0x80 && s[1] <= 0xBF) {
            return true;
        }
        if (*s >= 0xE0 && *s <= 0xF4 && s[1] >= 0x80 && s[1] <= 0xBF && s[2] >= 0x80 && s[2] <= 0xBF) {
            return true;
        }
    }
    return false;
}

template <int op>
inline RasterPixel Composite(RasterPixel d, RasterPixel s, int k)
{
    int sb = ChannelOf(s, 0), sg = ChannelOf(s, 1), sr = ChannelOf(s, 2);
    int db = ChannelOf(d, 0), dg = ChannelOf(d, 1), dr = ChannelOf(d, 2), da = ChannelOf(d, 3);
    switch (op) {
    case BlendModeCopy:
        if (k == 256) {
            return (s & 0x00FFFFFFu) | 0xFF000000u;
        }
        return PackChannels(MixToward(sb, db, k), MixToward(sg, dg, k), MixToward(sr, dr, k), MixToward(255, da, k));
    case BlendModeAdd:
        return PackChannels(AddScaled(sb, db, k), AddScaled(sg, dg, k), AddScaled(sr, dr, k), AddScaled(255, da, k));
    case BlendModeDodge:
        return PackChannels(DodgeDivide(sb, db, k), DodgeDivide(sg, dg, k), DodgeDivide(sr, dr, k),
                            DodgeDivide(255, da, k));
    case BlendModeMultiply:
        return PackChannels(MultiplyScaled(sb, db, k), MultiplyScaled(sg, dg, k), MultiplyScaled(sr, dr, k),
                            MultiplyScaled(255, da, k));
    case BlendModeOverlay:
        return PackChannels(OverlayQuadratic(sb, db, k), OverlayQuadratic(sg, dg, k), OverlayQuadratic(sr, dr, k),
                            OverlayQuadratic(255, da, k));
    default:
        return HsvAdjust(d, sr, sg, sb, k, 255);
    }
}

// The mask loop of one blend operation, so the choice is made once per glyph.
// kind: 0 anti-aliased, 1 monochrome, 2 shadow or outline. fast: alpha
// exactly 1.0 in copy mode (monochrome and marked masks store the colours).
using MaskLoop = void (*)(RasterBitmap& bitmap, int x, int y, int w, int h, const uint8_t* mask, int stride,
                          int kind, bool fast, int A, RasterPixel text, RasterPixel outline);

template <int op>
void CompositeMask(RasterBitmap& bitmap, int x, int y, int w, int h, const uint8_t* mask, int stride, int kind,
                   bool fast, int A, RasterPixel text, RasterPixel outline)
{
    int flat = std::min(A, 256);
    // Row addresses once per glyph: the bitmap's properties are virtual calls.
    const BitmapLayout layout = BitmapLayout::Of(bitmap);
    RasterPixel* first = layout.Row(y) + x;
    const ptrdiff_t step = layout.Step();
    if (op == BlendModeCopy && kind == 0 && A == 256) {
        // Plain text at full alpha, the editor's every label: vector rows.
        CoverageCopyRows(first, step, text, mask, stride, w, h);
        return;
    }
    for (int row = 0; row < h; ++row) {
        RasterPixel* d = first + row * step;
        const uint8_t* m = mask + ptrdiff_t(row) * stride;
        for (int col = 0; col < w; ++col) {
            // Most of a glyph cell is empty: step over eight empty bytes at once.
            uint64_t eight;
            while (col + 8 <= w && (std::memcpy(&eight, m + col, 8), eight == 0)) {
                col += 8;
            }
            if (col >= w) {
                break;
            }
            int v = m[col];
            if (v == 0) {
                continue;
            }
            if (kind == 2) {
                RasterPixel colour = v == 255 ? text : outline;
                d[col] = fast ? colour : Composite<op>(d[col], colour, flat);
            } else if (kind == 1) {
                d[col] = fast ? text : Composite<op>(d[col], text, flat);
            } else {
                int k = A == 256 ? v + 1 : std::min(A * v / 256, 256);
                d[col] = Composite<op>(d[col], text, k);
            }
        }
    }
}

// By the low byte of the blend mode word.
const MaskLoop maskLoops[6] = {CompositeMask<BlendModeCopy>,     CompositeMask<BlendModeAdd>,
                               CompositeMask<BlendModeDodge>,    CompositeMask<BlendModeMultiply>,
                               CompositeMask<BlendModeOverlay>,  CompositeMask<BlendModeHsvAdjust>};

// A bitmap of at most this many pixels is kept for the next direct drawing;
// a larger one is given back at once.
constexpr int64_t DirectScratchKeptPixels = 256 * 256;

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
    maskLoops[op](bitmap, x, y, w, h, mask, g.width, kind, fast, A, textColour, outlineColour);
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

template <class Visit>
void RasterCachedFont::WalkText(const char* text, int length, int format, int x0, int y0, bool upward, Visit&& visit)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const bool vertical = (flags & FontVertical) != 0;
    const int lineAdvance = lineHeight + extraLineSpacing;
    int remaining = length < 0 ? INT_MAX : length;
    int x = x0, y = y0;
    while (remaining > 0 && *p != 0) {
        int used;
        int code = DecodeCharacter(p, remaining, used);
        p += used;
        remaining -= used;
        if (code == 13) {
            continue;
        }
        if (code == 10) {
            if ((format & TextSingleLine) != 0) {
                code = ' ';
            } else {
                if (vertical) {
                    x += lineAdvance, y = y0;
                } else {
                    x = x0, y += lineAdvance;
                }
                continue;
            }
        }
        const GlyphRecord* g = GlyphWithMask(code);
        if (g == nullptr) {
            continue;
        }
        visit(*g, x, y);
        if (!vertical) {
            x += g->advance;
        } else {
            y += upward ? -g->advance : g->advance;
        }
    }
}

int RasterCachedFont::Measure(const char* text, int length, int format, int& maxX, int& maxY)
{
    const bool vertical = (flags & FontVertical) != 0;
    maxX = maxY = 0;
    WalkText(text, length, format, 0, 0, false, [&](const GlyphRecord& g, int x, int y) {
        if (vertical) {
            maxX = std::max(maxX, x + g.width);
            maxY = std::max(maxY, y + g.advance);
        } else {
            maxX = std::max(maxX, x + g.advance);
            maxY = std::max(maxY, y + g.height);
        }
    });
    return vertical ? maxX : maxY;
}

int RasterCachedFont::RenderText(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect, int format)
{
    if (text == nullptr || rect == nullptr || (bitmap == nullptr && (format & TextCalcRect) == 0)) {
        return 0;
    }
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    bool neverDirect = (format & TextNeverDirect) != 0;
    format &= ~TextNeverDirect;
    bool direct = (flags & FontDirectDrawing) != 0 && systemFont != nullptr && !neverDirect &&
                  (format & TextUseColourAlpha) == 0 && (flags & (FontFixedCache | 0x1F3)) == 0 &&
                  (extraLineSpacing == 0 || (format & TextSingleLine) != 0);
    return direct ? RenderDirect(bitmap, text, length, rect, format) : RenderGlyphs(bitmap, text, length, rect, format);
}

int RasterCachedFont::RenderGlyphs(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect, int format)
{
    if ((format & TextCalcRect) != 0) {
        int maxX, maxY;
        int result = Measure(text, length, format, maxX, maxY);
        rect->right = rect->left + maxX;
        rect->bottom = rect->top + maxY;
        return result;
    }
    float saved = alpha;
    if ((format & TextUseColourAlpha) != 0) {
        alpha = alpha * float((textColour >> 24) & 0xFF) / 255.0f;
    }
    if (alpha == 0.0f || bitmap->Pixels() == nullptr) {
        alpha = saved;
        return 0;
    }
    const bool vertical = (flags & FontVertical) != 0;
    const bool ccw = vertical && (flags & FontCounterClockwise) != 0;
    int x0 = rect->left, y0 = rect->top;
    if ((format & 0x00F) != 0 || ccw) {
        int tw, th;
        Measure(text, length, format, tw, th);
        if ((format & TextCenter) != 0) {
            x0 = rect->left + (rect->right - tw - rect->left) / 2;
        } else if ((format & TextRight) != 0) {
            x0 = rect->right - tw;
        }
        if ((format & TextVCenter) != 0) {
            y0 = rect->top + (rect->bottom - th - rect->top) / 2;
        } else if ((format & TextBottom) != 0) {
            y0 = rect->bottom - th;
        }
        if (ccw) {
            y0 += th;
        }
    }
    RasterRect clip{0, 0, bitmap->Width(), bitmap->Height()};
    if ((format & TextNoClip) == 0) {
        clip.left = std::max(rect->left, 0);
        clip.top = std::max(rect->top, 0);
        clip.right = std::min(rect->right, bitmap->Width());
        clip.bottom = std::min(rect->bottom, bitmap->Height());
    }
    if (clip.left >= clip.right || clip.top >= clip.bottom) {
        alpha = saved;
        return 0;
    }
    bool drawn = false;
    int bottom = y0;
    // Counter-clockwise text is drawn upward: each glyph hangs above the pen.
    WalkText(text, length, format, x0, y0, ccw, [&](const GlyphRecord& g, int x, int y) {
        int top = ccw ? y - g.height : y;
        if (DrawMask(*bitmap, g, x, top, clip) && !vertical) {
            bottom = drawn ? std::max(bottom, top + g.height) : top + g.height;
            drawn = true;
        }
    });
    alpha = saved;
    return vertical || !drawn ? 0 : bottom - y0;
}

int RasterCachedFont::RenderDirect(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect, int format)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    char16_t local[1024];
    std::unique_ptr<char16_t[]> heap;
    const char16_t* wide = nullptr;
    if (HasMultiByteSequence(bytes)) {
        int n = int(length < 0 ? std::strlen(text) : strnlen(text, size_t(length)));
        int converted = Utf8ToUtf16(bytes, n, nullptr);
        if (converted >= 0) {
            char16_t* buffer = local;
            if (converted >= 1000) {
                heap.reset(new (std::nothrow) char16_t[size_t(converted) + 32]);
                buffer = heap.get();
            }
            if (buffer != nullptr) {
                Utf8ToUtf16(bytes, n, buffer);
                buffer[converted] = 0;
                wide = buffer;
            }
        }
    }
    auto draw = [&](DeviceContext* dc, RasterRect* r, int f) {
        return wide != nullptr ? DrawTextW(dc, wide, -1, r, f) : DrawTextA(dc, text, length, r, f);
    };
    auto useColours = [&](DeviceContext* dc) {
        dc->SetTextColor(GdiColour(textColour));
        dc->SetBkMode(backgroundMode);
        if (backgroundMode == DeviceContext::Opaque) {
            dc->SetBkColor(GdiColour(backgroundColour));
        }
    };

    DeviceContext* dc = bitmap != nullptr ? bitmap->DeviceContext() : nullptr;
    if (dc != nullptr) {
        // The bitmap's own context: draw or measure straight into it.
        ::SystemFont* previous = dc->SelectFont(systemFont);
        RasterRect drawRect = *rect;
        useColours(dc);
        int result = draw(dc, &drawRect, format | TextNoPrefix);
        if ((format & TextCalcRect) != 0) {
            *rect = drawRect;
        }
        dc->SelectFont(previous);
        return result;
    }

    // Through the scratch bitmap. Measuring needs a context, not the pixels
    // of the rectangle: one pixel will do. Drawing sizes the scratch to the
    // text's cell alone, and a large scratch is given back afterwards, so
    // odd rectangles cannot leave a huge bitmap behind.
    RasterSysBitmap& scratch = DirectScratchBitmap();
    if (scratch.Pixels() == nullptr) {
        scratch.SetSize(1, 1);
    }
    dc = scratch.DeviceContext();
    if (dc == nullptr || scratch.Pixels() == nullptr) {
        return 0;
    }
    ::SystemFont* previous = dc->SelectFont(systemFont);
    RasterRect measured;
    int result = draw(dc, &measured, (format & ~0x00F) | TextCalcRect | TextNoPrefix);
    dc->SelectFont(previous);
    int tw = measured.right, th = measured.bottom;
    if ((format & TextCalcRect) != 0) {
        rect->right = rect->left + tw;
        rect->bottom = rect->top + th;
        return result;
    }
    if (bitmap == nullptr) {
        return 0;
    }
    int cellW = std::max(rect->right - rect->left, 1);
    int cellH = std::max(rect->bottom - rect->top, 1);
    int xOffset = 0, yOffset = 0;
    if ((format & TextNoClip) != 0) {
        cellW = tw, cellH = th;
    } else {
        if (tw < cellW) {
            xOffset = (format & TextRight) != 0 ? cellW - tw : (format & TextCenter) != 0 ? (cellW - tw) / 2 : 0;
            cellW = tw;
        }
        if (th < cellH) {
            yOffset = (format & TextBottom) != 0 ? cellH - th : (format & TextVCenter) != 0 ? (cellH - th) / 2 : 0;
            cellH = th;
        }
    }
    if (cellW < 1 || cellH < 1) {
        return result;
    }
    if (scratch.Width() < cellW || scratch.Height() < cellH) {
        scratch.SetSize(cellW, cellH);
    }
    dc = scratch.DeviceContext();
    if (dc == nullptr || scratch.Pixels() == nullptr) {
        scratch.SetSize(0, 0);
        return 0;
    }
    cellW = std::min(cellW, scratch.Width());
    cellH = std::min(cellH, scratch.Height());
    RasterRect under{rect->left + xOffset, rect->top + yOffset, rect->left + xOffset + cellW,
                     rect->top + yOffset + cellH};
    BlitBitmap(&scratch, bitmap, 0, 0, &under, 1.0f, BlendModeCopy);
    RasterRect drawRect{0, 0, cellW, cellH};
    previous = dc->SelectFont(systemFont);
    useColours(dc);
    result = draw(dc, &drawRect, format | TextNoPrefix);
    dc->SelectFont(previous);
    BlitBitmap(bitmap, &scratch, rect->left + xOffset, rect->top + yOffset, &drawRect, alpha, BlendModeCopy);
    if (int64_t(scratch.Stride()) * scratch.Height() > DirectScratchKeptPixels) {
        scratch.SetSize(0, 0);
    }
    return result;
}
