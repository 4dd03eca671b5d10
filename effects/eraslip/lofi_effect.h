// The lo-fi sampler emulator as a plug-in of the older generation: parameters and programs
// mapped onto LofiEngine, per-block anti-denormal offset, and the output peak for the host's
// VU and the editor's meter.
#pragma once

#include "dsp/random_generator.h"
#include "effects/eraslip/lofi_engine.h"
#include "effects/eraslip/lofi_tables.h"
#include "framework/meter_exchange.h"
#include "framework/program_effect.h"

namespace qx {

class LofiEffect : public ProgramEffect {
  public:
    explicit LofiEffect(vst::audioMasterCallback host);

    void getParameterDisplay(int index, char* text) override;
    // The host's VU: largest output magnitude since the host's previous call.
    float getVu() override { return takeOutputPeak(MeterReader::Host); }
    // Largest output magnitude since `reader`'s previous take (linear, 0 when silent); each
    // reader has its own, so the host and the editor both see every peak. Reader's thread.
    float takeOutputPeak(MeterReader reader) { return outputPeak_.take(reader); }

    void process(float** inputs, float** outputs, int frames) override;
    void processReplacing(float** inputs, float** outputs, int frames) override;

    // The engine, for tests on the thread that processes.
    const LofiEngine& engine() const { return engine_; }

  protected:
    void applyParameter(int index, float value) override;
    void applySampleRate(float sampleRate) override;

  private:
    template <bool kAccumulate>
    void run(float** inputs, float** outputs, int frames);

    LofiEngine engine_;
    RandomGenerator denormalRandom_;
    float rateValue_ = 1.0f;  // the Rate value last applied, taken again on a rate change
    PeakAccumulator outputPeak_;
};

}  // namespace qx
