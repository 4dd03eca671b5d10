// Biquad design checked through the magnitude response of its own coefficients.
#include <cmath>
#include <complex>

#include <gtest/gtest.h>

#include "dsp/biquad_filter.h"

namespace qx {
namespace {

constexpr double kPi = 3.14159265358979323846;

template <typename Filter>
double magnitudeDb(const Filter& f, double frequencyHz, double sampleRate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * frequencyHz / sampleRate);
    const std::complex<double> z2 = z1 * z1;
    const auto num = double(f.b0()) + double(f.b1()) * z1 + double(f.b2()) * z2;
    const auto den = double(f.a0()) + double(f.a1()) * z1 + double(f.a2()) * z2;
    return 20.0 * std::log10(std::abs(num / den));
}

TEST(BiquadFilter, ButterworthLowAndHighpass) {
    const double fs = 48000.0;
    for (float f : {100.0f, 1000.0f, 15000.0f}) {
        BiquadFilter lp, hp;
        lp.design(48000.0f, kBiquadLowpass, f, 1.0f, 0.0f, 0.0f, true);
        hp.design(48000.0f, kBiquadHighpass, f, 1.0f, 0.0f, 0.0f, true);
        EXPECT_NEAR(magnitudeDb(lp, f, fs), -3.0103, 0.01) << f;
        EXPECT_NEAR(magnitudeDb(hp, f, fs), -3.0103, 0.01) << f;
        EXPECT_NEAR(magnitudeDb(lp, f / 20.0, fs), 0.0, 0.01) << f;
        EXPECT_LT(magnitudeDb(hp, f / 10.0, fs), -38.0) << f;  // 12 dB per octave
    }
    // Halfband lowpass: b0 = b2 = 1 / (2 + sqrt 2), a1 = 0.
    BiquadFilter half;
    half.design(44100.0f, kBiquadLowpass, 11025.0f, 1.0f, 0.0f, 0.0f, true);
    const double b0 = 1.0 / (2.0 + std::sqrt(2.0));
    EXPECT_NEAR(half.b0(), b0, 1e-6);
    EXPECT_NEAR(half.b1(), 2.0 * b0, 1e-6);
    EXPECT_NEAR(half.b2(), b0, 1e-6);
    EXPECT_NEAR(half.a1(), 0.0, 1e-6);
    EXPECT_NEAR(half.a2(), (2.0 - std::sqrt(2.0)) * b0, 1e-6);
    // A positive gain raises the resonance to Q = A^2 / sqrt 2, the gain at the corner.
    BiquadFilter resonant;
    resonant.design(48000.0f, kBiquadLowpass, 1000.0f, 1.0f, 12.0f, 0.0f, true);
    EXPECT_NEAR(magnitudeDb(resonant, 1000.0, fs), 12.0 - 20.0 * std::log10(std::sqrt(2.0)), 0.05);
}

TEST(BiquadFilter, BellReachesItsGainAtTheCentreAndIsFlatAtZeroDb) {
    BiquadFilter spot;
    spot.design(44100.0f, kBiquadBell, 1000.0f, 1.0f, -8.0f, 0.0f, true);
    EXPECT_NEAR(magnitudeDb(spot, 1000.0, 44100.0), -8.0, 0.005);
    for (float g : {-18.0f, 6.0f, 15.0f}) {
        for (float f : {60.0f, 2500.0f, 12000.0f}) {
            BiquadFilter full;
            BiquadFilterLite lite;
            full.design(48000.0f, kBiquadBell, f, 2.0f, g, 0.0f, true);
            lite.design(48000.0f, kBiquadBell, f, 0.5f, g);
            EXPECT_NEAR(magnitudeDb(full, f, 48000.0), g, 0.01) << f;
            EXPECT_NEAR(magnitudeDb(lite, f, 48000.0), g, 0.01) << f;
            // Unity far from the band (f / c = f / 2 Hz wide).
            EXPECT_NEAR(magnitudeDb(full, f < 1000.0f ? 23000.0 : f / 100.0, 48000.0), 0.0, 0.1);
        }
    }
    BiquadFilter flat;
    flat.design(48000.0f, kBiquadBell, 7000.0f, 3.0f, 0.0f, 0.0f, true);
    EXPECT_FLOAT_EQ(flat.b0(), flat.a0());
    EXPECT_FLOAT_EQ(flat.b1(), flat.a1());
    EXPECT_FLOAT_EQ(flat.b2(), flat.a2());
}

TEST(BiquadFilter, ShelvesReachFullGainFarFromCorner) {
    const double fs = 48000.0;
    for (float g : {-12.0f, 9.0f}) {
        BiquadFilter high, low;
        BiquadFilterLite liteHigh;
        high.design(48000.0f, kBiquadHighShelf, 2000.0f, 1.0f, g, 0.0f, true);
        low.design(48000.0f, kBiquadLowShelf, 2000.0f, 1.0f, g, 0.0f, true);
        liteHigh.design(48000.0f, kBiquadHighShelf, 2000.0f, 1.0f, g);
        EXPECT_NEAR(magnitudeDb(high, fs / 2.0, fs), g, 0.01);
        EXPECT_NEAR(magnitudeDb(liteHigh, fs / 2.0, fs), g, 0.01);
        EXPECT_NEAR(magnitudeDb(high, 10.0, fs), 0.0, 0.01);
        EXPECT_NEAR(magnitudeDb(low, 5.0, fs), g, 0.01);
        EXPECT_NEAR(magnitudeDb(low, fs / 2.0, fs), 0.0, 0.01);
        EXPECT_NEAR(magnitudeDb(high, 2000.0, fs), g / 2.0, 0.05);  // half way at the corner
    }
}

TEST(BiquadFilter, PassThroughTypesAndOutputGain) {
    BiquadFilter fresh;
    BiquadFilterLite freshLite;
    EXPECT_EQ(fresh.processSample(0.3f), 0.3f);
    EXPECT_EQ(freshLite.processSample(-2.5f), -2.5f);

    BiquadFilter full;
    full.design(44100.0f, 7, 1000.0f, 1.0f, 12.0f, 6.0f, true);
    EXPECT_FLOAT_EQ(full.processSample(0.5f), 0.5f * std::pow(10.0f, 0.3f));
    EXPECT_EQ(full.b1(), 0.0f);
    EXPECT_EQ(full.a1(), 0.0f);

    BiquadFilter bell;
    bell.design(44100.0f, kBiquadBell, 1000.0f, 1.0f, -8.0f, -6.0f, true);
    EXPECT_NEAR(magnitudeDb(bell, 1000.0, 44100.0), -14.0, 0.01);

    BiquadFilterLite lite;  // no low shelf in the lite variant
    lite.design(44100.0f, kBiquadLowShelf, 1000.0f, 1.0f, 12.0f);
    EXPECT_EQ(lite.processSample(0.7f), 0.7f);
}

TEST(BiquadFilter, RedesignKeepsOrResetsState) {
    BiquadFilter kept, reset;
    BiquadFilterLite lite;
    kept.design(44100.0f, kBiquadLowpass, 500.0f, 1.0f, 0.0f, 0.0f, true);
    reset.design(44100.0f, kBiquadLowpass, 500.0f, 1.0f, 0.0f, 0.0f, true);
    lite.design(44100.0f, kBiquadLowpass, 500.0f, 1.0f, 0.0f);
    for (int i = 0; i < 50; ++i) {
        kept.processSample(1.0f);
        reset.processSample(1.0f);
        lite.processSample(1.0f);
    }
    const float s1 = kept.state1(), s2 = kept.state2();
    kept.design(44100.0f, kBiquadLowpass, 800.0f, 1.0f, 0.0f, 0.0f, false);
    EXPECT_EQ(kept.state1(), s1);
    EXPECT_EQ(kept.state2(), s2);
    EXPECT_GT(kept.processSample(1.0f), 0.5f);  // the step response carries on
    lite.design(44100.0f, kBiquadLowpass, 800.0f, 1.0f, 0.0f);
    EXPECT_GT(lite.processSample(1.0f), 0.5f);
    reset.design(44100.0f, kBiquadLowpass, 800.0f, 1.0f, 0.0f, 0.0f, true);
    EXPECT_EQ(reset.output(), 0.0f);
    EXPECT_LT(reset.processSample(1.0f), 0.1f);  // starts again from silence
}

}  // namespace
}  // namespace qx
