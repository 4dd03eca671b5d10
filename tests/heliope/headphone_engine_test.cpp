// The stereo headphone renderer heard from outside: channel matrix, interaural delay,
// distance law, cabinets against their designs, room and "Next door", bypass, sample
// rates and the meters' peak hold.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "cabinet_designs.h"
#include "effects/heliope/headphone_engine.h"
#include "render.h"

namespace qx {
namespace {

using test::Channels;
using test::kNoiseFloor;
using test::kRounding;
using test::kStereoStages;
constexpr float kFs = 44100.0f;

std::unique_ptr<HeadphoneEngine> anechoic(bool itds = true) {
    auto e = std::make_unique<HeadphoneEngine>();
    e->setRoomEnabled(false);
    e->setItdEnabled(itds);
    return e;
}

TEST(HeadphoneEngine, ChannelMatrix) {
    const int n = 4096;
    const std::vector<float> music = test::noise(n, 0.5f, 1);

    // Identical channels: their difference is only the input noise; their sum is loud.
    for (int mode : {HeadphoneEngine::kMonoDifference, HeadphoneEngine::kMonoSum}) {
        HeadphoneEngine e;
        e.setChannelMode(mode);
        const Channels out = test::render(e, {music, music});
        if (mode == HeadphoneEngine::kMonoDifference) {
            EXPECT_LT(test::peak(out[0]), kNoiseFloor);
            EXPECT_LT(test::peak(out[1]), kNoiseFloor);
        } else {
            EXPECT_GT(test::rms(out[0]), 0.05);
        }
    }

    // "L only": the right input is replaced by fresh noise, not zero and not the signal.
    for (int mode : {HeadphoneEngine::kLeftOnly, HeadphoneEngine::kRightOnly}) {
        const int dropped = mode == HeadphoneEngine::kLeftOnly ? 1 : 0;
        auto e = anechoic();
        e->setChannelMode(mode);
        int nonZero = 0;
        bool bounded = true;
        Channels in = test::silence(2, 1);
        std::vector<float> heard(n);
        for (int i = 0; i < n; ++i) {
            in[dropped][0] = music[i];
            const Channels out = test::render(*e, in, 1);
            heard[i] = out[0][0];
            const float x = e->frameInput(dropped);
            nonZero += x != 0.0f;
            bounded &= std::fabs(x) <= 1e-8f;
        }
        EXPECT_GT(nonZero, n / 2) << mode;
        EXPECT_TRUE(bounded) << mode;
        EXPECT_LT(test::peak(heard), kNoiseFloor) << mode;
    }

    // Swapping the channels swaps the ears.
    const std::vector<float> other = test::noise(n, 0.3f, 2);
    HeadphoneEngine straight, swapped;
    swapped.setChannelMode(HeadphoneEngine::kSwap);
    const Channels a = test::render(straight, {music, other});
    const Channels b = test::render(swapped, {other, music});
    for (int i = 0; i < n; i += 17) {
        ASSERT_NEAR(a[0][i], b[0][i], kRounding);
        ASSERT_NEAR(a[1][i], b[1][i], kRounding);
    }
}

TEST(HeadphoneEngine, CrosstalkIsDelayedByTheHeadSize) {
    const int n = 2048;
    auto reference = anechoic(false);
    reference->setChannelMode(HeadphoneEngine::kLeftOnly);
    const Channels direct = test::render(*reference, {test::impulse(n), std::vector<float>(n)});
    EXPECT_EQ(test::onset(direct[0], 1e-3f), 0);
    EXPECT_EQ(test::onset(direct[1], 1e-3f), 0);  // filtered but not delayed

    const struct {
        float headSize;
        int samples;
    } cases[] = {{0.0f, 6}, {0.5f, 9}, {1.0f, 13}};
    for (const auto& c : cases) {
        auto e = anechoic(true);
        e->setChannelMode(HeadphoneEngine::kLeftOnly);
        e->setHeadSize(c.headSize);
        const Channels out = test::render(*e, {test::impulse(n), std::vector<float>(n)});
        EXPECT_EQ(test::onset(out[0], 1e-3f), 0) << c.headSize;
        EXPECT_EQ(test::onset(out[1], 1e-3f), c.samples) << c.headSize;
        // The same crosstalk, only later.
        for (int i = 0; i + c.samples < n; i += 7)
            ASSERT_NEAR(out[1][i + c.samples], direct[1][i], kNoiseFloor) << c.headSize;
    }

    // A head-size change keeps what the delay holds: no dropout on the far ear.
    auto e = anechoic(true);
    e->setChannelMode(HeadphoneEngine::kLeftOnly);
    e->setHeadSize(0.0f);
    test::render(*e, {test::sine(1000, 0.5f, 300.0, kFs), std::vector<float>(1000)});
    e->setHeadSize(1.0f);
    const DelayLine& line = e->headEntry(0).itdDelay;
    ASSERT_EQ(line.length(), 13);
    double held = 0.0;
    for (int tap = 0; tap < 13; ++tap) held = std::max(held, double(std::fabs(line.readTap(tap))));
    EXPECT_GT(held, 0.05);
}

TEST(HeadphoneEngine, DistanceLaw) {
    const struct {
        float metres;
        float ipsi, contra;
    } cases[] = {{1.0f, 1.046448f, 0.960829f},
                 {2.0f, 0.5f, 0.5f},
                 {4.0f, 0.25f, 0.25f},
                 {0.5f, 1.046448f, 0.960829f}};  // held to 1 m
    for (const auto& c : cases) {
        HeadphoneEngine e;
        e.setDistance(c.metres);
        EXPECT_NEAR(e.frontGains().ipsi, c.ipsi, 1e-5f) << c.metres;
        EXPECT_NEAR(e.frontGains().contra, c.contra, 1e-5f) << c.metres;
    }
    // The two branches meet at 2 m.
    HeadphoneEngine e;
    e.setDistance(1.9999f);
    EXPECT_NEAR(e.frontGains().ipsi, 0.5f, 1e-4f);
    EXPECT_NEAR(e.frontGains().contra, 0.5f, 1e-4f);

    // Heard: for a source on one side, the near ear gains on the far ear by
    // ipsi/contra at every frequency (the presence shelf acts on both paths).
    const int n = 8192;
    double ratio[2][3];
    const double hz[3] = {200.0, 1000.0, 5000.0};
    for (int d = 0; d < 2; ++d) {
        auto r = anechoic(false);
        r->setChannelMode(HeadphoneEngine::kLeftOnly);
        r->setDistance(d == 0 ? 1.0f : 2.0f);
        const Channels out = test::render(*r, {test::impulse(n), std::vector<float>(n)});
        for (int k = 0; k < 3; ++k)
            ratio[d][k] =
                test::magnitudeAt(out[0], hz[k], kFs) / test::magnitudeAt(out[1], hz[k], kFs);
    }
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(ratio[0][k] / ratio[1][k], 1.046448 / 0.960829, 2e-4);
}

// A noise burst, then 50 ms of silence: the direct sound has died out (cabinet 2 has no
// 10 Hz highpass) and only the room still rings.
void ringingRoom(HeadphoneEngine& e) {
    e.setCabinet(2);
    e.setReverbTime(0.6f);
    const std::vector<float> burst = test::noise(4410, 0.5f, 3);
    test::render(e, {burst, burst});
    test::render(e, test::silence(2, 2205));
}

std::vector<float> leftImpulseResponse(int cabinet, int frames) {
    auto e = anechoic(false);
    e->setChannelMode(HeadphoneEngine::kLeftOnly);
    e->setCabinet(cabinet);
    return test::render(*e, {test::impulse(frames), std::vector<float>(frames)})[0];
}

// Measured through the whole engine relative to the reference cabinet (the head filters
// cancel), against the ratio of the designed responses.
TEST(HeadphoneEngine, CabinetResponsesMatchTheirDesigns) {
    const int n = 65536;
    const double hz[] = {30, 42, 100, 250, 600, 1000, 1400, 2700, 4000, 7000, 11000, 15000, 19000};
    const std::vector<float> reference = leftImpulseResponse(0, n);
    for (int cabinet = 1; cabinet < 12; ++cabinet) {
        const std::vector<float> ir = leftImpulseResponse(cabinet, n);
        for (double f : hz) {
            const double measured = 20.0 * std::log10(test::magnitudeAt(ir, f, kFs) /
                                                      test::magnitudeAt(reference, f, kFs));
            const double magnitude = test::designedMagnitude(kStereoStages[cabinet], f, kFs);
            const double designed =
                20.0 * std::log10(magnitude / test::designedMagnitude(kStereoStages[0], f, kFs));
            EXPECT_NEAR(measured, designed, test::responseTolerance(f, magnitude))
                << "cabinet " << cabinet << " at " << f << " Hz";
        }
    }
    // The reference itself: flat within a few tenths of a dB over the audio band.
    for (double f : {100.0, 1000.0, 10000.0})
        EXPECT_NEAR(20.0 * std::log10(test::designedMagnitude(kStereoStages[0], f, kFs)), 0.0, 0.3)
            << f;
    // Unknown indices sound exactly like the reference.
    for (int cabinet : {12, 99, -1})
        EXPECT_EQ(leftImpulseResponse(cabinet, 4096), leftImpulseResponse(0, 4096));
}

TEST(HeadphoneEngine, RedesignsClearTheResonanceAndCabinetChangesCutTheTail) {
    // "Near-field monitors F": the 42 Hz resonance starts from silence at every redesign,
    // the other stages keep their state.
    HeadphoneEngine e;
    e.setCabinet(7);
    const std::vector<float> tone = test::sine(4410, 0.5f, 42.0, kFs);
    const std::function<void()> redesigns[] = {[&] { e.setNextDoor(false); },
                                               [&] { e.setSampleRate(48000.0f); },
                                               [&] { e.setCabinet(7); }};
    for (const auto& redesign : redesigns) {
        test::render(e, {tone, tone});
        ASSERT_NE(e.cabinetChain(0).stage2.state1(), 0.0f);
        redesign();
        EXPECT_EQ(e.cabinetChain(0).stage2.state1(), 0.0f);
        EXPECT_EQ(e.cabinetChain(0).stage2.state2(), 0.0f);
        EXPECT_NE(e.cabinetChain(0).stage3.state1(), 0.0f);
    }

    // A cabinet change while the room rings after the music stopped cuts the tail;
    // "Room size" and "Reverb time" leave it. (An emptied reverb still gives out what its
    // filter memories held: a 1 ms decay of the low narrowing, then a faint new tail from
    // the comb damping, over 40 dB down.)
    const std::function<void(HeadphoneEngine&)> changes[] = {
        [](HeadphoneEngine&) {}, [](HeadphoneEngine& x) { x.setCabinet(5); },
        [](HeadphoneEngine& x) { x.setRoomSize(0.2f); },
        [](HeadphoneEngine& x) { x.setReverbTime(0.4f); }};
    double tail[4];
    for (int k = 0; k < 4; ++k) {
        HeadphoneEngine x;
        ringingRoom(x);
        changes[k](x);
        tail[k] = test::rms(test::render(x, test::silence(2, 4410))[0], 441);
    }
    EXPECT_GT(tail[0], 1e-2);
    EXPECT_LT(tail[1], 0.01 * tail[0]);
    EXPECT_GT(tail[2], 0.5 * tail[0]);
    EXPECT_GT(tail[3], 0.5 * tail[0]);
}

TEST(HeadphoneEngine, RoomSizeAndNextDoor) {
    // With "Next door" only the room is heard; its first output is the early reflection,
    // 8 ms late at room size 1 (4 ms at 0.5) and at the reverb's floor level, not off.
    const int n = 1200;
    const auto nextDoorResponse = [&](float roomSize, bool roomEnabled) {
        HeadphoneEngine e;
        e.setNextDoor(true);
        e.setRoomEnabled(roomEnabled);
        e.setRoomSize(roomSize);
        return test::render(e, {test::impulse(n), test::impulse(n)})[0];
    };
    const std::vector<float> full = nextDoorResponse(1.0f, true);
    const std::vector<float> half = nextDoorResponse(0.5f, true);
    const std::vector<float> none = nextDoorResponse(0.0f, true);
    EXPECT_EQ(test::onset(full, 1e-30f), 352);  // trunc(0.008 * 44100)
    EXPECT_EQ(test::onset(half, 1e-30f), 176);
    EXPECT_EQ(test::onset(none, 1e-30f), 0);
    // (Windows end before the first comb output, about 20 ms in.)
    const double level = test::peak(full, 352, 880) / test::peak(none, 0, 528);
    EXPECT_GT(level, 1e-7);
    EXPECT_LT(level, 1e-5);

    // "Enable room" off does not silence "Next door".
    const std::vector<float> roomOff = nextDoorResponse(0.5f, false);
    EXPECT_EQ(roomOff, half);
    HeadphoneEngine e;
    e.setNextDoor(true);
    e.setRoomEnabled(false);
    const Channels out =
        test::render(e, {test::noise(22050, 0.5f, 4), test::noise(22050, 0.5f, 5)});
    EXPECT_GT(test::rms(out[0], 4410), 1e-3);
    EXPECT_GT(test::rms(out[1], 4410), 1e-3);
}

TEST(HeadphoneEngine, BypassPassesTheDryInputAndClearsTheRoom) {
    const std::vector<float> l = test::noise(8820, 0.7f, 6), r = test::noise(8820, 0.4f, 7);
    HeadphoneEngine e;
    test::render(e, {l, r});
    e.setBypassed(true);
    const Channels dry = test::render(e, {l, r}, 100);
    EXPECT_EQ(dry[0], l);
    EXPECT_EQ(dry[1], r);
    EXPECT_FLOAT_EQ(e.heldPeakOf(0), float(test::peak(l)) + 1e-8f);
    EXPECT_FLOAT_EQ(e.heldPeakOf(1), float(test::peak(r)) + 1e-8f);
    EXPECT_GE(e.peakLevelOf(0), std::fabs(l.back()) + 1e-8f);

    // Switching bypass empties the ringing room.
    HeadphoneEngine cut, ringing;
    ringingRoom(cut);
    ringingRoom(ringing);
    cut.setBypassed(true);
    cut.setBypassed(false);
    const double rest = test::rms(test::render(cut, test::silence(2, 4410))[0], 441);
    const double tail = test::rms(test::render(ringing, test::silence(2, 4410))[0], 441);
    EXPECT_GT(tail, 1e-2);
    EXPECT_LT(rest, 0.01 * tail);
}

TEST(HeadphoneEngine, SampleRates) {
    HeadphoneEngine e;
    for (float bad : {0.0f, -44100.0f, std::nanf("")}) {
        e.setSampleRate(bad);
        EXPECT_EQ(e.sampleRate(), 100.0f);
    }
    EXPECT_EQ(e.holdSamples(), 1000);
    EXPECT_FLOAT_EQ(e.meterDecay(), std::exp(-1.0f / 100.0f));
    EXPECT_EQ(e.headEntry(0).itdDelay.length(), 0);  // trunc(1.5 * 0.00015 * 100)
    e.setSampleRate(96000.0f);
    EXPECT_EQ(e.headEntry(0).itdDelay.length(), 21);
    // Above 384 kHz the engine runs as at 384 kHz, where its filters are still stable.
    e.setSampleRate(1.0e7f);
    EXPECT_EQ(e.sampleRate(), 384000.0f);
    EXPECT_EQ(e.headEntry(0).itdDelay.length(), 86);  // trunc(1.5 * 0.00015 * 384000)
    e.setHeadSize(1.0f);
    EXPECT_EQ(e.headEntry(0).itdDelay.length(), 115);  // the capacity

    // At low rates filters designed above Nyquist would blow up; every cabinet must stay
    // bounded at any rate.
    for (float rate : {100.0f, 8000.0f, 22050.0f, 32000.0f, 44100.0f}) {
        for (int cabinet = 0; cabinet < 12; ++cabinet) {
            HeadphoneEngine x;
            x.setSampleRate(rate);
            x.setCabinet(cabinet);
            const int n = std::max(4096, int(rate));
            const Channels out =
                test::render(x, {test::noise(n, 0.5f, 8), test::noise(n, 0.5f, 9)});
            EXPECT_LT(test::peak(out[0]), 100.0) << rate << " Hz, cabinet " << cabinet;
            EXPECT_LT(test::peak(out[1]), 100.0) << rate << " Hz, cabinet " << cabinet;
        }
    }
}

TEST(HeadphoneEngine, PeakHold) {
    // At 1 kHz ten seconds are 10000 frames. Bypassed, the meters see the input as it is.
    HeadphoneEngine e;
    e.setSampleRate(1000.0f);
    e.setBypassed(true);
    EXPECT_NEAR(e.heldPeakDb(0), -160.0f, 1e-3f);

    // A quiet peak: held for ten seconds, then down to the floor with the meter.
    const int frames = 20003;
    Channels in = test::silence(2, frames);
    in[0][0] = 1e-4f;  // -80 dB
    in[1][0] = 0.5f;   // loud: the meter has not fallen to the floor in ten seconds
    std::vector<float> held0, held1;
    for (int i = 0; i < frames; ++i) {
        test::render(e, {{in[0][i]}, {in[1][i]}}, 1);
        held0.push_back(e.heldPeakDb(0));
        held1.push_back(e.heldPeakOf(1));
    }
    EXPECT_NEAR(held0[10000], -80.0f, 0.01f);
    EXPECT_NEAR(held0[10001], -160.0f, 0.01f);
    EXPECT_FLOAT_EQ(held1[10000], 0.5f + 1e-8f);
    EXPECT_NEAR(held1[10001] / (0.5 * std::exp(-10.0)), 1.0, 0.01);
    // ... and ten seconds later the floor.
    EXPECT_NEAR(held1[20001], 0.5 * std::exp(-10.0), 1e-6);
    EXPECT_NEAR(held1[20002], 1e-8f, 1e-10f);

    // The editor's click releases the holds on the next frame.
    test::render(e, {{0.25f}, {0.25f}}, 1);
    test::render(e, test::silence(2, 100), 1);
    EXPECT_FLOAT_EQ(e.heldPeakOf(0), 0.25f + 1e-8f);
    e.releaseHolds();
    test::render(e, test::silence(2, 1), 1);
    EXPECT_LT(e.heldPeakOf(0), 0.25f);
    EXPECT_FLOAT_EQ(e.heldPeakOf(0), e.peakLevelOf(0));

    // Outputs beyond the second read as the floor.
    EXPECT_EQ(e.peakLevelOf(2), 1e-8f);
    EXPECT_EQ(e.heldPeakOf(-1), 1e-8f);
    EXPECT_EQ(e.heldPeakDb(2), -160.0f);
}

}  // namespace
}  // namespace qx
