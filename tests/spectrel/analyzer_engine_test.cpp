// AnalyzerEngine on its own: what the meters, the correlation and the spectrum read for
// known signals, the holds, the spectrum switch, bypass, and the block path against a
// plain per-frame model of the meters.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

#include "dsp/noise_source.h"
#include "effects/spectrel/analyzer_engine.h"
#include "effects/spectrel/isp_kernel.h"
#include "effects/spectrel/power_fold.h"

namespace qx {
namespace {

using E = AnalyzerEngine;
constexpr double kPi = 3.14159265358979323846;

std::vector<float> sine(int frames, double amplitude, double cyclesPerFrame, double phase = 0) {
    std::vector<float> x(frames);
    for (int n = 0; n < frames; ++n)
        x[n] = static_cast<float>(amplitude * std::sin(2.0 * kPi * cyclesPerFrame * n + phase));
    return x;
}

std::vector<float> noise(int frames, unsigned seed, float amplitude) {
    std::srand(seed);
    std::vector<float> x(frames);
    for (float& v : x) v = amplitude * (2.0f * static_cast<float>(std::rand()) / RAND_MAX - 1.0f);
    return x;
}

template <typename T = float>
void feed(E& e, const std::vector<T>& left, const std::vector<T>& right, int block = 512) {
    const int frames = static_cast<int>(left.size());
    for (int start = 0; start < frames; start += block)
        e.analyse(left.data() + start, right.data() + start, std::min(block, frames - start));
}

// Every reading the engine offers, for exact comparisons between runs.
std::vector<float> readings(const E& e) {
    std::vector<float> r;
    for (int m = 0; m < E::kNumMeters; ++m) {
        r.push_back(e.peakLevel(m));
        r.push_back(e.peakHold(m));
        r.push_back(e.rmsLevel(m));
    }
    r.push_back(e.correlation());
    r.insert(r.end(), e.spectrumLeft(), e.spectrumLeft() + E::kBins);
    r.insert(r.end(), e.spectrumRight(), e.spectrumRight() + E::kBins);
    return r;
}

TEST(AnalyzerEngine, FullScaleSineMeters) {
    const std::vector<float> s = sine(96000, 1.0, 1000.0 / 48000.0);  // hits +-1 exactly
    for (bool aes17 : {false, true}) {
        E e;
        e.updateSampleRate(48000.0f);
        e.setAes17(aes17);
        feed(e, s, s);
        const float rms = aes17 ? 1.0f : std::sqrt(0.5f);
        for (int m : {E::kLeft, E::kRight, E::kMid}) {
            EXPECT_NEAR(e.peakHold(m), 1.0f, 1e-6f) << m;
            EXPECT_NEAR(e.peakLevel(m), 1.0f, 2e-3f) << m;  // at most 48 frames of decay
            EXPECT_NEAR(e.rmsLevel(m), rms, 1e-3f) << aes17 << m;
        }
        // A mono signal has no side: what is left is the anti-denormal offset, rounded
        // differently into the two channels (140 dB down).
        EXPECT_LT(e.peakHold(E::kSide), 1e-7f);
        EXPECT_LT(e.rmsLevel(E::kSide), 1e-7f);
        EXPECT_NEAR(e.peakHoldDb(E::kLeft), 0.0f, 1e-4f);
    }
}

TEST(AnalyzerEngine, InterSamplePeaksOfAQuarterRateSine) {
    // Samples at +-0.707 of a full-scale sine whose crests fall between them.
    const std::vector<float> s = sine(4800, 1.0, 0.25, kPi / 4.0);
    // The interpolator's answer halfway between samples at a quarter of the rate.
    double gain = 0.0;
    for (int k = 0; k < E::kIspTaps; ++k) gain += E::kIspTap[k] * std::cos(kPi / 2.0 * (3.5 - k));
    for (bool isp : {false, true}) {
        E e;
        e.setInterSamplePeak(isp);
        feed(e, s, s, 37);
        // The onset from silence overshoots; the steady crests are what counts here.
        e.resetPeakHold();
        feed(e, s, s, 37);
        const double expected = isp ? std::abs(gain) : std::sqrt(0.5);
        for (int m : {E::kLeft, E::kRight, E::kMid})
            EXPECT_NEAR(e.peakHold(m), expected, 1e-5) << isp << m;
        EXPECT_LT(e.peakHold(E::kSide), 1e-7f);
    }
}

TEST(AnalyzerEngine, Correlation) {
    const int frames = 44100;
    const std::vector<float> s = sine(frames, 0.5, 0.01);
    std::vector<float> inverted(s);
    for (float& v : inverted) v = -v;
    const std::vector<float> other = sine(frames, 0.5, 0.0137);
    const std::vector<float> silence(frames, 0.0f);
    struct Case {
        const std::vector<float>& left;
        const std::vector<float>& right;
        float lo, hi;
    } cases[] = {
        {silence, silence, -0.01f, 0.01f},
        {s, s, 0.9999f, 1.0001f},
        {s, inverted, -1.0001f, -0.9999f},
        {s, other, -0.1f, 0.1f},  // unrelated tones
    };
    for (const Case& c : cases) {
        E e;
        feed(e, c.left, c.right);
        EXPECT_GE(e.correlation(), c.lo);
        EXPECT_LE(e.correlation(), c.hi);
    }
    // Silence reads about 0 from the very first frame after a reset (every program load
    // resets), never a value off the scale.
    E e;
    feed(e, s, s);
    e.setBypassed(false);
    for (int n = 0; n < frames; ++n) {
        e.processSample(0.0f, 0.0f);
        ASSERT_LT(std::abs(e.correlation()), 0.01f) << n;
    }
}

TEST(AnalyzerEngine, SineSpectrumPeaksInItsBinAtTheDesignedLevel) {
    const int bin = 100;
    const std::vector<float> s = sine(60 * E::kHop, 1.0, bin / 2048.0);
    const std::vector<float> silence(s.size(), 0.0f);
    E probe;
    // A sine centred on a bin: |X| = sum(window) / 2; power scale 2^-18.
    std::vector<float> w(2048);
    for (int i = 0; i < 2048; ++i) {
        const float t = static_cast<float>(i);
        w[i] = 0.35875f - 0.48829f * std::cos(t * 0.0030694604f) +
               0.14128f * std::cos(t * 0.006138921f) - 0.01168f * std::cos(t * 0.009208381f);
    }
    const double half = std::accumulate(w.begin(), w.end(), 0.0) / 2.0;
    const double expected = half * half / 262144.0;
    EXPECT_NEAR(expected, 0.514, 0.001);
    for (bool aes17 : {false, true}) {
        E e;
        e.setSlowAveraging(false);
        e.setAes17(aes17);
        feed(e, s, silence);
        const float* l = e.spectrumLeft();
        EXPECT_EQ(std::max_element(l, l + E::kBins) - l, bin);
        EXPECT_NEAR(l[bin] / expected, aes17 ? 2.0 : 1.0, 2e-3) << aes17;
        // The window keeps the tone inside its main lobe: 60 dB down from the fourth bin on.
        for (int i = 0; i < E::kBins; ++i) {
            if (std::abs(i - bin) >= 4) {
                EXPECT_LT(l[i], l[bin] * 1e-6f) << i;
            }
        }
        // The silent right channel reads only the anti-denormal offset.
        const float* r = e.spectrumRight();
        EXPECT_LT(*std::max_element(r, r + E::kBins), 1e-12f);
    }
    // Between two bins the tone still stays in the main lobe (without the window, bins
    // ten away would read only about 30 dB down).
    E e;
    e.setSlowAveraging(false);
    feed(e, sine(60 * E::kHop, 1.0, 200.5 / 2048.0), silence);
    const float* l = e.spectrumLeft();
    EXPECT_NEAR(l[200] / l[201], 1.0f, 0.01f);
    for (int i = 0; i < E::kBins; ++i) {
        if (i < 190 || i > 211) {
            EXPECT_LT(l[i], l[200] * 1e-6f) << i;
        }
    }
}

TEST(AnalyzerEngine, EveryBuildOfThePowerFoldGivesTheSameFloats) {
    const power_fold::Function builds[] = {power_fold::baseline(), power_fold::avx2(),
                                           power_fold::best()};
    ASSERT_NE(builds[0], nullptr);
    ASSERT_NE(builds[2], nullptr);
    // Bins over a wide range of magnitudes, and averages from silence to full scale.
    std::vector<float> x = noise(2 * E::kBins, 41, 1.0f);
    for (size_t i = 0; i < x.size(); ++i) x[i] *= std::exp2(static_cast<float>(i % 37) - 18.0f);
    const std::vector<float> start = noise(E::kBins, 42, 0.5f);
    for (float g : {1.0f, 2.0f}) {
        for (float q : {0.0f, 0.8566f, 0.9908f}) {
            std::vector<float> expected = start;
            builds[0](expected.data(), x.data(), q, g);
            EXPECT_NE(expected, start);
            for (power_fold::Function fold : builds) {
                if (fold == nullptr) continue;  // not built for this instruction set
                std::vector<float> got = start;
                fold(got.data(), x.data(), q, g);
                for (int i = 0; i < E::kBins; ++i)
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(got[i]),
                              std::bit_cast<std::uint32_t>(expected[i]))
                        << "bin " << i << ", q " << q << ", g " << g;
            }
        }
    }
}

TEST(AnalyzerEngine, EveryBuildOfTheInterSamplePeaksGivesTheSameFloats) {
    const isp_kernel::Function builds[] = {isp_kernel::baseline(), isp_kernel::avx2(),
                                           isp_kernel::best()};
    ASSERT_NE(builds[0], nullptr);
    ASSERT_NE(builds[2], nullptr);
    constexpr int kMax = isp_kernel::kMaxFrames;
    const std::vector<float> left = noise(3 * kMax, 51, 0.9f), right = noise(3 * kMax, 52, 0.7f);
    std::vector<float> frames(2 * left.size());
    for (size_t k = 0; k < left.size(); ++k) {
        frames[2 * k] = left[k];
        frames[2 * k + 1] = right[k];
    }
    auto framesAt = [&](int k) { return reinterpret_cast<const float(*)[2]>(&frames[2 * k]); };
    // Runs of odd and even lengths, the longest allowed and none: each build carries its
    // seven frames of history from one run to the next alike.
    const int lengths[] = {1, 2, 7, 0, 64, 333, kMax, 5, 1000};
    std::vector<std::vector<float>> expected;
    for (isp_kernel::Function magnitudes : builds) {
        if (magnitudes == nullptr) continue;  // not built for this instruction set
        alignas(16) float history[isp_kernel::kTaps - 1][4] = {};
        std::vector<float> work(4 * (kMax + isp_kernel::kTaps)), out(4 * kMax + 4);
        std::vector<float> all;
        int at = 0;
        for (int len : lengths) {
            std::fill(out.begin(), out.end(), -1.0f);
            magnitudes(framesAt(at), len, history, reinterpret_cast<float(*)[4]>(work.data()),
                       reinterpret_cast<float(*)[4]>(out.data()));
            all.insert(all.end(), out.begin(), out.begin() + 4 * len);
            EXPECT_EQ(out[4 * len], -1.0f) << "wrote past frame " << len;
            at += len;
        }
        expected.push_back(all);
    }
    ASSERT_GE(expected.size(), 2u);
    for (size_t b = 1; b < expected.size(); ++b) {
        ASSERT_EQ(expected[b].size(), expected[0].size());
        for (size_t i = 0; i < expected[0].size(); ++i)
            ASSERT_EQ(std::bit_cast<std::uint32_t>(expected[b][i]),
                      std::bit_cast<std::uint32_t>(expected[0][i]))
                << "build " << b << ", value " << i;
    }
}

TEST(AnalyzerEngine, SpectrumChangesOnlyEvery1024Frames) {
    const std::vector<float> x = noise(3 * E::kHop + 500, 3, 0.5f);
    E e;
    std::vector<float> before(e.spectrumLeft(), e.spectrumLeft() + E::kBins);
    std::vector<int> changedAt;
    for (size_t n = 0; n < x.size(); ++n) {
        const std::uint32_t frame = e.spectrumFrame();
        e.processSample(x[n], -x[n]);
        const bool changed = !std::equal(before.begin(), before.end(), e.spectrumLeft());
        EXPECT_EQ(changed, e.spectrumFrame() != frame) << n;
        if (changed) changedAt.push_back(static_cast<int>(n) + 1);
        before.assign(e.spectrumLeft(), e.spectrumLeft() + E::kBins);
    }
    EXPECT_EQ(changedAt, (std::vector<int>{1024, 2048, 3072}));
    // At 44.1 kHz that is one spectrum every 23.2 ms, averaged at 0.9908 (slow) or 0.8566.
    EXPECT_NEAR(e.spectrumCoefficient(), 0.9908f, 1e-4f);
    e.setSlowAveraging(false);
    EXPECT_NEAR(e.spectrumCoefficient(), 0.8566f, 1e-4f);
}

TEST(AnalyzerEngine, PeakHoldLastsTenSecondsAndResets) {
    E e;
    for (float fs : {-1.0f, std::numeric_limits<float>::quiet_NaN(), INFINITY}) {
        e.updateSampleRate(fs);
        EXPECT_GT(e.holdSamples(), 0) << fs;
    }
    e.updateSampleRate(1000.0f);  // held to 5000 Hz: the hold is 50000 frames
    ASSERT_EQ(e.holdSamples(), 50000);
    const float crest = 0.9f, bed = 0.1f;
    e.processSample(crest, crest);
    for (int n = 0; n < 50000; ++n) e.processSample(bed, -bed);
    for (int m = 0; m < E::kNumMeters; ++m)
        EXPECT_NEAR(e.peakHold(m), m == E::kSide ? bed : crest, 1e-6f);
    e.processSample(bed, -bed);
    EXPECT_NEAR(e.peakHold(E::kLeft), bed, 1e-6f);
    EXPECT_NEAR(e.peakHold(E::kRight), bed, 1e-6f);
    EXPECT_LT(e.peakHold(E::kMid), 1e-7f);

    // In blocks, with the crest met again five frames later (a rise of the level but not
    // of the hold): the hold still falls in the 50001st frame after the first crest.
    for (int block : {7, 64, 4096}) {
        SCOPED_TRACE(block);
        E b;
        b.updateSampleRate(5000.0f);
        // Silence first, so that the crest is the hold's largest value.
        std::vector<float> left(100 + 50001, bed), right(100 + 50001, -bed);
        std::fill_n(left.begin(), 100, 0.0f);
        std::fill_n(right.begin(), 100, 0.0f);
        left[100] = left[105] = crest;
        right[100] = right[105] = -crest;
        feed(b, left, right, block);
        EXPECT_NEAR(b.peakHold(E::kLeft), crest, 1e-6f);
        EXPECT_NEAR(b.peakHold(E::kRight), crest, 1e-6f);
        b.processSample(bed, -bed);
        EXPECT_NEAR(b.peakHold(E::kLeft), bed, 1e-6f);
        EXPECT_NEAR(b.peakHold(E::kRight), bed, 1e-6f);
    }

    // A louder crest restarts it; resetPeakHold and switching ISP clear all four holds,
    // which then follow the present level within two frames.
    auto clearsAllHolds = [&](auto clear) {
        e.processSample(crest, -crest);
        clear();
        for (int m = 0; m < E::kNumMeters; ++m) EXPECT_EQ(e.peakHold(m), E::kLevelFloor);
        e.processSample(0.2f, 0.2f);
        e.processSample(0.2f, 0.2f);
        EXPECT_NEAR(e.peakHold(E::kLeft), 0.2f, 1e-6f);
        EXPECT_NEAR(e.peakHold(E::kMid), 0.2f, 1e-6f);
        EXPECT_NEAR(e.peakHoldDb(E::kLeft), 20.0f * std::log10(0.2f), 1e-4f);
    };
    clearsAllHolds([&] { e.resetPeakHold(); });
    clearsAllHolds([&] { e.setInterSamplePeak(true); });
    clearsAllHolds([&] { e.setInterSamplePeak(false); });
}

TEST(AnalyzerEngine, SpectrumOffClearsAtOnceAndRefillsFromNewAudioOnly) {
    const std::vector<float> loud = noise(3 * E::kHop, 5, 0.8f);
    const std::vector<float> silence(2 * E::kHop, 0.0f);
    E e;
    e.setSlowAveraging(true);
    feed(e, loud, loud);
    EXPECT_GT(*std::max_element(e.spectrumLeft(), e.spectrumLeft() + E::kBins), 1e-5f);

    e.setSpectrumOn(false);
    auto atFloor = [&] {
        return std::all_of(e.spectrumLeft(), e.spectrumLeft() + E::kBins,
                           [](float p) { return p == E::kSpectrumFloor; }) &&
               std::all_of(e.spectrumRight(), e.spectrumRight() + E::kBins,
                           [](float p) { return p == E::kSpectrumFloor; });
    };
    EXPECT_TRUE(atFloor());
    const std::uint32_t frame = e.spectrumFrame();
    feed(e, loud, loud);  // meters run on, the spectrum stays empty
    EXPECT_TRUE(atFloor());
    EXPECT_EQ(e.spectrumFrame(), frame);
    EXPECT_GT(e.peakLevel(E::kLeft), 0.5f);

    // Back on with silence: nothing of the audio before or during the pause shows.
    e.setSpectrumOn(true);
    feed(e, silence, silence);
    EXPECT_GT(e.spectrumFrame(), frame);
    EXPECT_LT(*std::max_element(e.spectrumLeft(), e.spectrumLeft() + E::kBins), 1e-14f);
    feed(e, loud, loud);
    EXPECT_GT(*std::max_element(e.spectrumLeft(), e.spectrumLeft() + E::kBins), 1e-5f);
}

TEST(AnalyzerEngine, BypassFreezesAndReleasingItStartsAfresh) {
    const std::vector<float> x = noise(5000, 7, 0.7f);
    E e;
    feed(e, x, x);
    const std::vector<float> frozen = readings(e);
    const std::uint32_t frame = e.spectrumFrame();
    e.setBypassed(true);
    feed(e, x, x);
    EXPECT_EQ(readings(e), frozen);
    EXPECT_EQ(e.spectrumFrame(), frame);
    e.setBypassed(false);
    for (int m = 0; m < E::kNumMeters; ++m) {
        EXPECT_EQ(e.peakLevel(m), E::kLevelFloor);
        EXPECT_EQ(e.peakHold(m), E::kLevelFloor);
    }
    EXPECT_EQ(e.spectrumLeft()[10], E::kSpectrumFloor);
}

// The meters written straight from the design, one channel at a time.
struct ReferenceMeters {
    struct Channel {
        float peak = 1e-8f, hold = 1e-8f, meanSquare = 1e-16f;
        int count = 0;
        float ring[8] = {};
    };
    Channel ch[4];
    float ll = 1e-8f, rr = 1e-16f, lr = 1e-16f;
    int ispPos = 0;
    std::vector<float> noise;  // the engine's cycle of -160 dB offsets
    size_t noisePos = 0;
    float decay, rmsCoef, corrCoef;
    int holdSamples;
    bool isp, aes17;

    ReferenceMeters(float fs, bool isp, bool aes17)
        : decay(static_cast<float>(std::exp(-1.0 / fs))),
          rmsCoef(static_cast<float>(std::exp(-1.0 / (0.25 * fs)))),
          corrCoef(static_cast<float>(std::exp(-1.0 / (0.15 * fs)))),
          holdSamples(static_cast<int>(10.0f * fs)),
          isp(isp),
          aes17(aes17) {
        NoiseSource source;
        source.setLevel(-160.0f);
        for (int k = 0; k < 2 * E::kNoisePairs; ++k) noise.push_back(source.nextSample());
    }

    void process(float xL, float xR) {
        const float inL = noise[noisePos] + xL;
        const float inR = noise[noisePos + 1] + xR;
        noisePos = (noisePos + 2) % noise.size();
        const float c = corrCoef;
        ll = (inL * inL + 1e-8f) * (1 - c) + c * ll;
        rr = (inR * inR + 1e-16f) * (1 - c) + c * rr;
        lr = (inL * inR + 1e-16f) * (1 - c) + c * lr;
        const float x[4] = {inL, inR, (inL + inR) * 0.5f, (inL - inR) * 0.5f};
        const float squares[4] = {inL * inL, inR * inR, (inL + inR) * (inL + inR) * 0.25f,
                                  (inL - inR) * (inL - inR) * 0.25f};
        const int pos = ispPos;
        if (isp) ispPos = (ispPos + 1) & 7;
        for (int m = 0; m < 4; ++m) {
            Channel& h = ch[m];
            float a = std::abs(x[m]);
            if (isp) {
                h.ring[pos] = x[m];
                float s = 0.0f;
                for (int k = 0; k < 8; ++k) s += E::kIspTap[k] * h.ring[(ispPos + k) & 7];
                a = std::max(a, std::abs(s));
            }
            if (a > h.peak) {
                h.peak = a;
                if (a > h.hold) {
                    h.hold = a;
                    h.count = holdSamples;
                }
            } else if (h.peak > 1e-8f) {
                h.peak *= decay;
            }
            const int old = h.count--;
            if (old < 0) {
                h.hold = a;
                h.count = holdSamples;
            }
            const float g = aes17 ? 2.0f : 1.0f;
            h.meanSquare = (1e-16f + squares[m] * g) * (1 - rmsCoef) + rmsCoef * h.meanSquare;
        }
    }
};

TEST(AnalyzerEngine, BlockPathMatchesThePerFrameDesign) {
    // Loud bursts over a quiet bed, so peaks rise, decay, hold and expire (the hold is
    // 50000 frames at 5 kHz).
    const int frames = 120000;
    std::vector<float> left = noise(frames, 11, 0.05f), right = noise(frames, 12, 0.05f);
    for (int n = 0; n < frames; n += 9973) {
        left[n] = 0.9f * static_cast<float>(n % 3) / 2.0f;
        right[n + 1] = -0.7f;
    }
    // A new maximum met again a few frames later: the hold restarts from the first.
    left[30000] = left[30020] = 0.95f;
    right[30003] = right[30004] = -0.97f;
    // Now and then a block with samples the engine has to clean first.
    for (int n = 5000; n < frames; n += 20011) {
        left[n] = 3e5f;
        right[n + 7] = std::numeric_limits<float>::quiet_NaN();
    }
    for (bool isp : {false, true}) {
        for (bool aes17 : {false, true}) {
            E e;
            e.updateSampleRate(5000.0f);
            e.setInterSamplePeak(isp);
            e.setAes17(aes17);
            ReferenceMeters ref(5000.0f, isp, aes17);
            int checked = 0;
            for (int start = 0; start < frames; start += 333) {
                const int n = std::min(333, frames - start);
                e.analyse(left.data() + start, right.data() + start, n);
                for (int i = start; i < start + n; ++i)
                    ref.process(cleanSample(left[i]), cleanSample(right[i]));
                for (int m = 0; m < 4; ++m) {
                    ASSERT_EQ(e.peakLevel(m), ref.ch[m].peak) << start << m;
                    ASSERT_EQ(e.peakHold(m), ref.ch[m].hold) << start << m;
                    ASSERT_EQ(e.rmsLevel(m), std::sqrt(ref.ch[m].meanSquare)) << start << m;
                }
                ASSERT_EQ(e.correlation(), ref.lr / std::sqrt(ref.ll * ref.rr)) << start;
                ++checked;
            }
            EXPECT_GT(checked, 300);
        }
    }
}

TEST(AnalyzerEngine, BlockSizeAndPrecisionInvariance) {
    const int frames = 9000;
    const std::vector<float> left = noise(frames, 21, 0.6f), right = noise(frames, 22, 0.3f);
    auto run = [&](int block, bool isp) {
        E e;
        e.setInterSamplePeak(isp);
        e.setSlowAveraging(false);
        feed(e, left, right, block);
        return readings(e);
    };
    for (bool isp : {false, true}) {
        const std::vector<float> whole = run(frames, isp);
        for (int block : {1, 7, 64, 4096}) EXPECT_EQ(run(block, isp), whole) << block;

        // Doubles are measured as the floats they round to.
        std::vector<double> dl(left.begin(), left.end()), dr(right.begin(), right.end());
        for (size_t n = 0; n < dl.size(); n += 2) {
            dl[n] *= 1.0 + 1e-9;  // far inside half a float step
            dr[n] *= 1.0 - 1e-9;
        }
        E d;
        d.setInterSamplePeak(isp);
        d.setSlowAveraging(false);
        feed(d, dl, dr, 100);
        EXPECT_EQ(readings(d), whole);
    }
}

TEST(AnalyzerEngine, HostileInputAndEmptyBlocks) {
    const std::vector<float> x = noise(4096, 31, 0.5f);
    E e;
    E untouched;
    feed(e, x, x);
    feed(untouched, x, x);
    // A zero-length block reads nothing and changes nothing.
    e.analyse<float>(nullptr, nullptr, 0);
    e.processBlock<double>(nullptr, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(readings(e), readings(untouched));

    // NaN and infinities do not reach the meters; the audio still passes bit for bit.
    std::vector<double> burst(300, std::numeric_limits<double>::quiet_NaN());
    for (size_t n = 0; n < burst.size(); n += 3) burst[n] = (n & 1) ? INFINITY : -1e300;
    std::vector<double> out(burst.size());
    std::vector<double> outR(burst.size());
    e.processBlock(burst.data(), burst.data(), out.data(), outR.data(), 300);
    EXPECT_EQ(0, std::memcmp(out.data(), burst.data(), out.size() * sizeof(double)));
    EXPECT_EQ(e.peakHold(E::kLeft), kInputSampleLimit);  // -1e300 limited, not infinite
    feed(e, x, x);
    for (float r : readings(e)) ASSERT_TRUE(std::isfinite(r));

    // Doubles just past the limit read as the limit, whether they narrow to it or beyond;
    // the same block as cleaned floats reads the same, at every offset in the block.
    for (int at = 0; at < 6; ++at) {
        std::vector<double> edge(9, 0.25);
        edge[at] = 1e5 + 1e-3;  // narrows to the limit
        edge[at + 1] = -(1e5 + 0.01);
        edge[at + 3] = 1e5;
        std::vector<float> cleaned(edge.size());
        for (size_t n = 0; n < edge.size(); ++n) cleaned[n] = cleanSample(edge[n]);
        E doubles, floats;
        feed(doubles, edge, edge, 9);
        feed(floats, cleaned, cleaned, 9);
        EXPECT_EQ(readings(doubles), readings(floats)) << at;
        EXPECT_EQ(doubles.peakHold(E::kLeft), kInputSampleLimit) << at;
    }

    // In place, the buffers are left exactly as they were.
    std::vector<double> inPlace(x.begin(), x.end());
    const std::vector<double> copy = inPlace;
    e.processBlock(inPlace.data(), inPlace.data(), inPlace.data(), inPlace.data(), 4096);
    EXPECT_EQ(inPlace, copy);
}

}  // namespace
}  // namespace qx
