// The mastering limiter as a plug-in of the current generation: parameters and programs
// mapped onto LimiterEngine, both processing precisions, host bypass, 512 samples of
// reported latency.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "effects/palisor/limiter_engine.h"
#include "effects/palisor/limiter_tables.h"
#include "framework/audio_thread_gate.h"
#include "framework/program_effect.h"

namespace qx {

// Every engine call is posted through an AudioThreadGate: while the host processes, the
// audio thread applies it at the start of its next block; otherwise it runs at once. The
// engine is therefore only ever touched by one thread at a time, so a bypass switch, a
// rate change or a reset never lands in the middle of a block, and no setter recomputes
// a coefficient with a rate that a concurrent rate change is replacing.
class LimiterEffect : protected LimiterEngine, public ProgramEffect {
  public:
    explicit LimiterEffect(vst::audioMasterCallback host);

    // Any thread. Hz; the engine follows between blocks.
    void setSampleRate(float sampleRate) override;
    // The host's effMainsChanged: both reset the engine's running state.
    void suspend() override;
    void resume() override;

    // Audio thread. Any block length, in place or not.
    void processReplacing(float** inputs, float** outputs, int frames) override;
    void processDoubleReplacing(double** inputs, double** outputs, int frames) override;

    // Editor command: drops both peak holds to the present level (between blocks).
    void requestPeakHoldReset();

    // Meter readers for the editor's idle timer; the audio thread writes these values
    // whole, so a reading is at worst one tick late.
    const LimiterEngine& engine() const { return *this; }
    using LimiterEngine::readSoftclipGain;

  protected:
    void applyParameter(int index, float value) override;

  private:
    static_assert(kLimiterNumParams <= 28, "parameter bits share the gate's word");
    static constexpr std::uint32_t kParameterBits = (1u << kLimiterNumParams) - 1;
    static constexpr std::uint32_t kSampleRateBit = 1u << 28;
    static constexpr std::uint32_t kResetBit = 1u << 29;
    static constexpr std::uint32_t kPeakHoldBit = 1u << 30;

    void post(std::uint32_t work);
    // Runs posted work on whichever thread the gate lets in.
    void applyWork(std::uint32_t work);
    void applyToEngine(int index, float value);
    template <typename T>
    void run(T* const* inputs, T* const* outputs, int frames);

    AudioThreadGate gate_;
    // Values the posted work hands to the engine; the latest one wins.
    std::array<std::atomic<float>, kLimiterNumParams> engineValues_{};
    std::atomic<float> requestedSampleRate_{44100.0f};
};

}  // namespace qx
