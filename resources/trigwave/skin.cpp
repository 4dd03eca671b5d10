// The trigwave skin: violet accent, trigger, envelopes, filter and reverb on the left, the
// output column with the trim fader and the two meters on the right.
#include <algorithm>
#include <cmath>

#include "resources/painter/skin.h"
#include "resources/trigwave/trigwave_layout.h"

namespace qx::skin {

using namespace qx::trigwave;

namespace {

constexpr Rgb kLampLit{0.98, 0.36, 0.86};

// Meter position of a level in dBFS: the inverse of the trim's gain curve (-72..-36 dB over
// the first seventh, -36..0 dB over the rest).
double meterPosition(double db) {
    if (db >= 0) return 1.0;
    if (db >= -36) return (db + 36) / 42 + 1.0 / 7;
    return std::max(0.0, (db + 72) / 252);
}

// The onset lamp: a jewel in a bezel, dark above lit.
void lamp(cairo_t* cr, int size, bool lit) {
    const double c = size / 2.0;
    cairo_arc(cr, c, c + 0.5, c - 0.5, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_fill(cr);
    cairo_arc(cr, c, c, c - 2, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.09, 0.09, 0.10);
    cairo_fill(cr);
    if (lit) {
        cairo_pattern_t* glow = cairo_pattern_create_radial(c, c, 0, c, c, c);
        cairo_pattern_add_color_stop_rgba(glow, 0, 1, 0.9, 1, 1);
        cairo_pattern_add_color_stop_rgba(glow, 0.45, kLampLit.r, kLampLit.g, kLampLit.b, 1);
        cairo_pattern_add_color_stop_rgba(glow, 1, kLampLit.r * 0.5, kLampLit.g * 0.3,
                                          kLampLit.b * 0.5, 1);
        cairo_set_source(cr, glow);
        cairo_arc(cr, c, c, c - 3, 0, 2 * M_PI);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
    } else {
        cairo_pattern_t* dark = cairo_pattern_create_radial(c - 2, c - 2, 0, c, c, c - 3);
        cairo_pattern_add_color_stop_rgb(dark, 0, 0.30, 0.14, 0.28);
        cairo_pattern_add_color_stop_rgb(dark, 1, 0.13, 0.06, 0.12);
        cairo_set_source(cr, dark);
        cairo_arc(cr, c, c, c - 3, 0, 2 * M_PI);
        cairo_fill(cr);
    }
    // Specular highlight.
    cairo_set_source_rgba(cr, 1, 1, 1, lit ? 0.45 : 0.18);
    cairo_arc(cr, c - 2.5, c - 3, 2.2, 0, 2 * M_PI);
    cairo_fill(cr);
}

BitmapSpec lampStrip() {
    return {kLamp, 22, 44, [](cairo_t* cr, const Style&) {
                lamp(cr, 22, false);
                cairo_translate(cr, 0, 22);
                lamp(cr, 22, true);
            }};
}

BitmapSpec switchStrip() {
    return {kSwitch, 30, 32, [](cairo_t* cr, const Style& style) {
                lampButton(cr, style, 30, 16, false);
                cairo_translate(cr, 0, 16);
                lampButton(cr, style, 30, 16, true);
            }};
}

// A small momentary push button with its legend.
BitmapSpec resetButton() {
    return {kResetButton, 44, 18, [](cairo_t* cr, const Style&) {
                cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
                cairo_rectangle(cr, 0.5, 1.5, 43, 16);
                cairo_fill(cr);
                cairo_pattern_t* face = cairo_pattern_create_linear(0, 0, 0, 18);
                cairo_pattern_add_color_stop_rgb(face, 0, 0.31, 0.32, 0.345);
                cairo_pattern_add_color_stop_rgb(face, 1, 0.19, 0.20, 0.215);
                cairo_set_source(cr, face);
                cairo_rectangle(cr, 0.5, 0.5, 43, 16);
                cairo_fill_preserve(cr);
                cairo_pattern_destroy(face);
                cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
                cairo_set_line_width(cr, 1);
                cairo_stroke(cr);
                cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
                cairo_rectangle(cr, 3, 1.5, 38, 1);
                cairo_fill(cr);
                text(cr, "RESET", 22, 12, 8, true, {0.80, 0.81, 0.84}, Align::Center, 1.0);
            }};
}

void decorate(cairo_t* cr, const Style& style) {
    // Header band: the logo on the left, the vendor mark beside the bypass button.
    cairo_pattern_t* band = cairo_pattern_create_linear(0, 0, 0, 52);
    cairo_pattern_add_color_stop_rgb(band, 0, 0.10, 0.105, 0.115);
    cairo_pattern_add_color_stop_rgb(band, 1, 0.145, 0.15, 0.165);
    cairo_set_source(cr, band);
    cairo_rectangle(cr, 0, 0, kWidth, 52);
    cairo_fill(cr);
    cairo_pattern_destroy(band);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_rectangle(cr, 0, 51, kWidth, 1);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
    cairo_rectangle(cr, 0, 52, kWidth, 1);
    cairo_fill(cr);
    logo(cr, style, 21, 33, "TRIGWAVE", "TRIGGERED SPECTRAL HOLD");
    text(cr, "QX", 672, 31, 11, true, {0.45, 0.47, 0.50}, Align::Right, 2.0);

    section(cr, style, kTriggerBox, "TRIGGER");
    section(cr, style, kAmpBox, "AMP ENVELOPE");
    section(cr, style, kFilterBox, "FILTER");
    section(cr, style, kFilterEnvBox, "FILTER ENVELOPE");
    section(cr, style, kSpectrumBox, "SPECTRUM");
    section(cr, style, kReverbBox, "REVERB");
    section(cr, style, kOutputBox, "OUTPUT");

    // Meter scale: dBFS marks at their places on the trim's curve.
    const gui::CRect meter = gui::CRect::sized(kMeterLeft[0], kMeterTop, kMeterWidth, kMeterHeight);
    const struct {
        double db;
        const char* text;
    } marks[] = {{0, "0"},     {-6, "-6"},   {-12, "-12"}, {-18, "-18"},
                 {-24, "-24"}, {-36, "-36"}, {-72, "-72"}};
    for (const auto& mark : marks) meterMark(cr, meter, meterPosition(mark.db), mark.text);
    // A rule between the fader and the meters.
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_rectangle(cr, 682, kMeterTop - 22, 1, kMeterHeight + 48);
    cairo_fill(cr);
}

}  // namespace

SkinDescription describeSkin() {
    SkinDescription skin;
    skin.name = "trigwave";
    skin.title = "TRIGWAVE";
    skin.subtitle = "TRIGGERED SPECTRAL HOLD";
    skin.width = kWidth;
    skin.height = kHeight;
    skin.style.accent = {0.72, 0.46, 0.98};
    skin.headerBand = false;  // painted by decorate, with room for the bypass button
    skin.layout = kLayout;
    skin.decorate = decorate;
    skin.bitmaps = {
        knobStrip(kKnob, kKnobSize, kKnobFrames),
        bipolarKnobStrip(kKnobBipolar, kKnobSize, kKnobFrames),
        verticalTrackBitmap(kTrimTrack, 22, kMeterHeight, 30),
        faderHandleBitmap(kTrimHandle, 22, 30, true),
        meterBarBitmap(kMeterUnlit, kMeterWidth, kMeterHeight, false,
                       {meterPosition(-12), meterPosition(-3), 4}),
        meterBarBitmap(kMeterLit, kMeterWidth, kMeterHeight, true,
                       {meterPosition(-12), meterPosition(-3), 4}),
        toggleButtonBitmap(kBypassButton, 84, 26, "BYPASS"),
        switchStrip(),
        lampStrip(),
        resetButton(),
    };
    return skin;
}

}  // namespace qx::skin
