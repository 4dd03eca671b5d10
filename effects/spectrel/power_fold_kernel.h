// The fold of power_fold.h, compiled by each instruction-set file into its own copy
// (internal linkage, so copies built for different sets are never mixed up).
#pragma once

#include "effects/spectrel/power_fold.h"

namespace qx::power_fold {
namespace {

// g scale is a power of two, so multiplying by g scale (1 - q) at once rounds as the two
// steps do.
void fold(float* __restrict spectrum, const float* __restrict x, float q, float g) {
    const float w = 1.0f - q;
    spectrum[0] = (x[0] * x[0] + 1e-16f) * (g * kDcScale * w) + q * spectrum[0];
    const float weight = g * kBinScale * w;
    const float* __restrict re = x;
    const float* __restrict im = x + kBins;
    for (int i = 1; i < kBins; ++i)
        spectrum[i] = q * spectrum[i] + (1e-16f + re[i] * re[i] + im[i] * im[i]) * weight;
}

}  // namespace
}  // namespace qx::power_fold
