// Draws the editor's images and the program icon into resources/img, plus a
// preview of the editor at its default knob positions composited with our
// own blitter. Run through scripts/make-images; the output depends only on
// this program and the installed cairo, pango and DejaVu fonts, so running it
// again remakes the same bytes.
//
// Usage: make_images <output folder>
// Writes every image at scales 1, 2 and 3 (name.png, name@2x.png, name@3x.png).

#include "core/IParameter.h"
#include "effect/DistortionEffect.h"
#include "effect/EditorKnob.h"
#include "effect/EditorLayout.h"
#include "effect/KnobFrameAngle.h"
#include "effect/KnobScaleText.h"
#include "gui/EditorScale.h"
#include "raster/BlendMode.h"
#include "raster/Blit.h"
#include "raster/PngDecoder.h"
#include "raster/RasterMemBitmap.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr double pi = 3.14159265358979323846;

double Radians(double degrees) { return degrees * pi / 180.0; }

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void SetRgb(cairo_t* cr, Rgb c, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void AddStop(cairo_pattern_t* p, double offset, Rgb c, double alpha = 1.0)
{
    cairo_pattern_add_color_stop_rgba(p, offset, c.r, c.g, c.b, alpha);
}

// A soft shadow as a stack of translucent discs growing outwards.
void SoftShadow(cairo_t* cr, double cx, double cy, double radius, double spread, double strength)
{
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, radius - spread, cx, cy, radius + spread);
    cairo_pattern_add_color_stop_rgba(p, 0.0, 0, 0, 0, strength);
    cairo_pattern_add_color_stop_rgba(p, 1.0, 0, 0, 0, 0);
    cairo_set_source(cr, p);
    cairo_arc(cr, cx, cy, radius + spread, 0, 2 * pi);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void Octagon(cairo_t* cr, double cx, double cy, double radius, double rotation)
{
    for (int i = 0; i < 8; ++i) {
        double a = rotation + pi / 8 + i * pi / 4;
        double x = cx + radius * std::sin(a);
        double y = cy - radius * std::cos(a);
        if (i == 0) {
            cairo_move_to(cr, x, y);
        } else {
            cairo_line_to(cr, x, y);
        }
    }
    cairo_close_path(cr);
}

// The blue octagonal knob centred at (cx, cy), size s (70 for the strip), its
// pointer at angle (radians clockwise from twelve). The light comes from the
// top left and does not turn with the knob.
void DrawKnob(cairo_t* cr, double cx, double cy, double s, double angle)
{
    double k = s / 70.0;
    SoftShadow(cr, cx + 1.5 * k, cy + 2.5 * k, 29.5 * k, 3.5 * k, 0.55);

    const Rgb light = {0.52, 0.70, 0.95};
    const Rgb mid = {0.20, 0.40, 0.78};
    const Rgb dark = {0.06, 0.15, 0.38};

    // Skirt: the outer octagon with its chamfered edge.
    Octagon(cr, cx, cy, 31.0 * k, angle);
    cairo_pattern_t* p = cairo_pattern_create_linear(cx - 24 * k, cy - 24 * k, cx + 24 * k, cy + 24 * k);
    AddStop(p, 0.0, light);
    AddStop(p, 0.45, mid);
    AddStop(p, 1.0, dark);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    cairo_set_line_width(cr, 1.0 * k);
    SetRgb(cr, {0.03, 0.07, 0.18}, 0.9);
    cairo_stroke(cr);

    // Facets between skirt and top: darker where they face away from the light.
    for (int i = 0; i < 8; ++i) {
        double a0 = angle + pi / 8 + i * pi / 4;
        double a1 = a0 + pi / 4;
        double mid_angle = (a0 + a1) / 2;
        double facing = std::cos(mid_angle - (-pi / 4)); // +1 toward top left
        double r0 = 30.0 * k;
        double r1 = 23.5 * k;
        cairo_move_to(cr, cx + r0 * std::sin(a0), cy - r0 * std::cos(a0));
        cairo_line_to(cr, cx + r0 * std::sin(a1), cy - r0 * std::cos(a1));
        cairo_line_to(cr, cx + r1 * std::sin(a1), cy - r1 * std::cos(a1));
        cairo_line_to(cr, cx + r1 * std::sin(a0), cy - r1 * std::cos(a0));
        cairo_close_path(cr);
        if (facing > 0) {
            cairo_set_source_rgba(cr, 1, 1, 1, 0.22 * facing);
        } else {
            cairo_set_source_rgba(cr, 0, 0, 0.05, -0.35 * facing);
        }
        cairo_fill(cr);
    }

    // Top face: a shallow dish with a soft highlight.
    Octagon(cr, cx, cy, 23.5 * k, angle);
    p = cairo_pattern_create_radial(cx - 7 * k, cy - 8 * k, 1 * k, cx, cy, 24 * k);
    AddStop(p, 0.0, Mix(light, {1, 1, 1}, 0.35));
    AddStop(p, 0.55, Mix(mid, light, 0.35));
    AddStop(p, 1.0, Mix(mid, dark, 0.35));
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    cairo_set_line_width(cr, 0.8 * k);
    cairo_set_source_rgba(cr, 0.02, 0.06, 0.16, 0.55);
    cairo_stroke(cr);

    // Fine concentric machining rings on the top face.
    cairo_save(cr);
    Octagon(cr, cx, cy, 23.0 * k, angle);
    cairo_clip(cr);
    cairo_set_line_width(cr, 0.5 * k);
    for (double r = 3 * k; r < 23 * k; r += 2.2 * k) {
        cairo_arc(cr, cx, cy, r, 0, 2 * pi);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.045);
        cairo_stroke(cr);
    }
    cairo_restore(cr);

    // Pointer: an engraved dark line with a lit lower edge.
    double sx = std::sin(angle);
    double sy = -std::cos(angle);
    double inner = 7.0 * k;
    double outer = 27.0 * k;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 4.6 * k);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.28);
    cairo_move_to(cr, cx + inner * sx + 0.6 * k, cy + inner * sy + 0.9 * k);
    cairo_line_to(cr, cx + outer * sx + 0.6 * k, cy + outer * sy + 0.9 * k);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 4.0 * k);
    SetRgb(cr, {0.04, 0.05, 0.09});
    cairo_move_to(cr, cx + inner * sx, cy + inner * sy);
    cairo_line_to(cr, cx + outer * sx, cy + outer * sy);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// The round dial: a dark bezel, a green striped face and a red cover. The
// needle points at angle (radians clockwise from twelve); the green face
// shows from the lowest end of the travel up to the needle, like a gauge.
void DrawOpener(cairo_t* cr, double cx, double cy, double angle)
{
    SoftShadow(cr, cx + 1.2, cy + 2.2, 28.5, 3.0, 0.55);

    // Bezel.
    cairo_arc(cr, cx, cy, 30.5, 0, 2 * pi);
    cairo_pattern_t* p = cairo_pattern_create_linear(cx - 22, cy - 22, cx + 22, cy + 22);
    AddStop(p, 0.0, {0.78, 0.78, 0.76});
    AddStop(p, 0.5, {0.36, 0.36, 0.35});
    AddStop(p, 1.0, {0.12, 0.12, 0.12});
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 0.05, 0.05, 0.05, 0.9);
    cairo_stroke(cr);
    // Inner lip, lit from below right.
    cairo_arc(cr, cx, cy, 26.5, 0, 2 * pi);
    p = cairo_pattern_create_linear(cx - 20, cy - 20, cx + 20, cy + 20);
    AddStop(p, 0.0, {0.10, 0.10, 0.10});
    AddStop(p, 1.0, {0.62, 0.62, 0.60});
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);

    const double face = 25.0;
    // Green face with radial stripes.
    cairo_save(cr);
    cairo_arc(cr, cx, cy, face, 0, 2 * pi);
    cairo_clip(cr);
    p = cairo_pattern_create_radial(cx - 6, cy - 7, 2, cx, cy, face);
    AddStop(p, 0.0, {0.55, 0.92, 0.45});
    AddStop(p, 1.0, {0.10, 0.45, 0.12});
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
    for (int i = 0; i < 24; ++i) {
        double a0 = i * 2 * pi / 24;
        double a1 = a0 + pi / 24;
        cairo_move_to(cr, cx, cy);
        cairo_arc(cr, cx, cy, face + 1, a0 - pi / 2, a1 - pi / 2);
        cairo_close_path(cr);
        cairo_set_source_rgba(cr, 0.0, 0.18, 0.02, 0.38);
        cairo_fill(cr);
    }
    // Red cover: from the needle on round to the lowest end, with a shadow
    // on the green. Cairo's angles start at three o'clock.
    const double start = angle - pi / 2;
    const double end = Radians(kKnobLowestDegrees) + 2 * pi - pi / 2;
    if (end - start > 1e-6) {
        cairo_save(cr);
        cairo_translate(cr, 1.2, 1.6);
        cairo_move_to(cr, cx, cy);
        cairo_arc(cr, cx, cy, face + 2, start, end);
        cairo_close_path(cr);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
        cairo_fill(cr);
        cairo_restore(cr);
        cairo_move_to(cr, cx, cy);
        cairo_arc(cr, cx, cy, face + 2, start, end);
        cairo_close_path(cr);
        p = cairo_pattern_create_radial(cx - 7, cy - 8, 1, cx, cy, face);
        AddStop(p, 0.0, {1.0, 0.45, 0.38});
        AddStop(p, 0.6, {0.82, 0.08, 0.06});
        AddStop(p, 1.0, {0.45, 0.02, 0.02});
        cairo_set_source(cr, p);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(p);
        cairo_set_line_width(cr, 0.8);
        cairo_set_source_rgba(cr, 0.25, 0.0, 0.0, 0.8);
        cairo_stroke(cr);
    }
    cairo_restore(cr);

    // Glass: a highlight across the top left and a faint rim.
    cairo_save(cr);
    cairo_arc(cr, cx, cy, face, 0, 2 * pi);
    cairo_clip(cr);
    cairo_arc(cr, cx - 5, cy - 8, 19, 0, 2 * pi);
    p = cairo_pattern_create_linear(cx, cy - 27, cx, cy + 8);
    cairo_pattern_add_color_stop_rgba(p, 0.0, 1, 1, 1, 0.45);
    cairo_pattern_add_color_stop_rgba(p, 1.0, 1, 1, 1, 0.0);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_restore(cr);

    // Needle over the glass, so it reads clearly: a dark blade with a lit edge
    // and a short tail, turning with the value.
    const double sx = std::sin(angle);
    const double sy = -std::cos(angle);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 3.4);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    cairo_move_to(cr, cx - 5.0 * sx + 0.5, cy - 5.0 * sy + 0.8);
    cairo_line_to(cr, cx + 22.5 * sx + 0.5, cy + 22.5 * sy + 0.8);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 2.8);
    cairo_set_source_rgba(cr, 0.03, 0.03, 0.04, 1.0);
    cairo_move_to(cr, cx - 5.0 * sx, cy - 5.0 * sy);
    cairo_line_to(cr, cx + 22.5 * sx, cy + 22.5 * sy);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    // Hub.
    cairo_arc(cr, cx, cy, 4.0, 0, 2 * pi);
    p = cairo_pattern_create_radial(cx - 1.2, cy - 1.5, 0.3, cx, cy, 4.0);
    AddStop(p, 0.0, {0.95, 0.95, 0.92});
    AddStop(p, 1.0, {0.25, 0.25, 0.25});
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// A small deterministic noise source, so the panel grain is the same on every run.
uint32_t NextRandom(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -pi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, pi / 2);
    cairo_arc(cr, x + r, y + h - r, r, pi / 2, pi);
    cairo_arc(cr, x + r, y + r, r, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

void Screw(cairo_t* cr, double cx, double cy, double slot)
{
    SoftShadow(cr, cx + 0.8, cy + 1.2, 4.2, 1.2, 0.5);
    cairo_arc(cr, cx, cy, 4.5, 0, 2 * pi);
    cairo_pattern_t* p = cairo_pattern_create_linear(cx - 4, cy - 4, cx + 4, cy + 4);
    AddStop(p, 0.0, {0.85, 0.84, 0.80});
    AddStop(p, 1.0, {0.30, 0.29, 0.27});
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_set_line_width(cr, 1.2);
    cairo_set_source_rgba(cr, 0.1, 0.1, 0.1, 0.85);
    cairo_move_to(cr, cx - 3.2 * std::cos(slot), cy - 3.2 * std::sin(slot));
    cairo_line_to(cr, cx + 3.2 * std::cos(slot), cy + 3.2 * std::sin(slot));
    cairo_stroke(cr);
}

// Text whose centre (align 0.5), left (0) or right (1) edge sits at x with its
// top at y, engraved: a dark line above and a light one below.
void Label(cairo_t* cr, const char* text, const char* font, double x, double y, double align, Rgb colour)
{
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* description = pango_font_description_from_string(font);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);
    pango_layout_set_text(layout, text, -1);
    int w = 0;
    int h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    double left = std::round(x - w * align);
    cairo_move_to(cr, left, y + 1);
    cairo_set_source_rgba(cr, 1, 0.92, 0.78, 0.18);
    pango_cairo_show_layout(cr, layout);
    cairo_move_to(cr, left, y - 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    pango_cairo_show_layout(cr, layout);
    cairo_move_to(cr, left, y);
    SetRgb(cr, colour);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
}

// The two ends printed on each knob's scale, from its parameter.
struct ScaleEnds {
    std::string lowest;
    std::string highest;
};

// A dark recessed well for the readout's light text.
void ReadoutWell(cairo_t* cr)
{
    const double x = kReadoutLeft, y = kReadoutTop, w = kReadoutRight - kReadoutLeft, h = kReadoutBottom - kReadoutTop;
    RoundedRect(cr, x - 1, y - 1, w + 2, h + 2, 4);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y - 1, 0, y + h + 1);
    cairo_pattern_add_color_stop_rgba(p, 0.0, 0.0, 0.0, 0.0, 0.55);
    cairo_pattern_add_color_stop_rgba(p, 1.0, 1.0, 0.88, 0.70, 0.30);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    RoundedRect(cr, x, y, w, h, 3);
    p = cairo_pattern_create_linear(0, y, 0, y + h);
    AddStop(p, 0.0, {0.05, 0.03, 0.02});
    AddStop(p, 1.0, {0.11, 0.07, 0.04});
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    // The inner top edge in shadow.
    cairo_move_to(cr, x + 3, y + 0.5);
    cairo_line_to(cr, x + w - 3, y + 0.5);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_stroke(cr);
}

void DrawBackground(cairo_t* cr, double w, double h, const ScaleEnds (&ends)[6])
{
    // Dark frame.
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, h);
    AddStop(p, 0.0, {0.20, 0.19, 0.18});
    AddStop(p, 1.0, {0.07, 0.07, 0.07});
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    cairo_stroke(cr);

    // Brown panel set into the frame.
    const double inset = 7;
    double px = inset, py = inset, pw = w - 2 * inset, ph = h - 2 * inset;
    RoundedRect(cr, px - 1, py - 1, pw + 2, ph + 2, 4);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_fill(cr);
    RoundedRect(cr, px, py, pw, ph, 3.5);
    p = cairo_pattern_create_linear(0, py, 0, py + ph);
    AddStop(p, 0.0, {0.52, 0.34, 0.20});
    AddStop(p, 0.5, {0.42, 0.26, 0.15});
    AddStop(p, 1.0, {0.30, 0.18, 0.10});
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);

    // Brushed grain: faint horizontal streaks of varying length and tone.
    cairo_save(cr);
    RoundedRect(cr, px, py, pw, ph, 3.5);
    cairo_clip(cr);
    uint32_t seed = 0x5EED1234u;
    cairo_set_line_width(cr, 1.0);
    for (int i = 0; i < 900; ++i) {
        double y = py + (NextRandom(seed) % uint32_t(ph * 4)) / 4.0;
        double x = px + (NextRandom(seed) % uint32_t(pw));
        double len = 20 + NextRandom(seed) % 120;
        bool lighter = (NextRandom(seed) & 1) != 0;
        double a = 0.025 + (NextRandom(seed) % 100) / 2500.0;
        cairo_move_to(cr, x, y + 0.5);
        cairo_line_to(cr, x + len, y + 0.5);
        if (lighter) {
            cairo_set_source_rgba(cr, 1, 0.85, 0.65, a);
        } else {
            cairo_set_source_rgba(cr, 0.1, 0.04, 0.0, a * 1.4);
        }
        cairo_stroke(cr);
    }
    // Top edge catches the light, bottom edge falls into shadow.
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, px, py + 0.5);
    cairo_line_to(cr, px + pw, py + 0.5);
    cairo_set_source_rgba(cr, 1, 0.9, 0.75, 0.35);
    cairo_stroke(cr);
    cairo_move_to(cr, px, py + ph - 0.5);
    cairo_line_to(cr, px + pw, py + ph - 0.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_stroke(cr);
    cairo_restore(cr);

    Screw(cr, 16, 16, 0.6);
    Screw(cr, w - 16, 16, 2.1);
    Screw(cr, 16, h - 16, 1.2);
    Screw(cr, w - 16, h - 16, 2.7);

    // Recessed wells and scale marks round each knob.
    for (size_t knob = 0; knob < 6; ++knob) {
        const EditorKnob& k = kEditorKnobs[knob];
        double cx = k.x + k.frameSize / 2.0;
        double cy = k.y + k.frameSize / 2.0;
        double r = k.frameSize / 2.0 + 1.5;
        cairo_arc(cr, cx, cy, r + 1.0, 0, 2 * pi);
        p = cairo_pattern_create_linear(cx, cy - r, cx, cy + r);
        cairo_pattern_add_color_stop_rgba(p, 0.0, 0.05, 0.02, 0.0, 0.55);
        cairo_pattern_add_color_stop_rgba(p, 1.0, 1.0, 0.85, 0.65, 0.25);
        cairo_set_source(cr, p);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
        cairo_arc(cr, cx, cy, r, 0, 2 * pi);
        cairo_set_source_rgba(cr, 0.12, 0.06, 0.03, 0.9);
        cairo_fill(cr);
        // Tick marks over the knob's travel, in eleven steps: the first and
        // the last are where the knob points at its ends.
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        for (int t = 0; t <= 10; ++t) {
            double a = Radians(KnobFrameAngle(t + 1, 11));
            double r0 = r + 2.5;
            double r1 = r + ((t % 5 == 0) ? 6.0 : 4.5);
            cairo_set_line_width(cr, (t % 5 == 0) ? 1.4 : 1.0);
            cairo_move_to(cr, cx + r0 * std::sin(a), cy - r0 * std::cos(a));
            cairo_line_to(cr, cx + r1 * std::sin(a), cy - r1 * std::cos(a));
            cairo_set_source_rgba(cr, 0.96, 0.88, 0.72, 0.75);
            cairo_stroke(cr);
        }
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);

        const Rgb ink = {0.97, 0.90, 0.76};
        // The ends of the parameter's range sit just outside the first and
        // last ticks, the name below.
        const double low = Radians(KnobFrameAngle(1, 11));
        const double high = Radians(KnobFrameAngle(11, 11));
        const double out = r + 6.5;
        Label(cr, ends[knob].lowest.c_str(), "DejaVu Sans Bold 8px", cx + out * std::sin(low) - 1,
              cy - out * std::cos(low) - 3, 1.0, ink);
        Label(cr, ends[knob].highest.c_str(), "DejaVu Sans Bold 8px", cx + out * std::sin(high) + 1,
              cy - out * std::cos(high) - 3, 0.0, ink);
        Label(cr, k.label, "DejaVu Sans Bold 7.5px", cx, 115, 0.5, ink);
    }
    ReadoutWell(cr);

    // Product name plate at the bottom left.
    cairo_move_to(cr, 30, h - 27.5);
    cairo_line_to(cr, w - 30, h - 27.5);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_stroke(cr);
    cairo_move_to(cr, 30, h - 26.5);
    cairo_line_to(cr, w - 30, h - 26.5);
    cairo_set_source_rgba(cr, 1, 0.9, 0.75, 0.15);
    cairo_stroke(cr);
    Label(cr, "Snarlbox", "DejaVu Sans Bold 15px", 30, h - 24, 0.0, {1.0, 0.93, 0.78});
}

void DrawIcon(cairo_t* cr, double s)
{
    RoundedRect(cr, s * 0.03, s * 0.03, s * 0.94, s * 0.94, s * 0.16);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, s);
    AddStop(p, 0.0, {0.55, 0.36, 0.21});
    AddStop(p, 1.0, {0.28, 0.17, 0.09});
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    cairo_set_line_width(cr, s * 0.03);
    cairo_set_source_rgba(cr, 0.08, 0.07, 0.07, 1);
    cairo_stroke(cr);
    DrawKnob(cr, s / 2 - s * 0.01, s / 2 - s * 0.015, s * 0.8, -40 * pi / 180);
}

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

cairo_t* Begin(cairo_surface_t* s)
{
    cairo_t* cr = cairo_create(s);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    return cr;
}

bool Write(cairo_surface_t* s, const std::string& path)
{
    cairo_surface_flush(s);
    if (cairo_surface_write_to_png(s, path.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "make_images: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

// Copies a straight-alpha bitmap into a premultiplied cairo surface.
Surface ToSurface(const RasterBitmap& b)
{
    Surface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, b.Width(), b.Height()));
    auto* data = cairo_image_surface_get_data(s.get());
    int stride = cairo_image_surface_get_stride(s.get());
    for (int y = 0; y < b.Height(); ++y) {
        const RasterPixel* row = b.Pixels() + ptrdiff_t(b.IsBottomUp() ? b.Height() - 1 - y : y) * b.Stride();
        auto* out = reinterpret_cast<uint32_t*>(data + ptrdiff_t(y) * stride);
        for (int x = 0; x < b.Width(); ++x) {
            uint32_t p = row[x];
            uint32_t a = p >> 24;
            auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
            out[x] = (a << 24) | (pre((p >> 16) & 255) << 16) | (pre((p >> 8) & 255) << 8) | pre(p & 255);
        }
    }
    cairo_surface_mark_dirty(s.get());
    return s;
}

// name.png at scale 1, name@2x.png and name@3x.png above it.
std::string ScaledName(const std::string& dir, const char* name, int scale)
{
    return dir + "/" + name + (scale > 1 ? "@" + std::to_string(scale) + "x" : std::string()) + ".png";
}

// A surface of w x h editor pixels at scale device pixels each, and a context
// that draws on it in editor pixels. Scale 1 is the plain surface.
cairo_t* BeginScaled(Surface& s, int w, int h, int scale)
{
    s.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * scale, h * scale));
    cairo_t* cr = Begin(s.get());
    if (scale > 1) {
        cairo_scale(cr, scale, scale);
    }
    return cr;
}

// The knob strips, the background and the icon drawn at one scale.
bool DrawImagesAtScale(const std::string& dir, int scale, const ScaleEnds (&ends)[6])
{
    bool ok = true;
    Surface s;
    {
        cairo_t* cr = BeginScaled(s, 70, 70 * 64, scale);
        for (int i = 0; i < 64; ++i) {
            double angle = Radians(KnobFrameAngle(i + 1, 64));
            cairo_save(cr);
            cairo_rectangle(cr, 0, 70 * i, 70, 70);
            cairo_clip(cr);
            DrawKnob(cr, 35, 35 + 70 * i, 70, angle);
            cairo_restore(cr);
        }
        cairo_destroy(cr);
        ok = Write(s.get(), ScaledName(dir, "BlueKnob3", scale)) && ok;
    }
    {
        cairo_t* cr = BeginScaled(s, 64, 64 * 31, scale);
        for (int i = 0; i < 31; ++i) {
            cairo_save(cr);
            cairo_rectangle(cr, 0, 64 * i, 64, 64);
            cairo_clip(cr);
            DrawOpener(cr, 32, 32 + 64 * i, Radians(KnobFrameAngle(i + 1, 31)));
            cairo_restore(cr);
        }
        cairo_destroy(cr);
        ok = Write(s.get(), ScaledName(dir, "RedOpener", scale)) && ok;
    }
    {
        cairo_t* cr = BeginScaled(s, kEditorWidth, kEditorHeight, scale);
        DrawBackground(cr, kEditorWidth, kEditorHeight, ends);
        cairo_destroy(cr);
        ok = Write(s.get(), ScaledName(dir, "SnarlboxBG_g", scale)) && ok;
    }
    {
        cairo_t* cr = BeginScaled(s, 128, 128, scale);
        DrawIcon(cr, 128);
        cairo_destroy(cr);
        ok = Write(s.get(), ScaledName(dir, "Snarlbox", scale)) && ok;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_images <output folder>\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = true;

    // Each scale prints its parameter's real range.
    const DistortionEffect effect(nullptr, nullptr, false);
    ScaleEnds ends[6];
    for (size_t i = 0; i < 6; ++i) {
        const IParameter& parameter = *effect.parameters[static_cast<size_t>(kEditorKnobs[i].paramIndex)];
        ends[i] = {KnobScaleText(parameter, 0.0), KnobScaleText(parameter, 1.0)};
    }
    // Every scale is drawn from the shapes, not enlarged from scale 1, so
    // edges and text stay sharp on screens of two and three pixels per pixel.
    for (int scale = 1; scale <= kMaxEditorScale; ++scale) {
        ok = DrawImagesAtScale(dir, scale, ends) && ok;
    }
    if (!ok) {
        return 1;
    }

    // The preview: our own decoder and blitter, knobs at their default frames.
    std::unique_ptr<RasterBitmap> background(DecodePngFile((dir + "/SnarlboxBG_g.png").c_str(), true, nullptr));
    std::unique_ptr<RasterBitmap> knob(DecodePngFile((dir + "/BlueKnob3.png").c_str(), true, nullptr));
    std::unique_ptr<RasterBitmap> opener(DecodePngFile((dir + "/RedOpener.png").c_str(), true, nullptr));
    if (!background || !knob || !opener) {
        std::fprintf(stderr, "make_images: cannot decode the images just written\n");
        return 1;
    }
    for (const EditorKnob& k : kEditorKnobs) {
        const IParameter& parameter = *effect.parameters[static_cast<size_t>(k.paramIndex)];
        const int shown = parameter.ToNormalized(parameter.defaultValue) < 0.5 ? 0 : k.frameCount - 1;
        const RasterBitmap* strip = k.imageId == 101 ? knob.get() : opener.get();
        RasterRect frame{0, shown * k.frameSize, strip->Width(), (shown + 1) * k.frameSize};
        BlitBitmap(background.get(), strip, k.x, k.y, &frame, 1.0f, BlendModeCopy | BlendUseSourceAlpha);
    }
    Surface preview = ToSurface(*background);
    return Write(preview.get(), dir + "/preview.png") ? 0 : 1;
}
