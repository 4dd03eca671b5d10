// The spreadix editor's layout: bitmaps, controls and where they sit on the 640 x 400
// background. The editor builds its controls from these rows; the skin painter labels them.
#pragma once

#include "effects/spreadix/spreadix_params.h"
#include "gui/layout.h"

namespace qx::spreadix {

enum Bitmap : int {
    kBackground = 1024,
    kKnobStrip = 1026,     // 56 x 56, 65 frames
    kLevelTrack = 1027,    // 30 x 100
    kLevelHandle = 1028,   // 28 x 18
    kPanTrack = 1029,      // 190 x 22
    kPanHandle = 1030,     // 18 x 22
    kDipoleButton = 1031,  // 110 x 26, two frames
    kBypassButton = 1032,  // 110 x 26, two frames
    kMeterUnlit = 1033,    // 12 x 100, 25 segments
    kMeterLit = 1034,      // 12 x 100
};

constexpr int kWidth = 640;
constexpr int kHeight = 400;
constexpr int kKnobSize = 56;
constexpr int kKnobFrames = 65;

// Command tags (parameter tags are the indices of spreadix_params.h).
enum Command : int {
    // Peak-hold read-out under the VU meter; a click clears the hold.
    kPeakReadout = 101,
};

// The stage section (scope and pans) on the left, the width knobs and the output on the right.
constexpr int kStageLeft = 14, kStageRight = 330, kTop = 60, kBottom = 360;
constexpr int kRightLeft = 340, kRightRight = 626;
constexpr int kKnobBottom = kTop + 122;
constexpr int kOutputTop = kKnobBottom + 10;

constexpr int kScopeX = 28, kScopeY = 84, kScopeWidth = 288, kScopeHeight = 180;
constexpr int kPanX = 84, kPanWidth = 180, kPanDisplayCentre = 294;
constexpr int kPanY[2] = {280, 316};

constexpr int kColumn[3] = {388, 483, 578};
constexpr int kLevelCentre = 380, kMeterCentre = 440, kFaderTop = 222, kFaderHeight = 100;
constexpr int kMeterSegments = 25;  // 4 pixels each
// The bar falls by a full scale in a little under a second.
constexpr float kMeterFallPerSecond = 1.2f;
constexpr int kButtonX = 500, kButtonWidth = 110;

constexpr gui::ControlLayout knob(int tag, int column, const char* caption) {
    return {gui::ControlKind::AnimKnob,
            tag,
            kColumn[column] - kKnobSize / 2,
            kTop + 32,
            kKnobSize,
            kKnobSize,
            kKnobStrip,
            0,
            kKnobFrames,
            0.0f,
            caption,
            gui::Caption::Above};
}
constexpr gui::ControlLayout display(int tag, int centreX, int top, int width = 64) {
    return {gui::ControlKind::ParamDisplay, tag, centreX - width / 2, top, width, 18};
}
constexpr gui::ControlLayout pan(int tag, int row, const char* caption) {
    return {gui::ControlKind::HSlider,
            tag,
            kPanX,
            kPanY[row],
            kPanWidth,
            22,
            kPanTrack,
            kPanHandle,
            0,
            0.0f,
            caption,
            gui::Caption::Left};
}

inline constexpr gui::ControlLayout kLayout[] = {
    {gui::ControlKind::Custom, gui::kNoTag, kScopeX, kScopeY, kScopeWidth, kScopeHeight, 0, 0, 0,
     0.0f},
    pan(kSpreadixPanLeft, 0, "PAN L"),
    display(kSpreadixPanLeft, kPanDisplayCentre, kPanY[0] + 2, 52),
    pan(kSpreadixPanRight, 1, "PAN R"),
    display(kSpreadixPanRight, kPanDisplayCentre, kPanY[1] + 2, 52),
    knob(kSpreadixSideLevel, 0, "SIDE LEVEL"),
    display(kSpreadixSideLevel, kColumn[0], kTop + 94),
    knob(kSpreadixSynthMix, 1, "SYNTH MIX"),
    display(kSpreadixSynthMix, kColumn[1], kTop + 94),
    knob(kSpreadixSynthCharacter, 2, "CHARACTER"),
    display(kSpreadixSynthCharacter, kColumn[2], kTop + 94),
    {gui::ControlKind::VSlider, kSpreadixLevel, kLevelCentre - 15, kFaderTop, 30, kFaderHeight,
     kLevelTrack, kLevelHandle, 0, 0.0f, "LEVEL", gui::Caption::Above},
    display(kSpreadixLevel, kLevelCentre, kFaderTop + kFaderHeight + 8, 52),
    {gui::ControlKind::FallOffMeter, gui::kNoTag, kMeterCentre - 6, kFaderTop, 12, kFaderHeight,
     kMeterUnlit, kMeterLit, kMeterSegments, kMeterFallPerSecond, "VU", gui::Caption::Above},
    {gui::ControlKind::PeakHoldReadout, kPeakReadout, kMeterCentre - 26,
     kFaderTop + kFaderHeight + 8, 52, 18, 0, 0, 0, 0.0f},
    {gui::ControlKind::MovieButton, kSpreadixDipole, kButtonX, kFaderTop + 14, kButtonWidth, 26,
     kDipoleButton},
    {gui::ControlKind::MovieButton, kSpreadixBypass, kButtonX, kFaderTop + 64, kButtonWidth, 26,
     kBypassButton},
    {gui::ControlKind::HintLine, gui::kNoTag, 14, 370, 612, 20},
};

}  // namespace qx::spreadix
