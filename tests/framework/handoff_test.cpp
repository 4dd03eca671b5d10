// The parameter hand-off on the 129-parameter toy effect driven through its effect record, as
// a host drives it: what waits for a block and in which order it lands, program changes on
// block boundaries while another thread processes, and automation, program changes, the
// host's lifecycle and processing on separate threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "framework/plugin_effect_with_editor.h"
#include "tests/framework/toy_plugin/toy_effect.h"

namespace qx {
namespace {

using toy::ToyEffect;
using toy::ToyEvent;
using Effect = PluginEffectWithEditor<ToyEffect>;

// Stands for the host: everything goes through the effect record.
struct Host {
    Effect fx{nullptr};
    vst::AEffect* e = fx.getAeffect();
    std::vector<float> in = std::vector<float>(512, 0.25f), outL = in, outR = in;

    void resume() { e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f); }
    void suspend() { e->dispatcher(e, vst::effMainsChanged, 0, 0, nullptr, 0.0f); }
    void setProgram(int p) { e->dispatcher(e, vst::effSetProgram, 0, p, nullptr, 0.0f); }
    void setSampleRate(float hz) { e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, hz); }
    void set(int index, float value) { e->setParameter(e, index, value); }
    float get(int index) { return e->getParameter(e, index); }
    void process(int frames = 64) {
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        e->processReplacing(e, ins, outs, frames);
    }
};

bool sameEvent(const ToyEvent& a, ToyEvent::Kind kind, int index, float value) {
    return a.kind == kind && a.index == index && a.value == value;
}

TEST(Handoff, ChangesWaitForTheNextBlockAndLandInTheOrderTheyArrived) {
    Host h;
    // No block can run yet: a change reaches the engine at once, on this thread.
    h.fx.clearLogs();
    h.set(toy::kGain, 0.5f);
    ASSERT_EQ(h.fx.events().size(), 1u);
    EXPECT_EQ(h.fx.gainLinear(), 0.1f);

    h.resume();  // from here on, blocks may come at any moment
    h.fx.clearLogs();
    h.set(toy::kGain, 0.75f);
    EXPECT_EQ(h.get(toy::kGain), 0.75f);  // stored at once, for hosts that read back
    h.set(toy::kFirstBand, 0.2f);
    EXPECT_TRUE(h.fx.setBypass(true));  // resets state the band setter set up
    h.set(toy::kGain, 0.875f);          // a second change moves behind the bypass
    h.fx.postCommand(toy::kCountCommand);
    h.fx.postCommand(7);  // not a command: ignored
    h.setSampleRate(96000.0f);
    EXPECT_TRUE(h.fx.events().empty());
    EXPECT_EQ(h.fx.gainLinear(), 0.1f);

    h.process();
    const std::vector<ToyEvent>& ev = h.fx.events();
    ASSERT_EQ(ev.size(), 5u);
    EXPECT_TRUE(sameEvent(ev[0], ToyEvent::Parameter, toy::kFirstBand, 0.2f));
    EXPECT_TRUE(sameEvent(ev[1], ToyEvent::Parameter, toy::kBypass, 1.0f));
    EXPECT_TRUE(sameEvent(ev[2], ToyEvent::Parameter, toy::kGain, 0.875f));
    EXPECT_TRUE(sameEvent(ev[3], ToyEvent::Command, toy::kCountCommand, 0.0f));
    EXPECT_TRUE(sameEvent(ev[4], ToyEvent::SampleRate, -1, 96000.0f));
    // The block processed after them: bypassed, so the input comes through.
    EXPECT_EQ(h.outL[0], 0.25f);
    ASSERT_EQ(h.fx.blockChecksums().size(), 1u);

    // A block with nothing pending applies nothing; an empty block takes nothing either.
    h.set(toy::kMode, 2.0f);
    h.process(0);
    h.process();
    EXPECT_EQ(ev.size(), 6u);
    h.process();
    EXPECT_EQ(ev.size(), 6u);

    // After a suspend no block can run until one arrives: the reset lands at once.
    h.suspend();
    ASSERT_EQ(ev.size(), 7u);
    EXPECT_EQ(ev.back().kind, ToyEvent::Reset);
    h.set(toy::kGain, 1.0f);
    EXPECT_EQ(h.fx.gainLinear(), 1.0f);
    // A host that processes without resuming: from its first block on, changes wait again.
    h.process();
    h.set(toy::kGain, 0.5f);
    EXPECT_EQ(h.fx.gainLinear(), 1.0f);
    h.process();
    EXPECT_EQ(h.fx.gainLinear(), 0.1f);
    EXPECT_EQ(h.fx.overlaps(), 0);
}

TEST(Handoff, HostValuesAreRefusedOrHeldToTheRangeWhateverTheSource) {
    Host h;
    h.fx.clearLogs();
    h.set(toy::kGain, NAN);
    h.set(toy::kGain, -INFINITY);
    h.fx.setParameter(toy::kGain, INFINITY);
    h.fx.setParameterAutomated(toy::kGain, NAN);
    EXPECT_EQ(h.get(toy::kGain), 1.0f);
    EXPECT_TRUE(h.fx.events().empty());  // nothing reached the engine
    h.set(toy::kMode, 7.5f);             // a menu of four entries
    EXPECT_EQ(h.get(toy::kMode), 3.0f);
    h.set(toy::kMode, 1.0f);  // an index, not a fraction
    EXPECT_EQ(h.get(toy::kMode), 1.0f);
    h.set(toy::kGain, 1.5f);
    h.set(toy::kFirstBand, -0.25f);
    EXPECT_EQ(h.get(toy::kGain), 1.0f);
    EXPECT_EQ(h.get(toy::kFirstBand), 0.0f);
    EXPECT_EQ(h.fx.appliedValue(toy::kFirstBand), 0.0f);
}

// A program change from another thread while blocks run: every block sees the whole of
// one program, never a mix. (Applying the values one by one as they are set would let
// blocks start in the middle of a change.)
TEST(Handoff, ProgramChangesLandWholeOnBlockBoundaries) {
    Host h;
    std::set<double> programs;
    for (int p = 0; p < toy::kNumPrograms; ++p)
        programs.insert(toy::programChecksum(toy::kToyDescription.factory.row(p)));
    ASSERT_EQ(programs.size(), 4u);  // two of the six are copies of "Default"
    h.resume();
    h.fx.clearLogs();
    std::atomic<bool> done{false};
    std::thread audio([&] {
        // Stops early rather than outrun the engine's log of blocks.
        while (!done.load() && h.fx.blockChecksums().size() + 1 < ToyEffect::kLogCapacity)
            h.process(16);
    });
    std::mt19937 rng(5);
    for (int change = 0; change < 1500; ++change) {
        h.setProgram(static_cast<int>(rng() % toy::kNumPrograms));
        if (change % 64 == 0) std::this_thread::yield();
    }
    done = true;
    audio.join();
    h.process(16);

    const std::vector<double>& seen = h.fx.blockChecksums();
    ASSERT_GT(seen.size(), 10u);
    for (std::size_t b = 0; b < seen.size(); ++b)
        ASSERT_TRUE(programs.count(seen[b])) << "block " << b << " mixed two programs";
    for (int i = 0; i < toy::kNumParams; ++i)
        ASSERT_EQ(h.fx.appliedValue(i), toy::kToyDescription.factory.row(h.fx.getProgram())[i])
            << i;
    EXPECT_EQ(h.fx.overlaps(), 0);
}

// Automation, program changes, the host's suspend and resume and processing, each on its own
// thread (the ThreadSanitizer build runs this too): no engine access ever overlaps, and
// once the threads stop, the engine holds exactly what getParameter reports.
TEST(Handoff, AutomationProgramsLifecycleAndProcessingOnSeparateThreads) {
    Host h;
    std::atomic<bool> done{false};
    std::atomic<int> running{3};
    auto finish = [&] {
        if (running.fetch_sub(1) == 1) done = true;
    };
    std::thread audio([&] {
        while (!done.load()) h.process(32);
    });
    std::thread automation([&] {
        std::mt19937 rng(1);
        for (int n = 0; n < 50000; ++n)
            h.set(static_cast<int>(rng() % toy::kNumParams), static_cast<float>(rng() % 100) / 99);
        finish();
    });
    std::thread programs([&] {
        for (int n = 0; n < 1000; ++n) {
            h.setProgram(n % toy::kNumPrograms);
            char text[64];
            h.e->dispatcher(h.e, vst::effGetParamDisplay, n % toy::kNumParams, 0, text, 0.0f);
        }
        finish();
    });
    std::thread lifecycle([&] {
        for (int n = 0; n < 200; ++n) {
            h.suspend();
            h.setSampleRate(n % 2 ? 48000.0f : 44100.0f);
            h.resume();
        }
        finish();
    });
    automation.join();
    programs.join();
    lifecycle.join();
    audio.join();
    h.process(32);
    EXPECT_EQ(h.fx.overlaps(), 0);
    for (int i = 0; i < toy::kNumParams; ++i) ASSERT_EQ(h.fx.appliedValue(i), h.get(i)) << i;
}

// A host that never resumes but processes on one thread while another changes parameters:
// the control thread applies changes itself until the first block arrives, and the two
// never touch the engine at the same time.
TEST(Handoff, NoBlockOverlapsAChangeAppliedOnTheControlThread) {
    for (int round = 0; round < 20; ++round) {
        Host h;
        std::atomic<bool> go{false}, done{false};
        std::thread audio([&] {
            while (!go.load()) std::this_thread::yield();
            for (int b = 0; b < 200; ++b) h.process(8);
            done = true;
        });
        go = true;
        for (int n = 0; !done.load(); ++n) h.set(n % toy::kNumParams, (n % 10) / 9.0f);
        audio.join();
        h.process(8);
        ASSERT_EQ(h.fx.overlaps(), 0) << round;
        for (int i = 0; i < toy::kNumParams; ++i) ASSERT_EQ(h.fx.appliedValue(i), h.get(i)) << i;
    }
}

}  // namespace
}  // namespace qx
