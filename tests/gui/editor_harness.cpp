// The editor-test helpers that need no plug-in type: pixel captures and the hosted editor.
#include "tests/gui/editor_harness.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace qx::testing {

gui::CPoint centreOf(const gui::ControlLayout& row) {
    return {row.x + row.width / 2, row.y + row.height / 2};
}

std::vector<unsigned long> capture(const gui::testing::HostWindow& window, const gui::CRect& area) {
    window.sync();
    std::vector<unsigned long> pixels;
    for (int y = area.top; y < area.bottom; y += 2)
        for (int x = area.left; x < area.right; x += 2) pixels.push_back(window.pixel(x, y));
    return pixels;
}

int changedPixels(const std::vector<unsigned long>& a, const std::vector<unsigned long>& b) {
    int changed = 0;
    for (size_t i = 0; i < a.size(); ++i) changed += a[i] != b[i];
    return changed;
}

int awaitChangedPixels(const gui::testing::HostWindow& window, const gui::CRect& area,
                       const std::vector<unsigned long>& before, int moreThan) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    int changed = changedPixels(before, capture(window, area));
    while (changed <= moreThan && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        changed = changedPixels(before, capture(window, area));
    }
    return changed;
}

int channelDistance(unsigned long a, unsigned long b) {
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8)
        most = std::max(most, std::abs(static_cast<int>(a >> shift & 0xff) -
                                       static_cast<int>(b >> shift & 0xff)));
    return most;
}

bool HostedEditor::open(const char* path, int width, int height) {
    load(path, width, height);
    return !::testing::Test::HasFatalFailure() && !::testing::Test::IsSkipped();
}

void HostedEditor::load(const char* path, int width, int height) {
    if (!xServer()) GTEST_SKIP();
    std::string error;
    plugin = host::Plugin::load(path, &error);
    ASSERT_TRUE(plugin) << error;
    plugin->prepare(44100.0f, 512);
    window = std::make_unique<gui::testing::HostWindow>(width, height);
    ASSERT_EQ(plugin->dispatch(vst::effEditOpen, 0, 0, window->parentHandle()), 1);
    user = std::make_unique<FakeUser>(*window);
    settle();
    plugin->clearEvents();
}

void HostedEditor::close() {
    if (plugin) plugin->dispatch(vst::effEditClose);
}

void HostedEditor::settle() {
    user->settle([this] { plugin->dispatch(vst::effEditIdle); });
}

void HostedEditor::drag(gui::CPoint from, int dx, int dy, int count) {
    user->moveTo(from.x, from.y);
    settle();
    user->press();
    settle();
    for (int i = 1; i <= count; ++i) {
        user->moveTo(from.x + dx * i, from.y + dy * i);
        settle();
    }
    user->release();
    settle();
}

void HostedEditor::click(gui::CPoint at, bool settleWhilePressed) {
    user->moveTo(at.x, at.y);
    settle();
    user->press();
    if (settleWhilePressed) settle();
    user->release();
    settle();
}

std::vector<host::HostEvent> HostedEditor::eventsFor(int index) {
    std::vector<host::HostEvent> out;
    for (const auto& e : plugin->events())
        if (e.index == index) out.push_back(e);
    return out;
}

void HostedEditor::expectOneEdit(int index) {
    const auto events = eventsFor(index);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().opcode, vst::audioMasterBeginEdit);
    EXPECT_EQ(events.back().opcode, vst::audioMasterEndEdit);
    for (size_t i = 1; i + 1 < events.size(); ++i)
        EXPECT_EQ(events[i].opcode, vst::audioMasterAutomate) << i;
    EXPECT_FLOAT_EQ(events[events.size() - 2].value, plugin->getParameter(index));
}

void HostedEditor::expectOnlyEdit(int index) {
    for (const auto& e : plugin->events()) EXPECT_EQ(e.index, index);
    expectOneEdit(index);
}

}  // namespace qx::testing
