// The quassel editor on an X server: in-process for what only the editor object shows (the
// page bound to the band display, bar counts, meters, texts), and through the built plug-in
// with real X input for what a host sees (automation with begin/end edit).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "effects/quassel/multiband_editor.h"
#include "framework/plugin_effect_with_editor.h"
#include "resources/quassel/quassel_layout.h"
#include "tests/gui/editor_harness.h"

// The framework's entry point is compiled into this program; it creates what the plug-in does.
QX_DEFINE_PLUGIN(MultibandEffect, MultibandEditor)

namespace qx {
namespace {

using testing::centreOf;
using Plugin = PluginEffectWithEditor<MultibandEffect, MultibandEditor>;

const gui::ControlLayout& rowOf(int tag) {
    return testing::rowOf(quassel::kLayout, tag);
}

class QuasselEditor : public testing::InProcessEditorTest<Plugin, MultibandEditor> {
  protected:
    QuasselEditor()
        : InProcessEditorTest(quassel::kWidth, quassel::kHeight, &testing::quietHost<2400>) {}
    void SetUp() override {
        InProcessEditorTest::SetUp();
        if (!ready()) return;
        ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    }
    void TearDown() override {
        if (editor) dispatch(vst::effEditClose);
    }
    void idle() { dispatch(vst::effEditIdle); }
    // Each visible bar's tag and value against the parameters of `first` .. .
    void expectBars(int first, int count) {
        gui::CBandView* bands = editor->bandView();
        ASSERT_NE(bands, nullptr);
        EXPECT_EQ(bands->bandCount(), count);
        for (int b = 0; b < count; ++b) {
            EXPECT_EQ(bands->bar(b)->getTag(), first + b) << b;
            EXPECT_FLOAT_EQ(bands->bar(b)->getValue(), effect->getParameter(first + b)) << b;
        }
        for (int f = 0; f < kQuasselNumFamilies; ++f)
            EXPECT_FLOAT_EQ(editor->controlFor(quassel::kFirstPageButton + f)->getValue(),
                            kQuasselFamilyFirst[f] == first ? 1.0f : 0.0f)
                << f;
    }
    void process(const std::vector<float>& x) {
        std::vector<float> outL(x.size()), outR(x.size());
        float* ins[2] = {const_cast<float*>(x.data()), const_cast<float*>(x.data())};
        float* outs[2] = {outL.data(), outR.data()};
        vst::AEffect* record = effect->getAeffect();
        record->processReplacing(record, ins, outs, static_cast<int>(x.size()));
    }
};

// "GUI mode" re-binds the band display to its family, the band count sets the bars in use,
// the page buttons switch pages and say so, and a host change reaches its bar.
TEST_F(QuasselEditor, GuiModeRebindsTheBandDisplay) {
    expectBars(kQuasselMakeupGain, 14);  // program 0: make-up page, 14 bands
    effect->setProgram(5);               // "Mix: bass limiter": thresholds differ per band
    effect->setParameter(kQuasselGuiMode, 0.15f);
    idle();
    EXPECT_EQ(editor->pageFamily(), 1);
    expectBars(kQuasselThreshold, 14);
    EXPECT_FLOAT_EQ(editor->bandView()->bar(0)->getValue(), 0.1f);
    EXPECT_FLOAT_EQ(editor->bandView()->bar(2)->getValue(), 1.0f);
    // 0.6 and above keep the page.
    effect->setParameter(kQuasselGuiMode, 0.9f);
    idle();
    expectBars(kQuasselThreshold, 14);
    effect->setParameter(kQuasselNumberOfBands, 1.0f);
    idle();
    expectBars(kQuasselThreshold, 20);
    effect->setParameter(kQuasselNumberOfBands, 0.05f);
    idle();
    expectBars(kQuasselThreshold, 1);
    effect->setParameter(kQuasselNumberOfBands, 0.5f);
    // A change of a parameter on the page moves its bar; one off the page moves nothing.
    effect->setParameter(kQuasselThreshold + 3, 0.42f);
    effect->setParameter(kQuasselRatio + 3, 0.77f);
    idle();
    EXPECT_FLOAT_EQ(editor->bandView()->bar(3)->getValue(), 0.42f);

    const char* texts[] = {"Makeup gain display", "Threshold display", "Ratio display",
                           "Attack display",      "Release display",   "Warmth display"};
    for (int f : {2, 5, 0, 4, 3, 1}) {
        editor->getFrame()->mouseDown(centreOf(rowOf(quassel::kFirstPageButton + f)), {});
        editor->getFrame()->mouseUp(centreOf(rowOf(quassel::kFirstPageButton + f)), {});
        idle();
        EXPECT_FLOAT_EQ(effect->getParameter(kQuasselGuiMode), 0.05f + 0.1f * f);
        EXPECT_EQ(editor->hintLine()->text(), texts[f]);
        expectBars(kQuasselFamilyFirst[f], 14);
    }
    EXPECT_FLOAT_EQ(editor->bandView()->bar(3)->getValue(), 0.42f);
    editor->getFrame()->mouseDown(centreOf(rowOf(quassel::kFirstPageButton + 2)), {});
    idle();
    EXPECT_FLOAT_EQ(editor->bandView()->bar(3)->getValue(), 0.77f);

    // Reopening shows the page "GUI mode" holds.
    dispatch(vst::effEditClose);
    effect->setParameter(kQuasselGuiMode, 0.45f);
    ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    expectBars(kQuasselRelease, 14);
    // A press on a bar sets that band and writes its line: padded name, value, label.
    const gui::ControlLayout& area = rowOf(kQuasselMakeupGain);
    editor->getFrame()->mouseDown({area.x + 5, area.y + area.height / 4}, {});
    editor->getFrame()->mouseUp({area.x + 5, area.y + area.height / 4}, {});
    const float v = effect->getParameter(kQuasselRelease);
    EXPECT_NEAR(v, 0.75f, 0.01f);
    char line[64];
    std::snprintf(line, sizeof line, "Release 01      %3.2f ms", 0.1f + 999.9f * v);
    EXPECT_EQ(editor->hintLine()->text(), line);
}

// With a signal the output meters, the band levels and the peak read-out move; silence lets
// the meters fall by time; a click on the read-out drops the engine's hold.
TEST_F(QuasselEditor, MetersFollowTheSignalAndFallByTime) {
    double seconds = 10.0;
    editor->getFrame()->setClock([&] { return seconds; });
    effect->resume();
    effect->setParameter(kQuasselOutputTrim, 1.0f);
    std::vector<float> loud(4096);
    for (size_t n = 0; n < loud.size(); ++n) loud[n] = 0.5f * std::sin(0.07f * float(n));
    process(loud);
    process(loud);
    idle();
    auto* meter = dynamic_cast<gui::CFallOffMeter*>(editor->viewOfRow(quassel::kMeterRow[0]));
    ASSERT_NE(meter, nullptr);
    const float shown = meter->getValue();
    EXPECT_GT(shown, quasselTravelPosition(0.1f));
    EXPECT_GT(meter->getPeakValue(), shown * 0.9f);
    auto* readout = dynamic_cast<gui::CTextLabel*>(editor->controlFor(quassel::kPeakReadout));
    ASSERT_NE(readout, nullptr);
    const float holdDb = 20.0f * std::log10(effect->meters().hold[0].load());
    char expected[64];
    std::snprintf(expected, sizeof expected, "%2.1f dB %2.1f", holdDb, holdDb);
    EXPECT_EQ(readout->text(), expected);

    // A click on the read-out drops the engine's hold to the decaying level at once.
    process(std::vector<float>(4096, 0.0f));
    const float held = effect->meters().hold[0].load();
    editor->getFrame()->mouseDown(centreOf(rowOf(quassel::kPeakReadout)), {});
    EXPECT_EQ(editor->hintLine()->text(), "Peak hold reset");
    process(std::vector<float>(64, 0.0f));
    EXPECT_LT(effect->meters().hold[0].load(), held);
    EXPECT_NEAR(effect->meters().hold[0].load(), effect->meters().level[0].load(), 1e-3f);

    // The engine's meters back at rest (a host suspend): the bar falls by time, not at once.
    idle();
    const float before = meter->getValue();
    effect->suspend();
    effect->resume();
    process(std::vector<float>(64, 0.0f));
    seconds += 0.2;
    idle();
    EXPECT_NEAR(meter->getValue(), before - 0.2f * quassel::kMeterFall, 0.01f);
    seconds += 1.0;
    idle();
    EXPECT_EQ(meter->getValue(), 0.0f);
}

// --- Through the built plug-in, with real X input ---

class QuasselThroughHost : public testing::HostedEditorTest<> {
  protected:
    void SetUp() override { open(QX_QUASSEL_PATH, quassel::kWidth, quassel::kHeight); }
    // One edit, and nothing for any other parameter.
    void expectOneEdit(int index) {
        for (const auto& e : plugin->events()) EXPECT_EQ(e.index, index);
        HostedEditor::expectOneEdit(index);
    }
};

// Dragging a bar edits that band of the family shown; after a page switch by the host the
// same bar edits the other family.
TEST_F(QuasselThroughHost, DraggingABandBarAutomatesThatBand) {
    const gui::ControlLayout& area = rowOf(kQuasselMakeupGain);
    const int barWidth = area.width / 14;
    const gui::CPoint bar4{area.x + barWidth * 4 + barWidth / 2, area.y + area.height / 2};
    drag(bar4, 0, -11, 4);  // up by a fifth of the height
    EXPECT_NEAR(plugin->getParameter(kQuasselMakeupGain + 4), 0.5f + 0.2f, 0.03f);
    expectOneEdit(kQuasselMakeupGain + 4);

    plugin->setParameter(kQuasselGuiMode, 0.55f);  // the warmth page
    settle();
    plugin->clearEvents();
    const float makeup = plugin->getParameter(kQuasselMakeupGain + 4);
    drag(bar4, 0, 11, 4);
    EXPECT_NEAR(plugin->getParameter(kQuasselWarmth + 4), 0.3f, 0.03f);
    EXPECT_EQ(plugin->getParameter(kQuasselMakeupGain + 4), makeup);
    expectOneEdit(kQuasselWarmth + 4);
}

// The output fader runs on the dB travel: its handle moved to -36 dB (one seventh up) sets
// the trim to 10^(-36/20); a knob drag is one edit too.
TEST_F(QuasselThroughHost, FaderOnTheDbTravelAndKnobDrag) {
    const gui::ControlLayout& fader = rowOf(quassel::kOutputTrimFader);
    const int travel = fader.height - quassel::kHandleLength;
    // Program 0: trim 0.5 (-6 dB), the handle at position 6/7 - 6/42.
    const float start = quasselTravelPosition(0.5f);
    const int handleY = fader.y + quassel::kHandleLength / 2 + int((1.0f - start) * travel);
    const float target = 1.0f / 7.0f;
    const int distance = int((start - target) * travel);
    drag({fader.x + fader.width / 2, handleY}, 0, distance / 4, 4);
    const float trim = plugin->getParameter(kQuasselOutputTrim);
    EXPECT_NEAR(20.0f * std::log10(trim), -36.0f, 1.0f);
    expectOneEdit(kQuasselOutputTrim);

    plugin->clearEvents();
    const gui::CPoint knob = centreOf(rowOf(kQuasselDryWet));
    drag(knob, 0, 10, 4);  // down from 1
    EXPECT_NEAR(plugin->getParameter(kQuasselDryWet), 0.8f, 0.02f);
    expectOneEdit(kQuasselDryWet);
}

}  // namespace
}  // namespace qx
