#pragma once

// What an X11 window shows, for comparing it pixel for pixel with the
// standalone program's editor (ReferenceEditor). Test thread only.

// Before Xlib, whose macros (None, Bool) would break gtest's headers.
#include <gtest/gtest.h>

#include "raster/RasterMemBitmap.h"
#include "tests/support/ReferenceEditor.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <string>

// The window's pixels (0x00RRGGBB), or an empty bitmap when it cannot be read.
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
            out->Pixels()[y * out->Stride() + x] = static_cast<RasterPixel>(XGetPixel(image, x, y) & 0xFFFFFFu);
        }
    }
    XDestroyImage(image);
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
