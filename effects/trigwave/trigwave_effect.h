// The triggered spectral sample-and-hold as a plug-in of the current generation: parameters
// and programs mapped onto TrigwaveEngine, both processing precisions, host bypass, the
// 2048-sample latency, and the meter and trigger-lamp readings published for the editor.
#pragma once

#include <atomic>

#include "effects/trigwave/trigwave_engine.h"
#include "effects/trigwave/trigwave_tables.h"
#include "framework/meter_exchange.h"
#include "framework/program_effect.h"

namespace qx {

// The engine's meter readings as the audio thread left them after its last block; any
// thread reads them. Channel 0 left, 1 right; linear levels.
struct TrigwaveMeters {
    MeterValue level[2];     // output peak, falling by exp(-1 / fs) per frame
    MeterValue peakHold[2];  // output peak held for ten seconds (1e-8 when none)
};

// The engine is only touched through the framework's hooks (applyParameter and the others,
// between blocks) and the processing call itself, so it is never shared between threads.
class TrigwaveEffect : protected TrigwaveEngine, public ProgramEffect {
  public:
    explicit TrigwaveEffect(vst::audioMasterCallback host);

    // Any thread. Hz; the delay the host compensates stays kTrigwaveLatency at every rate
    // (the host hears audioMasterIOChanged should it ever differ from what it was told).
    void setSampleRate(float sampleRate) override;

    // Audio thread. Any block length, in place or not.
    void processReplacing(float** inputs, float** outputs, int frames) override;
    void processDoubleReplacing(double** inputs, double** outputs, int frames) override;

    // Editor command, any thread: both peak holds fall back (between blocks).
    void requestPeakHoldReset() { postCommand(kTrigwavePeakHoldReset); }

    // Meter readings, any thread.
    const TrigwaveMeters& meters() const { return meters_; }
    // The trigger lamp, editor thread: whether an onset came since the last read that found
    // the lamp's hops over. Stays true for the four hops of an onset, so every onset is
    // seen at least once however slowly the editor polls.
    bool readTriggerLamp();

    // The engine, for tests on the thread that processes.
    const TrigwaveEngine& engine() const { return *this; }

  protected:
    void applyParameter(int index, float value) override;
    void applySampleRate(float sampleRate) override { TrigwaveEngine::setSampleRate(sampleRate); }
    // The editor sees the emptied meters at once, also when no audio follows.
    void applyReset() override {
        clearState();
        publishMeters();
    }
    void applyCommand(int command) override;

  private:
    template <typename T>
    void run(T* const* inputs, T* const* outputs, int frames);
    // Audio thread, after each block.
    void publishMeters();

    TrigwaveMeters meters_;
    std::atomic<bool> onsetSeen_{false};    // an onset the editor has not yet taken
    std::atomic<bool> onsetActive_{false};  // the engine is within an onset's four hops
};

}  // namespace qx
