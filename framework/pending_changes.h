// Changes to an engine noted on any thread and carried out where the engine is safe to
// touch: by the audio thread at the start of a block, or at once on the caller's thread
// when no block can run. Slots name what changed (parameters, sample rate, reset,
// commands); a drain hands them over in the order they last arrived.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace qx {

// Who may drain, and why it is safe and bounded:
//
// - One owner at a time: the audio thread takes ownership for a whole processing call; a
//   control thread takes it for one drain, and only while no block can run (the host has
//   not resumed, or has suspended, and no processing call has arrived since).
// - The audio thread marks "a block has run" before it asks for ownership, and a control
//   thread checks that mark again after it has taken ownership (both sequentially
//   consistent, so one of them sees the other). Once the audio thread wants in, a control
//   thread therefore gives up before starting a drain, and loops for new work only while
//   no block has run. The audio thread waits at most for one drain already under way:
//   a bounded amount of setter work, never a loop on new notes. (Only the first block
//   after a suspend, or before the first resume, can meet such a drain at all; if the
//   scheduler takes that control thread off its core meanwhile, the block waits as long.)
// - While the host runs (resumed, or processing seen since the last suspend), control
//   threads never drain; their notes wait for the next block, so the audio thread never
//   waits for them at all.
class PendingChanges {
  public:
    explicit PendingChanges(int numSlots);

    int numSlots() const { return numSlots_; }

    // Any thread: `slot` changed. A later note of the same slot before the next drain
    // replaces the earlier one and takes its place in the order.
    void mark(int slot);
    bool anyPending() const;

    // Any thread: while a batch is open, drains leave every note pending, so everything
    // noted in the batch lands on one block boundary. Batches nest.
    void openBatch();
    void closeBatch();
    bool batchOpen() const { return openBatches_.load(std::memory_order_acquire) != 0; }

    // Owner only. Takes every pending note in arrival order; calls read(slot, k) for each
    // (k: position 0, 1, ...), then apply(slot, k) for each, unless a batch opened while
    // reading, in which case the notes go back untouched. Reading everything before
    // applying lets the caller copy values that a batch could be rewriting; values written
    // in batches must be stored with release and read with acquire. Returns whether the
    // notes were applied.
    template <class Read, class Apply>
    bool drain(Read&& read, Apply&& apply);

    // Audio thread, around each processing call.
    void enterAudio();
    void leaveAudio() { owner_.store(kNobody, std::memory_order_release); }

    // Any thread: applies pending notes through drainOnce() (which calls drain()) when no
    // block can run; otherwise leaves them to the next block.
    template <class DrainOnce>
    void applyIfIdle(DrainOnce&& drainOnce);

    // The host's effMainsChanged: blocks may come after a resume, and none after a suspend
    // until the next processing call says otherwise.
    void hostResumed() { hostRunning_.store(true); }
    void hostSuspended();
    bool blocksPossible() const { return hostRunning_.load() || blockSeen_.load(); }

  private:
    struct Note {
        std::uint64_t stamp;
        int slot;
    };
    enum : int { kNobody = 0, kAudio = 1, kControl = 2 };

    int collect();
    void putBack(int count);
    bool tryEnterControl();

    const int numSlots_;
    const int numWords_;
    std::unique_ptr<std::atomic<std::uint64_t>[]> dirty_;   // one bit per slot
    std::unique_ptr<std::atomic<std::uint64_t>[]> stamps_;  // arrival of each slot's last note
    std::atomic<std::uint64_t> clock_{0};
    std::atomic<int> openBatches_{0};
    std::atomic<std::uint64_t> batchGeneration_{0};
    std::atomic<int> owner_{kNobody};
    std::atomic<bool> hostRunning_{false};
    std::atomic<bool> blockSeen_{false};
    std::vector<Note> notes_;  // the owner's scratch, sized once
};

template <class Read, class Apply>
bool PendingChanges::drain(Read&& read, Apply&& apply) {
    if (batchOpen()) return false;
    const std::uint64_t generation = batchGeneration_.load(std::memory_order_acquire);
    const int count = collect();
    if (count == 0) return true;
    for (int k = 0; k < count; ++k) read(notes_[k].slot, k);
    // Seqlock reader's check: if a read above (an acquire load) saw anything a batch wrote,
    // that batch is still open or has moved the generation on.
    if (openBatches_.load(std::memory_order_acquire) != 0 ||
        batchGeneration_.load(std::memory_order_acquire) != generation) {
        putBack(count);
        return false;
    }
    for (int k = 0; k < count; ++k) apply(notes_[k].slot, k);
    return true;
}

template <class DrainOnce>
void PendingChanges::applyIfIdle(DrainOnce&& drainOnce) {
    // Loops because another control thread may note work while this one drains: its
    // tryEnterControl fails, and this thread picks the work up instead.
    while (!blocksPossible() && !batchOpen() && anyPending()) {
        if (!tryEnterControl()) return;  // the owner, or the next block, takes it
        drainOnce();
        owner_.store(kNobody);
    }
}

inline void PendingChanges::enterAudio() {
    blockSeen_.store(true);
    int expected = kNobody;
    while (!owner_.compare_exchange_weak(expected, kAudio)) {
        expected = kNobody;
#if defined(__x86_64__) || defined(__i386__)
        _mm_pause();
#endif
    }
}

}  // namespace qx
