// Keeps operations that rewrite an engine's running state (reset, bypass switch,
// sample-rate change) from interleaving with processing. The control thread posts the
// work; it runs at once when no processing can be under way, otherwise the audio thread
// runs it at the start of its next processing call, between two blocks.
#pragma once

#include <atomic>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace qx {

class AudioThreadGate {
  public:
    // Control thread. `bits` names the work; `apply(bits)` carries it out. Returns true
    // when the work ran before returning.
    template <class Apply>
    bool post(std::uint32_t bits, Apply&& apply) {
        pending_.fetch_or(bits);
        bool ran = false;
        // Loops because another control thread may post while this one applies: its
        // work is taken here rather than left waiting for a processing call. Sequentially
        // consistent, so the release of the gate is never ordered after the next look
        // at the pending work.
        while (!hostProcessing_.load(std::memory_order_acquire) && pending_.load() != 0) {
            int expected = kIdle;
            if (!state_.compare_exchange_strong(expected, kControl))
                return ran;  // the thread inside applies it, or the next processing call
            const std::uint32_t work = pending_.exchange(0);
            if (work) apply(work);
            state_.store(kIdle);
            ran = true;
        }
        return ran;
    }

    // Audio thread, at the start of a processing call: waits out a control-side apply
    // (only possible while the host has not started processing), then runs posted work.
    template <class Apply>
    void enterProcess(Apply&& apply) {
        int expected = kIdle;
        while (!state_.compare_exchange_weak(expected, kAudio, std::memory_order_acq_rel)) {
            expected = kIdle;
            pause();
        }
        if (pending_.load(std::memory_order_relaxed) != 0) {
            const std::uint32_t work = pending_.exchange(0, std::memory_order_acq_rel);
            if (work) apply(work);
        }
    }

    void leaveProcess() { state_.store(kIdle, std::memory_order_release); }

    // The host's resume and suspend: between them processing may start at any moment, so
    // posted work always waits for the audio thread.
    void setHostProcessing(bool processing) {
        hostProcessing_.store(processing, std::memory_order_release);
    }

    bool hasPending() const { return pending_.load(std::memory_order_acquire) != 0; }

  private:
    static void pause() {
#if defined(__x86_64__) || defined(__i386__)
        _mm_pause();
#endif
    }

    enum : int { kIdle = 0, kAudio = 1, kControl = 2 };
    std::atomic<std::uint32_t> pending_{0};
    std::atomic<int> state_{kIdle};
    std::atomic<bool> hostProcessing_{false};
};

}  // namespace qx
