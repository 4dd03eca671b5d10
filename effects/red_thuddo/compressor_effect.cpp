// Parameter mapping, engine hooks, processing entries and meter publication of the
// side-chain compressor plug-in.
#include "effects/red_thuddo/compressor_effect.h"

#include "effects/red_thuddo/red_thuddo_binding.h"

namespace qx {

CompressorEffect::CompressorEffect(vst::audioMasterCallback host,
                                   const EffectDescription& description)
    : ProgramEffect(host, description), engine_(description.identity.numInputs) {
    finishConstruction();
    publishMeters();
}

void CompressorEffect::applyParameter(int index, float value) {
    applyRedThuddoParameter(engine_, index, value);
}

void CompressorEffect::applyReset() {
    engine_.reset();
    publishMeters();
}

void CompressorEffect::applyCommand(int command) {
    if (command != kRedThuddoClearGainMeters) return;
    engine_.clearGainMeters();
    publishMeters();
}

template <typename T>
void CompressorEffect::run(T* const* inputs, T* const* outputs, int frames) {
    if (frames <= 0) return;
    engine_.processBlock<T>(inputs, outputs, frames);
    publishMeters();
}

void CompressorEffect::publishMeters() {
    meters_.detectorLevel.store(engine_.detectorDisplayLevel());
    meters_.effectiveGain.store(engine_.effectiveGain());
    for (int c = 0; c < 2; ++c) {
        meters_.limiterGain[c].store(engine_.limiterGainOf(c));
        meters_.gainMax[c].store(engine_.gainMaxOf(c));
        meters_.gainMin[c].store(engine_.gainMinOf(c));
    }
}

void CompressorEffect::processReplacing(float** inputs, float** outputs, int frames) {
    run(inputs, outputs, frames);
}

void CompressorEffect::processDoubleReplacing(double** inputs, double** outputs, int frames) {
    run(inputs, outputs, frames);
}

}  // namespace qx
