// What the editor tests share: a quiet host callback, layout look-ups, pixel captures, an
// in-process fixture (the effect object with its editor in a host window) and a fixture that
// loads the built plug-in and drives its editor with real X input.
#pragma once

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gui/geometry.h"
#include "gui/layout.h"
#include "tests/gui/x_session.h"
#include "tools/vsthost/plugin_host.h"

namespace qx::testing {

// A host that answers only the version question (`Version`, e.g. 2400) and ignores the rest.
template <int Version>
vst::VstIntPtr quietHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*,
                         float) {
    return opcode == vst::audioMasterVersion ? Version : 0;
}

// The row of `kind` with `tag` in `layout` (an array of gui::ControlLayout); a test failure
// (and the first row) when there is none.
template <class Layout>
const gui::ControlLayout& rowOf(const Layout& layout, gui::ControlKind kind, int tag) {
    for (const gui::ControlLayout& row : layout)
        if (row.kind == kind && row.tag == tag) return row;
    ADD_FAILURE() << "no layout row";
    return *std::begin(layout);
}

// The first row with `tag` in `layout`, of any kind.
template <class Layout>
const gui::ControlLayout& rowOf(const Layout& layout, int tag) {
    for (const gui::ControlLayout& row : layout)
        if (row.tag == tag) return row;
    ADD_FAILURE() << "no layout row for " << tag;
    return *std::begin(layout);
}

gui::CPoint centreOf(const gui::ControlLayout& row);

// Every second pixel of every second line of `area`, after the server has drawn.
std::vector<unsigned long> capture(const gui::testing::HostWindow& window, const gui::CRect& area);

// How many pixels differ between two captures of the same area.
int changedPixels(const std::vector<unsigned long>& a, const std::vector<unsigned long>& b);

// How many pixels of `area` differ from `before`, once more than `moreThan` do or a second
// has passed: the editor's uploads travel on its own connection and may land after ours.
int awaitChangedPixels(const gui::testing::HostWindow& window, const gui::CRect& area,
                       const std::vector<unsigned long>& before, int moreThan);

// The largest difference of two xRGB pixels in one colour channel (0..255).
int channelDistance(unsigned long a, unsigned long b);

// The effect object `PluginT` built in-process, its editor as `EditorT`, and a host window the
// size of the editor. Skips when there is no X server.
template <class PluginT, class EditorT>
class InProcessEditorTest : public ::testing::Test {
  protected:
    InProcessEditorTest(int width, int height, vst::audioMasterCallback host)
        : width_(width), height_(height), host_(host) {}

    void SetUp() override {
        if (!xServer()) GTEST_SKIP();
        effect = std::make_unique<PluginT>(host_);
        editor = dynamic_cast<EditorT*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
        window = std::make_unique<gui::testing::HostWindow>(width_, height_);
        ASSERT_TRUE(window->valid());
    }
    // True when SetUp got as far as a window; fixtures that add to SetUp stop otherwise.
    bool ready() const { return !IsSkipped() && !HasFatalFailure(); }

    // A dispatcher call through the record, as a host makes it.
    vst::VstIntPtr dispatch(int opcode, void* ptr = nullptr) {
        vst::AEffect* record = effect->getAeffect();
        return record->dispatcher(record, opcode, 0, 0, ptr, 0.0f);
    }

    std::unique_ptr<PluginT> effect;
    EditorT* editor = nullptr;
    std::unique_ptr<gui::testing::HostWindow> window;

  private:
    int width_;
    int height_;
    vst::audioMasterCallback host_;
};

// A built plug-in loaded as a host loads it, its editor open in a host window, and a user at
// the pointer.
class HostedEditor {
  public:
    // Loads the .so at `path`, prepares it at 44.1 kHz and opens its editor in a window of
    // `width` x `height`; the events of the opening are cleared. False when the test was
    // skipped (no X server) or has failed fatally, here or before.
    bool open(const char* path, int width, int height);
    // Closes the editor if one is open.
    void close();

    // Waits for the server to deliver, then idles the editor as a host's timer would.
    void settle();
    // Press at `from`, move in steps of (`dx`, `dy`) pixels `count` times, release.
    void drag(gui::CPoint from, int dx, int dy, int count);
    // Move to `at` and click; `settleWhilePressed` lets the editor idle between press and
    // release.
    void click(gui::CPoint at, bool settleWhilePressed = false);
    // The host events so far for parameter `index`.
    std::vector<host::HostEvent> eventsFor(int index);
    // The host saw begin edit, automation (the last carrying the value getParameter
    // reports), end edit for parameter `index`.
    void expectOneEdit(int index);
    // expectOneEdit, and the host saw nothing for any other parameter.
    void expectOnlyEdit(int index);

    std::unique_ptr<host::Plugin> plugin;
    std::unique_ptr<gui::testing::HostWindow> window;
    std::unique_ptr<FakeUser> user;

  private:
    void load(const char* path, int width, int height);
};

// A fixture (on gtest's `Base`, e.g. ::testing::TestWithParam<T>) that closes the editor after
// each test.
template <class Base = ::testing::Test>
class HostedEditorTest : public Base, public HostedEditor {
  protected:
    void TearDown() override { close(); }
};

}  // namespace qx::testing
