// Parameter indices and counts of the 5.1 headphone renderer, for its effect, editor and
// tests. The thirteen parameters sit at the same indices as in the stereo renderer.
// Dependency-free on purpose.
#pragma once

namespace qx {

enum HeliopeSurroundParam : int {
    kSurroundOutputTrim = 0,  // linear gain 0..1
    kSurroundBypass,
    kSurroundCueStrength,
    kSurroundHeadSize,
    kSurroundEarSize,
    kSurroundDistance,
    kSurroundReverbTime,
    kSurroundRoomSize,
    kSurroundChannelMode,  // holds the menu index 0..11, not a fraction
    kSurroundCabinet,      // holds the menu index 0..13, not a fraction
    kSurroundItds,
    kSurroundNextDoor,
    kSurroundEnableRoom,
    kSurroundNumParams
};

constexpr int kSurroundNumPrograms = 50;
// Inputs in the order L, R, C, LFE, Ls, Rs.
constexpr int kSurroundNumInputs = 6;
constexpr int kSurroundNumOutputs = 2;

// Entries of the two option menus.
constexpr int kSurroundChannelModeCount = 12;
constexpr int kSurroundCabinetCount = 14;

// Editor tag of the peak-hold text (a click releases the holds).
constexpr int kSurroundPeakHoldTag = 101;

}  // namespace qx
