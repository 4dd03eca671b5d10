// The palisor editor on an X server: in-process for what only the editor shows (scales,
// meters, read-out, hint line), and through the built plug-in with real X input for what a
// host sees (the rectangle before open, automation with begin/end edit).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "effects/palisor/limiter_editor.h"
#include "effects/palisor/limiter_tables.h"
#include "framework/plugin_effect_with_editor.h"
#include "resources/palisor/palisor_layout.h"
#include "tests/gui/editor_harness.h"
#include "tools/vsthost/plugin_host.h"

// The framework's entry point is compiled into this program; it creates what the plug-in does.
QX_DEFINE_PLUGIN(LimiterEffect, LimiterEditor)

namespace qx {
namespace {

using gui::testing::HostWindow;
using testing::FakeUser;
using Plugin = PluginEffectWithEditor<LimiterEffect, LimiterEditor>;

constexpr int kPeakRows[2] = {2, 3};         // output peak meters in the layout
constexpr int kLevelRows[4] = {2, 3, 4, 5};  // peak and RMS meters

constexpr auto quietHost = &testing::quietHost<2400>;

const gui::ControlLayout& rowOf(int tag) {
    for (const auto& row : palisor::kLayout)
        if (row.tag == tag) return row;
    ADD_FAILURE() << "no layout row for " << tag;
    return palisor::kLayout[0];
}

using testing::centreOf;

// Input drive at 0 dB: 10 gainCurve(v) = 1, i.e. -20 dB on the curve's upper segment.
constexpr float kUnityDrive = 16.0f / 42.0f + 1.0f / 7.0f;

class PalisorEditor : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::xServer()) GTEST_SKIP();
        effect = std::make_unique<Plugin>(quietHost);
        editor = dynamic_cast<LimiterEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
        EXPECT_TRUE(effect->getAeffect()->flags & vst::effFlagsHasEditor);
        vst::ERect* rect = nullptr;
        ASSERT_EQ(dispatch(vst::effEditGetRect, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->right - rect->left, palisor::kWidth);
        EXPECT_EQ(rect->bottom - rect->top, palisor::kHeight);
        window = std::make_unique<HostWindow>(palisor::kWidth, palisor::kHeight);
        ASSERT_TRUE(window->valid());
        ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
        editor->getFrame()->setClock([this] { return seconds; });
        effect->resume();
    }
    void TearDown() override {
        if (editor) dispatch(vst::effEditClose);
    }
    vst::VstIntPtr dispatch(int opcode, void* ptr = nullptr) {
        vst::AEffect* record = effect->getAeffect();
        return record->dispatcher(record, opcode, 0, 0, ptr, 0.0f);
    }
    void idle() { dispatch(vst::effEditIdle); }
    // Both channels get `amplitude` sin(0.05 n), continuing the phase across calls.
    void process(int frames, float amplitude) {
        std::vector<float> in(static_cast<size_t>(frames)), outL(in.size()), outR(in.size());
        for (float& x : in) x = amplitude * std::sin(0.05f * static_cast<float>(phase_++));
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        vst::AEffect* record = effect->getAeffect();
        record->processReplacing(record, ins, outs, frames);
    }
    void click(int tag) {
        editor->getFrame()->mouseDown(centreOf(rowOf(tag)), {});
        editor->getFrame()->mouseUp(centreOf(rowOf(tag)), {});
    }
    std::string hint() const { return editor->hintLine()->text(); }

    std::unique_ptr<Plugin> effect;
    LimiterEditor* editor = nullptr;
    std::unique_ptr<HostWindow> window;
    double seconds = 5.0;
    long phase_ = 0;
};

// Every way to set "Output scale" switches the four level meters' lit bars and the legend,
// lights exactly one scale button and moves the read-out by the scale's reference: a -6 dBFS
// sine reads -6.0 on the peak scale, +6.0 on K12, 8.0 on K14 and 14.0 on K20.
TEST_F(PalisorEditor, OutputScaleSwitchesBitmapsAndReadoutOffset) {
    effect->setParameter(kLimiterInputDrive, kUnityDrive);
    process(8192, 0.5f);
    const auto expectScale = [&](int scale, const char* readout) {
        for (int row : kLevelRows) {
            auto* meter = dynamic_cast<gui::CKScaleMeter*>(editor->meterOfRow(row));
            ASSERT_NE(meter, nullptr) << row;
            EXPECT_EQ(meter->scale(), scale) << row;
            EXPECT_EQ(meter->offsetDb(), gui::kKScaleOffsetsDb[scale]) << row;
        }
        EXPECT_EQ(editor->legend()->getBackground(),
                  editor->loadBitmap(palisor::kLegendPeak + scale));
        for (int i = 0; i < palisor::kNumScales; ++i)
            EXPECT_EQ(editor->controlFor(palisor::kScalePeak + i)->getValue(), i == scale ? 1 : 0)
                << i;
        EXPECT_EQ(editor->peakHoldReadout()->text(), readout);
    };
    idle();
    expectScale(0, "-6.0 dB -6.0");
    // From the host (or a program), by the value's bands.
    const struct {
        float value;
        int scale;
        const char* readout;
    } hostValues[] = {{0.25f, 1, "6.0 dB 6.0"},  {0.1f, 0, "-6.0 dB -6.0"},
                      {0.35f, 2, "8.0 dB 8.0"},  {0.7f, 3, "14.0 dB 14.0"},
                      {0.324f, 1, "6.0 dB 6.0"}, {0.625f, 3, "14.0 dB 14.0"}};
    for (const auto& h : hostValues) {
        effect->setParameter(kLimiterOutputScale, h.value);
        idle();
        SCOPED_TRACE(h.value);
        expectScale(h.scale, h.readout);
    }
    // From the buttons, which write 0, 0.25, 0.5 and 0.75 and say so; a press on the lit
    // button keeps it lit.
    const char* texts[] = {"Output scale peak", "Output scale K12", "Output scale K14",
                           "Output scale K20"};
    const char* readouts[] = {"-6.0 dB -6.0", "6.0 dB 6.0", "8.0 dB 8.0", "14.0 dB 14.0"};
    for (int scale : {1, 2, 0, 3, 3}) {
        click(palisor::kScalePeak + scale);
        idle();
        SCOPED_TRACE(scale);
        EXPECT_EQ(effect->getParameter(kLimiterOutputScale), 0.25f * scale);
        EXPECT_EQ(hint(), texts[scale]);
        expectScale(scale, readouts[scale]);
    }
    // Reopened, the editor shows the stored scale at once.
    dispatch(vst::effEditClose);
    effect->setParameter(kLimiterOutputScale, 0.5f);
    ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    editor->getFrame()->setClock([this] { return seconds; });
    idle();
    expectScale(2, "8.0 dB 8.0");
}

// The meters follow a signal (a -6 dBFS sine puts the peak bar at its meter position) and
// fall by time, not by idle calls; gain meters start at no reduction and show a limiter
// working at once.
TEST_F(PalisorEditor, MetersFollowTheSignalAndFallByTime) {
    for (int row = 7; row <= 12; ++row) EXPECT_EQ(editor->meterOfRow(row)->getValue(), 1.0f);
    effect->setParameter(kLimiterInputDrive, kUnityDrive);
    process(66150, 0.5f);  // 1.5 s: the RMS meter's 0.25 s average settles
    idle();
    const float sixDown = limiterMeterPosition(0.5f);  // 30/42 + 1/7
    for (int row : kPeakRows) {
        EXPECT_NEAR(editor->meterOfRow(row)->getValue(), sixDown, 0.005f) << row;
        EXPECT_NEAR(editor->meterOfRow(row)->getPeakValue(), sixDown, 0.005f) << row;
    }
    // RMS of a sine: 3 dB below its peak.
    EXPECT_NEAR(editor->meterOfRow(4)->getValue(), limiterMeterPosition(0.5f / std::sqrt(2.0f)),
                0.005f);
    for (int row = 7; row <= 12; ++row) EXPECT_EQ(editor->meterOfRow(row)->getValue(), 1.0f);

    // The engine's meters back at rest and its delay empty (a program load): many idle calls
    // at one instant move nothing; time lets the bar fall.
    effect->setProgram(0);
    process(64, 0.0f);
    for (int i = 0; i < 20; ++i) idle();
    gui::CFallOffMeter* peak = editor->meterOfRow(kPeakRows[0]);
    EXPECT_NEAR(peak->getValue(), sixDown, 0.005f);
    seconds += 0.1;
    idle();
    EXPECT_NEAR(peak->getValue(), sixDown - 0.1f * palisor::kLevelFall, 0.005f);
    seconds += 1.0;
    idle();
    EXPECT_LT(peak->getValue(), 0.2f);

    // Driven 14 dB into the limiter: the peak-gain bars drop at once.
    effect->setParameter(kLimiterInputDrive, 1.0f);
    process(8192, 0.9f);
    idle();
    EXPECT_LT(editor->meterOfRow(7)->getValue(), 0.9f);
    EXPECT_LT(editor->meterOfRow(8)->getValue(), 0.9f);
}

// A press on the read-out drops both holds to the present level within two samples of the
// next block, and says so.
TEST_F(PalisorEditor, PeakHoldPressDropsBothHolds) {
    effect->setParameter(kLimiterInputDrive, kUnityDrive);
    process(4096, 0.5f);
    process(4096, 0.05f);
    idle();
    const LimiterMeters& m = effect->meters();
    ASSERT_NEAR(m.peakHold[0].load(), 0.5f, 0.01f);
    EXPECT_EQ(editor->peakHoldReadout()->text(), "-6.0 dB -6.0");
    click(palisor::kPeakHoldReadout);
    EXPECT_EQ(hint(), "Reset peak hold");
    process(2, 0.05f);
    for (int c = 0; c < 2; ++c) {
        EXPECT_LT(m.peakHold[c].load(), 0.06f) << c;
        EXPECT_EQ(m.peakHold[c].load(), std::fabs(c == 0 ? effect->engine().outputLeft()
                                                         : effect->engine().outputRight()))
            << c;
    }
    idle();
    char expected[32];
    const float heldDb = 20.0f * std::log10(m.peakHold[0].load());
    std::snprintf(expected, sizeof expected, "%2.1f dB %2.1f", heldDb,
                  20.0f * std::log10(m.peakHold[1].load()));
    EXPECT_EQ(editor->peakHoldReadout()->text(), expected);
    EXPECT_LT(heldDb, -20.0f);
}

// The hint line: the faders show the real gain of the curve (-20.16 dB for a trim the host
// displays as -34.560), switches On/Off, knobs value and unit; the word-length menu writes none.
TEST_F(PalisorEditor, HintLineShowsRealValues) {
    EXPECT_EQ(hint(), "Palisor  |  Shift: fine   Ctrl-click: default");
    const auto change = [&](int tag, float value) {
        gui::CControl* control = editor->controlFor(tag);
        ASSERT_NE(control, nullptr) << tag;
        control->setValue(value);
        editor->controlChanged(control);
        EXPECT_EQ(effect->getParameter(tag), value) << tag;
    };
    change(kLimiterOutputTrim, 0.52f);
    EXPECT_EQ(hint(), "Output trim     -20.16 dB");
    char display[64] = {};
    effect->getParameterDisplay(kLimiterOutputTrim, display);
    EXPECT_STREQ(display, "-34.560");
    change(kLimiterInputDrive, 0.66f);
    EXPECT_EQ(hint(), "Input drive     5.72 dB");
    change(kLimiterInterSamplePeak, 1.0f);
    EXPECT_EQ(hint(), "InterSamplePeak On");
    change(kLimiterBypass, 0.0f);
    EXPECT_EQ(hint(), "Bypass          Off");
    change(kLimiterXcorrThreshold, 0.75f);
    EXPECT_EQ(hint(), "XCorr threshold 0.50 --");
    change(kLimiterSideGain, 0.5f);
    EXPECT_EQ(hint(), "Side gain       100.00 % ");
    change(kLimiterDithering, 4.0f);
    EXPECT_EQ(hint(), "Side gain       100.00 % ");
    process(1, 0.0f);  // the engine takes changes at a block start
    EXPECT_EQ(effect->engine().wordLength(), 16);
}

// --- Through the built plug-in, with real X input ---

class PalisorThroughHost : public testing::HostedEditorTest<> {
  protected:
    void SetUp() override {
        if (!testing::xServer()) GTEST_SKIP();
        std::string error;
        auto probe = host::Plugin::load(QX_PALISOR_PATH, &error);
        ASSERT_TRUE(probe) << error;
        EXPECT_TRUE(probe->flags() & vst::effFlagsHasEditor);
        // A host sizes its window from the rectangle before it opens the editor.
        vst::ERect* rect = nullptr;
        ASSERT_EQ(probe->dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->right - rect->left, palisor::kWidth);
        EXPECT_EQ(rect->bottom - rect->top, palisor::kHeight);
        open(QX_PALISOR_PATH, palisor::kWidth, palisor::kHeight);
    }
    void expectOneEdit(int index) { expectOnlyEdit(index); }
};

// Dragging a knob and a fader are one edit each; a scale button is one edit of Output scale.
TEST_F(PalisorThroughHost, DragsAndButtonsAreBalancedEdits) {
    drag(centreOf(rowOf(kLimiterRmsThreshold)), 0, 10, 4);  // down from 0.7
    const float threshold = plugin->getParameter(kLimiterRmsThreshold);
    EXPECT_LT(threshold, 0.65f);
    expectOneEdit(kLimiterRmsThreshold);

    plugin->clearEvents();
    const gui::ControlLayout& fader = rowOf(kLimiterOutputTrim);
    drag({fader.x + fader.width / 2, fader.y + 34 / 2}, 0, 20, 4);  // the handle, at the top
    EXPECT_LT(plugin->getParameter(kLimiterOutputTrim), 0.9f);
    expectOneEdit(kLimiterOutputTrim);

    plugin->clearEvents();
    const gui::CPoint k14 = centreOf(rowOf(palisor::kScaleK14));
    user->moveTo(k14.x, k14.y);
    settle();
    user->press();
    settle();
    user->release();
    settle();
    EXPECT_EQ(plugin->getParameter(kLimiterOutputScale), 0.5f);
    expectOneEdit(kLimiterOutputScale);
}

}  // namespace
}  // namespace qx
