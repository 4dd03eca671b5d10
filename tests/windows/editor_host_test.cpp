// The Windows host window against a plug-in editor under Wine: the editor opens as a child of
// the host's window, posted mouse input arrives as a drag with begin-edit, automation and
// end-edit, what it draws can be read back, and the host may destroy its window first.
#include <gtest/gtest.h>

#include <string>

#include "tools/vsthost/host_window_win32.h"
#include "tools/vsthost/plugin_host.h"

namespace qx::host {
namespace {

// The share of pixels with exactly this colour.
double share(const std::vector<std::uint32_t>& pixels, std::uint32_t rgb) {
    std::size_t n = 0;
    for (std::uint32_t p : pixels) n += p == rgb;
    return pixels.empty() ? 0.0 : static_cast<double>(n) / pixels.size();
}

TEST(HostWindow, DragsReachTheEditorAndItsPixelsCanBeRead) {
    std::string error;
    auto plugin = Plugin::load(QX_FAKE_EDITOR, &error);
    ASSERT_TRUE(plugin) << error;
    vst::ERect* rect = nullptr;
    ASSERT_EQ(plugin->dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
    ASSERT_TRUE(rect);
    const int width = rect->right - rect->left, height = rect->bottom - rect->top;

    auto window = HostWindow::create(width, height, &error);
    ASSERT_TRUE(window) << error << " (Wine needs a display: run scripts/test_windows.sh)";
    ASSERT_EQ(plugin->dispatch(vst::effEditOpen, 0, 0, window->handle()), 1);
    auto idle = [&] { plugin->dispatch(vst::effEditIdle); };
    window->pump(100, idle);

    int w = 0, h = 0;
    std::vector<std::uint32_t> pixels;
    ASSERT_TRUE(window->capture(&w, &h, &pixels));
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    EXPECT_GT(share(pixels, 0x0000c8), 0.99);  // blue: value below one half

    ASSERT_TRUE(window->postMouse(HostWindow::Mouse::Down, 20, 10));
    ASSERT_TRUE(window->postMouse(HostWindow::Mouse::Move, 120, 30));
    ASSERT_TRUE(window->postMouse(HostWindow::Mouse::Up, 150, 30));
    window->pump(100, idle);

    const auto events = plugin->events();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events.front().opcode, vst::audioMasterBeginEdit);
    EXPECT_EQ(events.back().opcode, vst::audioMasterEndEdit);
    const float expected[] = {20.0f / (width - 1), 120.0f / (width - 1), 150.0f / (width - 1)};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(events[i + 1].opcode, vst::audioMasterAutomate);
        EXPECT_FLOAT_EQ(events[i + 1].value, expected[i]);
    }
    EXPECT_FLOAT_EQ(plugin->getParameter(0), expected[2]);
    ASSERT_TRUE(window->capture(&w, &h, &pixels));
    EXPECT_GT(share(pixels, 0x00c800), 0.99);  // green once the value passed one half

    // The host closes its window before telling the editor; the editor survives both.
    window->destroy();
    window->pump(50, idle);
    EXPECT_EQ(window->editorWindow(), nullptr);
    plugin->dispatch(vst::effEditClose);
    plugin->close();
}

}  // namespace
}  // namespace qx::host
