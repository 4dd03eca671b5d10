// The quassel editor's layout on its 760 x 440 background: the input fader, the band
// display with its page buttons and hint line, the global knobs and switches, and the
// output fader with the two level meters and the peak read-out.
#pragma once

#include "effects/quassel/quassel_params.h"
#include "gui/layout.h"

namespace qx::quassel {

enum Bitmap : int {
    kBackground = 1024,
    kKnobStrip = 1025,     // 48 x 48, 65 frames
    kFaderTrack = 1026,    // 26 x 250
    kFaderHandle = 1027,   // 24 x 18
    kMeterUnlit = 1028,    // 10 x 250
    kMeterLit = 1029,      // 10 x 250
    kBypassButton = 1030,  // 76 x 24, two states
    kWarmthButton = 1031,  // 76 x 24, two states
    kPageButton = 1032,    // 1032 .. 1037: 70 x 22, two states, one legend per family
    kTextStrip = 1038,     // 456 x 16, behind the hint line
};

constexpr int kWidth = 760;
constexpr int kHeight = 440;
constexpr int kKnobSize = 48;
constexpr int kKnobFrames = 65;
constexpr int kFaderHeight = 250;
constexpr int kHandleLength = 18;
constexpr int kTop = 62;  // first row under the header

// Command tags beyond the parameters: the page buttons (1001 .. 1006), the peak read-out
// (1000) and the two faders, whose dB travel the editor maps onto their parameters.
enum Command : int {
    kPeakReadout = kQuasselPeakReadoutTag,
    kFirstPageButton = kQuasselFirstPageButtonTag,
    kPreGainFader = 1010,
    kOutputTrimFader = 1011,
};

// The band display and the places of the sections the skin engraves.
constexpr int kBandLeft = 150, kBandTop = 100, kBandWidth = 456, kBandHeight = 220;
constexpr int kInputLeft = 14, kInputRight = 130;
constexpr int kCentreLeft = 140, kCentreRight = 616;
constexpr int kOutputLeft = 626, kOutputRight = 746;
constexpr int kSectionBottom = 428;
constexpr int kMeterX[2] = {690, 708};
constexpr int kFaderTop = kTop + 30;
// The meters show positions on the dB travel, falling by this much of it per second.
constexpr float kMeterFall = 1.5f;

constexpr gui::ControlLayout knob(int tag, int x, const char* caption) {
    return {gui::ControlKind::AnimKnob,
            tag,
            x,
            362,
            kKnobSize,
            kKnobSize,
            kKnobStrip,
            0,
            kKnobFrames,
            0.0f,
            caption,
            gui::Caption::Above};
}
constexpr gui::ControlLayout fader(int tag, int x, const char* caption) {
    return {gui::ControlKind::VSlider,
            tag,
            x,
            kFaderTop,
            26,
            kFaderHeight,
            kFaderTrack,
            kFaderHandle,
            0,
            0.0f,
            caption,
            gui::Caption::Below};
}
constexpr gui::ControlLayout pageButton(int family) {
    return {gui::ControlKind::MovieButton,
            kFirstPageButton + family,
            kBandLeft + family * 76,
            kTop + 8,
            70,
            22,
            kPageButton + family,
            0,
            2};
}
constexpr gui::ControlLayout meter(int channel) {
    return {gui::ControlKind::FallOffMeter,
            gui::kNoTag,
            kMeterX[channel],
            kFaderTop,
            10,
            kFaderHeight,
            kMeterUnlit,
            kMeterLit,
            0,
            kMeterFall};
}

inline constexpr gui::ControlLayout kLayout[] = {
    fader(kPreGainFader, 59, "PRE GAIN"),
    pageButton(0),
    pageButton(1),
    pageButton(2),
    pageButton(3),
    pageButton(4),
    pageButton(5),
    {gui::ControlKind::Custom, kQuasselMakeupGain, kBandLeft, kBandTop, kBandWidth, kBandHeight},
    {gui::ControlKind::HintLine, gui::kNoTag, kBandLeft, 328, kBandWidth, 16, kTextStrip},
    knob(kQuasselDryWet, 166, "DRY / WET"),
    knob(kQuasselNumberOfBands, 246, "BANDS"),
    knob(kQuasselFilterOrder, 326, "ORDER"),
    knob(kQuasselDisplayRelease, 406, "DISPLAY REL"),
    {gui::ControlKind::MovieButton, kQuasselWarmthSwitch, 498, 360, 76, 24, kWarmthButton, 0, 2},
    {gui::ControlKind::MovieButton, kQuasselBypass, 498, 392, 76, 24, kBypassButton, 0, 2},
    fader(kOutputTrimFader, 644, "OUTPUT"),
    meter(0),
    meter(1),
    {gui::ControlKind::PeakHoldReadout, kPeakReadout, kOutputLeft + 4, 372, 112, 14, 0, 0, 2, 0.0f,
     "PEAK HOLD", gui::Caption::Below},
};

// Row of the band display in kLayout, and of the two meters.
constexpr int kBandRow = 7;
constexpr int kMeterRow[2] = {16, 17};
static_assert(kLayout[kBandRow].kind == gui::ControlKind::Custom);
static_assert(kLayout[kMeterRow[1]].kind == gui::ControlKind::FallOffMeter);

}  // namespace qx::quassel
