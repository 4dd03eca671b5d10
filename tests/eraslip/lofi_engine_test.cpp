// Behaviour of the lo-fi engine that users hear: decimation, requantisation, cross-feed,
// balance, low cut and the clamps of its settings.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/eraslip/lofi_engine.h"
#include "effects/eraslip/lofi_tables.h"

namespace qx {
namespace {

// At 5000 Hz with both filters at their widest the one-pole stages are transparent in
// single precision, so the output shows the held, requantised samples directly.
LofiEngine transparentEngine(int bits) {
    LofiEngine e;
    e.setSampleRate(5000.0f);
    e.setAd(1.0f);
    e.setDa(1.0f);
    e.setHighCut(0.0f);
    e.setBits(bits);
    e.setOutDb(0.0f);
    return e;
}

TEST(LofiEngine, HoldPeriodFollowsTheIntegerRatioOfRates) {
    LofiEngine e;
    const struct {
        float rate;
        int period;
    } cases[] = {{44100, 1}, {32000, 1}, {22050, 2}, {11000, 4}, {6000, 7}, {2000, 22}};
    for (const auto& c : cases) {
        e.setRate(c.rate);
        EXPECT_EQ(e.holdPeriod(), c.period) << c.rate;
    }
    // The factory programs' rates land on the periods their names promise.
    EXPECT_EQ((e.setRate(lofiRateHz(0.71259f)), e.holdPeriod()), 1);
    EXPECT_EQ((e.setRate(lofiRateHz(0.09501f)), e.holdPeriod()), 7);
    EXPECT_EQ((e.setRate(lofiRateHz(0.21378f)), e.holdPeriod()), 4);
    // "Amiga" is 22050 Hz: every sample held twice at 44.1 kHz (the value a hair above,
    // 0.47625, gave 22050.125 Hz and held nothing).
    EXPECT_EQ(lofiRateHz(kLofiDescription.factory.row(5)[eraslip::kRate]), 22050.0f);
    EXPECT_EQ(
        (e.setRate(lofiRateHz(kLofiDescription.factory.row(5)[eraslip::kRate])), e.holdPeriod()),
        2);
    EXPECT_EQ((e.setRate(lofiRateHz(0.47625f)), e.holdPeriod()), 1);

    // Audibly: a ramp comes out as a staircase whose treads are one period long.
    LofiEngine t = transparentEngine(16);
    t.setRate(1666.0f);  // clamped to 2000: period floor(5000 / 2000) = 2
    ASSERT_EQ(t.holdPeriod(), 2);
    std::vector<float> out;
    for (int n = 0; n < 40; ++n) {
        t.processSample(n * 0.01f, n * 0.01f);
        out.push_back(t.outL());
    }
    for (int n = 0; n + 2 < 40; n += 2) {
        EXPECT_EQ(out[n], out[n + 1]) << n;
        EXPECT_GT(out[n + 2], out[n + 1]) << n;
    }
}

TEST(LofiEngine, RequantisesToTheWordLength) {
    for (int bits : {1, 4, 8}) {
        LofiEngine e = transparentEngine(bits);
        const float step = 1.0f / static_cast<float>(1 << bits);
        for (int n = 0; n < 200; ++n) {
            const float x = 0.9f * std::sin(0.37f * n);
            e.processSample(x, -x);
            const float y = e.outL();
            EXPECT_NEAR(y / step, std::round(y / step), 1e-4f) << bits << " " << n;
            EXPECT_LE(std::fabs(y - x), 0.5f * step + 1e-6f) << bits << " " << n;
            EXPECT_FLOAT_EQ(e.outR(), -y);
        }
    }
    // Bits 1: two steps, so held values are multiples of 0.5.
    LofiEngine one = transparentEngine(1);
    one.processSample(0.3f, 0.2f);
    EXPECT_FLOAT_EQ(one.outL(), 0.5f);
    EXPECT_FLOAT_EQ(one.outR(), 0.0f);

    LofiEngine clamp;
    clamp.setBits(0);
    EXPECT_EQ(clamp.bits(), 1);
    clamp.setBits(99);
    EXPECT_EQ(clamp.bits(), 24);
    // Only the very top of the knob reaches 16 bits.
    EXPECT_EQ(lofiBits(0.99f), 15);
    EXPECT_EQ(lofiBits(1.0f), 16);
    EXPECT_EQ(lofiBits(0.25f), 4);
    EXPECT_EQ(lofiBits(0.5f), 8);
}

TEST(LofiEngine, CrossFeedAndPanLaw) {
    auto settle = [](LofiEngine& e, float l, float r) {
        for (int n = 0; n < 4000; ++n) e.processSample(l, r);
    };
    LofiEngine feed = transparentEngine(16);
    feed.setCrosstalk(1.0f);
    settle(feed, 0.25f, 0.0f);
    EXPECT_FLOAT_EQ(feed.outL(), 0.25f);
    EXPECT_FLOAT_EQ(feed.outR(), 0.25f);  // a left-only signal reaches both outputs

    LofiEngine dry = transparentEngine(16);
    settle(dry, 0.25f, 0.0f);
    EXPECT_FLOAT_EQ(dry.outR(), 0.0f);

    LofiEngine left = transparentEngine(16);
    left.setPan(0.0f);
    settle(left, 0.25f, 0.25f);
    EXPECT_FLOAT_EQ(left.outL(), 0.5f);  // doubled relative to the centre
    EXPECT_FLOAT_EQ(left.outR(), 0.0f);

    LofiEngine gain = transparentEngine(16);
    gain.setOutDb(-6.0f);
    gain.setPan(2.0f);  // clamped to the right edge
    EXPECT_FLOAT_EQ(gain.pan(), 1.0f);
    settle(gain, 0.25f, 0.25f);
    EXPECT_FLOAT_EQ(gain.outL(), 0.0f);
    EXPECT_NEAR(gain.outR(), 0.5f * std::pow(10.0f, -6.0f / 20.0f), 1e-4f);
}

TEST(LofiEngine, HighCutRemovesDcOnlyWhenSet) {
    for (float cut : {0.0f, 20.0f, 1000.0f}) {
        LofiEngine e;
        e.setBits(16);
        e.setHighCut(cut);
        for (int n = 0; n < 44100; ++n) e.processSample(0.5f, 0.5f);
        if (cut == 0.0f)
            EXPECT_NEAR(e.outL(), 0.5f, 1.0f / 65536.0f);
        else
            EXPECT_LT(std::fabs(e.outL()), 1e-4f) << cut;
    }
    LofiEngine e;
    e.setHighCut(5000.0f);
    EXPECT_FLOAT_EQ(e.lowPole(), static_cast<float>(std::exp(-2.0 * M_PI * 1000.0 / 44100.0)));
}

TEST(LofiEngine, SampleRateFloorAndRateCeiling) {
    LofiEngine e;
    e.setSampleRate(4000.0f);
    EXPECT_EQ(e.sampleRate(), 5000.0f);
    EXPECT_EQ(e.rate(), 5000.0f);  // the sampler never runs faster than the host
    EXPECT_EQ(e.holdPeriod(), 1);
    e.setRate(40000.0f);
    EXPECT_EQ(e.rate(), 5000.0f);
    e.setSampleRate(96000.0f);
    e.setRate(100000.0f);
    EXPECT_EQ(e.rate(), 44100.0f);
    EXPECT_EQ(e.holdPeriod(), 2);
    e.setRate(10.0f);
    EXPECT_EQ(e.rate(), 2000.0f);

    // Filter design: the 4-stage anti-aliasing corner sits at 0.2 x rate at amount 0,
    // so a tone at that frequency comes out about 3 dB down.
    LofiEngine f;
    f.setSampleRate(48000.0f);
    f.setRate(22050.0f);
    f.setDa(1.0f);
    f.setBits(24);
    f.setHighCut(0.0f);
    f.setOutDb(0.0f);
    const double hz = 0.2 * 22050.0;
    double peak = 0.0;
    for (int n = 0; n < 48000; ++n) {
        const float x = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * hz * n / 48000.0));
        f.processSample(x, x);
        if (n > 24000) peak = std::max(peak, std::fabs(static_cast<double>(f.outL())));
    }
    // The reconstruction filter at its widest adds a little loss of its own.
    EXPECT_NEAR(20.0 * std::log10(peak / 0.5), -3.0, 0.6);
}

TEST(LofiEngine, BypassPassesInputAndKeepsState) {
    LofiEngine e;
    e.setBits(4);
    for (int n = 0; n < 100; ++n) e.processSample(0.3f, 0.3f);
    const float before = e.outL();
    e.setBypass(true);
    e.processSample(0.123f, -0.456f);
    EXPECT_EQ(e.outL(), 0.123f);
    EXPECT_EQ(e.outR(), -0.456f);
    e.setBypass(false);
    e.processSample(0.3f, 0.3f);
    // The filters carry on from where they were, no restart from silence.
    EXPECT_NEAR(e.outL(), before, 0.01f);
}

TEST(LofiEngine, EditorTexts) {
    char text[32];
    const struct {
        int index;
        float value;
        const char* expected;
    } cases[] = {
        {eraslip::kPan, 0.5f, "C"},         {eraslip::kPan, 0.25f, "L50"},
        {eraslip::kPan, 1.0f, "R100"},      {eraslip::kPan, 0.495f, "C"},
        {eraslip::kPan, 0.0f, "L100"},      {eraslip::kOut, 0.7f, "-4dB"},
        {eraslip::kOut, 1.0f, "20dB"},      {eraslip::kRate, 1.0f, "44100Hz"},
        {eraslip::kBits, 0.99f, "15bits"},  {eraslip::kBits, 1.0f, "16bits"},
        {eraslip::kHighCut, 0.05f, "50Hz"}, {eraslip::kCrosstalk, 0.5f, "50%"},
        {eraslip::kDa, 1.0f, "100%"},       {eraslip::kBypass, 1.0f, ""},
    };
    for (const auto& c : cases) {
        lofiParameterText(c.index, c.value, text);
        EXPECT_STREQ(text, c.expected) << c.index << " " << c.value;
    }
}

}  // namespace
}  // namespace qx
