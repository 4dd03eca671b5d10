// The analyzer's editor: level meters of left, right, mid and side on the chosen output
// scale with their held peaks, the correlation meter, the two scale legends, the scale
// buttons, the peak-hold read-out (a click releases the holds), the switches, and the
// spectrum view with its mouse read-out.
#pragma once

#include "effects/spectrel/analyzer_effect.h"
#include "framework/editor/plugin_editor.h"
#include "gui/meter.h"
#include "gui/spectrum_view.h"
#include "gui/text.h"

namespace qx {

class AnalyzerEditor : public PluginEditor {
  public:
    explicit AnalyzerEditor(AnalyzerEffect* effect);

    void close() override;

    // While open, for tests; null otherwise. Level meters in the order left and right
    // peak, left and right RMS, mid and side peak, mid and side RMS.
    gui::CSpectrumView* spectrumView() const { return spectrum_; }
    gui::CKScaleMeter* levelMeter(int i) const { return levels_[i & 7]; }
    gui::CFallOffMeter* correlationMeter() const { return correlation_; }
    gui::CPeakHoldReadout* peakHoldReadout() const { return readout_; }
    gui::CView* legend(int i) const { return legends_[i & 1]; }
    // The scale button of choice 0..3 (peak, K12, K14, K20).
    gui::CControl* scaleButton(int i) const { return scaleButtons_[i & 3]; }

  protected:
    // UI thread, every idle: meters, held peaks and read-out from the published readings,
    // the newest spectrum when one arrived, the host's sample rate to the view.
    void pollMeters() override;
    // Scale buttons write Output scale; the read-out releases the engine's holds.
    void onCommand(gui::CControl* control) override;
    void onOpened() override;
    void onParameterChanged(int index, float value) override;
    gui::CView* makeCustomView(const gui::ControlLayout& row) override;

  private:
    void showScale(SpectrelOutputScale scale);
    void connectSpectrum(bool on);
    void showSpectrum(const AnalyzerSpectrum* frame);
    void forgetViews();

    AnalyzerEffect* analyzer_;
    SpectrelOutputScale scale_ = SpectrelOutputScale::Peak;
    bool spectrumOn_ = true;
    // The frame the view shows, valid until the next read of the exchange (UI thread).
    const AnalyzerSpectrum* shown_ = nullptr;
    gui::CSpectrumView* spectrum_ = nullptr;
    gui::CKScaleMeter* levels_[8] = {};
    gui::CFallOffMeter* correlation_ = nullptr;
    gui::CPeakHoldReadout* readout_ = nullptr;
    gui::CView* legends_[2] = {};
    gui::CControl* scaleButtons_[kSpectrelNumOutputScales] = {};
};

}  // namespace qx
