// Folds the power of the analyzer's 2048-point packed spectra into its averaged spectra,
// built for the x86-64 baseline and, in a file of its own, for AVX2. Both give the same
// floats: the same operations per bin, no fused multiply-adds.
#pragma once

namespace qx::power_fold {

constexpr int kBins = 1024;
// Power scales that put a full-scale sine centred on a bin at about 0.514 (-2.9 dB):
// 2^-18 for bins 1..1023 and 2^-20 for the DC bin.
constexpr float kBinScale = 1.0f / 262144.0f;
constexpr float kDcScale = 1.0f / 1048576.0f;

// spectrum[i] = q spectrum[i] + (1 - q) g scale |X[i]|^2 for the kBins bins of the packed
// spectrum x (2 kBins floats, bin i at x[i] and x[kBins + i]); q in 0..1, g 1 or 2.
using Function = void (*)(float* spectrum, const float* x, float q, float g);

Function baseline();
// Null where not built for AVX2.
Function avx2();
// The fastest this processor runs (AVX2 only after a processor check). Any thread.
Function best();

}  // namespace qx::power_fold
