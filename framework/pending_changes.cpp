// The dirty set, batches and engine ownership behind PendingChanges.
#include "framework/pending_changes.h"

namespace qx {

PendingChanges::PendingChanges(int numSlots)
    : numSlots_(numSlots > 0 ? numSlots : 0),
      numWords_((numSlots_ + 63) / 64),
      dirty_(new std::atomic<std::uint64_t>[static_cast<size_t>(numWords_)]),
      stamps_(new std::atomic<std::uint64_t>[static_cast<size_t>(numSlots_)]),
      notes_(static_cast<size_t>(numSlots_)) {
    for (int w = 0; w < numWords_; ++w) dirty_[w].store(0, std::memory_order_relaxed);
    for (int s = 0; s < numSlots_; ++s) stamps_[s].store(0, std::memory_order_relaxed);
}

void PendingChanges::mark(int slot) {
    if (slot < 0 || slot >= numSlots_) return;
    stamps_[slot].store(clock_.fetch_add(1, std::memory_order_relaxed) + 1,
                        std::memory_order_relaxed);
    // Sequentially consistent, so a control thread that fails to take ownership because
    // another one holds it leaves a note that the holder's next look finds.
    dirty_[slot / 64].fetch_or(std::uint64_t{1} << (slot % 64));
}

bool PendingChanges::anyPending() const {
    for (int w = 0; w < numWords_; ++w)
        if (dirty_[w].load() != 0) return true;
    return false;
}

// The generation steps at both ends of a batch, as a seqlock's writer does. What the batch
// then writes is stored with release and read by drains with acquire, so a drain that read
// any of it sees the batch open, or a later generation, when it checks.
void PendingChanges::openBatch() {
    openBatches_.fetch_add(1);
    batchGeneration_.fetch_add(1);
}

void PendingChanges::closeBatch() {
    batchGeneration_.fetch_add(1);
    openBatches_.fetch_sub(1);
}

void PendingChanges::hostSuspended() {
    hostRunning_.store(false);
    blockSeen_.store(false);
}

int PendingChanges::collect() {
    int count = 0;
    for (int w = 0; w < numWords_; ++w) {
        if (dirty_[w].load(std::memory_order_relaxed) == 0) continue;
        for (std::uint64_t bits = dirty_[w].exchange(0, std::memory_order_acquire); bits != 0;
             bits &= bits - 1) {
            const int slot = w * 64 + __builtin_ctzll(bits);
            notes_[static_cast<size_t>(count++)] = {stamps_[slot].load(std::memory_order_relaxed),
                                                    slot};
        }
    }
    // Insertion sort by arrival: the notes are few, or (a program change) already in order.
    for (int i = 1; i < count; ++i) {
        const Note note = notes_[static_cast<size_t>(i)];
        int j = i;
        for (; j > 0 && notes_[static_cast<size_t>(j - 1)].stamp > note.stamp; --j)
            notes_[static_cast<size_t>(j)] = notes_[static_cast<size_t>(j - 1)];
        notes_[static_cast<size_t>(j)] = note;
    }
    return count;
}

void PendingChanges::putBack(int count) {
    for (int k = 0; k < count; ++k) {
        const int slot = notes_[static_cast<size_t>(k)].slot;
        dirty_[slot / 64].fetch_or(std::uint64_t{1} << (slot % 64));
    }
}

bool PendingChanges::tryEnterControl() {
    int expected = kNobody;
    if (!owner_.compare_exchange_strong(expected, kControl)) return false;
    if (blocksPossible()) {
        // The audio thread has asked in (or the host resumed) meanwhile: leave it the work.
        owner_.store(kNobody);
        return false;
    }
    return true;
}

}  // namespace qx
