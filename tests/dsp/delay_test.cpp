// DelayLine and AllpassDelay: delay counts in both read orders, taps, interpolation,
// length changes and the allpass response.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/allpass_delay.h"
#include "dsp/delay_line.h"
#include "dsp/one_pole_filter.h"

namespace qx {
namespace {

// Index of the first non-zero output for a unit impulse at time 0.
template <typename Step>
int impulseDelay(Step step, int limit) {
    for (int t = 0; t < limit; ++t)
        if (step(t == 0 ? 1.0f : 0.0f) != 0.0f) return t;
    return -1;
}

TEST(DelayLine, DelayCountsInBothReadOrders) {
    for (int length : {0, 1, 5, 64, 100}) {
        SCOPED_TRACE(length);
        DelayLine readFirst, writeFirst;
        readFirst.init(length, 128, 1.0f);
        writeFirst.init(length, 128, 1.0f);
        EXPECT_EQ(impulseDelay(
                      [&](float x) {
                          const float y = readFirst.readCurrent();
                          readFirst.write(x);
                          return y;
                      },
                      300),
                  length + 1);
        EXPECT_EQ(impulseDelay(
                      [&](float x) {
                          writeFirst.write(x);
                          return writeFirst.readCurrent();
                      },
                      300),
                  length);
    }
}

TEST(DelayLine, ReadsTheOldestOfTheLastLPlusOneValues) {
    DelayLine d;
    d.init(4, 8, 1.0f);
    for (float x : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}) d.write(x);
    EXPECT_EQ(d.readCurrent(), 2.0f);
    // After a write, tap n is the value written L - n periods earlier.
    EXPECT_EQ(d.readTap(0), 2.0f);
    EXPECT_EQ(d.readTap(1), 3.0f);
    EXPECT_EQ(d.readTap(3), 5.0f);
    EXPECT_EQ(d.readTap(4 + 10), d.readTap(3));
    EXPECT_EQ(d.readTap(-2), d.readTap(0));
    EXPECT_FLOAT_EQ(d.readInterpolated(1.5f), 3.5f);
    EXPECT_EQ(d.readInterpolated(99.0f), d.readTap(3));
    EXPECT_EQ(d.readInterpolated(-1.0f), d.readTap(0));
    d.setGain(0.5f);
    EXPECT_EQ(d.readCurrent(), 1.0f);
    EXPECT_FLOAT_EQ(d.readInterpolated(0.25f), 0.5f * (2.0f + 0.25f));
}

TEST(DelayLine, InterpolatesAcrossTheWrapPoint) {
    DelayLine d;
    d.init(3, 3, 1.0f);
    for (float x : {10.0f, 2.0f, 4.0f, 6.0f, 8.0f}) d.write(x);
    // Slots hold 8, 2, 4, 6 with the cursor on slot 1: the tap walks 2, 4, 6 and the
    // interpolated read between tap 1 and tap 2 averages 4 and 6.
    EXPECT_FLOAT_EQ(d.readInterpolated(1.5f), 5.0f);
    EXPECT_FLOAT_EQ(d.readInterpolated(2.0f), 6.0f);
    d.write(1.0f);
    d.write(3.0f);  // cursor now on the last slot, so tap 1 wraps to slot 0
    EXPECT_EQ(d.readTap(1), 8.0f);
    EXPECT_FLOAT_EQ(d.readInterpolated(0.5f), 0.5f * (6.0f + 8.0f));
}

TEST(DelayLine, LengthClampsAndChangeBehaviour) {
    DelayLine keep;
    keep.init(10, 16, 1.0f);
    keep.setLength(-3);
    EXPECT_EQ(keep.length(), 0);
    keep.write(7.0f);
    EXPECT_EQ(keep.readCurrent(), 7.0f);  // L = 0: one slot, the value just written
    keep.setLength(16 + 5);
    EXPECT_EQ(keep.length(), 16);

    // Current plug-ins keep the contents across a length change.
    DelayLine current;
    DelayLine older(DelayLine::LengthChange::Clear);
    for (DelayLine* d : {&current, &older}) {
        d->init(4, 8, 1.0f);
        for (int i = 1; i <= 3; ++i) d->write(static_cast<float>(i));
        d->setLength(4);  // unchanged length: nothing happens
    }
    EXPECT_EQ(older.readTap(2), 1.0f);
    current.setLength(6);
    older.setLength(6);
    // The cursor stayed on slot 3, so taps 4 and 5 wrap to the first two values.
    EXPECT_EQ(current.readTap(4), 1.0f);
    EXPECT_EQ(current.readTap(5), 2.0f);
    EXPECT_EQ(older.readCurrent(), 0.0f);
    for (int n = 0; n < 6; ++n) EXPECT_EQ(older.readTap(n), 0.0f) << n;
}

TEST(DelayLine, DampedWriteIsAOnePoleLowpassAndClearKeepsItsMemory) {
    DelayLine d;
    OnePoleFilter reference;
    d.init(0, 4, 1.0f);
    d.setDamping(2000.0f, 48000);
    reference.setCutoff(2000.0f, 48000);
    EXPECT_EQ(d.dampingCoefficient(), reference.coefficient());
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

TEST(AllpassDelay, ImpulseResponseAndDelayCount) {
    AllpassDelay a;
    a.init(0, 4, 0.5f);
    EXPECT_FLOAT_EQ(a.processSample(1.0f), -0.5f);
    EXPECT_FLOAT_EQ(a.processSample(0.0f), 0.75f);
    EXPECT_FLOAT_EQ(a.processSample(0.0f), 0.375f);
    EXPECT_FLOAT_EQ(a.output(), 0.375f);

    // With g = 0 the section is a pure delay of L + 1 samples (read before write).
    for (int length : {0, 3, 50}) {
        AllpassDelay pure;
        pure.init(length, 64, 0.0f);
        EXPECT_EQ(impulseDelay([&](float x) { return pure.processSample(x); }, 200), length + 1);
    }
}

TEST(AllpassDelay, PreservesEnergyAndClampsGain) {
    AllpassDelay a;
    a.init(7, 16, 0.0f);
    a.setGain(1.2f);
    EXPECT_EQ(a.gain(), 0.9999f);
    a.setGain(-5.0f);
    EXPECT_EQ(a.gain(), -0.9999f);
    a.setGain(0.7f);
    // Allpass: the impulse response carries unit energy.
    double energy = 0.0;
    for (int t = 0; t < 4000; ++t) {
        const double y = a.processSample(t == 0 ? 1.0f : 0.0f);
        energy += y * y;
    }
    EXPECT_NEAR(energy, 1.0, 1e-4);

    AllpassDelay raw;
    raw.init(2, 4, 1.5f);  // init stores the coefficient without the clamp
    EXPECT_EQ(raw.gain(), 1.5f);
}

TEST(AllpassDelay, OnlyARealLengthChangeEmptiesIt) {
    AllpassDelay a;
    a.init(3, 8, 0.0f);
    a.processSample(1.0f);
    a.setLength(3);
    EXPECT_EQ(impulseDelay([&](float x) { return a.processSample(0.0f * x); }, 10), 3);
    a.processSample(1.0f);
    a.setLength(5);
    for (int t = 0; t < 10; ++t) EXPECT_EQ(a.processSample(0.0f), 0.0f);
    a.setLength(100);
    EXPECT_EQ(a.length(), 8);
    a.setLength(-2);
    EXPECT_EQ(a.length(), 0);

    // A later init keeps the first maximum.
    a.init(50, 100, 0.2f);
    EXPECT_EQ(a.maxLength(), 8);
    EXPECT_EQ(a.length(), 8);
}

}  // namespace
}  // namespace qx
