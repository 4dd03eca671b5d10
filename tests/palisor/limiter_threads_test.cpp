// A control thread changes parameters, programs, bypass and sample rate while the audio
// thread processes: nothing crashes, and every engine change lands between two blocks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "effects/palisor/limiter_effect.h"

namespace qx {
namespace {

TEST(LimiterEffectThreads, ChangesFromAnotherThreadLandBetweenBlocks) {
    LimiterEffect fx(nullptr);
    fx.resume();
    std::atomic<bool> done{false};
    std::atomic<int> changes{0};
    constexpr float kRates[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f};

    // Everything the control thread does keeps a constant input audible, so the only
    // silence is the 512 samples after a bypass switch or program load empties the delay.
    std::thread control([&] {
        std::srand(17);
        for (int step = 0; step < 2000; ++step) {
            const float r = static_cast<float>(std::rand()) / RAND_MAX;
            switch (step % 8) {
                case 0:
                    fx.setBypass(r > 0.5f);
                    break;
                case 1:
                    fx.setSampleRate(kRates[std::rand() % 4]);
                    break;
                case 2:
                    fx.setParameter(kLimiterOutputTrim, 0.5f + 0.5f * r);
                    break;
                case 3:
                    fx.setParameter(kLimiterInputDrive, 0.5f + 0.5f * r);
                    break;
                case 4:
                    fx.setParameter(4 + std::rand() % 12, r);  // side gain .. inter-sample peak
                    break;
                case 5:
                    // 64, 32 or 24 bits: dither at shorter words would blur silence.
                    fx.setParameter(kLimiterDithering, static_cast<float>(std::rand() % 3));
                    break;
                case 6:
                    if (step % 80 == 6) fx.setProgram(std::rand() % kLimiterNumPrograms);
                    break;
                default:
                    fx.setParameter(kLimiterBypass, r > 0.5f ? 1.0f : 0.0f);
                    break;
            }
            changes.fetch_add(1, std::memory_order_relaxed);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        done.store(true);
    });

    const int kSizes[] = {1, 7, 64, 256, 333, 512};
    std::vector<float> inL(512, 0.25f), inR(512, 0.2f), outL(512), outR(512);
    float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {outL.data(), outR.data()};
    long blocks = 0;
    int silencesStartingAtABlock = 0;
    float previous = 0.0f;
    auto processBlock = [&](int frames) {
        fx.processReplacing(ins, outs, frames);
        for (int i = 0; i < frames; ++i) {
            ASSERT_TRUE(std::isfinite(outL[i]) && std::fabs(outL[i]) <= 1.0f);
            ASSERT_TRUE(std::isfinite(outR[i]) && std::fabs(outR[i]) <= 1.0f);
            const bool audible = std::fabs(outL[i]) > 1e-3f;
            const bool silent = std::fabs(outL[i]) <= 1e-6f && std::fabs(outR[i]) <= 1e-6f;
            // Silence after sound begins only where a block begins.
            if (std::fabs(previous) > 1e-3f && silent) {
                ASSERT_EQ(i, 0) << "delay emptied inside block " << blocks;
                ++silencesStartingAtABlock;
            }
            ASSERT_TRUE(audible || silent) << outL[i];
            previous = outL[i];
        }
        ++blocks;
    };
    while (!done.load()) processBlock(kSizes[blocks % 6]);
    control.join();
    processBlock(64);

    EXPECT_GT(silencesStartingAtABlock, 10);
    EXPECT_GT(blocks, 100);
    // Nothing posted was lost: the engine matches the last values the host set.
    const LimiterEngine& e = fx.engine();
    EXPECT_EQ(e.bypassed(), fx.getParameter(kLimiterBypass) > 0.5f);
    EXPECT_EQ(e.sampleRateHz(), fx.getSampleRate());
    EXPECT_EQ(e.wordLength(), limiterWordLength(fx.getParameter(kLimiterDithering)));
    EXPECT_EQ(e.sideGain(), fx.getParameter(kLimiterSideGain));
    EXPECT_EQ(e.interSamplePeak(), fx.getParameter(kLimiterInterSamplePeak) > 0.5f);
}

}  // namespace
}  // namespace qx
