// Meter exchange between the audio thread and its readers: per-reader peaks that never steal
// from each other, and whole frames that never arrive torn (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "framework/meter_exchange.h"

namespace qx {
namespace {

TEST(MeterExchange, EachReaderTakesEveryPeakFromItsOwnSlot) {
    PeakAccumulator peaks;
    EXPECT_EQ(peaks.take(MeterReader::Host), 0.0f);
    peaks.raise(0.5f);
    peaks.raise(0.25f);
    peaks.raise(NAN);
    EXPECT_EQ(peaks.take(MeterReader::Host), 0.5f);
    EXPECT_EQ(peaks.take(MeterReader::Host), 0.0f);  // cleared for the host only
    peaks.raise(0.125f);
    EXPECT_EQ(peaks.peek(MeterReader::Editor), 0.5f);
    EXPECT_EQ(peaks.take(MeterReader::Editor), 0.5f);  // the editor still sees the 0.5
    EXPECT_EQ(peaks.take(MeterReader::Host), 0.125f);
    EXPECT_EQ(peaks.take(MeterReader::Editor), 0.0f);

    DipAccumulator gains(1.0f);
    gains.raise(0.8f);
    gains.raise(0.9f);
    EXPECT_EQ(gains.take(MeterReader::Editor), 0.8f);
    EXPECT_EQ(gains.take(MeterReader::Editor), 1.0f);
    EXPECT_EQ(gains.take(MeterReader::Host), 0.8f);
}

// Blocks raise 1, 2, 3, ... while both readers take as fast as they can: each reader's takes
// rise, come only from raised values, and both end with the last one.
TEST(MeterExchange, ReadersOnTwoThreadsNeverStealEachOthersPeaks) {
    PeakAccumulator peaks;
    constexpr int kBlocks = 200000;
    std::atomic<bool> done{false};
    auto reader = [&](MeterReader who, float* last, bool* ok) {
        float previous = 0.0f;
        for (;;) {
            const bool finished = done.load();
            const float v = peaks.take(who);
            if (v != 0.0f) {
                if (!(v > previous && v == std::floor(v) && v <= kBlocks)) *ok = false;
                previous = v;
            }
            if (finished) break;
        }
        *last = previous;
    };
    float lastHost = 0, lastEditor = 0;
    bool hostOk = true, editorOk = true;
    std::thread host(reader, MeterReader::Host, &lastHost, &hostOk);
    std::thread editor(reader, MeterReader::Editor, &lastEditor, &editorOk);
    for (int b = 1; b <= kBlocks; ++b) peaks.raise(static_cast<float>(b));
    done = true;
    host.join();
    editor.join();
    EXPECT_TRUE(hostOk);
    EXPECT_TRUE(editorOk);
    EXPECT_EQ(lastHost, kBlocks);
    EXPECT_EQ(lastEditor, kBlocks);
}

TEST(MeterExchange, TripleBufferHandsOverTheLatestCompleteFrame) {
    TripleBuffer<std::array<int, 4>> buffer;
    std::array<int, 4> out{9, 9, 9, 9};
    EXPECT_EQ(buffer.latest(), nullptr);
    EXPECT_FALSE(buffer.readLatest(out));
    EXPECT_EQ(out[0], 9);
    buffer.beginWrite().fill(1);
    buffer.publish();
    buffer.beginWrite().fill(2);  // being written, not yet shown
    EXPECT_TRUE(buffer.readLatest(out));
    EXPECT_EQ(out, (std::array<int, 4>{1, 1, 1, 1}));
    EXPECT_FALSE(buffer.readLatest(out));  // nothing new
    buffer.publish();
    buffer.beginWrite().fill(3);
    buffer.publish();  // two frames since the last read: the reader gets the newer
    bool fresh = false;
    const auto* frame = buffer.latest(&fresh);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(fresh);
    EXPECT_EQ((*frame)[3], 3);
    EXPECT_EQ((*buffer.latest(&fresh))[0], 3);  // stays readable
    EXPECT_FALSE(fresh);
}

// A writer fills 2 x 1024-bin frames whose every element carries the frame number, as fast
// as it can; the reader must never see two numbers in one frame, nor go back in time.
TEST(MeterExchange, TripleBufferNeverShowsATornFrame) {
    using Spectrum = std::array<std::array<float, 1024>, 2>;
    TripleBuffer<Spectrum> buffer;
    constexpr int kFrames = 5000;
    std::atomic<bool> done{false};
    std::atomic<int> read{0};
    std::atomic<float> last{0.0f};
    std::thread writer([&] {
        // At least kFrames, and on until the reader has had a fair share of them.
        int f = 1;
        for (; f <= kFrames || read.load() < 200; ++f) {
            Spectrum& s = buffer.beginWrite();
            for (auto& channel : s) channel.fill(static_cast<float>(f));
            buffer.publish();
        }
        last = static_cast<float>(f - 1);
        done = true;
    });
    float previous = 0.0f;
    int torn = 0, backwards = 0, frames = 0;
    for (;;) {
        const bool finished = done.load();
        bool fresh = false;
        const Spectrum* s = buffer.latest(&fresh);
        if (s && fresh) {
            const float f = (*s)[0][0];
            for (const auto& channel : *s)
                for (float v : channel)
                    if (v != f) ++torn;
            if (f <= previous) ++backwards;
            previous = f;
            read = ++frames;
        }
        if (finished && !fresh) break;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(backwards, 0);
    EXPECT_GE(frames, 200);
    EXPECT_EQ(previous, last.load());
}

}  // namespace
}  // namespace qx
