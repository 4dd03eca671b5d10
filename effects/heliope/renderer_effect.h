// The headphone renderers as plug-ins of the current generation: one effect class for the
// stereo and the 5.1 engine (they share parameters, mappings, meters and the hold command),
// both processing precisions, and the meter readings published for the editor after every
// block.
#pragma once

#include "effects/heliope/headphone_engine.h"
#include "effects/heliope/heliope_tables.h"
#include "effects/heliope/surround_headphone_engine.h"
#include "framework/meter_exchange.h"
#include "framework/program_effect.h"

namespace qx {

// The engine's output meters as the audio thread left them after its last block; any thread
// reads them. Index 0 left, 1 right; linear, floor 1e-8.
struct RendererMeters {
    MeterValue peakLevel[2];  // decaying peak, 1/e per second
    MeterValue heldPeak[2];   // peak held for 10 s
};

// Engine: HeadphoneEngine or SurroundHeadphoneEngine. The engine is only touched through the
// framework's hook calls (between blocks) and the processing calls, so it is never shared.
template <class Engine>
class RendererEffect : public ProgramEffect {
  public:
    RendererEffect(vst::audioMasterCallback host, const EffectDescription& description)
        : ProgramEffect(host, description) {
        finishConstruction();
    }

    // Audio thread. Any block length, in place or not; reads numInputs channels, writes two.
    void processReplacing(float** inputs, float** outputs, int frames) override {
        run(inputs, outputs, frames);
    }
    void processDoubleReplacing(double** inputs, double** outputs, int frames) override {
        run(inputs, outputs, frames);
    }

    // Editor command, any thread: the held peaks fall back to the present level.
    void requestReleaseHolds() { postCommand(kHeliopeReleaseHolds); }

    // Meter readings, any thread.
    const RendererMeters& meters() const { return meters_; }
    // dB of a published held peak, -160 at the floor (the peak-hold text).
    static float heldPeakDb(float heldPeakLinear);

    // The engine, for tests on the thread that processes.
    const Engine& engine() const { return engine_; }

  protected:
    void applyParameter(int index, float value) override {
        applyHeliopeParameter(engine_, index, value);
    }
    void applySampleRate(float sampleRate) override { engine_.setSampleRate(sampleRate); }
    void applyReset() override { engine_.reset(); }
    void applyCommand(int command) override {
        if (command == kHeliopeReleaseHolds) engine_.releaseHolds();
    }

  private:
    template <typename T>
    void run(T* const* inputs, T* const* outputs, int frames) {
        engine_.processBlock(inputs, outputs, frames);
        for (int c = 0; c < 2; ++c) {
            meters_.peakLevel[c].store(engine_.peakLevelOf(c));
            meters_.heldPeak[c].store(engine_.heldPeakOf(c));
        }
    }

    Engine engine_;
    RendererMeters meters_;
};

template <class Engine>
float RendererEffect<Engine>::heldPeakDb(float heldPeakLinear) {
    return heldPeakLinear > 1e-8f ? 20.0f * std::log10(heldPeakLinear) : -160.0f;
}

// The stereo renderer: two inputs.
class HeliopeEffect : public RendererEffect<HeadphoneEngine> {
  public:
    explicit HeliopeEffect(vst::audioMasterCallback host)
        : RendererEffect(host, kHeliopeDescription) {}
};

}  // namespace qx
