// The trigwave editor in a real window on an X server: in-process for what only the editor
// object shows (read-outs, hint line, meters, lamp), and through the built plug-in with
// XTest input for what a host sees (automation with begin and end edit).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "effects/trigwave/trigwave_editor.h"
#include "framework/plugin_effect_with_editor.h"
#include "resources/trigwave/trigwave_layout.h"
#include "tests/gui/editor_harness.h"
#include "tools/vsthost/plugin_host.h"

// The framework's entry point is compiled into this program; it creates what the plug-in does.
QX_DEFINE_PLUGIN(TrigwaveEffect, TrigwaveEditor)

namespace qx {
namespace {

using gui::testing::HostWindow;
using testing::FakeUser;
using Plugin = PluginEffectWithEditor<TrigwaveEffect, TrigwaveEditor>;

constexpr auto quietHost = &testing::quietHost<2400>;

const gui::ControlLayout& rowOf(gui::ControlKind kind, int tag, int bitmap = -1) {
    for (const auto& row : trigwave::kLayout)
        if (row.kind == kind && row.tag == tag && (bitmap < 0 || row.bitmap == bitmap)) return row;
    ADD_FAILURE() << "no layout row";
    return trigwave::kLayout[0];
}

using testing::centreOf;

// Red of the onset lamp's centre: the lit jewel is near white, the dark one deep violet.
// Waits (up to a second) for the lamp to be on screen and for `ok` to hold, since the
// editor's own connection may be served after the host's.
int lampRed(
    const HostWindow& window, const std::function<bool(int)>& ok = [](int) { return true; }) {
    window.sync();
    const gui::CPoint c = centreOf(rowOf(gui::ControlKind::MovieBitmap, gui::kNoTag));
    const auto red = [](unsigned long p) { return static_cast<int>((p >> 16) & 0xff); };
    return red(window.awaitPixel(c.x, c.y, [&](unsigned long p) { return p != 0 && ok(red(p)); }));
}

// `frames` of noise at `amplitude` (0: silence) on both channels.
std::vector<std::vector<float>> noise(int frames, float amplitude, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<std::vector<float>> x(2, std::vector<float>(static_cast<size_t>(frames)));
    for (auto& channel : x)
        for (float& v : channel) v = amplitude * u(rng);
    return x;
}

class TrigwaveEditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::xServer()) GTEST_SKIP();
        effect = std::make_unique<Plugin>(quietHost);
        editor = dynamic_cast<TrigwaveEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
        window = std::make_unique<HostWindow>(trigwave::kWidth, trigwave::kHeight);
        ASSERT_TRUE(window->valid());
    }
    vst::VstIntPtr dispatch(int opcode, void* ptr = nullptr) {
        vst::AEffect* record = effect->getAeffect();
        return record->dispatcher(record, opcode, 0, 0, ptr, 0.0f);
    }
    std::string displayText(int tag) {
        for (gui::CControl* c : editor->controlsFor(tag))
            if (auto* d = dynamic_cast<gui::CParamDisplay*>(c)) return d->text();
        return "<none>";
    }
    void process(int frames, float amplitude, unsigned seed = 1) {
        auto in = noise(frames, amplitude, seed);
        std::vector<float> outL(in[0].size()), outR(in[0].size());
        float* ins[2] = {in[0].data(), in[1].data()};
        float* outs[2] = {outL.data(), outR.data()};
        vst::AEffect* record = effect->getAeffect();
        record->processReplacing(record, ins, outs, frames);
    }

    std::unique_ptr<Plugin> effect;
    TrigwaveEditor* editor = nullptr;
    std::unique_ptr<HostWindow> window;
};

TEST_F(TrigwaveEditorTest, EveryParameterHasAControlAndTheTextsFollowChanges) {
    EXPECT_TRUE(effect->getAeffect()->flags & vst::effFlagsHasEditor);
    vst::ERect* rect = nullptr;
    ASSERT_EQ(dispatch(vst::effEditGetRect, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, trigwave::kWidth);
    EXPECT_EQ(rect->bottom - rect->top, trigwave::kHeight);

    ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    for (int tag = 0; tag < kTrigwaveNumParams; ++tag) {
        ASSERT_NE(editor->controlFor(tag), nullptr) << tag;
        EXPECT_FLOAT_EQ(editor->controlFor(tag)->getValue(), effect->getParameter(tag)) << tag;
    }
    ASSERT_NE(editor->controlFor(kTrigwaveResetPeakTag), nullptr);
    ASSERT_NE(editor->meter(0), nullptr);
    ASSERT_NE(editor->meter(1), nullptr);
    EXPECT_NE(editor->meter(0), editor->meter(1));
    ASSERT_NE(editor->lamp(), nullptr);
    ASSERT_NE(editor->peakReadout(), nullptr);
    // Program 0 in the read-outs.
    EXPECT_EQ(displayText(kTrigwaveThreshold), "3.77");
    EXPECT_EQ(displayText(kTrigwaveOutputTrim), "0.0 dB");
    EXPECT_EQ(displayText(kTrigwaveFilterFreq), "20.00 kHz");
    EXPECT_EQ(displayText(kTrigwaveEnvSustainLevel), "-10.5 dB");

    // Host changes and program changes reach the controls and their read-outs.
    effect->setParameter(kTrigwaveOutputTrim, 1.0f / 7.0f);
    dispatch(vst::effEditIdle);
    EXPECT_EQ(displayText(kTrigwaveOutputTrim), "-36.0 dB");
    EXPECT_FLOAT_EQ(editor->controlFor(kTrigwaveOutputTrim)->getValue(), 1.0f / 7.0f);
    effect->setProgram(9);  // "Deep space 9"
    dispatch(vst::effEditIdle);
    EXPECT_EQ(displayText(kTrigwaveFilterFreq), "1 Hz");
    EXPECT_EQ(displayText(kTrigwaveFilterEnvelope), "+100 %");
    EXPECT_FLOAT_EQ(editor->controlFor(kTrigwaveEnvAttack)->getValue(), 0.7f);

    // A user edit: automation to the effect, and the hint line in the effect's own texts.
    const struct {
        int tag;
        float value;
        const char* hint;
    } edits[] = {{kTrigwaveOutputTrim, 1.0f / 7.0f, "Output trim     -36.00 dB"},
                 {kTrigwaveOutputTrim, 1.0f, "Output trim     0.00 dB"},
                 {kTrigwaveMono, 1.0f, "Mono            On"},
                 {kTrigwaveThreshold, 0.0f, "Threshold       1.100 - "},
                 {kTrigwaveFilterEnvelope, 0.25f, "F envelope      -50.000 % "}};
    for (const auto& e : edits) {
        gui::CControl* control = editor->controlFor(e.tag);
        control->setValue(e.value);
        editor->controlChanged(control);
        EXPECT_EQ(editor->hintLine()->text(), e.hint);
        EXPECT_FLOAT_EQ(effect->getParameter(e.tag), e.value);
    }
    dispatch(vst::effEditClose);
    EXPECT_EQ(editor->meter(0), nullptr);
    EXPECT_EQ(editor->lamp(), nullptr);
    dispatch(vst::effEditIdle);  // closed: nothing to poll
}

TEST_F(TrigwaveEditorTest, MetersLampAndPeakReadoutFollowTheEngine) {
    ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    effect->resume();
    const int dark = lampRed(*window);

    // An onset lights the lamp for its four hops and one read after them.
    effect->setParameter(kTrigwaveDryWetMix, 1.0f);
    process(8192, 0.0f);
    dispatch(vst::effEditIdle);
    EXPECT_EQ(editor->lamp()->getValue(), 0.0f);  // silence never triggers
    process(1024, 0.5f);
    dispatch(vst::effEditIdle);
    EXPECT_EQ(editor->lamp()->getValue(), 0.5f);
    EXPECT_GT(lampRed(*window, [&](int r) { return r > dark + 100; }), dark + 100);
    process(5 * 1024, 0.0f);
    dispatch(vst::effEditIdle);
    EXPECT_EQ(editor->lamp()->getValue(), 0.5f);
    dispatch(vst::effEditIdle);
    EXPECT_EQ(editor->lamp()->getValue(), 0.0f);
    EXPECT_LT(lampRed(*window, [&](int r) { return r < dark + 10; }), dark + 10);

    // Bypassed, a steady burst comes out at -6 dB: both meters, their peak marks and the
    // read-out show it on the trim's scale. The meters rise at once and fall by time.
    double seconds = 100.0;
    editor->getFrame()->setClock([&] { return seconds; });
    effect->setBypass(true);
    process(2048, 0.0f);
    dispatch(vst::effEditIdle);
    seconds += 10.0;  // whatever the wet sound left on the meters has fallen away
    process(4096, 0.5f);
    dispatch(vst::effEditIdle);
    const TrigwaveMeters& m = effect->meters();
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(editor->meter(c)->getValue(), trigwaveMeterPosition(m.level[c].load()), 1e-6f);
        EXPECT_NEAR(editor->meter(c)->getPeakValue(), trigwaveMeterPosition(m.peakHold[c].load()),
                    1e-6f);
        EXPECT_GT(editor->meter(c)->getPeakValue(), 0.8f);  // -6 dB sits at 0.857
    }
    char expected[kTrigwaveTextSize];
    trigwavePeakReadout(20.0f * std::log10(m.peakHold[0].load()),
                        20.0f * std::log10(m.peakHold[1].load()), expected);
    EXPECT_EQ(editor->peakReadout()->text(), expected);
    EXPECT_EQ(editor->peakReadout()->text().substr(0, 7), "-6.0 dB");
    // Half a second of silence: the engine's level falls slower than the meter may, so the
    // bar follows the reading down; the peak holds.
    const float loud = editor->meter(0)->getValue();
    process(22050, 0.0f);
    seconds += 0.5;
    dispatch(vst::effEditIdle);
    EXPECT_NEAR(editor->meter(0)->getValue(), trigwaveMeterPosition(m.level[0].load()), 1e-6f);
    EXPECT_LT(editor->meter(0)->getValue(), loud - 0.05f);
    EXPECT_GT(editor->meter(0)->getPeakValue(), 0.8f);
    // A sudden drop (suspend empties the meters) falls at the meter's own rate.
    const float before = editor->meter(0)->getValue();
    effect->suspend();
    effect->resume();
    seconds += 0.5;
    dispatch(vst::effEditIdle);
    EXPECT_NEAR(editor->meter(0)->getValue(), before - 0.5f * trigwave::kMeterFall, 0.01f);
    process(4096, 0.5f);
    dispatch(vst::effEditIdle);

    // The reset button: the holds fall back with the next block; no parameter moves.
    process(2048, 0.0f);  // the burst has left the delay line
    const float bypass = effect->getParameter(kTrigwaveBypass);
    editor->getFrame()->mouseDown(centreOf(rowOf(gui::ControlKind::CommandLabel,
                                                 kTrigwaveResetPeakTag, trigwave::kResetButton)),
                                  {});
    EXPECT_EQ(editor->hintLine()->text(), "Peak hold reset");
    process(64, 0.0f);
    dispatch(vst::effEditIdle);
    for (int c = 0; c < 2; ++c) EXPECT_EQ(editor->meter(c)->getPeakValue(), 0.0f) << c;
    EXPECT_EQ(editor->peakReadout()->text().substr(0, 4), "-154");
    EXPECT_EQ(effect->getParameter(kTrigwaveBypass), bypass);
    // A click on the read-out resets as well.
    process(4096, 0.5f);
    process(2048, 0.0f);
    dispatch(vst::effEditIdle);
    EXPECT_GT(editor->meter(0)->getPeakValue(), 0.8f);
    editor->getFrame()->mouseDown(
        centreOf(rowOf(gui::ControlKind::PeakHoldReadout, kTrigwaveResetPeakTag)), {});
    process(64, 0.0f);
    dispatch(vst::effEditIdle);
    EXPECT_EQ(editor->meter(0)->getPeakValue(), 0.0f);
    dispatch(vst::effEditClose);
}

// --- Through the built plug-in, with real X input ---

class TrigwaveThroughHost : public testing::HostedEditorTest<> {
  protected:
    void SetUp() override { open(QX_TRIGWAVE_PATH, trigwave::kWidth, trigwave::kHeight); }
    void click(gui::CPoint at) { HostedEditor::click(at); }
    void expectOneEdit(int index) { expectOnlyEdit(index); }
};

TEST_F(TrigwaveThroughHost, KnobFaderAndSwitchesAreAutomatedAsSingleEdits) {
    const float threshold = plugin->getParameter(kTrigwaveThreshold);
    drag(centreOf(rowOf(gui::ControlKind::AnimKnob, kTrigwaveThreshold)), 0, -10, 4);
    EXPECT_GT(plugin->getParameter(kTrigwaveThreshold), threshold + 0.1f);
    expectOneEdit(kTrigwaveThreshold);

    plugin->clearEvents();
    const gui::ControlLayout& trim = rowOf(gui::ControlKind::VSlider, kTrigwaveOutputTrim);
    drag({trim.x + trim.width / 2, trim.y + 15}, 0, 10, 6);  // grab the handle at the top
    EXPECT_LT(plugin->getParameter(kTrigwaveOutputTrim), 0.8f);
    expectOneEdit(kTrigwaveOutputTrim);

    for (int tag : {kTrigwaveMono, kTrigwaveBypass, kTrigwaveReverb}) {
        plugin->clearEvents();
        const float before = plugin->getParameter(tag);
        click(centreOf(rowOf(gui::ControlKind::MovieButton, tag)));
        EXPECT_EQ(plugin->getParameter(tag), before > 0.5f ? 0.0f : 1.0f) << tag;
        expectOneEdit(tag);
    }
}

// The lamp lights in the window at an onset (QX_TRIGWAVE_SCREENSHOT names a PNG to save the
// editor to at that moment).
TEST_F(TrigwaveThroughHost, OnsetLightsTheLampOnScreen) {
    const int dark = lampRed(*window);
    plugin->run(noise(6144, 0.0f, 2), 512);
    settle();
    EXPECT_LT(lampRed(*window, [&](int r) { return r < dark + 10; }), dark + 10);
    // Music-like input: a loud noise burst after a quieter bed, then the held sound.
    auto x = noise(4096, 0.05f, 3);
    const auto burst = noise(3072, 0.6f, 4);
    for (int c = 0; c < 2; ++c) x[c].insert(x[c].end(), burst[c].begin(), burst[c].end());
    plugin->run(x, 512);
    // Idle past the frame's live-view interval, so the meters are drawn too; the lamp stays
    // lit while the onset's hops are not over.
    for (int i = 0; i < 12; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        plugin->dispatch(vst::effEditIdle);
    }
    EXPECT_GT(lampRed(*window, [&](int r) { return r > dark + 100; }), dark + 100);
    if (const char* path = std::getenv("QX_TRIGWAVE_SCREENSHOT")) {
        EXPECT_TRUE(window->savePng(path)) << path;
    }
}

}  // namespace
}  // namespace qx
