// The multiband compressor as a plug-in of the current generation: its 129 parameters and
// 20 programs mapped onto MultibandEngine, the three processing entries, 1024 samples of
// reported latency in every state, and the meter readings published for the editor.
#pragma once

#include "effects/quassel/multiband_engine.h"
#include "effects/quassel/quassel_tables.h"
#include "framework/meter_exchange.h"
#include "framework/program_effect.h"

namespace qx {

// The engine's readings as the audio thread left them after its last block; any thread
// reads them. Channel 0 left, 1 right; levels and gains linear.
struct QuasselMeters {
    MeterValue level[2];                           // decaying output peak
    MeterValue hold[2];                            // held output peak (ten seconds)
    MeterValue bandLevel[kQuasselBandsPerFamily];  // per-band detector level
    MeterValue bandGain[kQuasselBandsPerFamily];   // per-band gain
};

// The engine is only touched through the framework's hooks (between blocks) and the
// processing entries, so it is never shared between threads.
class MultibandEffect : public ProgramEffect {
  public:
    explicit MultibandEffect(vst::audioMasterCallback host);

    // Audio thread. Any block length, in place or not; `process` adds to the outputs.
    void process(float** inputs, float** outputs, int frames) override;
    void processReplacing(float** inputs, float** outputs, int frames) override;
    void processDoubleReplacing(double** inputs, double** outputs, int frames) override;

    // Editor command, any thread: both held peaks fall back at the next sample.
    void requestResetHold() { postCommand(kQuasselResetHold); }

    // Meter readings, any thread.
    const QuasselMeters& meters() const { return meters_; }

    // The engine, for tests on the thread that processes.
    const MultibandEngine& engine() const { return engine_; }

  protected:
    void applyParameter(int index, float value) override {
        applyQuasselParameter(engine_, index, value);
    }
    void applySampleRate(float sampleRate) override { engine_.setSampleRate(sampleRate); }
    void applyReset() override { engine_.reset(); }
    void applyCommand(int command) override {
        if (command == kQuasselResetHold) engine_.resetHold();
    }

  private:
    // Audio thread, after each block.
    void publishMeters();

    MultibandEngine engine_;
    QuasselMeters meters_;
};

}  // namespace qx
