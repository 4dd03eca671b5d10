// The compressor editor's layout, shared by both builds: bitmaps, controls and where they
// sit on the 860 x 530 background. The editor builds its controls from these rows; the skin
// painter labels them.
#pragma once

#include "effects/red_thuddo/red_thuddo_params.h"
#include "gui/layout.h"

namespace qx::red_thuddo {

enum Bitmap : int {
    kBackground = 1024,
    kKnobStrip = 1025,         // 48 x 48, 65 frames
    kBipolarKnobStrip = 1026,  // gains: lit from the centre
    kSidechainButton = 1027,   // 112 x 24, two frames each
    kMonoButton = 1028,
    kListenButton = 1029,
    kSoftKneeButton = 1030,
    kReleaseCurveButton = 1031,
    kLimiterButton = 1032,
    kBypassButton = 1033,
};

constexpr int kWidth = 860;
constexpr int kHeight = 530;
constexpr int kKnobSize = 48;
constexpr int kKnobFrames = 65;
constexpr int kButtonWidth = 112, kButtonHeight = 24;

// The transfer-curve display (tag 101) with its gain meters, in its section on the left.
constexpr int kDisplaySectionLeft = 12, kDisplaySectionRight = 352;
constexpr int kDisplayX = 22, kDisplayY = 78, kDisplayWidth = 320, kDisplayHeight = 360;
// Where the fixed information text goes, under the display.
constexpr int kInfoTop = 452;

// Knob grid on the right: four knob columns and a button column, four sections.
constexpr int kColumn[4] = {414, 502, 590, 678};
constexpr int kButtonColumn = 784;
constexpr int kRowTop[4] = {62, 170, 278, 386};
constexpr int kRowHeight = 102;
constexpr int kGridLeft = 362, kGridRight = 848;
constexpr int kHintTop = 500;

constexpr gui::ControlLayout knob(int tag, int column, int row, const char* caption,
                                  bool bipolar = false) {
    return {gui::ControlKind::AnimKnob,
            tag,
            kColumn[column] - kKnobSize / 2,
            kRowTop[row] + 24,
            kKnobSize,
            kKnobSize,
            bipolar ? kBipolarKnobStrip : kKnobStrip,
            0,
            kKnobFrames,
            0.0f,
            caption,
            gui::Caption::Above};
}
constexpr gui::ControlLayout display(int tag, int column, int row) {
    return {gui::ControlKind::ParamDisplay, tag, kColumn[column] - 38, kRowTop[row] + 76, 76, 18};
}
// A button of the button column: `slot` 0..2 from the top of a section.
constexpr gui::ControlLayout button(int tag, int row, int slot, int bitmap) {
    return {gui::ControlKind::MovieButton,
            tag,
            kButtonColumn - kButtonWidth / 2,
            kRowTop[row] + 16 + slot * 28,
            kButtonWidth,
            kButtonHeight,
            bitmap};
}

inline constexpr gui::ControlLayout kLayout[] = {
    {gui::ControlKind::Custom, kRedThuddoTransferDisplayTag, kDisplayX, kDisplayY, kDisplayWidth,
     kDisplayHeight},
    // Side chain: what the detector hears.
    knob(kRedThuddoHighPassFreq, 0, 0, "HIGH PASS"),
    display(kRedThuddoHighPassFreq, 0, 0),
    knob(kRedThuddoLowPassFreq, 1, 0, "LOW PASS"),
    display(kRedThuddoLowPassFreq, 1, 0),
    knob(kRedThuddoHysteresis, 2, 0, "HYSTERESIS"),
    display(kRedThuddoHysteresis, 2, 0),
    button(kRedThuddoSidechain, 0, 0, kSidechainButton),
    button(kRedThuddoMono, 0, 1, kMonoButton),
    button(kRedThuddoListen, 0, 2, kListenButton),
    // Gain curve.
    knob(kRedThuddoThreshold, 0, 1, "THRESHOLD"),
    display(kRedThuddoThreshold, 0, 1),
    knob(kRedThuddoRatio1, 1, 1, "RATIO 1"),
    display(kRedThuddoRatio1, 1, 1),
    knob(kRedThuddoRatio2, 2, 1, "RATIO 2"),
    display(kRedThuddoRatio2, 2, 1),
    knob(kRedThuddoMaxGain, 3, 1, "MAX GAIN"),
    display(kRedThuddoMaxGain, 3, 1),
    button(kRedThuddoSoftKnee, 1, 1, kSoftKneeButton),
    // Timing.
    knob(kRedThuddoAttackTime, 0, 2, "ATTACK"),
    display(kRedThuddoAttackTime, 0, 2),
    knob(kRedThuddoHoldTime, 1, 2, "HOLD"),
    display(kRedThuddoHoldTime, 1, 2),
    knob(kRedThuddoReleaseTime, 2, 2, "RELEASE"),
    display(kRedThuddoReleaseTime, 2, 2),
    button(kRedThuddoReleaseCurve, 2, 1, kReleaseCurveButton),
    // Output.
    knob(kRedThuddoPreGain, 0, 3, "PRE GAIN", true),
    display(kRedThuddoPreGain, 0, 3),
    knob(kRedThuddoDryWet, 1, 3, "DRY / WET"),
    display(kRedThuddoDryWet, 1, 3),
    knob(kRedThuddoPostGain, 2, 3, "POST GAIN", true),
    display(kRedThuddoPostGain, 2, 3),
    button(kRedThuddoLimiter, 3, 0, kLimiterButton),
    button(kRedThuddoBypass, 3, 2, kBypassButton),
    {gui::ControlKind::HintLine, gui::kNoTag, 12, kHintTop, kWidth - 24, 20},
};

}  // namespace qx::red_thuddo
