// The trigwave editor: a knob, fader or switch per parameter with its read-out, the two
// output meters on the trim's scale with their peak holds, the onset lamp, the peak read-out
// with its reset, and the hint line in the effect's own texts.
#pragma once

#include "effects/trigwave/trigwave_effect.h"
#include "framework/editor/plugin_editor.h"
#include "gui/button.h"
#include "gui/meter.h"
#include "gui/text.h"

namespace qx {

class TrigwaveEditor : public PluginEditor {
  public:
    explicit TrigwaveEditor(TrigwaveEffect* effect);

    void close() override;
    // UI thread: a user edit goes to the host as automation, and the hint line names it in
    // the effect's own texts (the output trim in dB of its gain curve).
    void controlChanged(gui::CControl* control) override;

    // While open (UI thread), for tests: the meters, left first, the lamp and the read-out.
    gui::CFallOffMeter* meter(int channel) const { return meters_[channel & 1]; }
    gui::CMovieBitmap* lamp() const { return lamp_; }
    gui::CPeakHoldReadout* peakReadout() const { return readout_; }

  protected:
    void parameterText(int index, float value, char* text) override;
    void pollMeters() override;
    void onCommand(gui::CControl* control) override;
    void onOpened() override;

  private:
    TrigwaveEffect* trigwave_;
    gui::CFallOffMeter* meters_[2] = {};
    gui::CMovieBitmap* lamp_ = nullptr;
    gui::CPeakHoldReadout* readout_ = nullptr;
};

}  // namespace qx
