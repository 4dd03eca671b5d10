// The quassel editor: the band display edits the per-band family "GUI mode" selects (page
// buttons switch it), shows each band's detector level and gain, and the global knobs,
// switches, dB-travel faders, output meters, peak read-out and hint line sit around it.
#pragma once

#include "effects/quassel/multiband_effect.h"
#include "framework/editor/plugin_editor.h"
#include "gui/band_view.h"
#include "gui/meter.h"
#include "gui/page_container.h"
#include "gui/slider.h"

namespace qx {

class MultibandEditor : public PluginEditor {
  public:
    explicit MultibandEditor(MultibandEffect* effect);

    void close() override;

    // UI thread, while open: the family shown (0 .. 5) and the band display.
    int pageFamily() const { return family_; }
    gui::CBandView* bandView() const { return bands_; }

    // UI thread, from the toolkit: parameter edits also write the hint line in the
    // parameter's own format; the faders' gestures edit their parameters.
    void controlChanged(gui::CControl* control) override;
    void controlBeginEdit(gui::CControl* control) override;
    void controlEndEdit(gui::CControl* control) override;

  protected:
    void pollMeters() override;
    void onCommand(gui::CControl* control) override;
    void onOpened() override;
    void onParameterChanged(int index, float value) override;
    gui::CView* makeCustomView(const gui::ControlLayout& row) override;

  private:
    // The parameter a fader's command tag edits, or -1.
    static int faderParameter(int tag);
    // Shows family `family`: re-binds the bars, sets their count and the page buttons.
    void showPage(int family);

    MultibandEffect* multiband_;
    int family_ = 0;
    gui::CPageContainer* page_ = nullptr;
    gui::CBandView* bands_ = nullptr;
    gui::CFallOffMeter* meters_[2] = {};
    gui::CPeakHoldReadout* readout_ = nullptr;
};

}  // namespace qx
