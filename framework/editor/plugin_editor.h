// The editor every deliverable derives from: builds its controls from a layout table, binds
// them to parameters by tag, sends user edits to the host as automation (with begin/end edit
// around each gesture), writes the hint line and polls meters on idle. Parameter changes
// from any thread reach it as notes (a value and a dirty mark per parameter) that the UI
// thread applies on its next idle.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/editor/aeff_gui_editor.h"
#include "framework/editor/hint_line.h"
#include "framework/program_effect.h"
#include "gui/control.h"
#include "gui/layout.h"
#include "gui/text.h"

namespace qx {

// Text looks of an editor's displays.
struct EditorTheme {
    gui::TextStyle display;  // parameter displays and option menus
    gui::TextStyle hint;     // the hint line
    gui::TextStyle command;  // clickable command labels and peak-hold read-outs
    gui::PopupStyle popup;
};

struct EditorDescription {
    gui::ResourceSet resources;
    const gui::ControlLayout* controls;
    int numControls;
    // One per parameter; null: every parameter shows its value with unit.
    const HintKind* hintKinds;
    EditorTheme theme;
    const char* aboutText;  // the hint line's text until the first change
};

class PluginEditor : public AEffGUIEditor, public gui::CControlListener {
  public:
    // Takes the effect's current parameter values (construction runs before any other
    // thread can reach the effect).
    PluginEditor(ProgramEffect* effect, const EditorDescription& description);
    // Closes an editor the host never closed (a gesture in progress still ends here).
    ~PluginEditor() override;

    // Builds the frame and the controls, sets every parameter control to the parameter's
    // current value and shows the frame in the parent window.
    bool open(void* parentWindow) override;
    void close() override;
    // Applies the parameter changes noted since the last idle, polls the meters, then
    // handles window events and redraws.
    void idle() override;
    // Any thread, any time: notes the value and marks the parameter; the UI thread applies
    // it on its next idle (or open). Touches nothing that open or close build or free, and
    // never calls back into the effect. Non-finite values are ignored.
    void setParameter(int index, float value) override;
    // The value last noted for a parameter (0 for an index out of range).
    float parameterValue(int index) const;

    // UI thread, from the toolkit.
    void controlChanged(gui::CControl* control) override;
    void controlBeginEdit(gui::CControl* control) override;
    void controlEndEdit(gui::CControl* control) override;
    void controlTagChanged(gui::CControl* control, int previousTag) override;

    ProgramEffect* effect() const { return effect_; }
    // The controls bound to a tag while open (the control, then its displays).
    const std::vector<gui::CControl*>& controlsFor(int tag) const;
    gui::CControl* controlFor(int tag) const;
    gui::CTextLabel* hintLine() const { return hint_; }
    // The view built from layout row `row`, while open.
    gui::CView* viewOfRow(int row) const;

  protected:
    // The text a parameter display shows for `value` (kDisplayTextSize bytes); by default
    // the display value with two decimals.
    virtual void parameterText(int index, float value, char* text);
    // UI thread, every idle while open: read the effect's meters into the meter controls.
    virtual void pollMeters() {}
    // UI thread: a control with a command tag (100 and up) was used.
    virtual void onCommand(gui::CControl* /*control*/) {}
    // UI thread, after the controls are made and before the frame is shown.
    virtual void onOpened() {}
    // UI thread, while open: parameter `index` has a new value, already given to the
    // controls bound to it (at open, once for every parameter). For the visuals a parameter
    // changes besides its own controls.
    virtual void onParameterChanged(int /*index*/, float /*value*/) {}
    // UI thread, during open: the view for a layout row of kind Custom (null: none).
    virtual gui::CView* makeCustomView(const gui::ControlLayout& /*row*/) { return nullptr; }
    // UI thread, while open: binds `view`'s controls (nested ones too) to their tags, as
    // open does for the layout's rows; for views an editor adds itself.
    void bindControls(gui::CView* view);
    // Writes the hint line for parameter `index` at normalised value v.
    void writeHint(int index, float v);
    void setHint(const char* text);
    bool isParameterTag(int tag) const { return tag >= 0 && tag < effect_->numParams(); }
    const EditorDescription& description() const { return description_; }

  private:
    gui::CView* makeControl(const gui::ControlLayout& row);
    void bind(gui::CControl* control);
    void unbind(gui::CControl* control, int tag);
    // Hands every parameter marked since the last call to its controls.
    void applyParameterChanges();
    void applyParameter(int index);

    ProgramEffect* effect_;
    const EditorDescription& description_;
    // Shared with other threads: sized at construction, freed only with the editor.
    const int numParams_;
    std::unique_ptr<std::atomic<float>[]> values_;
    std::unique_ptr<std::atomic<std::uint64_t>[]> marks_;  // one bit per parameter
    std::atomic<bool> anyMarked_{false};
    // UI thread only.
    std::vector<std::vector<gui::CControl*>> byTag_;  // parameter tags
    std::vector<gui::CControl*> commands_;
    std::vector<gui::CView*> rows_;
    gui::CTextLabel* hint_ = nullptr;
};

}  // namespace qx
