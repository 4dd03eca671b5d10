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

// Entries of the two option menus in index order, null-terminated as option menus take them.
inline constexpr const char* kSurroundChannelModeNames[kSurroundChannelModeCount + 1] = {
    "5.1 Surround",
    "ITU stereo downmix",
    "Mono downmix on center",
    "5.1 to 5.0 (no LFE)",
    "L only",
    "R only",
    "C only",
    "LFE only",
    "Ls only",
    "Rs only",
    "L,C,R only",
    "Ls, Rs only",
    nullptr,
};
inline constexpr const char* kSurroundCabinetNames[kSurroundCabinetCount + 1] = {
    "Reference (flat response)", "Small band-limited speakers", "Near-field monitors A",
    "Near-field monitors B",     "Near-field monitors C",       "Near-field monitors D",
    "Near-field monitors E",     "Near-field monitors F",       "Near-field monitors G",
    "PC desktop speakers",       "Portable music player",       "Flatpanel TV",
    "Sub / sat (low-end)",       "Sub / sat (high-end)",        nullptr,
};

// Editor tag of the peak-hold text (a click releases the holds).
constexpr int kSurroundPeakHoldTag = 101;

}  // namespace qx
