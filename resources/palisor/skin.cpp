// The palisor skin: cyan accent, the meter bridge in the middle with its four output scales,
// dynamics knobs left and right.
#include <algorithm>

#include "resources/painter/skin.h"
#include "resources/palisor/palisor_layout.h"

namespace qx::skin {

using namespace qx::palisor;

namespace {

// Meter position of a level in dBFS: the inverse of the trim's gain curve (two straight
// segments, -72..-36 dB over the first seventh).
double meterPosition(double db) {
    if (db >= 0) return 1.0;
    if (db >= -36) return (db + 36) / 42 + 1.0 / 7;
    return std::max(0.0, (db + 72) / 252);
}

MeterZones kZones(double k) {
    return kScaleZones(k, meterPosition);
}

BitmapSpec legend(int id, double k) {
    return kScaleLegend(id, 18, 258, k, meterPosition, kMeterTop - kLegendTop, kMeterHeight);
}

BitmapSpec textStrip() {
    return {kTextStrip, 251, 10, [](cairo_t* cr, const Style&) {
                cairo_set_source_rgb(cr, 0.035, 0.037, 0.04);
                cairo_paint(cr);
                cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
                cairo_rectangle(cr, 0, 0, 251, 1);
                cairo_fill(cr);
            }};
}

BitmapSpec smallButton() {
    return {kSmallButton, 22, 40, [](cairo_t* cr, const Style& style) {
                lampButton(cr, style, 22, 20, false);
                cairo_translate(cr, 0, 20);
                lampButton(cr, style, 22, 20, true);
            }};
}

BitmapSpec bypassButton() {
    return {kBypassButton, 33, 66, [](cairo_t* cr, const Style& style) {
                powerButton(cr, style, 33, false);
                cairo_translate(cr, 0, 33);
                powerButton(cr, style, 33, true);
            }};
}

}  // namespace

SkinDescription describeSkin() {
    SkinDescription skin;
    skin.name = "palisor";
    skin.title = "PALISOR";
    skin.subtitle = "MASTERING LIMITER";
    skin.width = kWidth;
    skin.height = kHeight;
    skin.style.accent = {0.22, 0.72, 0.93};
    skin.headerBand = false;
    skin.layout = kLayout;
    skin.decorate = [](cairo_t* cr, const Style& style) {
        text(cr, "PALISOR", 18, 30, 19, true, {0.93, 0.93, 0.94}, Align::Left, 1.2);
        text(cr, "MASTERING LIMITER", 588, 30, 8.5, true, style.accent, Align::Right, 1.4);
        // The layout is dense: plain boxes, the captions name everything.
        section(cr, style, {10, 40, 166, 388}, "");
        section(cr, style, {211, 40, 392, 388}, "");
        section(cr, style, {436, 112, 590, 388}, "");
        const struct {
            int left;
            const char* label;
        } scales[] = {{488, "PEAK"}, {513, "K12"}, {538, "K14"}, {563, "K20"}};
        for (const auto& b : scales)
            text(cr, b.label, b.left + 11, 55, 7.5, true, {0.74, 0.75, 0.78}, Align::Center);
        const struct {
            int centre;
            const char* label;
        } groups[] = {{256, "GR"}, {303, "COR"}, {355, "OUT"}};
        for (const auto& g : groups)
            text(cr, g.label, g.centre, 64, 8, true, {0.66, 0.68, 0.71}, Align::Center, 1.0);
    };
    skin.bitmaps = {
        verticalTrackBitmap(kSliderTrack, 15, 286, 34),
        faderHandleBitmap(kSliderHandle, 15, 34, true),
        meterBarBitmap(kMeterUnlit, 9, kMeterHeight, false, kZones(0)),
        meterBarBitmap(kMeterPeak, 9, kMeterHeight, true,
                       {meterPosition(-6), meterPosition(-1), 0}),
        meterBarBitmap(kMeterK12, 9, kMeterHeight, true, kZones(12)),
        meterBarBitmap(kMeterK14, 9, kMeterHeight, true, kZones(14)),
        meterBarBitmap(kMeterK20, 9, kMeterHeight, true, kZones(20)),
        legend(kLegendPeak, 0),
        legend(kLegendK12, 12),
        legend(kLegendK14, 14),
        legend(kLegendK20, 20),
        {kAccentBar, 9, kMeterHeight,
         [](cairo_t* cr, const Style& s) { accentBar(cr, s, 9, kMeterHeight); }},
        knobStrip(kKnob50, 50, kKnobFrames),
        bipolarKnobStrip(kKnob50Bipolar, 50, kKnobFrames),
        knobStrip(kKnob70, 70, kKnobFrames),
        bipolarKnobStrip(kKnob70Bipolar, 70, kKnobFrames),
        bypassButton(),
        smallButton(),
        textStrip(),
    };
    return skin;
}

}  // namespace qx::skin
