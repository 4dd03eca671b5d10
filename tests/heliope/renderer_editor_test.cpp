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
#include "tests/gui/editor_harness.h"

// The framework's entry point is compiled into this program; it creates what the plug-in does.
QX_DEFINE_PLUGIN(HeliopeEffect, HeliopeEditor)

namespace qx {
namespace {

using testing::centreOf;
using Plugin = PluginEffectWithEditor<HeliopeEffect, HeliopeEditor>;

const gui::ControlLayout& rowOf(gui::ControlKind kind, int tag) {
    return testing::rowOf(heliope::kLayout, kind, tag);
}

class HeliopeEditorTest : public testing::InProcessEditorTest<Plugin, HeliopeEditor> {
  protected:
    HeliopeEditorTest()
        : InProcessEditorTest(heliope::kWidth, heliope::kHeight, &testing::quietHost<2400>) {}
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

class RendererThroughHost : public testing::HostedEditorTest<> {
  protected:
    bool open(const char* path) {
        return HostedEditor::open(path, heliope::kWidth, heliope::kHeight);
    }
    void click(int x, int y) { HostedEditor::click({x, y}); }
    // Opens the cabinet menu and picks entry `index` from its list.
    void chooseCabinet(int index) {
        const gui::ControlLayout& menu = rowOf(gui::ControlKind::OptionMenu, kHeliopeCabinet);
        click(menu.x + menu.width / 2, menu.y + menu.height / 2);
        const int rowHeight = gui::PopupStyle{}.rowHeight;
        click(menu.x + menu.width / 2, menu.y + menu.height + index * rowHeight + rowHeight / 2);
    }
};

TEST_F(RendererThroughHost, KnobDragIsOneEditAndTheMenuChoosesACabinet) {
    if (!open(QX_HELIOPE_PATH)) return;
    const gui::CPoint knob = centreOf(rowOf(gui::ControlKind::AnimKnob, kHeliopeCueStrength));
    const float before = plugin->getParameter(kHeliopeCueStrength);
    drag(knob, 0, -10, 4);
    EXPECT_NEAR(plugin->getParameter(kHeliopeCueStrength) - before, 0.2f, 0.011f);
    expectOneEdit(kHeliopeCueStrength);

    // The trim handle, dragged down from the top: one edit writing the scale's gain.
    plugin->clearEvents();
    const gui::ControlLayout& trim = rowOf(gui::ControlKind::VSlider, kHeliopeOutputTrim);
    const gui::CPoint handle{trim.x + trim.width / 2, trim.y + 17};
    drag(handle, 0, 10, 5);
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
    if (!open(QX_HELIOPE_SURROUND_PATH)) return;
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
