// Building, parameter and meter handling of the compressor editor.
#include "effects/red_thuddo/compressor_editor.h"

#include <cstdio>
#include <iterator>

#include "resources/red_thuddo/red_thuddo_layout.h"

namespace qx {

EditorDescription compressorEditorDescription(const gui::ResourceSet& skin, gui::CColor accent) {
    EditorDescription d;
    d.resources = skin;
    d.controls = red_thuddo::kLayout;
    d.numControls = static_cast<int>(std::size(red_thuddo::kLayout));
    d.hintKinds = nullptr;  // the text line comes from redThuddoParameterText
    d.theme.display = {{"DejaVu Sans", 9.5, true}, accent, {}, {}, gui::TextAlign::Center};
    d.theme.command = d.theme.display;
    d.theme.hint = {
        {"DejaVu Sans Mono", 10.5, false}, {176, 180, 188}, {}, {}, gui::TextAlign::Left};
    d.aboutText = "Red Thuddo compressor  |  drag: adjust   Shift: fine   Ctrl-click: default";
    return d;
}

CompressorEditor::CompressorEditor(CompressorEffect* effect, const EditorDescription& description,
                                   gui::CColor accent)
    : PluginEditor(effect, description), compressor_(effect), accent_(accent) {}

gui::CView* CompressorEditor::makeCustomView(const gui::ControlLayout& row) {
    if (row.tag != kRedThuddoTransferDisplayTag) return nullptr;
    return new CompressorDisplay(gui::CRect::sized(row.x, row.y, row.width, row.height), this,
                                 row.tag, accent_);
}

void CompressorEditor::close() {
    display_ = nullptr;  // the frame deletes it
    PluginEditor::close();
}

void CompressorEditor::onOpened() {
    display_ = nullptr;
    for (int row = 0; row < static_cast<int>(std::size(red_thuddo::kLayout)); ++row)
        if (red_thuddo::kLayout[row].kind == gui::ControlKind::Custom)
            display_ = dynamic_cast<CompressorDisplay*>(viewOfRow(row));
    if (display_) display_->setSettings(settings_);
}

void CompressorEditor::onParameterChanged(int index, float value) {
    // The curve is sampled again only when a setting it draws from changed.
    if (!applyTransferCurveParameter(settings_, index, value)) return;
    if (display_) display_->setSettings(settings_);
}

void CompressorEditor::controlChanged(gui::CControl* control) {
    PluginEditor::controlChanged(control);
    const int tag = control->getTag();
    if (!isParameterTag(tag)) return;
    char text[kHintSize];
    redThuddoParameterText(tag, control->getValue(), text, sizeof text);
    setHint(text);
}

void CompressorEditor::parameterText(int index, float value, char* text) {
    // The read-out under a knob: the value and its unit, without the name.
    char line[kHintSize];
    redThuddoParameterText(index, value, line, sizeof line);
    const char* valuePart = line[0] ? line + kParamNameSize : line;
    std::snprintf(text, gui::kDisplayTextSize, "%s", valuePart);
}

void CompressorEditor::pollMeters() {
    if (!display_) return;
    const CompressorMeters& m = compressor_->meters();
    const float gain = m.effectiveGain.load();
    display_->setLevels(m.detectorLevel.load(), gain);
    for (int c = 0; c < 2; ++c)
        display_->bars()->setGains(c, gain * m.limiterGain[c].load(), m.gainMin[c].load(),
                                   m.gainMax[c].load());
}

void CompressorEditor::onCommand(gui::CControl* control) {
    if (control->getTag() != kRedThuddoTransferDisplayTag) return;
    compressor_->requestGainMeterClear();
    setHint("Gain meters cleared");
}

}  // namespace qx
