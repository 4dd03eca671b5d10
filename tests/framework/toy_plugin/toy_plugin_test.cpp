// The toy plug-in, added from its own folder through add_qx_plugin: the module a host loads
// sounds as its tables say, and its skin was painted and embedded.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "skins/toy.h"
#include "tests/framework/toy_plugin/toy_effect.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

TEST(ToyPlugin, TheBuiltModuleFollowsItsProgramsAndBypass) {
    std::string error;
    auto p = host::Plugin::load(QX_TOY_PATH, &error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->effectName(), "QX Toy");
    EXPECT_EQ(p->numParams(), 129);
    p->prepare(48000.0f, 64);
    const std::vector<std::vector<float>> in(2, std::vector<float>(100, 0.5f));
    EXPECT_EQ(p->run(in, 64)[1][99], 0.5f);  // "Default": 0 dB
    p->setProgram(1);                        // "Quiet": -5 dB
    EXPECT_FLOAT_EQ(p->run(in, 64)[0][0], 0.5f * std::pow(10.0f, -5.0f / 20.0f));
    EXPECT_TRUE(p->setBypass(true));
    EXPECT_EQ(p->run(in, 64)[0][50], 0.5f);
    EXPECT_EQ(p->getParameter(toy::kBypass), 1.0f);
}

TEST(ToyPlugin, SkinIsPaintedAndEmbedded) {
    const gui::ResourceSet& skin = skins::toy();
    ASSERT_EQ(skin.count, 2);
    const gui::Resource* background = skin.find(1024);
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->width, 130);
    EXPECT_EQ(background->height, 120);
    const gui::Resource* knob = skin.find(1025);
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(knob->height, 50 * 33);  // a filmstrip of 33 frames
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(knob->png) + 1, 3), "PNG");
}

}  // namespace
}  // namespace qx
