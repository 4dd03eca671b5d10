// RoomReverb: line lengths, decay time measured from the impulse response, level and
// balance behaviour, and the differences of the trigwave variant.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/one_pole_filter.h"
#include "dsp/room_reverb.h"

namespace qx {
namespace {

// Reverberation time from Schroeder's backward-integrated energy decay curve of the
// impulse response: a least-squares line through its -5 .. -35 dB part, taken to -60 dB.
double measuredT60(RoomReverb& r, int frames) {
    std::vector<double> energy(frames);
    for (int t = 0; t < frames; ++t) {
        const float x = t == 0 ? 1.0f : 0.0f;
        r.processSample(x, x);
        energy[t] =
            double(r.outputLeft()) * r.outputLeft() + double(r.outputRight()) * r.outputRight();
    }
    for (int t = frames - 1; t > 0; --t) energy[t - 1] += energy[t];
    double sx = 0, sy = 0, sxx = 0, sxy = 0, count = 0;
    for (int t = 0; t < frames; ++t) {
        const double db = 10.0 * std::log10(energy[t] / energy[0]);
        if (db > -5.0 || db < -35.0) continue;
        const double seconds = double(t) / r.sampleRate();
        sx += seconds, sy += db, sxx += seconds * seconds, sxy += seconds * db, count += 1;
    }
    return -60.0 * (count * sxx - sx * sx) / (count * sxy - sx * sy);
}

TEST(RoomReverb, LineLengthsFollowSizeAndTheClampedSampleRate) {
    RoomReverb r;
    const int expected[] = {6615, 5026, 3819, 2901};
    for (int i = 0; i < RoomReverb::kLines; ++i) EXPECT_EQ(r.comb(i).length(), expected[i]);
    EXPECT_EQ(r.earlyLine(0).length(), 441);  // 10 ms
    EXPECT_EQ(r.earlyLine(1).length(), 661);  // 15 ms
    EXPECT_FLOAT_EQ(r.feedbackAllpass(0).gain(), 0.9f * 0.7f);
    EXPECT_FLOAT_EQ(r.inputDiffuser(3).gain(), 0.5f);
    // Shorter lines get a higher damping corner, so a smaller coefficient.
    for (int i = 1; i < RoomReverb::kLines; ++i)
        EXPECT_LT(r.comb(i).dampingCoefficient(), r.comb(i - 1).dampingCoefficient());

    // Out-of-range rates act as the limits; at 192 kHz and size 1 every line fills
    // its buffer exactly.
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
}

TEST(RoomReverb, ImpulseResponseDecaysAtTheGivenReverberationTime) {
    // Damping moved out of the way, so the broadband decay is the designed one. Each loop
    // also holds its feedback allpass, whose mean group delay (L + 1 samples, 4% of the
    // comb at size 0.75) slows the decay by about that much; 10% covers that and the fit
    // over a finite tail of a few hundred modes.
    for (float t60 : {0.5f, 1.5f}) {
        RoomReverb r;
        r.setDampingFrequency(40000.0f);
        r.setDecayTime(t60);
        EXPECT_NEAR(measuredT60(r, static_cast<int>(44100 * t60 * 1.5f)) / t60, 1.0, 0.10) << t60;
    }
    RoomReverb damped;  // damping only shortens the broadband decay
    damped.setDampingFrequency(500.0f);
    damped.setDecayTime(1.5f);
    EXPECT_LT(measuredT60(damped, 44100 * 2), 1.5 * 0.9);
}

TEST(RoomReverb, SilenceDryMixAndBalance) {
    for (auto variant : {RoomReverb::Variant::Renderer, RoomReverb::Variant::Trigwave}) {
        RoomReverb r(variant);
        r.setModulation(true);
        r.setLowNarrowing(true);
        for (int t = 0; t < 20000; ++t) {
            r.processSample(0.0f, 0.0f);
            ASSERT_EQ(r.outputLeft(), 0.0f);
            ASSERT_EQ(r.outputRight(), 0.0f);
        }
    }

    RoomReverb dry;  // every level at its floor: the output is close to the dry input
    dry.setDryMix(true);
    dry.setInputGain(0.0f);
    dry.setSendLevel(0.0f);
    dry.setEarlyLevel(0.0f);
    RoomReverb left;
    left.setBalance(-2.0f);  // clamps to 0: the right output is silent
    double energyLeft = 0.0;
    for (int t = 0; t < 8000; ++t) {
        const float l = std::sin(0.01f * t), rr = std::cos(0.013f * t);
        dry.processSample(l, rr);
        ASSERT_NEAR(dry.outputLeft(), l, 1e-5f);
        ASSERT_NEAR(dry.outputRight(), rr, 1e-5f);
        left.processSample(l, rr);
        ASSERT_EQ(left.outputRight(), 0.0f);
        energyLeft += double(left.outputLeft()) * left.outputLeft();
    }
    EXPECT_GT(energyLeft, 1.0);
}

TEST(RoomReverb, FirstEarlyReflectionArrivesAfterDiffusersAndTap) {
    RoomReverb r;
    r.setSendLevel(0.0f);
    r.setInputDiffusion(0.0f);  // the diffusers become plain delays of L + 1
    r.setEarlyTime(0.02f);
    int first = -1;
    for (int t = 0; t < 3000 && first < 0; ++t) {
        r.processSample(t == 0 ? 1.0f : 0.0f, 0.0f);
        if (std::fabs(r.outputLeft()) > 1e-4f) first = t;
    }
    int diffusers = 0;
    for (int i = 0; i < RoomReverb::kLines; ++i) diffusers += r.inputDiffuser(i).length() + 1;
    EXPECT_EQ(first, diffusers + 882);  // then the early line, written before it is read
}

TEST(RoomReverb, TrigwaveVariantDifferences) {
    RoomReverb renderer;
    RoomReverb trig(RoomReverb::Variant::Trigwave);
    for (int i = 0; i < RoomReverb::kLines; ++i) {
        EXPECT_EQ(trig.comb(i).length(), renderer.comb(i).length());
        EXPECT_FLOAT_EQ(trig.inputDiffuser(i).gain(), 0.4f);
    }
    EXPECT_EQ(renderer.feedbackAllpass(0).length(), 264);  // 6 ms at 44.1 kHz
    EXPECT_EQ(trig.feedbackAllpass(0).length(), 1323);     // 30 ms
    EXPECT_EQ(trig.inputDiffuser(0).length(), 441);        // 10 ms
    trig.setInputDiffusion(0.8f);
    EXPECT_FLOAT_EQ(trig.inputDiffuser(0).gain(), 0.4f);

    // Narrowing at 400 Hz: the narrowed output differs from the plain one by -+0.45
    // times the 400 Hz lowpass of the plain side signal.
    RoomReverb plain(RoomReverb::Variant::Trigwave), narrow(RoomReverb::Variant::Trigwave);
    narrow.setLowNarrowing(true);
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

    // Modulation rate and depth are fixed; the modulated output stays finite.
    RoomReverb a(RoomReverb::Variant::Trigwave), b(RoomReverb::Variant::Trigwave);
    a.setModulation(true);
    b.setModulation(true);
    b.setModulationRate(7.0f);
    b.setModulationDepth(0.1f);
    for (int t = 0; t < 20000; ++t) {
        const float x = (t % 200 < 100) ? 0.9f : -0.9f;
        a.processSample(x, x);
        b.processSample(x, x);
        ASSERT_EQ(a.outputLeft(), b.outputLeft());
        ASSERT_TRUE(std::isfinite(a.outputLeft()));
    }
}

}  // namespace
}  // namespace qx
