// Parameter indices, program count and the small constants the analyzer's editor layout
// needs. Dependency-free so any layer may include it.
#pragma once

namespace qx {

enum SpectrelParam : int {
    kSpectrelBypass = 0,
    kSpectrelOutputScale,   // display scale only: peak, K12, K14, K20
    kSpectrelSlowSpectrum,  // spectrum averaging 2.5 s instead of 0.15 s
    kSpectrelInterSamplePeak,
    kSpectrelAes17,
    kSpectrelSumSpectrum,  // display only: one summed curve
    kSpectrelSpectrumOn,
    kSpectrelNumParams
};

// Editor commands carried out by the engine between blocks.
enum SpectrelCommand : int {
    kSpectrelResetPeakHold = 0,  // the four peak holds fall back to the present level
    kSpectrelNumCommands
};

constexpr int kSpectrelNumPrograms = 8;
constexpr int kSpectrelNumOutputScales = 4;  // peak, K12, K14, K20
constexpr int kSpectrelSpectrumBins = 1024;  // bins per channel in each published spectrum

}  // namespace qx
