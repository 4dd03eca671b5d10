// The editor every deliverable derives from: builds its controls from a layout table, binds
// them to parameters by tag, sends user edits to the host as automation (with begin/end edit
// around each gesture), writes the hint line and polls meters on idle.
#pragma once

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
    gui::TextStyle command;  // clickable command labels
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
    PluginEditor(ProgramEffect* effect, const EditorDescription& description);

    // Builds the frame and the controls, sets every parameter control to the effect's
    // current value and shows the frame in the parent window.
    bool open(void* parentWindow) override;
    void close() override;
    // Polls the meters (pollMeters), then handles window events and redraws.
    void idle() override;
    // Any thread: every control bound to `index` takes the value and is marked for redraw;
    // nothing while closed. Never calls back into the effect.
    void setParameter(int index, float value) override;

    // UI thread, from the toolkit.
    void controlChanged(gui::CControl* control) override;
    void controlBeginEdit(gui::CControl* control) override;
    void controlEndEdit(gui::CControl* control) override;

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
    // Writes the hint line for parameter `index` at normalised value v.
    void writeHint(int index, float v);
    void setHint(const char* text);
    bool isParameterTag(int tag) const { return tag >= 0 && tag < effect_->numParams(); }
    const EditorDescription& description() const { return description_; }

  private:
    gui::CView* makeControl(const gui::ControlLayout& row);
    void bind(gui::CControl* control);

    ProgramEffect* effect_;
    const EditorDescription& description_;
    std::vector<std::vector<gui::CControl*>> byTag_;  // parameter tags
    std::vector<gui::CControl*> commands_;
    std::vector<gui::CView*> rows_;
    gui::CTextLabel* hint_ = nullptr;
};

}  // namespace qx
