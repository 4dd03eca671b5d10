// The eraslip effect class as a host drives it through its record: the output peak reaches
// the host's VU and the editor's meter alike, and automation from another thread reaches
// the engine only between blocks (the ThreadSanitizer build runs this too).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "effects/eraslip/lofi_effect.h"

namespace qx {
namespace {

struct Host {
    LofiEffect fx{nullptr};
    vst::AEffect* e = fx.getAeffect();
    std::vector<float> in = std::vector<float>(256), outL = in, outR = in;

    void process(float level) {
        std::fill(in.begin(), in.end(), level);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        e->processReplacing(e, ins, outs, static_cast<int>(in.size()));
    }
    float hostVu() {
        return static_cast<float>(e->dispatcher(e, vst::effGetVu, 0, 0, nullptr, 0.0f)) / 32767;
    }
};

// Each reader clears only what it read: a peak the host's VU took is still there for the
// editor's meter, and the other way round.
TEST(LofiEffect, HostVuAndEditorMeterEachSeeEveryPeak) {
    Host h;
    h.fx.setParameter(eraslip::kBypass, 1.0f);  // output = input (plus a 1e-7 offset)
    constexpr float kVuStep = 1.0f / 32767;
    h.process(0.5f);
    EXPECT_NEAR(h.hostVu(), 0.5f, kVuStep);
    EXPECT_NEAR(h.fx.takeOutputPeak(MeterReader::Editor), 0.5f, 1e-6f);
    h.process(0.3f);
    h.process(0.1f);
    EXPECT_NEAR(h.hostVu(), 0.3f, kVuStep);
    EXPECT_EQ(h.hostVu(), 0.0f);
    h.process(0.2f);
    EXPECT_NEAR(h.fx.takeOutputPeak(MeterReader::Editor), 0.3f, 1e-6f);
    EXPECT_NEAR(h.hostVu(), 0.2f, kVuStep);
    EXPECT_EQ(h.fx.takeOutputPeak(MeterReader::Editor), 0.0f);
}

TEST(LofiEffect, AutomationAndMeterReadersWhileProcessing) {
    Host h;
    h.e->dispatcher(h.e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    std::atomic<bool> done{false};
    std::thread automation([&] {
        std::mt19937 rng(3);
        for (int n = 0; n < 20000; ++n) {
            const int index = static_cast<int>(rng() % eraslip::kNumParams);
            h.e->setParameter(h.e, index, static_cast<float>(rng() % 1000) / 999);
            if (n % 500 == 0) h.e->dispatcher(h.e, vst::effSetProgram, 0, n % 11, nullptr, 0);
        }
        done = true;
    });
    std::thread editor([&] {
        while (!done.load()) (void)h.fx.takeOutputPeak(MeterReader::Editor);
    });
    bool finite = true;
    while (!done.load()) {
        h.process(0.4f);
        (void)h.hostVu();
        for (float y : h.outL) finite = finite && std::isfinite(y);
    }
    automation.join();
    editor.join();
    EXPECT_TRUE(finite);
    // Whatever came last reached the engine with the next block.
    h.process(0.4f);
    EXPECT_EQ(h.fx.engine().bits(), lofiBits(h.fx.getParameter(eraslip::kBits)));
    EXPECT_EQ(h.fx.engine().bypassed(), h.fx.getParameter(eraslip::kBypass) > 0.5f);
    EXPECT_EQ(h.fx.engine().pan(), h.fx.getParameter(eraslip::kPan));
}

}  // namespace
}  // namespace qx
