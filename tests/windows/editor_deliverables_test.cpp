// Every plug-in DLL's editor in a Win32 host window under Wine, driven as a Windows host
// drives it: size before opening, idles with audio running, a posted-mouse drag of one
// control reported as one begin/automate/end edit, a screenshot, the host destroying its
// window before effEditClose, and open/close cycles that leave no GDI or USER objects behind.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "resources/eraslip/eraslip_layout.h"
#include "resources/heliope/heliope_layout.h"
#include "resources/palisor/palisor_layout.h"
#include "resources/quassel/quassel_layout.h"
#include "resources/red_thuddo/red_thuddo_layout.h"
#include "resources/spectrel/spectrel_layout.h"
#include "resources/spreadix/spreadix_layout.h"
#include "resources/trigwave/trigwave_layout.h"
#include "tests/plugins/plugin_list.h"
#include "tools/vsthost/host_window_win32.h"
#include "tools/vsthost/plugin_host.h"
#include "tools/vsthost/png_file.h"
#include "tools/vsthost/test_tone.h"

namespace qx::host {
namespace {

using gui::ControlKind;

// One deliverable's editor (`width` x `height`) and the control a user drags on it, which sets
// parameter `param`: press at the control's centre, move by (dx, dy) `steps` times, release
// (no steps: a click).
struct EditorCase {
    const char* name;
    std::string path;
    int width, height;
    int param;
    gui::ControlLayout control;
    int dx, dy, steps;
};

void PrintTo(const EditorCase& c, std::ostream* out) {
    *out << c.name;
}

template <class Layout>
gui::ControlLayout rowOf(const Layout& layout, ControlKind kind, int tag) {
    for (const gui::ControlLayout& row : layout)
        if (row.kind == kind && row.tag == tag) return row;
    ADD_FAILURE() << "no layout row of tag " << tag;
    return {};
}

std::string pathOf(const std::string& name) {
    for (const std::string& path : kPluginPaths)
        if (std::filesystem::path(path).stem() == name) return path;
    return {};
}

static_assert(static_cast<int>(kSurroundCueStrength) == static_cast<int>(kHeliopeCueStrength));

// The knob or button each editor's own Linux tests drag, at the place its layout states.
std::vector<EditorCase> editorCases() {
    const auto knob = ControlKind::AnimKnob;
    std::vector<EditorCase> cases = {
        {"eraslip", "", eraslip::kWidth, eraslip::kHeight, eraslip::kCrosstalk,
         rowOf(eraslip::kLayout, knob, eraslip::kCrosstalk), 0, -10, 4},
        {"heliope", "", heliope::kWidth, heliope::kHeight, kHeliopeCueStrength,
         rowOf(heliope::kLayout, knob, kHeliopeCueStrength), 0, -10, 4},
        {"heliope_surround", "", heliope::kWidth, heliope::kHeight, kSurroundCueStrength,
         rowOf(heliope::kSurroundLayout, knob, kSurroundCueStrength), 0, -10, 4},
        {"palisor", "", palisor::kWidth, palisor::kHeight, kLimiterRmsThreshold,
         rowOf(palisor::kLayout, knob, kLimiterRmsThreshold), 0, 10, 4},
        {"quassel", "", quassel::kWidth, quassel::kHeight, kQuasselDryWet,
         rowOf(quassel::kLayout, knob, kQuasselDryWet), 0, 10, 4},
        {"red_thuddo", "", red_thuddo::kWidth, red_thuddo::kHeight, kRedThuddoRatio1,
         rowOf(red_thuddo::kLayout, knob, kRedThuddoRatio1), 0, -10, 8},
        {"red_thuddo_alt", "", red_thuddo::kWidth, red_thuddo::kHeight, kRedThuddoRatio1,
         rowOf(red_thuddo::kLayout, knob, kRedThuddoRatio1), 0, -10, 8},
        {"spectrel", "", spectrel::kWidth, spectrel::kHeight, kSpectrelSumSpectrum,
         rowOf(spectrel::kLayout, ControlKind::MovieButton, kSpectrelSumSpectrum), 0, 0, 0},
        {"spreadix", "", spreadix::kWidth, spreadix::kHeight, kSpreadixSideLevel,
         rowOf(spreadix::kLayout, knob, kSpreadixSideLevel), 0, -8, 6},
        {"trigwave", "", trigwave::kWidth, trigwave::kHeight, kTrigwaveThreshold,
         rowOf(trigwave::kLayout, knob, kTrigwaveThreshold), 0, -10, 4},
    };
    for (EditorCase& c : cases) c.path = pathOf(c.name);
    // The hand-made editor of fake_editor_plugin.cpp: the same checks before any real
    // editor is built for Windows. Its value follows x, so the drag goes right.
    cases.push_back({"fake_editor",
                     QX_FAKE_EDITOR,
                     200,
                     120,
                     0,
                     {ControlKind::Custom, 0, 0, 0, 200, 120},
                     15,
                     0,
                     4});
    return cases;
}

// Where screenshots go: $QX_WINDOWS_SHOTS (a Unix path reaches the Linux folder through
// Wine's Z: drive); the fake editor's go to the working directory only.
std::string shotPath(const EditorCase& c) {
    const char* dir = std::getenv("QX_WINDOWS_SHOTS");
    if (!dir || !*dir || std::string(c.name) == "fake_editor") return std::string(c.name) + ".png";
    std::string folder = dir;
    if (folder.front() == '/') folder = "Z:" + folder;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder + "/" + c.name + ".png";
}

std::size_t distinctColours(const std::vector<std::uint32_t>& pixels) {
    return std::set<std::uint32_t>(pixels.begin(), pixels.end()).size();
}

// Pixels that differ inside `r` (frame coordinates) between two captures `width` wide.
int changedIn(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b, int width,
              const gui::ControlLayout& r) {
    int changed = 0;
    for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            changed += i < a.size() && i < b.size() && a[i] != b[i];
        }
    return changed;
}

// Windows of this thread: top-level, their descendants and message-only ones. A helper window
// (timer, tooltip, menu owner) an editor forgets to destroy shows here.
int windowsOfThisThread() {
    int count = 0;
    auto countTree = [](HWND window, LPARAM counter) -> BOOL {
        ++*reinterpret_cast<int*>(counter);
        EnumChildWindows(
            window,
            [](HWND, LPARAM n) -> BOOL {
                ++*reinterpret_cast<int*>(n);
                return TRUE;
            },
            counter);
        return TRUE;
    };
    EnumThreadWindows(GetCurrentThreadId(), countTree, reinterpret_cast<LPARAM>(&count));
    for (HWND w = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr))
        count += GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId();
    return count;
}

class WindowsEditor : public ::testing::TestWithParam<EditorCase> {
  protected:
    void SetUp() override {
        const EditorCase& c = GetParam();
        if (c.path.empty()) GTEST_SKIP() << c.name << " is not built";
        std::string error;
        plugin = Plugin::load(c.path, &error);
        ASSERT_TRUE(plugin) << error;
        ASSERT_TRUE(plugin->flags() & vst::effFlagsHasEditor) << c.name << " has no editor";
        plugin->prepare(44100.0f, 512);
    }

    // A host window the editor's size with the editor open in it.
    std::unique_ptr<HostWindow> openEditor() {
        std::string error;
        auto window = HostWindow::create(GetParam().width, GetParam().height, &error);
        EXPECT_TRUE(window) << error << " (Wine needs a display: run scripts/test_windows.sh)";
        if (!window) return nullptr;
        EXPECT_EQ(plugin->dispatch(vst::effEditOpen, 0, 0, window->handle()), 1);
        EXPECT_NE(window->editorWindow(), nullptr);
        return window;
    }
    void pump(HostWindow& window, int milliseconds) { window.pump(milliseconds, idle_); }
    // Audio through the plug-in on the window's thread between idles, so meters move.
    void playAndIdle(HostWindow& window, int rounds) {
        for (int i = 0; i < rounds; ++i) {
            tone.play(*plugin, 3);
            pump(window, 20);
        }
    }
    void mouse(HostWindow& window, HostWindow::Mouse action, int x, int y) {
        EXPECT_TRUE(window.postMouse(action, x, y));
        pump(window, 40);
    }

    std::unique_ptr<Plugin> plugin;
    TestTone tone;

  private:
    std::function<void()> idle_ = [this] { plugin->dispatch(vst::effEditIdle); };
};

TEST_P(WindowsEditor, DragIsOneEditScreenshotAndTheHostWindowMayGoFirst) {
    const EditorCase& c = GetParam();
    vst::ERect* rect = nullptr;
    ASSERT_EQ(plugin->dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->right - rect->left, c.width);
    EXPECT_EQ(rect->bottom - rect->top, c.height);

    auto window = openEditor();
    ASSERT_TRUE(window && window->editorWindow());
    playAndIdle(*window, 12);
    int w = 0, h = 0;
    std::vector<std::uint32_t> before;
    ASSERT_TRUE(window->capture(&w, &h, &before));
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
    // Skins, captions and meters: far more colours than a blank or solid window.
    if (c.name != std::string("fake_editor")) {
        EXPECT_GT(distinctColours(before), 64u);
    }
    const std::string shot = shotPath(c);
    EXPECT_TRUE(writePng(shot, w, h, before)) << shot;

    plugin->clearEvents();
    const float start = plugin->getParameter(c.param);
    const int x = c.control.x + c.control.width / 2, y = c.control.y + c.control.height / 2;
    mouse(*window, HostWindow::Mouse::Move, x, y);
    mouse(*window, HostWindow::Mouse::Down, x, y);
    for (int i = 1; i <= c.steps; ++i)
        mouse(*window, HostWindow::Mouse::Move, x + c.dx * i, y + c.dy * i);
    mouse(*window, HostWindow::Mouse::Up, x + c.dx * c.steps, y + c.dy * c.steps);
    pump(*window, 60);

    std::vector<HostEvent> edits;
    for (const HostEvent& e : plugin->events())
        if (e.index == c.param) edits.push_back(e);
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().opcode, vst::audioMasterBeginEdit);
    EXPECT_EQ(edits.back().opcode, vst::audioMasterEndEdit);
    for (std::size_t i = 1; i + 1 < edits.size(); ++i)
        EXPECT_EQ(edits[i].opcode, vst::audioMasterAutomate) << "event " << i;
    const float end = plugin->getParameter(c.param);
    EXPECT_FLOAT_EQ(edits[edits.size() - 2].value, end);
    EXPECT_NE(end, start) << "the drag did not move the control";
    // No other control began an edit it did not end.
    int open = 0;
    for (const HostEvent& e : plugin->events())
        open += e.opcode == vst::audioMasterBeginEdit ? 1
                : e.opcode == vst::audioMasterEndEdit ? -1
                                                      : 0;
    EXPECT_EQ(open, 0);

    // The control is drawn at its new value.
    std::vector<std::uint32_t> after;
    ASSERT_TRUE(window->capture(&w, &h, &after));
    EXPECT_GT(changedIn(before, after, w, c.control), 0);

    // The host closes its window before telling the editor: idles, close and a new editor in
    // a new window must all still work.
    window->destroy();
    plugin->dispatch(vst::effEditIdle);
    tone.play(*plugin, 2);
    plugin->dispatch(vst::effEditClose);
    window = openEditor();
    ASSERT_TRUE(window);
    playAndIdle(*window, 2);
    plugin->dispatch(vst::effEditClose);
    EXPECT_EQ(window->editorWindow(), nullptr) << "effEditClose left the editor's window";
    window.reset();
    plugin->close();
}

// Opening and closing the editor again and again must not leak window-system objects: the
// counts after 20 cycles equal those after the first. Wine may not count them (it answers 0);
// then memory stands in: 20 leaked back buffers would show far above the allowance.
TEST_P(WindowsEditor, OpenCloseCyclesLeaveNoObjectsBehind) {
    const EditorCase& c = GetParam();
    auto cycle = [&] {
        auto window = openEditor();
        ASSERT_TRUE(window);
        playAndIdle(*window, 2);
        plugin->dispatch(vst::effEditClose);
        EXPECT_EQ(window->editorWindow(), nullptr) << "effEditClose left the editor's window";
        window.reset();
    };
    auto gdi = [] { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); };
    auto user = [] { return GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS); };
    auto privateBytes = [] {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)
                   ? static_cast<double>(counters.PagefileUsage)
                   : 0.0;
    };
    // The first opening loads fonts, classes and shared skins for good.
    for (int i = 0; i < 2; ++i) cycle();
    const DWORD gdiBefore = gdi(), userBefore = user();
    const int windowsBefore = windowsOfThisThread();
    const double bytesBefore = privateBytes();
    for (int i = 0; i < 20; ++i) cycle();
    const int windowsAfter = windowsOfThisThread();
    EXPECT_EQ(windowsAfter, windowsBefore) << "windows left behind";
    const double grownBytes = privateBytes() - bytesBefore;
    std::printf("[ NOTE     ] 20 cycles: windows %d -> %d, private memory %+.0f KiB\n",
                windowsBefore, windowsAfter, grownBytes / 1024);
    if (gdiBefore == 0 && userBefore == 0) {
        std::printf(
            "[ NOTE     ] GetGuiResources answers 0 here (Wine counts no GDI/USER "
            "objects): their check is skipped\n");
    } else {
        EXPECT_LE(gdi(), gdiBefore) << "GDI objects leaked";
        EXPECT_LE(user(), userBefore) << "USER objects leaked";
    }
    const double frameBytes = 4.0 * c.width * c.height;
    EXPECT_LT(grownBytes, 4 * frameBytes + 2e6);
}

INSTANTIATE_TEST_SUITE_P(Deliverables, WindowsEditor, ::testing::ValuesIn(editorCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A new deliverable gets a row above; without one its editor would go untested.
TEST(WindowsEditorCases, EveryPluginWithAnEditorHasACase) {
    const auto cases = editorCases();
    for (const std::string& path : kPluginPaths) {
        const std::string name = std::filesystem::path(path).stem().string();
        bool listed = false;
        for (const EditorCase& c : cases) listed |= name == c.name;
        if (listed) continue;
        std::string error;
        auto plugin = Plugin::load(path, &error);
        ASSERT_TRUE(plugin) << error;
        EXPECT_FALSE(plugin->flags() & vst::effFlagsHasEditor) << name << " needs a case";
    }
}

}  // namespace
}  // namespace qx::host
