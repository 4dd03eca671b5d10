// The spectrel skin: green accent, the spectrum display on the left, the meter bridge (mid
// and side, correlation, left and right) with its four output scales on the right.
#include <algorithm>
#include <cstdio>

#include "resources/painter/skin.h"
#include "resources/spectrel/spectrel_layout.h"

namespace qx::skin {

using namespace qx::spectrel;

namespace {

// Meter position of a level in dBFS: two straight segments, -72..-36 dB over the first
// seventh (as the editor places its readings).
double meterPosition(double db) {
    if (db >= 0) return 1.0;
    if (db >= -36) return (db + 36) * 0.023699295 + 1.0 / 7;
    return std::max(0.0, (db + 72) * 0.003968254);
}

MeterZones kZones(double k) {
    return kScaleZones(k, meterPosition);
}

BitmapSpec legend(int id, double k) {
    return kScaleLegend(id, 18, 258, k, meterPosition, kMeterTop - kLegendTop, kMeterHeight);
}

// The display: a dark glass with the level lines of the power axis (every 12 dB) and a
// darker strip below the plot for the frequency labels the view writes.
BitmapSpec spectrumBackground() {
    return {kSpectrumBackground, kSpectrumWidth, kSpectrumHeight, [](cairo_t* cr, const Style&) {
                cairo_pattern_t* glass = cairo_pattern_create_linear(0, 0, 0, kPlotHeight);
                cairo_pattern_add_color_stop_rgb(glass, 0, 0.055, 0.075, 0.07);
                cairo_pattern_add_color_stop_rgb(glass, 1, 0.03, 0.04, 0.038);
                cairo_set_source(cr, glass);
                cairo_paint(cr);
                cairo_pattern_destroy(glass);
                cairo_set_source_rgb(cr, 0.02, 0.025, 0.025);
                cairo_rectangle(cr, 0, kPlotHeight + 1, kSpectrumWidth,
                                kSpectrumHeight - kPlotHeight - 1);
                cairo_fill(cr);
                cairo_set_line_width(cr, 1.0);
                for (int db = 0; db >= -60; db -= 12) {
                    // Power dB on the level segments: 10 log10 P takes the place of 20 log10 x.
                    const double y = (1.0 - meterPosition(db)) * kPlotHeight;
                    cairo_set_source_rgba(cr, 0.45, 0.6, 0.55, db == 0 ? 0.35 : 0.18);
                    cairo_move_to(cr, 0, static_cast<int>(y) + 0.5);
                    cairo_line_to(cr, kSpectrumWidth, static_cast<int>(y) + 0.5);
                    cairo_stroke(cr);
                    char label[8];
                    std::snprintf(label, sizeof label, "%d", db);
                    text(cr, label, kSpectrumWidth - 3, y + (db == 0 ? 9 : -2), 7, false,
                         {0.45, 0.55, 0.52}, Align::Right);
                }
                cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
                cairo_rectangle(cr, 0, 0, kSpectrumWidth, 1);
                cairo_fill(cr);
            }};
}

BitmapSpec smallButton() {
    return {kButton, 22, 40, [](cairo_t* cr, const Style& style) {
                lampButton(cr, style, 22, 20, false);
                cairo_translate(cr, 0, 20);
                lampButton(cr, style, 22, 20, true);
            }};
}

}  // namespace

SkinDescription describeSkin() {
    SkinDescription skin;
    skin.name = "spectrel";
    skin.title = "SPECTREL";
    skin.subtitle = "ANALYZER";
    skin.width = kWidth;
    skin.height = kHeight;
    skin.style.accent = {0.35, 0.86, 0.55};
    skin.headerBand = false;
    skin.layout = kLayout;
    skin.decorate = [](cairo_t* cr, const Style& style) {
        text(cr, "SPECTREL", 18, 30, 19, true, {0.93, 0.93, 0.94}, Align::Left, 1.2);
        text(cr, "STEREO ANALYZER", 588, 30, 8.5, true, style.accent, Align::Right, 1.4);
        section(cr, style, {10, 40, 400, 398}, "");
        section(cr, style, {404, 40, 590, 398}, "");
        const struct {
            int centre;
            const char* label;
        } groups[] = {{437, "M / S"}, {484, "COR"}, {536, "L / R"}};
        for (const auto& g : groups)
            text(cr, g.label, g.centre, 62, 8, true, {0.66, 0.68, 0.71}, Align::Center, 1.0);
        text(cr, "SPECTRUM", 56, 62, 8, true, {0.66, 0.68, 0.71}, Align::Left, 1.0);
        text(cr, "PEAK HOLD", 537, 341, 7, true, {0.56, 0.58, 0.61}, Align::Center, 0.6);
        // Correlation marks: +1 at the top, 0 in the middle, -1 at the bottom.
        const gui::CRect cor = gui::CRect::sized(480, kMeterTop, 9, kMeterHeight);
        meterMark(cr, cor, 1.0, "");
        meterMark(cr, cor, 0.5, "");
        meterMark(cr, cor, 0.0, "");
    };
    skin.bitmaps = {
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
        {kCorrelationBar, 9, kMeterHeight,
         [](cairo_t* cr, const Style& s) { accentBar(cr, s, 9, kMeterHeight); }},
        spectrumBackground(),
        smallButton(),
    };
    return skin;
}

}  // namespace qx::skin
