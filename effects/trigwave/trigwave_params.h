// Parameter indices and the small constants the trigwave effect and its editor share.
// Dependency-free so that an editor layout can include it alone.
#pragma once

namespace qx {

enum TrigwaveParam : int {
    kTrigwaveOutputTrim = 0,
    kTrigwaveBypass,
    kTrigwaveDryWetMix,
    kTrigwaveThreshold,
    kTrigwaveEnvAttack,
    kTrigwaveEnvDecay,
    kTrigwaveEnvSustain,
    kTrigwaveEnvSustainLevel,
    kTrigwaveEnvRelease,
    kTrigwaveRandomize,
    kTrigwaveFilterFreq,
    kTrigwaveFilterEnvAttack,
    kTrigwaveFilterEnvDecay,
    kTrigwaveFilterEnvSustain,
    kTrigwaveFilterEnvSustainLevel,
    kTrigwaveFilterEnvRelease,
    kTrigwaveFilterEnvelope,
    kTrigwaveStereoWidth,
    kTrigwaveFilterResonance,
    kTrigwaveAnalog,
    kTrigwaveMono,
    kTrigwaveReverbLevel,
    kTrigwaveReverbTime,
    kTrigwaveReverbRoomSize,
    kTrigwaveReverb,
    kTrigwaveNumParams
};

constexpr int kTrigwaveNumPrograms = 21;

// Samples by which dry, bypassed and wet signals leave the effect late, at every rate.
constexpr int kTrigwaveLatency = 2048;

// What the editor asks of the engine besides parameters.
enum TrigwaveCommand : int {
    kTrigwavePeakHoldReset = 0,  // both peak holds fall back on the next frame
    kTrigwaveNumCommands
};

// Editor control tag of the peak-hold reset button.
constexpr int kTrigwaveResetPeakTag = 101;

// Buffer size of the editor's texts (hint line, peak read-out).
constexpr int kTrigwaveTextSize = 64;

}  // namespace qx
