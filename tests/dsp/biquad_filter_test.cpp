// Biquad design checked through the magnitude response of its own coefficients.
#include <cmath>
#include <complex>
#include <initializer_list>

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

// Normalised coefficients in long double from the float A, bandwidth tangent, m and K the
// design keeps; cs, sn and everything after them at full precision.
struct Normalised {
    long double b0, b1, b2, a1, a2;
};

Normalised referenceDesign(float fs, int type, float f, float c, float gainDb, float outDb) {
    using LD = long double;
    const LD pi = 3.141592653589793238462643383279502884L;
    const float A = static_cast<float>(std::pow(10.0, gainDb * 0.025));
    const float omega = static_cast<float>(std::tan(kPi * (double(f) / c) / fs));
    const float m = A * omega;
    const LD w0 = 2 * pi * f / fs;
    const float K = static_cast<float>(std::tan(double(w0 / 2)));
    const LD a = A, cs = std::cos(w0), sn = std::sin(w0), k2 = LD(K) * K;
    const LD g = std::pow(10.0L, outDb / 20.0L);
    const LD r = K * std::sqrt(2.0L) / (a * a);
    const LD e = a + 1, fa = (a - 1) * cs, sq = std::sqrt(2 * a) * sn;
    LD b[3], d[3];
    switch (type) {
        case kBiquadLowpass:
        case kBiquadHighpass:
            d[0] = k2 + r + 1, d[1] = 2 * (k2 - 1), d[2] = k2 - r + 1;
            if (type == kBiquadLowpass)
                b[0] = k2, b[1] = 2 * k2, b[2] = k2;
            else
                b[0] = 1, b[1] = -2, b[2] = 1;
            break;
        case kBiquadBell: {
            // [(1 + mA) - 2cs z^-1 + (1 - mA) z^-2] / [(1 + W) - 2cs z^-1 + (1 - W) z^-2],
            // W = m / A: the bandwidth tangent as m carries it.
            const LD w = m / a, v = m * a;
            b[0] = 1 + v, b[1] = -2 * cs, b[2] = 1 - v;
            d[0] = 1 + w, d[1] = -2 * cs, d[2] = 1 - w;
            break;
        }
        case kBiquadHighShelf:
            b[0] = a * (e + fa + sq), b[1] = -2 * a * ((a - 1) + (a + 1) * cs),
            b[2] = a * (e + fa - sq);
            d[0] = e - fa + sq, d[1] = 2 * ((a - 1) - (a + 1) * cs), d[2] = e - fa - sq;
            break;
        default:  // low shelf
            b[0] = a * (e - fa + sq), b[1] = 2 * a * ((a - 1) - (a + 1) * cs),
            b[2] = a * (e - fa - sq);
            d[0] = e + fa + sq, d[1] = -2 * ((a - 1) + (a + 1) * cs), d[2] = e + fa - sq;
            break;
    }
    return {b[0] / d[0] * g, b[1] / d[0] * g, b[2] / d[0] * g, d[1] / d[0], d[2] / d[0]};
}

// Distance in units of the float spacing at the reference value.
double ulps(float got, long double want) {
    const float near = static_cast<float>(want);
    const double spacing = std::nextafter(std::fabs(near), INFINITY) - std::fabs(near);
    return double(std::fabs(got - want)) / spacing;
}

TEST(BiquadFilter, CoefficientsCarryOnlyTheFloatRoundingOfTheDesign) {
    // Terms that cancel (the lowpass a2 where K^2 + 1 meets R, shelf b1 and a1 near DC)
    // lose hundreds of ulps when cs, R or the shelf sums are rounded to float early.
    int checked = 0;
    for (float fs : {44100.0f, 96000.0f}) {
        for (int type = kBiquadLowpass; type <= kBiquadLowShelf; ++type) {
            for (float f = 25.0f; f < 0.45f * fs; f *= 1.37f) {
                for (float gainDb : {-15.0f, -3.0f, 0.0f, 2.5f, 3.01f, 11.0f}) {
                    const float c = type == kBiquadBell ? 0.7f : 1.0f;
                    BiquadFilter full;
                    full.design(fs, type, f, c, gainDb, 6.0f, true);
                    const Normalised want = referenceDesign(fs, type, f, c, gainDb, 6.0f);
                    const float got[] = {full.b0(), full.b1(), full.b2(), full.a1(), full.a2()};
                    const long double ref[] = {want.b0, want.b1, want.b2, want.a1, want.a2};
                    for (int i = 0; i < 5; ++i)
                        ASSERT_LE(ulps(got[i], ref[i]), 3.0)
                            << "type " << type << " fs " << fs << " f " << f << " G " << gainDb
                            << " coefficient " << i;
                    if (type <= kBiquadHighShelf) {
                        BiquadFilterLite lite;
                        lite.design(fs, type, f, c, gainDb);
                        const Normalised plain = referenceDesign(fs, type, f, c, gainDb, 0.0f);
                        ASSERT_LE(ulps(lite.a2(), plain.a2), 3.0) << type << " " << f;
                        ASSERT_LE(ulps(lite.b1(), plain.b1), 3.0) << type << " " << f;
                    }
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 500);
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
