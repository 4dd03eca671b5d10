// The multiband effect class: parameters reaching the engine, program changes landing whole
// on a block boundary (also from another thread), the hold reset and the meter readings.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "effects/quassel/multiband_effect.h"
#include "tests/quassel/test_signals.h"

namespace qx {
namespace {

using test::noise;

void processRecord(MultibandEffect& fx, float* left, float* right, float* outL, float* outR,
                   int n) {
    float* in[2] = {left, right};
    float* out[2] = {outL, outR};
    vst::AEffect* e = fx.getAeffect();
    e->processReplacing(e, in, out, n);
}

TEST(MultibandEffect, ParametersReachTheEngine) {
    MultibandEffect fx(nullptr);
    const MultibandEngine& e = fx.engine();
    EXPECT_EQ(e.bank().bandCount(), 14);  // program 0
    EXPECT_EQ(e.bank().filterOrder(), 4);
    EXPECT_FLOAT_EQ(e.outputTrim(), 0.5f);
    const float counts[][2] = {{0.0f, 1}, {0.0909f, 1}, {0.091f, 10}, {0.5f, 14}, {1.0f, 20}};
    for (const auto& c : counts) {
        fx.setParameter(kQuasselNumberOfBands, c[0]);
        EXPECT_EQ(e.bank().bandCount(), int(c[1])) << c[0];
    }
    const float orders[][2] = {{1.0f, 5}, {0.34f, 3}, {0.35f, 4}, {0.0f, 3}};
    for (const auto& o : orders) {
        fx.setParameter(kQuasselFilterOrder, o[0]);
        EXPECT_EQ(e.bank().filterOrder(), int(o[1])) << o[0];
    }
    fx.setParameter(kQuasselThreshold + 19, 0.0f);
    EXPECT_EQ(e.bank().inverseThreshold(19), 1e8f);
    fx.setParameter(kQuasselRatio + 3, 0.0f);
    EXPECT_EQ(e.bank().ratioExponent(3), 0.0f);
    fx.setParameter(kQuasselAttack + 5, 1.0f);
    EXPECT_NEAR(e.bank().attackCoef(5), std::exp(-1.0 / (0.1 * 44100.0)), 1e-6);
    fx.setParameter(kQuasselDryWet, 0.25f);
    EXPECT_EQ(e.dryWet(), 0.25f);
    fx.setParameter(kQuasselWarmthSwitch, 0.4f);
    EXPECT_FALSE(e.bank().warmthEnabled());
    fx.setParameter(kQuasselBypass, 0.6f);
    EXPECT_TRUE(e.bypassed());
    // Editor-only parameters are stored but leave the engine alone.
    fx.setParameter(kQuasselGuiMode, 0.35f);
    fx.setParameter(kQuasselDisplayRelease, 0.9f);
    EXPECT_EQ(fx.getParameter(kQuasselGuiMode), 0.35f);
    fx.setSampleRate(50.0f);
    EXPECT_EQ(e.sampleRate(), 100.0f);

    // Program 20 does not exist: nothing changes, not even through the direct call.
    fx.setSampleRate(44100.0f);
    fx.setProgram(10);
    fx.setParameter(kQuasselMakeupGain, 0.7f);
    fx.setProgram(20);
    EXPECT_EQ(fx.getProgram(), 10);
    EXPECT_EQ(fx.getParameter(kQuasselMakeupGain), 0.7f);
    EXPECT_FLOAT_EQ(e.bank().makeup(0), 7.0f);
    EXPECT_FLOAT_EQ(e.bank().makeup(1), 0.0f);
}

// While the host runs, a program change waits for the next block and lands there whole:
// the output equals an engine that got all 129 values exactly at that boundary.
TEST(MultibandEffect, ProgramChangeLandsOnTheNextBlockBoundary) {
    MultibandEffect fx(nullptr);
    fx.resume();
    MultibandEngine reference;
    auto load = [&](int program) {
        const float* row = kQuasselDescription.factory.row(program);
        for (int i = 0; i < kQuasselNumParams; ++i) applyQuasselParameter(reference, i, row[i]);
    };
    load(0);
    reference.setSampleRate(44100.0f);
    std::vector<float> left = noise(6000, 3, 0.6f), right = noise(6000, 4, 0.6f);
    std::vector<float> outL(6000), outR(6000), refL(6000), refR(6000);
    const int blocks[] = {700, 1, 1300, 999, 3000};
    int start = 0;
    for (int k = 0; k < 5; ++k) {
        if (k == 2) fx.setProgram(9);  // "Drums: overdone": 14 bands, everything else differs
        if (k == 3) fx.setProgram(2);
        const int n = blocks[k];
        processRecord(fx, &left[start], &right[start], &outL[start], &outR[start], n);
        if (k == 2) load(9);
        if (k == 3) load(2);
        const float* in[2] = {&left[start], &right[start]};
        float* out[2] = {&refL[start], &refR[start]};
        reference.processBlock(in, out, n);
        start += n;
    }
    EXPECT_EQ(outL, refL);
    EXPECT_EQ(outR, refR);
}

// A control thread switches programs (which change band count, order, gains and trim
// together) while the audio thread runs blocks of many lengths: after every block the
// engine holds one program's values, never a mix, and the output stays finite.
TEST(MultibandEffect, ProgramChangesFromAnotherThreadLandWhole) {
    MultibandEffect fx(nullptr);
    // Two programs that differ in trim, make-up and band count, set while no block runs.
    fx.setProgram(0);
    fx.setParameter(kQuasselNumberOfBands, 1.0f);  // 20 bands, trim 0.5, make-up 1
    fx.setProgram(9);
    fx.setParameter(kQuasselNumberOfBands, 0.0f);  // 1 band, trim 0.02, make-up 10
    fx.resume();
    std::atomic<bool> done{false};
    std::thread control([&] {
        for (int step = 0; step < 3000; ++step) {
            fx.setProgram(step % 2 == 0 ? 0 : 9);
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
        done.store(true);
    });
    std::vector<float> left = noise(1024, 5, 0.5f), right = noise(1024, 6, 0.5f);
    std::vector<float> outL(1024), outR(1024);
    const int lengths[] = {1, 64, 333, 1024, 7};
    const MultibandEngine& e = fx.engine();
    long blocks = 0, mixed = 0, notFinite = 0;
    while (!done.load() || blocks < 200) {
        const int n = lengths[blocks % 5];
        processRecord(fx, left.data(), right.data(), outL.data(), outR.data(), n);
        ++blocks;
        const bool first = e.outputTrim() == 0.5f;
        if (first != (e.bank().bandCount() == 20) || first != (e.bank().makeup(7) == 1.0f) ||
            (!first && (e.outputTrim() != 0.02f || e.bank().bandCount() != 1)))
            ++mixed;
        for (int i = 0; i < n; ++i)
            if (!std::isfinite(outL[i]) || !std::isfinite(outR[i])) ++notFinite;
    }
    control.join();
    EXPECT_EQ(mixed, 0) << "of " << blocks << " blocks";
    EXPECT_EQ(notFinite, 0);
}

// The meters the editor reads follow the signal, and the hold reset drops the held peak.
TEST(MultibandEffect, MetersAndHoldReset) {
    MultibandEffect fx(nullptr);
    fx.resume();
    fx.setParameter(kQuasselOutputTrim, 1.0f);
    std::vector<float> loud = noise(4096, 7, 0.8f), quiet(4096, 0.0f), out(4096), out2(4096);
    processRecord(fx, loud.data(), loud.data(), out.data(), out2.data(), 4096);
    const QuasselMeters& m = fx.meters();
    const float held = m.hold[0].load();
    EXPECT_GT(held, 0.1f);
    EXPECT_GT(m.level[1].load(), 0.01f);
    float levels = 0.0f;
    for (const MeterValue& v : m.bandLevel) levels += v.load();
    EXPECT_GT(levels, 0.1f);
    for (int k = 0; k < 10; ++k)
        processRecord(fx, quiet.data(), quiet.data(), out.data(), out2.data(), 4096);
    EXPECT_EQ(m.hold[0].load(), held);  // held for ten seconds
    EXPECT_LT(m.level[0].load(), held * 0.5f);
    fx.requestResetHold();
    processRecord(fx, quiet.data(), quiet.data(), out.data(), out2.data(), 64);
    EXPECT_LT(m.hold[0].load(), held * 0.5f);
    EXPECT_GE(m.hold[0].load(), m.level[0].load());
}

}  // namespace
}  // namespace qx
