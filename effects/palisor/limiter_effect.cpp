// Parameter mapping, engine hooks, the processing entries and the meter publication of the
// limiter plug-in.
#include "effects/palisor/limiter_effect.h"

namespace qx {

namespace {
// Set while this thread applies a program's values, so the Bypass among them restarts the
// engine even when the switch keeps its state.
thread_local bool tLoadingProgram = false;
}  // namespace

LimiterEffect::LimiterEffect(vst::audioMasterCallback host)
    : LimiterEngine(), ProgramEffect(host, kLimiterDescription) {
    finishConstruction();
}

void LimiterEffect::setProgram(int program) {
    const bool outer = tLoadingProgram;
    tLoadingProgram = true;
    ProgramEffect::setProgram(program);
    tLoadingProgram = outer;
}

void LimiterEffect::setParameter(int index, float value) {
    // Noted inside the program's batch just before its Bypass, so the restart lands on the
    // same block boundary, after Output trim and Output scale, as a Bypass write always did.
    if (index == kLimiterBypass && tLoadingProgram) postCommand(kLimiterRestart);
    ProgramEffect::setParameter(index, value);
}

void LimiterEffect::applyCommand(int command) {
    if (command == kLimiterPeakHoldReset) resetPeakHold();
    if (command == kLimiterRestart) setBypassed(bypassed());
}

void LimiterEffect::applyParameter(int index, float v) {
    switch (index) {
        case kLimiterOutputTrim:
            setOutputGain(limiterGainCurve(v));
            break;
        case kLimiterOutputScale:
            break;  // a display setting of the editor
        case kLimiterBypass:
            // Only a switch restarts: a re-sent state must not cut 512 samples to silence.
            if ((v > 0.5f) != bypassed()) setBypassed(v > 0.5f);
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
            setWordLength(limiterWordLength(v));  // the menu index, against its thresholds
            break;
        default:
            break;
    }
}

template <typename T>
void LimiterEffect::run(T* const* inputs, T* const* outputs, int frames) {
    processBlock<T>(inputs[0], inputs[1], outputs[0], outputs[1], frames);
    publishMeters();
}

void LimiterEffect::publishMeters() {
    for (int c = 0; c < 2; ++c) {
        meters_.peakLevel[c].store(peakLevel(c));
        meters_.rmsLevel[c].store(rmsLevel(c));
        meters_.peakHold[c].store(peakHold(c));
        meters_.peakGain[c].store(peakGain(c));
        // Reading restarts the engine's tracker, which only this thread touches; each
        // reader keeps the deepest gain since its own last take.
        softclipGain_[c].raise(readSoftclipGain(c));
    }
    meters_.rmsGain.store(rmsGain());
    meters_.correlation.store(correlation());
    meters_.correlationCorrection.store(correlationCorrection());
}

void LimiterEffect::processReplacing(float** inputs, float** outputs, int frames) {
    run(inputs, outputs, frames);
}

void LimiterEffect::processDoubleReplacing(double** inputs, double** outputs, int frames) {
    run(inputs, outputs, frames);
}

}  // namespace qx
