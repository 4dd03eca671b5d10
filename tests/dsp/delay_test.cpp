// DelayLine and AllpassDelay: delay counts in both read orders, taps, interpolation,
// length changes and the allpass response.
#include <gtest/gtest.h>

#include "dsp/allpass_delay.h"
#include "dsp/delay_line.h"
#include "dsp/one_pole_filter.h"

namespace qx {
namespace {

// Index of the first non-zero output for a unit impulse at time 0.
template <typename Step>
int impulseDelay(Step step) {
    for (int t = 0; t < 1000; ++t)
        if (step(t == 0 ? 1.0f : 0.0f) != 0.0f) return t;
    return -1;
}

TEST(DelayLine, DelayCountsInBothReadOrders) {
    for (int length : {0, 1, 5, 100}) {
        DelayLine readFirst, writeFirst;
        readFirst.init(length, 128, 1.0f);
        writeFirst.init(length, 128, 1.0f);
        EXPECT_EQ(impulseDelay([&](float x) {
                      const float y = readFirst.readCurrent();
                      readFirst.write(x);
                      return y;
                  }),
                  length + 1);
        EXPECT_EQ(impulseDelay([&](float x) {
                      writeFirst.write(x);
                      return writeFirst.readCurrent();
                  }),
                  length);
    }
}

TEST(DelayLine, TapsAndInterpolatedReads) {
    DelayLine d;
    d.init(4, 8, 1.0f);
    for (float x : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}) d.write(x);
    EXPECT_EQ(d.readCurrent(), 2.0f);  // the oldest of the last L + 1 values
    // After a write, tap n is the value written L - n periods earlier; taps clamp.
    EXPECT_EQ(d.readTap(1), 3.0f);
    EXPECT_EQ(d.readTap(3), 5.0f);
    EXPECT_EQ(d.readTap(4 + 10), 5.0f);
    EXPECT_EQ(d.readTap(-2), 2.0f);
    EXPECT_FLOAT_EQ(d.readInterpolated(1.5f), 3.5f);
    EXPECT_EQ(d.readInterpolated(99.0f), 5.0f);
    d.setGain(0.5f);
    EXPECT_EQ(d.readCurrent(), 1.0f);
    EXPECT_FLOAT_EQ(d.readInterpolated(0.25f), 0.5f * 2.25f);

    // Reads across the end of the buffer wrap to slot 0.
    DelayLine w;
    w.init(3, 3, 1.0f);
    for (float x : {10.0f, 2.0f, 4.0f, 6.0f, 8.0f, 1.0f, 3.0f}) w.write(x);
    EXPECT_EQ(w.readTap(1), 8.0f);
    EXPECT_FLOAT_EQ(w.readInterpolated(0.5f), 7.0f);
}

TEST(DelayLine, LengthClampsAndTheTwoLengthChangeBehaviours) {
    DelayLine d;
    d.init(10, 16, 1.0f);
    d.setLength(-3);
    EXPECT_EQ(d.length(), 0);
    d.write(7.0f);
    EXPECT_EQ(d.readCurrent(), 7.0f);  // one slot: the value just written
    d.setLength(16 + 5);
    EXPECT_EQ(d.length(), 16);

    DelayLine current;
    DelayLine older(DelayLine::LengthChange::Clear);
    for (DelayLine* line : {&current, &older}) {
        line->init(4, 8, 1.0f);
        for (float x : {1.0f, 2.0f, 3.0f}) line->write(x);
        line->setLength(4);  // unchanged: nothing happens
    }
    EXPECT_EQ(older.readTap(2), 1.0f);
    current.setLength(6);
    older.setLength(6);
    // The current build keeps contents and cursor (slot 3): taps 4 and 5 wrap round.
    EXPECT_EQ(current.readTap(4), 1.0f);
    EXPECT_EQ(current.readTap(5), 2.0f);
    for (int n = 0; n < 6; ++n) EXPECT_EQ(older.readTap(n), 0.0f);
}

TEST(DelayLine, DampedWriteIsTheOnePoleLowpassAndClearKeepsItsMemory) {
    DelayLine d;
    OnePoleFilter reference;
    d.init(0, 4, 1.0f);
    d.setDamping(2000.0f, 48000);
    reference.setCutoff(2000.0f, 48000);
    for (int i = 0; i < 20; ++i) {
        const float x = (i % 3 == 0) ? 1.0f : -0.25f;
        d.writeDamped(x);
        reference.process(x);
        EXPECT_EQ(d.readCurrent(), reference.output());
    }
    d.clear();
    EXPECT_EQ(d.readCurrent(), 0.0f);
    d.writeDamped(0.0f);
    reference.process(0.0f);
    EXPECT_EQ(d.readCurrent(), reference.output());
}

TEST(AllpassDelay, ResponseDelayAndEnergy) {
    AllpassDelay a;
    a.init(0, 4, 0.5f);
    EXPECT_FLOAT_EQ(a.processSample(1.0f), -0.5f);
    EXPECT_FLOAT_EQ(a.processSample(0.0f), 0.75f);
    EXPECT_FLOAT_EQ(a.processSample(0.0f), 0.375f);
    EXPECT_FLOAT_EQ(a.output(), 0.375f);

    for (int length : {0, 3, 50}) {  // g = 0: a plain delay of L + 1
        AllpassDelay pure;
        pure.init(length, 64, 0.0f);
        EXPECT_EQ(impulseDelay([&](float x) { return pure.processSample(x); }), length + 1);
    }

    AllpassDelay diffuser;
    diffuser.init(7, 16, 0.0f);
    diffuser.setGain(0.7f);
    double energy = 0.0;
    for (int t = 0; t < 4000; ++t) {
        const double y = diffuser.processSample(t == 0 ? 1.0f : 0.0f);
        energy += y * y;
    }
    EXPECT_NEAR(energy, 1.0, 1e-4);  // allpass: unit energy
}

TEST(AllpassDelay, GainClampAndLengthChanges) {
    AllpassDelay a;
    a.init(3, 8, 1.5f);
    EXPECT_EQ(a.gain(), 1.5f);  // init stores the coefficient as given
    a.setGain(1.2f);
    EXPECT_EQ(a.gain(), 0.9999f);
    a.setGain(-5.0f);
    EXPECT_EQ(a.gain(), -0.9999f);

    a.setGain(0.0f);
    a.processSample(1.0f);
    a.setLength(3);  // same length: the impulse is still on its way
    EXPECT_EQ(impulseDelay([&](float) { return a.processSample(0.0f); }), 3);
    a.processSample(1.0f);
    a.setLength(5);  // any other length empties it
    EXPECT_EQ(impulseDelay([&](float) { return a.processSample(0.0f); }), -1);
    a.setLength(100);
    EXPECT_EQ(a.length(), 8);
    a.setLength(-2);
    EXPECT_EQ(a.length(), 0);
    a.init(50, 100, 0.2f);  // a later init keeps the first maximum
    EXPECT_EQ(a.length(), 8);
}

}  // namespace
}  // namespace qx
