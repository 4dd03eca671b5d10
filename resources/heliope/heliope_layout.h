// The layout of both headphone renderer editors on their 600 x 400 background: the head
// controls on the left, the output meters and trim in the middle, the room on the right,
// the two option menus along the bottom. The 5.1 renderer's editor differs only in its
// menu entries. The skin painter labels the rows; the editor builds its controls from them.
#pragma once

#include <array>

#include "effects/heliope/heliope_params.h"
#include "effects/heliope/heliope_surround_params.h"
#include "gui/layout.h"

namespace qx::heliope {

enum Bitmap : int {
    kBackground = 1024,
    kSliderTrack = 1025,   // 15 x 286
    kSliderHandle = 1026,  // 15 x 34
    kMeterUnlit = 1027,    // 9 x 253, both meters
    kMeterLit = 1028,
    kKnob = 1029,       // 64 x 64, 65 frames
    kButton = 1030,     // 40 x 22, two states
    kTextStrip = 1031,  // 300 x 11, behind the hint line
};

constexpr int kWidth = 600;
constexpr int kHeight = 400;
constexpr int kKnobSize = 64;
constexpr int kKnobFrames = 65;
constexpr int kMeterTop = 71;
constexpr int kMeterHeight = 253;
constexpr int kMeterLeft[2] = {265, 296};
constexpr int kButtonWidth = 40;
constexpr int kButtonHeight = 22;
// Meters fall by at most this share of full scale per second (the readings themselves fall
// 1/e per second, about 0.2 of the scale).
constexpr float kMeterFall = 1.5f;

static_assert(kHeliopePeakHoldTag == kSurroundPeakHoldTag);
constexpr int kPeakHoldTag = kHeliopePeakHoldTag;

// Marks of the level scale (meters and trim share it), in dB.
inline constexpr int kScaleMarksDb[] = {0, -6, -12, -18, -24, -30, -36, -54, -72};

constexpr gui::ControlLayout knob(int tag, int x, int y, const char* caption) {
    return {gui::ControlKind::AnimKnob,
            tag,
            x,
            y,
            kKnobSize,
            kKnobSize,
            kKnob,
            0,
            kKnobFrames,
            0.0f,
            caption,
            gui::Caption::Above};
}
constexpr gui::ControlLayout button(int tag, int x, int y, const char* caption,
                                    gui::Caption place) {
    return {gui::ControlKind::MovieButton,
            tag,
            x,
            y,
            kButtonWidth,
            kButtonHeight,
            kButton,
            0,
            2,
            0.0f,
            caption,
            place};
}
constexpr gui::ControlLayout meter(int x) {
    return {gui::ControlKind::FallOffMeter,
            gui::kNoTag,
            x,
            kMeterTop,
            9,
            kMeterHeight,
            kMeterUnlit,
            kMeterLit,
            0,
            kMeterFall};
}

// Both editors' rows; `modes` and `cabinets` are the entries of the two option menus.
constexpr auto makeLayout(const char* const* modes, const char* const* cabinets) {
    using gui::Caption;
    using gui::ControlKind;
    return std::array{
        gui::ControlLayout{ControlKind::VSlider, kHeliopeOutputTrim, 336, 55, 15, 286, kSliderTrack,
                           kSliderHandle, 0, 0.0f, "TRIM", Caption::Below},
        meter(kMeterLeft[0]),
        meter(kMeterLeft[1]),
        knob(kHeliopeCueStrength, 73, 102, "CUE STRENGTH"),
        knob(kHeliopeDistance, 418, 102, "DISTANCE"),
        knob(kHeliopeHeadSize, 32, 260, "HEAD SIZE"),
        knob(kHeliopeEarSize, 165, 260, "EAR SIZE"),
        knob(kHeliopeReverbTime, 377, 260, "REVERB TIME"),
        knob(kHeliopeRoomSize, 510, 260, "ROOM SIZE"),
        button(kHeliopeItds, 114, 278, "ITDS", Caption::Below),
        button(kHeliopeEnableRoom, 458, 266, "ROOM", Caption::Above),
        button(kHeliopeNextDoor, 458, 299, "NEXT DOOR", Caption::Below),
        button(kHeliopeBypass, 286, 374, "BYPASS", Caption::Left),
        gui::ControlLayout{ControlKind::OptionMenu, kHeliopeChannelMode, 34, 376, 189, 15, 0, 0, 0,
                           0.0f, "CHANNEL MODE", Caption::Above, modes},
        gui::ControlLayout{ControlKind::OptionMenu, kHeliopeCabinet, 380, 376, 189, 15, 0, 0, 0,
                           0.0f, "CABINET", Caption::Above, cabinets},
        gui::ControlLayout{ControlKind::HintLine, gui::kNoTag, 34, 17, 300, 11, kTextStrip},
        gui::ControlLayout{ControlKind::CommandLabel, kPeakHoldTag, 252, 346, 67, 10, 0, 0, 0, 0.0f,
                           "PEAK HOLD", Caption::Below},
    };
}

inline constexpr auto kLayout = makeLayout(kHeliopeChannelModeNames, kHeliopeCabinetNames);
inline constexpr auto kSurroundLayout =
    makeLayout(kSurroundChannelModeNames, kSurroundCabinetNames);

}  // namespace qx::heliope
