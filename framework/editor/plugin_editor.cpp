#include "framework/editor/plugin_editor.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>

#include "gui/button.h"
#include "gui/knob.h"
#include "gui/meter.h"
#include "gui/slider.h"

namespace qx {

using gui::ControlKind;
using gui::CRect;

namespace {
constexpr int kMarkBits = 64;
}

PluginEditor::PluginEditor(ProgramEffect* effect, const EditorDescription& description)
    : AEffGUIEditor(effect, description.resources),
      effect_(effect),
      description_(description),
      numParams_(std::max(effect->numParams(), 0)),
      values_(new std::atomic<float>[static_cast<size_t>(numParams_)]),
      marks_(new std::atomic<std::uint64_t>[static_cast<size_t>(numParams_ / kMarkBits + 1)]) {
    for (int i = 0; i < numParams_; ++i) values_[i].store(effect->getParameter(i));
    for (int w = 0; w <= numParams_ / kMarkBits; ++w) marks_[w].store(0);
}

PluginEditor::~PluginEditor() {
    if (getFrame()) PluginEditor::close();
}

void PluginEditor::setParameter(int index, float value) {
    if (index < 0 || index >= numParams_ || !std::isfinite(value)) return;
    values_[index].store(value, std::memory_order_relaxed);
    // Release: whoever takes the mark sees the value stored before it.
    marks_[index / kMarkBits].fetch_or(std::uint64_t{1} << (index % kMarkBits),
                                       std::memory_order_release);
    anyMarked_.store(true, std::memory_order_release);
}

float PluginEditor::parameterValue(int index) const {
    if (index < 0 || index >= numParams_) return 0.0f;
    return values_[index].load(std::memory_order_relaxed);
}

void PluginEditor::applyParameterChanges() {
    if (!anyMarked_.exchange(false, std::memory_order_acquire)) return;
    for (int w = 0; w <= numParams_ / kMarkBits; ++w) {
        std::uint64_t bits = marks_[w].exchange(0, std::memory_order_acquire);
        while (bits) {
            const int bit = std::countr_zero(bits);
            bits &= bits - 1;
            applyParameter(w * kMarkBits + bit);
        }
    }
}

void PluginEditor::applyParameter(int index) {
    const float value = values_[index].load(std::memory_order_relaxed);
    for (gui::CControl* control : controlsFor(index)) control->setValue(value);
    onParameterChanged(index, value);
}

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
    if (!isParameterTag(index)) {
        text[0] = 0;
        return;
    }
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
            // Shows the text of whatever parameter it is bound to (a page may re-bind it);
            // it takes no input, the control above it does.
            auto* display = new gui::CParamDisplay(size, nullptr, row.tag, loadBitmap(row.bitmap));
            display->setStyle(theme.display);
            display->setValueToString([this, display](float value, char* text) {
                parameterText(display->getTag(), value, text);
            });
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
        case ControlKind::PeakHoldReadout: {
            auto* readout = new gui::CPeakHoldReadout(size, this, row.tag, std::max(row.frames, 1),
                                                      loadBitmap(row.bitmap));
            readout->setStyle(theme.command);
            return readout;
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
        case ControlKind::KScaleMeter: {
            std::vector<gui::CKScaleMeter::Scale> scales;
            for (int i = 0; i < std::min(row.frames, gui::kNumKScales); ++i)
                scales.push_back({loadBitmap(row.bitmap2 + i), gui::kKScaleOffsetsDb[i]});
            return new gui::CKScaleMeter(size, loadBitmap(row.bitmap), std::move(scales),
                                         row.value);
        }
        case ControlKind::Custom:
            return makeCustomView(row);
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
        control->setValue(values_[tag].load(std::memory_order_relaxed));
        byTag_[static_cast<size_t>(tag)].push_back(control);
    } else if (tag >= gui::kFirstCommandTag) {
        commands_.push_back(control);
    }
}

void PluginEditor::unbind(gui::CControl* control, int tag) {
    auto drop = [control](std::vector<gui::CControl*>& list) {
        list.erase(std::remove(list.begin(), list.end(), control), list.end());
    };
    if (isParameterTag(tag) && tag < static_cast<int>(byTag_.size()))
        drop(byTag_[static_cast<size_t>(tag)]);
    else
        drop(commands_);
}

void PluginEditor::bindControls(gui::CView* view) {
    if (auto* control = dynamic_cast<gui::CControl*>(view)) bind(control);
    if (auto* container = dynamic_cast<gui::CViewContainer*>(view))
        for (int i = 0; i < container->numViews(); ++i) bindControls(container->viewAt(i));
}

void PluginEditor::controlTagChanged(gui::CControl* control, int previousTag) {
    if (!getFrame()) return;
    unbind(control, previousTag);
    bind(control);
    control->setDirty();
}

bool PluginEditor::open(void* parentWindow) {
    if (!AEffGUIEditor::open(parentWindow)) return false;
    gui::CFrame* frame = createFrame();
    frame->popupStyle() = description_.theme.popup;
    byTag_.assign(static_cast<size_t>(numParams_), {});
    // Marks taken here are in the values read below; later ones wait for the next idle.
    anyMarked_.store(false);
    for (int w = 0; w <= numParams_ / kMarkBits; ++w)
        marks_[w].exchange(0, std::memory_order_acquire);
    for (int i = 0; i < description_.numControls; ++i) {
        gui::CView* view = makeControl(description_.controls[i]);
        rows_.push_back(view);
        if (!view) continue;
        frame->addView(view);
        bindControls(view);
    }
    onOpened();
    for (int i = 0; i < numParams_; ++i)
        onParameterChanged(i, values_[i].load(std::memory_order_relaxed));
    return showFrame();
}

void PluginEditor::close() {
    byTag_.clear();
    commands_.clear();
    rows_.clear();
    hint_ = nullptr;
    AEffGUIEditor::close();
}

void PluginEditor::idle() {
    if (!getFrame()) return;
    applyParameterChanges();
    pollMeters();
    AEffGUIEditor::idle();
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
