// The lo-fi sampler emulator as a plug-in of the older generation: parameters and programs
// mapped onto LofiEngine, per-block anti-denormal offset, and the level for the host's VU.
#pragma once

#include <atomic>

#include "dsp/random_generator.h"
#include "effects/eraslip/lofi_engine.h"
#include "effects/eraslip/lofi_tables.h"
#include "framework/program_effect.h"

namespace qx {

class LofiEffect : public ProgramEffect {
  public:
    explicit LofiEffect(vst::audioMasterCallback host);

    void getParameterDisplay(int index, char* text) override;
    void setSampleRate(float sampleRate) override;
    void suspend() override {}
    void resume() override;
    // Largest output magnitude since the previous call; clears it.
    float getVu() override;

    void process(float** inputs, float** outputs, int frames) override;
    void processReplacing(float** inputs, float** outputs, int frames) override;

    const LofiEngine& engine() const { return engine_; }

  protected:
    void applyParameter(int index, float value) override;

  private:
    template <bool kAccumulate>
    void run(float** inputs, float** outputs, int frames);
    void applyRate();

    LofiEngine engine_;
    RandomGenerator denormalRandom_;
    std::atomic<float> vuPeak_{0.0f};
};

}  // namespace qx
