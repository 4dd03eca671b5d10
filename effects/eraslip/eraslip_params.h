// Parameter indices and counts of eraslip, shared by the effect and its editor layout.
#pragma once

namespace qx::eraslip {

enum Param : int {
    kPan = 0,
    kOut,
    kRate,
    kBits,
    kHighCut,
    kCrosstalk,
    kAd,
    kDa,
    kBypass,
    kNumParams
};

constexpr int kNumPrograms = 11;

}  // namespace qx::eraslip
