// TrigwaveEngine as a listener meets it: delays and alignment, the onset detector, voice
// allocation, phase advance, envelopes, filter, width, rate changes and hostile input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "effects/trigwave/trigwave_engine.h"
#include "effects/trigwave/trigwave_tables.h"
#include "tests/trigwave/signal_match.h"

namespace qx {
namespace {

using testing::bestLag;

constexpr double kPi = 3.14159265358979323846;

struct Stereo {
    std::vector<float> left, right;
};

Stereo run(TrigwaveEngine& e, const std::vector<float>& left, const std::vector<float>& right,
           int block = 512) {
    Stereo out{std::vector<float>(left.size()), std::vector<float>(left.size())};
    const int n = static_cast<int>(left.size());
    for (int i = 0; i < n; i += block) {
        const int m = std::min(block, n - i);
        e.processBlock(left.data() + i, right.data() + i, out.left.data() + i, out.right.data() + i,
                       m);
    }
    return out;
}

void applyProgram(TrigwaveEngine& e, int program) {
    const float* row = kTrigwaveDescription.factory.row(program);
    for (int i = 0; i < kTrigwaveNumParams; ++i) applyTrigwaveParameter(e, i, row[i]);
}

// Wet only, mono, no reverb, coherent phases, an envelope that jumps to full level and
// holds near it, and a lowpass far above the test signals.
void setPlainWet(TrigwaveEngine& e) {
    e.setMix(1.0f);
    e.setWidth(0.0f);
    e.setReverbOn(false);
    e.setRandomize(0.0f);
    e.setAmpAttack(0.0f);
    e.setAmpDecay(1.0f);
    e.setAmpSustainTime(2.0f);
    e.setAmpSustainLevelDb(-1.0f);
    e.setAmpRelease(1.0f);
    e.setAnalog(true);
    e.setResonance(0.0f);
    e.setFilterFrequency(20000.0f);
    e.setFilterEnvAmount(0.0f);
}

std::vector<float> noise(int frames, float amplitude, unsigned seed) {
    std::srand(seed);
    std::vector<float> x(frames);
    for (float& v : x) v = amplitude * (2.0f * std::rand() / RAND_MAX - 1.0f);
    return x;
}

// Silence, then `x` from frame `start` on.
std::vector<float> after(int start, const std::vector<float>& x) {
    std::vector<float> y(start, 0.0f);
    y.insert(y.end(), x.begin(), x.end());
    return y;
}

double rms(const std::vector<float>& x, int begin, int end) {
    double s = 0.0;
    for (int i = begin; i < end; ++i) s += static_cast<double>(x[i]) * x[i];
    return std::sqrt(s / (end - begin));
}

// Amplitude of the component of x at `hz` over x[begin .. end).
double toneLevel(const std::vector<float>& x, double hz, double fs, int begin, int end) {
    double re = 0.0, im = 0.0;
    for (int i = begin; i < end; ++i) {
        re += x[i] * std::cos(2.0 * kPi * hz * i / fs);
        im += x[i] * std::sin(2.0 * kPi * hz * i / fs);
    }
    return 2.0 * std::hypot(re, im) / (end - begin);
}

// Index of every frame at which an onset was taken.
std::vector<int> onsetFrames(TrigwaveEngine& e, const std::vector<float>& left,
                             const std::vector<float>& right) {
    std::vector<int> onsets;
    for (size_t i = 0; i < left.size(); ++i) {
        // An onset hop leaves the state at 2; no other hop goes from 0 to 2.
        const int before = e.triggerState();
        e.processSample(left[i], right[i]);
        if (before == 0 && e.triggerState() == 2) onsets.push_back(static_cast<int>(i));
    }
    return onsets;
}

TEST(TrigwaveEngine, BypassIsTheInputDelayedByExactly2048AtEveryRate) {
    const std::vector<float> left = noise(9000, 0.9f, 1);
    const std::vector<float> right = noise(9000, 0.9f, 2);
    for (float fs : {22050.0f, 44100.0f, 96000.0f}) {
        TrigwaveEngine e;
        e.setSampleRate(fs);
        applyProgram(e, 2);
        e.setBypassed(true);
        EXPECT_EQ(e.latency(), kTrigwaveLatency);
        const Stereo out = run(e, left, right, 333);
        for (size_t n = 0; n < left.size(); ++n) {
            const float l = n < 2048 ? 0.0f : left[n - 2048];
            const float r = n < 2048 ? 0.0f : right[n - 2048];
            // The -160 dB offset, and the rounding of adding it.
            ASSERT_NEAR(out.left[n], l, 1e-8f + 6e-8f * std::fabs(l)) << fs << " " << n;
            ASSERT_NEAR(out.right[n], r, 1e-8f + 6e-8f * std::fabs(r)) << fs << " " << n;
        }
    }
}

// The wet path is N samples of frame delay behind a tap of the dry line; at 22050 Hz it
// matches the dry delay exactly, at higher rates it is one sample later.
TEST(TrigwaveEngine, WetPathLinesUpWithTheDryDelay) {
    const struct {
        float fs;
        int frameSize, wetLag;
    } cases[] = {{22050.0f, 1024, 2048}, {44100.0f, 2048, 2049}, {96000.0f, 2048, 2049}};
    for (const auto& c : cases) {
        const int start = 5119;  // the burst fills ring blocks from their first sample
        const std::vector<float> x = after(start, noise(8000, 0.5f, 3));
        const std::vector<float> silent(x.size(), 0.0f);
        TrigwaveEngine e;
        e.setSampleRate(c.fs);
        setPlainWet(e);
        EXPECT_EQ(e.frameSize(), c.frameSize);
        EXPECT_EQ(e.latency(), 2048);
        const Stereo wet = run(e, x, silent);
        // Past the fade-in block, over the first hop of live capture.
        const int begin = start + c.wetLag + c.frameSize / 8;
        EXPECT_EQ(bestLag(wet.left, x, 2030, 2070, begin, c.frameSize / 2), c.wetLag) << c.fs;
        // Next to nothing before the burst: the capture starts at the onset block, and
        // only the frame's mean, which the voices leave out, spreads over the frame.
        const int wetStart = start + c.wetLag;
        const double live = rms(wet.left, begin, begin + c.frameSize / 2);
        EXPECT_GT(live, 0.1) << c.fs;
        EXPECT_LT(rms(wet.left, wetStart - 1024, wetStart - 256), 0.01 * live) << c.fs;

        TrigwaveEngine d;
        d.setSampleRate(c.fs);
        setPlainWet(d);
        d.setMix(0.0f);
        const Stereo dry = run(d, x, silent);
        EXPECT_EQ(bestLag(dry.left, x, 2030, 2070, begin, 1000), 2048) << c.fs;
    }
}

// The +1 in both energies makes the detector absolute near silence: at threshold 3 a
// block of 256 samples needs a sum of squares above 2 (amplitude above 0.0884).
TEST(TrigwaveEngine, SilenceAndQuietBurstsNeverTriggerALoudOneDoesOnItsFirstBlock) {
    for (float threshold : {1.1f, 3.0f, 10.0f}) {
        TrigwaveEngine e;
        e.setThreshold(threshold);
        const std::vector<float> silence(44100, 0.0f);
        EXPECT_TRUE(onsetFrames(e, silence, silence).empty()) << threshold;
        EXPECT_FALSE(e.triggered());
        EXPECT_EQ(e.voice(0).state(), SpectralVoice::kFree);
    }
    // A square wave of amplitude a at a quarter of the rate puts exactly 256 a^2 into
    // each block.
    auto square = [](int frames, float a) {
        std::vector<float> x(frames);
        for (int i = 0; i < frames; ++i) x[i] = (i / 2) % 2 ? -a : a;
        return x;
    };
    const int start = 20 * 256 - 1;  // first burst sample lands at the start of block 20
    const std::vector<float> none(start + 20000, 0.0f);
    {
        TrigwaveEngine e;
        const std::vector<float> quiet = after(start, square(20000, 0.08f));
        EXPECT_TRUE(onsetFrames(e, quiet, none).empty());
    }
    TrigwaveEngine e;
    setPlainWet(e);
    const std::vector<float> loud = after(start, square(20000, 0.1f));
    std::vector<float> wet;
    std::vector<int> onsets;
    for (size_t i = 0; i < loud.size(); ++i) {
        const int before = e.triggerState();
        e.processSample(loud[i], 0.0f);
        wet.push_back(e.outputLeft());
        if (before == 0 && e.triggerState() == 2) onsets.push_back(static_cast<int>(i));
    }
    // Taken at the hop that ends right after block 20, and never again: the level stays.
    ASSERT_EQ(onsets.size(), 1u);
    EXPECT_EQ(onsets[0], 6143);
    // The capture starts with that block: the wet signal starts with the burst.
    const int wetStart = start + 2049;
    EXPECT_LT(rms(wet, wetStart - 512, wetStart - 1), 1e-4);
    EXPECT_GT(rms(wet, wetStart + 128, wetStart + 256), 0.02);
}

TEST(TrigwaveEngine, NoSecondOnsetWithinFourHops) {
    // Every block 10 % louder than the one before: each hop has an onset to offer.
    std::vector<float> rising(4096, 0.0f);
    float a = 0.2f;
    for (int block = 0; block < 48; ++block, a *= 1.1f)
        for (int i = 0; i < 256; ++i) rising.push_back(i % 2 ? -a : a);
    const std::vector<float> none(rising.size(), 0.0f);
    TrigwaveEngine e;
    e.setThreshold(1.1f);
    const std::vector<int> onsets = onsetFrames(e, rising, none);
    ASSERT_GE(onsets.size(), 3u);
    for (size_t k = 1; k < onsets.size(); ++k) EXPECT_EQ(onsets[k] - onsets[k - 1], 4 * 1024) << k;
}

// A burst after silence every six hops, so every burst is an onset.
std::vector<float> burstTrain(int bursts, int period, float amplitude) {
    std::vector<float> x;
    for (int b = 0; b < bursts; ++b) {
        std::vector<float> one = noise(1024, amplitude, 10 + b);
        one.resize(period, 0.0f);
        x.insert(x.end(), one.begin(), one.end());
    }
    return x;
}

TEST(TrigwaveEngine, VoicesCycleThroughTwelveAndMonoRetriggersVoiceZero) {
    const std::vector<float> x = after(3000, burstTrain(13, 6 * 1024, 0.5f));
    for (bool mono : {false, true}) {
        TrigwaveEngine e;
        setPlainWet(e);
        e.setMono(mono);
        int onsets = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            const int before = e.triggerState();
            e.processSample(x[i], x[i]);
            if (before != 0 || e.triggerState() != 2) continue;
            // The voice just triggered has captured one frame; every other one that was
            // triggered before holds (mono has no other).
            const int taken = mono ? 0 : onsets % TrigwaveEngine::kVoices;
            ++onsets;
            EXPECT_EQ(e.voice(taken).state(), 2) << mono << " " << onsets;
            int holding = 0;
            for (int v = 0; v < TrigwaveEngine::kVoices; ++v)
                holding += e.voice(v).state() == SpectralVoice::kHolding;
            EXPECT_EQ(holding, mono ? 0 : std::min(onsets - 1, 11)) << onsets;
            EXPECT_EQ(e.currentVoice(), mono ? 0 : onsets % TrigwaveEngine::kVoices);
        }
        EXPECT_EQ(onsets, 13) << mono;
    }
}

// A steady tone captured at an onset: coherent advance continues it in phase, random
// phases scatter it, and neither changes the held magnitudes.
TEST(TrigwaveEngine, RandomizeZeroContinuesTheToneRandomizeOneScattersIt) {
    const double fs = 44100.0, hz = 1000.0;
    const int start = 4000;
    std::vector<float> tone(40000);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<float>(0.5 * std::sin(2.0 * kPi * hz * i / fs));
    const std::vector<float> x = after(start, tone);
    const std::vector<float> silent(x.size(), 0.0f);
    double coherence[2];
    for (int r = 0; r < 2; ++r) {
        TrigwaveEngine e;
        setPlainWet(e);
        e.setRandomize(static_cast<float>(r));
        std::vector<float> held;
        bool magnitudesKept = true;
        const SpectralVoice& v = e.voice(0);
        std::vector<float> before(2048);
        for (size_t i = 0; i < x.size(); ++i) {
            const bool hop = (i + 1) % 1024 == 0;
            const int state = v.state();
            if (hop) before.assign(v.capture(), v.capture() + 2048);
            e.processSample(x[i], 0.0f);
            held.push_back(e.outputLeft());
            // Random turns are exact unit rotations. (Measured ones are not quite, for
            // bins near silence.)
            if (hop && r == 1 && state == SpectralVoice::kHolding) {
                for (int k = 1; k < 1024; ++k) {
                    const float m0 = std::hypot(before[k], before[1024 + k]);
                    const float m1 = std::hypot(v.capture()[k], v.capture()[1024 + k]);
                    magnitudesKept &= std::fabs(m1 - m0) <= 1e-5f * m0 + 1e-6f;
                }
            }
        }
        EXPECT_TRUE(magnitudesKept);
        // Well into the hold, compared with the tone as it would have gone on.
        const int begin = start + 2049 + 8 * 1024;
        double xy = 0.0, xx = 0.0, yy = 0.0;
        for (int i = begin; i < begin + 8192; ++i) {
            xy += static_cast<double>(held[i]) * x[i - 2049];
            xx += static_cast<double>(x[i - 2049]) * x[i - 2049];
            yy += static_cast<double>(held[i]) * held[i];
        }
        coherence[r] = xy / std::sqrt(xx * yy);
        EXPECT_GT(rms(held, begin, begin + 8192), 0.1) << r;
        if (r == 0) {
            // At its own level: 0.5 at the -1 dB sustain, through the lowpass's 0.995.
            EXPECT_NEAR(toneLevel(held, hz, fs, begin, begin + 8192), 0.5 * 0.8913 * 0.995, 0.005);
        }
    }
    EXPECT_GT(coherence[0], 0.99);
    EXPECT_LT(std::fabs(coherence[1]), 0.5);
}

TEST(TrigwaveEngine, EnvelopeStagesAndReleaseZero) {
    EnvelopeShape shape;
    shape.setRate(44100.0f / 1024.0f);
    // An attack value a climbs from 0.001 to 1 in a ln(1000) seconds.
    shape.setAttack(0.5f);
    shape.setDecay(0.0f);
    shape.setSustainLevel(0.5f);
    shape.setSustainTime(0.1f);
    shape.setRelease(0.0f);
    EnvelopeGenerator env;
    env.trigger(shape);
    int ticks = 1;
    while (env.stage() == EnvelopeGenerator::kAttack) {
        env.tick(shape);
        ++ticks;
    }
    EXPECT_EQ(ticks, static_cast<int>(std::ceil(0.5 * shape.rate() * std::log(1000.0))));
    EXPECT_EQ(env.level(), 1.0f);
    env.tick(shape);  // decay 0: at the sustain level at once
    EXPECT_EQ(env.stage(), EnvelopeGenerator::kSustain);
    EXPECT_EQ(env.level(), 0.5f);
    int held = 0;
    while (env.stage() == EnvelopeGenerator::kSustain) {
        env.tick(shape);
        ++held;
    }
    EXPECT_EQ(held, shape.holdTicks());
    EXPECT_EQ(shape.holdTicks(), 4);
    EXPECT_EQ(env.level(), 0.5f);  // the release has begun but not yet moved
    env.tick(shape);
    EXPECT_EQ(env.stage(), EnvelopeGenerator::kIdle);
    EXPECT_EQ(env.level(), 0.0f);

    // In the engine, the voice goes silent half a hop after that tick's hop: what the
    // previous hop wrote still plays, nothing follows.
    TrigwaveEngine e;
    setPlainWet(e);
    e.setAmpDecay(0.0f);
    e.setAmpSustainTime(0.1f);
    e.setAmpRelease(0.0f);
    const std::vector<float> x = after(5119, noise(40000, 0.5f, 4));
    std::vector<float> wet;
    int silentFrom = -1, releaseHop = -1;
    for (size_t i = 0; i < x.size(); ++i) {
        const int stage = e.voice(0).ampEnvelope().stage();
        e.processSample(x[i], 0.0f);
        wet.push_back(e.outputLeft());
        const int now = e.voice(0).ampEnvelope().stage();
        if (stage == EnvelopeGenerator::kSustain && now == EnvelopeGenerator::kRelease)
            releaseHop = static_cast<int>(i);
        if (stage == EnvelopeGenerator::kRelease && now == EnvelopeGenerator::kIdle)
            silentFrom = static_cast<int>(i) + 1 + 1024;
    }
    ASSERT_GT(releaseHop, 0);
    EXPECT_EQ(silentFrom, releaseHop + 1 + 2 * 1024);
    EXPECT_GT(rms(wet, silentFrom - 1024, silentFrom), 0.05);
    EXPECT_LT(rms(wet, silentFrom, silentFrom + 4096), 1e-7);
}

TEST(TrigwaveEngine, LowpassShapesAndTheFilterEnvelope) {
    const double fs = 44100.0;
    std::vector<float> tones(60000);
    for (size_t i = 0; i < tones.size(); ++i)
        tones[i] = static_cast<float>(0.3 * std::sin(2.0 * kPi * 300.0 * i / fs) +
                                      0.3 * std::sin(2.0 * kPi * 8000.0 * i / fs));
    const int start = 4000;
    const std::vector<float> x = after(start, tones);
    const std::vector<float> silent(x.size(), 0.0f);
    const int begin = start + 2049 + 6 * 1024;
    for (bool analog : {true, false}) {
        TrigwaveEngine e;
        setPlainWet(e);
        e.setAnalog(analog);
        e.setFilterFrequency(2000.0f);
        const Stereo out = run(e, x, silent);
        const double low = toneLevel(out.left, 300.0, fs, begin, begin + 8192);
        const double high = toneLevel(out.left, 8000.0, fs, begin, begin + 8192);
        EXPECT_GT(low, 0.2) << analog;
        EXPECT_LT(high, analog ? 0.3 * 1e-2 : 0.3 * 1e-3) << analog;
    }
    // Closed at 1 Hz, opened by a full filter envelope that decays to 10 % in 0.7 s: the
    // high tone is heard at first and goes once the cutoff has fallen to 2001 Hz.
    TrigwaveEngine e;
    setPlainWet(e);
    e.setFilterFrequency(1.0f);
    e.setFilterEnvAmount(1.0f);
    e.setFilterAttack(0.0f);
    e.setFilterDecay(0.3f);
    e.setFilterSustainLevel(0.1f);
    e.setFilterSustainTime(2.0f);
    const Stereo out = run(e, x, silent);
    const int early = start + 2049 + 1024;
    const int late = start + 2049 + 40 * 1024;  // 30 hops of decay are over
    EXPECT_GT(toneLevel(out.left, 8000.0, fs, early, early + 1024), 0.05);
    EXPECT_LT(toneLevel(out.left, 8000.0, fs, late, late + 8192), 0.3 * 1e-2);
    EXPECT_GT(toneLevel(out.left, 300.0, fs, late, late + 8192), 0.2);
}

// Width puts the wet signal 13 ms later into the side: L = W - d, R = W + d.
TEST(TrigwaveEngine, WidthAddsTheWetSignal13msLaterAsSide) {
    const std::vector<float> x = after(5119, noise(20000, 0.5f, 5));
    for (float width : {0.0f, 1.0f}) {
        TrigwaveEngine e;
        setPlainWet(e);
        e.setWidth(width);
        const int d = e.widthDelayLength();
        EXPECT_EQ(d, 573);
        const Stereo out = run(e, x, x);
        for (size_t i = d; i < x.size(); ++i) {
            const float mid = 0.5f * (out.left[i] + out.right[i]);
            const float side = 0.5f * (out.right[i] - out.left[i]);
            const float midBefore = 0.5f * (out.left[i - d] + out.right[i - d]);
            ASSERT_NEAR(side, width * midBefore, 1e-6f) << width << " " << i;
            ASSERT_TRUE(std::isfinite(mid));
        }
    }
}

TEST(TrigwaveEngine, SampleRateChangeMidStreamClearsVoicesAndKeepsTheDryLine) {
    const std::vector<float> x = after(3000, burstTrain(8, 6 * 1024, 0.5f));
    TrigwaveEngine e;
    setPlainWet(e);
    e.setMix(0.0f);  // only the dry line is heard
    // At 44.1 kHz the ring position is then 1428, beyond the smaller ring to come.
    const int change = 3000 + 2 * 6 * 1024 + 2524;
    const Stereo before = run(e, std::vector<float>(x.begin(), x.begin() + change),
                              std::vector<float>(x.begin(), x.begin() + change), 256);
    ASSERT_NE(e.voice(0).state(), SpectralVoice::kFree);
    e.setSampleRate(44100.0f);  // the same rate: nothing changes
    EXPECT_NE(e.voice(0).state(), SpectralVoice::kFree);

    e.setSampleRate(22050.0f);
    EXPECT_EQ(e.frameSize(), 1024);
    EXPECT_EQ(e.latency(), 2048);
    for (int v = 0; v < TrigwaveEngine::kVoices; ++v)
        EXPECT_EQ(e.voice(v).state(), SpectralVoice::kFree) << v;
    EXPECT_EQ(e.triggerState(), 0);

    const Stereo rest = run(e, std::vector<float>(x.begin() + change, x.end()),
                            std::vector<float>(x.begin() + change, x.end()), 256);
    std::vector<float> out = before.left;
    out.insert(out.end(), rest.left.begin(), rest.left.end());
    for (size_t n = 2048; n < x.size(); ++n) ASSERT_NEAR(out[n], x[n - 2048], 2e-7f) << n;
    // Later bursts are onsets again, with the new frame size.
    EXPECT_NE(e.voice(0).state(), SpectralVoice::kFree);
    EXPECT_NE(e.voice(1).state(), SpectralVoice::kFree);
}

// A program with every stage busy: bursts, random phase, reverb, width.
std::vector<float> busyInput(int frames, unsigned seed) {
    std::vector<float> x = burstTrain(frames / (5 * 1024) + 1, 5 * 1024, 0.6f);
    const std::vector<float> bed = noise(static_cast<int>(x.size()), 0.02f, seed);
    for (size_t i = 0; i < x.size(); ++i) x[i] += bed[i];
    x.resize(frames);
    return x;
}

TEST(TrigwaveEngine, BlockSizesPrecisionsAndEmptyBlocksAgree) {
    // Double input, and the float input it rounds to.
    const std::vector<float> busyL = busyInput(30000, 6), busyR = busyInput(30000, 7);
    std::vector<double> dl(busyL.size()), dr(busyR.size());
    std::vector<float> left(busyL.size()), right(busyR.size());
    for (size_t i = 0; i < dl.size(); ++i) {
        dl[i] = busyL[i] + 1e-9 * std::sin(0.1 * i);
        dr[i] = busyR[i] - 1e-9 * std::cos(0.1 * i);
        left[i] = static_cast<float>(dl[i]);
        right[i] = static_cast<float>(dr[i]);
    }
    auto setUp = [](TrigwaveEngine& e) {
        applyProgram(e, 2);
        e.setRandomize(0.5f);
    };
    TrigwaveEngine reference;
    setUp(reference);
    const Stereo expected = run(reference, left, right, 1);
    for (int block : {7, 64, 4096}) {
        TrigwaveEngine e;
        setUp(e);
        const Stereo out = run(e, left, right, block);
        ASSERT_EQ(out.left, expected.left) << block;
        ASSERT_EQ(out.right, expected.right) << block;
    }
    TrigwaveEngine d;
    setUp(d);
    std::vector<double> ol(dl.size()), orr(dr.size());
    for (size_t i = 0; i < dl.size(); i += 500) {
        const int m = static_cast<int>(std::min<size_t>(500, dl.size() - i));
        float probe[2] = {1.0f, 2.0f};
        d.processBlock(probe, probe, probe, probe, 0);  // touches nothing
        ASSERT_EQ(probe[0], 1.0f);
        d.processBlock(dl.data() + i, dr.data() + i, ol.data() + i, orr.data() + i, m);
    }
    for (size_t i = 0; i < dl.size(); ++i) {
        ASSERT_EQ(ol[i], static_cast<double>(expected.left[i])) << i;
        ASSERT_EQ(orr[i], static_cast<double>(expected.right[i])) << i;
    }
}

TEST(TrigwaveEngine, NonFiniteBurstLeavesFiniteOutputAndEveryProgramStaysFinite) {
    for (int program = 0; program < kTrigwaveNumPrograms; ++program) {
        TrigwaveEngine e;
        applyProgram(e, program);
        std::vector<float> left = busyInput(25000, 8);
        std::vector<float> right = busyInput(25000, 9);
        if (program % 2 == 0) {
            const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(), 1e30f};
            for (int i = 6000; i < 6400; ++i) {
                left[i] = bad[i % 4];
                right[i] = bad[(i + 1) % 4];
            }
        }
        const Stereo out = run(e, left, right, 480);
        for (size_t i = 0; i < out.left.size(); ++i) {
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i]))
                << program << " " << i;
        }
        EXPECT_TRUE(std::isfinite(e.peakHoldDb(0)) && std::isfinite(e.meterLevel(1)));
    }
}

TEST(TrigwaveEngine, MetersHoldTenSecondsAndTheLampOutlastsTheOnset) {
    TrigwaveEngine e;
    e.setSampleRate(5000.0f);
    e.setBypassed(true);
    std::vector<float> x(60000, 0.0f);
    x[100] = 0.5f;
    x[200] = 0.25f;
    run(e, x, x);
    // The 0.5 peak leaves the line at frame 2148; its hold lasts 50000 frames.
    EXPECT_NEAR(e.peakHold(0), 1e-8f, 1e-9f);
    TrigwaveEngine f;
    f.setSampleRate(5000.0f);
    f.setBypassed(true);
    run(f, std::vector<float>(x.begin(), x.begin() + 40000),
        std::vector<float>(x.begin(), x.begin() + 40000));
    EXPECT_NEAR(f.peakHold(0), 0.5f, 1e-7f);
    EXPECT_NEAR(f.peakHoldDb(0), -6.0206f, 1e-3f);
    // The level falls by exp(-1 / fs) per frame from frame 2148 on.
    EXPECT_NEAR(f.meterLevel(0), 0.5 * std::exp(-(39999.0 - 2148.0) / 5000.0), 1e-6);
    f.resetPeakHolds();
    f.processSample(0.0f, 0.0f);
    EXPECT_NEAR(f.peakHold(0), 1e-8f, 1e-9f);

    // The trigger lamp: a read clears it only once the onset's four hops are over.
    TrigwaveEngine g;
    const std::vector<float> burst = after(5119, noise(3000, 0.5f, 11));
    run(g, std::vector<float>(burst.begin(), burst.begin() + 6144),
        std::vector<float>(burst.begin(), burst.begin() + 6144));
    EXPECT_EQ(g.triggerState(), 2);
    EXPECT_TRUE(g.readTriggered());
    EXPECT_TRUE(g.readTriggered());
    run(g, std::vector<float>(3 * 1024, 0.0f), std::vector<float>(3 * 1024, 0.0f));
    EXPECT_EQ(g.triggerState(), 0);
    EXPECT_TRUE(g.readTriggered());
    EXPECT_FALSE(g.readTriggered());
}

}  // namespace
}  // namespace qx
