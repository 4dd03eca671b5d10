// The built eraslip plug-in driven as careless hosts drive it: the parent window destroyed
// before effEditClose, and automation from a thread of the host's own while its interface
// thread opens and closes the editor and its audio thread processes.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "resources/eraslip/eraslip_layout.h"
#include "tests/gui/x_session.h"
#include "tools/vsthost/plugin_host.h"

namespace qx {
namespace {

class HostDriven : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::xServer()) GTEST_SKIP();
        std::string error;
        plugin = host::Plugin::load(QX_ERASLIP_PATH, &error);
        ASSERT_TRUE(plugin) << error;
        plugin->prepare(44100.0f, 512);
    }
    std::unique_ptr<host::Plugin> plugin;
};

TEST_F(HostDriven, ParentDestroyedBeforeCloseThenANewEditorOpensAndDraws) {
    testing::HostErrorHandler hostHandler;
    for (int idlesBefore : {0, 3}) {
        auto parent = std::make_unique<gui::testing::HostWindow>(eraslip::kWidth, eraslip::kHeight);
        ASSERT_EQ(plugin->dispatch(vst::effEditOpen, 0, 0, parent->parentHandle()), 1);
        for (int i = 0; i < idlesBefore; ++i) plugin->dispatch(vst::effEditIdle);
        parent.reset();
        for (int i = 0; i < idlesBefore; ++i) plugin->dispatch(vst::effEditIdle);
        plugin->dispatch(vst::effEditClose);
    }
    EXPECT_EQ(hostHandler.errors().load(), 0);
    EXPECT_TRUE(hostHandler.installed());

    gui::testing::HostWindow window(eraslip::kWidth, eraslip::kHeight);
    ASSERT_EQ(plugin->dispatch(vst::effEditOpen, 0, 0, window.parentHandle()), 1);
    plugin->dispatch(vst::effEditIdle);
    window.sync();
    EXPECT_NE(window.childWindow(), 0ul);
    // The hint line's well is painted: not the host window's black.
    EXPECT_NE(window.awaitPixel(20, 380, [](unsigned long p) { return p != 0; }), 0ul);
    plugin->dispatch(vst::effEditClose);
}

TEST_F(HostDriven, AutomationThreadAgainstOpenIdleCloseWhileAudioRuns) {
    std::atomic<bool> stop{false};
    std::thread automation([&] {
        for (unsigned n = 0; !stop.load(); ++n)
            plugin->setParameter(static_cast<int>(n % 8), static_cast<float>(n % 97) / 96.0f);
    });
    std::thread audio([&] {
        std::vector<float> in(128, 0.25f), outL(128), outR(128);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        while (!stop.load()) plugin->processReplacing(ins, outs, 128);
    });
    gui::testing::HostWindow window(eraslip::kWidth, eraslip::kHeight);
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_EQ(plugin->dispatch(vst::effEditOpen, 0, 0, window.parentHandle()), 1);
        plugin->dispatch(vst::effEditIdle);
        plugin->dispatch(vst::effEditIdle);
        plugin->dispatch(vst::effEditClose);
    }
    stop = true;
    automation.join();
    audio.join();
}

}  // namespace
}  // namespace qx
