// The eraslip editor's layout: bitmaps, controls and where they sit on the 560 x 400
// background. The editor builds its controls from these rows; the skin painter labels them.
#pragma once

#include "effects/eraslip/eraslip_params.h"
#include "gui/layout.h"

namespace qx::eraslip {

enum Bitmap : int {
    kBackground = 1024,
    kKnobStrip = 1025,     // 56 x 56, 65 frames
    kOutTrack = 1026,      // 30 x 164
    kOutHandle = 1027,     // 28 x 18
    kPanTrack = 1028,      // 300 x 22
    kPanHandle = 1029,     // 18 x 22
    kBypassButton = 1030,  // 76 x 26, two frames
    kMeterUnlit = 1031,    // 12 x 164, 41 segments
    kMeterLit = 1032,      // 12 x 164
};

constexpr int kWidth = 560;
constexpr int kHeight = 400;
constexpr int kKnobSize = 56;
constexpr int kKnobFrames = 65;

// Command tags (parameter tags are the indices of eraslip_params.h).
enum Command : int {
    // Peak-hold read-out under the level meter; a click clears the hold.
    kPeakReadout = 101,
};

// Knob column centres and the top of the two knob sections.
constexpr int kColumn[3] = {76, 201, 326};
constexpr int kSectionTop[2] = {60, 190};
constexpr int kSectionLeft = 14, kSectionRight = 390;
constexpr int kOutputLeft = 400, kOutputRight = 546;
constexpr int kPanTop = 320, kPanBottom = 360;

constexpr gui::ControlLayout knob(int tag, int column, int section, const char* caption) {
    return {gui::ControlKind::AnimKnob,
            tag,
            kColumn[column] - kKnobSize / 2,
            kSectionTop[section] + 32,
            kKnobSize,
            kKnobSize,
            kKnobStrip,
            0,
            kKnobFrames,
            0.0f,
            caption,
            gui::Caption::Above};
}
constexpr gui::ControlLayout display(int tag, int centreX, int top, int width = 76) {
    return {gui::ControlKind::ParamDisplay, tag, centreX - width / 2, top, width, 18};
}
constexpr gui::ControlLayout knobDisplay(int tag, int column, int section) {
    return display(tag, kColumn[column], kSectionTop[section] + 94);
}

constexpr int kOutCentre = 437, kMeterCentre = 509, kMeterTop = 92, kMeterHeight = 164;
constexpr int kMeterSegments = 41;  // 4 pixels each
// The bar falls by a full scale in a little under a second.
constexpr float kMeterFallPerSecond = 1.2f;

inline constexpr gui::ControlLayout kLayout[] = {
    knob(kCrosstalk, 0, 0, "CROSSTALK"),
    knobDisplay(kCrosstalk, 0, 0),
    knob(kAd, 1, 0, "A/D FILTER"),
    knobDisplay(kAd, 1, 0),
    knob(kHighCut, 2, 0, "HIGH CUT"),
    knobDisplay(kHighCut, 2, 0),
    knob(kRate, 0, 1, "RATE"),
    knobDisplay(kRate, 0, 1),
    knob(kBits, 1, 1, "BITS"),
    knobDisplay(kBits, 1, 1),
    knob(kDa, 2, 1, "D/A FILTER"),
    knobDisplay(kDa, 2, 1),
    {gui::ControlKind::VSlider, kOut, kOutCentre - 15, kMeterTop, 30, kMeterHeight, kOutTrack,
     kOutHandle, 0, 0.0f, "OUT", gui::Caption::Above},
    display(kOut, kOutCentre, 266, 64),
    {gui::ControlKind::FallOffMeter, gui::kNoTag, kMeterCentre - 6, kMeterTop, 12, kMeterHeight,
     kMeterUnlit, kMeterLit, kMeterSegments, kMeterFallPerSecond, "LEVEL", gui::Caption::Above},
    {gui::ControlKind::PeakHoldReadout, kPeakReadout, kMeterCentre - 32, 266, 64, 18, 0, 0, 0, 0.0f,
     "PEAK", gui::Caption::Below},
    {gui::ControlKind::HSlider, kPan, 130, 329, 300, 22, kPanTrack, kPanHandle, 0, 0.0f, "PAN",
     gui::Caption::Left},
    display(kPan, 482, 331, 64),
    {gui::ControlKind::MovieButton, kBypass, 470, 13, 76, 26, kBypassButton},
    {gui::ControlKind::HintLine, gui::kNoTag, 14, 370, 532, 20},
};

}  // namespace qx::eraslip
