// The quassel skin: green-teal accent, the band display in the middle with its page buttons,
// the input fader at the left and the output fader with its meters at the right.
#include <algorithm>
#include <cmath>

#include "resources/painter/skin.h"
#include "resources/quassel/quassel_layout.h"

namespace qx::skin {

using namespace qx::quassel;

namespace {

// Position of a level in dBFS on the faders' and meters' travel: two straight segments,
// -72..-36 dB over the first seventh.
double travelPosition(double db) {
    if (db >= 0) return 1.0;
    if (db >= -36) return (db + 36) / 42 + 1.0 / 7;
    return std::max(0.0, (db + 72) / 252);
}

const char* const kPageLegends[6] = {"GAIN", "THRES", "RATIO", "ATT", "REL", "WARM"};

BitmapSpec pageButton(int family) {
    return toggleButtonBitmap(kPageButton + family, 70, 22, kPageLegends[family]);
}

BitmapSpec textStrip() {
    return {kTextStrip, kBandWidth, 16, [](cairo_t* cr, const Style&) {
                cairo_set_source_rgb(cr, 0.035, 0.037, 0.04);
                cairo_paint(cr);
                cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
                cairo_rectangle(cr, 0, 0, kBandWidth, 1);
                cairo_fill(cr);
            }};
}

// dB marks beside a fader or meter of the travel's height starting at kFaderTop.
void travelMarks(cairo_t* cr, int x, int width) {
    const gui::CRect column = gui::CRect::sized(x, kFaderTop, width, kFaderHeight);
    const struct {
        double db;
        const char* text;
    } marks[] = {{0, "0"}, {-6, "-6"}, {-12, "-12"}, {-24, "-24"}, {-36, "-36"}, {-72, "-72"}};
    for (const auto& mark : marks) meterMark(cr, column, travelPosition(mark.db), mark.text);
}

}  // namespace

SkinDescription describeSkin() {
    SkinDescription skin;
    skin.name = "quassel";
    skin.title = "QUASSEL";
    skin.subtitle = "MULTIBAND COMPRESSOR";
    skin.width = kWidth;
    skin.height = kHeight;
    skin.style.accent = {0.22, 0.80, 0.62};
    skin.layout = kLayout;
    skin.decorate = [](cairo_t* cr, const Style& style) {
        section(cr, style, {kInputLeft, kTop, kInputRight, kSectionBottom}, "INPUT");
        section(cr, style, {kCentreLeft, kTop, kCentreRight, kSectionBottom}, "");
        section(cr, style, {kOutputLeft, kTop, kOutputRight, kSectionBottom}, "OUTPUT");
        // The band display's well, with a grid of the dB travel behind the bars.
        well(cr, gui::CRect::sized(kBandLeft - 2, kBandTop - 2, kBandWidth + 4, kBandHeight + 4));
        cairo_set_source_rgba(cr, 1, 1, 1, 0.06);
        for (double db : {-6.0, -12.0, -24.0, -36.0}) {
            const double y = kBandTop + (1.0 - travelPosition(db)) * kBandHeight + 0.5;
            cairo_move_to(cr, kBandLeft, y);
            cairo_line_to(cr, kBandLeft + kBandWidth, y);
        }
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
        travelMarks(cr, 59, 26);
        travelMarks(cr, 644, 26);
        const Rgb grey{0.55, 0.57, 0.60};
        text(cr, "L", kMeterX[0] + 5, kFaderTop + kFaderHeight + 14, 8, true, grey, Align::Center);
        text(cr, "R", kMeterX[1] + 5, kFaderTop + kFaderHeight + 14, 8, true, grey, Align::Center);
        // The information label.
        text(cr, "Up to 20 ERB bands  |  latency 1024 samples", kInputLeft + 2, kSectionBottom + 9,
             7, false, grey);
    };
    skin.bitmaps = {
        knobStrip(kKnobStrip, kKnobSize, kKnobFrames),
        verticalTrackBitmap(kFaderTrack, 26, kFaderHeight, kHandleLength),
        faderHandleBitmap(kFaderHandle, 24, kHandleLength, true),
        meterBarBitmap(kMeterUnlit, 10, kFaderHeight, false,
                       {travelPosition(-12), travelPosition(-3), 4}),
        meterBarBitmap(kMeterLit, 10, kFaderHeight, true,
                       {travelPosition(-12), travelPosition(-3), 4}),
        toggleButtonBitmap(kBypassButton, 76, 24, "BYPASS"),
        toggleButtonBitmap(kWarmthButton, 76, 24, "WARMTH"),
        pageButton(0),
        pageButton(1),
        pageButton(2),
        pageButton(3),
        pageButton(4),
        pageButton(5),
        textStrip(),
    };
    return skin;
}

}  // namespace qx::skin
