// The compressor editor of both builds: thirteen knobs with their read-outs, seven buttons,
// the transfer-curve display with its gain bars (tag 101: a click clears them) and the text
// line. Each build hands in its own skin.
#pragma once

#include "effects/red_thuddo/compressor_display.h"
#include "effects/red_thuddo/compressor_effect.h"
#include "framework/editor/plugin_editor.h"

namespace qx {

// The editor description of a build from its painted skin and accent colour (see plugin.cpp,
// plugin_alt.cpp).
EditorDescription compressorEditorDescription(const gui::ResourceSet& skin, gui::CColor accent);

class CompressorEditor : public PluginEditor {
  public:
    CompressorEditor(CompressorEffect* effect, const EditorDescription& description,
                     gui::CColor accent);

    // UI thread: a user change; the text line then reads as the compressor words it
    // ("Ratio 1        inf" at the top of the ratio's travel).
    void controlChanged(gui::CControl* control) override;
    void close() override;

    // While open, for tests: the display (null when closed).
    CompressorDisplay* display() const { return display_; }

  protected:
    void parameterText(int index, float value, char* text) override;
    void pollMeters() override;
    void onCommand(gui::CControl* control) override;
    void onOpened() override;
    void onParameterChanged(int index, float value) override;
    gui::CView* makeCustomView(const gui::ControlLayout& row) override;

  private:
    CompressorEffect* compressor_;
    gui::CColor accent_;
    TransferCurveSettings settings_;
    CompressorDisplay* display_ = nullptr;
};

}  // namespace qx
