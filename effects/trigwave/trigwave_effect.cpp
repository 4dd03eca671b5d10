// Parameter mapping, engine hooks, latency report, processing entries and meter publication
// of the trigwave plug-in.
#include "effects/trigwave/trigwave_effect.h"

namespace qx {

TrigwaveEffect::TrigwaveEffect(vst::audioMasterCallback host)
    : TrigwaveEngine(), ProgramEffect(host, kTrigwaveDescription) {
    finishConstruction();
}

void TrigwaveEffect::setSampleRate(float sampleRate) {
    ProgramEffect::setSampleRate(sampleRate);
    // Dry, bypassed and wet signals come out kLatency late whatever the frame size, so this
    // never differs today; a host that was told another figure must hear of the change.
    if (getAeffect()->initialDelay != TrigwaveEngine::kLatency) {
        setInitialDelay(TrigwaveEngine::kLatency);
        callHost(vst::audioMasterIOChanged);
    }
}

void TrigwaveEffect::applyParameter(int index, float value) {
    applyTrigwaveParameter(*this, index, value);
}

void TrigwaveEffect::applyCommand(int command) {
    if (command == kTrigwavePeakHoldReset) resetPeakHolds();
}

bool TrigwaveEffect::readTriggerLamp() {
    if (onsetActive_.load()) return onsetSeen_.load();
    return onsetSeen_.exchange(false);
}

template <typename T>
void TrigwaveEffect::run(T* const* inputs, T* const* outputs, int frames) {
    processBlock<T>(inputs[0], inputs[1], outputs[0], outputs[1], frames);
    publishMeters();
}

void TrigwaveEffect::publishMeters() {
    for (int c = 0; c < 2; ++c) {
        meters_.level[c].store(meterLevel(c));
        meters_.peakHold[c].store(peakHold(c));
    }
    onsetActive_.store(triggerState() != 0);
    // The engine keeps its flag until the onset's hops are over; the editor's latch keeps
    // it until the editor has seen it.
    if (readTriggered()) onsetSeen_.store(true);
}

void TrigwaveEffect::processReplacing(float** inputs, float** outputs, int frames) {
    run(inputs, outputs, frames);
}

void TrigwaveEffect::processDoubleReplacing(double** inputs, double** outputs, int frames) {
    run(inputs, outputs, frames);
}

}  // namespace qx
