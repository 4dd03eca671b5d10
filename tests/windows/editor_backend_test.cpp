// The Win32 + GDI toolkit backend in real plug-ins under Wine: eraslip's editor in a Win32
// host window shows its background bitmap (an RT_BITMAP resource of the DLL), posted drags
// reach its knob as begin/automate/end, a drag cut off by another window taking the mouse
// still ends its edit, and the editor survives its parent going first and opens again;
// heliope's option menu opens its list as a pop-up window that holds the mouse.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effects/eraslip/eraslip_params.h"
#include "gui/frame.h"
#include "resources/heliope/heliope_layout.h"
#include "tools/vsthost/host_window_win32.h"
#include "tools/vsthost/plugin_host.h"

namespace qx::host {
namespace {

constexpr int kCrosstalk = eraslip::kCrosstalk;  // the first knob
constexpr int kKnobX = 76, kKnobY = 120;         // its centre
constexpr int kCornerSize = 10;                  // plain background in every corner

// The background as painted for the DLL: 0x00RRGGBB rows, top first (it is opaque).
std::vector<std::uint32_t> readBackground(int* width, int* height) {
    std::ifstream in(QX_ERASLIP_BACKGROUND, std::ios::binary);
    const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
    if (b.size() < 54) return {};
    auto u32 = [&b](std::size_t at) {
        return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                          b[at + 3] << 24);
    };
    *width = static_cast<int>(u32(18));
    *height = static_cast<int>(u32(22));
    const std::size_t offset = u32(10);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(*width) * *height);
    if (b.size() < offset + 4 * pixels.size()) return {};
    for (int y = 0; y < *height; ++y)
        for (int x = 0; x < *width; ++x)
            pixels[static_cast<std::size_t>(y) * *width + x] =
                u32(offset + 4 * (static_cast<std::size_t>(*height - 1 - y) * *width + x)) &
                0xffffff;
    return pixels;
}

bool closeTo(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>(a >> shift & 0xff) - static_cast<int>(b >> shift & 0xff);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

class EditorTest : public ::testing::Test {
  protected:
    explicit EditorTest(const char* dll) : dll_(dll) {}
    void SetUp() override {
        std::string error;
        plugin_ = Plugin::load(dll_, &error);
        ASSERT_TRUE(plugin_) << error;
        vst::ERect* rect = nullptr;
        ASSERT_EQ(plugin_->dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
        ASSERT_TRUE(rect);
        width_ = rect->right - rect->left;
        height_ = rect->bottom - rect->top;
        open();
    }
    void TearDown() override {
        if (!plugin_) return;
        plugin_->dispatch(vst::effEditClose);
        window_.reset();
        plugin_->close();
    }

    void open() {
        std::string error;
        window_ = HostWindow::create(width_, height_, &error);
        ASSERT_TRUE(window_) << error << " (Wine needs a display: run scripts/test_windows.sh)";
        ASSERT_EQ(plugin_->dispatch(vst::effEditOpen, 0, 0, window_->handle()), 1);
        pump(150);
    }
    void pump(int milliseconds) {
        window_->pump(milliseconds, [this] { plugin_->dispatch(vst::effEditIdle); });
    }
    std::vector<std::uint32_t> capture() {
        int w = 0, h = 0;
        std::vector<std::uint32_t> pixels;
        EXPECT_TRUE(window_->capture(&w, &h, &pixels));
        EXPECT_EQ(w, width_);
        EXPECT_EQ(h, height_);
        return pixels;
    }
    std::vector<int> opcodes() {
        std::vector<int> out;
        for (const HostEvent& e : plugin_->events()) out.push_back(e.opcode);
        return out;
    }

    const char* dll_;
    std::unique_ptr<Plugin> plugin_;
    std::unique_ptr<HostWindow> window_;
    int width_ = 0;
    int height_ = 0;
};

class EraslipEditor : public EditorTest {
  protected:
    EraslipEditor() : EditorTest(QX_ERASLIP_DLL) {}
};

class HeliopeEditor : public EditorTest {
  protected:
    HeliopeEditor() : EditorTest(QX_HELIOPE_DLL) {}
};

TEST_F(EraslipEditor, ShowsItsSkinFromTheDllResources) {
    int bw = 0, bh = 0;
    const std::vector<std::uint32_t> background = readBackground(&bw, &bh);
    ASSERT_EQ(bw, width_);
    ASSERT_EQ(bh, height_);
    const std::vector<std::uint32_t> shown = capture();
    ASSERT_EQ(shown.size(), background.size());

    // Where no control sits, the window shows the background bitmap unchanged.
    const int corners[4][2] = {{0, 0},
                               {width_ - kCornerSize, 0},
                               {0, height_ - kCornerSize},
                               {width_ - kCornerSize, height_ - kCornerSize}};
    for (const auto& corner : corners)
        for (int y = corner[1]; y < corner[1] + kCornerSize; ++y)
            for (int x = corner[0]; x < corner[0] + kCornerSize; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * width_ + x;
                ASSERT_EQ(shown[i], background[i]) << "at " << x << ", " << y;
            }
    // Most of the window is background; the controls drawn over it are not blank either.
    std::size_t same = 0, distinct = 0;
    std::vector<bool> seen(1 << 12);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        same += closeTo(shown[i], background[i], 2);
        const std::uint32_t p = shown[i];
        const std::size_t key = (p >> 20 & 0xf) << 8 | (p >> 12 & 0xf) << 4 | (p >> 4 & 0xf);
        distinct += !seen[key];
        seen[key] = true;
    }
    EXPECT_GT(static_cast<double>(same) / shown.size(), 0.6);
    EXPECT_LT(same, shown.size());
    EXPECT_GT(distinct, 40u);
}

TEST_F(EraslipEditor, PostedDragsEditAndEndEvenWhenTheMouseIsTakenAway) {
    const float before = plugin_->getParameter(kCrosstalk);
    const std::vector<std::uint32_t> still = capture();
    plugin_->clearEvents();
    ASSERT_TRUE(window_->postMouse(HostWindow::Mouse::Down, kKnobX, kKnobY));
    ASSERT_TRUE(window_->postMouse(HostWindow::Mouse::Move, kKnobX, kKnobY - 20));
    ASSERT_TRUE(window_->postMouse(HostWindow::Mouse::Move, kKnobX, kKnobY - 40));
    ASSERT_TRUE(window_->postMouse(HostWindow::Mouse::Up, kKnobX, kKnobY - 40));
    pump(100);
    std::vector<int> ops = opcodes();
    ASSERT_GE(ops.size(), 3u);
    EXPECT_EQ(ops.front(), vst::audioMasterBeginEdit);
    EXPECT_EQ(ops.back(), vst::audioMasterEndEdit);
    for (std::size_t i = 1; i + 1 < ops.size(); ++i) EXPECT_EQ(ops[i], vst::audioMasterAutomate);
    for (const HostEvent& e : plugin_->events()) EXPECT_EQ(e.index, kCrosstalk);
    const float after = plugin_->getParameter(kCrosstalk);
    EXPECT_GT(after, before);
    // The knob shows its new value.
    const std::vector<std::uint32_t> moved = capture();
    int changed = 0;
    for (int y = kKnobY - 28; y < kKnobY + 28; ++y)
        for (int x = kKnobX - 28; x < kKnobX + 28; ++x)
            changed += moved[static_cast<std::size_t>(y) * width_ + x] !=
                       still[static_cast<std::size_t>(y) * width_ + x];
    EXPECT_GT(changed, 20);

    // A host that does not call idle still sees the knob follow a drag, a little later.
    ASSERT_TRUE(window_->postMouse(HostWindow::Mouse::Down, kKnobX, kKnobY));
    ASSERT_TRUE(window_->postMouse(HostWindow::Mouse::Move, kKnobX, kKnobY - 30));
    ASSERT_TRUE(window_->postMouse(HostWindow::Mouse::Up, kKnobX, kKnobY - 30));
    window_->pump(400);  // messages only
    const std::vector<std::uint32_t> unidled = capture();
    changed = 0;
    for (int y = kKnobY - 28; y < kKnobY + 28; ++y)
        for (int x = kKnobX - 28; x < kKnobX + 28; ++x)
            changed += unidled[static_cast<std::size_t>(y) * width_ + x] !=
                       moved[static_cast<std::size_t>(y) * width_ + x];
    EXPECT_GT(changed, 20);

    // The host takes the mouse in the middle of a drag: the edit ends there, no button up.
    const float beforeCut = plugin_->getParameter(kCrosstalk);
    EXPECT_GT(beforeCut, after);
    plugin_->clearEvents();
    ASSERT_TRUE(window_->postMouse(HostWindow::Mouse::Down, kKnobX, kKnobY));
    ASSERT_TRUE(window_->postMouse(HostWindow::Mouse::Move, kKnobX, kKnobY + 30));
    pump(60);
    ASSERT_EQ(GetCapture(), static_cast<HWND>(window_->editorWindow()));
    SetCapture(static_cast<HWND>(window_->handle()));
    pump(60);
    ReleaseCapture();
    ops = opcodes();
    ASSERT_GE(ops.size(), 2u);
    EXPECT_EQ(ops.front(), vst::audioMasterBeginEdit);
    EXPECT_EQ(ops.back(), vst::audioMasterEndEdit);
    EXPECT_LT(plugin_->getParameter(kCrosstalk), beforeCut);
}

TEST_F(EraslipEditor, OutlivesItsParentAndOpensAgain) {
    window_->destroy();
    pump(50);  // idles after the window went touch nothing of it
    plugin_->dispatch(vst::effEditClose);
    // The window class went with the last window; a new editor registers it again, under
    // the name made from the module's address.
    open();
    ASSERT_NE(window_->editorWindow(), nullptr);
    wchar_t expected[64], name[64] = L"";
    std::swprintf(expected, 64, L"Plugin%p", static_cast<void*>(GetModuleHandleW(L"eraslip.dll")));
    GetClassNameW(static_cast<HWND>(window_->editorWindow()), name, 64);
    EXPECT_STREQ(name, expected);
    const std::vector<std::uint32_t> shown = capture();
    int bw = 0, bh = 0;
    const std::vector<std::uint32_t> background = readBackground(&bw, &bh);
    ASSERT_EQ(shown.size(), background.size());
    EXPECT_EQ(shown[0], background[0]);
    EXPECT_EQ(shown.back(), background.back());
}

TEST_F(HeliopeEditor, OptionListIsAPopupThatHoldsTheMouse) {
    const gui::ControlLayout* menu = nullptr;
    for (const gui::ControlLayout& row : heliope::kLayout)
        if (row.kind == gui::ControlKind::OptionMenu && row.tag == kHeliopeChannelMode) menu = &row;
    ASSERT_TRUE(menu);
    const int rowHeight = gui::PopupStyle{}.rowHeight;
    const float before = plugin_->getParameter(kHeliopeChannelMode);
    HWND editor = static_cast<HWND>(window_->editorWindow());
    // Posts a left click at (x, y) of the editor to the window holding the mouse.
    auto clickAt = [&](int x, int y) {
        HWND target = GetCapture() ? GetCapture() : editor;
        POINT p{x, y};
        MapWindowPoints(editor, target, &p, 1);
        PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        pump(80);
    };
    auto openList = [&] {
        clickAt(menu->x + menu->width / 2, menu->y + menu->height / 2);
        HWND list = GetCapture();
        ASSERT_NE(list, nullptr);
        ASSERT_NE(list, editor);
        EXPECT_TRUE(IsWindowVisible(list));
        EXPECT_EQ(GetWindowLongPtrW(list, GWL_STYLE) & WS_POPUP, WS_POPUP);
        RECT r{};
        GetWindowRect(list, &r);
        POINT anchor{menu->x, menu->y + menu->height};
        ClientToScreen(editor, &anchor);
        EXPECT_EQ(r.left, anchor.x);
        EXPECT_EQ(r.top, anchor.y);
        EXPECT_EQ(r.bottom - r.top, kHeliopeChannelModeCount * rowHeight);
    };

    // A click anywhere else dismisses the list and changes nothing.
    openList();
    plugin_->clearEvents();
    clickAt(5, 5);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(plugin_->events().empty());
    EXPECT_EQ(plugin_->getParameter(kHeliopeChannelMode), before);

    // A click on an entry chooses it as one edit.
    openList();
    clickAt(menu->x + 20, menu->y + menu->height + 2 * rowHeight + rowHeight / 2);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(opcodes(), (std::vector<int>{vst::audioMasterBeginEdit, vst::audioMasterAutomate,
                                           vst::audioMasterEndEdit}));
    EXPECT_EQ(plugin_->getParameter(kHeliopeChannelMode), 2.0f);

    // Another window takes the mouse: the list goes as if clicked away.
    openList();
    HWND list = GetCapture();
    plugin_->clearEvents();
    SetCapture(static_cast<HWND>(window_->handle()));
    pump(60);
    ReleaseCapture();
    EXPECT_FALSE(IsWindow(list));
    EXPECT_TRUE(plugin_->events().empty());

    // The host closes its window with the list open: the list goes too, nothing is left
    // holding the mouse.
    openList();
    window_->destroy();
    pump(50);
    EXPECT_EQ(GetCapture(), nullptr);
}

}  // namespace
}  // namespace qx::host
