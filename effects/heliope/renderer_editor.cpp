// Editor descriptions of the two headphone renderers and their meter polling.
#include "effects/heliope/renderer_editor.h"

#include <cstdio>
#include <cstring>
#include <span>

#include "resources/heliope/heliope_layout.h"
#include "skins/heliope.h"
#include "skins/heliope_surround.h"

namespace qx {

namespace {

EditorDescription makeDescription(const gui::ResourceSet& resources,
                                  std::span<const gui::ControlLayout> layout, gui::CColor accent,
                                  const char* about) {
    EditorDescription d;
    d.resources = resources;
    d.controls = layout.data();
    d.numControls = static_cast<int>(layout.size());
    d.hintKinds = kHeliopeHintKinds;
    d.theme.display = {{"DejaVu Sans", 10.0, true}, accent, {}, {}, gui::TextAlign::Center};
    d.theme.command = {{"DejaVu Sans Mono", 8.5, true}, accent, {}, {}, gui::TextAlign::Center};
    d.theme.hint = {
        {"DejaVu Sans Mono", 9.5, false}, {176, 180, 188}, {}, {}, gui::TextAlign::Left};
    d.aboutText = about;
    return d;
}

const EditorDescription& heliopeDescription() {
    static const EditorDescription d =
        makeDescription(skins::heliope(), heliope::kLayout, {176, 150, 248},
                        "QX Heliope Pro  -  www.qx-audio.example");
    return d;
}

const EditorDescription& surroundDescription() {
    static const EditorDescription d =
        makeDescription(skins::heliope_surround(), heliope::kSurroundLayout, {240, 125, 172},
                        "QX Heliope Pro Surround  -  www.qx-audio.example");
    return d;
}

}  // namespace

RendererEditor::RendererEditor(ProgramEffect* effect, const RendererMeters& meters,
                               const EditorDescription& description)
    : PluginEditor(effect, description), effect_(effect), meters_(meters) {}

void RendererEditor::onParameterChanged(int index, float value) {
    if (index != kHeliopeOutputTrim) return;
    if (gui::CControl* trim = controlFor(kHeliopeOutputTrim))
        trim->setValue(heliopeScalePosition(value));
}

void RendererEditor::controlChanged(gui::CControl* control) {
    if (control->getTag() != kHeliopeOutputTrim) {
        PluginEditor::controlChanged(control);
        return;
    }
    const float gain = heliopeScaleGain(control->getValue());
    effect_->setParameterAutomated(kHeliopeOutputTrim, gain);
    writeHint(kHeliopeOutputTrim, gain);
}

void RendererEditor::onOpened() {
    // The two meters are the layout's only tagless meter rows, output 0 first.
    int found = 0;
    meter_[0] = meter_[1] = nullptr;
    for (int row = 0; row < description().numControls && found < 2; ++row)
        if (auto* m = dynamic_cast<gui::CFallOffMeter*>(viewOfRow(row))) meter_[found++] = m;
    peakText_ = dynamic_cast<gui::CTextLabel*>(controlFor(heliope::kPeakHoldTag));
    pollMeters();
}

void RendererEditor::pollMeters() {
    float held[2];
    for (int c = 0; c < 2; ++c) {
        held[c] = meters_.heldPeak[c].load();
        if (!meter_[c]) continue;
        meter_[c]->setValue(heliopeScalePosition(meters_.peakLevel[c].load()));
        meter_[c]->setPeakValue(heliopeScalePosition(held[c]));
    }
    if (!peakText_) return;
    char text[48];
    // Before the first block the readings are 0: the engine's floor.
    std::snprintf(text, sizeof text, "%2.1f dB %2.1f",
                  RendererEffect<HeadphoneEngine>::heldPeakDb(held[0]),
                  RendererEffect<HeadphoneEngine>::heldPeakDb(held[1]));
    if (peakText_->text() != text) peakText_->setText(text);
}

void RendererEditor::onCommand(gui::CControl* control) {
    if (control->getTag() == heliope::kPeakHoldTag) effect_->postCommand(kHeliopeReleaseHolds);
}

HeliopeEditor::HeliopeEditor(HeliopeEffect* effect)
    : RendererEditor(effect, effect->meters(), heliopeDescription()) {}

SurroundEditor::SurroundEditor(SurroundEffect* effect)
    : RendererEditor(effect, effect->meters(), surroundDescription()) {}

}  // namespace qx
