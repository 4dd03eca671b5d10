// The stereo spreader as a plug-in of the older generation: parameters and programs mapped
// onto SpreaderEngine, per-block anti-denormal offset, the output peak for the host's VU and
// the editor's meter, and the goniometer's 256 output pairs for the editor.
#pragma once

#include "dsp/random_generator.h"
#include "effects/spreadix/spreader_engine.h"
#include "effects/spreadix/spreadix_tables.h"
#include "framework/meter_exchange.h"
#include "framework/program_effect.h"

namespace qx {

// The last kSpreadixScopePoints output pairs, oldest first, each held to -1..1.
struct SpreadixScopeFrame {
    float left[kSpreadixScopePoints] = {};
    float right[kSpreadixScopePoints] = {};
};

class SpreadixEffect : public ProgramEffect {
  public:
    explicit SpreadixEffect(vst::audioMasterCallback host);

    void getParameterDisplay(int index, char* text) override;
    // The host's VU: largest output magnitude since the host's previous call.
    float getVu() override { return takeOutputPeak(MeterReader::Host); }
    // Largest output magnitude since `reader`'s previous take (linear, 0 when silent); each
    // reader has its own, so the host and the editor both see every peak. Reader's thread.
    float takeOutputPeak(MeterReader reader) { return outputPeak_.take(reader); }
    // Editor thread: the latest complete set of scope pairs (null before the first block);
    // `fresh` tells whether it arrived since the previous call.
    const SpreadixScopeFrame* latestScope(bool* fresh = nullptr) { return scope_.latest(fresh); }

    void process(float** inputs, float** outputs, int frames) override;
    void processReplacing(float** inputs, float** outputs, int frames) override;

    // The engine, for tests on the thread that processes.
    const SpreaderEngine& engine() const { return engine_; }

  protected:
    void applyParameter(int index, float value) override;
    void applySampleRate(float sampleRate) override;

  private:
    void run(float** inputs, float** outputs, int frames, bool accumulate);

    SpreaderEngine engine_;
    RandomGenerator denormalRandom_;
    PeakAccumulator outputPeak_;
    TripleBuffer<SpreadixScopeFrame> scope_;
};

}  // namespace qx
