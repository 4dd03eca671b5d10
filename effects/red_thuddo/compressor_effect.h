// The side-chain compressor as a plug-in of the current generation: parameters and
// programs mapped onto CompressorEngine, both precisions, and the meter readings the
// transfer-curve display polls, published after every block. Both builds share it.
#pragma once

#include "effects/red_thuddo/compressor_engine.h"
#include "effects/red_thuddo/red_thuddo_tables.h"
#include "framework/meter_exchange.h"
#include "framework/program_effect.h"

namespace qx {

// The engine's meter readings as the audio thread left them after its last block; any
// thread reads them. Gains linear; channel 0 left, 1 right.
struct CompressorMeters {
    MeterValue detectorLevel;  // mean square of the detector, falling over 80 ms
    MeterValue effectiveGain;  // compressor gain after mix and post gain
    MeterValue limiterGain[2];
    MeterValue gainMax[2];  // largest and smallest gain since the last clear
    MeterValue gainMin[2];
};

// The engine is touched only through the framework's hooks (between blocks) and the
// processing call itself, so only one thread uses it at a time.
class CompressorEffect : public ProgramEffect {
  public:
    // `description`: kRedThuddoDescription (4 inputs) or kRedThuddoAltDescription (2).
    CompressorEffect(vst::audioMasterCallback host, const EffectDescription& description);

    // Audio thread. Any block length, in place or not.
    void processReplacing(float** inputs, float** outputs, int frames) override;
    void processDoubleReplacing(double** inputs, double** outputs, int frames) override;

    // Editor command, any thread: restart the gain maxima and minima (between blocks).
    void requestGainMeterClear() { postCommand(kRedThuddoClearGainMeters); }

    // Meter readings, any thread.
    const CompressorMeters& meters() const { return meters_; }

    // The engine, for tests on the thread that processes.
    const CompressorEngine& engine() const { return engine_; }

  protected:
    void applyParameter(int index, float value) override;
    void applySampleRate(float sampleRate) override { engine_.setSampleRate(sampleRate); }
    void applyReset() override;
    void applyCommand(int command) override;

  private:
    template <typename T>
    void run(T* const* inputs, T* const* outputs, int frames);
    // Audio thread (or the control thread while no block runs), after each change of them.
    void publishMeters();

    CompressorEngine engine_;
    CompressorMeters meters_;
};

// The two builds: programme and side chain on four inputs, or sharing two.
class RedThuddoEffect : public CompressorEffect {
  public:
    explicit RedThuddoEffect(vst::audioMasterCallback host)
        : CompressorEffect(host, kRedThuddoDescription) {}
};

class RedThuddoAltEffect : public CompressorEffect {
  public:
    explicit RedThuddoAltEffect(vst::audioMasterCallback host)
        : CompressorEffect(host, kRedThuddoAltDescription) {}
};

}  // namespace qx
