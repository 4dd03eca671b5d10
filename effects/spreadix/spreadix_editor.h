// The spreadix editor: the goniometer of the last 256 output pairs with the stage positions
// of both sources, the pan sliders, the level fader, the three width knobs, the two switches,
// the VU meter fed from the effect's output peak and a peak-hold read-out (tag 101) that a
// click clears.
#pragma once

#include "effects/spreadix/spreadix_effect.h"
#include "framework/editor/plugin_editor.h"
#include "gui/meter.h"
#include "gui/scope_view.h"

namespace qx {

// The goniometer with the stage drawn under the dots: the loudspeakers, the plain panning
// region of the layout and where the two sources stand.
class SpreadixScopeView : public gui::CScopeView {
  public:
    explicit SpreadixScopeView(const gui::CRect& size);

    // UI thread: stage positions 0..1 of the left and right source; redraws on a change.
    void setPositions(float left, float right);
    // UI thread: dipole layout (narrow middle region) or ITU.
    void setDipole(bool on);
    float positionLeft() const { return left_; }
    float positionRight() const { return right_; }
    bool dipole() const { return dipole_; }

  protected:
    void drawData(gui::CDrawContext& context) override;

  private:
    float left_ = 0.25f;
    float right_ = 0.75f;
    bool dipole_ = false;
};

class SpreadixEditor : public PluginEditor {
  public:
    explicit SpreadixEditor(SpreadixEffect* effect);

    void close() override;
    // The scope view while the editor is open (null otherwise), for tests.
    SpreadixScopeView* scope() const { return scope_; }

  protected:
    void parameterText(int index, float value, char* text) override;
    void pollMeters() override;
    void onCommand(gui::CControl* control) override;
    void onOpened() override;
    void onParameterChanged(int index, float value) override;
    gui::CView* makeCustomView(const gui::ControlLayout& row) override;

  private:
    SpreadixEffect* spreadix_;
    SpreadixScopeView* scope_ = nullptr;
    gui::CFallOffMeter* meter_ = nullptr;
    gui::CPeakHoldReadout* peakReadout_ = nullptr;
    float pan_[2] = {0.25f, 0.75f};
    bool dipole_ = false;
};

}  // namespace qx
