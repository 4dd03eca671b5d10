// The compressor editor in a real window on an X server: in-process for what only the editor
// object shows (the curve's samples, the operating point, the gain bars), and through both
// built plug-ins with XTest input for what a host sees.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "effects/red_thuddo/compressor_builds.h"
#include "framework/plugin_effect_with_editor.h"
#include "resources/red_thuddo/red_thuddo_layout.h"
#include "tests/gui/editor_harness.h"

// The framework's entry point is compiled into this program; it creates what the plug-in does.
QX_DEFINE_PLUGIN(RedThuddoEffect, RedThuddoEditor)

namespace qx {
namespace {

using testing::awaitChangedPixels;
using testing::capture;
using testing::centreOf;
using Plugin = PluginEffectWithEditor<RedThuddoEffect, RedThuddoEditor>;

const gui::ControlLayout& rowOf(gui::ControlKind kind, int tag) {
    return testing::rowOf(red_thuddo::kLayout, kind, tag);
}

class RedThuddoEditorTest : public testing::InProcessEditorTest<Plugin, CompressorEditor> {
  protected:
    RedThuddoEditorTest()
        : InProcessEditorTest(red_thuddo::kWidth, red_thuddo::kHeight, &testing::quietHost<2400>) {}
    void SetUp() override {
        InProcessEditorTest::SetUp();
        if (!ready()) return;
        effect->setSampleRate(44100.0f);
        effect->resume();
    }
    // A 1 kHz sine of `amplitude` on the programme inputs, `frames` long.
    void process(float amplitude, int frames) {
        std::vector<float> in(static_cast<size_t>(frames)), silent(in.size()), l(in.size()),
            r(in.size());
        for (int n = 0; n < frames; ++n)
            in[static_cast<size_t>(n)] = amplitude * std::sin(0.1425f * static_cast<float>(n));
        float* ins[4] = {in.data(), in.data(), silent.data(), silent.data()};
        float* outs[2] = {l.data(), r.data()};
        vst::AEffect* record = effect->getAeffect();
        record->processReplacing(record, ins, outs, frames);
    }
    double curveAt(double inputDb, int which = 0) {
        gui::CTransferView* curve = editor->display()->curve();
        return curve->sampledOutput(which, static_cast<int>(inputDb - curve->inputAt(0)));
    }
};

TEST_F(RedThuddoEditorTest, CurveFollowsTheSettingsAndRedrawsOnlyWhenTheyChange) {
    EXPECT_TRUE(effect->getAeffect()->flags & vst::effFlagsHasEditor);
    vst::ERect* rect = nullptr;
    ASSERT_EQ(dispatch(vst::effEditGetRect, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, red_thuddo::kWidth);
    EXPECT_EQ(rect->bottom - rect->top, red_thuddo::kHeight);
    ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    ASSERT_NE(editor->display(), nullptr);
    dispatch(vst::effEditIdle);

    // Program 0: both ratios 1, so output equals input over the whole range, 51 points.
    EXPECT_EQ(editor->display()->curve()->numPoints(), 51);
    for (double db : {-50.0, -20.0, -3.0, 0.0}) EXPECT_NEAR(curveAt(db), db, 1e-4) << db;

    // Ratio 1 at 4 (x = 0.39) above the -20 dB threshold: -4 dB in comes out at -16 dB.
    effect->setParameter(kRedThuddoRatio1, 0.39f);
    dispatch(vst::effEditIdle);
    EXPECT_NEAR(curveAt(-4.0), -20.0 + 16.0 / 4.0, 1e-3);
    EXPECT_NEAR(curveAt(-30.0), -30.0, 1e-4);
    // Infinite ratio (top of the travel) flattens the curve at the threshold; the 40 dB
    // range, the soft knee and the post gain shape it as the engine does.
    effect->setParameter(kRedThuddoRatio1, 1.0f);
    effect->setParameter(kRedThuddoPostGain, 0.6f);  // +4 dB
    dispatch(vst::effEditIdle);
    EXPECT_NEAR(curveAt(0.0), -20.0 + 20.0 / 1000.0 + 4.0, 1e-3);
    effect->setParameter(kRedThuddoSoftKnee, 1.0f);
    dispatch(vst::effEditIdle);
    // At the threshold the soft knee sits 6 (1 - R1) / (4 R1) dB below it (R2 = 1).
    EXPECT_NEAR(curveAt(-20.0), -20.0 + 0.25 * 6.0 * (1.0 - 1000.0) / 1000.0 + 4.0, 1e-3);
    // Half dry: the mix curve lies between the input and the compressed curve.
    effect->setParameter(kRedThuddoDryWet, 0.5f);
    dispatch(vst::effEditIdle);
    const double mixed = curveAt(0.0, 1);
    EXPECT_GT(mixed, curveAt(0.0));
    EXPECT_LT(mixed, 0.0 + 4.0);
    EXPECT_EQ(editor->display()->readout()->settingsText(),
              std::string("THRESHOLD -20.0 dB   RATIOS inf / 1.0   SOFT KNEE   RANGE 40 dB"));

    // Idles without news send nothing to the window; a threshold change is a note until the
    // next idle, which samples the curve again and redraws.
    double seconds = 1.0;
    editor->getFrame()->setClock([&] { return seconds; });
    auto idle = [&] {
        seconds += 0.1;  // past the live views' pacing
        dispatch(vst::effEditIdle);
    };
    idle();
    idle();
    editor->getFrame()->resetUploadStats();
    idle();
    idle();
    EXPECT_EQ(editor->getFrame()->uploadStats().pixels, 0);
    const double before = curveAt(-20.0);
    effect->setParameter(kRedThuddoThreshold, 0.2f);  // -40 dB
    EXPECT_EQ(curveAt(-20.0), before);
    idle();
    EXPECT_NEAR(curveAt(-20.0), -40.0 + 20.0 / 1000.0 + 4.0, 1e-3);
    EXPECT_GT(editor->getFrame()->uploadStats().pixels, 1000);

    // The text line of a user change: the padded name and "inf" at the top of a ratio.
    gui::CControl* ratio = editor->controlFor(kRedThuddoRatio2);
    ASSERT_NE(ratio, nullptr);
    ratio->setValue(1.0f);
    editor->controlChanged(ratio);
    EXPECT_EQ(editor->hintLine()->text(), "Ratio 2         inf");
    EXPECT_FLOAT_EQ(effect->getParameter(kRedThuddoRatio2), 1.0f);
    gui::CControl* knee = editor->controlFor(kRedThuddoSoftKnee);
    knee->setValue(0.0f);
    editor->controlChanged(knee);
    EXPECT_EQ(editor->hintLine()->text(), "Soft knee       Off");
    gui::CControl* hold = editor->controlFor(kRedThuddoHoldTime);
    hold->setValue(0.5f);
    editor->controlChanged(hold);
    EXPECT_EQ(editor->hintLine()->text(), "Hold time       250.00 ms");
    dispatch(vst::effEditClose);
}

TEST_F(RedThuddoEditorTest, OperatingPointAndGainBarsFollowTheSignalAndClearOnClick) {
    effect->setProgram(2);  // "Default: classic comp": ratio 2.1 above -20 dB
    ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
    double seconds = 5.0;
    editor->getFrame()->setClock([&] { return seconds; });
    dispatch(vst::effEditIdle);
    CompressorDisplay* display = editor->display();
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(std::string(display->readout()->liveText()), "DETECTOR -50.0 dB     GAIN 0.0 dB");
    const auto quiet = capture(*window, display->curve()->plotArea());

    // A sine of 0.5 (mean square 0.125, -9 dB): the marker moves up the curve and the bars
    // show the reduction at once.
    process(0.5f, 44100);
    seconds += 0.05;
    dispatch(vst::effEditIdle);
    const float gain = effect->meters().effectiveGain.load();
    EXPECT_LT(gain, 0.6f);
    float detectorDb = 0.0f, gainDb = 0.0f;
    ASSERT_EQ(std::sscanf(display->readout()->liveText(), "DETECTOR %f dB GAIN %f dB", &detectorDb,
                          &gainDb),
              2);
    EXPECT_NEAR(detectorDb, -9.0f, 0.7f);
    EXPECT_NEAR(gainDb, gainMeterDb(gain), 0.05f);
    EXPECT_NEAR(display->bars()->shownGain(0), gain, 1e-6);
    EXPECT_GT(awaitChangedPixels(*window, display->curve()->plotArea(), quiet, 4), 4);

    // Silence: the reduction recovers at the bars' rate, not at once.
    process(0.0f, 44100);
    seconds += 0.02;
    dispatch(vst::effEditIdle);
    const float recovered = display->bars()->shownGain(1);
    EXPECT_NEAR(gainMeterDb(recovered), gainMeterDb(gain) + 0.02f * GainBars::kRecoveryDbPerSecond,
                0.05f);
    EXPECT_LT(effect->meters().gainMin[0].load(), 0.6f);

    // A click on the bars restarts the extremes at the present gain (on the next block).
    editor->getFrame()->mouseDown(
        centreOf(rowOf(gui::ControlKind::Custom, kRedThuddoTransferDisplayTag)), {});
    // The click landed on the curve, not the bars: nothing cleared.
    process(0.0f, 64);
    EXPECT_LT(effect->meters().gainMin[0].load(), 0.6f);
    const gui::CRect& bars = display->bars()->getViewSize();
    editor->getFrame()->mouseDown({(bars.left + bars.right) / 2, bars.top + 40}, {});
    EXPECT_EQ(editor->hintLine()->text(), "Gain meters cleared");
    process(0.0f, 64);
    // Still recovering: the smallest gain since the clear is about the gain now.
    for (int c = 0; c < 2; ++c)
        EXPECT_NEAR(effect->meters().gainMin[c].load(), effect->meters().effectiveGain.load(),
                    2e-3f);
    EXPECT_GT(effect->meters().gainMin[0].load(), 0.9f);
    // The command touched no parameter.
    EXPECT_FLOAT_EQ(effect->getParameter(kRedThuddoRatio1), 0.2f);
    dispatch(vst::effEditClose);
}

TEST_F(RedThuddoEditorTest, ClosedEditorIgnoresChangesAndReopensWithTheCurrentCurve) {
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(dispatch(vst::effEditOpen, window->parentHandle()), 1);
        dispatch(vst::effEditIdle);
        // Ratio 1 of the previous round: 2.1, 3.1, ... above the -20 dB threshold.
        const double ratio = round == 0 ? 1.0 : 1.1 + round;
        EXPECT_NEAR(curveAt(0.0), -20.0 + 20.0 / ratio, 1e-3) << round;
        dispatch(vst::effEditClose);
        EXPECT_EQ(editor->display(), nullptr);
        // Closed: changes, meters and idles reach no view.
        effect->setParameter(kRedThuddoRatio1, 0.2f + 0.1f * static_cast<float>(round));
        process(0.5f, 512);
        dispatch(vst::effEditIdle);
    }
}

// --- Through the built plug-ins, with real X input ---

struct Build {
    const char* path;
};

class RedThuddoThroughHost : public testing::HostedEditorTest<::testing::TestWithParam<Build>> {
  protected:
    void SetUp() override { open(GetParam().path, red_thuddo::kWidth, red_thuddo::kHeight); }
    void click(gui::CPoint at) { HostedEditor::click(at, true); }
    gui::CRect curveArea() const {
        const gui::ControlLayout& row =
            rowOf(gui::ControlKind::Custom, kRedThuddoTransferDisplayTag);
        return gui::CRect::sized(row.x + 30, row.y + 10, 230, 230);
    }
};

TEST_P(RedThuddoThroughHost, RatioDragBendsTheCurveAsOneAutomatedEdit) {
    const auto before = capture(*window, curveArea());
    ASSERT_FLOAT_EQ(plugin->getParameter(kRedThuddoRatio1), 0.09f);
    drag(centreOf(rowOf(gui::ControlKind::AnimKnob, kRedThuddoRatio1)), 0, -10, 8);
    EXPECT_GT(plugin->getParameter(kRedThuddoRatio1), 0.3f);
    expectOneEdit(kRedThuddoRatio1);
    // The curve above the threshold bent away from the diagonal.
    EXPECT_GT(awaitChangedPixels(*window, curveArea(), before, 20), 20);
    // The knob's read-out and the host agree on the ratio.
    char display[64] = {};
    plugin->dispatch(vst::effGetParamDisplay, kRedThuddoRatio1, 0, display);
    EXPECT_NEAR(std::stof(display), 0.1 + 10.0 * plugin->getParameter(kRedThuddoRatio1), 1e-3);

    // A drag to the top of the travel reads "inf" on the text line.
    drag(centreOf(rowOf(gui::ControlKind::AnimKnob, kRedThuddoRatio1)), 0, -40, 8);
    EXPECT_FLOAT_EQ(plugin->getParameter(kRedThuddoRatio1), 1.0f);
}

TEST_P(RedThuddoThroughHost, ButtonsSwitchTheirParameters) {
    for (int tag : {kRedThuddoSoftKnee, kRedThuddoLimiter, kRedThuddoSidechain}) {
        plugin->clearEvents();
        const float before = plugin->getParameter(tag);
        click(centreOf(rowOf(gui::ControlKind::MovieButton, tag)));
        EXPECT_FLOAT_EQ(plugin->getParameter(tag), before > 0.5f ? 0.0f : 1.0f) << tag;
        expectOneEdit(tag);
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, RedThuddoThroughHost,
                         ::testing::Values(Build{QX_RED_THUDDO_PATH},
                                           Build{QX_RED_THUDDO_ALT_PATH}),
                         [](const ::testing::TestParamInfo<Build>& info) {
                             return std::string(info.index == 0 ? "RedThuddo" : "RedThuddoAlt");
                         });

}  // namespace
}  // namespace qx
