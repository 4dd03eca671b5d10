// Parameter indices and counts of the multiband compressor, shared by the effect and its
// editor layout. Indices 2 .. 121 are six families of one parameter per band.
#pragma once

namespace qx {

constexpr int kQuasselBandsPerFamily = 20;
constexpr int kQuasselNumFamilies = 6;

enum QuasselParam : int {
    kQuasselOutputTrim = 0,
    kQuasselBypass = 1,
    kQuasselMakeupGain = 2,  // "MakeupGain 01" .. "MakeupGain 20"
    kQuasselThreshold = 22,  // "Threshold 01" ..
    kQuasselRatio = 42,      // "Ratio 01" ..
    kQuasselAttack = 62,     // "Attack 01" ..
    kQuasselRelease = 82,    // "Release 01" ..
    kQuasselWarmth = 102,    // "Warmth 01" ..
    kQuasselGuiMode = 122,   // editor page only
    kQuasselPreGain = 123,
    kQuasselDryWet = 124,
    kQuasselNumberOfBands = 125,
    kQuasselFilterOrder = 126,
    kQuasselDisplayRelease = 127,  // editor only
    kQuasselWarmthSwitch = 128,
    kQuasselNumParams = 129
};

// First index of each family, in page order (the editor's page buttons 1 .. 6).
constexpr int kQuasselFamilyFirst[kQuasselNumFamilies] = {
    kQuasselMakeupGain, kQuasselThreshold, kQuasselRatio,
    kQuasselAttack,     kQuasselRelease,   kQuasselWarmth,
};

constexpr int kQuasselNumPrograms = 20;
constexpr int kQuasselLatency = 1024;  // samples, reported to the host

// Editor control tags beyond the parameter indices.
constexpr int kQuasselPeakReadoutTag = 1000;
constexpr int kQuasselFirstPageButtonTag = 1001;  // 1001 .. 1006, one per family

// Editor commands the engine carries out between blocks.
enum QuasselCommand : int { kQuasselResetHold = 0, kQuasselNumCommands = 1 };

}  // namespace qx
