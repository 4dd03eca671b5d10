// The stereo spreader effect: parameter mappings, host displays and the processing entries.
#include "effects/spreadix/spreadix_effect.h"

#include <cstdio>

namespace qx {

SpreadixEffect::SpreadixEffect(vst::audioMasterCallback host)
    : ProgramEffect(host, kSpreadixDescription) {
    finishConstruction();
}

void SpreadixEffect::applyParameter(int index, float x) {
    switch (index) {
        case kSpreadixPanLeft:
            engine_.setPanLeft(spreadixPan(x));
            break;
        case kSpreadixPanRight:
            engine_.setPanRight(spreadixPan(x));
            break;
        case kSpreadixLevel:
            engine_.setLevelDb(spreadixLevelDb(x));
            break;
        case kSpreadixDipole:
            engine_.setDipole(spreadixSwitch(x));
            break;
        case kSpreadixBypass:
            engine_.setBypassed(spreadixSwitch(x));
            break;
        case kSpreadixSideLevel:
            engine_.setSideLevel(spreadixSideLevel(x));
            break;
        case kSpreadixSynthMix:
            engine_.setSynthMix(spreadixSynthMix(x));
            break;
        case kSpreadixSynthCharacter:
            engine_.setCharacter(spreadixCharacter(x));
            break;
        default:
            break;
    }
}

void SpreadixEffect::getParameterDisplay(int index, char* text) {
    if (!validParameter(index) || !text) return;
    const ParameterDisplayRange& r = kSpreadixDescription.parameters.displayRanges[index];
    const float x = getParameter(index);
    std::snprintf(text, kParamNameSize, "%3.3f",
                  static_cast<double>(r.minimum + x * (r.maximum - r.minimum)));
}

void SpreadixEffect::applySampleRate(float sampleRate) {
    engine_.setSampleRate(sampleRate);
}

void SpreadixEffect::process(float** inputs, float** outputs, int frames) {
    run(inputs, outputs, frames, true);
}

void SpreadixEffect::processReplacing(float** inputs, float** outputs, int frames) {
    run(inputs, outputs, frames, false);
}

void SpreadixEffect::run(float** inputs, float** outputs, int frames, bool accumulate) {
    if (frames <= 0) return;
    // One tiny offset per block keeps the recursive stages out of denormal numbers.
    const float offset = (static_cast<float>(denormalRandom_.next() & 15) - 7.5f) * 1e-8f;
    outputPeak_.raise(engine_.processBlock(inputs[0], inputs[1], outputs[0], outputs[1], frames,
                                           offset, accumulate));

    // The rings in time order, handed over whole so the editor never sees a torn set.
    SpreadixScopeFrame& f = scope_.beginWrite();
    const int start = engine_.scopeIndex();
    for (int i = 0; i < kSpreadixScopePoints; ++i) {
        const int k = (start + i) % kSpreadixScopePoints;
        f.left[i] = engine_.scopeLeft()[k];
        f.right[i] = engine_.scopeRight()[k];
    }
    scope_.publish();
}

}  // namespace qx
