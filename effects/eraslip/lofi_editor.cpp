#include "effects/eraslip/lofi_editor.h"

#include <cmath>

#include "effects/eraslip/lofi_tables.h"
#include "resources/eraslip/eraslip_layout.h"
#include "skins/eraslip.h"

namespace qx {

namespace {

// The meter shows 0.9 times the output peak, so full scale sits below the top (red above).
constexpr float kMeterScale = 0.9f;

constexpr HintKind kHintKinds[eraslip::kNumParams] = {
    HintKind::ValueWithUnit,  // Pan, -100..100 %
    HintKind::ValueWithUnit,  // Out, the display range is already in dB
    HintKind::ValueWithUnit,  // Rate
    HintKind::Integer,        // Bits
    HintKind::ValueWithUnit,  // High cut
    HintKind::ValueWithUnit,  // Crosstalk
    HintKind::ValueWithUnit,  // AD
    HintKind::ValueWithUnit,  // DA
    HintKind::OnOff,          // Bypass
};

constexpr gui::CColor kAmber{240, 160, 52};

EditorDescription makeDescription() {
    EditorDescription d;
    d.resources = skins::eraslip();
    d.controls = eraslip::kLayout;
    d.numControls = static_cast<int>(std::size(eraslip::kLayout));
    d.hintKinds = kHintKinds;
    d.theme.display = {{"DejaVu Sans", 11.0, true}, kAmber, {}, {}, gui::TextAlign::Center};
    d.theme.command = d.theme.display;
    d.theme.hint = {
        {"DejaVu Sans Mono", 10.5, false}, {176, 180, 188}, {}, {}, gui::TextAlign::Left};
    d.aboutText = "Eraslip lo-fi sampler  |  drag: adjust   Shift: fine   Ctrl-click: default";
    return d;
}

const EditorDescription& lofiEditorDescription() {
    static const EditorDescription d = makeDescription();
    return d;
}

}  // namespace

LofiEditor::LofiEditor(LofiEffect* effect)
    : PluginEditor(effect, lofiEditorDescription()), lofi_(effect) {}

void LofiEditor::parameterText(int index, float value, char* text) {
    lofiParameterText(index, value, text);
}

void LofiEditor::onOpened() {
    // The meter is the one row without a tag; the read-out carries the command tag.
    meter_ = nullptr;
    for (int row = 0; row < static_cast<int>(std::size(eraslip::kLayout)); ++row) {
        if (eraslip::kLayout[row].kind == gui::ControlKind::FallOffMeter)
            meter_ = dynamic_cast<gui::CFallOffMeter*>(viewOfRow(row));
    }
    peakReadout_ = dynamic_cast<gui::CPeakHoldReadout*>(controlFor(eraslip::kPeakReadout));
}

void LofiEditor::pollMeters() {
    const float vu = lofi_->takeOutputPeak(MeterReader::Editor);
    if (!std::isfinite(vu)) return;
    if (meter_) meter_->setValue(kMeterScale * vu);
    if (!peakReadout_) return;
    peakReadout_->feed(0, vu);
    if (meter_) meter_->setPeakValue(kMeterScale * peakReadout_->held(0));
}

void LofiEditor::onCommand(gui::CControl* control) {
    if (control->getTag() != eraslip::kPeakReadout) return;
    // The read-out has cleared its hold; the meter's mark follows it.
    if (meter_) meter_->setPeakValue(0.0f);
    setHint("Peak hold cleared");
}

}  // namespace qx
