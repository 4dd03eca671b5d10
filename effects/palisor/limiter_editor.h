// The palisor editor: drive and trim faders, the dynamics knobs, the meter bridge (output
// peak and RMS on the chosen K scale, correlation, the three gain reductions), the output-
// scale buttons, the peak-hold read-out (a click drops both holds) and the hint line.
#pragma once

#include "effects/palisor/limiter_effect.h"
#include "framework/editor/plugin_editor.h"
#include "gui/meter.h"
#include "gui/text.h"

namespace qx {

class LimiterEditor : public PluginEditor {
  public:
    explicit LimiterEditor(LimiterEffect* effect);

    void close() override;
    // UI thread, from the toolkit: the fader hints show the real gain in dB; the word-length
    // menu writes no hint.
    void controlChanged(gui::CControl* control) override;

    // While open, for tests: the meter of a layout row (null when closed or not a meter), the
    // scale legend and the peak-hold read-out.
    gui::CFallOffMeter* meterOfRow(int row) const;
    gui::CView* legend() const { return legend_; }
    gui::CPeakHoldReadout* peakHoldReadout() const { return readout_; }

  protected:
    void pollMeters() override;
    void onCommand(gui::CControl* control) override;
    void onOpened() override;
    void onParameterChanged(int index, float value) override;

  private:
    // Shows the output scale of Output scale value v on the level meters, the legend, the
    // buttons and the read-out.
    void showScale(float v);

    LimiterEffect* limiter_;
    gui::CView* legend_ = nullptr;
    gui::CPeakHoldReadout* readout_ = nullptr;
};

}  // namespace qx
