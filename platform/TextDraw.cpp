#include "platform/TextDraw.h"

#include "platform/DeviceContext.h"
#include "platform/SystemFont.h"

#include <cmath>
#include <cstring>
#include <pango/pangocairo.h>
#include <string>

namespace {

void SetSourceGdiColour(cairo_t* cr, unsigned colour)
{
    cairo_set_source_rgb(cr, (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                         ((colour >> 16) & 0xFF) / 255.0);
}

void AppendUtf8(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

} // namespace

int DrawTextUtf8(DeviceContext* dc, const char* text, int length, RasterRect* rect, int format)
{
    if (dc == nullptr || dc->Cairo() == nullptr || dc->SelectedFont() == nullptr || rect == nullptr ||
        text == nullptr || length < 0) {
        return 0;
    }
    const SystemFont* font = dc->SelectedFont();
    cairo_t* cr = dc->Cairo();
    PangoLayout* layout = pango_cairo_create_layout(cr);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, font->Antialiased() ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout);
    pango_layout_set_font_description(layout, font->Description());
    if ((format & TextSingleLine) != 0) {
        // A line feed counts as a space on one line.
        std::string line(text, size_t(length));
        for (char& c : line) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        pango_layout_set_text(layout, line.data(), int(line.size()));
    } else {
        pango_layout_set_text(layout, text, length);
    }
    pango_layout_set_alignment(layout, (format & TextCenter) != 0  ? PANGO_ALIGN_CENTER
                                       : (format & TextRight) != 0 ? PANGO_ALIGN_RIGHT
                                                                   : PANGO_ALIGN_LEFT);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    int tw = length > 0 ? logical.width : 0;
    int th = logical.height;
    if ((format & TextCalcRect) != 0) {
        rect->right = rect->left + tw;
        rect->bottom = rect->top + th;
        g_object_unref(layout);
        return th;
    }
    int x = rect->left;
    int y = rect->top;
    if ((format & TextCenter) != 0) {
        x = rect->left + (rect->right - rect->left - tw) / 2;
    } else if ((format & TextRight) != 0) {
        x = rect->right - tw;
    }
    if ((format & TextVCenter) != 0) {
        y = rect->top + (rect->bottom - rect->top - th) / 2;
    } else if ((format & TextBottom) != 0) {
        y = rect->bottom - th;
    }
    // Our code writes the pixels directly between drawings.
    cairo_surface_mark_dirty(dc->Surface());
    cairo_save(cr);
    if ((format & TextNoClip) == 0) {
        cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
        cairo_clip(cr);
    }
    cairo_translate(cr, x, y);
    if (font->Escapement() != 0) {
        cairo_rotate(cr, -font->Escapement() * M_PI / 1800.0);
    }
    if (dc->BkMode() == DeviceContext::Opaque) {
        SetSourceGdiColour(cr, dc->BkColor());
        cairo_rectangle(cr, 0, 0, tw, th);
        cairo_fill(cr);
    }
    SetSourceGdiColour(cr, dc->TextColor());
    cairo_move_to(cr, -logical.x, -logical.y);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
    cairo_surface_flush(dc->Surface());
    g_object_unref(layout);
    return th;
}

int DrawTextA(DeviceContext* dc, const char* text, int length, RasterRect* rect, int format)
{
    if (text == nullptr) {
        return 0;
    }
    size_t n = length < 0 ? std::strlen(text) : strnlen(text, size_t(length));
    std::string utf8;
    utf8.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        AppendUtf8(utf8, unsigned(static_cast<unsigned char>(text[i])));
    }
    return DrawTextUtf8(dc, utf8.data(), int(utf8.size()), rect, format);
}

int DrawTextW(DeviceContext* dc, const char16_t* text, int length, RasterRect* rect, int format)
{
    if (text == nullptr) {
        return 0;
    }
    std::string utf8;
    for (int i = 0; length < 0 || i < length; ++i) {
        unsigned c = text[i];
        if (c == 0) {
            break;
        }
        if (c >= 0xD800 && c < 0xDC00 && (length < 0 || i + 1 < length) && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unsigned(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // a lone surrogate has no UTF-8 form
        }
        AppendUtf8(utf8, c);
    }
    return DrawTextUtf8(dc, utf8.data(), int(utf8.size()), rect, format);
}
