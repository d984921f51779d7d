#include "platform/DeviceContext.h"

#include <cairo.h>

DeviceContext::DeviceContext() = default;

DeviceContext::~DeviceContext() { Detach(); }

bool DeviceContext::Attach(uint32_t* pixels, int w, int h, int stridePixels)
{
    Detach();
    if (pixels == nullptr || w <= 0 || h <= 0 || stridePixels < w) {
        return false;
    }
    surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels),
                                                  CAIRO_FORMAT_ARGB32, w, h, stridePixels * 4);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        surface = nullptr;
        return false;
    }
    cairo = cairo_create(surface);
    width = w;
    height = h;
    return true;
}

void DeviceContext::Detach()
{
    if (cairo != nullptr) {
        cairo_destroy(cairo);
        cairo = nullptr;
    }
    if (surface != nullptr) {
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
        surface = nullptr;
    }
    width = 0;
    height = 0;
}

SystemFont* DeviceContext::SelectFont(SystemFont* font)
{
    SystemFont* previous = selectedFont;
    selectedFont = font;
    return previous;
}

uint32_t DeviceContext::SetTextColor(uint32_t colour)
{
    uint32_t previous = textColour;
    textColour = colour;
    return previous;
}

int DeviceContext::SetBkMode(int mode)
{
    int previous = backgroundMode;
    backgroundMode = mode;
    return previous;
}

uint32_t DeviceContext::SetBkColor(uint32_t colour)
{
    uint32_t previous = backgroundColour;
    backgroundColour = colour;
    return previous;
}
