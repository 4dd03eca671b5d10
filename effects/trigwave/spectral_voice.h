// Envelopes and the held-spectrum voice of the triggered spectral engine: a voice captures
// the spectrum at an onset, measures how far each bin turns per hop, and keeps sounding it
// under an amplitude envelope and an enveloped spectral lowpass.
#pragma once

#include <vector>

#include "dsp/random_generator.h"

namespace qx {

// Timing of one envelope, shared by that envelope of every voice. Envelopes tick once per
// hop, so the rate is in ticks per second. Setters run between blocks; they recompute the
// per-tick coefficients.
class EnvelopeShape {
  public:
    static constexpr float kMaxSeconds = 60.0f;

    EnvelopeShape() { recompute(); }

    void setAttack(float seconds);       // 0..60; 0 reaches full level on the trigger
    void setDecay(float seconds);        // 0..60
    void setSustainTime(float seconds);  // 0..60, hold at the sustain level
    void setSustainLevel(float level);   // linear, 0..1
    void setRelease(float seconds);      // 0..60; 0 ends on the next tick
    void setRate(float ticksPerSecond);  // > 0

    float attack() const { return attack_; }
    float decay() const { return decay_; }
    float sustainTime() const { return sustainTime_; }
    float sustainLevel() const { return sustainLevel_; }
    float release() const { return release_; }
    float rate() const { return rate_; }
    float attackCoef() const { return attackCoef_; }    // growth per tick, above 1
    float decayCoef() const { return decayCoef_; }      // fall per tick
    float releaseCoef() const { return releaseCoef_; }  // fall per tick
    int holdTicks() const { return holdTicks_; }        // ticks spent at the sustain level

  private:
    void recompute();

    float attack_ = 0.0f;
    float decay_ = 0.2f;
    float sustainTime_ = 0.1f;
    float sustainLevel_ = 0.1f;
    float release_ = 0.1f;
    float rate_ = 44100.0f;
    float attackCoef_ = 0.0f;
    float decayCoef_ = 0.0f;
    float releaseCoef_ = 0.0f;
    int holdTicks_ = 0;
};

// Running state of one envelope. Exponential segments: the attack climbs from 0.001 to 1,
// decay falls to the sustain level, which is held for the sustain time, and the release
// falls until the level is below 0.001, where the envelope goes idle at 0.
class EnvelopeGenerator {
  public:
    enum Stage : int { kIdle = 0, kAttack, kDecay, kSustain, kRelease };

    // Starts the attack at 0.001 and runs its first tick.
    void trigger(const EnvelopeShape& shape);
    void tick(const EnvelopeShape& shape);

    int stage() const { return stage_; }
    float level() const { return level_; }
    int holdCounter() const { return holdCounter_; }

  private:
    int stage_ = kIdle;
    float level_ = 0.0f;
    int holdCounter_ = 0;
};

// Settings every voice shares.
struct VoiceSettings {
    float randomize = 0.0f;            // 0..1: share of random phase against measured rotation
    float filterFrequency = 20000.0f;  // Hz, lowpass cutoff with the filter envelope at 0
    float filterEnvAmount = 1.0f;      // -1..1: envelope at 1 moves the cutoff by 20 kHz
    float resonance = 0.0f;            // 0..1
    bool analog = true;                // smooth lowpass; off: brick wall with a resonant edge
};

// Everything a voice reads during a hop besides its own state.
struct HopContext {
    int size = 0;  // N, frame size
    float sampleRate = 0.0f;
    const VoiceSettings* settings = nullptr;
    const EnvelopeShape* ampShape = nullptr;
    const EnvelopeShape* filterShape = nullptr;
    // The 256 random rotations of the current randomize setting as (cos, sin) pairs, by
    // random byte.
    const float* randomTurns = nullptr;
    RandomGenerator* random = nullptr;
    float* gain = nullptr;  // N/2 floats of scratch for the per-bin filter gain
};

// One voice. Spectra use the packed layout of RealFft: bin k (1..N/2-1) has its real part
// at [k] and its imaginary part at [N/2 + k].
class SpectralVoice {
  public:
    // 0 free; 1..3 capturing the frame of each hop; 4 measuring the rotation between two
    // frames; 5 holding.
    enum State : int { kFree = 0, kCapture = 1, kMeasure = 4, kHolding = 5 };
    static constexpr int kMaxSize = 2048;

    // Allocates the spectra for the largest frame size. Control thread.
    SpectralVoice();

    // Frame size N (a power of two up to kMaxSize); zeroes the spectra, frees the voice.
    void setup(int size);
    // Starts capturing at the next hop, with both envelopes triggered.
    void trigger(const EnvelopeShape& ampShape, const EnvelopeShape& filterShape);
    void free() { state_ = kFree; }

    // One hop: analyses src (the windowed input spectrum, read only while capturing or
    // measuring), ticks both envelopes, then adds the held spectrum, shaped by the
    // amplitude envelope and the filter, into sum. Returns whether it added anything.
    bool processHop(const float* src, float* sum, const HopContext& hop);

    int state() const { return state_; }
    const EnvelopeGenerator& ampEnvelope() const { return ampEnv_; }
    const EnvelopeGenerator& filterEnvelope() const { return filterEnv_; }
    const float* capture() const { return capture_.data(); }
    const float* phaseStep() const { return phaseStep_.data(); }

  private:
    void measureRotation(const float* src);
    void advance(const HopContext& hop);
    // Per-bin gain of amplitude envelope and filter into hop.gain; returns the end of the
    // bins that pass (exclusive).
    int filterGains(const HopContext& hop) const;

    int size_ = 0;
    int state_ = kFree;
    std::vector<float> capture_;    // held spectrum
    std::vector<float> phaseStep_;  // unit rotation per hop of each bin
    EnvelopeGenerator ampEnv_, filterEnv_;
};

}  // namespace qx
