// A plain per-sample multiband compressor written straight from the design, one band
// and one channel at a time, with the library's delay lines and noise sources. Tests hold
// every kernel of the engine to it sample for sample.
#pragma once

#include <algorithm>
#include <cmath>

#include "dsp/delay_line.h"
#include "dsp/noise_source.h"

namespace qx::test {

class ReferenceMultiband {
  public:
    static constexpr int kBands = 20, kOrder = 5, kChannels = 2, kLength = 1024;

    ReferenceMultiband() {
        for (int j = 0; j < kChannels; ++j) {
            analysis_[j].init(kLength, kLength, 1.0f);
            dry_[j].init(kLength, kLength, 1.0f);
            noise_[j].setSeed(static_cast<unsigned>(j + 1));
        }
        for (int k = 0; k < 2048; ++k) {
            cos_[k] = static_cast<float>(std::cos(2.0 * M_PI * k / 2048));
            sin_[k] = static_cast<float>(std::sin(2.0 * M_PI * k / 2048));
        }
        for (int i = 0; i < kBands; ++i) {
            attackTime_[i] = releaseTime_[i] = 0.0001f;
            gain_[i] = makeup_[i] = inverseThreshold_[i] = ratioExponent_[i] = 1.0f;
        }
        fs_ = 0.0f;
        setSampleRate(44100.0f);
        reset();
    }

    void setSampleRate(float hz) {
        const float fs = std::clamp(hz, 100.0f, 10.0e6f);
        if (fs == fs_) return;
        fs_ = fs;
        meterDecay_ = static_cast<float>(std::exp(-1.0 / fs));
        holdSamples_ = static_cast<int>(std::floor(static_cast<double>(fs) * 10.0));
        layout();
    }
    void setBandCount(int n) {
        n = std::clamp(n, 1, kBands);
        if (n != bands_) bands_ = n, layout();
    }
    void setFilterOrder(int n) {
        n = std::clamp(n, 1, kOrder);
        if (n != order_) order_ = n, layout();
    }
    void setOutputTrim(float g) { trim_ = std::max(g, 1e-8f); }
    void setPreGain(float g) { preGain_ = g; }
    void setDryWet(float w) { dryWet_ = w; }
    void setWarmthEnabled(bool on) { warmthEnabled_ = on; }
    void setMakeup(int i, float g) { makeup_[i] = g; }
    void setThreshold(int i, float t) { inverseThreshold_[i] = 1.0f / std::max(t, 1e-8f); }
    void setRatio(int i, float r) { ratioExponent_[i] = (1.0f - r) / r; }
    void setAttack(int i, float s) { attackCoef_[i] = coef(attackTime_[i] = s); }
    void setRelease(int i, float s) { releaseCoef_[i] = coef(releaseTime_[i] = s); }
    void setWarmth(int i, float w) { warmth_[i] = w; }
    void setBypass(bool on) {
        if (on == bypassed_) return;
        bypassed_ = on;
        reset();
        for (int j = 0; j < kChannels; ++j) {
            dry_[j].clear();
            analysis_[j].clear();
        }
        std::fill_n(&stateRe_[0][0][0], kBands * kOrder * kChannels, 0.0f);
        std::fill_n(&stateIm_[0][0][0], kBands * kOrder * kChannels, 0.0f);
    }
    void reset() {
        for (int k = 0; k < kChannels; ++k) {
            out_[k] = 0.0f;
            meterLevel_[k] = meterHold_[k] = 1e-8f;
            holdCounter_[k] = 0;
        }
    }
    void resetHold() { holdCounter_[0] = holdCounter_[1] = 0; }

    void processFrame(float in0, float in1) {
        const float in[kChannels] = {in0, in1};
        float frame[kChannels];
        for (int j = 0; j < kChannels; ++j) {
            frame[j] = noise_[j].nextSample() + in[j] * (bypassed_ ? 1.0f : preGain_);
            dry_[j].write(frame[j]);
        }
        if (bypassed_) {
            for (int k = 0; k < kChannels; ++k) out_[k] = dry_[k].readCurrent();
        } else {
            analyse(frame);
            dynamics();
            for (int k = 0; k < kChannels; ++k) {
                float wet = 0.0f;
                for (int i = 0; i < bands_; ++i) wet += bandOut_[i][k];
                out_[k] = wet * dryWet_ * trim_ + dry_[k].readCurrent() * (1.0f - dryWet_) * trim_;
            }
        }
        for (int k = 0; k < kChannels; ++k) {
            const float b = 1e-8f + std::fabs(out_[k]);
            meterLevel_[k] = b > meterLevel_[k] ? b : meterLevel_[k] * meterDecay_;
            if (b > meterHold_[k]) {
                meterHold_[k] = b;
                holdCounter_[k] = holdSamples_;
            } else if (--holdCounter_[k] < 0) {
                meterHold_[k] = meterLevel_[k];
                holdCounter_[k] = holdSamples_;
            }
        }
    }

    float out(int k) const { return out_[k]; }
    float meterLevel(int k) const { return meterLevel_[k]; }
    float meterHold(int k) const { return meterHold_[k]; }
    float level(int i) const { return level_[i]; }
    float gain(int i) const { return gain_[i]; }
    float bandMag(int i, int j) const { return bandMag_[i][j]; }

  private:
    float coef(float seconds) const {
        return static_cast<float>(std::exp(-1.0 / (static_cast<double>(seconds) * fs_)));
    }

    void layout() {
        auto E = [](float f) { return 9.265f * std::log(1.0f + 0.00436976f * f); };
        auto F = [](float e) { return (std::exp(0.107933074f * e) - 1.0f) * 228.84552f; };
        const float pi = 3.14159265358979f, twoPi = 6.28318530717959f;
        const float step = (E(18000.0f) - E(25.0f)) / bands_;
        for (int i = 0; i < bands_; ++i) {
            const float lo = i == 0 ? 25.0f : F(E(25.0f) + i * step);
            const float hi = i == bands_ - 1 ? 18000.0f : F(E(25.0f) + (i + 1) * step);
            const int centre = static_cast<int>(std::floor((lo + hi + 1.0f) / 2.0f));
            float wc = pi * (hi - lo) / std::sqrt(std::pow(2.0f, 1.0f / order_) - 1.0f);
            wc = std::max(wc, (order_ - 1) * fs_ / 1024.0f);
            delay_[i] = static_cast<int>(std::floor((order_ - 1) / wc * fs_ + 0.5f));
            pole_[i] = std::exp(-wc / fs_);
            omega_[i] = centre * twoPi / fs_;
            phaseOffset_[i] = -twoPi * centre * (order_ - 1) / wc;
            centre_[i] = centre;
        }
        for (int i = 0; i < kBands; ++i) {
            attackCoef_[i] = coef(attackTime_[i]);
            releaseCoef_[i] = coef(releaseTime_[i]);
            weight_[i] = bands_ == 1                      ? 0.1f
                         : i < bands_ && centre_[i] < 700 ? std::max(0.2f, centre_[i] / 700.0f)
                                                          : 1.0f;
        }
        fastCoef_ = coef(0.0005f);
    }

    int index(float phase) const { return static_cast<int>(phase * 325.9493f) & 2047; }

    void analyse(const float* frame) {
        counter_ = counter_ + 1;
        if (counter_ >= fs_) counter_ = 0;
        for (int j = 0; j < kChannels; ++j) analysis_[j].write(frame[j] * 1.26f);
        for (int i = 0; i < bands_; ++i) {
            const float a = counter_ * omega_[i];
            const float cd = cos_[index(phaseOffset_[i] - a)],
                        sd = sin_[index(phaseOffset_[i] - a)];
            const float cm = cos_[index(a)], sm = sin_[index(a)];
            for (int j = 0; j < kChannels; ++j) {
                const float x = analysis_[j].readTap(delay_[i]);
                float re = x * cd, im = x * sd;
                for (int k = 0; k < order_; ++k) {
                    re = re + (stateRe_[i][k][j] - re) * pole_[i];
                    stateRe_[i][k][j] = re;
                    im = im + (stateIm_[i][k][j] - im) * pole_[i];
                    stateIm_[i][k][j] = im;
                }
                bandOut_[i][j] = cm * re - sm * im;
                const float ar = std::fabs(re), ai = std::fabs(im);
                bandMag_[i][j] = 0.94805944f * std::max(ar, ai) + 0.3926991f * std::min(ar, ai);
            }
        }
    }

    void dynamics() {
        for (int i = 0; i < bands_; ++i) {
            float s = 0.0f;
            for (int j = 0; j < kChannels; ++j) s += bandMag_[i][j];
            s *= weight_[i];
            level_[i] = s + (level_[i] - s) * attackCoef_[i];
            const float v = level_[i] * inverseThreshold_[i];
            const float target =
                v > 1.0f ? std::pow(v, ratioExponent_[i]) * makeup_[i] : makeup_[i];
            const float c = target > gain_[i] ? releaseCoef_[i] : fastCoef_;
            gain_[i] = target + (gain_[i] - target) * c;
            for (int j = 0; j < kChannels; ++j) {
                float h = bandOut_[i][j];
                if (warmthEnabled_ && warmth_[i] > 0.0001f) {
                    const float x = 50.0f * h, w = warmth_[i];
                    float y;
                    if (x >= 2.0f)
                        y = 1.0f;
                    else if (x >= 0.0f)
                        y = x - x * x / 4.0f;
                    else if (x > -2.0f)
                        y = x + x * x / 4.0f;
                    else
                        y = -1.0f;
                    h = (1.0f - w) * h + 0.1f * w * y;
                }
                bandOut_[i][j] = h * gain_[i];
            }
        }
    }

    DelayLine analysis_[kChannels], dry_[kChannels];
    NoiseSource noise_[kChannels];
    float cos_[2048], sin_[2048];
    float fs_ = 0.0f, meterDecay_ = 0.0f, fastCoef_ = 0.0f;
    int holdSamples_ = 0, bands_ = kBands, order_ = kOrder, counter_ = 0;
    float trim_ = 1.0f, preGain_ = 1.0f, dryWet_ = 1.0f;
    bool bypassed_ = false, warmthEnabled_ = true;
    int centre_[kBands] = {}, delay_[kBands] = {};
    float omega_[kBands] = {}, phaseOffset_[kBands] = {}, pole_[kBands] = {};
    float stateRe_[kBands][kOrder][kChannels] = {}, stateIm_[kBands][kOrder][kChannels] = {};
    float bandOut_[kBands][kChannels] = {}, bandMag_[kBands][kChannels] = {};
    float level_[kBands] = {}, gain_[kBands], attackCoef_[kBands], releaseCoef_[kBands];
    float weight_[kBands] = {}, makeup_[kBands], inverseThreshold_[kBands], ratioExponent_[kBands];
    float attackTime_[kBands], releaseTime_[kBands], warmth_[kBands] = {};
    float out_[kChannels] = {}, meterLevel_[kChannels], meterHold_[kChannels];
    int holdCounter_[kChannels] = {};
};

}  // namespace qx::test
