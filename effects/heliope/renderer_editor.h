// The editors of both headphone renderers: the head and room controls, the output trim on the
// level scale, the two option menus, level meters of both outputs with their held peaks, the
// peak-hold read-out (a click releases the holds) and the hint line.
#pragma once

#include "effects/heliope/renderer_effect.h"
#include "effects/heliope/surround_effect.h"
#include "framework/editor/plugin_editor.h"
#include "gui/meter.h"

namespace qx {

class RendererEditor : public PluginEditor {
  public:
    // The read-out of two held peaks of -160 dB.
    static constexpr const char* kFloorText = "-160.0 dB -160.0";

    RendererEditor(ProgramEffect* effect, const RendererMeters& meters,
                   const EditorDescription& description);

    // UI thread. The trim slider writes the linear gain of its scale position.
    void controlChanged(gui::CControl* control) override;

    // The meter of output 0 or 1 and the peak-hold read-out while open; null otherwise.
    gui::CFallOffMeter* meter(int output) const { return meter_[output & 1]; }
    gui::CTextLabel* peakHoldReadout() const { return peakText_; }

  protected:
    // UI thread, every idle: both meters from the published levels (on the level scale), and
    // the read-out "%2.1f dB %2.1f" of the two held peaks in dB.
    void pollMeters() override;
    // The peak-hold read-out: the engine releases its holds before its next block.
    void onCommand(gui::CControl* control) override;
    void onOpened() override;
    // The trim slider stands on the level scale: it shows a gain at that gain's position.
    void onParameterChanged(int index, float value) override;

  private:
    ProgramEffect* effect_;
    const RendererMeters& meters_;
    gui::CFallOffMeter* meter_[2] = {};
    gui::CTextLabel* peakText_ = nullptr;
};

class HeliopeEditor : public RendererEditor {
  public:
    explicit HeliopeEditor(HeliopeEffect* effect);
};

class SurroundEditor : public RendererEditor {
  public:
    explicit SurroundEditor(SurroundEffect* effect);
};

}  // namespace qx
