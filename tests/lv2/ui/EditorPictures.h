#pragma once

// What an X11 window shows, for comparing it pixel for pixel with the
// standalone program's editor (ReferenceEditor). Test thread only.

// Before Xlib, whose macros (None, Bool) would break gtest's headers.
#include <gtest/gtest.h>

#include "raster/RasterMemBitmap.h"
#include "tests/support/ReferenceEditor.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <memory>
#include <string>

// The position of a channel mask's lowest bit.
inline int ShiftOfMask(unsigned long mask)
{
    int shift = 0;
    while (shift < 63 && ((mask >> shift) & 1) == 0) {
        ++shift;
    }
    return shift;
}

// A channel of an X pixel, scaled to 8 bits.
inline uint32_t ChannelOfPixel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0) {
        return 0;
    }
    const int shift = ShiftOfMask(mask);
    const unsigned long top = mask >> shift;
    return static_cast<uint32_t>((((pixel & mask) >> shift) * 255 + top / 2) / top);
}

// What a window of these channel masks can show of an 8-bit channel: the
// nearest of its levels, scaled back to 8 bits.
inline uint32_t ChannelShownThrough(uint32_t channel, unsigned long mask)
{
    const int shift = ShiftOfMask(mask);
    return mask == 0 ? 0 : ChannelOfPixel(((channel * (mask >> shift) + 127) / 255) << shift, mask);
}

// The window's colours as 0x00RRGGBB, or an empty bitmap when it cannot be read.
inline std::unique_ptr<RasterMemBitmap> GrabWindow(Display* display, Window window, int width, int height)
{
    auto out = std::make_unique<RasterMemBitmap>(0, 0);
    XSync(display, False);
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr) {
        return out;
    }
    out->SetSize(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            out->Pixels()[y * out->Stride() + x] = ChannelOfPixel(p, image->red_mask) << 16 |
                                                   ChannelOfPixel(p, image->green_mask) << 8 |
                                                   ChannelOfPixel(p, image->blue_mask);
        }
    }
    XDestroyImage(image);
    return out;
}

// The expected picture as a window of the display's default pixel format
// can show it (itself at 24 bits; fewer levels per channel at 16).
inline std::unique_ptr<RasterMemBitmap> AsShownOn(Display* display, const RasterBitmap& expected)
{
    const Visual* visual = DefaultVisual(display, DefaultScreen(display));
    auto out = std::make_unique<RasterMemBitmap>(expected.Width(), expected.Height());
    for (int y = 0; y < expected.Height(); ++y) {
        for (int x = 0; x < expected.Width(); ++x) {
            const RasterPixel p = expected.Pixels()[y * expected.Stride() + x];
            out->Pixels()[y * out->Stride() + x] = ChannelShownThrough((p >> 16) & 0xFF, visual->red_mask) << 16 |
                                                   ChannelShownThrough((p >> 8) & 0xFF, visual->green_mask) << 8 |
                                                   ChannelShownThrough(p & 0xFF, visual->blue_mask);
        }
    }
    return out;
}

// "" when the colours of the two agree everywhere (alpha is not shown),
// else where they first differ and how many pixels do.
inline std::string CompareColours(const RasterBitmap& shown, const RasterBitmap& expected)
{
    if (shown.Width() != expected.Width() || shown.Height() != expected.Height()) {
        return "sizes differ: " + std::to_string(shown.Width()) + "x" + std::to_string(shown.Height());
    }
    long count = 0;
    std::string first;
    for (int y = 0; y < shown.Height(); ++y) {
        for (int x = 0; x < shown.Width(); ++x) {
            const RasterPixel a = shown.Pixels()[y * shown.Stride() + x] & 0xFFFFFFu;
            const RasterPixel b = expected.Pixels()[y * expected.Stride() + x] & 0xFFFFFFu;
            if (a != b) {
                if (count++ == 0) {
                    char text[96];
                    std::snprintf(text, sizeof text, "first at %d,%d: %06x instead of %06x", x, y, a, b);
                    first = text;
                }
            }
        }
    }
    return count == 0 ? "" : first + " (" + std::to_string(count) + " pixels)";
}

// "" when the window shows the expected picture, as CompareColours.
inline std::string CompareWindow(Display* display, Window window, const RasterBitmap& expected)
{
    auto shown = GrabWindow(display, window, expected.Width(), expected.Height());
    return CompareColours(*shown, *AsShownOn(display, expected));
}
