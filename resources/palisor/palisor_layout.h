// The palisor editor's layout on its 600 x 400 background: bitmaps, controls and meters at
// the places the limiter's editor puts them. The skin painter labels them; the editor will
// build its controls from the same rows.
#pragma once

#include "effects/palisor/palisor_params.h"
#include "gui/layout.h"

namespace qx::palisor {

enum Bitmap : int {
    kBackground = 1024,
    kSliderTrack = 1025,   // 15 x 286
    kSliderHandle = 1026,  // 15 x 34
    kMeterUnlit = 1027,    // 9 x 253
    kMeterPeak = 1028,     // lit bars of the four output scales
    kMeterK12 = 1029,
    kMeterK14 = 1030,
    kMeterK20 = 1031,
    kLegendPeak = 1032,  // 18 x 258 scale legends
    kLegendK12 = 1033,
    kLegendK14 = 1034,
    kLegendK20 = 1035,
    kAccentBar = 1036,  // correlation bar, gain-reduction background
    kKnob50 = 1037,     // 65 frames each
    kKnob50Bipolar = 1038,
    kKnob70 = 1039,
    kKnob70Bipolar = 1040,
    kBypassButton = 1041,  // 33 x 33, two states
    kSmallButton = 1042,   // 22 x 20, two states
    kTextStrip = 1043,     // 251 x 10, behind the hint line and the word-length menu
};

constexpr int kWidth = 600;
constexpr int kHeight = 400;
constexpr int kKnobFrames = 65;
constexpr int kMeterTop = 71;
constexpr int kMeterHeight = 253;
constexpr int kLegendTop = 69;

// Command tags (parameter tags are the indices of palisor_params.h).
enum Command : int {
    kScalePeak = 100,
    kScaleK12,
    kScaleK14,
    kScaleK20,
    kPeakHoldReadout,
};

inline constexpr const char* kWordLengths[] = {"64 bit", "32 bit", "24 bit", "20 bit",
                                               "16 bit", "12 bit", " 8 bit", nullptr};
static_assert(sizeof(kWordLengths) / sizeof(kWordLengths[0]) == kLimiterDitheringEntries + 1);

constexpr gui::ControlLayout knob(int tag, int x, int y, int size, int bitmap,
                                  const char* caption) {
    return {
        gui::ControlKind::AnimKnob, tag, x, y, size, size, bitmap, 0, kKnobFrames, 0.0f, caption,
        gui::Caption::Above};
}
// Meter falls in value units per second; gain meters (negative) rise back at that speed.
constexpr float kLevelFall = 3.0f;
constexpr float kCorrelationFall = 1.5f;
constexpr float kGainRecovery = -1.5f;
constexpr int kNumScales = 4;  // peak, K12, K14, K20: lit bars kMeterPeak .. kMeterK20

constexpr gui::ControlLayout meter(int x, int width, int unlit, int lit, float fallPerSecond,
                                   gui::ControlKind kind = gui::ControlKind::FallOffMeter) {
    return {kind,         gui::kNoTag, x,
            kMeterTop,    width,       kMeterHeight,
            unlit,        lit,         kind == gui::ControlKind::KScaleMeter ? kNumScales : 0,
            fallPerSecond};
}
constexpr gui::ControlLayout levelMeter(int x, int width) {
    return meter(x, width, kMeterUnlit, kMeterPeak, kLevelFall, gui::ControlKind::KScaleMeter);
}
constexpr gui::ControlLayout button(int tag, int x, int y, int w, int h, int bitmap,
                                    const char* caption, gui::Caption place = gui::Caption::Above) {
    return {gui::ControlKind::MovieButton, tag, x, y, w, h, bitmap, 0, 2, 0.0f, caption, place};
}

inline constexpr gui::ControlLayout kLayout[] = {
    {gui::ControlKind::VSlider, kLimiterInputDrive, 181, 55, 15, 286, kSliderTrack, kSliderHandle,
     0, 0.0f, "DRIVE", gui::Caption::Below},
    {gui::ControlKind::VSlider, kLimiterOutputTrim, 406, 55, 15, 286, kSliderTrack, kSliderHandle,
     0, 0.0f, "TRIM", gui::Caption::Below},
    levelMeter(330, 9),                                        // output peak left
    levelMeter(371, 9),                                        // output peak right
    levelMeter(340, 4),                                        // output RMS left
    levelMeter(366, 4),                                        // output RMS right
    meter(299, 9, kMeterUnlit, kAccentBar, kCorrelationFall),  // correlation
    meter(231, 9, kAccentBar, kMeterUnlit, kGainRecovery),     // peak gain left
    meter(272, 9, kAccentBar, kMeterUnlit, kGainRecovery),     // peak gain right
    meter(221, 9, kAccentBar, kMeterUnlit, kGainRecovery),     // soft-clip gain left
    meter(282, 9, kAccentBar, kMeterUnlit, kGainRecovery),     // soft-clip gain right
    meter(241, 4, kAccentBar, kMeterUnlit, kGainRecovery),     // RMS gain
    meter(267, 4, kAccentBar, kMeterUnlit, kGainRecovery),     // RMS gain
    {gui::ControlKind::BitmapView, gui::kNoTag, 346, kLegendTop, 18, 258, kLegendPeak},
    button(kLimiterBypass, 443, 60, 33, 33, kBypassButton, "BYPASS", gui::Caption::Below),
    button(kScalePeak, 488, 61, 22, 20, kSmallButton, nullptr),
    button(kScaleK12, 513, 61, 22, 20, kSmallButton, nullptr),
    button(kScaleK14, 538, 61, 22, 20, kSmallButton, nullptr),
    button(kScaleK20, 563, 61, 22, 20, kSmallButton, nullptr),
    button(kLimiterInterSamplePeak, 130, 181, 22, 20, kSmallButton, "ISP"),
    knob(kLimiterSideGain, 22, 257, 70, kKnob70Bipolar, "SIDE GAIN"),
    knob(kLimiterXcorrTime, 102, 304, 50, kKnob50, "XCORR TIME"),
    knob(kLimiterXcorrThreshold, 102, 228, 50, kKnob50, "XCORR THR"),
    knob(kLimiterEnvHysteresis, 21, 58, 50, kKnob50, "HYSTERESIS"),
    knob(kLimiterEnvRelease, 81, 87, 70, kKnob70, "RELEASE"),
    knob(kLimiterStereoLink, 21, 134, 50, kKnob50, "LINK"),
    knob(kLimiterSoftclipThreshold, 448, 134, 50, kKnob50Bipolar, "CLIP THR"),
    knob(kLimiterSoftclipAmount, 530, 134, 50, kKnob50, "CLIP AMT"),
    knob(kLimiterRmsAttack, 448, 228, 50, kKnob50, "RMS ATT"),
    knob(kLimiterRmsRelease, 448, 304, 50, kKnob50, "RMS REL"),
    knob(kLimiterRmsThreshold, 510, 257, 70, kKnob70, "RMS THR"),
    {gui::ControlKind::OptionMenu, kLimiterDithering, 390, 19, 35, 10, kTextStrip, 0, 0, 0.0f,
     "DITHER", gui::Caption::Above, kWordLengths},
    {gui::ControlKind::HintLine, gui::kNoTag, 139, 19, 251, 10, kTextStrip},
    {gui::ControlKind::PeakHoldReadout, kPeakHoldReadout, 320, 346, 70, 10, 0, 0, 2, 0.0f,
     "PEAK HOLD", gui::Caption::Below},
};

}  // namespace qx::palisor
