// Requantiser for the limiter's output: triangular dither, rounding to a shorter word
// and error feedback whose shape depends on the sample rate.
#pragma once

#include <cstdint>

#include "dsp/noise_source.h"

namespace qx {

class DitherQuantizer {
  public:
    static constexpr int kMaxWordLength = 32;
    static constexpr int kShapeTaps = 8;
    // Error-feedback filter for 32..120 kHz; tap 0 weighs the newest error.
    static constexpr float kShape[kShapeTaps] = {1.47933f,  -1.59032f,  1.64436f,  -1.36613f,
                                                 0.926704f, -0.557931f, 0.267859f, -0.106627f};
    // Rates at and above which the 8-tap shaping, and then first-order shaping, run.
    static constexpr float kShapedRate = 32000.0f;
    static constexpr float kFirstOrderRate = 120000.0f;

    DitherQuantizer();
    virtual ~DitherQuantizer() = default;

    // Word length in bits, held to 1..32; clears the error memory. Not to interleave
    // with quantize().
    void init(int wordLength);
    // Restarts the dither noise; the two channels use different seeds so their dither is
    // independent.
    void seedNoise(std::uint32_t seed) { noise_.setSeed(seed); }
    // Hz; only selects the shaping regime.
    void setSampleRate(float sampleRateHz) { sampleRate_ = sampleRateHz; }

    // Audio thread: x in full-scale units, result a multiple of 2^(1 - wordLength).
    inline float quantize(float x);

    int wordLength() const { return wordLength_; }
    int lastCode() const { return lastCode_; }
    float feedback() const { return feedback_; }

  private:
    // Keeps the integer conversion defined for any finite input.
    static constexpr float kCodeLimit = 2147483520.0f;  // largest float below 2^31

    int wordLength_ = kMaxWordLength;
    float sampleRate_ = 44100.0f;
    float scale_ = 1.0f;     // full scale to codes
    float invScale_ = 1.0f;  // codes to full scale
    int lastCode_ = 0;
    NoiseSource noise_;
    float errorRing_[kShapeTaps] = {};  // newest error at ringIndex_ - 1
    float feedback_ = 0.0f;             // subtracted from the next scaled input
    int ringIndex_ = 0;
};

inline float DitherQuantizer::quantize(float x) {
    const float f = x * scale_ - feedback_;
    const float first = noise_.nextSample();
    const float second = noise_.nextSample();
    float v = f + (first + second) * 0.5f;
    if (v > kCodeLimit) v = kCodeLimit;
    if (v < -kCodeLimit) v = -kCodeLimit;
    // Rounds half away from zero.
    const int code = v > 0.0f ? static_cast<int>(v + 0.5f) : static_cast<int>(v - 0.5f);
    lastCode_ = code;
    const float codeValue = static_cast<float>(code);
    if (sampleRate_ >= kFirstOrderRate) {
        feedback_ = codeValue - f;
    } else if (sampleRate_ >= kShapedRate) {
        errorRing_[ringIndex_] = codeValue - f;
        float sum = 0.0f;
        for (int k = 0; k < kShapeTaps; ++k)
            sum += errorRing_[(ringIndex_ - k) & (kShapeTaps - 1)] * kShape[k];
        feedback_ = sum;
        ringIndex_ = (ringIndex_ + 1) & (kShapeTaps - 1);
    } else {
        feedback_ = 0.0f;
    }
    return codeValue * invScale_;
}

}  // namespace qx
