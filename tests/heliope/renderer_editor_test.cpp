// The headphone renderer editors in a real window on an X server: in-process for what only
// the editor object shows (meters, the peak-hold read-out, the hint line), and through the
// built plug-ins with XTest input for what a host sees (a knob drag, a cabinet chosen from
// the menu).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "effects/heliope/renderer_editor.h"
#include "framework/plugin_effect_with_editor.h"
#include "resources/heliope/heliope_layout.h"
#include "tests/gui/x_session.h"
#include "tools/vsthost/plugin_host.h"

// The framework's entry point is compiled into this program; it creates what the plug-in does.
QX_DEFINE_PLUGIN(HeliopeEffect, HeliopeEditor)

namespace qx {
namespace {

using gui::testing::HostWindow;
using testing::FakeUser;
using Plugin = PluginEffectWithEditor<HeliopeEffect, HeliopeEditor>;

vst::VstIntPtr quietHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*,
                         float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

const gui::ControlLayout& rowOf(gui::ControlKind kind, int tag) {
    for (const auto& row : heliope::kLayout)
        if (row.kind == kind && row.tag == tag) return row;
    ADD_FAILURE() << "no layout row";
    return heliope::kLayout[0];
}

gui::CPoint centreOf(const gui::ControlLayout& row) {
    return {row.x + row.width / 2, row.y + row.height / 2};
}

class HeliopeEditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::xServer()) GTEST_SKIP();
        effect = std::make_unique<Plugin>(&quietHost);
        editor = dynamic_cast<HeliopeEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
        window = std::make_unique<HostWindow>(heliope::kWidth, heliope::kHeight);
        ASSERT_TRUE(window->valid());
    }
    vst::VstIntPtr dispatch(int opcode, void* ptr = nullptr) {
        vst::AEffect* record = effect->getAeffect();
        return record->dispatcher(record, opcode, 0, 0, ptr, 0.0f);
    }
    // A 1 kHz tone of `level` on both inputs, through the record as a host calls it.
    void process(float level, int frames) {
        std::vector<float> in(static_cast<size_t>(frames)), outL(in.size()), outR(in.size());
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = level * static_cast<float>(std::sin(2 * M_PI * 1000.0 * i / 44100.0));
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        vst::AEffect* record = effect->getAeffect();
        record->processReplacing(record, ins, outs, frames);
    }
    std::string hintAfter(int tag, float value) {
        gui::CControl* control = editor->controlFor(tag);
        if (!control) return "<no control>";
        control->setValue(value);
        editor->controlChanged(control);
        return editor->hintLine()->text();
    }

    std::unique_ptr<Plugin> effect;
    HeliopeEditor* editor = nullptr;
    std::unique_ptr<HostWindow> window;
};

TEST_F(HeliopeEditorTest, RectAboutTextAndEveryHintKind) {
    vst::ERect* rect = nullptr;
    ASSERT_EQ(dispatch(vst::effEditGetRect, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, heliope::kWidth);
    EXPECT_EQ(rect->bottom - rect->top, heliope::kHeight);
    ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    EXPECT_NE(editor->hintLine()->text().find("www."), std::string::npos);
    // Every parameter has its control, at the program's value.
    for (int tag = 0; tag < kHeliopeNumParams; ++tag) {
        ASSERT_NE(editor->controlFor(tag), nullptr) << tag;
        EXPECT_FLOAT_EQ(editor->controlFor(tag)->getValue(), effect->getParameter(tag)) << tag;
    }
    // The trim stands on the level scale: 1/7 is -36 dB, written as its linear gain.
    EXPECT_EQ(hintAfter(kHeliopeOutputTrim, 1.0f / 7.0f), "Output trim     -36.00 dB");
    EXPECT_NEAR(effect->getParameter(kHeliopeOutputTrim), 0.0158489f, 1e-6f);
    effect->setParameter(kHeliopeOutputTrim, 0.5f);  // -6.02 dB from the host
    dispatch(vst::effEditIdle);                      // host changes land on the next idle
    EXPECT_NEAR(editor->controlFor(kHeliopeOutputTrim)->getValue(), 29.9794f / 42 + 1.0f / 7,
                1e-4f);
    EXPECT_EQ(hintAfter(kHeliopeDistance, 0.5f), "Distance        2.50 m ");
    EXPECT_EQ(hintAfter(kHeliopeCueStrength, 0.25f), "Cue strength    25.00 % ");
    EXPECT_EQ(hintAfter(kHeliopeItds, 0.0f), "Generate ITDs   Off");
    EXPECT_EQ(hintAfter(kHeliopeNextDoor, 1.0f), "Next door       On");
    EXPECT_EQ(hintAfter(kHeliopeChannelMode, 3.0f), "Channel mode      3");
    // The edits reached the effect as they are.
    EXPECT_EQ(effect->getParameter(kHeliopeChannelMode), 3.0f);
    EXPECT_EQ(effect->getParameter(kHeliopeOutputTrim), 0.5f);
    const float trimAt = editor->controlFor(kHeliopeOutputTrim)->getValue();
    EXPECT_NE(hintAfter(kHeliopeOutputTrim, trimAt).find("-6.02 dB"), std::string::npos);
    // A host change moves the control.
    effect->setParameter(kHeliopeCabinet, 7.0f);
    dispatch(vst::effEditIdle);
    EXPECT_FLOAT_EQ(editor->controlFor(kHeliopeCabinet)->getValue(), 7.0f);
    dispatch(vst::effEditClose);
    EXPECT_EQ(editor->controlFor(kHeliopeCabinet), nullptr);
}

TEST_F(HeliopeEditorTest, MetersFollowTheOutputAndAClickReleasesTheHolds) {
    effect->setProgram(4);  // no room: the output falls silent with the input
    ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    gui::CFallOffMeter* left = editor->meter(0);
    gui::CFallOffMeter* right = editor->meter(1);
    ASSERT_TRUE(left && right);
    ASSERT_NE(editor->peakHoldReadout(), nullptr);
    EXPECT_EQ(editor->peakHoldReadout()->text(), RendererEditor::kFloorText);
    EXPECT_EQ(left->getValue(), 0.0f);

    process(0.5f, 2048);
    dispatch(vst::effEditIdle);
    const RendererMeters& m = effect->meters();
    EXPECT_NEAR(left->getValue(), heliopeScalePosition(m.peakLevel[0].load()), 1e-6f);
    EXPECT_GT(left->getValue(), 0.6f);
    EXPECT_GT(right->getValue(), 0.6f);
    EXPECT_NEAR(left->getPeakValue(), heliopeScalePosition(m.heldPeak[0].load()), 1e-6f);
    char expected[48];
    std::snprintf(expected, sizeof expected, "%2.1f dB %2.1f",
                  20 * std::log10(m.heldPeak[0].load()), 20 * std::log10(m.heldPeak[1].load()));
    EXPECT_EQ(editor->peakHoldReadout()->text(), expected);

    // Silence: the bars fall, the holds and the read-out stay.
    const float shown = left->getValue();
    const float held = m.heldPeak[0].load();
    process(0.0f, 44100);
    // The bars fall with time, as a host's idle timer paces them.
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        dispatch(vst::effEditIdle);
    }
    EXPECT_LT(left->getValue(), shown);
    EXPECT_EQ(editor->peakHoldReadout()->text(), expected);

    // A click on the read-out: the next block releases the holds to the present level.
    editor->getFrame()->mouseDown(
        centreOf(rowOf(gui::ControlKind::CommandLabel, heliope::kPeakHoldTag)), {});
    process(0.0f, 64);
    dispatch(vst::effEditIdle);
    EXPECT_NE(editor->peakHoldReadout()->text(), expected);
    EXPECT_LT(m.heldPeak[0].load(), 0.5f * held);
    // Released at the block's first frame; the level has fallen for 64 frames since.
    EXPECT_NEAR(m.heldPeak[0].load(), m.peakLevel[0].load(), 0.01f * m.peakLevel[0].load());
    dispatch(vst::effEditClose);
}

// --- Through the built plug-ins, with real X input ---

class RendererThroughHost : public ::testing::Test {
  protected:
    void open(const char* path) {
        if (!testing::xServer()) GTEST_SKIP();
        std::string error;
        plugin = host::Plugin::load(path, &error);
        ASSERT_TRUE(plugin) << error;
        plugin->prepare(44100.0f, 512);
        window = std::make_unique<HostWindow>(heliope::kWidth, heliope::kHeight);
        ASSERT_EQ(plugin->dispatch(vst::effEditOpen, 0, 0, window->parentHandle()), 1);
        user = std::make_unique<FakeUser>(*window);
        settle();
        plugin->clearEvents();
    }
    void TearDown() override {
        if (plugin) plugin->dispatch(vst::effEditClose);
    }
    void settle() {
        user->settle([this] { plugin->dispatch(vst::effEditIdle); });
    }
    void click(int x, int y) {
        user->moveTo(x, y);
        settle();
        user->press();
        user->release();
        settle();
    }
    std::vector<host::HostEvent> eventsFor(int index) {
        std::vector<host::HostEvent> out;
        for (const auto& e : plugin->events())
            if (e.index == index) out.push_back(e);
        return out;
    }
    // Begin edit, automation (the last with the value getParameter reports), end edit.
    void expectOneEdit(int index) {
        const auto events = eventsFor(index);
        ASSERT_GE(events.size(), 3u);
        EXPECT_EQ(events.front().opcode, vst::audioMasterBeginEdit);
        EXPECT_EQ(events.back().opcode, vst::audioMasterEndEdit);
        for (size_t i = 1; i + 1 < events.size(); ++i)
            EXPECT_EQ(events[i].opcode, vst::audioMasterAutomate) << i;
        EXPECT_FLOAT_EQ(events[events.size() - 2].value, plugin->getParameter(index));
    }
    // Opens the cabinet menu and picks entry `index` from its list.
    void chooseCabinet(int index) {
        const gui::ControlLayout& menu = rowOf(gui::ControlKind::OptionMenu, kHeliopeCabinet);
        click(menu.x + menu.width / 2, menu.y + menu.height / 2);
        const int rowHeight = gui::PopupStyle{}.rowHeight;
        click(menu.x + menu.width / 2, menu.y + menu.height + index * rowHeight + rowHeight / 2);
    }

    std::unique_ptr<host::Plugin> plugin;
    std::unique_ptr<HostWindow> window;
    std::unique_ptr<FakeUser> user;
};

TEST_F(RendererThroughHost, KnobDragIsOneEditAndTheMenuChoosesACabinet) {
    open(QX_HELIOPE_PATH);
    const gui::CPoint knob = centreOf(rowOf(gui::ControlKind::AnimKnob, kHeliopeCueStrength));
    const float before = plugin->getParameter(kHeliopeCueStrength);
    user->moveTo(knob.x, knob.y);
    settle();
    user->press();
    settle();
    for (int i = 1; i <= 4; ++i) {
        user->moveTo(knob.x, knob.y - 10 * i);
        settle();
    }
    user->release();
    settle();
    EXPECT_NEAR(plugin->getParameter(kHeliopeCueStrength) - before, 0.2f, 0.011f);
    expectOneEdit(kHeliopeCueStrength);

    // The trim handle, dragged down from the top: one edit writing the scale's gain.
    plugin->clearEvents();
    const gui::ControlLayout& trim = rowOf(gui::ControlKind::VSlider, kHeliopeOutputTrim);
    const gui::CPoint handle{trim.x + trim.width / 2, trim.y + 17};
    user->moveTo(handle.x, handle.y);
    settle();
    user->press();
    settle();
    for (int i = 1; i <= 5; ++i) {
        user->moveTo(handle.x, handle.y + 10 * i);
        settle();
    }
    user->release();
    settle();
    expectOneEdit(kHeliopeOutputTrim);
    const float gain = plugin->getParameter(kHeliopeOutputTrim);
    // 50 of 252 pixels of travel down from 0 dB: about -8.3 dB.
    EXPECT_NEAR(20 * std::log10(gain), -42.0 * 50 / 252, 0.5);

    plugin->clearEvents();
    chooseCabinet(9);  // "Laptop speakers"
    EXPECT_EQ(plugin->getParameter(kHeliopeCabinet), 9.0f);
    const auto events = eventsFor(kHeliopeCabinet);
    ASSERT_FALSE(events.empty());
    bool automated = false;
    for (const auto& e : events)
        automated |= e.opcode == vst::audioMasterAutomate && e.value == 9.0f;
    EXPECT_TRUE(automated);
    EXPECT_EQ(plugin->parameterDisplay(kHeliopeCabinet), "9.000");
}

TEST_F(RendererThroughHost, SurroundMenuListsTheSubwooferModels) {
    open(QX_HELIOPE_SURROUND_PATH);
    chooseCabinet(12);  // "Sub / sat (low-end)", beyond the stereo list
    EXPECT_EQ(plugin->getParameter(kSurroundCabinet), 12.0f);
    // Meters move with a six-channel signal.
    std::vector<std::vector<float>> in(6, std::vector<float>(4096));
    for (auto& ch : in)
        for (size_t i = 0; i < ch.size(); ++i) ch[i] = 0.5f * std::sin(0.05f * i);
    plugin->run(in);
    settle();
    // The lit bar of the left meter, counted in changed pixels of its column.
    auto column = [&] {
        window->sync();
        std::vector<unsigned long> pixels;
        for (int y = heliope::kMeterTop; y < heliope::kMeterTop + heliope::kMeterHeight; ++y)
            pixels.push_back(window->pixel(heliope::kMeterLeft[0] + 4, y));
        return pixels;
    };
    const std::vector<unsigned long> lit = column();
    plugin->run(std::vector<std::vector<float>>(6, std::vector<float>(44100 * 3, 0.0f)), 4096);
    for (int i = 0; i < 40; ++i) settle();
    const std::vector<unsigned long> fallen = column();
    int changed = 0;
    for (size_t i = 0; i < lit.size(); ++i) changed += lit[i] != fallen[i];
    EXPECT_GT(changed, 40);
}

}  // namespace
}  // namespace qx
