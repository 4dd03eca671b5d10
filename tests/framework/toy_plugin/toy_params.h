// Parameter indices and counts of the toy plug-in: as many parameters as the largest
// deliverable, one of them a menu.
#pragma once

namespace qx::toy {

enum Param : int {
    kGain = 0,  // -40..0 dB
    kBypass,
    kMode,       // menu index 0..3
    kFirstBand,  // the rest: band settings, each a time and a level
    kNumParams = 129
};

constexpr int kNumPrograms = 6;
constexpr int kModeEntries = 4;

enum Command : int { kCountCommand = 0, kNumCommands };

}  // namespace qx::toy
