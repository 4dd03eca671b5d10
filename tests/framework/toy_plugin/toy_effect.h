// A toy effect on the framework with the largest parameter count: its setters do the work
// real ones do (an exp and a pow each), and its engine keeps a log of what reached it and
// when, so tests can see every hand-off.
#pragma once

#include <atomic>
#include <vector>

#include "framework/program_effect.h"
#include "tests/framework/toy_plugin/toy_params.h"

namespace qx::toy {

extern const EffectDescription kToyDescription;

// Sum of i-weighted values: what a block saw of a whole program.
double programChecksum(const float* values);

// What the engine was told, in order (audio thread or the control thread while no block can
// run; read by tests once the threads are quiet).
struct ToyEvent {
    enum Kind : int { Parameter, SampleRate, Reset, Command } kind;
    int index;
    float value;
};

class ToyEffect : public ProgramEffect {
  public:
    static constexpr int kLogCapacity = 1 << 16;

    explicit ToyEffect(vst::audioMasterCallback host);

    // Output = input x gain (input unchanged when bypassed); records the block's checksum.
    void processReplacing(float** inputs, float** outputs, int frames) override;
    void processDoubleReplacing(double** inputs, double** outputs, int frames) override;

    // Logs, for tests once processing has stopped. Capacity is fixed; later entries drop.
    const std::vector<ToyEvent>& events() const { return events_; }
    const std::vector<double>& blockChecksums() const { return checksums_; }
    void clearLogs();
    float appliedValue(int index) const { return values_[index]; }
    float gainLinear() const { return gain_; }
    bool bypassed() const { return bypassed_; }
    // Times an engine hook or a processing call began while another was still running
    // (any thread; should stay 0).
    int overlaps() const { return overlaps_.load(); }

  protected:
    void applyParameter(int index, float value) override;
    void applySampleRate(float sampleRate) override;
    void applyReset() override;
    void applyCommand(int command) override;

  private:
    // Counts overlapping engine access for as long as it lives.
    class Inside {
      public:
        explicit Inside(ToyEffect& fx) : fx_(fx) {
            if (fx_.inside_.fetch_add(1) != 0) fx_.overlaps_.fetch_add(1);
        }
        ~Inside() { fx_.inside_.fetch_sub(1); }

      private:
        ToyEffect& fx_;
    };

    template <typename T>
    void run(T** inputs, T** outputs, int frames);
    void log(ToyEvent::Kind kind, int index, float value);
    void designBand(int band);

    float values_[kNumParams] = {};  // as applied
    float gain_ = 1.0f;
    bool bypassed_ = false;
    float sampleRate_ = 44100.0f;
    float bandCoef_[kNumParams] = {};   // exp(-1 / (time fs))
    float bandLevel_[kNumParams] = {};  // 10^(dB / 20)
    float smoothed_ = 0.0f;             // running state a reset clears
    std::atomic<int> inside_{0};
    std::atomic<int> overlaps_{0};
    std::vector<ToyEvent> events_;
    std::vector<double> checksums_;
};

}  // namespace qx::toy
