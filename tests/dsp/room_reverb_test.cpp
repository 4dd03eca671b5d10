// RoomReverb: line lengths, decay time measured from the impulse response, level and
// balance behaviour, and the differences of the trigwave variant.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/one_pole_filter.h"
#include "dsp/room_reverb.h"

namespace qx {
namespace {

struct Response {
    std::vector<float> left, right;
};

Response impulseResponse(RoomReverb& r, int frames) {
    Response out;
    out.left.resize(frames);
    out.right.resize(frames);
    for (int t = 0; t < frames; ++t) {
        const float x = t == 0 ? 1.0f : 0.0f;
        r.processSample(x, x);
        out.left[t] = r.outputLeft();
        out.right[t] = r.outputRight();
    }
    return out;
}

// Reverberation time from Schroeder's backward-integrated energy decay curve: a
// least-squares line through the -5 .. -35 dB part, extrapolated to -60 dB.
double measuredT60(const Response& h, int sampleRate) {
    const size_t n = h.left.size();
    std::vector<double> edc(n);
    double tail = 0.0;
    for (size_t i = n; i-- > 0;) {
        tail += double(h.left[i]) * h.left[i] + double(h.right[i]) * h.right[i];
        edc[i] = tail;
    }
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int count = 0;
    for (size_t i = 0; i < n; ++i) {
        const double db = 10.0 * std::log10(edc[i] / edc[0]);
        if (db > -5.0 || db < -35.0) continue;
        const double t = double(i) / sampleRate;
        sx += t;
        sy += db;
        sxx += t * t;
        sxy += t * db;
        ++count;
    }
    const double slope = (count * sxy - sx * sy) / (count * sxx - sx * sx);
    return -60.0 / slope;
}

TEST(RoomReverb, CombLengthsFollowSizeAndClampedSampleRate) {
    RoomReverb r;
    EXPECT_EQ(r.sampleRate(), 44100);
    const int expected[] = {6615, 5026, 3819, 2901};
    for (int i = 0; i < RoomReverb::kLines; ++i) EXPECT_EQ(r.comb(i).length(), expected[i]);
    EXPECT_EQ(r.earlyLine(0).length(), 441);
    EXPECT_EQ(r.earlyLine(1).length(), 661);
    EXPECT_EQ(r.feedbackAllpass(0).length(), 264);
    EXPECT_FLOAT_EQ(r.feedbackAllpass(0).gain(), 0.9f * 0.7f);
    EXPECT_FLOAT_EQ(r.inputDiffuser(3).gain(), 0.5f);

    // Out-of-range rates act as the limits; at 192 kHz and size 1 every line uses its
    // whole buffer.
    RoomReverb low, floorRate, top;
    low.setSampleRate(1000);
    floorRate.setSampleRate(5000);
    top.setSampleRate(400000);
    top.setSize(1.0f);
    top.setEarlyTime(1.0f);
    EXPECT_EQ(low.sampleRate(), 5000);
    EXPECT_EQ(top.sampleRate(), 192000);
    for (int i = 0; i < RoomReverb::kLines; ++i) {
        EXPECT_EQ(low.comb(i).length(), floorRate.comb(i).length());
        EXPECT_EQ(top.comb(i).length(), top.comb(i).maxLength());
        EXPECT_EQ(top.feedbackAllpass(i).length(), top.feedbackAllpass(i).maxLength());
        EXPECT_EQ(top.inputDiffuser(i).length(), top.inputDiffuser(i).maxLength());
    }
    EXPECT_EQ(top.earlyLine(0).length(), top.earlyLine(0).maxLength());
    EXPECT_EQ(top.earlyLine(1).length(), top.earlyLine(1).maxLength());

    // Shorter lines get a higher damping corner, so a smaller coefficient.
    for (int i = 1; i < RoomReverb::kLines; ++i)
        EXPECT_LT(r.comb(i).dampingCoefficient(), r.comb(i - 1).dampingCoefficient());
}

TEST(RoomReverb, ImpulseResponseDecaysAtTheGivenReverberationTime) {
    // The damping is moved out of the way so the broadband decay is the designed one.
    // The loop of each line also holds its feedback allpass, whose mean group delay
    // (L + 1 samples, 4% of the comb at size 0.75) slows the decay by that much;
    // 10% leaves room for that and for the fit over a finite, modal tail.
    for (float t60 : {0.5f, 1.5f}) {
        RoomReverb r;
        r.setDampingFrequency(40000.0f);
        r.setDecayTime(t60);
        const Response h = impulseResponse(r, static_cast<int>(44100 * t60 * 1.5f));
        const double measured = measuredT60(h, 44100);
        EXPECT_NEAR(measured / t60, 1.0, 0.10) << "T60 " << t60 << " measured " << measured;
    }
    // Damping shortens the broadband decay.
    RoomReverb damped;
    damped.setDampingFrequency(500.0f);
    damped.setDecayTime(1.5f);
    EXPECT_LT(measuredT60(impulseResponse(damped, 44100 * 2), 44100), 1.5 * 0.9);
}

TEST(RoomReverb, SilenceInSilenceOutAndClearEmptiesTheLines) {
    for (RoomReverb::Variant v : {RoomReverb::Variant::Renderer, RoomReverb::Variant::Trigwave}) {
        RoomReverb r(v);
        r.setModulation(true);
        r.setLowNarrowing(true);
        for (int t = 0; t < 20000; ++t) {
            r.processSample(0.0f, 0.0f);
            ASSERT_EQ(r.outputLeft(), 0.0f);
            ASSERT_EQ(r.outputRight(), 0.0f);
        }
        // Modulated reads stay finite and bounded for a loud input.
        double peak = 0.0;
        for (int t = 0; t < 44100; ++t) {
            const float x = (t % 200 < 100) ? 0.9f : -0.9f;
            r.processSample(x, x);
            ASSERT_TRUE(std::isfinite(r.outputLeft()));
            peak = std::max(peak, double(std::fabs(r.outputLeft())));
        }
        EXPECT_LT(peak, 50.0);
        EXPECT_GT(peak, 0.0);
    }
}

TEST(RoomReverb, DryMixAtFloorLevelsAndBalance) {
    RoomReverb dry;
    dry.setDryMix(true);
    dry.setInputGain(0.0f);
    dry.setSendLevel(0.0f);
    dry.setEarlyLevel(0.0f);
    for (int t = 0; t < 5000; ++t) {
        const float l = std::sin(0.01f * t), rr = std::cos(0.013f * t);
        dry.processSample(l, rr);
        ASSERT_NEAR(dry.outputLeft(), l, 1e-5f);
        ASSERT_NEAR(dry.outputRight(), rr, 1e-5f);
    }

    RoomReverb left;
    left.setBalance(0.0f);
    RoomReverb right;
    right.setBalance(-2.0f);  // clamps to 0 as well
    double energyL = 0.0;
    for (int t = 0; t < 8000; ++t) {
        const float x = t == 0 ? 1.0f : 0.0f;
        left.processSample(x, x);
        right.processSample(x, x);
        ASSERT_EQ(left.outputRight(), 0.0f);
        ASSERT_EQ(right.outputRight(), 0.0f);
        energyL += double(left.outputLeft()) * left.outputLeft();
    }
    EXPECT_GT(energyL, 0.0);
}

TEST(RoomReverb, EarlyReflectionsArriveAfterTheirTaps) {
    // With the network fed at its floor, the first output is the first early tap.
    RoomReverb r;
    r.setSendLevel(0.0f);
    r.setInputDiffusion(0.0f);
    r.setEarlyTime(0.02f);
    const Response h = impulseResponse(r, 3000);
    int first = -1;
    for (int t = 0; t < 3000 && first < 0; ++t)
        if (std::fabs(h.left[t]) > 1e-4f) first = t;
    // Input diffusers (L + 1 each, 264 + 202 + 153 + 117 samples) then the early line's
    // write-then-read delay of floor(44100 * 0.02) samples.
    const int diffusers = (264 + 1) + (201 + 1) + (152 + 1) + (116 + 1);
    EXPECT_EQ(first, diffusers + 882);
}

TEST(RoomReverb, TrigwaveVariantDifferences) {
    RoomReverb renderer;
    RoomReverb trig(RoomReverb::Variant::Trigwave);
    for (int i = 0; i < RoomReverb::kLines; ++i) {
        EXPECT_EQ(trig.comb(i).length(), renderer.comb(i).length());
        EXPECT_GT(trig.feedbackAllpass(i).length(), 4 * renderer.feedbackAllpass(i).length());
        EXPECT_FLOAT_EQ(trig.inputDiffuser(i).gain(), 0.4f);
    }
    EXPECT_EQ(trig.feedbackAllpass(0).length(), 1323);  // 0.03 s at 44.1 kHz
    EXPECT_EQ(trig.inputDiffuser(0).length(), 441);     // 0.01 s
    trig.setInputDiffusion(0.8f);
    EXPECT_FLOAT_EQ(trig.inputDiffuser(0).gain(), 0.4f);

    // The narrowing filter of trigwave corners at 400 Hz: the narrowed output differs from
    // the plain one by -+0.45 times the 400 Hz lowpass of the plain side signal.
    RoomReverb plain(RoomReverb::Variant::Trigwave), narrow(RoomReverb::Variant::Trigwave);
    narrow.setLowNarrowing(true);
    plain.setWidth(0.8f);
    narrow.setWidth(0.8f);
    OnePoleFilter side;
    side.setCutoff(400.0f, 44100);
    for (int t = 0; t < 6000; ++t) {
        const float x = (t % 37 == 0) ? 1.0f : 0.0f;
        plain.processSample(x, 0.5f * x);
        narrow.processSample(x, 0.5f * x);
        side.process(plain.outputLeft() - plain.outputRight());
        ASSERT_NEAR(narrow.outputLeft(), plain.outputLeft() - 0.45f * side.output(), 1e-5f);
        ASSERT_NEAR(narrow.outputRight(), plain.outputRight() + 0.45f * side.output(), 1e-5f);
    }

    // Modulation rate and depth are fixed in the trigwave variant.
    RoomReverb a(RoomReverb::Variant::Trigwave), b(RoomReverb::Variant::Trigwave);
    a.setModulation(true);
    b.setModulation(true);
    b.setModulationRate(7.0f);
    b.setModulationDepth(0.1f);
    for (int t = 0; t < 20000; ++t) {
        const float x = (t % 101 == 0) ? 1.0f : 0.0f;
        a.processSample(x, x);
        b.processSample(x, x);
        ASSERT_EQ(a.outputLeft(), b.outputLeft());
    }
}

}  // namespace
}  // namespace qx
