// Parameter indices, program count and the small constants the stereo spreader's editor
// layout needs. Dependency-free so any layer may include it.
#pragma once

namespace qx {

enum SpreadixParam : int {
    kSpreadixPanLeft = 0,
    kSpreadixPanRight,
    kSpreadixLevel,
    kSpreadixDipole,
    kSpreadixBypass,
    kSpreadixSideLevel,
    kSpreadixSynthMix,
    kSpreadixSynthCharacter,
    kSpreadixNumParams
};

constexpr int kSpreadixNumPrograms = 19;
constexpr int kSpreadixScopePoints = 256;  // output pairs the goniometer plots

}  // namespace qx
