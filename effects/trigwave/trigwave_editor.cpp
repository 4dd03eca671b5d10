// Controls from the layout table, meter and lamp polling, and the hint and read-out texts of
// the trigwave editor.
#include "effects/trigwave/trigwave_editor.h"

#include <cmath>
#include <iterator>

#include "resources/trigwave/trigwave_layout.h"
#include "skins/trigwave.h"

namespace qx {

namespace {

constexpr gui::CColor kViolet{198, 150, 255};

// The switches (a label starting with a blank) read On or Off; everything else its value.
HintKind hintKindOf(int index) {
    return kTrigwaveDescription.parameters.labels[index][0] == ' ' ? HintKind::OnOff
                                                                   : HintKind::ValueThreeDecimals;
}

EditorDescription makeDescription() {
    static HintKind kinds[kTrigwaveNumParams];
    for (int i = 0; i < kTrigwaveNumParams; ++i) kinds[i] = hintKindOf(i);
    EditorDescription d;
    d.resources = skins::trigwave();
    d.controls = trigwave::kLayout;
    d.numControls = static_cast<int>(std::size(trigwave::kLayout));
    d.hintKinds = kinds;
    d.theme.display = {{"DejaVu Sans", 10.0, true}, kViolet, {}, {}, gui::TextAlign::Center};
    d.theme.command = {{"DejaVu Sans Mono", 10.0, true}, kViolet, {}, {}, gui::TextAlign::Center};
    d.theme.hint = {
        {"DejaVu Sans Mono", 10.5, false}, {176, 180, 188}, {}, {}, gui::TextAlign::Left};
    d.aboutText = "Trigwave  |  drag: adjust   Shift: fine   click PEAK HOLD or RESET: clear";
    return d;
}

const EditorDescription& trigwaveEditorDescription() {
    static const EditorDescription d = makeDescription();
    return d;
}

float peakDb(float linear) {
    return 20.0f * std::log10(1e-8f + linear);
}

}  // namespace

TrigwaveEditor::TrigwaveEditor(TrigwaveEffect* effect)
    : PluginEditor(effect, trigwaveEditorDescription()), trigwave_(effect) {}

void TrigwaveEditor::onOpened() {
    // The rows without a parameter: the meters (left first), the lamp and the read-out.
    int meters = 0;
    for (int row = 0; row < static_cast<int>(std::size(trigwave::kLayout)); ++row) {
        const gui::ControlLayout& r = trigwave::kLayout[row];
        gui::CView* view = viewOfRow(row);
        if (r.kind == gui::ControlKind::FallOffMeter && meters < 2)
            meters_[meters++] = dynamic_cast<gui::CFallOffMeter*>(view);
        else if (r.kind == gui::ControlKind::MovieBitmap)
            lamp_ = dynamic_cast<gui::CMovieBitmap*>(view);
        else if (r.kind == gui::ControlKind::PeakHoldReadout)
            readout_ = dynamic_cast<gui::CPeakHoldReadout*>(view);
    }
    if (readout_) {
        // The engine keeps the holds; the read-out shows them in the effect's format.
        readout_->setFormat([](const float* held, int channels, float, char* text) {
            trigwavePeakReadout(peakDb(held[0]), peakDb(held[channels > 1 ? 1 : 0]), text);
        });
    }
    pollMeters();
}

void TrigwaveEditor::close() {
    meters_[0] = meters_[1] = nullptr;
    lamp_ = nullptr;
    readout_ = nullptr;
    PluginEditor::close();
}

void TrigwaveEditor::parameterText(int index, float value, char* text) {
    trigwaveReadoutText(index, value, text);
}

void TrigwaveEditor::controlChanged(gui::CControl* control) {
    PluginEditor::controlChanged(control);
    const int tag = control->getTag();
    if (!isParameterTag(tag)) return;
    char text[kTrigwaveTextSize];
    trigwaveHintText(tag, control->getValue(), text);
    setHint(text);
}

void TrigwaveEditor::pollMeters() {
    const TrigwaveMeters& m = trigwave_->meters();
    for (int c = 0; c < 2; ++c) {
        const float level = m.level[c].load();
        const float held = m.peakHold[c].load();
        if (meters_[c]) {
            meters_[c]->setValue(trigwaveMeterPosition(level));
            meters_[c]->setPeakValue(trigwaveMeterPosition(held));
        }
        if (readout_) readout_->setHeld(c, held);
    }
    if (lamp_) lamp_->setValue(trigwave_->readTriggerLamp() ? 0.5f : 0.0f);
}

void TrigwaveEditor::onCommand(gui::CControl* control) {
    if (control->getTag() != kTrigwaveResetPeakTag) return;
    // The engine keeps the holds; they fall back on its next frame, and the read-out follows
    // on the next poll.
    trigwave_->requestPeakHoldReset();
    if (readout_) readout_->clear();
    for (gui::CFallOffMeter* m : meters_)
        if (m) m->setPeakValue(0.0f);
    setHint("Peak hold reset");
}

}  // namespace qx
