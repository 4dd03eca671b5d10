// The trigwave editor's layout on its 800 x 512 background: bitmaps, controls, meters and
// the trigger lamp. The editor builds its controls from these rows; the skin painter
// engraves the sections and labels the controls from the same numbers.
#pragma once

#include "effects/trigwave/trigwave_params.h"
#include "gui/geometry.h"
#include "gui/layout.h"

namespace qx::trigwave {

enum Bitmap : int {
    kBackground = 1024,
    kKnob = 1025,          // 48 x 48, 65 frames
    kKnobBipolar = 1026,   // 48 x 48, 65 frames, lit from the centre
    kTrimTrack = 1027,     // 22 x 180
    kTrimHandle = 1028,    // 22 x 30
    kMeterUnlit = 1029,    // 10 x 180
    kMeterLit = 1030,      // 10 x 180
    kBypassButton = 1031,  // 84 x 26, off above on
    kSwitch = 1032,        // 30 x 16, off above on
    kLamp = 1033,          // 22 x 22, dark above lit
    kResetButton = 1034,   // 44 x 18
};

constexpr int kWidth = 800;
constexpr int kHeight = 512;
constexpr int kKnobSize = 48;
constexpr int kKnobFrames = 65;

// Sections: three rows of two on the left, the output column on the right.
constexpr int kRowTop[3] = {66, 204, 342};
constexpr int kRowHeight = 130;
constexpr int kLeftColumn = 12, kLeftColumnEnd = 212;
constexpr int kWideColumn = 220, kWideColumnEnd = 612;
constexpr int kOutputLeft = 620, kOutputRight = 788;

constexpr gui::CRect section(int left, int right, int row) {
    return {left, kRowTop[row], right, kRowTop[row] + kRowHeight};
}
constexpr gui::CRect kTriggerBox = section(kLeftColumn, kLeftColumnEnd, 0);
constexpr gui::CRect kAmpBox = section(kWideColumn, kWideColumnEnd, 0);
constexpr gui::CRect kFilterBox = section(kLeftColumn, kLeftColumnEnd, 1);
constexpr gui::CRect kFilterEnvBox = section(kWideColumn, kWideColumnEnd, 1);
constexpr gui::CRect kSpectrumBox = section(kLeftColumn, kLeftColumnEnd, 2);
constexpr gui::CRect kReverbBox = section(kWideColumn, kWideColumnEnd, 2);
constexpr gui::CRect kOutputBox = {kOutputLeft, kRowTop[0], kOutputRight, kRowTop[2] + kRowHeight};

// Knob centres across a section.
constexpr int kLeftSlot[3] = {48, 112, 176};
constexpr int kWideSlot[5] = {264, 340, 416, 492, 568};
constexpr int kReverbSlot[3] = {285, 416, 547};
constexpr int kKnobTop = 44;       // below the section's top
constexpr int kDisplayTop = 98;    // below the section's top
constexpr int kDisplayWidth = 58;  // value read-out under each knob
constexpr int kDisplayHeight = 16;

// The output column: the trim fader, the two meters with their scale, the read-out.
constexpr int kMixCentre = 704;
constexpr int kTrimCentre = 652;
constexpr int kMeterTop = 214, kMeterHeight = 180;
constexpr int kMeterWidth = 10;
constexpr int kMeterLeft[2] = {716, 732};
constexpr int kReadoutTop = 434;
constexpr float kMeterFall = 0.6f;  // meter positions per second (about 25 dB per second)

constexpr gui::ControlLayout knob(int tag, int centreX, int row, const char* caption,
                                  int bitmap = kKnob) {
    return {gui::ControlKind::AnimKnob,
            tag,
            centreX - kKnobSize / 2,
            kRowTop[row] + kKnobTop,
            kKnobSize,
            kKnobSize,
            bitmap,
            0,
            kKnobFrames,
            0.0f,
            caption,
            gui::Caption::Above};
}
constexpr gui::ControlLayout display(int tag, int centreX, int top, int width = kDisplayWidth) {
    return {gui::ControlKind::ParamDisplay, tag, centreX - width / 2, top, width, kDisplayHeight};
}
constexpr gui::ControlLayout knobDisplay(int tag, int centreX, int row) {
    return display(tag, centreX, kRowTop[row] + kDisplayTop);
}
// An on/off switch in the top right corner of a section, its caption to its left.
constexpr gui::ControlLayout sectionSwitch(int tag, const gui::CRect& box, const char* caption) {
    return {gui::ControlKind::MovieButton,
            tag,
            box.right - 40,
            box.top + 9,
            30,
            16,
            kSwitch,
            0,
            2,
            0.0f,
            caption,
            gui::Caption::Left};
}
constexpr gui::ControlLayout meter(int channel, const char* caption) {
    return {gui::ControlKind::FallOffMeter,
            gui::kNoTag,
            kMeterLeft[channel],
            kMeterTop,
            kMeterWidth,
            kMeterHeight,
            kMeterUnlit,
            kMeterLit,
            0,
            kMeterFall,
            caption,
            gui::Caption::Above};
}

// Rows the editor looks up by kind: the two meters (left first), the lamp, the read-out.
inline constexpr gui::ControlLayout kLayout[] = {
    // Trigger
    knob(kTrigwaveThreshold, 62, 0, "THRESHOLD"),
    knobDisplay(kTrigwaveThreshold, 62, 0),
    {gui::ControlKind::MovieBitmap, gui::kNoTag, 151, kRowTop[0] + kKnobTop + 13, 22, 22, kLamp, 0,
     2, 0.0f, "ONSET", gui::Caption::Above},
    sectionSwitch(kTrigwaveMono, kTriggerBox, "MONO"),
    // Amplitude envelope
    knob(kTrigwaveEnvAttack, kWideSlot[0], 0, "ATTACK"),
    knobDisplay(kTrigwaveEnvAttack, kWideSlot[0], 0),
    knob(kTrigwaveEnvDecay, kWideSlot[1], 0, "DECAY"),
    knobDisplay(kTrigwaveEnvDecay, kWideSlot[1], 0),
    knob(kTrigwaveEnvSustain, kWideSlot[2], 0, "SUSTAIN"),
    knobDisplay(kTrigwaveEnvSustain, kWideSlot[2], 0),
    knob(kTrigwaveEnvSustainLevel, kWideSlot[3], 0, "SUS LEVEL"),
    knobDisplay(kTrigwaveEnvSustainLevel, kWideSlot[3], 0),
    knob(kTrigwaveEnvRelease, kWideSlot[4], 0, "RELEASE"),
    knobDisplay(kTrigwaveEnvRelease, kWideSlot[4], 0),
    // Filter
    knob(kTrigwaveFilterFreq, kLeftSlot[0], 1, "FREQ"),
    knobDisplay(kTrigwaveFilterFreq, kLeftSlot[0], 1),
    knob(kTrigwaveFilterResonance, kLeftSlot[1], 1, "RESO"),
    knobDisplay(kTrigwaveFilterResonance, kLeftSlot[1], 1),
    knob(kTrigwaveFilterEnvelope, kLeftSlot[2], 1, "ENV AMT", kKnobBipolar),
    knobDisplay(kTrigwaveFilterEnvelope, kLeftSlot[2], 1),
    sectionSwitch(kTrigwaveAnalog, kFilterBox, "ANALOG"),
    // Filter envelope
    knob(kTrigwaveFilterEnvAttack, kWideSlot[0], 1, "ATTACK"),
    knobDisplay(kTrigwaveFilterEnvAttack, kWideSlot[0], 1),
    knob(kTrigwaveFilterEnvDecay, kWideSlot[1], 1, "DECAY"),
    knobDisplay(kTrigwaveFilterEnvDecay, kWideSlot[1], 1),
    knob(kTrigwaveFilterEnvSustain, kWideSlot[2], 1, "SUSTAIN"),
    knobDisplay(kTrigwaveFilterEnvSustain, kWideSlot[2], 1),
    knob(kTrigwaveFilterEnvSustainLevel, kWideSlot[3], 1, "SUS LEVEL"),
    knobDisplay(kTrigwaveFilterEnvSustainLevel, kWideSlot[3], 1),
    knob(kTrigwaveFilterEnvRelease, kWideSlot[4], 1, "RELEASE"),
    knobDisplay(kTrigwaveFilterEnvRelease, kWideSlot[4], 1),
    // Spectrum and stereo
    knob(kTrigwaveRandomize, 62, 2, "RANDOMIZE"),
    knobDisplay(kTrigwaveRandomize, 62, 2),
    knob(kTrigwaveStereoWidth, 162, 2, "WIDTH"),
    knobDisplay(kTrigwaveStereoWidth, 162, 2),
    // Reverb
    knob(kTrigwaveReverbLevel, kReverbSlot[0], 2, "LEVEL"),
    knobDisplay(kTrigwaveReverbLevel, kReverbSlot[0], 2),
    knob(kTrigwaveReverbTime, kReverbSlot[1], 2, "TIME"),
    knobDisplay(kTrigwaveReverbTime, kReverbSlot[1], 2),
    knob(kTrigwaveReverbRoomSize, kReverbSlot[2], 2, "ROOM SIZE"),
    knobDisplay(kTrigwaveReverbRoomSize, kReverbSlot[2], 2),
    sectionSwitch(kTrigwaveReverb, kReverbBox, "ON"),
    // Output
    knob(kTrigwaveDryWetMix, kMixCentre, 0, "DRY / WET"),
    display(kTrigwaveDryWetMix, kMixCentre, kRowTop[0] + kDisplayTop),
    {gui::ControlKind::VSlider, kTrigwaveOutputTrim, kTrimCentre - 11, kMeterTop, 22, kMeterHeight,
     kTrimTrack, kTrimHandle, 0, 0.0f, "TRIM", gui::Caption::Above},
    display(kTrigwaveOutputTrim, kTrimCentre, kMeterTop + kMeterHeight + 8, 52),
    meter(0, "L"),
    meter(1, "R"),
    {gui::ControlKind::PeakHoldReadout, kTrigwaveResetPeakTag, 632, kReadoutTop, 96, 18, 0, 0, 2,
     0.0f, "PEAK HOLD", gui::Caption::Below},
    {gui::ControlKind::CommandLabel, kTrigwaveResetPeakTag, 734, kReadoutTop, 44, 18, kResetButton},
    {gui::ControlKind::MovieButton, kTrigwaveBypass, 692, 13, 84, 26, kBypassButton, 0, 2},
    {gui::ControlKind::HintLine, gui::kNoTag, 22, 482, 756, 20},
};

}  // namespace qx::trigwave
