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
    const std::complex<double> num = double(f.b0()) + double(f.b1()) * z1 + double(f.b2()) * z2;
    const std::complex<double> den = double(f.a0()) + double(f.a1()) * z1 + double(f.a2()) * z2;
    return 20.0 * std::log10(std::abs(num / den));
}

TEST(BiquadFilter, NewFilterPassesInputUnchanged) {
    BiquadFilter full;
    BiquadFilterLite lite;
    for (float x : {0.25f, -1.0f, 3.5f}) {
        EXPECT_EQ(full.processSample(x), x);
        EXPECT_EQ(lite.processSample(x), x);
    }
    EXPECT_EQ(full.output(), 3.5f);
}

TEST(BiquadFilter, ButterworthLowAndHighpassAreMinus3DbAtCorner) {
    const float fs = 48000.0f;
    for (float f : {100.0f, 1000.0f, 5000.0f, 15000.0f}) {
        SCOPED_TRACE(f);
        BiquadFilter lp, hp;
        lp.design(fs, kBiquadLowpass, f, 1.0f, 0.0f, 0.0f, true);
        hp.design(fs, kBiquadHighpass, f, 1.0f, 0.0f, 0.0f, true);
        EXPECT_EQ(lp.a0(), 1.0f);
        EXPECT_NEAR(magnitudeDb(lp, f, fs), -3.0103, 0.01);
        EXPECT_NEAR(magnitudeDb(hp, f, fs), -3.0103, 0.01);
        EXPECT_NEAR(magnitudeDb(lp, f / 20.0, fs), 0.0, 0.01);
        EXPECT_NEAR(magnitudeDb(hp, fs / 2.0 - 1.0, fs), 0.0, 0.01);
        // Second order: 40 dB per decade in the stop band.
        EXPECT_LT(magnitudeDb(hp, f / 10.0, fs), -38.0);
    }
    // A positive gain raises the resonance: Q = A^2 / sqrt(2), peak near 20 log10(Q).
    BiquadFilter resonant;
    resonant.design(fs, kBiquadLowpass, 1000.0f, 1.0f, 12.0f, 0.0f, true);
    EXPECT_NEAR(magnitudeDb(resonant, 1000.0, fs),
                20.0 * std::log10(std::pow(10.0, 0.6) / std::sqrt(2.0)), 0.05);
}

TEST(BiquadFilter, HalfbandButterworthCoefficients) {
    BiquadFilter f;
    f.design(44100.0f, kBiquadLowpass, 11025.0f, 1.0f, 0.0f, 0.0f, true);
    const double b0 = 1.0 / (2.0 + std::sqrt(2.0));
    EXPECT_NEAR(f.b0(), b0, 1e-6);
    EXPECT_NEAR(f.b1(), 2.0 * b0, 1e-6);
    EXPECT_NEAR(f.b2(), b0, 1e-6);
    EXPECT_NEAR(f.a1(), 0.0, 1e-6);
    EXPECT_NEAR(f.a2(), (2.0 - std::sqrt(2.0)) * b0, 1e-6);
}

TEST(BiquadFilter, BellReachesGainAtCentreAndIsFlatAtZeroDb) {
    BiquadFilter spot;
    spot.design(44100.0f, kBiquadBell, 1000.0f, 1.0f, -8.0f, 0.0f, true);
    EXPECT_NEAR(magnitudeDb(spot, 1000.0, 44100.0), -8.0, 0.005);

    for (float g : {-18.0f, -3.0f, 6.0f, 15.0f}) {
        for (float f : {60.0f, 2500.0f, 12000.0f}) {
            for (float c : {0.5f, 2.0f}) {
                BiquadFilter full;
                BiquadFilterLite lite;
                full.design(48000.0f, kBiquadBell, f, c, g, 0.0f, true);
                lite.design(48000.0f, kBiquadBell, f, c, g);
                EXPECT_NEAR(magnitudeDb(full, f, 48000.0), g, 0.01) << f << " " << c;
                EXPECT_NEAR(magnitudeDb(lite, f, 48000.0), g, 0.01) << f << " " << c;
                // Unity far from a narrow bell (bandwidth f / c Hz).
                if (c > 1.0f) {
                    const double far = f < 1000.0f ? 23000.0 : f / 100.0;
                    EXPECT_NEAR(magnitudeDb(full, far, 48000.0), 0.0, 0.1) << f;
                }
            }
        }
    }
    for (float f : {100.0f, 7000.0f}) {
        BiquadFilter flat;
        flat.design(48000.0f, kBiquadBell, f, 3.0f, 0.0f, 0.0f, true);
        EXPECT_FLOAT_EQ(flat.b0(), flat.a0());
        EXPECT_FLOAT_EQ(flat.b1(), flat.a1());
        EXPECT_FLOAT_EQ(flat.b2(), flat.a2());
    }
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
        EXPECT_NEAR(magnitudeDb(high, 10.0, fs), 0.0, 0.01);
        EXPECT_NEAR(magnitudeDb(liteHigh, fs / 2.0, fs), g, 0.01);
        EXPECT_NEAR(magnitudeDb(low, 5.0, fs), g, 0.01);
        EXPECT_NEAR(magnitudeDb(low, fs / 2.0, fs), 0.0, 0.01);
        // Slope 1 shelves pass half the gain (in dB) at the corner.
        EXPECT_NEAR(magnitudeDb(high, 2000.0, fs), g / 2.0, 0.05);
        EXPECT_NEAR(magnitudeDb(low, 2000.0, fs), g / 2.0, 0.05);
    }
}

TEST(BiquadFilter, UnknownTypesPassThroughAndOutputGainScales) {
    BiquadFilter full;
    full.design(44100.0f, 7, 1000.0f, 1.0f, 12.0f, 6.0f, true);
    EXPECT_FLOAT_EQ(full.b0(), std::pow(10.0f, 0.3f));
    EXPECT_EQ(full.b1(), 0.0f);
    EXPECT_EQ(full.a1(), 0.0f);
    EXPECT_FLOAT_EQ(full.processSample(0.5f), 0.5f * std::pow(10.0f, 0.3f));

    // The output gain scales every response type.
    BiquadFilter bell;
    bell.design(44100.0f, kBiquadBell, 1000.0f, 1.0f, -8.0f, -6.0f, true);
    EXPECT_NEAR(magnitudeDb(bell, 1000.0, 44100.0), -14.0, 0.01);

    // The lite variant has no low shelf: type 4 passes through.
    BiquadFilterLite lite;
    lite.design(44100.0f, kBiquadLowShelf, 1000.0f, 1.0f, 12.0f);
    EXPECT_EQ(lite.b0(), 1.0f);
    EXPECT_EQ(lite.b1(), 0.0f);
    EXPECT_EQ(lite.a2(), 0.0f);
}

TEST(BiquadFilter, RedesignKeepsOrResetsState) {
    BiquadFilter kept, reset;
    BiquadFilterLite lite;
    for (BiquadFilter* f : {&kept, &reset})
        f->design(44100.0f, kBiquadLowpass, 500.0f, 1.0f, 0.0f, 0.0f, true);
    lite.design(44100.0f, kBiquadLowpass, 500.0f, 1.0f, 0.0f);
    for (int i = 0; i < 50; ++i) {
        kept.processSample(1.0f);
        reset.processSample(1.0f);
        lite.processSample(1.0f);
    }
    const float s1 = kept.state1(), s2 = kept.state2();
    ASSERT_NE(s1, 0.0f);
    kept.design(44100.0f, kBiquadLowpass, 800.0f, 1.0f, 0.0f, 0.0f, false);
    EXPECT_EQ(kept.state1(), s1);
    EXPECT_EQ(kept.state2(), s2);
    reset.design(44100.0f, kBiquadLowpass, 800.0f, 1.0f, 0.0f, 0.0f, true);
    EXPECT_EQ(reset.state1(), 0.0f);
    EXPECT_EQ(reset.output(), 0.0f);
    // Kept state continues the step response without a drop to silence.
    EXPECT_GT(kept.processSample(1.0f), 0.5f);
    lite.design(44100.0f, kBiquadLowpass, 800.0f, 1.0f, 0.0f);
    EXPECT_GT(lite.processSample(1.0f), 0.5f);
}

}  // namespace
}  // namespace qx
