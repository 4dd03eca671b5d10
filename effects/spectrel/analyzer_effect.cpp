// Parameter mapping, engine hooks, pass-through processing and the publication of the
// analyzer's readings.
#include "effects/spectrel/analyzer_effect.h"

#include <algorithm>

namespace qx {

AnalyzerEffect::AnalyzerEffect(vst::audioMasterCallback host)
    : AnalyzerEngine(), ProgramEffect(host, kSpectrelDescription) {
    finishConstruction();
    publish();
}

void AnalyzerEffect::applyParameter(int index, float v) {
    switch (index) {
        case kSpectrelBypass:
            setBypassed(spectrelSwitch(v));
            break;
        case kSpectrelSlowSpectrum:
            setSlowAveraging(spectrelSwitch(v));
            break;
        case kSpectrelInterSamplePeak:
            setInterSamplePeak(spectrelSwitch(v));
            break;
        case kSpectrelAes17:
            setAes17(spectrelSwitch(v));
            break;
        case kSpectrelSpectrumOn:
            setSpectrumOn(spectrelSwitch(v));
            break;
        default:
            return;  // output scale and sum mode only change what the editor shows
    }
    publish();
}

void AnalyzerEffect::applySampleRate(float sampleRate) {
    updateSampleRate(sampleRate);
    publish();
}

void AnalyzerEffect::applyReset() {
    reset();
    publish();
}

void AnalyzerEffect::applyCommand(int command) {
    if (command != kSpectrelResetPeakHold) return;
    resetPeakHold();
    publish();
}

template <typename T>
void AnalyzerEffect::run(T* const* inputs, T* const* outputs, int frames) {
    if (frames <= 0) return;
    processBlock<T>(inputs[0], inputs[1], outputs[0], outputs[1], frames);
    publish();
}

void AnalyzerEffect::publish() {
    for (int m = 0; m < kNumMeters; ++m) {
        const float level = peakLevel(m);
        meters_.peakLevel[m].store(level);
        meters_.peakHold[m].store(peakHold(m));
        meters_.rmsLevel[m].store(rmsLevel(m));
        meters_.peakSince[m].raise(level);
    }
    meters_.correlation.store(correlation());
    // A spectrum is copied out only when the engine changed it (every 1024 frames, a reset,
    // switching it on or off), not after every block.
    if (spectrumPublished_ && spectrumFrame() == publishedFrame_ && spectrumOn() == publishedOn_)
        return;
    AnalyzerSpectrum& frame = spectrum_.beginWrite();
    std::copy_n(spectrumLeft(), kSpectrelSpectrumBins, frame.left);
    std::copy_n(spectrumRight(), kSpectrelSpectrumBins, frame.right);
    frame.on = spectrumOn();
    spectrum_.publish();
    publishedFrame_ = spectrumFrame();
    publishedOn_ = frame.on;
    spectrumPublished_ = true;
}

void AnalyzerEffect::processReplacing(float** inputs, float** outputs, int frames) {
    run(inputs, outputs, frames);
}

void AnalyzerEffect::processDoubleReplacing(double** inputs, double** outputs, int frames) {
    run(inputs, outputs, frames);
}

}  // namespace qx
