#pragma once

#include <cstdint>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

class SystemFont;

// The drawing context of a system bitmap: a cairo context on an image surface
// that wraps the bitmap's own pixels, plus the text state the text services
// read (selected font, text colour, background mode and colour).
// UI thread only; not shared between threads.
class DeviceContext {
public:
    // Background modes, with the values the font code stores.
    static constexpr int Transparent = 1;
    static constexpr int Opaque = 2;

    DeviceContext();
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // Wraps pixels (B, G, R, A bytes; stride in pixels) in a new surface and
    // context; null pixels or a zero size detach. Returns whether a context exists.
    bool Attach(uint32_t* pixels, int width, int height, int stridePixels);
    void Detach();

    cairo_t* Cairo() const { return cairo; }
    cairo_surface_t* Surface() const { return surface; }
    int Width() const { return width; }
    int Height() const { return height; }

    // Returns the previously selected font (may be null).
    SystemFont* SelectFont(SystemFont* font);
    SystemFont* SelectedFont() const { return selectedFont; }

    // Colours are GDI-style 0x00BBGGRR values; each setter returns the previous value.
    uint32_t SetTextColor(uint32_t colour);
    uint32_t TextColor() const { return textColour; }
    int SetBkMode(int mode);
    int BkMode() const { return backgroundMode; }
    uint32_t SetBkColor(uint32_t colour);
    uint32_t BkColor() const { return backgroundColour; }

private:
    cairo_surface_t* surface = nullptr;
    cairo_t* cairo = nullptr;
    int width = 0;
    int height = 0;
    SystemFont* selectedFont = nullptr;
    uint32_t textColour = 0;            // 0x00BBGGRR
    int backgroundMode = Opaque;        // as a fresh GDI memory context
    uint32_t backgroundColour = 0xFFFFFF; // 0x00BBGGRR
};
