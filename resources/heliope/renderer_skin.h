// The painted skin both headphone renderers share: head section left, output meters with
// their level scale and the trim in the middle, room section right, menus along the bottom.
// Each renderer's skin source picks its name, title, accent colour and layout.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>

#include "resources/heliope/heliope_layout.h"
#include "resources/painter/skin.h"

namespace qx::skin::renderer {

using namespace qx::heliope;

// Meter and trim position of a level in dB: -72 at 0, -36 at 1/7, 0 at 1.
inline double scalePosition(double db) {
    if (db >= 0) return 1.0;
    if (db >= -36) return (db + 36) / 42 + 1.0 / 7;
    return std::max(0.0, (db + 72) / 252);
}

inline SkinDescription describe(const char* name, const char* title, const char* subtitle,
                                Rgb accent, std::span<const gui::ControlLayout> layout) {
    SkinDescription skin;
    skin.name = name;
    skin.title = title;
    skin.subtitle = subtitle;
    skin.width = kWidth;
    skin.height = kHeight;
    skin.style.accent = accent;
    skin.headerBand = false;
    skin.layout = layout;
    skin.decorate = [title, subtitle](cairo_t* cr, const Style& style) {
        text(cr, title, 588, 30, 19, true, {0.93, 0.93, 0.94}, Align::Right, 1.2);
        text(cr, subtitle, 588, 44, 8, true, style.accent, Align::Right, 1.4);
        section(cr, style, {14, 80, 246, 340}, "HEAD");
        section(cr, style, {354 + 8, 80, 588, 340}, "ROOM");
        section(cr, style, {14, 356, 246, 396}, "");
        section(cr, style, {362, 356, 588, 396}, "");
        text(cr, "L", kMeterLeft[0] + 4.5, 64, 8, true, {0.66, 0.68, 0.71}, Align::Center);
        text(cr, "R", kMeterLeft[1] + 4.5, 64, 8, true, {0.66, 0.68, 0.71}, Align::Center);
        // The level scale between the two meters; the trim beside them uses the same one.
        const double centre = 0.5 * (kMeterLeft[0] + 9 + kMeterLeft[1]);
        for (int db : kScaleMarksDb) {
            const double y = kMeterTop + kMeterHeight * (1.0 - scalePosition(db));
            cairo_set_source_rgba(cr, 0.75, 0.77, 0.80, 0.55);
            cairo_set_line_width(cr, 1.0);
            cairo_move_to(cr, kMeterLeft[0] + 10, std::round(y) + 0.5);
            cairo_line_to(cr, kMeterLeft[0] + 12, std::round(y) + 0.5);
            cairo_move_to(cr, kMeterLeft[1] - 3, std::round(y) + 0.5);
            cairo_line_to(cr, kMeterLeft[1] - 1, std::round(y) + 0.5);
            cairo_stroke(cr);
            char label[16];
            std::snprintf(label, sizeof label, "%d", -db);
            text(cr, label, centre, y + 2.5, 6.5, false, {0.70, 0.72, 0.75}, Align::Center);
        }
        text(cr, "dB", centre, kMeterTop + kMeterHeight + 10, 6.5, false, {0.55, 0.57, 0.60},
             Align::Center);
    };
    skin.bitmaps = {
        verticalTrackBitmap(kSliderTrack, 15, 286, 34),
        faderHandleBitmap(kSliderHandle, 15, 34, true),
        meterBarBitmap(kMeterUnlit, 9, kMeterHeight, false,
                       {scalePosition(-12), scalePosition(-3), 4}),
        meterBarBitmap(kMeterLit, 9, kMeterHeight, true,
                       {scalePosition(-12), scalePosition(-3), 4}),
        knobStrip(kKnob, kKnobSize, kKnobFrames),
        toggleButtonBitmap(kButton, kButtonWidth, kButtonHeight, ""),
        {kTextStrip, 300, 11,
         [](cairo_t* cr, const Style&) {
             cairo_set_source_rgb(cr, 0.035, 0.037, 0.04);
             cairo_paint(cr);
             cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
             cairo_rectangle(cr, 0, 0, 300, 1);
             cairo_fill(cr);
         }},
    };
    return skin;
}

}  // namespace qx::skin::renderer
