// The look both compressor skins share: sections around the transfer-curve display and the
// four control groups, the information text, and the knob and button bitmaps. Each build's
// skin source picks its accent and subtitle.
#pragma once

#include "resources/painter/skin.h"
#include "resources/red_thuddo/red_thuddo_layout.h"

namespace qx::skin {

inline SkinDescription describeCompressorSkin(const char* name, const char* subtitle, Rgb accent,
                                              const char* info) {
    using namespace qx::red_thuddo;
    SkinDescription skin;
    skin.name = name;
    skin.title = "RED THUDDO";
    skin.subtitle = subtitle;
    skin.width = kWidth;
    skin.height = kHeight;
    skin.style.accent = accent;
    skin.layout = kLayout;
    skin.decorate = [info](cairo_t* cr, const Style& style) {
        section(cr, style,
                {kDisplaySectionLeft, kRowTop[0], kDisplaySectionRight, kRowTop[3] + kRowHeight},
                "TRANSFER CURVE");
        const char* titles[4] = {"SIDE CHAIN", "GAIN CURVE", "TIMING", "OUTPUT"};
        for (int row = 0; row < 4; ++row)
            section(cr, style, {kGridLeft, kRowTop[row], kGridRight, kRowTop[row] + kRowHeight},
                    titles[row]);
        const Rgb dim{0.55, 0.57, 0.60};
        text(cr, info, kDisplayX, kInfoTop + 10, 8.5, false, dim);
        text(cr, "Click the gain bars to restart their minimum and maximum.", kDisplayX,
             kInfoTop + 24, 8.5, false, dim);
    };
    skin.bitmaps = {
        knobStrip(kKnobStrip, kKnobSize, kKnobFrames),
        bipolarKnobStrip(kBipolarKnobStrip, kKnobSize, kKnobFrames),
        toggleButtonBitmap(kSidechainButton, kButtonWidth, kButtonHeight, "SIDECHAIN"),
        toggleButtonBitmap(kMonoButton, kButtonWidth, kButtonHeight, "MONO"),
        toggleButtonBitmap(kListenButton, kButtonWidth, kButtonHeight, "LISTEN"),
        toggleButtonBitmap(kSoftKneeButton, kButtonWidth, kButtonHeight, "SOFT KNEE"),
        toggleButtonBitmap(kReleaseCurveButton, kButtonWidth, kButtonHeight, "REL CURVE"),
        toggleButtonBitmap(kLimiterButton, kButtonWidth, kButtonHeight, "LIMITER"),
        toggleButtonBitmap(kBypassButton, kButtonWidth, kButtonHeight, "BYPASS"),
    };
    return skin;
}

}  // namespace qx::skin
