// Both headphone renderer plug-ins driven as a host drives them: identity and canDo answers,
// parameter texts and menu indices, the factory programs, the 5.1 layout answers, routing,
// bypass, hostile input on every channel and rates far above the usual ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effects/heliope/surround_effect.h"
#include "tests/heliope/render.h"
#include "tests/vsthost/host_test_support.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

using host::Plugin;
using test::Channels;
using testing::padded;

std::unique_ptr<Plugin> load(const char* path) {
    return testing::loadPlugin(path);
}

double rms(const std::vector<float>& x, size_t from = 0) {
    double sum = 0.0;
    for (size_t i = from; i < x.size(); ++i) sum += double(x[i]) * x[i];
    return std::sqrt(sum / double(x.size() - from));
}

Channels tone(int channels, int frames) {
    Channels x;
    for (int c = 0; c < channels; ++c) x.push_back(test::noise(frames, 0.3f, 17 + c));
    return x;
}

struct Expected {
    const char* path;
    const char* name;
    std::int32_t id;
    int inputs;
};

const Expected kRenderers[] = {
    {QX_HELIOPE_PATH, "QX Heliope Pro", ('Q' << 24) | ('X' << 16) | ('H' << 8) | 'L', 2},
    {QX_HELIOPE_SURROUND_PATH, "QX Heliope Pro Surround",
     ('Q' << 24) | ('X' << 16) | ('H' << 8) | 'S', 6},
};

TEST(RendererHost, IdentityAndCanDoAnswers) {
    for (const Expected& x : kRenderers) {
        SCOPED_TRACE(x.name);
        auto p = load(x.path);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->uniqueId(), x.id);
        EXPECT_EQ(p->numInputs(), x.inputs);
        EXPECT_EQ(p->numOutputs(), 2);
        EXPECT_EQ(p->numParams(), 13);
        EXPECT_EQ(p->numPrograms(), 50);
        EXPECT_EQ(p->initialDelay(), 0);
        EXPECT_EQ(p->version(), 1);
        EXPECT_EQ(p->flags() & ~vst::effFlagsHasEditor,
                  vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing);
        EXPECT_EQ(p->effectName(), x.name);
        EXPECT_EQ(p->productString(), x.name);
        EXPECT_EQ(p->vendorString(), "QX");
        EXPECT_EQ(p->vendorVersion(), 1010);
        EXPECT_EQ(p->vstVersion(), 2400);
        EXPECT_EQ(p->category(), vst::kPlugCategEffect);
        EXPECT_EQ(p->tailSize(), 0);
        for (const char* yes :
             {"plugAsChannelInsert", "plugAsSend", "mixDryWet", "1in2out", "2in2out"})
            EXPECT_EQ(p->canDo(yes), 1) << yes;
        for (const char* no :
             {"1in1out", "2in1out", "bypass", "sendVstEvents", "receiveVstMidiEvent",
              "receiveVstTimeInfo", "offline", "midiProgramNames", "2In2Out", ""})
            EXPECT_EQ(p->canDo(no), -1) << no;
        // No host bypass: the parameter stays as it was.
        EXPECT_FALSE(p->setBypass(true));
        EXPECT_EQ(p->getParameter(kHeliopeBypass), 0.0f);
        char error[64] = {};
        p->dispatch(vst::effGetErrorText, 0, 0, error);
        EXPECT_STREQ(error, "Error");
    }
}

TEST(RendererHost, ParameterTextsAndMenuIndices) {
    const char* names[] = {"Output trim",  "Bypass",         "Cue strength",  "Head size",
                           "Ear size",     "Distance",       "Reverb time",   "Room size",
                           "Channel mode", "Cabinet select", "Generate ITDs", "Next door",
                           "Enable room"};
    const char* labels[] = {"  ", "  ", "% ", "% ", "% ", "m ", "s ",
                            "% ", "  ", "  ", "  ", "  ", "  "};
    for (const Expected& x : kRenderers) {
        SCOPED_TRACE(x.name);
        auto p = load(x.path);
        ASSERT_TRUE(p);
        for (int i = 0; i < 13; ++i) {
            EXPECT_EQ(p->parameterName(i), padded(names[i], 15)) << i;
            EXPECT_EQ(p->parameterLabel(i), labels[i]) << i;
        }
        auto display = [&](int i, float v) {
            p->setParameter(i, v);
            return p->parameterDisplay(i);
        };
        EXPECT_EQ(display(kHeliopeOutputTrim, 0.5f), "0.500");
        EXPECT_EQ(display(kHeliopeCueStrength, 0.25f), "25.000");
        EXPECT_EQ(display(kHeliopeDistance, 0.5f), "2.500");
        EXPECT_EQ(display(kHeliopeReverbTime, 0.5f), "0.400");
        EXPECT_EQ(display(kHeliopeCabinet, 4.0f), "4.000");
        // Menus store the index as written, held to their last entry.
        EXPECT_EQ(display(kHeliopeChannelMode, 2.4f), "2.400");
        const int lastMode = x.inputs == 6 ? 11 : 5, lastCabinet = x.inputs == 6 ? 13 : 11;
        EXPECT_EQ(display(kHeliopeChannelMode, 40.0f), std::to_string(lastMode) + ".000");
        EXPECT_EQ(display(kHeliopeCabinet, -3.0f), "0.000");
        EXPECT_EQ(display(kHeliopeCabinet, 99.0f), std::to_string(lastCabinet) + ".000");
        EXPECT_EQ(display(kHeliopeNextDoor, 1.0f), "1.000");
    }
}

// The effect class answers the engine's settings: menu values round half up, a program lands
// whole, an edited program keeps its edits.
TEST(RendererEffect, MappingAndProgramsReachTheEngine) {
    HeliopeEffect fx(nullptr);
    const HeadphoneEngine& e = fx.engine();
    const std::pair<float, int> modes[] = {{2.4f, 2}, {2.5f, 3}, {0.49f, 0}, {5.0f, 5}};
    for (const auto& [v, mode] : modes) {
        fx.setParameter(kHeliopeChannelMode, v);
        EXPECT_EQ(e.channelMode(), mode) << v;
    }
    fx.setParameter(kHeliopeOutputTrim, 0.25f);
    EXPECT_EQ(e.outputGain(), 0.25f);
    fx.setParameter(kHeliopeOutputTrim, 0.0f);
    EXPECT_EQ(e.outputGain(), 1e-8f);
    fx.setParameter(kHeliopeHeadSize, 0.25f);
    fx.setProgram(1);
    fx.setProgram(0);
    EXPECT_EQ(fx.getParameter(kHeliopeHeadSize), 0.25f);

    fx.setProgram(15);  // "Next door listening"
    EXPECT_FALSE(e.bypassed());
    EXPECT_EQ(e.cabinetIndex(), 4);
    EXPECT_EQ(e.channelMode(), 0);
    fx.setProgram(22);  // "Flatscreen TV": mono, cabinet 11
    EXPECT_EQ(e.channelMode(), 2);
    EXPECT_EQ(e.cabinetIndex(), 11);
    EXPECT_NEAR(e.frontGains().ipsi, 0.25f, 1e-6f);  // 4 m

    SurroundEffect surround(nullptr);
    surround.setProgram(22);  // here the ITU downmix
    EXPECT_EQ(surround.engine().channelMode(), 1);
    surround.setProgram(24);  // "Subwoofer / satellite 2"
    EXPECT_EQ(surround.engine().cabinetIndex(), 13);
}

// The meters reach any thread after each block; after the editor's hold release the held
// peak falls back to the present level.
TEST(RendererEffect, MetersPublishedAndHoldsReleasedBetweenBlocks) {
    HeliopeEffect fx(nullptr);
    fx.setProgram(4);  // no room: the output falls silent with the input
    auto run = [&](float level, int frames) {
        std::vector<float> in(frames, 0.0f), out0(frames), out1(frames);
        for (int i = 0; i < frames; i += 50) in[i] = level;
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {out0.data(), out1.data()};
        vst::AEffect* e = fx.getAeffect();
        e->processReplacing(e, ins, outs, frames);
    };
    EXPECT_EQ(fx.meters().peakLevel[0].load(), 0.0f);  // nothing processed yet
    run(0.9f, 4410);
    const float held = fx.meters().heldPeak[0].load();
    EXPECT_GT(held, 0.1f);
    EXPECT_GE(held, fx.meters().peakLevel[0].load());
    EXPECT_NEAR(HeliopeEffect::heldPeakDb(held), 20.0f * std::log10(held), 1e-4f);
    EXPECT_EQ(HeliopeEffect::heldPeakDb(1e-8f), -160.0f);
    run(0.0f, 44100);  // a second of silence: the peak falls by 1/e, the hold stays
    EXPECT_EQ(fx.meters().heldPeak[0].load(), held);
    EXPECT_LT(fx.meters().peakLevel[0].load(), 0.4f * held);
    fx.requestReleaseHolds();
    run(0.0f, 64);
    EXPECT_LT(fx.meters().heldPeak[0].load(), 0.4f * held);
}

TEST(RendererHost, FactoryPrograms) {
    // trim, bypass, cue, head, ear, distance, reverb time, room size, mode, cabinet, ITDs,
    // next door, room
    struct Row {
        int index;
        const char* name;
        float v[13];
    };
    const Row stereo[] = {
        {0, "Default", {1, 0, 0.5f, 0.5f, 0.2f, 0.5f, 0.5f, 0.5f, 0, 0, 1, 0, 1}},
        {2, "Crosstalk only", {1, 0, 0, 0.5f, 0, 0.5f, 0, 0, 0, 0, 0, 0, 0}},
        {8, "Room 0.6s near field", {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 1, 0.5f, 0, 0, 1, 0, 1}},
        {15, "Next door listening", {1, 0, 0.5f, 0.5f, 0.2f, 0.5f, 1, 0.7f, 0, 4, 1, 1, 1}},
        {16, "Mono compatibility", {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.3f, 2, 0, 1, 0, 1}},
        {18, "Small loudspeakers", {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.5f, 0, 1, 1, 0, 1}},
        {20, "QXs favorite", {1, 0, 1, 0.5f, 0.2f, 0.5f, 0.5f, 0.5f, 0, 4, 1, 0, 1}},
        {22, "Flatscreen TV", {1, 0, 0.5f, 0.5f, 0.2f, 1, 0.8f, 0.2f, 2, 11, 1, 0, 1}},
    };
    const Row surround[] = {
        {17, "Legends", {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.5f, 0, 8, 1, 0, 1}},
        {18,
         "Small speakers (no sub)",
         {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.5f, 3, 1, 1, 0, 1}},
        {19, "Mono laptop", {0.5f, 0, 0.5f, 0.5f, 0.2f, 0.25f, 0.5f, 0.5f, 2, 9, 1, 0, 1}},
        {21, "HiFi set", {1, 0, 0.5f, 0.5f, 0.2f, 1, 0.8f, 0.2f, 0, 5, 1, 0, 1}},
        {22, "Flatscreen TV", {1, 0, 0.5f, 0.5f, 0.2f, 1, 0.8f, 0.2f, 1, 11, 1, 0, 1}},
        {23, "Subwoofer / satellite 1", {1, 0, 0.5f, 0.5f, 0.2f, 0.8f, 0.8f, 0.2f, 0, 12, 1, 0, 1}},
        {24, "Subwoofer / satellite 2", {1, 0, 0.5f, 0.5f, 0.2f, 0.8f, 0.8f, 0.5f, 0, 13, 1, 0, 1}},
        {25, "PC desktop + sub", {1, 0, 0.5f, 0.5f, 0.2f, 0.3f, 0.8f, 0.5f, 0, 9, 1, 0, 1}},
    };
    auto check = [](const Expected& x, const Row* rows, size_t count, int firstDefault) {
        SCOPED_TRACE(x.name);
        auto p = load(x.path);
        ASSERT_TRUE(p);
        for (size_t r = 0; r < count; ++r) {
            p->setProgram(rows[r].index);
            EXPECT_EQ(p->programName(), padded(rows[r].name, 23)) << rows[r].index;
            for (int i = 0; i < 13; ++i)
                EXPECT_EQ(p->getParameter(i), rows[r].v[i]) << rows[r].index << " " << i;
        }
        for (int program = firstDefault; program < 50; ++program) {
            p->setProgram(program);
            EXPECT_EQ(p->programName(), padded("Default", 23)) << program;
            for (int i = 0; i < 13; ++i) EXPECT_EQ(p->getParameter(i), rows[0].v[i]) << program;
        }
        std::string name;
        EXPECT_FALSE(p->programNameIndexed(50, &name));
    };
    check(kRenderers[0], stereo, std::size(stereo), 23);
    // Program 0 of the 5.1 renderer is the stereo one; the rows above start at 17.
    const Row surroundWithDefault[] = {stereo[0],   surround[0], surround[1],
                                       surround[2], surround[3], surround[4],
                                       surround[5], surround[6], surround[7]};
    check(kRenderers[1], surroundWithDefault, std::size(surroundWithDefault), 26);
}

TEST(RendererHost, SurroundLayoutAndPinAnswers) {
    auto p = load(QX_HELIOPE_SURROUND_PATH);
    ASSERT_TRUE(p);
    speaker::Arrangement* in = nullptr;
    speaker::Arrangement* out = nullptr;
    ASSERT_EQ(
        p->dispatch(vst::effGetSpeakerArrangement, 0, reinterpret_cast<vst::VstIntPtr>(&in), &out),
        1);
    ASSERT_TRUE(in && out);
    EXPECT_EQ(in->type, speaker::kArrangement51);
    EXPECT_EQ(in->numChannels, 6);
    EXPECT_EQ(out->type, speaker::kArrangementStereo);
    EXPECT_EQ(out->numChannels, 2);
    const char* shortNames[] = {"L", "R", "C", "LFE", "Ls", "Rs"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(in->speakers[i].name, shortNames[i]);
        EXPECT_EQ(in->speakers[i].type, i + 1);
    }
    // Six in and two out are accepted whatever the host calls the arrangement; other counts
    // are refused, as are missing records.
    speaker::Arrangement offerIn{}, offerOut{};
    auto offer = [&](int inputs, int outputs) {
        offerIn.numChannels = inputs;
        offerOut.numChannels = outputs;
        return p->dispatch(vst::effSetSpeakerArrangement, 0,
                           reinterpret_cast<vst::VstIntPtr>(&offerIn), &offerOut);
    };
    EXPECT_EQ(offer(6, 2), 1);
    EXPECT_EQ(offer(2, 2), 0);
    EXPECT_EQ(offer(6, 6), 0);
    EXPECT_EQ(p->dispatch(vst::effSetSpeakerArrangement, 0, 0, &offerOut), 0);
    EXPECT_EQ(p->dispatch(vst::effGetSpeakerArrangement, 0, 0, nullptr), 0);

    speaker::PinProperties pin{};
    ASSERT_EQ(p->dispatch(vst::effGetInputProperties, 3, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "LFE");
    EXPECT_STREQ(pin.shortLabel, "LFE");
    EXPECT_EQ(pin.arrangementType, speaker::kArrangement51);
    ASSERT_EQ(p->dispatch(vst::effGetInputProperties, 0, 0, &pin), 1);
    EXPECT_TRUE(pin.flags & 2);  // L starts the front pair
    EXPECT_EQ(p->dispatch(vst::effGetInputProperties, 6, 0, &pin), 0);
    EXPECT_EQ(p->dispatch(vst::effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Right ear");
    EXPECT_EQ(p->dispatch(vst::effGetOutputProperties, 2, 0, &pin), 0);

    // The stereo renderer keeps the host's defaults.
    auto stereo = load(QX_HELIOPE_PATH);
    ASSERT_TRUE(stereo);
    EXPECT_EQ(stereo->dispatch(vst::effGetInputProperties, 0, 0, &pin), 0);
}

// Each input alone, through "HRTFs (anechoic)" with the room off: the side inputs reach their
// own ear louder, the centre and LFE both ears equally; bypassed, L and R pass unchanged and
// the rest is dropped.
TEST(RendererHost, SurroundInputsReachTheirEarsAndBypassKeepsTheFrontPair) {
    auto p = load(QX_HELIOPE_SURROUND_PATH);
    ASSERT_TRUE(p);
    const int frames = 8192;
    p->setProgram(4);
    const double balance[6] = {+1, -1, 0, 0, +1, -1};  // + left louder, - right louder
    for (int input = 0; input < 6; ++input) {
        SCOPED_TRACE(input);
        p->suspend();
        p->resume();
        Channels x = test::silence(6, frames);
        x[input] = test::noise(frames, 0.3f, 5);
        const Channels y = p->run(x);
        const double l = rms(y[0], 2048), r = rms(y[1], 2048);
        EXPECT_GT(l + r, 0.01);
        if (balance[input] > 0) {
            EXPECT_GT(l, 1.5 * r);
        } else if (balance[input] < 0) {
            EXPECT_GT(r, 1.5 * l);
        } else {
            EXPECT_NEAR(l / r, 1.0, 0.02);
        }
    }
    p->setParameter(kHeliopeBypass, 1.0f);
    const Channels x = tone(6, 3000);
    const Channels y = p->run(x, 333);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 3000; ++i) ASSERT_EQ(y[c][i], x[c][i]) << c << " " << i;
}

// Non-finite and huge samples on any one of the six inputs never reach the filters: the
// output stays finite, and once the burst has passed it sounds as without the burst.
TEST(RendererHost, SurroundSurvivesNonFiniteBurstsOnEveryInput) {
    const int frames = 6000;
    const float bad[] = {NAN, INFINITY, -INFINITY, 1e38f};
    for (int program : {0, 4, 15, 23}) {
        auto clean = load(QX_HELIOPE_SURROUND_PATH);
        ASSERT_TRUE(clean);
        clean->setProgram(program);
        const Channels x = tone(6, frames);
        const Channels reference = clean->run(x, 256);
        for (int input = 0; input < 6; ++input) {
            SCOPED_TRACE(::testing::Message() << "program " << program << " input " << input);
            auto p = load(QX_HELIOPE_SURROUND_PATH);
            ASSERT_TRUE(p);
            p->setProgram(program);
            Channels burst = x;
            for (int i = 500; i < 530; ++i) burst[input][i] = bad[i % 3];
            const Channels y = p->run(burst, 256);
            for (int c = 0; c < 2; ++c)
                for (float v : y[c]) ASSERT_TRUE(std::isfinite(v));
            // A non-finite sample is taken as silence, so the two renders differ only by
            // the gap's echo.
            for (int c = 0; c < 2; ++c)
                EXPECT_NEAR(rms(y[c], 4000), rms(reference[c], 4000),
                            0.05 * rms(reference[c], 4000));
            // Huge finite samples are limited: loud, but never beyond what floats hold.
            for (int i = 500; i < 530; ++i) burst[input][i] = bad[3] * (i % 2 ? 1 : -1);
            for (const auto& ch : p->run(burst, 256))
                for (float v : ch) ASSERT_TRUE(std::isfinite(v));
        }
    }
}

// At rates far beyond the usual ones every cabinet still gives bounded output (the low
// highpasses would have poles outside the unit circle in single precision).
TEST(RendererHost, HighSampleRatesStayStable) {
    for (const Expected& x : kRenderers) {
        SCOPED_TRACE(x.name);
        auto p = load(x.path);
        ASSERT_TRUE(p);
        const int cabinets = x.inputs == 6 ? 14 : 12;
        for (float rate : {384000.0f, 768000.0f, 2e6f}) {
            p->suspend();
            p->setSampleRate(rate);
            p->resume();
            for (int cabinet = 0; cabinet < cabinets; ++cabinet) {
                p->setParameter(kHeliopeCabinet, float(cabinet));
                const Channels y = p->run(tone(x.inputs, 60000), 4096);
                double peak = 0.0;
                for (const auto& ch : y)
                    for (float v : ch) peak = std::max(peak, double(std::fabs(v)));
                EXPECT_LT(peak, 20.0) << rate << " Hz, cabinet " << cabinet;
            }
        }
    }
}

}  // namespace
}  // namespace qx
