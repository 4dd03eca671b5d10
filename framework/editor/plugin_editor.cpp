#include "framework/editor/plugin_editor.h"

#include <cstdio>

#include "gui/button.h"
#include "gui/knob.h"
#include "gui/meter.h"
#include "gui/slider.h"

namespace qx {

using gui::ControlKind;
using gui::CRect;

PluginEditor::PluginEditor(ProgramEffect* effect, const EditorDescription& description)
    : AEffGUIEditor(effect, description.resources), effect_(effect), description_(description) {}

const std::vector<gui::CControl*>& PluginEditor::controlsFor(int tag) const {
    static const std::vector<gui::CControl*> kNone;
    if (tag < 0 || tag >= static_cast<int>(byTag_.size())) return kNone;
    return byTag_[static_cast<size_t>(tag)];
}

gui::CControl* PluginEditor::controlFor(int tag) const {
    const auto& bound = controlsFor(tag);
    if (!bound.empty()) return bound.front();
    for (gui::CControl* control : commands_)
        if (control->getTag() == tag) return control;
    return nullptr;
}

gui::CView* PluginEditor::viewOfRow(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<size_t>(row)]
                                                            : nullptr;
}

void PluginEditor::parameterText(int index, float value, char* text) {
    const ParameterDisplayRange& range = effect_->description().parameters.displayRanges[index];
    std::snprintf(text, gui::kDisplayTextSize, "%3.2f",
                  range.minimum + value * (range.maximum - range.minimum));
}

gui::CView* PluginEditor::makeControl(const gui::ControlLayout& row) {
    const CRect size = CRect::sized(row.x, row.y, row.width, row.height);
    const EditorTheme& theme = description_.theme;
    switch (row.kind) {
        case ControlKind::AnimKnob:
            return new gui::CAnimKnob(size, this, row.tag, row.frames, loadBitmap(row.bitmap));
        case ControlKind::ExpKnob:
            return new gui::CExpKnob(size, this, row.tag, row.frames, loadBitmap(row.bitmap),
                                     row.value);
        case ControlKind::VSlider:
        case ControlKind::HSlider:
            return new gui::CSlider(size, this, row.tag,
                                    row.kind == ControlKind::VSlider ? gui::Orientation::Vertical
                                                                     : gui::Orientation::Horizontal,
                                    loadBitmap(row.bitmap), loadBitmap(row.bitmap2));
        case ControlKind::MovieButton:
            return new gui::CMovieButton(size, this, row.tag, loadBitmap(row.bitmap));
        case ControlKind::MovieBitmap:
            return new gui::CMovieBitmap(size, nullptr, row.tag, row.frames,
                                         loadBitmap(row.bitmap));
        case ControlKind::OptionMenu: {
            auto* menu = new gui::COptionMenu(size, this, row.tag, loadBitmap(row.bitmap));
            menu->setStyle(theme.display);
            for (const char* const* entry = row.entries; entry && *entry; ++entry)
                menu->addEntry(*entry);
            return menu;
        }
        case ControlKind::ParamDisplay: {
            // Shows its parameter's text; it takes no input, the control above it does.
            auto* display = new gui::CParamDisplay(size, nullptr, row.tag, loadBitmap(row.bitmap));
            display->setStyle(theme.display);
            const int index = row.tag;
            display->setValueToString(
                [this, index](float value, char* text) { parameterText(index, value, text); });
            return display;
        }
        case ControlKind::HintLine: {
            auto* label = new gui::CTextLabel(size, description_.aboutText, loadBitmap(row.bitmap));
            label->setStyle(theme.hint);
            hint_ = label;
            return label;
        }
        case ControlKind::CommandLabel: {
            auto* label = new gui::CTextLabel(size, "", loadBitmap(row.bitmap));
            label->setStyle(theme.command);
            label->setClickable(this, row.tag);
            return label;
        }
        case ControlKind::BitmapView: {
            auto* view = new gui::CView(size);
            view->setBackground(loadBitmap(row.bitmap));
            view->setMouseEnabled(false);
            return view;
        }
        case ControlKind::FallOffMeter:
            return new gui::CFallOffMeter(size, loadBitmap(row.bitmap2), loadBitmap(row.bitmap),
                                          row.value, row.frames);
    }
    return nullptr;
}

void PluginEditor::bind(gui::CControl* control) {
    const int tag = control->getTag();
    if (isParameterTag(tag)) {
        // Ctrl-click returns to the factory default.
        const FactoryProgramTable& factory = effect_->description().factory;
        if (factory.numPrograms > 0 && tag < factory.numParams)
            control->setDefaultValue(factory.row(0)[tag]);
        control->setValue(effect_->getParameter(tag));
        byTag_[static_cast<size_t>(tag)].push_back(control);
    } else if (tag >= gui::kFirstCommandTag) {
        commands_.push_back(control);
    }
}

bool PluginEditor::open(void* parentWindow) {
    if (!AEffGUIEditor::open(parentWindow)) return false;
    gui::CFrame* frame = createFrame();
    frame->popupStyle() = description_.theme.popup;
    byTag_.assign(static_cast<size_t>(effect_->numParams()), {});
    for (int i = 0; i < description_.numControls; ++i) {
        gui::CView* view = makeControl(description_.controls[i]);
        rows_.push_back(view);
        if (!view) continue;
        frame->addView(view);
        if (auto* control = dynamic_cast<gui::CControl*>(view)) bind(control);
    }
    onOpened();
    return showFrame();
}

void PluginEditor::close() {
    // Pointers first, so a late setParameter from another thread finds nothing to touch.
    byTag_.clear();
    commands_.clear();
    rows_.clear();
    hint_ = nullptr;
    AEffGUIEditor::close();
}

void PluginEditor::idle() {
    if (!getFrame()) return;
    pollMeters();
    AEffGUIEditor::idle();
}

void PluginEditor::setParameter(int index, float value) {
    if (!getFrame()) return;
    for (gui::CControl* control : controlsFor(index)) control->setValue(value);
}

void PluginEditor::controlChanged(gui::CControl* control) {
    const int tag = control->getTag();
    if (isParameterTag(tag)) {
        effect_->setParameterAutomated(tag, control->getValue());
        writeHint(tag, control->getValue());
    } else if (tag >= gui::kFirstCommandTag) {
        onCommand(control);
    }
}

void PluginEditor::controlBeginEdit(gui::CControl* control) {
    if (isParameterTag(control->getTag())) beginEdit(control->getTag());
}

void PluginEditor::controlEndEdit(gui::CControl* control) {
    if (isParameterTag(control->getTag())) endEdit(control->getTag());
}

void PluginEditor::writeHint(int index, float v) {
    if (!hint_ || !isParameterTag(index)) return;
    const ParameterTable& table = effect_->description().parameters;
    const HintKind kind =
        description_.hintKinds ? description_.hintKinds[index] : HintKind::ValueWithUnit;
    char text[kHintSize];
    formatHint(kind, table.names[index], table.labels[index], table.displayRanges[index].minimum,
               table.displayRanges[index].maximum, v, text);
    setHint(text);
}

void PluginEditor::setHint(const char* text) {
    if (hint_) hint_->setText(text);
}

}  // namespace qx
