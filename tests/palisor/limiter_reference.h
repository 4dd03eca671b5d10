// A plain per-sample limiter written straight from the design, one statement per step,
// with the library's delay line, filter and noise blocks. Tests hold the engine's block
// path to it sample for sample, so any restructuring of the engine for speed has to keep
// every rounding.
#pragma once

#include <algorithm>
#include <cmath>

#include "dsp/biquad_filter.h"
#include "dsp/delay_line.h"
#include "dsp/noise_source.h"

namespace qx::test {

class ReferenceQuantizer {
  public:
    explicit ReferenceQuantizer(unsigned seed) : noise_(seed) { init(32); }

    void init(int bits) {
        bits = std::clamp(bits, 1, 32);
        scale_ = static_cast<float>(std::ldexp(1.0, bits - 1));
        invScale_ = static_cast<float>(std::ldexp(1.0, 1 - bits));
        noise_.setLevel(-3.0f);
        feedback_ = 0.0f;
        ringIndex_ = 0;
        std::fill_n(ring_, 8, 0.0f);
    }
    void setSampleRate(float fs) { sampleRate_ = fs; }

    float quantize(float x) {
        static constexpr float kShape[8] = {1.47933f,  -1.59032f,  1.64436f,  -1.36613f,
                                            0.926704f, -0.557931f, 0.267859f, -0.106627f};
        const float f = x * scale_ - feedback_;
        const float first = noise_.nextSample();
        const float second = noise_.nextSample();
        const float v = f + (first + second) * 0.5f;
        const int code = v > 0.0f ? static_cast<int>(v + 0.5f) : static_cast<int>(v - 0.5f);
        const float c = static_cast<float>(code);
        if (sampleRate_ >= 120000.0f) {
            feedback_ = c - f;
        } else if (sampleRate_ >= 32000.0f) {
            ring_[ringIndex_] = c - f;
            float sum = 0.0f;
            for (int k = 0; k < 8; ++k) sum += ring_[(ringIndex_ - k) & 7] * kShape[k];
            feedback_ = sum;
            ringIndex_ = (ringIndex_ + 1) & 7;
        } else {
            feedback_ = 0.0f;
        }
        return c * invScale_;
    }

  private:
    NoiseSource noise_;
    float sampleRate_ = 44100.0f, scale_ = 1.0f, invScale_ = 1.0f, feedback_ = 0.0f;
    float ring_[8] = {};
    int ringIndex_ = 0;
};

class ReferenceLimiter {
  public:
    ReferenceLimiter() {
        delay_[0].init(512, 512, 1.0f);
        delay_[1].init(512, 512, 1.0f);
        updateSampleRate(44100.0f);
    }

    static float coef(float seconds, float fs) {
        return static_cast<float>(std::exp(-1.0 / (static_cast<double>(seconds) * fs)));
    }

    void updateSampleRate(float hz) {
        fs_ = std::clamp(hz, 5000.0f, 10.0e6f);
        meterDecay_ = coef(1.0f, fs_);
        meterRmsCoef_ = coef(0.25f, fs_);
        xcorrCoef_ = coef(0.5f * xcorrTime_, fs_);
        peakSmoothCoef_ = coef(0.0015f, fs_);
        peakReleaseCoef_ = coef(0.005f, fs_);
        envReleaseCoef_ = coef(envRelease_, fs_);
        envHysteresisCoef_ = coef(envHysteresis_, fs_);
        rmsAttackCoef_ = coef(0.5f * rmsAttack_, fs_);
        rmsReleaseCoef_ = coef(0.5f * rmsRelease_, fs_);
        rmsSmoothCoef_ = coef(0.001f, fs_);
        const double w = 1.0f / 0.0015f, a = 1.0f / 0.005f;
        lookahead_ = static_cast<int>(std::ceil((std::log(w) - std::log(a)) * fs_ / (w - a)));
        peakNorm_ =
            static_cast<float>(1.0 / (std::pow(w, w / (a - w)) * std::pow(a, a / (w - a)) * w));
        holdSamples_ = static_cast<int>(10.0f * fs_);
        for (int c = 0; c < 2; ++c) {
            highpass_[c].design(fs_, kBiquadHighpass, 800.0f, 1.0f, 0.0f);
            dither_[c].setSampleRate(fs_);
            dither_[c].init(std::min(wordLength_, 32));
        }
        reset();
    }

    void reset() {
        for (int c = 0; c < 2; ++c) {
            out_[c] = work_[c] = peakLevel_[c] = meanSquare_[c] = peakHold_[c] = 1e-8f;
            excess_[c] = env_[c] = holdEnv_[c] = slowEnv_[c] = softclipPeak_[c] = 1e-8f;
            holdCount_[c] = 0;
            gain_[c] = 1.0f;
        }
        xLL_ = xRR_ = xLR_ = rmsFast_ = rmsAttackState_ = rmsHold_ = 1e-8f;
        rmsGain_ = 1.0f;
    }

    void setBypassed(bool on) {
        bypassed_ = on;
        reset();
        delay_[0].clear();
        delay_[1].clear();
    }
    void setOutputGain(float g) { outputGain_ = g < 1e-6f ? 1e-6f : g; }
    void setDrive(float g) { drive_ = g; }
    void setSideGain(float g) { side_ = g; }
    void setXcorrTime(float t) {
        xcorrTime_ = std::max(t, 0.005f);
        xcorrCoef_ = coef(0.5f * xcorrTime_, fs_);
    }
    void setXcorrThreshold(float t) { threshold_ = t; }
    void setEnvRelease(float t) {
        envRelease_ = std::max(t, 0.005f);
        envReleaseCoef_ = coef(envRelease_, fs_);
    }
    void setEnvHysteresis(float t) {
        envHysteresis_ = std::max(t, 0.005f);
        envHysteresisCoef_ = coef(envHysteresis_, fs_);
    }
    void setStereoLink(float k) { link_ = k; }
    void setSoftclipThreshold(float db) {
        inScale_ = static_cast<float>(0.5 * std::pow(10.0, -db / 20.0));
        outScale_ = static_cast<float>(2.0 * std::pow(10.0, db / 20.0));
    }
    void setSoftclipAmount(float a) {
        amount_ = a;
        softclipPeak_[0] = softclipPeak_[1] = 1.0f;
    }
    void setRmsAttack(float t) {
        rmsAttack_ = std::max(t, 0.005f);
        rmsAttackCoef_ = coef(0.5f * rmsAttack_, fs_);
    }
    void setRmsRelease(float t) {
        rmsRelease_ = std::max(t, 0.005f);
        rmsReleaseCoef_ = coef(0.5f * rmsRelease_, fs_);
    }
    void setRmsThreshold(float db) {
        thresholdPower_ = static_cast<float>(std::pow(10.0, db / 10.0));
    }
    void setInterSamplePeak(bool on) {
        isp_ = on;
        holdCount_[0] = holdCount_[1] = 0;
    }
    void setWordLength(int bits) {
        wordLength_ = bits;
        dither_[0].init(std::min(bits, 32));
        dither_[1].init(std::min(bits, 32));
    }
    void resetPeakHold() { holdCount_[0] = holdCount_[1] = 0; }

    void processSample(float inL, float inR) {
        if (bypassed_) {
            const float nL = noise_.nextSample();
            delay_[0].write(nL + inL);
            const float nR = noise_.nextSample();
            delay_[1].write(nR + inR);
            for (int c = 0; c < 2; ++c) out_[c] = work_[c] = delay_[c].readCurrent();
            meters();
            correlation();
            return;
        }
        // 1. drive
        const float nL = noise_.nextSample();
        work_[0] = nL + inL * drive_;
        const float nR = noise_.nextSample();
        work_[1] = nR + inR * drive_;
        // 2. width
        const float d = work_[0] - work_[1];
        const float m = (work_[0] + work_[1]) * 0.5f;
        work_[0] = m + d * side_;
        work_[1] = m - d * side_;
        // 3. correlation
        correlation();
        // 4. guard
        if (threshold_ > -0.95f) {
            const float t = threshold_;
            const float P = (1e-8f + 2.0f * xLR_ + xRR_ + xLL_) * (1.0f - t);
            const float Q = (1e-8f + xLL_ + xRR_ - 2.0f * xLR_) * (1.0f + t);
            if (P < Q) {
                const float k = P / Q < 0.0f ? 0.0f : std::sqrt(P / Q);
                work_[0] = m + k * d * side_;
                work_[1] = m - k * d * side_;
            }
        }
        // 5. soft clipper
        if (amount_ > 0.01f) {
            for (int c = 0; c < 2; ++c)
                softclipPeak_[c] = std::max(softclipPeak_[c], std::fabs(work_[c]));
            for (int c = 0; c < 2; ++c) {
                const float u = work_[c] * inScale_;
                const float s = u > 1.0f    ? 0.5f
                                : u >= 0.0f ? u * (2.0f - u) / 2.0f
                                : u > -1.0f ? u * (u + 2.0f) / 2.0f
                                            : -0.5f;
                work_[c] = (1.0f - amount_) * work_[c] + amount_ * outScale_ * s;
            }
        }
        // 6. delay
        delay_[0].writeDamped(work_[0]);
        delay_[1].writeDamped(work_[1]);
        // 7., 8. detector samples
        float r[2];
        for (int c = 0; c < 2; ++c) {
            const DelayLine& line = delay_[c];
            const int D = lookahead_;
            r[c] = line.readTap(D);
            if (isp_) {
                static constexpr float kTap[8] = {-0.0876277f, 0.12493774f, -0.21076833f,
                                                  0.63613927f, 0.63613927f, -0.21076833f,
                                                  0.12493774f, -0.0876277f};
                float s = 0.0f;
                for (int k = 0; k < 8; ++k) s += kTap[k] * line.readTap(D - 3 + k);
                if (std::fabs(r[c]) < std::fabs(s)) r[c] = s;
            } else {
                if (std::fabs(r[c]) > std::fabs(line.readTap(D - 1))) r[c] = line.readTap(D - 1);
                if (std::fabs(r[c]) > std::fabs(line.readTap(D + 1))) r[c] = line.readTap(D + 1);
            }
        }
        // 9. RMS stage
        const float xL = delay_[0].readTap(lookahead_), xR = delay_[1].readTap(lookahead_);
        const float p = (xL * xL + xR * xR) * 0.5f + 1e-8f;
        rmsFast_ = p * (1.0f - rmsSmoothCoef_) + rmsSmoothCoef_ * rmsFast_;
        const float mm = rmsFast_ * (1.0f - rmsAttackCoef_) + rmsAttackCoef_ * rmsAttackState_;
        rmsAttackState_ = mm;
        rmsHold_ = mm > rmsHold_ ? mm : rmsHold_ * rmsReleaseCoef_;
        rmsGain_ = 1.0f;
        if (rmsHold_ > thresholdPower_) {
            rmsGain_ = std::sqrt(thresholdPower_ / rmsHold_);
            r[0] = r[0] * rmsGain_;
            r[1] = r[1] * rmsGain_;
        }
        // 10. peak envelopes
        float E[2];
        for (int c = 0; c < 2; ++c) {
            const float u = std::fabs(r[c]) - 1.0f;
            if (excess_[c] < u)
                excess_[c] = u;
            else if (excess_[c] > 1e-8f)
                excess_[c] = excess_[c] * peakReleaseCoef_;
            env_[c] = (1.0f - peakSmoothCoef_) * excess_[c] * peakNorm_ + peakSmoothCoef_ * env_[c];
        }
        for (int c = 0; c < 2; ++c)
            holdEnv_[c] = holdEnv_[c] > env_[c] ? holdEnv_[c] * envReleaseCoef_ : env_[c];
        for (int c = 0; c < 2; ++c) {
            slowEnv_[c] =
                envHysteresisCoef_ * slowEnv_[c] + (1.0f - envHysteresisCoef_) * holdEnv_[c];
            E[c] = std::max(holdEnv_[c], slowEnv_[c]);
        }
        if (E[1] < E[0] * link_)
            E[1] = E[0] * link_;
        else
            E[0] = std::max(E[0], E[1] * link_);
        for (int c = 0; c < 2; ++c) gain_[c] = E[c] > 2e-8f ? 1.0f / (1.0f + E[c]) : 1.0f;
        // 11. output
        for (int c = 0; c < 2; ++c) {
            float o = delay_[c].readCurrent() * rmsGain_ * gain_[c];
            o = std::clamp(o, -1.0f, 1.0f) * outputGain_;
            if (wordLength_ < 32) o = std::clamp(dither_[c].quantize(o), -1.0f, 1.0f);
            out_[c] = o;
        }
        // 12. meters
        meters();
    }

    float out(int c) const { return out_[c]; }
    float peakLevel(int c) const { return peakLevel_[c]; }
    float peakHold(int c) const { return peakHold_[c]; }
    float meanSquare(int c) const { return meanSquare_[c]; }
    float gain(int c) const { return gain_[c]; }
    float rmsGain() const { return rmsGain_; }
    float softclipPeak(int c) const { return softclipPeak_[c]; }
    float xcorr(int i) const { return i == 0 ? xLL_ : i == 1 ? xRR_ : xLR_; }

  private:
    void correlation() {
        const float yL = highpass_[0].processSample(work_[0]);
        const float yR = highpass_[1].processSample(work_[1]);
        xLL_ = xcorrCoef_ * xLL_ + (1.0f - xcorrCoef_) * yL * yL;
        xRR_ = xcorrCoef_ * xRR_ + (1.0f - xcorrCoef_) * yR * yR;
        xLR_ = xcorrCoef_ * xLR_ + (1.0f - xcorrCoef_) * yR * yL;
    }

    void meters() {
        for (int c = 0; c < 2; ++c) {
            const float a = std::fabs(out_[c]);
            if (a > peakLevel_[c]) {
                peakLevel_[c] = a;
                if (a > peakHold_[c]) {
                    peakHold_[c] = a;
                    holdCount_[c] = holdSamples_;
                }
            } else {
                peakLevel_[c] = peakLevel_[c] * meterDecay_;
            }
            const int old = holdCount_[c];
            holdCount_[c] = old - 1;
            if (old < 0) {
                peakHold_[c] = a;
                holdCount_[c] = holdSamples_;
            }
            meanSquare_[c] =
                (1.0f - meterRmsCoef_) * out_[c] * out_[c] + meterRmsCoef_ * meanSquare_[c];
        }
    }

    float outputGain_ = 1.0f, drive_ = 1.0f, side_ = 1.0f, xcorrTime_ = 0.1f, threshold_ = -1.0f;
    float envRelease_ = 0.05f, envHysteresis_ = 0.3f, link_ = 0.5f, amount_ = 0.0f;
    float inScale_ = static_cast<float>(0.5 * std::pow(10.0, -1.0));
    float outScale_ = static_cast<float>(2.0 * std::pow(10.0, 1.0));
    float rmsAttack_ = 0.2f, rmsRelease_ = 0.2f;
    float thresholdPower_ = static_cast<float>(std::pow(10.0, -1.2));
    bool bypassed_ = false, isp_ = false;
    int wordLength_ = 64;
    float fs_ = 44100.0f, meterDecay_ = 0, meterRmsCoef_ = 0, xcorrCoef_ = 0, peakSmoothCoef_ = 0;
    float peakReleaseCoef_ = 0, envReleaseCoef_ = 0, envHysteresisCoef_ = 0, peakNorm_ = 0;
    float rmsAttackCoef_ = 0, rmsReleaseCoef_ = 0, rmsSmoothCoef_ = 0;
    int lookahead_ = 0, holdSamples_ = 0;
    float out_[2], work_[2], peakLevel_[2], meanSquare_[2], peakHold_[2];
    int holdCount_[2];
    float excess_[2], env_[2], holdEnv_[2], slowEnv_[2], gain_[2], softclipPeak_[2];
    float xLL_, xRR_, xLR_, rmsFast_, rmsAttackState_, rmsHold_, rmsGain_;
    NoiseSource noise_{1};
    DelayLine delay_[2];
    BiquadFilterLite highpass_[2];
    ReferenceQuantizer dither_[2] = {ReferenceQuantizer(2), ReferenceQuantizer(3)};
};

}  // namespace qx::test
