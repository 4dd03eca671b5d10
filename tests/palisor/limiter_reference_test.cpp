// The engine against the plain per-sample limiter of limiter_reference.h: every output
// sample and every meter reading must be the same float, in every processing mode, at
// every shaping regime, across setting changes, bypass switches and any block split.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/palisor/limiter_engine.h"
#include "tests/palisor/limiter_reference.h"

namespace qx {
namespace {

struct Settings {
    float sampleRate;
    float drive, side, xcorrTime, threshold, envRelease, envHysteresis, link;
    float softclipDb, softclipAmount, rmsAttack, rmsRelease, rmsDb, trim;
    bool isp;
    int bits;
};

template <class Limiter>
void apply(Limiter& e, const Settings& s) {
    e.updateSampleRate(s.sampleRate);
    e.setDrive(s.drive);
    e.setSideGain(s.side);
    e.setXcorrTime(s.xcorrTime);
    e.setXcorrThreshold(s.threshold);
    e.setEnvRelease(s.envRelease);
    e.setEnvHysteresis(s.envHysteresis);
    e.setStereoLink(s.link);
    e.setSoftclipThreshold(s.softclipDb);
    e.setSoftclipAmount(s.softclipAmount);
    e.setRmsAttack(s.rmsAttack);
    e.setRmsRelease(s.rmsRelease);
    e.setRmsThreshold(s.rmsDb);
    e.setOutputGain(s.trim);
    e.setInterSamplePeak(s.isp);
    e.setWordLength(s.bits);
}

// Loud, partly correlated programme with overs, isolated spikes, an anti-phase stretch
// and digital silence, so every branch of every stage is taken.
void programme(int frames, unsigned seed, std::vector<float>& left, std::vector<float>& right) {
    std::srand(seed);
    left.assign(frames, 0.0f);
    right.assign(frames, 0.0f);
    float lp = 0.0f;
    for (int n = 0; n < frames; ++n) {
        const float white = 2.0f * std::rand() / RAND_MAX - 1.0f;
        lp = 0.8f * lp + 0.2f * white;
        const float swell = 0.6f + 0.6f * std::sin(0.0007f * n);
        left[n] = swell * (0.8f * std::sin(0.031f * n) + 1.5f * lp);
        right[n] = swell * (0.7f * std::sin(0.029f * n) - 0.9f * lp);
        const int phase = n % 6000;
        if (phase >= 4000 && phase < 4800) right[n] = -left[n];  // anti-phase
        if (phase >= 5200 && phase < 5600) left[n] = right[n] = 0.0f;
        if (n % 997 == 0) left[n] = 1.7f;  // single-sample spike
    }
}

// Runs a reference and an engine side by side; the engine in blocks of varying length.
class Pair {
  public:
    void apply(const Settings& s) {
        qx::apply(ref, s);
        qx::apply(eng, s);
    }

    void run(const std::vector<float>& left, const std::vector<float>& right, const char* what,
             const std::vector<int>& blocks = {512, 1, 37, 256, 3, 1024, 160}) {
        outL.assign(left.size(), 0.0f);
        outR.assign(right.size(), 0.0f);
        size_t start = 0;
        for (size_t b = 0; start < left.size(); ++b) {
            const size_t n = std::min<size_t>(blocks[b % blocks.size()], left.size() - start);
            eng.processBlock(left.data() + start, right.data() + start, outL.data() + start,
                             outR.data() + start, static_cast<int>(n));
            start += n;
        }
        for (size_t i = 0; i < left.size(); ++i) {
            ref.processSample(left[i], right[i]);
            ASSERT_EQ(outL[i], ref.out(0)) << what << " frame " << i;
            ASSERT_EQ(outR[i], ref.out(1)) << what << " frame " << i;
        }
        EXPECT_EQ(eng.outputLeft(), ref.out(0)) << what;
        EXPECT_EQ(eng.outputRight(), ref.out(1)) << what;
        for (int c = 0; c < 2; ++c) {
            EXPECT_EQ(eng.peakLevel(c), ref.peakLevel(c)) << what << c;
            EXPECT_EQ(eng.peakHold(c), ref.peakHold(c)) << what << c;
            EXPECT_EQ(eng.rmsLevel(c), std::sqrt(ref.meanSquare(c))) << what << c;
            EXPECT_EQ(eng.peakGain(c), ref.gain(c)) << what << c;
        }
        EXPECT_EQ(eng.rmsGain(), ref.rmsGain()) << what;
        const float c = ref.xcorr(2) / std::sqrt((1e-8f + ref.xcorr(1)) * (1e-8f + ref.xcorr(0)));
        EXPECT_EQ(eng.correlation(), eng.bypassed() ? c : std::max(c, eng.xcorrThreshold()))
            << what;
    }

    test::ReferenceLimiter ref;
    LimiterEngine eng;
    std::vector<float> outL, outR;  // the engine's output of the latest run
};

TEST(LimiterReference, BlockPathMatchesThePlainPerSampleLimiter) {
    // rate, drive, side, xcorr time, threshold, env release, hysteresis, link, softclip dB,
    // softclip amount, rms attack, rms release, rms dB, trim, isp, bits
    const Settings settings[] = {
        // "+6dB (limiter only)" at 44.1 kHz
        {44100, 1.93f, 0.5f, 0.5f, -1, 0.08f, 0.1f, 0.5f, 0, 0, 0.1f, 0.1f, -4, 1, false, 64},
        // every stage at 48 kHz, 16 bits with 8-tap shaping
        {48000, 1.93f, 0.7f, 0.5f, 0.2f, 0.08f, 0.1f, 0.5f, 0, 0.5f, 0.1f, 0.1f, -4, 1, true, 16},
        // plain dither at 22.05 kHz, strong guard, hard link
        {22050, 1.2f, 1.0f, 0.05f, 0.6f, 0.005f, 0.005f, 1.0f, -6, 1, 0.005f, 0.005f, -8, 0.5f,
         false, 8},
        // first-order shaping at 192 kHz, no link, soft clipper above the signal
        {192000, 2.5f, 0.3f, 0.2f, -0.5f, 0.2f, 0.2f, 0, 12, 0.2f, 0.2f, 0.05f, 0, 0.9f, true, 24},
        // 32 bits: the quantiser stays off; the rate clamps the detector taps
        {600000, 1.5f, 0.5f, 0.1f, -0.9f, 0.05f, 0.3f, 0.3f, -3, 0.01f, 0.1f, 0.1f, 3, 1, true, 32},
        // below the lowest rate
        {1000, 1.0f, 0.5f, 0.1f, -1, 0.05f, 0.3f, 0.5f, 20, 0.02f, 0.2f, 0.2f, 20, 1, false, 20},
    };
    std::vector<float> left, right;
    int which = 0;
    for (const Settings& s : settings) {
        SCOPED_TRACE(which++);
        Pair p;
        p.apply(s);
        programme(20000, 5 + which, left, right);
        p.run(left, right, "steady");
        EXPECT_EQ(p.eng.readSoftclipGain(0), [&] {
            // The soft-clip reading from the reference's tracker, as the design defines it.
            const float a = s.softclipAmount;
            const float in = static_cast<float>(0.5 * std::pow(10.0, -s.softclipDb / 20.0));
            const float b = in * p.ref.softclipPeak(0) + 1e-8f;
            return b >= 1.0f ? a * 0.5f / b + (1.0f - a)
                             : 1e-8f + (1.0f - a) + a * (2.0f - b) * 0.5f;
        }());

        // Changes between blocks: bypass on and off, the peak-hold reset, new settings.
        p.ref.setBypassed(true);
        p.eng.setBypassed(true);
        programme(3000, 40, left, right);
        p.run(left, right, "bypassed");
        p.ref.setBypassed(false);
        p.eng.setBypassed(false);
        p.ref.resetPeakHold();
        p.eng.resetPeakHold();
        p.ref.setInterSamplePeak(!s.isp);
        p.eng.setInterSamplePeak(!s.isp);
        p.ref.setWordLength(12);
        p.eng.setWordLength(12);
        p.ref.setSoftclipAmount(0.7f);
        p.eng.setSoftclipAmount(0.7f);
        programme(6000, 41, left, right);
        p.run(left, right, "changed");
        p.ref.reset();
        p.eng.reset();
        p.run(left, right, "after reset");
    }
}

// Block lengths around the engine's four-frame groups and its 128-frame stretches, one
// longer than the look-ahead, including empty blocks; and the double-precision entry,
// which must give the same samples widened.
TEST(LimiterReference, AwkwardBlockLengthsInBothPrecisions) {
    const std::vector<int> awkward = {0, 1, 3, 63, 64, 65, 127, 128, 129, 4097, 2, 511, 513};
    auto check = [&](const Settings& s, unsigned seed) {
        Pair p;
        LimiterEngine wide;
        p.apply(s);
        apply(wide, s);
        std::vector<float> left, right;
        // The float engine against the reference, then the double entry against it.
        auto both = [&](const char* what) {
            p.run(left, right, what, awkward);
            const std::vector<double> l(left.begin(), left.end()), r(right.begin(), right.end());
            std::vector<double> ol(l.size()), orr(r.size());
            size_t start = 0;
            for (size_t b = 0; start < l.size(); ++b) {
                const size_t n =
                    std::min<size_t>(awkward[(b + 5) % awkward.size()], l.size() - start);
                wide.processBlock(l.data() + start, r.data() + start, ol.data() + start,
                                  orr.data() + start, static_cast<int>(n));
                start += n;
            }
            for (size_t i = 0; i < l.size(); ++i) {
                ASSERT_EQ(ol[i], static_cast<double>(p.outL[i])) << what << " double, frame " << i;
                ASSERT_EQ(orr[i], static_cast<double>(p.outR[i])) << what << " double, frame " << i;
            }
        };
        programme(12000, seed, left, right);
        both("awkward");
        p.ref.setBypassed(true);
        p.eng.setBypassed(true);
        wide.setBypassed(true);
        programme(5000, seed + 1, left, right);
        both("awkward, bypassed");
    };
    // Every stage; at 192 kHz the detector reads the frame written just before.
    check(
        {192000, 1.93f, 0.7f, 0.1f, 0.2f, 0.08f, 0.1f, 0.5f, 0, 0.5f, 0.1f, 0.1f, -4, 1, true, 16},
        60);
    // Guard and clipper at 48 kHz, no requantisation.
    check({48000, 1.5f, 0.9f, 0.05f, 0.4f, 0.05f, 0.3f, 0.8f, -3, 0.3f, 0.2f, 0.2f, -6, 0.9f, false,
           64},
          62);
}

}  // namespace
}  // namespace qx
