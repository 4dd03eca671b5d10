#include "effects/eraslip/lofi_effect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "framework/sample_guard.h"

namespace qx {

LofiEffect::LofiEffect(vst::audioMasterCallback host) : ProgramEffect(host, kLofiDescription) {
    finishConstruction();
}

void LofiEffect::applyParameter(int index, float x) {
    switch (index) {
        case eraslip::kPan:
            engine_.setPan(x);
            break;
        case eraslip::kOut:
            engine_.setOutDb(lofiOutDb(x));
            break;
        case eraslip::kRate:
            rateValue_ = x;
            engine_.setRate(lofiRateHz(x));
            break;
        case eraslip::kBits:
            engine_.setBits(lofiBits(x));
            break;
        case eraslip::kHighCut:
            engine_.setHighCut(lofiHighCutHz(x));
            break;
        case eraslip::kCrosstalk:
            engine_.setCrosstalk(x);
            break;
        case eraslip::kAd:
            engine_.setAd(x);
            break;
        case eraslip::kDa:
            engine_.setDa(x);
            break;
        case eraslip::kBypass:
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

void LofiEffect::applySampleRate(float sampleRate) {
    engine_.setSampleRate(sampleRate);
    // The engine lowers its rate to a low host rate; taking the Rate value again brings the
    // user's rate back when the host rate rises.
    engine_.setRate(lofiRateHz(rateValue_));
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
    outputPeak_.raise(peak);
}

}  // namespace qx
