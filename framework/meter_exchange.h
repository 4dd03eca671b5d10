// Meter readings from the audio thread to their readers (the host's VU query, the editor),
// without locks and without either side writing the other's state: single values, peaks
// that each reader clears for itself, and whole arrays through a triple buffer.
#pragma once

#include <array>
#include <atomic>
#include <functional>

namespace qx {

// One reading the audio thread stores and any thread loads. Relaxed: a reading stands on
// its own, so a reader at worst sees the previous block's value.
class MeterValue {
  public:
    // Audio thread.
    void store(float value) noexcept { value_.store(value, std::memory_order_relaxed); }
    // Any thread.
    float load() const noexcept { return value_.load(std::memory_order_relaxed); }

  private:
    std::atomic<float> value_{0.0f};
};

// The readers that clear what they read, each with its own slot.
enum class MeterReader : int { Host = 0, Editor = 1 };
constexpr int kMeterReaders = 2;

// The most extreme value since each reader's last take: the audio thread raises every slot
// once per block, a reader takes (and resets) only its own, so the host's VU and the
// editor's meter never steal each other's peaks. `Beyond` orders values: std::greater for
// peaks, std::less for gains whose dips matter. NaN is never taken up.
template <class Beyond>
class ReaderExtremes {
  public:
    // `neutral`: what a slot holds when nothing came since the last take.
    explicit ReaderExtremes(float neutral = 0.0f) noexcept : neutral_(neutral) {
        for (auto& slot : slots_) slot.store(neutral_, std::memory_order_relaxed);
    }

    // Audio thread, once per block. Retries only while a reader takes the same slot.
    void raise(float value) noexcept {
        for (auto& slot : slots_) {
            float held = slot.load(std::memory_order_relaxed);
            while (Beyond{}(value, held) &&
                   !slot.compare_exchange_weak(held, value, std::memory_order_relaxed)) {
            }
        }
    }
    // Reader `reader`'s thread: the extreme since its last take; the slot starts afresh.
    float take(MeterReader reader) noexcept {
        return slots_[static_cast<int>(reader)].exchange(neutral_, std::memory_order_relaxed);
    }
    // Any thread: the extreme so far, leaving the slot as it is.
    float peek(MeterReader reader) const noexcept {
        return slots_[static_cast<int>(reader)].load(std::memory_order_relaxed);
    }

  private:
    std::array<std::atomic<float>, kMeterReaders> slots_;
    float neutral_;
};

// Largest value since each reader's last take; 0 when nothing came.
using PeakAccumulator = ReaderExtremes<std::greater<float>>;
// Smallest value since each reader's last take, for gains (neutral 1: no reduction).
using DipAccumulator = ReaderExtremes<std::less<float>>;

// Whole frames (a spectrum, a scope trace) from one writer to one reader. Three frames:
// the writer fills its own, publish() swaps it with the shared one; the reader swaps the
// shared one with its own when a fresh frame waits. Neither side ever waits or copies under
// the other's feet, and the reader never sees a frame the writer is still filling.
template <class Frame>
class TripleBuffer {
  public:
    // Writer thread: the frame to fill; it stays the writer's until publish().
    Frame& beginWrite() noexcept { return frames_[back_]; }
    // Writer thread: makes the filled frame the latest; the next beginWrite() gets another.
    void publish() noexcept {
        back_ = shared_.exchange(back_ | kFresh, std::memory_order_acq_rel) & kIndex;
    }

    // Reader thread: the latest complete frame, valid until the reader's next call; null
    // until the first publish(). *fresh (optional) tells whether it is new since the last call.
    const Frame* latest(bool* fresh = nullptr) noexcept {
        const bool isNew = (shared_.load(std::memory_order_relaxed) & kFresh) != 0;
        if (isNew) {
            front_ = shared_.exchange(front_, std::memory_order_acq_rel) & kIndex;
            seen_ = true;
        }
        if (fresh) *fresh = isNew;
        return seen_ ? &frames_[front_] : nullptr;
    }
    // Reader thread: copies the latest frame into `out` when one arrived since the last
    // read; false (and `out` untouched) otherwise.
    bool readLatest(Frame& out) {
        bool fresh = false;
        const Frame* frame = latest(&fresh);
        if (!fresh) return false;
        out = *frame;
        return true;
    }

  private:
    static constexpr unsigned kIndex = 3;
    static constexpr unsigned kFresh = 4;

    std::array<Frame, 3> frames_{};
    std::atomic<unsigned> shared_{1};
    unsigned back_ = 2;   // the writer's
    unsigned front_ = 0;  // the reader's
    bool seen_ = false;   // the reader's: a frame has arrived
};

}  // namespace qx
