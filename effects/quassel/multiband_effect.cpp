// Processing entries and meter publication of the multiband compressor plug-in.
#include "effects/quassel/multiband_effect.h"

namespace qx {

MultibandEffect::MultibandEffect(vst::audioMasterCallback host)
    : ProgramEffect(host, kQuasselDescription) {
    finishConstruction();
    publishMeters();
}

void MultibandEffect::publishMeters() {
    for (int c = 0; c < 2; ++c) {
        meters_.level[c].store(engine_.meterLevel(c));
        meters_.hold[c].store(engine_.meterHold(c));
    }
    const float* levels = engine_.bandLevels();
    const float* gains = engine_.bandGains();
    for (int b = 0; b < kQuasselBandsPerFamily; ++b) {
        meters_.bandLevel[b].store(levels[b]);
        meters_.bandGain[b].store(gains[b]);
    }
}

void MultibandEffect::process(float** inputs, float** outputs, int frames) {
    engine_.processBlockAdding(inputs, outputs, frames);
    publishMeters();
}

void MultibandEffect::processReplacing(float** inputs, float** outputs, int frames) {
    engine_.processBlock(inputs, outputs, frames);
    publishMeters();
}

void MultibandEffect::processDoubleReplacing(double** inputs, double** outputs, int frames) {
    engine_.processBlock(inputs, outputs, frames);
    publishMeters();
}

}  // namespace qx
