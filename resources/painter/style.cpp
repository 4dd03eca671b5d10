#include "resources/painter/style.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace qx::skin {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr const char* kFace = "DejaVu Sans";
constexpr Rgb kLabel{0.74, 0.75, 0.78};
constexpr Rgb kTitle{0.93, 0.93, 0.94};
// Knob travel: from 7:30 to 4:30 o'clock, clockwise.
constexpr double kKnobStart = 0.75 * kPi;
constexpr double kKnobSweep = 1.5 * kPi;

void rgb(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 1.5 * kPi);
    cairo_close_path(cr);
}

void verticalGradient(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Fixed-seed generator: the brushed texture is the same on every build.
struct Lcg {
    std::uint32_t state = 0x2545f491u;
    double next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0;
    }
};

void screw(cairo_t* cr, double x, double y) {
    cairo_arc(cr, x, y + 0.5, 4.5, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.06);
    cairo_fill(cr);
    cairo_arc(cr, x, y, 4.0, 0, 2 * kPi);
    verticalGradient(cr, y - 4, y + 4, {0.42, 0.44, 0.47}, {0.16, 0.17, 0.19});
    cairo_fill(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_move_to(cr, x - 2.6, y - 1.4);
    cairo_line_to(cr, x + 2.6, y + 1.4);
    cairo_stroke(cr);
}

}  // namespace

void text(cairo_t* cr, const std::string& s, double x, double y, double size, bool bold, Rgb colour,
          Align align, double spacing) {
    cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    // Width with the letter spacing, so alignment holds for spaced captions.
    double width = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        cairo_text_extents_t e;
        const char glyph[2] = {s[i], 0};
        cairo_text_extents(cr, glyph, &e);
        width += e.x_advance + (i + 1 < s.size() ? spacing : 0);
    }
    double pen = x;
    if (align == Align::Center) pen = x - width / 2;
    if (align == Align::Right) pen = x - width;
    pen = std::round(pen);
    rgb(cr, colour);
    for (char c : s) {
        const char glyph[2] = {c, 0};
        cairo_move_to(cr, pen, std::round(y));
        cairo_show_text(cr, glyph);
        cairo_text_extents_t e;
        cairo_text_extents(cr, glyph, &e);
        pen += e.x_advance + spacing;
    }
}

void panel(cairo_t* cr, int width, int height) {
    verticalGradient(cr, 0, height, {0.19, 0.20, 0.22}, {0.12, 0.13, 0.14});
    cairo_paint(cr);
    // Brushed metal: faint horizontal strokes.
    Lcg random;
    cairo_set_line_width(cr, 1.0);
    for (int y = 0; y < height; ++y) {
        const double light = random.next();
        cairo_set_source_rgba(cr, 1, 1, 1, 0.010 + 0.018 * light);
        const double x0 = random.next() * width * 0.5;
        cairo_move_to(cr, x0, y + 0.5);
        cairo_line_to(cr, x0 + width * (0.4 + 0.6 * random.next()), y + 0.5);
        cairo_stroke(cr);
    }
    // Bevel of the whole plate.
    cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
    cairo_rectangle(cr, 0, 0, width, 1);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_rectangle(cr, 0, height - 1, width, 1);
    cairo_rectangle(cr, width - 1, 0, 1, height);
    cairo_fill(cr);
    screw(cr, 7, height - 7);
    screw(cr, width - 7, height - 7);
}

void logo(cairo_t* cr, const Style& style, double x, double baseline, const char* title,
          const char* subtitle) {
    rgb(cr, style.accent);
    cairo_rectangle(cr, x + 1, baseline + 7, 22, 2);
    cairo_fill(cr);
    text(cr, title, x, baseline, 24, true, kTitle, Align::Left, 1.5);
    cairo_text_extents_t e;
    cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 24);
    cairo_text_extents(cr, title, &e);
    const double after = x + e.x_advance + 1.5 * (std::string(title).size() - 1) + 14;
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    cairo_rectangle(cr, std::round(after), baseline - 16, 1, 18);
    cairo_fill(cr);
    text(cr, subtitle, after + 13, baseline - 3, 9, true, style.accent, Align::Left, 1.6);
}

void header(cairo_t* cr, const Style& style, int width, const char* title, const char* subtitle) {
    constexpr int kHeight = 52;
    verticalGradient(cr, 0, kHeight, {0.10, 0.105, 0.115}, {0.145, 0.15, 0.165});
    cairo_rectangle(cr, 0, 0, width, kHeight);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_rectangle(cr, 0, kHeight - 1, width, 1);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
    cairo_rectangle(cr, 0, kHeight, width, 1);
    cairo_fill(cr);
    logo(cr, style, 21, 33, title, subtitle);
    text(cr, "QX", 452, 31, 11, true, {0.45, 0.47, 0.50}, Align::Right, 2.0);
}

void section(cairo_t* cr, const Style& style, const gui::CRect& box, const char* title) {
    const double x = box.left + 0.5, y = box.top + 0.5;
    const double w = box.width() - 1, h = box.height() - 1;
    roundedRect(cr, x, y, w, h, 6);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.20);
    cairo_fill(cr);
    // The engraved outline breaks for the title, which sits on the top edge.
    double gapFrom = 0, gapTo = 0;
    if (title && *title) {
        cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 8.5);
        cairo_text_extents_t e;
        cairo_text_extents(cr, title, &e);
        const double width = e.x_advance + 1.3 * (std::string(title).size() - 1);
        gapFrom = x + 10;
        gapTo = x + 10 + 14 + width + 6;
    }
    auto outline = [&](double dy) {
        cairo_new_path(cr);
        const double r = 6, top = y + dy;
        if (gapTo > 0) {
            cairo_move_to(cr, gapTo, top);
        } else {
            cairo_move_to(cr, x + r, top);
        }
        cairo_arc(cr, x + w - r, top + r, r, -kPi / 2, 0);
        cairo_arc(cr, x + w - r, top + h - r, r, 0, kPi / 2);
        cairo_arc(cr, x + r, top + h - r, r, kPi / 2, kPi);
        cairo_arc(cr, x + r, top + r, r, kPi, 1.5 * kPi);
        if (gapTo > 0) cairo_line_to(cr, gapFrom, top);
        cairo_stroke(cr);
    };
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.06);
    outline(1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    outline(0);
    if (gapTo > 0) {
        rgb(cr, style.accent);
        cairo_rectangle(cr, gapFrom + 4, box.top - 3, 6, 6);
        cairo_fill(cr);
        text(cr, title, gapFrom + 14, box.top + 3.5, 8.5, true, {0.66, 0.68, 0.71}, Align::Left,
             1.3);
    }
}

void captionAbove(cairo_t* cr, const char* s, const gui::CRect& control) {
    text(cr, s, control.left + control.width() / 2.0, control.top - 7, 9, true, kLabel,
         Align::Center, 1.0);
}

void captionBelow(cairo_t* cr, const char* s, const gui::CRect& control) {
    text(cr, s, control.left + control.width() / 2.0, control.bottom + 13, 9, true, kLabel,
         Align::Center, 1.0);
}

void captionLeft(cairo_t* cr, const char* s, const gui::CRect& control) {
    text(cr, s, control.left - 12, control.top + control.height() / 2.0 + 3.5, 9, true, kLabel,
         Align::Right, 1.0);
}

void captionRight(cairo_t* cr, const char* s, const gui::CRect& control) {
    text(cr, s, control.right + 12, control.top + control.height() / 2.0 + 3.5, 9, true, kLabel,
         Align::Left, 1.0);
}

void well(cairo_t* cr, const gui::CRect& box) {
    const double x = box.left, y = box.top, w = box.width(), h = box.height();
    roundedRect(cr, x + 0.5, y + 1.5, w - 1, h - 1, 3);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    roundedRect(cr, x, y, w, h, 3);
    verticalGradient(cr, y, y + h, {0.035, 0.037, 0.04}, {0.065, 0.068, 0.075});
    cairo_fill(cr);
    // Inner shadow along the top edge.
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_rectangle(cr, x + 2, y, w - 4, 1);
    cairo_fill(cr);
}

void meterMark(cairo_t* cr, const gui::CRect& meter, double value, const char* label) {
    const double y = std::round(meter.bottom - value * meter.height()) + 0.5;
    cairo_set_source_rgba(cr, 0.55, 0.57, 0.60, 0.9);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, meter.left - 7, y);
    cairo_line_to(cr, meter.left - 3, y);
    cairo_stroke(cr);
    text(cr, label, meter.left - 10, y + 3, 8, false, {0.58, 0.60, 0.63}, Align::Right);
}

void knobFrame(cairo_t* cr, const Style& style, int size, double position, bool bipolar) {
    const double c = size / 2.0;
    const double arcRadius = c - 3.5;
    const double end = kKnobStart + kKnobSweep * std::clamp(position, 0.0, 1.0);
    const double from = bipolar ? kKnobStart + kKnobSweep / 2 : kKnobStart;
    const double arcFrom = std::min(from, end), arcTo = std::max(from, end);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    // Value ring: a dark groove, the lit part in the accent colour with a soft glow.
    cairo_set_line_width(cr, 4);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.75);
    cairo_arc(cr, c, c, arcRadius, kKnobStart, kKnobStart + kKnobSweep);
    cairo_stroke(cr);
    if (arcTo - arcFrom > 1e-3) {
        cairo_set_line_width(cr, 6);
        rgb(cr, style.accent, 0.18);
        cairo_arc(cr, c, c, arcRadius, arcFrom, arcTo);
        cairo_stroke(cr);
        cairo_set_line_width(cr, 2.5);
        rgb(cr, style.accent);
        cairo_arc(cr, c, c, arcRadius, arcFrom, arcTo);
        cairo_stroke(cr);
    }
    if (bipolar) {  // centre detent mark
        cairo_set_line_width(cr, 1.5);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
        cairo_move_to(cr, c, 0.5);
        cairo_line_to(cr, c, 2.5);
        cairo_stroke(cr);
    }
    // Body: drop shadow, knurled skirt, domed cap; the ring keeps ~9 px at any size.
    const double body = c - std::max(9.0, size * 0.16);
    cairo_arc(cr, c, c + 2, body + 1, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_fill(cr);
    cairo_arc(cr, c, c, body, 0, 2 * kPi);
    verticalGradient(cr, c - body, c + body, {0.36, 0.38, 0.41}, {0.10, 0.105, 0.115});
    cairo_fill(cr);
    cairo_set_line_width(cr, 1);
    for (int i = 0; i < 36; ++i) {
        const double a = i * 2 * kPi / 36;
        cairo_move_to(cr, c + (body - 2.5) * std::cos(a), c + (body - 2.5) * std::sin(a));
        cairo_line_to(cr, c + body * std::cos(a), c + body * std::sin(a));
    }
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_stroke(cr);
    const double cap = body - 3.5;
    cairo_arc(cr, c, c, cap, 0, 2 * kPi);
    verticalGradient(cr, c - cap, c + cap, {0.30, 0.315, 0.34}, {0.17, 0.18, 0.195});
    cairo_fill(cr);
    cairo_pattern_t* sheen =
        cairo_pattern_create_radial(c - cap * 0.35, c - cap * 0.45, 0, c, c, cap);
    cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, 0.16);
    cairo_pattern_add_color_stop_rgba(sheen, 1, 1, 1, 1, 0.0);
    cairo_arc(cr, c, c, cap, 0, 2 * kPi);
    cairo_set_source(cr, sheen);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);
    cairo_arc(cr, c, c, cap - 0.5, kPi * 1.1, kPi * 1.9);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
    cairo_stroke(cr);
    // Pointer.
    const double dx = std::cos(end), dy = std::sin(end);
    cairo_set_line_width(cr, 2.4);
    cairo_set_source_rgb(cr, 0.96, 0.96, 0.97);
    cairo_move_to(cr, c + dx * cap * 0.35, c + dy * cap * 0.35);
    cairo_line_to(cr, c + dx * (cap - 1.5), c + dy * (cap - 1.5));
    cairo_stroke(cr);
}

namespace {

// Tick marks across a slot, at the handle-centre positions of `count` + 1 steps.
void ticks(cairo_t* cr, bool vertical, int across, int along, int handleLength, int count) {
    const double start = handleLength / 2.0;
    const double travel = along - handleLength;
    cairo_set_line_width(cr, 1);
    for (int i = 0; i <= count; ++i) {
        const bool major = i == 0 || i == count || i * 2 == count;
        const double at = std::round(start + travel * i / count) + 0.5;
        const double len = major ? 6 : 3.5;
        cairo_set_source_rgba(cr, 0.60, 0.62, 0.65, major ? 0.9 : 0.55);
        const double pos = vertical ? along - at : at;
        for (int side = 0; side < 2; ++side) {
            const double from = side == 0 ? 1 : across - 1 - len;
            if (vertical) {
                cairo_move_to(cr, from, pos);
                cairo_line_to(cr, from + len, pos);
            } else {
                cairo_move_to(cr, pos, from);
                cairo_line_to(cr, pos, from + len);
            }
            cairo_stroke(cr);
        }
    }
}

void slot(cairo_t* cr, double x, double y, double w, double h) {
    roundedRect(cr, x - 0.5, y - 0.5, w + 1, h + 2, 2.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
    cairo_fill(cr);
    roundedRect(cr, x, y, w, h, 2);
    cairo_set_source_rgb(cr, 0.02, 0.02, 0.025);
    cairo_fill(cr);
}

}  // namespace

void verticalTrack(cairo_t* cr, int width, int height, int handleLength) {
    ticks(cr, true, width, height, handleLength, 10);
    slot(cr, width / 2.0 - 2, handleLength / 2.0 - 4, 4, height - handleLength + 8);
}

void horizontalTrack(cairo_t* cr, int width, int height, int handleLength) {
    ticks(cr, false, height, width, handleLength, 20);
    slot(cr, handleLength / 2.0 - 4, height / 2.0 - 2, width - handleLength + 8, 4);
}

void faderHandle(cairo_t* cr, const Style& style, int width, int height, bool vertical) {
    // Shadow, metal cap, grip grooves, accent index line.
    roundedRect(cr, 1, 2, width - 2, height - 2, 2.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_fill(cr);
    roundedRect(cr, 1, 0.5, width - 2, height - 2, 2.5);
    verticalGradient(cr, 0, height, {0.86, 0.87, 0.89}, {0.46, 0.48, 0.51});
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1);
    const int grooves = 3;
    for (int i = -grooves; i <= grooves; ++i) {
        if (i == 0) continue;
        if (vertical) {
            const double y = std::round(height / 2.0 - 1 + i * 2.5) + 0.5;
            cairo_set_source_rgba(cr, 0, 0, 0, 0.30);
            cairo_move_to(cr, 4, y);
            cairo_line_to(cr, width - 4, y);
        } else {
            const double x = std::round(width / 2.0 + i * 2.5) + 0.5;
            cairo_set_source_rgba(cr, 0, 0, 0, 0.30);
            cairo_move_to(cr, x, 4);
            cairo_line_to(cr, x, height - 5);
        }
        cairo_stroke(cr);
    }
    rgb(cr, style.accent);
    if (vertical)
        cairo_rectangle(cr, 3, std::round(height / 2.0) - 2, width - 6, 2);
    else
        cairo_rectangle(cr, std::round(width / 2.0) - 1, 3, 2, height - 7);
    cairo_fill(cr);
}

void toggleButton(cairo_t* cr, const Style& style, int width, int height, const char* legend,
                  bool on) {
    (void)style;
    roundedRect(cr, 0.5, 1.5, width - 1, height - 2, 4);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_fill(cr);
    roundedRect(cr, 0.5, 0.5, width - 1, height - 2, 4);
    if (on)
        verticalGradient(cr, 0, height, {0.17, 0.175, 0.19}, {0.24, 0.25, 0.27});
    else
        verticalGradient(cr, 0, height, {0.30, 0.31, 0.335}, {0.19, 0.20, 0.215});
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    if (!on) {
        cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
        cairo_rectangle(cr, 4, 1.5, width - 8, 1);
        cairo_fill(cr);
    }
    // Lamp.
    const double lx = 14, ly = (height - 1) / 2.0;
    const Rgb lampOn{1.0, 0.26, 0.18};
    if (on) {
        cairo_pattern_t* glow = cairo_pattern_create_radial(lx, ly, 0, lx, ly, 9);
        cairo_pattern_add_color_stop_rgba(glow, 0, lampOn.r, lampOn.g, lampOn.b, 0.55);
        cairo_pattern_add_color_stop_rgba(glow, 1, lampOn.r, lampOn.g, lampOn.b, 0.0);
        cairo_arc(cr, lx, ly, 9, 0, 2 * kPi);
        cairo_set_source(cr, glow);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
    }
    cairo_arc(cr, lx, ly, 3.8, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.03, 0.03, 0.03);
    cairo_fill(cr);
    cairo_arc(cr, lx, ly, 3, 0, 2 * kPi);
    if (on)
        rgb(cr, mix(lampOn, {1, 0.9, 0.8}, 0.25));
    else
        cairo_set_source_rgb(cr, 0.24, 0.09, 0.08);
    cairo_fill(cr);
    text(cr, legend, lx + 10, ly + 3.5, 9, true, on ? Rgb{0.96, 0.96, 0.97} : Rgb{0.66, 0.68, 0.71},
         Align::Left, 1.2);
}

void meterBar(cairo_t* cr, int width, int height, bool lit, const MeterZones& zones) {
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_set_source_rgb(cr, 0.015, 0.015, 0.02);
    cairo_fill(cr);
    const Rgb green{0.25, 0.86, 0.42}, amber{0.98, 0.71, 0.16}, red{1.0, 0.29, 0.21};
    const int pitch = std::max(zones.segment, 1);
    const int inset = width > 6 ? 2 : 1;
    for (int bottom = height; bottom - pitch >= 0; bottom -= pitch) {
        const double p = (height - bottom + pitch / 2.0) / height;
        const Rgb c = p >= zones.redFrom ? red : p >= zones.amberFrom ? amber : green;
        rgb(cr, lit ? c : mix({0.05, 0.055, 0.06}, c, 0.16));
        // Segmented bars keep a one-pixel gap; continuous ones light every pixel.
        const int gap = zones.segment > 1 ? 1 : 0;
        cairo_rectangle(cr, inset, bottom - pitch + gap, width - 2 * inset, pitch - gap);
        cairo_fill(cr);
        if (lit && zones.segment > 1) {
            cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
            cairo_rectangle(cr, inset, bottom - pitch + 1, width - 2 * inset, 1);
            cairo_fill(cr);
        }
    }
}

void accentBar(cairo_t* cr, const Style& style, int width, int height) {
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_set_source_rgb(cr, 0.015, 0.015, 0.02);
    cairo_fill(cr);
    const int inset = width > 6 ? 2 : 1;
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, height);
    const Rgb a = style.accent, light = mix(style.accent, {1, 1, 1}, 0.35);
    cairo_pattern_add_color_stop_rgb(p, 0, light.r, light.g, light.b);
    cairo_pattern_add_color_stop_rgb(p, 1, a.r * 0.7, a.g * 0.7, a.b * 0.7);
    cairo_set_source(cr, p);
    cairo_rectangle(cr, inset, 0, width - 2 * inset, height);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void meterLegend(cairo_t* cr, int width, int top, int meterHeight, const ScaleMark* marks,
                 int count) {
    for (int i = 0; i < count; ++i) {
        const double y = std::round(top + meterHeight * (1.0 - marks[i].position));
        text(cr, marks[i].label, width / 2.0, y + 2.5, 7, false, {0.66, 0.68, 0.71}, Align::Center);
    }
}

void powerButton(cairo_t* cr, const Style& style, int size, bool on) {
    const double c = size / 2.0, r = c - 1.5;
    cairo_arc(cr, c, c + 1, r, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_fill(cr);
    cairo_arc(cr, c, c, r, 0, 2 * kPi);
    if (on)
        verticalGradient(cr, 0, size, {0.17, 0.175, 0.19}, {0.25, 0.26, 0.28});
    else
        verticalGradient(cr, 0, size, {0.33, 0.34, 0.37}, {0.18, 0.19, 0.205});
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    const Rgb glyph = on ? style.accent : Rgb{0.55, 0.57, 0.60};
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2);
    rgb(cr, glyph);
    cairo_arc(cr, c, c + 1, r * 0.45, -kPi / 2 + 0.7, 1.5 * kPi - 0.7);
    cairo_stroke(cr);
    cairo_move_to(cr, c, c - r * 0.55);
    cairo_line_to(cr, c, c);
    cairo_stroke(cr);
}

void lampButton(cairo_t* cr, const Style& style, int width, int height, bool on) {
    roundedRect(cr, 0.5, 1.5, width - 1, height - 2, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_fill(cr);
    roundedRect(cr, 0.5, 0.5, width - 1, height - 2, 3);
    verticalGradient(cr, 0, height, {0.31, 0.32, 0.345}, {0.19, 0.20, 0.215});
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    const double lx = width / 2.0, ly = (height - 1) / 2.0;
    if (on) {
        cairo_pattern_t* glow = cairo_pattern_create_radial(lx, ly, 0, lx, ly, 8);
        cairo_pattern_add_color_stop_rgba(glow, 0, style.accent.r, style.accent.g, style.accent.b,
                                          0.6);
        cairo_pattern_add_color_stop_rgba(glow, 1, style.accent.r, style.accent.g, style.accent.b,
                                          0.0);
        cairo_arc(cr, lx, ly, 8, 0, 2 * kPi);
        cairo_set_source(cr, glow);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
    }
    cairo_rectangle(cr, lx - 5, ly - 2, 10, 4);
    rgb(cr, on ? mix(style.accent, {1, 1, 1}, 0.2) : mix({0.05, 0.05, 0.06}, style.accent, 0.2));
    cairo_fill(cr);
}

}  // namespace qx::skin
