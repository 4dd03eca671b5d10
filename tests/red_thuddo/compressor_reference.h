// A plain per-frame compressor written straight from the algorithm, with the library
// pow, exp and log: the optimised engine is held to it. Its anti-denormal noise draws
// from the sequences the engine uses, so both see the same input samples.
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/biquad_filter.h"
#include "dsp/noise_source.h"

namespace qx::test {

struct CompressorSettings {
    float sampleRate = 44100.0f;
    float preGainDb = 0.0f, postGainDb = 0.0f;
    bool limiter = false, mono = false, sidechain = false, listen = false;
    bool softKnee = false, releaseCurve = false;
    float highPassHz = 20.0f, lowPassHz = 15000.0f;
    float hysteresis = 0.0f;
    float attack = 0.01f, hold = 0.0f, release = 0.1f;
    float ratio1 = 1.0f, ratio2 = 1.0f;
    float thresholdDb = 0.0f;
    float dryWet = 1.0f;
    float maxGainDb = 40.0f;
};

class ReferenceCompressor {
  public:
    ReferenceCompressor(const CompressorSettings& s, int numInputs, std::uint32_t firstNoiseSeed)
        : s_(s), inputs_(numInputs) {
        for (int j = 0; j < 4; ++j)
            noise_[j].setSeed(firstNoiseSeed + static_cast<std::uint32_t>(j));
        const float fs = s.sampleRate;
        for (int k = 0; k < 2; ++k) {
            low_[k].design(fs, kBiquadLowpass, std::fmin(s.lowPassHz, 0.45f * fs), 0.5f, 0.0f);
            high_[k].design(fs, kBiquadHighpass, std::fmin(s.highPassHz, 0.45f * fs), 0.5f, 0.0f);
        }
        auto coef = [fs](double seconds) {
            return static_cast<float>(std::exp(-1.0 / (fs * seconds)));
        };
        fast_ = coef(std::fmin(s.attack, 0.005f) * 0.5);
        slow1_ = coef(0.05);
        slow2_ = coef(0.1);
        attack_ = coef(s.attack * 0.5);
        release_ = coef(s.release * (s.releaseCurve ? 0.5 : 2.7183));
        limAttack_ = coef(s.attack);
        limRelease_ = coef(s.release);
        displayDecay_ = coef(0.08);
        e1_ = (1.0f - s.ratio1) * 0.5f / s.ratio1;
        e2_ = (1.0f - s.ratio2) * 0.5f / s.ratio2;
        thresholdPower_ = static_cast<float>(std::pow(10.0, -0.1 * s.thresholdDb));
        minGain_ = static_cast<float>(std::pow(10.0, -s.maxGainDb / 20.0));
        maxGain_ = static_cast<float>(std::pow(10.0, s.maxGainDb / 20.0));
        pre_ = static_cast<float>(std::pow(10.0, s.preGainDb / 20.0));
        post_ = static_cast<float>(std::pow(10.0, s.postGainDb / 20.0));
        holdSamples_ = static_cast<int>(std::floor(fs * s.hold));
    }

    // One frame of numInputs samples into out[0], out[1].
    void process(const float* in, float* out) {
        float x[4];
        for (int j = 0; j < inputs_; ++j) x[j] = noise_[j].nextSample() + in[j] * pre_;
        auto filtered = [&](int k, float v) {
            return high_[k].processSample(low_[k].processSample(v));
        };
        float p;
        if (s_.sidechain && (s_.mono || inputs_ == 2)) {
            const float v = filtered(0, x[1]);
            p = 1e-5f + v * v;
        } else if (s_.sidechain) {
            const float a = filtered(0, x[2]), b = filtered(1, x[3]);
            p = 1e-5f + 0.5f * (a * a + b * b);
        } else if (s_.mono) {
            const float v = filtered(0, x[0]);
            p = 1e-5f + v * v;
        } else {
            const float a = filtered(0, x[0]), b = filtered(1, x[1]);
            p = 1e-5f + 0.5f * (a * a + b * b);
        }
        msFast1_ = p + (msFast1_ - p) * fast_;
        msFast2_ = msFast1_ + (msFast2_ - msFast1_) * fast_;
        ms50_ = msFast2_ + (ms50_ - msFast2_) * slow1_;
        ms100_ = ms50_ + (ms100_ - ms50_) * slow2_;
        const float h = s_.hysteresis * s_.hysteresis;
        const float d = std::fmax(msFast2_, std::fmax(h * ms50_, h * ms100_));
        display_ = d > display_ ? d : display_ * displayDecay_;

        const float m = d * thresholdPower_;
        if (m > envelope_) {
            envelope_ = m + (envelope_ - m) * attack_;
            holdCounter_ = holdSamples_;
        } else if (holdCounter_ < 1) {
            envelope_ = m + (envelope_ - m) * (s_.releaseCurve ? release_ : fast_);
        } else {
            --holdCounter_;
        }

        const double r = envelope_;
        double g;
        if (s_.softKnee && r >= 0.25 && r <= 4.0) {
            const double v = std::log10(r) * 0.8333333 + 0.5, w = 1.0 - v;
            g = std::pow(10.0, 0.1 * (6.0 * e1_ * v * v - 6.0 * e2_ * w * w));
        } else {
            g = std::pow(r, r > 1.0 ? e1_ : e2_);
        }
        const float gf = static_cast<float>(std::fmin(g, 1e30));
        if (s_.releaseCurve || gf < gain_)
            gain_ = gf;
        else
            gain_ = gf + (gain_ - gf) * release_;
        gain_ = std::fmin(std::fmax(gain_, minGain_), maxGain_);

        const bool single = s_.mono || (s_.sidechain && inputs_ == 2);
        for (int k = 0; k < 2; ++k) {
            const float xk = single ? x[0] : x[k];
            if (s_.listen) {
                out[k] = high_[single ? 0 : k].output();
                continue;
            }
            float y = xk * gain_ * s_.dryWet * post_ + (1.0f - s_.dryWet) * xk * post_;
            if (s_.limiter) {
                const float e = std::fabs(y) - 1.0f;
                if (e > limPeak_[k]) {
                    limPeak_[k] = e;
                    limHold_[k] = holdSamples_;
                } else if (limHold_[k] < 1) {
                    limPeak_[k] = std::fmax(limPeak_[k] * limRelease_, 1e-6f);
                } else {
                    --limHold_[k];
                }
                limEnv_[k] = limPeak_[k] + limAttack_ * (limEnv_[k] - limPeak_[k]);
                const float lg = limEnv_[k] > 1e-6f ? 1.0f / (limEnv_[k] + 0.999999f) : 1.0f;
                y = softClip(lg * y);
            }
            out[k] = y;
        }
    }

    float gain() const { return gain_; }
    float displayLevel() const { return display_; }

    static float softClip(float x) {
        if (std::fabs(x) < 0.8f) return x;
        if (x >= 0.8f && x < 1.2f) return 1.0f - 1.25f * (x - 1.2f) * (x - 1.2f);
        if (x > -1.2f && x <= -0.8f) return 1.25f * (-x - 1.2f) * (-x - 1.2f) - 1.0f;
        return x > 0.0f ? 1.0f : -1.0f;
    }

  private:
    CompressorSettings s_;
    int inputs_;
    NoiseSource noise_[4];
    BiquadFilterLite low_[2], high_[2];
    float fast_, slow1_, slow2_, attack_, release_, limAttack_, limRelease_, displayDecay_;
    float e1_, e2_, thresholdPower_, minGain_, maxGain_, pre_, post_;
    int holdSamples_;
    float msFast1_ = 0.1f, msFast2_ = 0.1f, ms50_ = 0.1f, ms100_ = 0.1f;
    float envelope_ = 0.1f, gain_ = 1.0f, display_ = 1e-5f;
    int holdCounter_ = 0;
    float limPeak_[2] = {1e-5f, 1e-5f}, limEnv_[2] = {1e-5f, 1e-5f};
    int limHold_[2] = {0, 0};
};

}  // namespace qx::test
