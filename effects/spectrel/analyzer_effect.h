// The stereo analyzer as a plug-in of the current generation: seven switches and eight
// programs mapped onto AnalyzerEngine, audio passed through bit for bit in both
// precisions, host bypass on parameter 0, and the readings (meters, both spectra)
// published for the editor after every block.
#pragma once

#include <cstdint>

#include "effects/spectrel/analyzer_engine.h"
#include "effects/spectrel/spectrel_tables.h"
#include "framework/meter_exchange.h"
#include "framework/program_effect.h"

namespace qx {

// The engine's meter readings as the audio thread left them after its last block; any
// thread reads them. Index: AnalyzerEngine::Meter (left, right, mid, side); linear.
struct AnalyzerMeters {
    MeterValue peakLevel[AnalyzerEngine::kNumMeters];  // decaying peak
    MeterValue peakHold[AnalyzerEngine::kNumMeters];   // held peak (10 s)
    MeterValue rmsLevel[AnalyzerEngine::kNumMeters];
    MeterValue correlation;  // -1..1, about 0 on silence
    // Largest decaying peak since each reader's last take, so a reader polling slower than
    // the blocks still sees every transient.
    PeakAccumulator peakSince[AnalyzerEngine::kNumMeters];
};

// Both averaged spectra as one frame; `on` false (and every bin 1e-16) while the
// spectrum is switched off.
struct AnalyzerSpectrum {
    float left[kSpectrelSpectrumBins];
    float right[kSpectrelSpectrumBins];
    bool on;
};

// The engine is only touched through the framework's hooks (between blocks) and the
// processing call itself, so only one thread uses it at a time.
class AnalyzerEffect : protected AnalyzerEngine, public ProgramEffect {
  public:
    explicit AnalyzerEffect(vst::audioMasterCallback host);

    // Audio thread. Any block length, in place or not; the output is the input unchanged.
    void processReplacing(float** inputs, float** outputs, int frames) override;
    void processDoubleReplacing(double** inputs, double** outputs, int frames) override;

    // Editor command, any thread: the four peak holds fall back (between blocks).
    void requestPeakHoldReset() { postCommand(kSpectrelResetPeakHold); }

    // Meter readings, any thread.
    AnalyzerMeters& meters() { return meters_; }
    // The spectra, for one reader thread (the editor's): the latest complete frame, null
    // before the first. *fresh tells whether it is new since that reader's last call.
    const AnalyzerSpectrum* latestSpectrum(bool* fresh = nullptr) {
        return spectrum_.latest(fresh);
    }

    // The engine, for tests on the thread that processes.
    const AnalyzerEngine& engine() const { return *this; }

  protected:
    void applyParameter(int index, float value) override;
    void applySampleRate(float sampleRate) override;
    void applyReset() override;
    void applyCommand(int command) override;

  private:
    template <typename T>
    void run(T* const* inputs, T* const* outputs, int frames);
    // The engine's owner (audio thread, or the control thread while no block runs).
    void publish();

    AnalyzerMeters meters_;
    TripleBuffer<AnalyzerSpectrum> spectrum_;
    std::uint32_t publishedFrame_ = 0;
    bool publishedOn_ = false;
    bool spectrumPublished_ = false;
};

}  // namespace qx
