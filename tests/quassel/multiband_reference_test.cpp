// Every kernel of the engine against the plain per-sample compressor of
// multiband_reference.h: each output sample, band level, band gain and meter must be the
// same float, across layouts, rates, dynamics regimes, setting changes and block splits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/quassel/multiband_engine.h"
#include "tests/quassel/multiband_reference.h"

namespace qx {
namespace {

using Kernel = BandDynamics::Kernel;

struct Settings {
    float rate;
    int bands, order;
    float pre, trim, dryWet, makeup, threshold, ratio, attack, release, warmth;
    bool warmthOn;
};

template <class Engine>
void apply(Engine& e, const Settings& s) {
    e.setSampleRate(s.rate);
    e.setBandCount(s.bands);
    e.setFilterOrder(s.order);
    e.setPreGain(s.pre);
    e.setOutputTrim(s.trim);
    e.setDryWet(s.dryWet);
    e.setWarmthEnabled(s.warmthOn);
    for (int i = 0; i < 20; ++i) {
        // Spread the band settings so that neighbouring lanes differ.
        const float f = 1.0f + 0.05f * static_cast<float>(i % 7);
        e.setMakeup(i, s.makeup * f);
        e.setThreshold(i, s.threshold * f);
        e.setRatio(i, std::fmin(s.ratio * f, 10.0f));
        e.setAttack(i, s.attack * f);
        e.setRelease(i, s.release * f);
        e.setWarmth(i, i % 3 == 0 ? 0.0f : s.warmth / f);
    }
}

// Drums-like programme: decaying tone bursts, noise, a sweep, silence and a full-scale
// stretch, different in the two channels.
void programme(int frames, unsigned seed, std::vector<float>& left, std::vector<float>& right) {
    std::srand(seed);
    left.assign(frames, 0.0f);
    right.assign(frames, 0.0f);
    for (int n = 0; n < frames; ++n) {
        const float white = 2.0f * std::rand() / RAND_MAX - 1.0f;
        const float burst = std::exp(-0.002f * static_cast<float>(n % 3000));
        const float sweep = std::sin(0.00002f * static_cast<float>(n) * static_cast<float>(n));
        left[n] = 0.6f * burst * std::sin(0.013f * n) + 0.2f * white + 0.2f * sweep;
        right[n] = 0.5f * burst * std::sin(0.071f * n) - 0.1f * white + 0.3f * sweep;
        const int phase = n % 9000;
        if (phase >= 6000 && phase < 6500) left[n] = right[n] = 0.0f;
        if (phase >= 7000 && phase < 7300) left[n] = right[n] = n % 2 ? 1.0f : -1.0f;
    }
}

class Pair {
  public:
    explicit Pair(Kernel kernel) { EXPECT_TRUE(eng.useKernel(kernel)); }

    template <class F>
    void both(F f) {
        f(ref);
        f(eng);
    }

    void run(const std::vector<float>& left, const std::vector<float>& right, const char* what) {
        static const int kBlocks[] = {512, 1, 37, 256, 3, 1024, 160, 0};
        std::vector<float> outL(left.size()), outR(right.size());
        size_t start = 0;
        for (int b = 0; start < left.size(); ++b) {
            const size_t n = std::min<size_t>(kBlocks[b % 8], left.size() - start);
            const float* in[2] = {left.data() + start, right.data() + start};
            float* out[2] = {outL.data() + start, outR.data() + start};
            eng.processBlock(in, out, static_cast<int>(n));
            start += n;
        }
        for (size_t i = 0; i < left.size(); ++i) {
            ref.processFrame(left[i], right[i]);
            ASSERT_EQ(outL[i], ref.out(0)) << what << " frame " << i;
            ASSERT_EQ(outR[i], ref.out(1)) << what << " frame " << i;
        }
        for (int b = 0; b < eng.bank().bandCount(); ++b) {
            EXPECT_EQ(eng.bandLevels()[b], ref.level(b)) << what << " band " << b;
            EXPECT_EQ(eng.bandGains()[b], ref.gain(b)) << what << " band " << b;
            EXPECT_EQ(eng.bank().bandMag(b, 1), ref.bandMag(b, 1)) << what << " band " << b;
        }
        for (int c = 0; c < 2; ++c) {
            EXPECT_EQ(eng.meterLevel(c), ref.meterLevel(c)) << what;
            EXPECT_EQ(eng.meterHold(c), ref.meterHold(c)) << what;
            EXPECT_EQ(eng.outputFrame(c), ref.out(c)) << what;
        }
    }

    test::ReferenceMultiband ref;
    MultibandEngine eng;
};

TEST(MultibandReference, EveryKernelGivesTheReferenceFloats) {
    // rate, bands, order, pre, trim, dry/wet, makeup, threshold, ratio, attack s,
    // release s, warmth, warmth switch
    const Settings settings[] = {
        // "Default clean": below threshold, no warmth
        {44100, 14, 4, 1.0f, 0.5f, 1.0f, 1.0f, 1.0f, 1.9f, 0.01f, 0.1f, 0.0f, true},
        // heavy compression, warmth, dry mixed in, 48 kHz, all 20 bands
        {48000, 20, 5, 4.0f, 0.125f, 0.5f, 3.0f, 0.05f, 4.0f, 0.0005f, 0.05f, 0.3f, true},
        // one band, three stages, warmth switched off
        {96000, 1, 3, 2.0f, 1.0f, 0.8f, 1.0f, 0.1f, 10.0f, 0.002f, 0.2f, 1.0f, false},
        // eleven bands (a partial last vector at every width), a low rate where the
        // lowest cutoff bound binds, near-zero threshold
        {8000, 11, 5, 1.0f, 1.0f, 1.0f, 2.0f, 1e-9f, 2.0f, 0.0f, 0.0f, 0.5f, true},
    };
    std::vector<float> left, right;
    for (Kernel kernel : {Kernel::Scalar, Kernel::Sse2, Kernel::Avx2}) {
        if (!BandDynamics::kernelSupported(kernel)) continue;
        int which = 0;
        for (const Settings& s : settings) {
            SCOPED_TRACE(testing::Message()
                         << "kernel " << static_cast<int>(kernel) << " set " << which++);
            Pair p(kernel);
            p.both([&](auto& e) { apply(e, s); });
            programme(12000, 3 + which, left, right);
            p.run(left, right, "steady");

            // Fewer bands, then more again: bands out of use keep their state.
            p.both([](auto& e) { e.setBandCount(5); });
            programme(3000, 11, left, right);
            p.run(left, right, "five bands");
            p.both([&](auto& e) {
                e.setBandCount(s.bands == 20 ? 17 : 20);
                e.setFilterOrder(s.order == 5 ? 4 : 5);
            });
            p.run(left, right, "more bands");

            // Bypass on and off, a new rate, a reset and a hold reset between blocks.
            p.both([](auto& e) { e.setBypass(true); });
            p.run(left, right, "bypassed");
            p.both([](auto& e) {
                e.setBypass(false);
                e.setSampleRate(22050.0f);
                e.resetHold();
            });
            p.run(left, right, "after bypass");
            p.both([](auto& e) { e.reset(); });
            p.run(left, right, "after reset");
        }
    }
}

}  // namespace
}  // namespace qx
