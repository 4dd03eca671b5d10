// Building, hint texts, output scale and meter polling of the palisor editor.
#include "effects/palisor/limiter_editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "effects/palisor/limiter_tables.h"
#include "resources/palisor/palisor_layout.h"
#include "skins/palisor.h"

namespace qx {

namespace {

using namespace palisor;

// Rows of the layout table that the editor feeds.
enum MeterRow : int {
    kPeakLeftRow = 2,
    kPeakRightRow,
    kRmsLeftRow,
    kRmsRightRow,
    kCorrelationRow,
    kPeakGainLeftRow,
    kPeakGainRightRow,
    kSoftclipLeftRow,
    kSoftclipRightRow,
    kRmsGainLeftRow,
    kRmsGainRightRow,
    kLegendRow,
};
static_assert(kLayout[kPeakLeftRow].kind == gui::ControlKind::KScaleMeter &&
              kLayout[kRmsRightRow].kind == gui::ControlKind::KScaleMeter &&
              kLayout[kCorrelationRow].x == 299 && kLayout[kRmsGainRightRow].x == 267 &&
              kLayout[kLegendRow].kind == gui::ControlKind::BitmapView);

// A label that starts with a blank marks a switch.
constexpr HintKind kHintKinds[kLimiterNumParams] = {
    HintKind::ValueWithUnit, HintKind::OnOff,         HintKind::OnOff,
    HintKind::ValueWithUnit, HintKind::ValueWithUnit, HintKind::ValueWithUnit,
    HintKind::ValueWithUnit, HintKind::ValueWithUnit, HintKind::ValueWithUnit,
    HintKind::ValueWithUnit, HintKind::ValueWithUnit, HintKind::ValueWithUnit,
    HintKind::ValueWithUnit, HintKind::ValueWithUnit, HintKind::ValueWithUnit,
    HintKind::OnOff,         HintKind::ValueWithUnit,
};

constexpr const char* kScaleTexts[kNumScales] = {"Output scale peak", "Output scale K12",
                                                 "Output scale K14", "Output scale K20"};
// What the scale buttons write to Output scale.
constexpr float kScaleValues[kNumScales] = {0.0f, 0.25f, 0.5f, 0.75f};

EditorDescription makeDescription() {
    EditorDescription d{};
    d.resources = skins::palisor();
    d.controls = kLayout;
    d.numControls = static_cast<int>(std::size(kLayout));
    d.hintKinds = kHintKinds;
    const gui::CColor accent{56, 184, 237};
    d.theme.display = {{"DejaVu Sans", 8.0, true}, accent, {}, {}, gui::TextAlign::Center};
    d.theme.command = {{"DejaVu Sans Mono", 8.0, true}, accent, {}, {}, gui::TextAlign::Center};
    d.theme.hint = {
        {"DejaVu Sans Mono", 8.0, false}, {176, 180, 188}, {}, {}, gui::TextAlign::Left};
    d.aboutText = "Palisor  |  Shift: fine   Ctrl-click: default";
    return d;
}

const EditorDescription& limiterEditorDescription() {
    static const EditorDescription d = makeDescription();
    return d;
}

int scaleIndex(float v) {
    return static_cast<int>(limiterOutputScale(v));
}

}  // namespace

LimiterEditor::LimiterEditor(LimiterEffect* effect)
    : PluginEditor(effect, limiterEditorDescription()), limiter_(effect) {}

gui::CFallOffMeter* LimiterEditor::meterOfRow(int row) const {
    return dynamic_cast<gui::CFallOffMeter*>(viewOfRow(row));
}

void LimiterEditor::close() {
    legend_ = nullptr;
    readout_ = nullptr;
    PluginEditor::close();
}

void LimiterEditor::onOpened() {
    legend_ = viewOfRow(kLegendRow);
    readout_ = dynamic_cast<gui::CPeakHoldReadout*>(controlFor(kPeakHoldReadout));
    if (readout_) {
        readout_->setFormat([](const float* held, int channels, float offsetDb, char* text) {
            const auto db = [offsetDb](float linear) {
                return 20.0 * std::log10(static_cast<double>(linear)) + offsetDb;
            };
            std::snprintf(text, gui::kDisplayTextSize, "%2.1f dB %2.1f", db(held[0]),
                          db(held[channels > 1 ? 1 : 0]));
        });
        for (int c = 0; c < 2; ++c) readout_->setHeld(c, limiter_->meters().peakHold[c].load());
    }
    // Gain meters start at no reduction, level meters empty.
    for (int row = kPeakGainLeftRow; row <= kRmsGainRightRow; ++row)
        if (gui::CFallOffMeter* meter = meterOfRow(row)) meter->resetValue(1.0f);
}

void LimiterEditor::showScale(float v) {
    const int scale = scaleIndex(v);
    for (int row = kPeakLeftRow; row <= kRmsRightRow; ++row)
        if (auto* meter = dynamic_cast<gui::CKScaleMeter*>(viewOfRow(row)))
            meter->selectScale(scale);
    if (legend_) legend_->setBackground(loadBitmap(kLegendPeak + scale));
    for (int i = 0; i < kNumScales; ++i)
        if (gui::CControl* button = controlFor(kScalePeak + i))
            button->setValue(i == scale ? 1.0f : 0.0f);
    if (readout_)
        readout_->setOffsetDb(limiterOutputScaleOffsetDb(static_cast<LimiterOutputScale>(scale)));
}

void LimiterEditor::onParameterChanged(int index, float value) {
    if (index == kLimiterOutputScale) showScale(value);
}

void LimiterEditor::controlChanged(gui::CControl* control) {
    const int tag = control->getTag();
    if (tag == kLimiterDithering) {
        effect()->setParameterAutomated(tag, control->getValue());
        return;
    }
    PluginEditor::controlChanged(control);
    if (tag != kLimiterOutputTrim && tag != kLimiterInputDrive) return;
    // The faders show the real gain of the curve, offset to the top of the display range.
    const ParameterTable& table = effect()->description().parameters;
    const float db = static_cast<float>(
        20.0 * std::log10(static_cast<double>(limiterGainCurve(control->getValue()))) +
        table.displayRanges[tag].maximum);
    char text[kHintSize];
    std::snprintf(text, sizeof text, "%s %3.2f %s", table.names[tag], db, table.labels[tag]);
    setHint(text);
}

void LimiterEditor::onCommand(gui::CControl* control) {
    const int tag = control->getTag();
    if (tag >= kScalePeak && tag <= kScaleK20) {
        const int scale = tag - kScalePeak;
        beginEdit(kLimiterOutputScale);
        effect()->setParameterAutomated(kLimiterOutputScale, kScaleValues[scale]);
        endEdit(kLimiterOutputScale);
        showScale(kScaleValues[scale]);  // a press on the lit button leaves it lit
        setHint(kScaleTexts[scale]);
    } else if (tag == kPeakHoldReadout) {
        limiter_->requestPeakHoldReset();
        setHint("Reset peak hold");
    }
}

void LimiterEditor::pollMeters() {
    const LimiterMeters& m = limiter_->meters();
    auto show = [this](int row, float value, float peak = 0.0f) {
        if (gui::CFallOffMeter* meter = meterOfRow(row)) {
            meter->setValue(value);
            meter->setPeakValue(peak);
        }
    };
    for (int c = 0; c < 2; ++c) {
        show(kPeakLeftRow + c, limiterMeterPosition(m.peakLevel[c].load()),
             limiterMeterPosition(m.peakHold[c].load()));
        show(kRmsLeftRow + c, limiterMeterPosition(m.rmsLevel[c].load()));
        show(kPeakGainLeftRow + c, limiterMeterPosition(m.peakGain[c].load()));
        show(kSoftclipLeftRow + c,
             limiterMeterPosition(limiter_->takeSoftclipGain(c, MeterReader::Editor)));
        if (readout_) readout_->setHeld(c, m.peakHold[c].load());
    }
    const float rmsGain = limiterMeterPosition(m.rmsGain.load());
    show(kRmsGainLeftRow, rmsGain);
    show(kRmsGainRightRow, rmsGain);
    show(kCorrelationRow, 0.5f * m.correlationCorrection.load(),
         0.5f * (m.correlation.load() + 1.0f));
}

}  // namespace qx
