// The mastering limiter as a plug-in of the current generation: parameters and programs
// mapped onto LimiterEngine, both processing precisions, host bypass, 512 samples of
// reported latency, and the meter readings published for the editor after every block.
#pragma once

#include "effects/palisor/limiter_engine.h"
#include "effects/palisor/limiter_tables.h"
#include "framework/meter_exchange.h"
#include "framework/program_effect.h"

namespace qx {

// The engine's meter readings as the audio thread left them after its last block; any
// thread reads them. Channel 0 left, 1 right; levels and gains linear.
struct LimiterMeters {
    MeterValue peakLevel[2];  // decaying output peak
    MeterValue rmsLevel[2];   // output RMS
    MeterValue peakHold[2];   // held output peak
    MeterValue peakGain[2];   // peak-limiter gain
    MeterValue rmsGain;       // RMS-stage gain
    MeterValue correlation;   // shown correlation, -1..1
    MeterValue correlationCorrection;
};

// The engine is only touched through the framework's hook calls (applyParameter and the
// others, between blocks) and the processing call itself, so it is never shared.
class LimiterEffect : protected LimiterEngine, public ProgramEffect {
  public:
    explicit LimiterEffect(vst::audioMasterCallback host);

    // Any thread. Like every program load, restarts the engine (reset, empty look-ahead
    // delay, so 512 samples of silence) on the block boundary where the program lands.
    void setProgram(int program) override;
    // Any thread. A write of Bypass that leaves the switch as it was (a host re-sending
    // effSetBypass(false) when the transport starts) restarts nothing.
    void setParameter(int index, float value) override;

    // Audio thread. Any block length, in place or not.
    void processReplacing(float** inputs, float** outputs, int frames) override;
    void processDoubleReplacing(double** inputs, double** outputs, int frames) override;

    // Editor command, any thread: drops both peak holds to the present level (between blocks).
    void requestPeakHoldReset() { postCommand(kLimiterPeakHoldReset); }

    // Meter readings, any thread.
    const LimiterMeters& meters() const { return meters_; }
    // Output/input ratio of the soft clipper at the largest input since `reader`'s previous
    // take (1: nothing clipped). Reader's thread.
    float takeSoftclipGain(int channel, MeterReader reader) {
        return softclipGain_[channel & 1].take(reader);
    }

    // The engine, for tests on the thread that processes.
    const LimiterEngine& engine() const { return *this; }

  protected:
    void applyParameter(int index, float value) override;
    void applySampleRate(float sampleRate) override { updateSampleRate(sampleRate); }
    void applyReset() override { reset(); }
    void applyCommand(int command) override;

  private:
    template <typename T>
    void run(T* const* inputs, T* const* outputs, int frames);
    // Audio thread, after each block.
    void publishMeters();

    LimiterMeters meters_;
    DipAccumulator softclipGain_[2] = {DipAccumulator(1.0f), DipAccumulator(1.0f)};
};

}  // namespace qx
