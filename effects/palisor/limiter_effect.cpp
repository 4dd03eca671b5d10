// Parameter mapping, deferred engine work and the processing loop of the limiter plug-in.
#include "effects/palisor/limiter_effect.h"

#include <algorithm>

#include "framework/sample_guard.h"

namespace qx {

LimiterEffect::LimiterEffect(vst::audioMasterCallback host)
    : LimiterEngine(), ProgramEffect(host, kLimiterDescription) {
    finishConstruction();
}

void LimiterEffect::post(std::uint32_t work) {
    gate_.post(work, [this](std::uint32_t w) { applyWork(w); });
}

void LimiterEffect::applyParameter(int index, float value) {
    engineValues_[static_cast<size_t>(index)].store(value, std::memory_order_relaxed);
    post(1u << index);
}

void LimiterEffect::setSampleRate(float sampleRate) {
    AudioEffect::setSampleRate(sampleRate);
    requestedSampleRate_.store(sampleRate, std::memory_order_relaxed);
    post(kSampleRateBit);
}

void LimiterEffect::suspend() {
    gate_.setHostProcessing(false);
    post(kResetBit);
}

void LimiterEffect::resume() {
    post(kResetBit);
    gate_.setHostProcessing(true);
}

void LimiterEffect::requestPeakHoldReset() {
    post(kPeakHoldBit);
}

void LimiterEffect::applyWork(std::uint32_t work) {
    // The rate first, so that setters in the same batch compute with the new one.
    if (work & kSampleRateBit)
        updateSampleRate(requestedSampleRate_.load(std::memory_order_relaxed));
    for (std::uint32_t bits = work & kParameterBits; bits != 0; bits &= bits - 1) {
        const int index = __builtin_ctz(bits);
        applyToEngine(index,
                      engineValues_[static_cast<size_t>(index)].load(std::memory_order_relaxed));
    }
    if (work & kResetBit) reset();
    if (work & kPeakHoldBit) resetPeakHold();
}

void LimiterEffect::applyToEngine(int index, float value) {
    // Host values outside 0..1 are held to the range the mappings were made for, a NaN
    // to 0 (it would otherwise poison the recursive state for good); the Dithering menu
    // index is compared against its own thresholds.
    const float v = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
    switch (index) {
        case kLimiterOutputTrim:
            setOutputGain(limiterGainCurve(v));
            break;
        case kLimiterOutputScale:
            break;  // a display setting of the editor
        case kLimiterBypass:
            setBypassed(v > 0.5f);
            break;
        case kLimiterInputDrive:
            setDrive(10.0f * limiterGainCurve(v));
            break;
        case kLimiterSideGain:
            setSideGain(v);
            break;
        case kLimiterXcorrTime:
            setXcorrTime(500.0f * v * 0.001f);
            break;
        case kLimiterXcorrThreshold:
            setXcorrThreshold(2.0f * v - 1.0f);
            break;
        case kLimiterEnvHysteresis:
            setEnvHysteresis(200.0f * v * 0.001f);
            break;
        case kLimiterEnvRelease:
            setEnvRelease(200.0f * v * 0.001f);
            break;
        case kLimiterStereoLink:
            setStereoLink(v);
            break;
        case kLimiterSoftclipThreshold:
            setSoftclipThreshold(40.0f * v - 20.0f);
            break;
        case kLimiterSoftclipAmount:
            setSoftclipAmount(v);
            break;
        case kLimiterRmsAttack:
            setRmsAttack(200.0f * v * 0.001f);
            break;
        case kLimiterRmsRelease:
            setRmsRelease(200.0f * v * 0.001f);
            break;
        case kLimiterRmsThreshold:
            setRmsThreshold(40.0f * v - 20.0f);
            break;
        case kLimiterInterSamplePeak:
            setInterSamplePeak(v > 0.5f);
            break;
        case kLimiterDithering:
            setWordLength(limiterWordLength(value));
            break;
        default:
            break;
    }
}

template <typename T>
void LimiterEffect::run(T* const* inputs, T* const* outputs, int frames) {
    if (frames <= 0) return;
    gate_.enterProcess([this](std::uint32_t work) { applyWork(work); });
    processBlock<T>(inputs[0], inputs[1], outputs[0], outputs[1], frames);
    gate_.leaveProcess();
}

void LimiterEffect::processReplacing(float** inputs, float** outputs, int frames) {
    run(inputs, outputs, frames);
}

void LimiterEffect::processDoubleReplacing(double** inputs, double** outputs, int frames) {
    run(inputs, outputs, frames);
}

}  // namespace qx
