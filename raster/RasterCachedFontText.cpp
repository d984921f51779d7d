// The text walk of the cached font: laying text out glyph by glyph, measuring
// it, and drawing it from the cached masks or, for plain text, through the
// system's own text drawing.
#include "raster/RasterCachedFont.h"

#include "platform/DeviceContext.h"
#include "platform/SystemFont.h"
#include "platform/TextDraw.h"
#include "raster/Blit.h"
#include "raster/BlendMode.h"
#include "raster/DecodeUtf8.h"
#include "raster/RasterSysBitmap.h"
#include "raster/TextScratch.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

namespace {

uint32_t GdiColour(RasterPixel c) { return ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16); }

// A bitmap of at most this many pixels is kept for the next direct drawing;
// a larger one is given back at once.
constexpr int64_t DirectScratchKeptPixels = 256 * 256;

} // namespace

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
