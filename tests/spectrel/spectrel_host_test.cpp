// The analyzer driven as a host drives it, through the exported entry point: identity and
// canDo answers, host bypass, names, labels, displays, the factory programs, and audio
// passed through bit for bit in both precisions whatever the settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/vsthost/host_test_support.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

using host::Plugin;
using testing::padded;

std::unique_ptr<Plugin> load() {
    return testing::loadPlugin(QX_SPECTREL_PATH);
}

TEST(SpectrelHost, IdentityCanDoAndHostBypass) {
    auto p = load();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->uniqueId(), ('S' << 24) | ('P' << 16) | ('T' << 8) | 'L');
    EXPECT_EQ(p->version(), 1);
    EXPECT_EQ(p->numInputs(), 2);
    EXPECT_EQ(p->numOutputs(), 2);
    EXPECT_EQ(p->numParams(), 7);
    EXPECT_EQ(p->numPrograms(), 8);
    EXPECT_EQ(p->initialDelay(), 0);
    EXPECT_EQ(p->flags() & ~vst::effFlagsHasEditor, vst::effFlagsCanReplacing |
                                                        vst::effFlagsCanDoubleReplacing |
                                                        vst::effFlagsNoSoundInStop);
    EXPECT_FALSE(p->programChunks());
    EXPECT_EQ(p->effectName(), "Spectrel Pro");
    EXPECT_EQ(p->productString(), "Spectrel Pro");
    EXPECT_EQ(p->vendorString(), "QX");
    EXPECT_EQ(p->vendorVersion(), 105);
    EXPECT_EQ(p->vstVersion(), 2400);
    EXPECT_EQ(p->category(), vst::kPlugCategEffect);
    for (const char* yes : {"plugAsChannelInsert", "plugAsSend", "mixDryWet", "1in1out", "1in2out",
                            "2in1out", "2in2out", "bypass"})
        EXPECT_EQ(p->canDo(yes), 1) << yes;
    for (const char* no :
         {"Bypass", "", "sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
          "receiveVstMidiEvent", "receiveVstTimeInfo", "offline", "midiProgramNames", "bypass "})
        EXPECT_EQ(p->canDo(no), -1) << '"' << no << '"';

    // Host bypass goes to parameter 0 and is stored with the program; the host is not told.
    p->prepare(44100.0f, 256);
    p->clearEvents();
    EXPECT_TRUE(p->setBypass(true));
    EXPECT_EQ(p->getParameter(0), 1.0f);
    EXPECT_EQ(p->parameterDisplay(0), "1.000");
    EXPECT_TRUE(p->setBypass(false));
    EXPECT_EQ(p->getParameter(0), 0.0f);
    EXPECT_TRUE(p->events().empty());
}

TEST(SpectrelHost, NamesLabelsDisplaysAndPrograms) {
    auto p = load();
    ASSERT_TRUE(p);
    const char* names[7] = {"Bypass", "Output scale",    "Slow spectrogrm", "ISP",
                            "AES17",  "Sum spectrogram", "Spectrum on/off"};
    const char* programs[8] = {"Default", "Broadcast master", "CD master", "DVD / movie master",
                               "Default", "Default",          "Default",   "Default"};
    // Output scale is shown on 0..4, the switches on 0..1.
    const char* displays[4][7] = {
        {"0.000", "0.000", "0.000", "0.000", "0.000", "0.000", "1.000"},
        {"0.000", "1.000", "0.000", "1.000", "0.000", "0.000", "1.000"},
        {"0.000", "2.000", "0.000", "1.000", "0.000", "0.000", "1.000"},
        {"0.000", "3.000", "0.000", "1.000", "0.000", "0.000", "1.000"},
    };
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(p->parameterName(i), padded(names[i], 15)) << i;
        EXPECT_EQ(p->parameterLabel(i), "  ") << i;
    }
    for (int prog = 0; prog < 8; ++prog) {
        SCOPED_TRACE(prog);
        EXPECT_EQ(p->programNameAt(prog), padded(programs[prog], 23));
        p->setProgram(prog);
        EXPECT_EQ(p->program(), prog);
        EXPECT_EQ(p->programName(), padded(programs[prog], 23));
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(p->parameterDisplay(i), displays[prog < 4 ? prog : 0][i]) << i;
    }
    // A value between the choices is shown as stored.
    p->setParameter(1, 0.33f);
    EXPECT_EQ(p->parameterDisplay(1), "1.320");
}

// Random audio with the values a careless source produces: denormals, huge values, NaN,
// infinities. The output must hold exactly the same bits.
template <typename T>
std::vector<std::vector<T>> hostileStereo(int frames, unsigned seed) {
    std::srand(seed);
    std::vector<std::vector<T>> x(2, std::vector<T>(frames));
    for (auto& channel : x)
        for (int n = 0; n < frames; ++n) {
            const int r = std::rand();
            T v = static_cast<T>(2.0 * r / RAND_MAX - 1.0);
            if (r % 97 == 0) v = std::numeric_limits<T>::denorm_min() * (r % 5);
            if (r % 101 == 0) v = static_cast<T>(1e30);
            if (r % 211 == 0) v = std::numeric_limits<T>::quiet_NaN();
            if (r % 223 == 0) v = -std::numeric_limits<T>::infinity();
            channel[n] = v;
        }
    return x;
}

template <typename T>
void expectSameBits(const std::vector<std::vector<T>>& in, const std::vector<std::vector<T>>& out) {
    ASSERT_EQ(out.size(), 2u);
    for (int c = 0; c < 2; ++c) {
        ASSERT_EQ(out[c].size(), in[c].size());
        EXPECT_EQ(std::memcmp(out[c].data(), in[c].data(), in[c].size() * sizeof(T)), 0)
            << "channel " << c;
    }
}

TEST(SpectrelHost, OutputEqualsInputBitForBitInBothPrecisions) {
    auto p = load();
    ASSERT_TRUE(p);
    p->prepare(48000.0f, 4096);
    const auto single = hostileStereo<float>(9000, 1);
    const auto twin = hostileStereo<double>(9000, 2);
    // Each program, then every switch on, then bypassed: the audio never changes.
    for (int setting = 0; setting < 10; ++setting) {
        SCOPED_TRACE(setting);
        if (setting < 8) p->setProgram(setting);
        if (setting == 8)
            for (int i = 2; i < 7; ++i) p->setParameter(i, 1.0f);
        if (setting == 9) p->setBypass(true);
        for (int block : {1, 7, 512, 4096}) {
            expectSameBits(single, p->run(single, block));
            expectSameBits(twin, p->runDouble(twin, block));
        }
    }
    // In place: the host's buffers stay as they were.
    auto data = hostileStereo<float>(777, 3);
    auto copy = data;
    float* channels[2] = {data[0].data(), data[1].data()};
    p->processReplacing(channels, channels, 777);
    expectSameBits(copy, data);
}

}  // namespace
}  // namespace qx
