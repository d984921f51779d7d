#include "platform/SystemFont.h"

#include <cstdlib>
#include <pango/pangocairo.h>

std::unique_ptr<SystemFont> SystemFont::Create(const char* face, int pixelHeight, int weight,
                                               bool italic, int escapement, int quality)
{
    std::unique_ptr<SystemFont> font(new SystemFont());
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, face != nullptr && face[0] != '\0' ? face : "sans");
    int size = std::abs(pixelHeight);
    pango_font_description_set_absolute_size(d, double(size < 1 ? 1 : size) * PANGO_SCALE);
    pango_font_description_set_weight(d, weight >= 700 ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    font->description = d;
    font->escapement = escapement;
    font->antialiased = quality != NonAntialiasedQuality;

    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoContext* context = pango_font_map_create_context(map);
    PangoFont* loaded = pango_font_map_load_font(map, context, d);
    if (loaded == nullptr) {
        g_object_unref(context);
        return nullptr;
    }
    PangoFontMetrics* metrics = pango_font_get_metrics(loaded, nullptr);
    int ascent = pango_font_metrics_get_ascent(metrics);
    int descent = pango_font_metrics_get_descent(metrics);
    font->lineHeight = PANGO_PIXELS_CEIL(ascent) + PANGO_PIXELS_CEIL(descent);
    pango_font_metrics_unref(metrics);
    g_object_unref(loaded);
    g_object_unref(context);
    return font;
}

SystemFont::~SystemFont()
{
    if (description != nullptr) {
        pango_font_description_free(description);
    }
}
