// The compressor editor's display (tag 101): the transfer curve with its dry/wet curve and
// the live operating point, and beside it the gain bars (compressor and limiter gain per
// output, with the largest and smallest since the last clear). A click on the bars asks for
// the clear. UI thread throughout.
#pragma once

#include "effects/red_thuddo/red_thuddo_tables.h"
#include "gui/ballistics.h"
#include "gui/control.h"
#include "gui/transfer_view.h"

namespace qx {

// Gains of the two outputs in dB, as bars from 0 dB (down: reduction, up: boost) with ticks
// at the smallest and largest gain since the last clear. Sends its tag when clicked.
class GainBars : public gui::CControl {
  public:
    static constexpr float kTopDb = 20.0f;
    static constexpr float kBottomDb = -40.0f;
    // Shown reduction recovers at 60 dB per second; deeper readings show at once.
    static constexpr float kRecoveryDbPerSecond = 60.0f;

    GainBars(const gui::CRect& size, gui::CControlListener* listener, int tag, gui::CColor accent);

    // Linear gains of output `channel` (0, 1): now, smallest and largest since the clear.
    void setGains(int channel, float gain, float smallest, float largest);
    // The gain a bar shows (linear), for tests.
    float shownGain(int channel) const { return shown_[channel & 1]; }

    void draw(gui::CDrawContext& context) override;
    bool onMouseDown(gui::CPoint where, const gui::MouseState& state) override;

  private:
    int pixelOf(float gainDb) const;

    gui::CColor accent_;
    gui::Ballistics ballistics_{-kRecoveryDbPerSecond, gui::Ballistics::Unit::Decibel};
    float shown_[2] = {1.0f, 1.0f};
    float smallest_[2] = {1.0f, 1.0f}, largest_[2] = {1.0f, 1.0f};
    int drawn_[2][3] = {};  // pixel rows last drawn: bar end, smallest, largest
    double lastTime_ = -1.0;
};

// Two lines of text under the curve: the live input level and gain, and the settings the
// curve is drawn from. Redrawn only when a text changes.
class CurveReadout : public gui::CView {
  public:
    explicit CurveReadout(const gui::CRect& size);
    void setLive(float inputDb, float gainDb);
    void setSettings(const TransferCurveSettings& settings);
    const char* liveText() const { return live_; }
    const char* settingsText() const { return settings_; }
    void draw(gui::CDrawContext& context) override;

  private:
    void replace(char* text, const char* next);
    char live_[64] = {};
    char settings_[128] = {};
};

class CompressorDisplay : public gui::CViewContainer {
  public:
    CompressorDisplay(const gui::CRect& size, gui::CControlListener* listener, int tag,
                      gui::CColor accent);

    // Curve settings changed (threshold, ratios, knee, max gain, dry/wet, post gain):
    // samples the curves again and redraws them.
    void setSettings(const TransferCurveSettings& settings);
    const TransferCurveSettings& settings() const { return settings_; }
    // The detector level (mean square) to mark on the curves, and the compressor's mix gain
    // (linear) for the read-out.
    void setLevels(float meanSquare, float gain);

    gui::CTransferView* curve() const { return curve_; }
    GainBars* bars() const { return bars_; }
    CurveReadout* readout() const { return readout_; }

  private:
    TransferCurveSettings settings_;
    gui::CTransferView* curve_;
    GainBars* bars_;
    CurveReadout* readout_;
};

}  // namespace qx
