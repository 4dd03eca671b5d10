// The eraslip skin: amber accent, two knob sections in signal order, the output section with
// fader and level meter, the pan strip and the hint line.
#include <cmath>

#include "resources/eraslip/eraslip_layout.h"
#include "resources/painter/skin.h"

namespace qx::skin {

using namespace qx::eraslip;

SkinDescription describeSkin() {
    SkinDescription skin;
    skin.name = "eraslip";
    skin.title = "ERASLIP";
    skin.subtitle = "LO-FI SAMPLER EMULATOR";
    skin.width = kWidth;
    skin.height = kHeight;
    skin.style.accent = {0.93, 0.60, 0.17};
    skin.layout = kLayout;
    skin.decorate = [](cairo_t* cr, const Style& style) {
        section(cr, style, {kSectionLeft, kSectionTop[0], kSectionRight, kSectionTop[0] + 122},
                "CONVERTER INPUT");
        section(cr, style, {kSectionLeft, kSectionTop[1], kSectionRight, kSectionTop[1] + 122},
                "SAMPLER");
        section(cr, style, {kOutputLeft, kSectionTop[0], kOutputRight, kSectionTop[1] + 122},
                "OUTPUT");
        section(cr, style, {kSectionLeft, kPanTop, kOutputRight, kPanBottom}, "");
        // The meter shows 0.9 times the linear peak: mark its dB points.
        const gui::CRect meter = gui::CRect::sized(kMeterCentre - 6, kMeterTop, 12, kMeterHeight);
        const struct {
            double db;
            const char* text;
        } marks[] = {{0, "0"}, {-3, "-3"}, {-6, "-6"}, {-12, "-12"}, {-20, "-20"}};
        for (const auto& mark : marks)
            meterMark(cr, meter, 0.9 * std::pow(10.0, mark.db / 20), mark.text);
        // Pan end legends.
        text(cr, "L", 130 - 2, kPanTop + 37, 8, true, {0.55, 0.57, 0.60}, Align::Center);
        text(cr, "C", 130 + 150, kPanTop + 37, 8, true, {0.55, 0.57, 0.60}, Align::Center);
        text(cr, "R", 130 + 302, kPanTop + 37, 8, true, {0.55, 0.57, 0.60}, Align::Center);
    };
    skin.bitmaps = {
        knobStrip(kKnobStrip, kKnobSize, kKnobFrames),
        verticalTrackBitmap(kOutTrack, 30, kMeterHeight, 18),
        faderHandleBitmap(kOutHandle, 28, 18, true),
        horizontalTrackBitmap(kPanTrack, 300, 22, 18),
        faderHandleBitmap(kPanHandle, 18, 22, false),
        toggleButtonBitmap(kBypassButton, 76, 26, "BYPASS"),
        meterBarBitmap(kMeterUnlit, 12, kMeterHeight, false),
        meterBarBitmap(kMeterLit, 12, kMeterHeight, true),
    };
    return skin;
}

}  // namespace qx::skin
