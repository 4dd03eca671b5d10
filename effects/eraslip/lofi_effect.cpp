#include "effects/eraslip/lofi_effect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "framework/sample_guard.h"

namespace qx {

LofiEffect::LofiEffect(vst::audioMasterCallback host) : ProgramEffect(host, kLofiDescription) {
    finishConstruction();
}

void LofiEffect::applyParameter(int index, float value) {
    // Host values outside 0..1 are held to the range the mapping was designed for.
    const float x = std::clamp(value, 0.0f, 1.0f);
    switch (index) {
        case kLofiPan:
            engine_.setPan(x);
            break;
        case kLofiOut:
            engine_.setOutDb(lofiOutDb(x));
            break;
        case kLofiRate:
            engine_.setRate(lofiRateHz(x));
            break;
        case kLofiBits:
            engine_.setBits(lofiBits(x));
            break;
        case kLofiHighCut:
            engine_.setHighCut(lofiHighCutHz(x));
            break;
        case kLofiCrosstalk:
            engine_.setCrosstalk(x);
            break;
        case kLofiAd:
            engine_.setAd(x);
            break;
        case kLofiDa:
            engine_.setDa(x);
            break;
        case kLofiBypass:
            engine_.setBypass(x > 0.5f);
            break;
        default:
            break;
    }
}

void LofiEffect::getParameterDisplay(int index, char* text) {
    if (!validParameter(index) || !text) return;
    const ParameterDisplayRange& r = kLofiDescription.parameters.displayRanges[index];
    const float x = getParameter(index);
    std::snprintf(text, kParamNameSize, "%3.3f",
                  static_cast<double>(r.minimum + x * (r.maximum - r.minimum)));
}

void LofiEffect::applyRate() {
    // The engine lowers its rate to a low host rate; taking the stored parameter again
    // brings the user's rate back when the host rate rises.
    engine_.setRate(lofiRateHz(std::clamp(getParameter(kLofiRate), 0.0f, 1.0f)));
}

void LofiEffect::setSampleRate(float sampleRate) {
    AudioEffect::setSampleRate(sampleRate);
    engine_.setSampleRate(sampleRate);
    applyRate();
}

void LofiEffect::resume() {
    engine_.setSampleRate(getSampleRate());
    applyRate();
}

float LofiEffect::getVu() {
    return vuPeak_.exchange(0.0f, std::memory_order_acq_rel);
}

void LofiEffect::process(float** inputs, float** outputs, int frames) {
    run<true>(inputs, outputs, frames);
}

void LofiEffect::processReplacing(float** inputs, float** outputs, int frames) {
    run<false>(inputs, outputs, frames);
}

template <bool kAccumulate>
void LofiEffect::run(float** inputs, float** outputs, int frames) {
    // One tiny offset per block keeps the recursive stages out of denormal numbers.
    const float offset = (static_cast<float>(denormalRandom_.next() & 15) - 7.5f) * 1e-8f;
    const float* inL = inputs[0];
    const float* inR = inputs[1];
    float* outL = outputs[0];
    float* outR = outputs[1];
    float peak = 0.0f;
    for (int i = 0; i < frames; ++i) {
        engine_.processSample(cleanSample(inL[i]) + offset, cleanSample(inR[i]) + offset);
        const float l = engine_.outL();
        const float r = engine_.outR();
        if constexpr (kAccumulate) {
            outL[i] += l;
            outR[i] += r;
        } else {
            outL[i] = l;
            outR[i] = r;
        }
        peak = std::max(peak, std::max(std::fabs(l), std::fabs(r)));
    }
    float held = vuPeak_.load(std::memory_order_relaxed);
    while (peak > held && !vuPeak_.compare_exchange_weak(held, peak, std::memory_order_acq_rel)) {
    }
}

}  // namespace qx
