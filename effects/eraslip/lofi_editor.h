// The eraslip editor: six knobs, the pan and output faders with their read-outs, the bypass
// button, a level meter fed from the effect's VU and a peak-hold read-out (tag 101) that a
// click clears.
#pragma once

#include "effects/eraslip/lofi_effect.h"
#include "framework/editor/plugin_editor.h"
#include "gui/meter.h"

namespace qx {

class LofiEditor : public PluginEditor {
  public:
    explicit LofiEditor(LofiEffect* effect);

  protected:
    void parameterText(int index, float value, char* text) override;
    void pollMeters() override;
    void onCommand(gui::CControl* control) override;
    void onOpened() override;

  private:
    LofiEffect* lofi_;
    gui::CFallOffMeter* meter_ = nullptr;
    gui::CPeakHoldReadout* peakReadout_ = nullptr;
};

}  // namespace qx
