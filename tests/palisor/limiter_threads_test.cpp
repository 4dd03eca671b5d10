// A control thread changes parameters, programs, bypass and sample rate while the audio
// thread processes: nothing crashes, and every engine change lands between two blocks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "effects/palisor/limiter_effect.h"

namespace qx {
namespace {

TEST(LimiterEffectThreads, ChangesFromAnotherThreadLandBetweenBlocks) {
    LimiterEffect fx(nullptr);
    fx.resume();
    // The audio thread goes through the effect record, as a host's does: the framework
    // hands the engine its changes at the start of each block.
    std::atomic<bool> done{false};
    // Every change keeps a constant input audible, so the only silence is the 512 samples
    // after a bypass switch or program load has emptied the delay.
    const float rates[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f};
    const std::function<void(float)> changes[] = {
        [&](float r) { fx.setBypass(r > 0.5f); },
        [&](float r) { fx.setParameter(kLimiterBypass, r > 0.5f ? 1.0f : 0.0f); },
        [&](float r) { fx.setSampleRate(rates[static_cast<int>(r * 3.99f)]); },
        [&](float r) { fx.setParameter(kLimiterOutputTrim, 0.5f + 0.5f * r); },
        [&](float r) { fx.setParameter(kLimiterInputDrive, 0.5f + 0.5f * r); },
        [&](float r) { fx.setParameter(kLimiterSideGain + std::rand() % 12, r); },
        // 64, 32 or 24 bits: dither at shorter words would blur the silence.
        [&](float r) { fx.setParameter(kLimiterDithering, std::floor(r * 2.99f)); },
        [&](float r) { fx.setProgram(static_cast<int>(r * 17.99f)); },
    };
    std::thread control([&] {
        std::srand(17);
        for (int step = 0; step < 2000; ++step) {
            const float r = static_cast<float>(std::rand()) / RAND_MAX;
            changes[step % 8](r);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        done.store(true);
    });

    std::vector<float> inL(512, 0.25f), inR(512, 0.2f), outL(512), outR(512);
    float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {outL.data(), outR.data()};
    const int sizes[] = {1, 7, 64, 256, 333, 512};
    long blocks = 0, silences = 0;
    float previous = 0.0f;
    vst::AEffect* record = fx.getAeffect();
    auto processBlock = [&](int frames) {
        record->processReplacing(record, ins, outs, frames);
        for (int i = 0; i < frames; ++i) {
            ASSERT_TRUE(std::isfinite(outL[i]) && std::fabs(outL[i]) <= 1.0f);
            ASSERT_TRUE(std::isfinite(outR[i]) && std::fabs(outR[i]) <= 1.0f);
            const bool silent = std::fabs(outL[i]) <= 1e-6f && std::fabs(outR[i]) <= 1e-6f;
            ASSERT_TRUE(silent || std::fabs(outL[i]) > 1e-3f) << outL[i];
            if (silent && std::fabs(previous) > 1e-3f) {
                ASSERT_EQ(i, 0) << "delay emptied inside block " << blocks;
                ++silences;
            }
            previous = outL[i];
        }
        ++blocks;
    };
    while (!done.load()) processBlock(sizes[blocks % 6]);
    control.join();
    processBlock(64);

    EXPECT_GT(silences, 10);
    // Nothing posted was lost: the engine holds the last values the host set.
    const LimiterEngine& e = fx.engine();
    EXPECT_EQ(e.bypassed(), fx.getParameter(kLimiterBypass) > 0.5f);
    EXPECT_EQ(e.sampleRateHz(), fx.getSampleRate());
    EXPECT_EQ(e.wordLength(), limiterWordLength(fx.getParameter(kLimiterDithering)));
    EXPECT_EQ(e.sideGain(), fx.getParameter(kLimiterSideGain));
    EXPECT_EQ(e.interSamplePeak(), fx.getParameter(kLimiterInterSamplePeak) > 0.5f);
}

}  // namespace
}  // namespace qx
