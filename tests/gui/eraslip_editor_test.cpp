// The eraslip editor in a real window on an X server: in-process for what only the editor
// object can show (display texts, peak hold), and through the built plug-in with XTest input
// for what a host sees (parameters, automation, begin/end edit).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <set>
#include <vector>

#include "effects/eraslip/lofi_editor.h"
#include "framework/plugin_effect_with_editor.h"
#include "gui/meter.h"
#include "resources/eraslip/eraslip_layout.h"
#include "tests/gui/editor_harness.h"

// The framework's entry point is compiled into this program; it creates what the plug-in does.
QX_DEFINE_PLUGIN(LofiEffect, LofiEditor)

namespace qx {
namespace {

using testing::centreOf;
using Plugin = PluginEffectWithEditor<LofiEffect, LofiEditor>;

const gui::ControlLayout& rowOf(gui::ControlKind kind, int tag) {
    return testing::rowOf(eraslip::kLayout, kind, tag);
}

class EraslipEditor : public testing::InProcessEditorTest<Plugin, LofiEditor> {
  protected:
    EraslipEditor()
        : InProcessEditorTest(eraslip::kWidth, eraslip::kHeight, &testing::quietHost<2300>) {}
    std::string displayText(int tag) {
        for (gui::CControl* c : editor->controlsFor(tag))
            if (auto* d = dynamic_cast<gui::CParamDisplay*>(c)) return d->text();
        return "<none>";
    }
    void process(float level, int frames) {
        std::vector<float> in(static_cast<size_t>(frames), level), outL(in.size()), outR(in.size());
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        effect->processReplacing(ins, outs, frames);
    }
};

TEST_F(EraslipEditor, RectBeforeOpenTextsAndHostChangesReachTheWindow) {
    EXPECT_TRUE(effect->getAeffect()->flags & vst::effFlagsHasEditor);
    vst::ERect* rect = nullptr;
    ASSERT_EQ(dispatch(vst::effEditGetRect, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, eraslip::kWidth);
    EXPECT_EQ(rect->bottom - rect->top, eraslip::kHeight);

    ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    EXPECT_NE(window->childWindow(), 0ul);
    // One decoded copy of each bitmap: the six knobs share their strip.
    std::set<int> ids;
    for (const auto& row : eraslip::kLayout)
        for (int id : {row.bitmap, row.bitmap2})
            if (id > eraslip::kBackground) ids.insert(id);
    EXPECT_EQ(editor->bitmapDecodes(), static_cast<int>(ids.size()));
    const gui::CView* firstKnob = editor->controlFor(eraslip::kRate);
    for (int tag :
         {eraslip::kBits, eraslip::kDa, eraslip::kCrosstalk, eraslip::kAd, eraslip::kHighCut})
        EXPECT_EQ(editor->controlFor(tag)->getBackground(), firstKnob->getBackground());
    // The factory program's values, in the editor's texts.
    EXPECT_EQ(displayText(eraslip::kPan), "C");
    EXPECT_EQ(displayText(eraslip::kOut), "-4dB");
    EXPECT_EQ(displayText(eraslip::kRate), "44100Hz");
    EXPECT_EQ(displayText(eraslip::kBits), "16bits");

    const struct {
        int tag;
        float value;
        const char* text;
    } cases[] = {{eraslip::kPan, 0.25f, "L50"},      {eraslip::kPan, 1.0f, "R100"},
                 {eraslip::kPan, 0.5f, "C"},         {eraslip::kOut, 0.7f, "-4dB"},
                 {eraslip::kRate, 0.0f, "2000Hz"},   {eraslip::kBits, 0.99f, "15bits"},
                 {eraslip::kCrosstalk, 0.5f, "50%"}, {eraslip::kHighCut, 0.5f, "500Hz"}};
    for (const auto& c : cases) {
        effect->setParameter(c.tag, c.value);
        // A change is a note for the editor's next idle.
        dispatch(vst::effEditIdle);
        EXPECT_EQ(displayText(c.tag), c.text) << c.tag << " at " << c.value;
        EXPECT_FLOAT_EQ(editor->controlFor(c.tag)->getValue(), c.value);
    }

    // A host change redraws the knob in the window on the next idle.
    const gui::ControlLayout& knob = rowOf(gui::ControlKind::AnimKnob, eraslip::kAd);
    dispatch(vst::effEditIdle);
    window->sync();
    // The value ring crosses the top of the knob only at high values.
    const int ringRow = knob.y + 4;
    std::vector<unsigned long> before;
    for (int x = knob.x; x < knob.x + knob.width; ++x) before.push_back(window->pixel(x, ringRow));
    effect->setParameter(eraslip::kAd, 1.0f);
    dispatch(vst::effEditIdle);
    window->sync();
    int changed = 0;
    for (int x = knob.x; x < knob.x + knob.width; ++x)
        changed += window->pixel(x, ringRow) != before[static_cast<size_t>(x - knob.x)];
    EXPECT_GT(changed, 10);

    dispatch(vst::effEditClose);
    EXPECT_EQ(window->childWindow(), 0ul);
}

TEST_F(EraslipEditor, ClosedEditorIgnoresCallsAndReopensWithCurrentValues) {
    // Before any open, and after a close: nothing to update, nothing to draw.
    effect->setParameter(eraslip::kRate, 0.3f);
    dispatch(vst::effEditIdle);
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
        EXPECT_FLOAT_EQ(editor->controlFor(eraslip::kRate)->getValue(), 0.3f + round * 0.1f);
        dispatch(vst::effEditIdle);
        dispatch(vst::effEditClose);
        EXPECT_EQ(editor->controlFor(eraslip::kRate), nullptr);
        effect->setParameter(eraslip::kRate, 0.4f + round * 0.1f);
        dispatch(vst::effEditIdle);
    }
    // A second open without a close replaces the window instead of stacking one.
    dispatch(vst::effEditOpen, window->parentHandle());
    dispatch(vst::effEditOpen, window->parentHandle());
    window->sync();
    EXPECT_NE(window->childWindow(), 0ul);
    dispatch(vst::effEditClose);
    EXPECT_EQ(window->childWindow(), 0ul);
    // A parent that does not exist is refused without ending the process.
    EXPECT_EQ(dispatch(vst::effEditOpen, reinterpret_cast<void*>(uintptr_t{0x7ffffff})), 0);
    EXPECT_EQ(editor->getFrame(), nullptr);
}

TEST_F(EraslipEditor, MeterFollowsOutputAndPeakReadoutClearsOnClick) {
    ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    gui::CFallOffMeter* meter = nullptr;
    for (int row = 0; row < static_cast<int>(std::size(eraslip::kLayout)); ++row)
        if (auto* m = dynamic_cast<gui::CFallOffMeter*>(editor->viewOfRow(row))) meter = m;
    ASSERT_NE(meter, nullptr);
    auto* readout = dynamic_cast<gui::CTextLabel*>(editor->controlFor(eraslip::kPeakReadout));
    ASSERT_NE(readout, nullptr);
    EXPECT_EQ(readout->text(), "-inf dB");
    double seconds = 10.0;
    editor->getFrame()->setClock([&] { return seconds; });

    effect->setParameter(eraslip::kBypass, 1.0f);  // the output is the input
    process(0.5f, 256);
    dispatch(vst::effEditIdle);
    EXPECT_NEAR(meter->getValue(), 0.9f * 0.5f, 1e-3);
    EXPECT_NEAR(meter->getPeakValue(), 0.9f * 0.5f, 1e-3);
    EXPECT_EQ(readout->text(), "-6.0 dB");
    // Silence: the bar falls by its rate over the time that passed, the hold stays.
    seconds += 0.1;
    dispatch(vst::effEditIdle);
    EXPECT_NEAR(meter->getValue(), 0.9f * 0.5f - 0.1f * eraslip::kMeterFallPerSecond, 1e-3);
    EXPECT_EQ(readout->text(), "-6.0 dB");

    editor->getFrame()->mouseDown(
        centreOf(rowOf(gui::ControlKind::PeakHoldReadout, eraslip::kPeakReadout)), {});
    EXPECT_EQ(readout->text(), "-inf dB");
    EXPECT_FLOAT_EQ(meter->getPeakValue(), 0.0f);
    EXPECT_EQ(editor->hintLine()->text(), "Peak hold cleared");
    // The command touched no parameter.
    EXPECT_FLOAT_EQ(effect->getParameter(eraslip::kBypass), 1.0f);
    dispatch(vst::effEditClose);
}

// --- Through the built plug-in, with real X input ---

class EraslipThroughHost : public testing::HostedEditorTest<> {
  protected:
    void SetUp() override { open(QX_ERASLIP_PATH, eraslip::kWidth, eraslip::kHeight); }
};

TEST_F(EraslipThroughHost, KnobDragIsAutomatedAsOneEditAndShiftIsFine) {
    const gui::CPoint knob = centreOf(rowOf(gui::ControlKind::AnimKnob, eraslip::kCrosstalk));
    ASSERT_FLOAT_EQ(plugin->getParameter(eraslip::kCrosstalk), 0.0f);
    drag(knob, 0, -10, 4);  // 40 px up
    const float coarse = plugin->getParameter(eraslip::kCrosstalk);
    EXPECT_NEAR(coarse, 0.2f, 0.011f);
    expectOneEdit(eraslip::kCrosstalk);

    plugin->clearEvents();
    user->shift(true);
    drag(knob, 0, -10, 4);
    user->shift(false);
    settle();
    EXPECT_NEAR(plugin->getParameter(eraslip::kCrosstalk) - coarse, 0.02f, 0.002f);
    expectOneEdit(eraslip::kCrosstalk);

    // Wheel notches over a knob: one edit each.
    plugin->clearEvents();
    const float before = plugin->getParameter(eraslip::kCrosstalk);
    user->moveTo(knob.x, knob.y);
    user->press(4);
    user->release(4);
    settle();
    EXPECT_NEAR(plugin->getParameter(eraslip::kCrosstalk) - before, gui::kWheelStep, 1e-5);
    expectOneEdit(eraslip::kCrosstalk);
}

TEST_F(EraslipThroughHost, BypassClickAndFaderDrag) {
    const gui::CPoint bypass = centreOf(rowOf(gui::ControlKind::MovieButton, eraslip::kBypass));
    user->moveTo(bypass.x, bypass.y);
    user->press();
    user->release();
    settle();
    EXPECT_FLOAT_EQ(plugin->getParameter(eraslip::kBypass), 1.0f);
    expectOneEdit(eraslip::kBypass);

    plugin->clearEvents();
    user->press();
    user->release();
    settle();
    EXPECT_FLOAT_EQ(plugin->getParameter(eraslip::kBypass), 0.0f);

    // The pan fader: grab the handle at the centre and pull it left by a quarter.
    plugin->clearEvents();
    const gui::ControlLayout& pan = rowOf(gui::ControlKind::HSlider, eraslip::kPan);
    const int travel = pan.width - 18;
    drag({pan.x + pan.width / 2, pan.y + pan.height / 2}, -travel / 20, 0, 5);
    EXPECT_NEAR(plugin->getParameter(eraslip::kPan), 0.25f, 0.01f);
    expectOneEdit(eraslip::kPan);
}

TEST_F(EraslipThroughHost, HostSetParameterMovesTheFaderOnScreen) {
    const gui::ControlLayout& out = rowOf(gui::ControlKind::VSlider, eraslip::kOut);
    const int x = out.x + out.width / 2;
    // Find the handle's rows by colour: the handle is bright metal, the track dark.
    auto brightRows = [&] {
        window->sync();
        int top = -1;
        for (int y = out.y; y < out.y + out.height; ++y) {
            const unsigned long p = window->pixel(x - 4, y);
            if (((p >> 8) & 0xff) > 0xa0) {
                top = y;
                break;
            }
        }
        return top;
    };
    const int atFactory = brightRows();
    ASSERT_GE(atFactory, 0);
    plugin->setParameter(eraslip::kOut, 0.0f);
    settle();
    const int atBottom = brightRows();
    EXPECT_GT(atBottom, atFactory + 80);
    EXPECT_TRUE(plugin->events().empty());  // a host change is not echoed back as automation
}

}  // namespace
}  // namespace qx
