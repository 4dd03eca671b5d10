// Parameter indices, counts, menu sizes and engine commands of palisor, shared by the effect
// and its editor layout.
#pragma once

namespace qx {

enum LimiterParam : int {
    kLimiterOutputTrim = 0,
    kLimiterOutputScale,  // editor meter scale only
    kLimiterBypass,
    kLimiterInputDrive,
    kLimiterSideGain,
    kLimiterXcorrTime,
    kLimiterXcorrThreshold,
    kLimiterEnvHysteresis,
    kLimiterEnvRelease,
    kLimiterStereoLink,
    kLimiterSoftclipThreshold,
    kLimiterSoftclipAmount,
    kLimiterRmsAttack,
    kLimiterRmsRelease,
    kLimiterRmsThreshold,
    kLimiterInterSamplePeak,
    kLimiterDithering,  // holds the word-length menu index 0..6, not a fraction
    kLimiterNumParams
};

constexpr int kLimiterNumPrograms = 18;
// Entries of the Dithering menu: 64, 32, 24, 20, 16, 12 and 8 bits.
constexpr int kLimiterDitheringEntries = 7;

// What the editor asks of the engine besides parameters.
enum LimiterCommand : int {
    kLimiterPeakHoldReset = 0,  // both peak holds fall back to the present level
    kLimiterRestart,            // a program load: reset and empty the look-ahead delay
    kLimiterNumCommands
};

}  // namespace qx
