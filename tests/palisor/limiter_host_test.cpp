// The palisor module driven as a host drives it: what a Bypass write or a program load does to
// the running programme.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "effects/palisor/palisor_params.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

using host::Plugin;

constexpr int kBlock = 512;
constexpr int kLatency = 512;

std::unique_ptr<Plugin> loadPalisor() {
    std::string error;
    auto plugin = Plugin::load(QX_PALISOR_PATH, &error);
    EXPECT_TRUE(plugin) << error;
    if (plugin) plugin->prepare(44100.0f, kBlock);
    return plugin;
}

// `blocks` blocks of a steady stereo tone; before block b, `before(b)` runs (the host's
// calls between blocks). Returns the left output.
std::vector<float> render(Plugin& plugin, int blocks, const std::function<void(int)>& before) {
    std::vector<float> out;
    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    for (int b = 0; b < blocks; ++b) {
        for (int n = 0; n < kBlock; ++n) {
            const int t = b * kBlock + n;
            inL[n] = 0.4f * std::sin(0.031f * t);
            inR[n] = 0.3f * std::sin(0.017f * t + 1.0f);
        }
        before(b);
        float* ins[2] = {inL.data(), inR.data()};
        float* outs[2] = {outL.data(), outR.data()};
        plugin.processReplacing(ins, outs, kBlock);
        out.insert(out.end(), outL.begin(), outL.end());
    }
    return out;
}

// Counts the silent samples of `y` from `start`.
int silentRun(const std::vector<float>& y, int start) {
    int n = 0;
    while (start + n < static_cast<int>(y.size()) && y[static_cast<size_t>(start + n)] == 0.0f) ++n;
    return n;
}

// A host re-sending the state Bypass already has (effSetBypass when the transport starts,
// automation playback writing the same value, or any value on the same side of 0.5) leaves the
// programme untouched, running and bypassed alike; a real switch and every program load (the
// current one included) still empty the look-ahead: exactly 512 silent samples.
TEST(PalisorHost, BypassResendKeepsTheProgrammeButSwitchAndProgramLoadRestart) {
    constexpr int kBlocks = 12;
    auto reference = loadPalisor();
    auto resent = loadPalisor();
    ASSERT_TRUE(reference && resent);
    const std::vector<float> expected = render(*reference, kBlocks, [](int) {});
    const std::vector<float> y = render(*resent, kBlocks, [&](int b) {
        if (b == 3) resent->setBypass(false);
        if (b == 5) resent->setParameter(kLimiterBypass, 0.0f);
        if (b == 7) resent->setParameter(kLimiterBypass, 0.4f);
        if (b == 9) {
            resent->setBypass(false);
            resent->setParameter(kLimiterBypass, 0.0f);
        }
    });
    ASSERT_EQ(y.size(), expected.size());
    EXPECT_GT(*std::max_element(expected.begin(), expected.end()), 0.3f);
    for (size_t i = 0; i < y.size(); ++i) ASSERT_EQ(y[i], expected[i]) << i;

    // Bypassed, a re-sent "on" keeps the dry programme flowing.
    auto bypassed = loadPalisor();
    ASSERT_TRUE(bypassed);
    const std::vector<float> dry = render(*bypassed, kBlocks, [&](int b) {
        if (b == 1) bypassed->setBypass(true);
        if (b == 4) bypassed->setBypass(true);
        if (b == 6) bypassed->setParameter(kLimiterBypass, 0.9f);
    });
    EXPECT_EQ(silentRun(dry, kBlock), kLatency);
    for (int i = 2 * kBlock + kLatency; i < kBlocks * kBlock; ++i)
        ASSERT_NEAR(dry[static_cast<size_t>(i)], 0.4f * std::sin(0.031f * (i - kLatency)), 1e-7f)
            << i;

    // Switches and program loads restart, on the block boundary they land on.
    auto switched = loadPalisor();
    ASSERT_TRUE(switched);
    const std::vector<float> z = render(*switched, kBlocks, [&](int b) {
        if (b == 2) switched->setBypass(true);
        if (b == 4) switched->setParameter(kLimiterBypass, 0.0f);
        if (b == 6) switched->setProgram(0);  // the program already loaded
        if (b == 8) switched->setProgram(4);
    });
    for (int b : {2, 4, 6, 8}) {
        EXPECT_EQ(silentRun(z, b * kBlock), kLatency) << b;
        EXPECT_NE(z[static_cast<size_t>(b * kBlock - 1)], 0.0f) << b;
    }
    EXPECT_EQ(switched->getParameter(kLimiterBypass), 0.0f);
}

}  // namespace
}  // namespace qx
