// The block routine of both renderers: any block length gives the same samples, double
// buffers give the float results, in-place processing, non-finite input, empty blocks,
// and every factory program renders a bounded signal.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "effects/heliope/headphone_engine.h"
#include "effects/heliope/heliope_surround_tables.h"
#include "effects/heliope/surround_headphone_engine.h"
#include "render.h"

namespace qx {
namespace {

using test::Channels;

template <class Engine>
class BlockRoutine : public ::testing::Test {};
using Engines = ::testing::Types<HeadphoneEngine, SurroundHeadphoneEngine>;
TYPED_TEST_SUITE(BlockRoutine, Engines);

template <class Engine>
const EffectDescription& description() {
    return std::is_same_v<Engine, HeadphoneEngine> ? kHeliopeDescription
                                                   : kHeliopeSurroundDescription;
}

template <class Engine>
Channels programme(int frames) {
    Engine e;
    Channels in(e.numInputs());
    for (int c = 0; c < e.numInputs(); ++c) in[c] = test::noise(frames, 0.6f, 30 + c);
    return in;
}

// A setting that runs every stage: room, modulated "Next door" reverb, a channel mode.
template <class Engine>
void configure(Engine& e, bool nextDoor) {
    test::applyProgram(e, description<Engine>(), nextDoor ? 15 : 19);
}

TYPED_TEST(BlockRoutine, AnyBlockLengthGivesTheSameSamples) {
    const Channels in = programme<TypeParam>(9000);
    for (bool nextDoor : {false, true}) {
        TypeParam whole;
        configure(whole, nextDoor);
        const Channels expected = test::render(whole, in, 9000);
        for (int block : {1, 7, 64, 4096}) {
            TypeParam e;
            configure(e, nextDoor);
            EXPECT_EQ(test::render(e, in, block), expected) << block;
        }
    }
}

TYPED_TEST(BlockRoutine, DoubleBuffersGiveTheFloatResults) {
    const Channels in = programme<TypeParam>(5000);
    // Doubles that are not floats: the engine must round them exactly as a float host would.
    std::vector<std::vector<double>> wide(in.size());
    Channels rounded(in.size());
    for (size_t c = 0; c < in.size(); ++c)
        for (float x : in[c]) {
            const double d = x + 1e-12 * (c + 1);
            wide[c].push_back(d);
            rounded[c].push_back(static_cast<float>(d));
        }
    TypeParam single, twice;
    configure(single, false);
    configure(twice, false);
    const Channels expected = test::render(single, rounded, 333);
    std::vector<double> out0(5000), out1(5000);
    std::vector<const double*> ins;
    for (auto& w : wide) ins.push_back(w.data());
    double* outs[2] = {out0.data(), out1.data()};
    twice.processBlock(ins.data(), outs, 5000);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(out0[i], static_cast<double>(expected[0][i])) << i;
        ASSERT_EQ(out1[i], static_cast<double>(expected[1][i])) << i;
    }
}

TYPED_TEST(BlockRoutine, InPlaceProcessing) {
    const Channels in = programme<TypeParam>(2000);
    TypeParam apart, inPlace;
    const Channels expected = test::render(apart, in, 256);
    Channels buffers = in;
    std::vector<const float*> ins;
    for (auto& b : buffers) ins.push_back(b.data());
    float* outs[2] = {buffers[0].data(), buffers[1].data()};
    inPlace.processBlock(ins.data(), outs, 2000);
    EXPECT_EQ(buffers[0], expected[0]);
    EXPECT_EQ(buffers[1], expected[1]);
}

TYPED_TEST(BlockRoutine, NonFiniteBurstLeavesFiniteOutput) {
    Channels in = programme<TypeParam>(20000);
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(), 3.0e38f};
    for (size_t c = 0; c < in.size(); ++c)
        for (int i = 1000; i < 1100; ++i) in[c][i] = bad[(i + c) % 4];
    for (bool nextDoor : {false, true}) {
        TypeParam e;
        configure(e, nextDoor);
        const Channels out = test::render(e, in);
        bool finite = true;
        for (const auto& channel : out)
            for (float x : channel) finite &= std::isfinite(x);
        EXPECT_TRUE(finite);
        EXPECT_TRUE(std::isfinite(e.heldPeakDb(0)) && std::isfinite(e.heldPeakDb(1)));
        EXPECT_GT(test::rms(out[0], 15000), 1e-3);  // and still sounding
    }
}

TYPED_TEST(BlockRoutine, EmptyBlockTouchesNothing) {
    const Channels in = programme<TypeParam>(1000);
    TypeParam touched, untouched;
    test::render(touched, in);
    test::render(untouched, in);
    float sentinel[2] = {123.0f, -456.0f};
    float* outs[2] = {&sentinel[0], &sentinel[1]};
    std::vector<const float*> ins(in.size(), nullptr);
    touched.processBlock(ins.data(), outs, 0);
    touched.processBlock(ins.data(), outs, -5);
    EXPECT_EQ(sentinel[0], 123.0f);
    EXPECT_EQ(sentinel[1], -456.0f);
    EXPECT_EQ(touched.peakLevelOf(0), untouched.peakLevelOf(0));
    EXPECT_EQ(touched.heldPeakOf(1), untouched.heldPeakOf(1));
    EXPECT_EQ(test::render(touched, in), test::render(untouched, in));
}

TYPED_TEST(BlockRoutine, EveryProgramAndRateRendersBoundedOutput) {
    const EffectDescription& d = description<TypeParam>();
    const Channels in = programme<TypeParam>(8192);
    for (float rate : {44100.0f, 96000.0f}) {
        for (int program = 0; program < d.factory.numPrograms; ++program) {
            TypeParam e;
            e.setSampleRate(rate);
            test::applyProgram(e, d, program);
            const Channels out = test::render(e, in);
            const double loudest = std::max(test::peak(out[0]), test::peak(out[1]));
            EXPECT_LT(loudest, 10.0) << program;
            EXPECT_GT(loudest, 1e-3) << program;
        }
    }
}

}  // namespace
}  // namespace qx
