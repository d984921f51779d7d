#pragma once

// The standalone program's editor painted without a display (as
// tools/render_editor paints it), and what an X11 window shows, for
// comparing the two pixel for pixel. Test thread only.

// Before Xlib, whose macros (None, Bool) would break gtest's headers.
#include <gtest/gtest.h>

#include "effect/DistortionEffect.h"
#include "effect/EditorLayout.h"
#include "gui/IGraphicsHeadless.h"
#include "raster/RasterMemBitmap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <string>

class ReferenceEditor {
public:
    ReferenceEditor() : effect(nullptr, nullptr, false)
    {
        auto editor = std::make_unique<IGraphicsHeadless>(&effect, kEditorWidth, kEditorHeight, kEditorFrameRate);
        graphics = editor.get();
        BuildDistortionEditor(*graphics, &effect);
        effect.AttachEditor(std::move(editor));
        graphics->OpenHeadless();
        Paint();
    }
    // Two ticks, so pushed values are drawn as the window draws them.
    void Paint()
    {
        for (int tick = 0; tick < 2; ++tick) {
            IRectangle area;
            if (graphics->GatherDirtyArea(area)) {
                graphics->PaintDirtyControls(area);
            }
        }
    }
    // A value from the host, as the plug-in base pushes one.
    void SetPlain(int paramIndex, double value)
    {
        effect.ParameterAt(paramIndex)->value = value;
        graphics->ShowParameterValue(paramIndex, value, false);
        Paint();
    }
    float Plain(int paramIndex) { return static_cast<float>(effect.ParameterAt(paramIndex)->value); }
    const RasterBitmap& Screen() { return graphics->Screen(); }

    DistortionEffect effect;
    IGraphicsHeadless* graphics = nullptr;
};

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
