// The spreadix skin: cyan accent like the scope's dots, the stage section (goniometer and the
// two pan strips), the width knobs, and the output with level fader, VU meter and switches.
#include <cmath>

#include "resources/painter/skin.h"
#include "resources/spreadix/spreadix_layout.h"

namespace qx::skin {

using namespace qx::spreadix;

SkinDescription describeSkin() {
    SkinDescription skin;
    skin.name = "spreadix";
    skin.title = "SPREADIX";
    skin.subtitle = "STEREO SPREADER";
    skin.width = kWidth;
    skin.height = kHeight;
    skin.style.accent = {0.35, 0.85, 0.90};
    skin.layout = kLayout;
    skin.decorate = [](cairo_t* cr, const Style& style) {
        section(cr, style, {kStageLeft, kTop, kStageRight, kBottom}, "STAGE");
        section(cr, style, {kRightLeft, kTop, kRightRight, kKnobBottom}, "WIDTH");
        section(cr, style, {kRightLeft, kOutputTop, kRightRight, kBottom}, "OUTPUT");
        // The meter shows 0.9 times the linear peak: mark its dB points.
        const gui::CRect meter = gui::CRect::sized(kMeterCentre - 6, kFaderTop, 12, kFaderHeight);
        const struct {
            double db;
            const char* text;
        } marks[] = {{0, "0"}, {-6, "-6"}, {-12, "-12"}, {-20, "-20"}};
        for (const auto& mark : marks)
            meterMark(cr, meter, 0.9 * std::pow(10.0, mark.db / 20), mark.text);
        // Pan legends: the stage runs from 200 % left to 200 % right, loudspeakers at 100 %.
        const Rgb legend{0.55, 0.57, 0.60};
        for (int row = 0; row < 2; ++row) {
            const double y = kPanY[row] + 29;
            text(cr, "L200", kPanX + 9, y, 7, true, legend, Align::Center);
            text(cr, "C", kPanX + kPanWidth / 2.0, y, 7, true, legend, Align::Center);
            text(cr, "R200", kPanX + kPanWidth - 9, y, 7, true, legend, Align::Center);
        }
    };
    skin.bitmaps = {
        knobStrip(kKnobStrip, kKnobSize, kKnobFrames),
        verticalTrackBitmap(kLevelTrack, 30, kFaderHeight, 18),
        faderHandleBitmap(kLevelHandle, 28, 18, true),
        horizontalTrackBitmap(kPanTrack, kPanWidth, 22, 18),
        faderHandleBitmap(kPanHandle, 18, 22, false),
        toggleButtonBitmap(kDipoleButton, kButtonWidth, 26, "DIPOLE"),
        toggleButtonBitmap(kBypassButton, kButtonWidth, 26, "BYPASS"),
        meterBarBitmap(kMeterUnlit, 12, kFaderHeight, false),
        meterBarBitmap(kMeterLit, 12, kFaderHeight, true),
    };
    return skin;
}

}  // namespace qx::skin
