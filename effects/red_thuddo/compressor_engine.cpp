// Settings, coefficients, reset and meters of the side-chain compressor engine.
#include "effects/red_thuddo/compressor_engine.h"

#include <cmath>

#include "effects/red_thuddo/compressor_math.h"

namespace qx {

namespace {

// Bandwidth divisor 0.5 and 0 dB make the lite biquad's low and high pass Butterworth.
constexpr float kFilterBandwidthDivisor = 0.5f;
constexpr float kDisplayDecaySeconds = 0.08f;
constexpr float kFastMaxSeconds = 0.005f;  // the fast detector never averages longer
constexpr float kSlow1Seconds = 0.05f;
constexpr float kSlow2Seconds = 0.1f;
constexpr float kReleaseCurveFactor = 0.5f;      // release curve on: envelope release
constexpr float kSmoothReleaseFactor = 2.7183f;  // off: the longer gain recovery
constexpr float kMinRatio = 0.01f, kMaxRatio = 1000.0f;
constexpr float kMaxLevelDb = 100.0f;
// Hold counts stay inside int whatever the rate and time.
constexpr float kMaxHoldSamples = 1.0e9f;

// x held to lo..hi; NaN reads as `fallback`.
float held(float x, float lo, float hi, float fallback) {
    if (std::isnan(x)) return fallback;
    return x < lo ? lo : (x > hi ? hi : x);
}

float dbToGain(float db) {
    return static_cast<float>(std::pow(10.0, static_cast<double>(db) / 20.0));
}

// exp(-1 / (fs seconds)): the per-sample factor of a one-pole smoother.
float smoothingCoef(float sampleRate, float seconds) {
    return static_cast<float>(std::exp(-1.0 / (static_cast<double>(sampleRate) * seconds)));
}

float exponentOf(float ratio) {
    return (1.0f - ratio) * 0.5f / ratio;
}

}  // namespace

CompressorEngine::CompressorEngine(int numInputs)
    : numInputs_(numInputs >= kMaxInputs ? kMaxInputs : 2) {
    // Independent offsets per input.
    for (int j = 0; j < kMaxInputs; ++j)
        noise_[j].setSeed(kFirstNoiseSeed + static_cast<std::uint32_t>(j));
    setRatio1(ratio1_);
    setRatio2(ratio2_);
    setThresholdDb(thresholdDb_);
    setMaxGainDb(maxGainDb_);
    updateCoefficients();
    reset();
}

void CompressorEngine::designFilters() {
    // Corners follow the rate downwards; above 0.45 fs the design would fold over.
    const float limit = kMaxCornerFraction * sampleRate_;
    const float low = lowPassHz_ < limit ? lowPassHz_ : limit;
    const float high = highPassHz_ < limit ? highPassHz_ : limit;
    for (int k = 0; k < kNumOutputs; ++k) {
        lowPass_[k].design(sampleRate_, kBiquadLowpass, low, kFilterBandwidthDivisor, 0.0f);
        highPass_[k].design(sampleRate_, kBiquadHighpass, high, kFilterBandwidthDivisor, 0.0f);
    }
}

// Everything that depends on the sample rate.
void CompressorEngine::updateCoefficients() {
    designFilters();
    updateAttackCoefs();
    updateReleaseCoefs();
    slow1Coef_ = smoothingCoef(sampleRate_, kSlow1Seconds);
    slow2Coef_ = smoothingCoef(sampleRate_, kSlow2Seconds);
    displayDecayCoef_ = smoothingCoef(sampleRate_, kDisplayDecaySeconds);
    updateHoldSamples();
}

void CompressorEngine::updateAttackCoefs() {
    const float fs = sampleRate_;
    fastCoef_ = smoothingCoef(fs, (attack_ < kFastMaxSeconds ? attack_ : kFastMaxSeconds) * 0.5f);
    attackCoef_ = smoothingCoef(fs, attack_ * 0.5f);
    limiterAttackCoef_ = smoothingCoef(fs, attack_);
}

void CompressorEngine::updateReleaseCoefs() {
    const float fs = sampleRate_;
    releaseCoef_ =
        smoothingCoef(fs, release_ * (releaseCurve_ ? kReleaseCurveFactor : kSmoothReleaseFactor));
    limiterReleaseCoef_ = smoothingCoef(fs, release_);
}

void CompressorEngine::updateHoldSamples() {
    const float samples = std::floor(sampleRate_ * hold_);
    holdSamples_ = static_cast<int>(samples < kMaxHoldSamples ? samples : kMaxHoldSamples);
}

void CompressorEngine::setSampleRate(float sampleRateHz) {
    const float fs = held(sampleRateHz, kMinSampleRate, kMaxSampleRate, kMinSampleRate);
    if (fs == sampleRate_) return;
    sampleRate_ = fs;
    updateCoefficients();
}

void CompressorEngine::reset() {
    for (float& x : inputFrame_) x = 0.0f;
    for (int k = 0; k < kNumOutputs; ++k) {
        outputFrame_[k] = 0.0f;
        limiterState_[k] = Limiter{};
    }
    gain_ = 1.0f;
    msFast1_ = msFast2_ = ms50_ = ms100_ = 0.1f;
    envelope_ = 0.1f;
    displayLevel_ = 1e-5f;
    holdCounter_ = 0;
    clearGainMeters();
}

void CompressorEngine::setBypass(bool on) {
    bypassed_ = on;
    reset();
}

void CompressorEngine::setPreGainDb(float db) {
    preGain_ = dbToGain(held(db, -kMaxLevelDb, kMaxLevelDb, 0.0f));
}

void CompressorEngine::setPostGainDb(float db) {
    postGain_ = dbToGain(held(db, -kMaxLevelDb, kMaxLevelDb, 0.0f));
}

void CompressorEngine::setLimiter(bool on) {
    limiter_ = on;
    if (!on) {
        for (Limiter& l : limiterState_) {
            l.gain = 1.0f;
            l.peak = l.env = kLimiterRest;
        }
    }
}

void CompressorEngine::setReleaseCurve(bool on) {
    releaseCurve_ = on;
    updateReleaseCoefs();
}

void CompressorEngine::setHighPassHz(float hz) {
    const float limit = kMaxCornerFraction * sampleRate_;
    highPassHz_ = held(hz, kMinCornerHz, limit, kMinCornerHz);
    designFilters();
}

void CompressorEngine::setLowPassHz(float hz) {
    const float limit = kMaxCornerFraction * sampleRate_;
    lowPassHz_ = held(hz, kMinCornerHz, limit, kMinCornerHz);
    designFilters();
}

void CompressorEngine::setHysteresis(float amount) {
    hysteresis_ = held(amount, 0.0f, 1.0f, 0.0f);
}

void CompressorEngine::setAttack(float seconds) {
    attack_ = held(seconds, kMinTimeSeconds, HUGE_VALF, kMinTimeSeconds);
    updateAttackCoefs();
}

void CompressorEngine::setHold(float seconds) {
    hold_ = held(seconds, 0.0f, HUGE_VALF, 0.0f);
    updateHoldSamples();
}

void CompressorEngine::setRelease(float seconds) {
    release_ = held(seconds, kMinTimeSeconds, HUGE_VALF, kMinTimeSeconds);
    updateReleaseCoefs();
}

void CompressorEngine::setRatio1(float ratio) {
    ratio1_ = held(ratio, kMinRatio, kMaxRatio, 1.0f);
    exponent1_ = exponentOf(ratio1_);
}

void CompressorEngine::setRatio2(float ratio) {
    ratio2_ = held(ratio, kMinRatio, kMaxRatio, 1.0f);
    exponent2_ = exponentOf(ratio2_);
}

void CompressorEngine::setThresholdDb(float db) {
    thresholdDb_ = held(db, -kMaxLevelDb, kMaxLevelDb, 0.0f);
    thresholdPower_ = static_cast<float>(std::pow(10.0, -0.1 * thresholdDb_));
}

void CompressorEngine::setDryWet(float wet) {
    dryWet_ = held(wet, 0.0f, 1.0f, 1.0f);
}

void CompressorEngine::setMaxGainDb(float db) {
    maxGainDb_ = held(db, 0.0f, kMaxGainRangeDb, kMaxGainRangeDb);
    minGain_ = dbToGain(-maxGainDb_);
    maxGain_ = dbToGain(maxGainDb_);
}

CompressorEngine::Routing CompressorEngine::routing() const {
    // One detector channel keys from input 1 with the side chain on and from input 0
    // otherwise, and input 0 then feeds both outputs. The pair reads inputs 2-3 (side
    // chain) or 0-1.
    Routing r;
    r.single = mono_ || (sidechain_ && numInputs_ < kMaxInputs);
    r.keyA = sidechain_ ? (r.single ? 1 : 2) : 0;
    r.keyB = r.keyA + 1;
    r.reads = sidechain_ && !r.single ? 4 : (r.single && !sidechain_ ? 1 : 2);
    return r;
}

// Detector and envelope: mean square of the band-limited key, the slow averages that
// hysteresis weighs in, the display peak, and the envelope relative to the threshold with
// attack, hold and release.
void CompressorEngine::detect(const Routing& route, Chunk& c, int frames) {
    BiquadFilterLite lowA = lowPass_[0], highA = highPass_[0];
    BiquadFilterLite lowB = lowPass_[1], highB = highPass_[1];
    float msFast1 = msFast1_, msFast2 = msFast2_, ms50 = ms50_, ms100 = ms100_;
    float envelope = envelope_, displayLevel = displayLevel_;
    int holdCounter = holdCounter_;
    const float fastCoef = fastCoef_, slow1Coef = slow1Coef_, slow2Coef = slow2Coef_;
    const float hysteresis2 = hysteresis_ * hysteresis_;
    const float displayDecay = displayDecayCoef_, thresholdPower = thresholdPower_;
    const float attackCoef = attackCoef_;
    const float releaseCoef = releaseCurve_ ? releaseCoef_ : fastCoef_;
    const int holdSamples = holdSamples_;
    const float* keyA = c.in[route.keyA];
    const float* keyB = c.in[route.keyB];

    for (int i = 0; i < frames; ++i) {
        const float sA = highA.processSample(lowA.processSample(keyA[i]));
        c.heard[0][i] = sA;
        float p;
        if (route.single) {
            p = kDetectorFloor + sA * sA;
        } else {
            const float sB = highB.processSample(lowB.processSample(keyB[i]));
            c.heard[1][i] = sB;
            p = kDetectorFloor + 0.5f * (sA * sA + sB * sB);
        }
        msFast1 = p + (msFast1 - p) * fastCoef;
        msFast2 = msFast1 + (msFast2 - msFast1) * fastCoef;
        ms50 = msFast2 + (ms50 - msFast2) * slow1Coef;
        ms100 = ms50 + (ms100 - ms50) * slow2Coef;
        const float held50 = hysteresis2 * ms50, held100 = hysteresis2 * ms100;
        float d = msFast2;
        if (held50 > d) d = held50;
        if (held100 > d) d = held100;
        displayLevel = d > displayLevel ? d : displayLevel * displayDecay;

        const float m = d * thresholdPower;
        if (m > envelope) {
            envelope = m + (envelope - m) * attackCoef;
            holdCounter = holdSamples;
        } else if (holdCounter < 1) {
            envelope = m + (envelope - m) * releaseCoef;
        } else {
            --holdCounter;
        }
        c.envelope[i] = envelope;
    }

    lowPass_[0] = lowA;
    highPass_[0] = highA;
    lowPass_[1] = lowB;
    highPass_[1] = highB;
    msFast1_ = msFast1;
    msFast2_ = msFast2;
    ms50_ = ms50;
    ms100_ = ms100;
    envelope_ = envelope;
    displayLevel_ = displayLevel;
    holdCounter_ = holdCounter;
}

void CompressorEngine::applyCurve(Chunk& c, int frames) const {
    compressor_math::curveGains(c.envelope, c.curve, frames, exponent1_, exponent2_, softKnee_);
}

// Gain smoothing and range, dry/wet and post gain, the output limiter with its soft
// clipper, and the gain meters.
void CompressorEngine::mix(const Routing& route, Chunk& c, int frames) {
    float gain = gain_;
    Limiter lim[kNumOutputs] = {limiterState_[0], limiterState_[1]};
    float gainMax[kNumOutputs] = {gainMax_[0], gainMax_[1]};
    float gainMin[kNumOutputs] = {gainMin_[0], gainMin_[1]};
    const bool releaseCurve = releaseCurve_, listen = listen_, limiter = limiter_;
    const float releaseCoef = releaseCoef_, minGain = minGain_, maxGain = maxGain_;
    const float dryWet = dryWet_, postGain = postGain_;
    const float dry = (1.0f - dryWet) * postGain;
    const float limAttack = limiterAttackCoef_, limRelease = limiterReleaseCoef_;
    const int holdSamples = holdSamples_;
    const float* programme[kNumOutputs] = {c.in[0], c.in[route.single ? 0 : 1]};
    const float* heard[kNumOutputs] = {c.heard[0], c.heard[route.single ? 0 : 1]};

    for (int i = 0; i < frames; ++i) {
        const float g = c.curve[i];
        if (releaseCurve || g < gain)
            gain = g;
        else
            gain = g + (gain - g) * releaseCoef;
        gain = gain > minGain ? (gain < maxGain ? gain : maxGain) : minGain;
        const float wet = gain * dryWet * postGain;
        const float mixGain = (gain * dryWet + 1.0f - dryWet) * postGain;

        for (int k = 0; k < kNumOutputs; ++k) {
            Limiter& l = lim[k];
            float y;
            if (listen) {
                y = heard[k][i];
            } else {
                const float x = programme[k][i];
                y = x * wet + dry * x;
                if (limiter) {
                    const float excess = (y < 0.0f ? -y : y) - 1.0f;
                    if (excess > l.peak) {
                        l.peak = excess;
                        l.hold = holdSamples;
                    } else if (l.hold < 1) {
                        const float released = l.peak * limRelease;
                        l.peak = released > 1e-6f ? released : 1e-6f;
                    } else {
                        --l.hold;
                    }
                    l.env = l.peak + limAttack * (l.env - l.peak);
                    l.gain = l.env > 1e-6f ? 1.0f / (l.env + 0.999999f) : 1.0f;
                    y = compressor_math::softClip(l.gain * y);
                }
            }
            c.out[k][i] = y;
            const float a = mixGain * l.gain;
            if (a > gainMax[k]) gainMax[k] = a;
            if (a < gainMin[k]) gainMin[k] = a;
        }
    }

    gain_ = gain;
    for (int k = 0; k < kNumOutputs; ++k) {
        limiterState_[k] = lim[k];
        gainMax_[k] = gainMax[k];
        gainMin_[k] = gainMin[k];
        outputFrame_[k] = c.out[k][frames - 1];
    }
}

float CompressorEngine::limiterGainOf(int channel) const {
    return channel >= 0 && channel < kNumOutputs ? limiterState_[channel].gain : 0.0f;
}

float CompressorEngine::gainMaxOf(int channel) const {
    return channel >= 0 && channel < kNumOutputs ? gainMax_[channel] : 0.0f;
}

float CompressorEngine::gainMinOf(int channel) const {
    return channel >= 0 && channel < kNumOutputs ? gainMin_[channel] : 0.0f;
}

void CompressorEngine::clearGainMeters() {
    const float mix = mixGain();
    for (int k = 0; k < kNumOutputs; ++k) gainMax_[k] = gainMin_[k] = mix * limiterState_[k].gain;
}

}  // namespace qx
