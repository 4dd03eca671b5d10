// Parameter indices and counts of the stereo headphone renderer, for its effect, editor
// and tests. Dependency-free on purpose.
#pragma once

namespace qx {

enum HeliopeParam : int {
    kHeliopeOutputTrim = 0,  // linear gain 0..1
    kHeliopeBypass,
    kHeliopeCueStrength,
    kHeliopeHeadSize,
    kHeliopeEarSize,
    kHeliopeDistance,
    kHeliopeReverbTime,
    kHeliopeRoomSize,
    kHeliopeChannelMode,  // holds the menu index 0..5, not a fraction
    kHeliopeCabinet,      // holds the menu index 0..11, not a fraction
    kHeliopeItds,
    kHeliopeNextDoor,
    kHeliopeEnableRoom,
    kHeliopeNumParams
};

constexpr int kHeliopeNumPrograms = 50;
constexpr int kHeliopeNumInputs = 2;
constexpr int kHeliopeNumOutputs = 2;

// Entries of the two option menus.
constexpr int kHeliopeChannelModeCount = 6;
constexpr int kHeliopeCabinetCount = 12;

// What the editor asks of the engine besides parameters (both renderers).
enum HeliopeCommand : int {
    kHeliopeReleaseHolds = 0,  // the held peaks fall back to the present level
    kHeliopeNumCommands
};

// Entries of the two option menus in index order, null-terminated as option menus take them.
inline constexpr const char* kHeliopeChannelModeNames[kHeliopeChannelModeCount + 1] = {
    "Stereo L,R", "Stereo swap R,L", "Mono L+R", "Mono L-R", "L only", "R only", nullptr,
};
inline constexpr const char* kHeliopeCabinetNames[kHeliopeCabinetCount + 1] = {
    "Reference (flat response)",
    "Small band-limited speakers",
    "Near-field monitors A",
    "Near-field monitors B",
    "Near-field monitors C",
    "Near-field monitors D",
    "Near-field monitors E",
    "Near-field monitors F",
    "Near-field monitors G",
    "Laptop speakers",
    "Portable music player",
    "Flatpanel TV",
    nullptr,
};

// Editor tag of the peak-hold text (a click releases the holds).
constexpr int kHeliopePeakHoldTag = 101;

}  // namespace qx
