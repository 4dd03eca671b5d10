// SpreaderEngine on its own: what a listener hears at each stage position in both layouts,
// the crosstalk path, the side level and synthetic side, the rate floor, the goniometer
// buffer, and the block routine the effect calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "effects/spreadix/spreader_engine.h"
#include "effects/spreadix/spreadix_tables.h"

namespace qx {
namespace {

using E = SpreaderEngine;
constexpr double kPi = 3.14159265358979323846;

struct Stereo {
    std::vector<float> left, right;
};

Stereo run(E& e, const std::vector<float>& left, const std::vector<float>& right) {
    Stereo out;
    for (size_t n = 0; n < left.size(); ++n) {
        e.processFrame(left[n], right[n]);
        out.left.push_back(e.outL());
        out.right.push_back(e.outR());
    }
    return out;
}

std::vector<float> noise(int frames, unsigned seed, float amplitude) {
    std::srand(seed);
    std::vector<float> x(frames);
    for (float& v : x) v = amplitude * (2.0f * static_cast<float>(std::rand()) / RAND_MAX - 1.0f);
    return x;
}

std::vector<float> sine(int frames, double hz, double fs = 44100.0) {
    std::vector<float> x(frames);
    for (int n = 0; n < frames; ++n)
        x[n] = static_cast<float>(0.5 * std::sin(2 * kPi * hz / fs * n));
    return x;
}

// Steady-state output of a constant input on one side (DC through every path).
Stereo dc(E& e, float left, float right, int frames = 44100) {
    const Stereo out = run(e, std::vector<float>(frames, left), std::vector<float>(frames, right));
    return {{out.left.back()}, {out.right.back()}};
}

double rms(const std::vector<float>& x, size_t from) {
    double sum = 0.0;
    for (size_t n = from; n < x.size(); ++n) sum += static_cast<double>(x[n]) * x[n];
    return std::sqrt(sum / static_cast<double>(x.size() - from));
}

TEST(SpreaderEngine, LoudspeakerPositionsPassTheInputExceptForLevelAndWidth) {
    const std::vector<float> l = noise(6000, 1, 0.5f), r = noise(6000, 2, 0.5f);
    const float level = std::pow(10.0f, -4.0f / 20.0f);
    // ITU loudspeakers, and the dipole's middle region edges.
    for (bool dipole : {false, true}) {
        E e;
        e.setDipole(dipole);
        e.setPanLeft(dipole ? 0.4f : 0.25f);
        e.setPanRight(dipole ? 0.6f : 0.75f);
        e.setLevelDb(-4.0f);
        const Stereo out = run(e, l, r);
        for (size_t n = 0; n < l.size(); ++n) {
            ASSERT_NEAR(out.left[n], l[n] * level, 1e-6f) << dipole << n;
            ASSERT_NEAR(out.right[n], r[n] * level, 1e-6f) << dipole << n;
        }
    }
    // Side level 0 is mono, 2 doubles the side.
    for (float sideLevel : {0.0f, 2.0f}) {
        E e;
        e.setSideLevel(sideLevel);
        const Stereo out = run(e, l, r);
        for (size_t n = 0; n < l.size(); ++n) {
            const float mid = (l[n] + r[n]) * 0.5f, side = (l[n] - r[n]) * 0.5f * sideLevel;
            ASSERT_NEAR(out.left[n], mid + side, 1e-6f) << n;
            ASSERT_NEAR(out.right[n], mid - side, 1e-6f) << n;
        }
    }
}

TEST(SpreaderEngine, LeftSourceOutsideTheStageGetsDelayedLowPassedCrosstalk) {
    E e;
    e.setPanLeft(0.0f);  // F = 1
    // An impulse on the left: the right loudspeaker stays silent for 11 samples, then
    // carries the inverted copy.
    std::vector<float> impulse(64, 0.0f), silence(64, 0.0f);
    impulse[0] = 1.0f;
    const Stereo out = run(e, impulse, silence);
    for (int n = 0; n < 11; ++n) EXPECT_EQ(out.right[n], 0.0f) << n;
    EXPECT_LT(out.right[11], -0.1f);
    EXPECT_GT(out.left[0], 1.0f);  // the source plus its bass image

    // Constant input: the bass image adds 2 g F, the far side carries -0.8 F of it.
    E steady;
    steady.setPanLeft(0.0f);
    const Stereo d = dc(steady, 1.0f, 0.0f);
    EXPECT_NEAR(d.left[0], 3.0f, 1e-3f);
    EXPECT_NEAR(d.right[0], -2.4f, 1e-3f);

    // Tones: the crosstalk follows the near side through a 1600 Hz one-pole lowpass.
    const double c = std::exp(-2.0 * kPi * 1600.0 / 44100.0);
    for (double hz : {400.0, 1600.0, 6000.0}) {
        E t;
        t.setPanLeft(0.0f);
        const Stereo o = run(t, sine(44100, hz), std::vector<float>(44100, 0.0f));
        const std::complex<double> z = std::polar(1.0, -2.0 * kPi * hz / 44100.0);
        const double lowpass = std::abs((1.0 - c) / (1.0 - c * z));
        EXPECT_NEAR(rms(o.right, 22050) / rms(o.left, 22050), 0.8 * lowpass, 0.01) << hz;
    }
}

TEST(SpreaderEngine, EdgeFactorsAtTheEndsOfTheStage) {
    // ITU: panLeft 0 gives F = 1; panRight 1 gives G = 1.25 (the right edge factor is 5).
    // DC on the right: near side 1 + 2 G, far side -0.8 G of that.
    E itu;
    itu.setPanRight(1.0f);
    const Stereo right = dc(itu, 0.0f, 1.0f);
    EXPECT_NEAR(right.right[0], 3.5f, 1e-3f);
    EXPECT_NEAR(right.left[0], -3.5f, 1e-3f);
    // Right source to the left of the stage: it sits on the left loudspeaker.
    itu.setPanRight(0.0f);
    const Stereo crossed = dc(itu, 0.0f, 1.0f);
    EXPECT_NEAR(crossed.left[0], 3.0f, 1e-3f);
    EXPECT_NEAR(crossed.right[0], -2.4f, 1e-3f);

    // Dipole: both ends give 1 (edge factor 2.5 beyond 0.4 and 0.6).
    E dipole;
    dipole.setDipole(true);
    dipole.setPanLeft(0.0f);
    dipole.setPanRight(1.0f);
    const Stereo both = dc(dipole, 1.0f, 1.0f);
    EXPECT_NEAR(both.left[0], 3.0f - 2.4f, 1e-3f);
    EXPECT_NEAR(both.right[0], 3.0f - 2.4f, 1e-3f);
    const Stereo leftOnly = dc(dipole, 1.0f, 0.0f);
    EXPECT_NEAR(leftOnly.left[0], 3.0f, 1e-3f);
    EXPECT_NEAR(leftOnly.right[0], -2.4f, 1e-3f);
}

TEST(SpreaderEngine, MiddleRegionOfEachLayout) {
    struct Case {
        bool dipole;
        float pan;
        float left, right;  // steady outputs for DC 1 on the left input
    } cases[] = {
        {false, 0.25f, 1.0f, 0.0f},
        {false, 0.5f, 0.5f, 0.5f},
        {false, 0.75f, 0.0f, 1.0f},
        {true, 0.4f, 1.0f, 0.0f},
        {true, 0.5f, 0.5f, 0.5f},
        {true, 0.6f, 0.0f, 1.0f},
        // Already outside the dipole's middle region: F = 0.375.
        {true, 0.25f, 1.75f, -0.8f * 0.375f * 1.75f},
    };
    for (const Case& c : cases) {
        E e;
        e.setDipole(c.dipole);
        e.setPanLeft(c.pan);
        const Stereo d = dc(e, 1.0f, 0.0f);
        EXPECT_NEAR(d.left[0], c.left, 1e-4f) << c.dipole << c.pan;
        EXPECT_NEAR(d.right[0], c.right, 1e-4f) << c.dipole << c.pan;
    }
    // The dipole's cancelling copy arrives after 2 samples at 44.1 kHz.
    E e;
    e.setDipole(true);
    e.setPanLeft(0.0f);
    std::vector<float> impulse(8, 0.0f);
    impulse[0] = 1.0f;
    const Stereo out = run(e, impulse, std::vector<float>(8, 0.0f));
    EXPECT_EQ(out.right[1], 0.0f);
    EXPECT_LT(out.right[2], -0.1f);
}

TEST(SpreaderEngine, SyntheticSide) {
    const std::vector<float> l = noise(3000, 3, 0.5f), r = noise(3000, 4, 0.5f);
    E plain;
    const Stereo dry = run(plain, l, r);

    // Mix 0 adds nothing, whatever the character.
    E off;
    off.setCharacter(0.2f);
    off.setSynthMix(0.0f);
    const Stereo none = run(off, l, r);
    EXPECT_EQ(none.left, dry.left);
    EXPECT_EQ(none.right, dry.right);

    // Mix 0.5: the side returns after character * 35 ms (771 samples at 0.5, 308 at 0.2).
    for (float character : {0.5f, 0.2f}) {
        E e;
        e.setCharacter(character);
        e.setSynthMix(0.5f);
        const Stereo wet = run(e, l, r);
        const int delay = static_cast<int>(character * 44100.0 * 0.035);
        EXPECT_EQ(e.sideDelayLength(), delay);
        for (int n = 0; n < delay; ++n) ASSERT_EQ(wet.left[n], dry.left[n]) << n;
        EXPECT_NE(wet.left[delay], dry.left[delay]);
        EXPECT_GT(rms(wet.left, delay) - rms(dry.left, delay), 0.01);
    }
    // An impulse of side signal: the delayed copy (through the 12 kHz damping) reaches
    // both loudspeakers alike, within a few samples of the delay; its diffused, long
    // tail goes to them in opposite phase, as a side signal.
    std::vector<float> impulse(20000, 0.0f);
    impulse[0] = 1.0f;
    const std::vector<float> zeros(impulse.size(), 0.0f);
    E source, wetSource;
    wetSource.setSynthMix(1.0f);
    const Stereo d = run(source, impulse, zeros), w = run(wetSource, impulse, zeros);
    double sumNear = 0.0, sumTail = 0.0, diffTail = 0.0;
    for (size_t n = 0; n < impulse.size(); ++n) {
        const double sum = (w.left[n] + w.right[n]) - (d.left[n] + d.right[n]);
        const double diff = (w.left[n] - w.right[n]) - (d.left[n] - d.right[n]);
        if (n < 771) {
            ASSERT_EQ(sum, 0.0) << n;
            ASSERT_EQ(diff, 0.0) << n;
        }
        (n < 800 ? sumNear : sumTail) += std::abs(sum);
        if (n >= 800) diffTail += std::abs(diff);
    }
    EXPECT_NEAR(sumNear, 1.0, 1e-3);  // unity gain at the full mix
    EXPECT_LT(sumTail, 1e-4);
    EXPECT_GT(diffTail, 1.0);

    // A mono input has no side to synthesise from.
    E mono;
    mono.setSynthMix(1.0f);
    const Stereo m = run(mono, l, l);
    for (size_t n = 0; n < l.size(); ++n) ASSERT_NEAR(m.left[n], l[n], 1e-6f);
    // The shortest character is 5 % (77 samples at 44.1 kHz).
    mono.setCharacter(0.0f);
    EXPECT_EQ(mono.sideDelayLength(), 77);
}

TEST(SpreaderEngine, SampleRateFloorAndCapacities) {
    const std::vector<float> l = noise(2000, 5, 0.5f), r = noise(2000, 6, 0.5f);
    auto render = [&](float fs) {
        E e;
        e.setSampleRate(fs);
        e.setPanLeft(0.1f);
        e.setPanRight(0.95f);
        e.setSynthMix(0.4f);
        return run(e, l, r);
    };
    const Stereo floor = render(5000.0f);
    for (float fs : {4999.0f, 1000.0f, 0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN()}) {
        const Stereo low = render(fs);
        EXPECT_EQ(low.left, floor.left) << fs;
        EXPECT_EQ(low.right, floor.right) << fs;
    }
    E e;
    e.setSampleRate(1000.0f);
    EXPECT_EQ(e.sampleRateHz(), 5000.0f);
    EXPECT_EQ(e.crosstalkLength(), 1);  // 5000 * 0.26 ms
    // At 192 kHz every length still fits; beyond, the lines hold their capacities.
    e.setSampleRate(192000.0f);
    e.setCharacter(1.0f);
    EXPECT_EQ(e.crosstalkLength(), 49);
    EXPECT_EQ(e.sideDelayLength(), E::kSideDelayCapacity);
    e.setSampleRate(1e9f);
    EXPECT_EQ(e.crosstalkLength(), E::kCrosstalkCapacity);
    const Stereo fast = run(e, l, r);
    for (float x : fast.left) ASSERT_TRUE(std::isfinite(x));
}

TEST(SpreaderEngine, BypassAndGoniometerBuffer) {
    const std::vector<float> l = noise(700, 7, 3.0f), r = noise(700, 8, 0.5f);
    E e;
    e.setPanLeft(0.0f);
    e.setBypassed(true);
    const Stereo out = run(e, l, r);
    EXPECT_EQ(out.left, l);
    EXPECT_EQ(out.right, r);
    // The last 256 outputs, held to -1..1, the oldest at the write position.
    EXPECT_EQ(e.scopeIndex(), 700 % 256);
    for (int k = 0; k < 256; ++k) {
        const int n = 700 - 256 + k;
        const int slot = (e.scopeIndex() + k) % 256;
        EXPECT_EQ(e.scopeLeft()[slot], std::clamp(l[n], -1.0f, 1.0f)) << k;
        EXPECT_EQ(e.scopeRight()[slot], std::clamp(r[n], -1.0f, 1.0f)) << k;
    }
}

// Every factory program through the shared mappings: finite output, and the programs
// that put everything on one side lean that way.
TEST(SpreaderEngine, FactoryProgramsThroughTheMappings) {
    const FactoryProgramTable& f = kSpreadixDescription.factory;
    const std::vector<float> l = noise(8000, 9, 0.5f), r = noise(8000, 10, 0.5f);
    for (int p = 0; p < f.numPrograms; ++p) {
        const float* v = f.row(p);
        E e;
        e.setPanLeft(spreadixPan(v[kSpreadixPanLeft]));
        e.setPanRight(spreadixPan(v[kSpreadixPanRight]));
        e.setLevelDb(spreadixLevelDb(v[kSpreadixLevel]));
        e.setDipole(spreadixSwitch(v[kSpreadixDipole]));
        e.setBypassed(spreadixSwitch(v[kSpreadixBypass]));
        e.setSideLevel(spreadixSideLevel(v[kSpreadixSideLevel]));
        e.setSynthMix(spreadixSynthMix(v[kSpreadixSynthMix]));
        e.setCharacter(spreadixCharacter(v[kSpreadixSynthCharacter]));
        const Stereo out = run(e, l, r);
        for (size_t n = 0; n < l.size(); ++n) {
            ASSERT_TRUE(std::isfinite(out.left[n]) && std::isfinite(out.right[n])) << p;
        }
        const std::string name = f.names[p];
        const double left = rms(out.left, 4000), right = rms(out.right, 4000);
        if (name.rfind("All left", 0) == 0) {
            EXPECT_GT(left, 1.5 * right) << name;
        }
        if (name.rfind("All right", 0) == 0) {
            EXPECT_GT(right, 1.5 * left) << name;
        }
    }
}

TEST(SpreaderEngine, BlockRoutine) {
    const int frames = 9000;
    const std::vector<float> l = noise(frames, 11, 0.7f), r = noise(frames, 12, 0.4f);
    auto configure = [](E& e) {
        e.setPanLeft(0.05f);
        e.setPanRight(0.9f);
        e.setSideLevel(1.5f);
        e.setSynthMix(0.5f);
        e.setLevelDb(-2.0f);
    };
    const float offset = 3.5e-8f;
    // The per-frame design with the block's offset on both inputs.
    E reference;
    configure(reference);
    std::vector<float> refL(frames), refR(frames);
    float refPeak = 0.0f;
    for (int n = 0; n < frames; ++n) {
        reference.processFrame(l[n] + offset, r[n] + offset);
        refL[n] = reference.outL();
        refR[n] = reference.outR();
        refPeak = std::max({refPeak, std::fabs(refL[n]), std::fabs(refR[n])});
    }
    for (int block : {1, 7, 64, 4096}) {
        E e;
        configure(e);
        std::vector<float> outL(frames), outR(frames);
        float peak = 0.0f;
        for (int start = 0; start < frames; start += block) {
            const int n = std::min(block, frames - start);
            peak =
                std::max(peak, e.processBlock(l.data() + start, r.data() + start,
                                              outL.data() + start, outR.data() + start, n, offset));
        }
        EXPECT_EQ(outL, refL) << block;
        EXPECT_EQ(outR, refR) << block;
        EXPECT_EQ(peak, refPeak) << block;
    }

    // Doubles are processed as the floats they round to; accumulating adds to the
    // outputs; in place works.
    std::vector<double> dl(l.begin(), l.end()), dr(r.begin(), r.end());
    for (size_t n = 0; n < dl.size(); n += 2) dl[n] *= 1.0 + 1e-9;
    std::vector<double> outL(frames, 0.25), outR(frames, -0.25);
    E d;
    configure(d);
    d.processBlock(dl.data(), dr.data(), outL.data(), outR.data(), frames, offset, true);
    for (int n = 0; n < frames; ++n) {
        ASSERT_EQ(outL[n], 0.25 + static_cast<double>(refL[n])) << n;
        ASSERT_EQ(outR[n], -0.25 + static_cast<double>(refR[n])) << n;
    }
    E inPlace;
    configure(inPlace);
    std::vector<float> bufL = l, bufR = r;
    inPlace.processBlock(bufL.data(), bufR.data(), bufL.data(), bufR.data(), frames, offset);
    EXPECT_EQ(bufL, refL);
    EXPECT_EQ(bufR, refR);
}

TEST(SpreaderEngine, HostileInputAndEmptyBlocks) {
    E e, untouched;
    e.setPanLeft(0.0f);
    untouched.setPanLeft(0.0f);
    const std::vector<float> x = noise(500, 13, 0.5f);
    float dummy = 7.0f;
    EXPECT_EQ(e.processBlock<float>(nullptr, nullptr, &dummy, &dummy, 0, 1.0f), 0.0f);
    EXPECT_EQ(dummy, 7.0f);
    EXPECT_EQ(run(e, x, x).left, run(untouched, x, x).left);

    // Non-finite input does not poison the recursive paths.
    std::vector<float> burst(200, std::numeric_limits<float>::quiet_NaN());
    for (size_t n = 0; n < burst.size(); n += 2) burst[n] = INFINITY;
    std::vector<float> outL(200), outR(200);
    e.setSynthMix(1.0f);
    e.processBlock(burst.data(), x.data(), outL.data(), outR.data(), 200, 0.0f);
    for (float v : outL) EXPECT_TRUE(std::isfinite(v));
    const Stereo after = run(e, x, noise(500, 14, 0.5f));
    for (size_t n = 0; n < after.left.size(); ++n) {
        ASSERT_TRUE(std::isfinite(after.left[n]) && std::isfinite(after.right[n])) << n;
    }
    // Settings out of range or NaN are held to their limits.
    e.setSideLevel(9.0f);
    EXPECT_EQ(e.sideLevel(), 4.0f);
    e.setSideLevel(NAN);
    EXPECT_EQ(e.sideLevel(), 0.0f);
    e.setPanRight(NAN);
    EXPECT_EQ(e.panRight(), 0.0f);
    e.setLevelDb(NAN);
    EXPECT_GE(e.level(), 0.0f);
    EXPECT_LT(e.level(), 1e-9f);
}

}  // namespace
}  // namespace qx
