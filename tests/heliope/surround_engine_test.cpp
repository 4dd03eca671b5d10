// The 5.1 headphone renderer heard from outside: which ears each input reaches and when,
// the channel modes, bass management, the cabinets against their designs, the room
// cleared by head settings, and bypass.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <memory>

#include "cabinet_designs.h"
#include "effects/heliope/surround_headphone_engine.h"
#include "render.h"

namespace qx {
namespace {

using test::Channels;
using test::kNoiseFloor;
using test::kRounding;
using Engine = SurroundHeadphoneEngine;
constexpr float kFs = 44100.0f;

std::unique_ptr<Engine> anechoic() {
    auto e = std::make_unique<Engine>();
    e->setRoomEnabled(false);
    return e;
}

// Six silent inputs with `signal` on one of them.
Channels only(int input, const std::vector<float>& signal) {
    Channels in = test::silence(6, static_cast<int>(signal.size()));
    in[input] = signal;
    return in;
}

TEST(SurroundHeadphoneEngine, EachInputReachesItsEars) {
    // Onsets at 44.1 kHz with head size 0.5: the front crosstalk 9 samples late, the
    // surround crosstalk 22; centre and LFE reach both ears at once and equally.
    const struct {
        int input;
        int left, right;
    } cases[] = {{Engine::kL, 0, 9},   {Engine::kR, 9, 0},   {Engine::kC, 0, 0},
                 {Engine::kLfe, 0, 0}, {Engine::kLs, 0, 22}, {Engine::kRs, 22, 0}};
    const int n = 2048;
    for (const auto& c : cases) {
        auto e = anechoic();
        const Channels out = test::render(*e, only(c.input, test::impulse(n)));
        EXPECT_EQ(test::onset(out[0], 1e-5f), c.left) << c.input;
        EXPECT_EQ(test::onset(out[1], 1e-5f), c.right) << c.input;
        if (c.input == Engine::kC || c.input == Engine::kLfe) {
            for (int i = 0; i < n; i += 5) ASSERT_NEAR(out[0][i], out[1][i], kRounding) << c.input;
        }
    }

    // The delay lengths follow head size and "Generate ITDs".
    Engine e;
    const struct {
        float headSize;
        int front, surround;
    } lengths[] = {{0.0f, 6, 19}, {0.5f, 9, 22}, {1.0f, 13, 25}};
    for (const auto& l : lengths) {
        e.setHeadSize(l.headSize);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(e.headEntry(k).itdDelay.length(), k < 2 ? l.front : l.surround) << k;
    }
    e.setItdEnabled(false);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(e.headEntry(k).itdDelay.length(), 0);

    // Distance law of the surround pair; both pairs meet at 2 m.
    e.setDistance(1.0f);
    EXPECT_NEAR(e.surroundGains().ipsi, 0.915f / 0.83f, 1e-5f);
    EXPECT_NEAR(e.surroundGains().contra, 1.085f / 1.17f, 1e-5f);
    EXPECT_NEAR(e.frontGains().ipsi, 0.9575f / 0.915f, 1e-5f);
    e.setDistance(2.0f);
    EXPECT_EQ(e.surroundGains().ipsi, 0.5f);
    EXPECT_EQ(e.surroundGains().contra, 0.5f);
}

TEST(SurroundHeadphoneEngine, ChannelModes) {
    constexpr float k = 0.70710677f;
    const float x[6] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    constexpr float S = 0.0f;  // silenced: replaced by noise at -160 dB
    const float expected[12][6] = {
        {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f},
        {0.1f + k * 1.2f, 0.2f + k * 1.3f, S, S, S, S},
        {S, S, 1.0f + k * 1.1f, S, S, S},
        {0.3f, 0.4f, 0.3f, S, 0.5f, 0.6f},
        {0.1f, S, S, S, S, S},
        {S, 0.2f, S, S, S, S},
        {S, S, 0.3f, S, S, S},
        {S, S, S, 0.4f, S, S},
        {S, S, S, S, 0.5f, S},
        {S, S, S, S, S, 0.6f},
        {0.1f, 0.2f, 0.3f, S, S, S},
        {S, S, S, S, 0.5f, 0.6f},
    };
    Engine e;
    for (int mode = 0; mode < 13; ++mode) {
        e.setChannelMode(mode);
        for (int c = 0; c < 6; ++c) e.setFrameInput(c, x[c]);
        e.processFrame();
        for (int c = 0; c < 6; ++c) {
            const float want = mode < 12 ? expected[mode][c] : x[c];  // unknown: unchanged
            EXPECT_NEAR(e.frameInput(c), want, want == S ? 1e-8f : 1e-6f) << mode << " " << c;
        }
    }

    // The ITU downmix of a signal on C alone feeds 0.707 C to both front chains: the same
    // as 0.707 C on L and R.
    const int n = 4096;
    const std::vector<float> music = test::noise(n, 0.5f, 11);
    std::vector<float> scaled(n);
    for (int i = 0; i < n; ++i) scaled[i] = k * music[i];
    Engine downmix, direct;
    downmix.setChannelMode(Engine::kItuDownmix);
    const Channels a = test::render(downmix, only(Engine::kC, music));
    Channels in = test::silence(6, n);
    in[Engine::kL] = scaled;
    in[Engine::kR] = scaled;
    const Channels b = test::render(direct, in);
    for (int i = 0; i < n; i += 3) {
        ASSERT_NEAR(a[0][i], b[0][i], kRounding) << i;
        ASSERT_NEAR(a[1][i], b[1][i], kRounding) << i;
    }
    EXPECT_GT(test::rms(a[0]), 0.05);
}

TEST(SurroundHeadphoneEngine, LfeOnlyReachesBothEarsLowPassed) {
    const int n = 8192;
    std::vector<float> lfe = test::sine(n, 0.4f, 60.0, kFs);
    const std::vector<float> high = test::sine(n, 0.4f, 2000.0, kFs);
    for (int i = 0; i < n; ++i) lfe[i] += high[i];
    const auto run = [&](int cabinet, bool withLfe) {
        auto e = anechoic();
        e->setChannelMode(Engine::kLfeOnly);
        e->setCabinet(cabinet);
        Channels in(6, test::noise(n, 0.8f, 12));  // every other input is dropped
        in[Engine::kLfe] = withLfe ? lfe : std::vector<float>(n);
        return test::render(*e, in);
    };
    // "Small band-limited speakers": the LFE stages low-pass at 190 and 250 Hz.
    const Channels small = run(1, true);
    for (int i = 0; i < n; i += 5) ASSERT_NEAR(small[0][i], small[1][i], kRounding);
    const double low = test::magnitudeAt(small[0], 60.0, kFs, 2048);
    EXPECT_GT(low, 100.0);
    EXPECT_LT(test::magnitudeAt(small[0], 2000.0, kFs, 2048) / low, 2e-3);
    // The reference's LFE stages pass 2 kHz.
    const Channels flat = run(0, true);
    EXPECT_GT(
        test::magnitudeAt(flat[0], 2000.0, kFs, 2048) / test::magnitudeAt(flat[0], 60.0, kFs, 2048),
        0.3);
    // Nothing of the other inputs.
    EXPECT_LT(test::peak(run(1, false)[0]), kNoiseFloor);
}

TEST(SurroundHeadphoneEngine, SubSatelliteModelsManageTheBass) {
    // 100 Hz on L alone: below the satellites' highpass. With "Sub / sat (low-end)" the
    // sum of all inputs feeds the LFE chain, so both ears hear it nearly equally; with
    // "Small band-limited speakers" (nearly the same satellites, no bass management) only
    // the weak crosstalk reaches the right ear.
    const int n = 8192;
    const std::vector<float> bass = test::sine(n, 0.5f, 100.0, kFs);
    double right[2], left[2];
    const int cabinets[2] = {12, 1};
    for (int k = 0; k < 2; ++k) {
        auto e = anechoic();
        e->setCabinet(cabinets[k]);
        const Channels out = test::render(*e, only(Engine::kL, bass));
        left[k] = test::magnitudeAt(out[0], 100.0, kFs, 2048);
        right[k] = test::magnitudeAt(out[1], 100.0, kFs, 2048);
    }
    EXPECT_GT(right[0] / left[0], 0.5);
    EXPECT_GT(right[0], 3.0 * right[1]);
    EXPECT_GT(left[0], 2.0 * left[1]);
}

std::vector<float> impulseResponse(int cabinet, int mode, int input, int frames) {
    auto e = anechoic();
    e->setChannelMode(mode);
    e->setCabinet(cabinet);
    return test::render(*e, only(input, test::impulse(frames)))[0];
}

// Full-range stages heard through L, LFE stages through "LFE only", each relative to the
// reference cabinet and against the designed responses. With bass management L is heard
// through both its own and the LFE chain.
TEST(SurroundHeadphoneEngine, CabinetResponsesMatchTheirDesigns) {
    const int n = 65536;
    const double fullHz[] = {42, 100, 250, 600, 1000, 1400, 4000, 7000, 11000, 15000};
    const double lfeHz[] = {20, 40, 80, 150, 250, 600};
    const std::vector<float> fullReference = impulseResponse(0, Engine::kLOnly, Engine::kL, n);
    const std::vector<float> lfeReference = impulseResponse(0, Engine::kLfeOnly, Engine::kLfe, n);
    using Response = std::function<std::complex<double>(double)>;
    const auto check = [&](const std::vector<float>& ir, const std::vector<float>& ref,
                           const Response& designed, const test::Stages& refStages,
                           const double* hz, int count, int cabinet) {
        for (int i = 0; i < count; ++i) {
            const double magnitude = std::abs(designed(hz[i]));
            if (magnitude < 1e-3) continue;  // too far down to measure above the noise
            const double measured =
                test::magnitudeAt(ir, hz[i], kFs) / test::magnitudeAt(ref, hz[i], kFs);
            const double expected = magnitude / test::designedMagnitude(refStages, hz[i], kFs);
            EXPECT_NEAR(20.0 * std::log10(measured), 20.0 * std::log10(expected),
                        test::responseTolerance(hz[i], magnitude))
                << "cabinet " << cabinet << " at " << hz[i] << " Hz";
        }
    };
    for (int cabinet = 1; cabinet <= 14; ++cabinet) {
        // An unknown index is the reference everywhere, the LFE input included.
        const bool unknown = cabinet == 14;
        const bool bassManaged = cabinet == 12 || cabinet == 13;
        const test::Stages& full = test::surroundFullRangeStages(unknown ? 0 : cabinet);
        const test::Stages& lfe = unknown ? test::kStereoStages[0] : test::kLfeStages[cabinet];
        const Response fullPath = [&](double hz) {
            return test::designedResponse(full, hz, kFs) +
                   (bassManaged ? test::designedResponse(lfe, hz, kFs) : 0.0);
        };
        const Response lfePath = [&](double hz) { return test::designedResponse(lfe, hz, kFs); };
        check(impulseResponse(cabinet, Engine::kLOnly, Engine::kL, n), fullReference, fullPath,
              test::kStereoStages[0], fullHz, 10, cabinet);
        check(impulseResponse(cabinet, Engine::kLfeOnly, Engine::kLfe, n), lfeReference, lfePath,
              test::kLfeStages[0], lfeHz, 6, cabinet);
    }
}

TEST(SurroundHeadphoneEngine, HeadSettingsClearTheRoom) {
    // Here every head setting recomputes everything, which empties the reverb; "Room size"
    // does not. A burst on L and R, then 50 ms of silence: only the room still rings
    // (cabinet 2 has no 10 Hz highpass, so the direct sound has died out).
    Channels in = test::silence(6, 4410);
    in[Engine::kL] = test::noise(4410, 0.5f, 13);
    in[Engine::kR] = in[Engine::kL];
    const std::function<void(Engine&)> changes[] = {
        [](Engine&) {},
        [](Engine& e) { e.setHeadSize(0.8f); },
        [](Engine& e) { e.setCueStrength(0.3f); },
        [](Engine& e) { e.setEarSize(0.9f); },
        [](Engine& e) { e.setDistance(3.0f); },
        [](Engine& e) { e.setItdEnabled(false); },
        [](Engine& e) { e.setRoomSize(0.1f); },
    };
    double tail[7];
    for (int k = 0; k < 7; ++k) {
        Engine e;
        e.setCabinet(2);
        e.setReverbTime(0.6f);
        test::render(e, in);
        test::render(e, test::silence(6, 2205));
        changes[k](e);
        tail[k] = test::rms(test::render(e, test::silence(6, 4410))[0], 441);
    }
    EXPECT_GT(tail[0], 1e-2);
    // What an emptied reverb's filter memories still give out is over 40 dB down.
    for (int k = 1; k < 6; ++k) EXPECT_LT(tail[k], 0.01 * tail[0]) << k;
    EXPECT_GT(tail[6], 0.5 * tail[0]);
}

TEST(SurroundHeadphoneEngine, BypassKeepsLeftAndRightOnly) {
    const int n = 3000;
    Channels in(6);
    for (int c = 0; c < 6; ++c) in[c] = test::noise(n, 0.1f * (c + 1), 20 + c);
    Engine e;
    test::render(e, in);
    e.setBypassed(true);
    const Channels out = test::render(e, in, 77);
    EXPECT_EQ(out[0], in[0]);
    EXPECT_EQ(out[1], in[1]);
    EXPECT_FLOAT_EQ(e.heldPeakOf(0), float(test::peak(in[0])) + 1e-8f);
    EXPECT_FLOAT_EQ(e.heldPeakOf(1), float(test::peak(in[1])) + 1e-8f);
}

}  // namespace
}  // namespace qx
