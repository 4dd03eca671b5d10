// A spectrum display on the graph base: one or two curves of bin powers over a logarithmic
// frequency axis and a dB axis, a frequency grid from 100 Hz up, and a read-out of the bin
// and frequency under the pressed mouse. The x values are normalised frequencies (1 = half
// the sample rate), so bin i of n lies at i / n.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "gui/graph.h"

namespace qx::gui {

class CSpectrumView : public CGraphView {
  public:
    static constexpr int kMaxBins = 1024;
    static constexpr int kMaxCurves = 2;
    // Writes the read-out for a bin and its frequency (kReadoutSize bytes).
    static constexpr int kReadoutSize = 128;
    using ReadoutFormat = std::function<void(int bin, double hz, char* text)>;

    explicit CSpectrumView(const CRect& size);

    // UI thread: the host's rate; rebuilds the grid (lines only below half the rate) and
    // clears the read-out when it changes.
    void setSampleRate(float hz);
    float sampleRate() const { return sampleRate_; }
    // UI thread: bin powers (linear) of curve `which`, at most kMaxBins. The next live redraw
    // repaints only the area where the curves' pixels moved (nothing when they did not).
    // Non-finite powers count as 0.
    void setCurve(int which, const float* powers, int bins);
    // No curves (a display switched off): nothing is drawn, the read-out stays empty.
    void clearCurves();
    // One curve of the summed powers instead of two.
    void setSumMode(bool sum);
    // Factor applied to every power before it is placed (for example a K-scale shift).
    void setDisplayGain(float gain);
    void setCurveStyle(int which, const CLineStyle& style);
    // Grid frequencies in Hz (default 100, 200, 500, 1k, 2k, 4k, 8k, 16k, 32k, 64k) and the
    // text of their labels (default "100", "1k", ...; at most 15 characters).
    using GridLabel = std::function<void(double hz, char* text, int size)>;
    void setGridFrequencies(std::vector<double> hz);
    void setGridLabel(GridLabel label);
    void setReadoutFormat(ReadoutFormat format);

    int binCount() const { return bins_; }
    // The read-out line ("" when none), the bin and frequency it names (-1 / 0 when none).
    const char* readout() const { return readout_; }
    int readoutBin() const { return readoutBin_; }
    double readoutHz() const { return readoutHz_; }

    bool onMouseDown(CPoint where, const MouseState& state) override;
    void onMouseMoved(CPoint where, const MouseState& state) override;
    void onMouseUp(CPoint where, const MouseState& state) override;
    void collectDirty(CDamageList& damage, bool live) override;

  protected:
    void drawData(CDrawContext& context) override;
    void layoutChanged() override {
        shapesStale_ = true;
        columnBins_ = -1;
    }

  private:
    using Shapes = std::array<std::vector<CPointF>, kMaxCurves>;

    void rebuildGrid();
    void readAt(CPoint where);
    void clearReadout();
    float powerAt(int which, int bin) const;
    void layoutColumns();
    // The polylines of the curves now shown, in pixels; answers how many.
    int layoutShapes(Shapes& shapes);
    // Damages the area where `next` differs from the shapes last drawn.
    void damageChanges(const Shapes& next, int count);
    // Lays the curves out anew and damages what changed.
    void relayout();
    // How far from its segment a curve's stroke may paint (pixels), and that area.
    float strokeReach() const;
    static CRect reachOf(CPointF a, CPointF b, float reach);

    std::array<std::array<float, kMaxBins>, kMaxCurves> powers_{};
    // The pixel column of each bin and the x of each column, for columnBins_ bins (-1: to
    // be laid out), and a column's largest power; the vectors are reserved for kMaxBins.
    std::array<std::uint16_t, kMaxBins> binColumn_{};
    std::vector<float> columnX_;
    std::vector<float> columnPower_;
    int columnBins_ = -1;
    // What the last redraw drew (each reserved for kMaxBins points), and the next layout.
    Shapes shapes_;
    Shapes nextShapes_;
    int shapeCount_ = 0;
    bool shapesStale_ = true;
    int bins_ = 0;
    int curves_ = 0;
    bool sum_ = false;
    float sampleRate_ = 44100.0f;
    float displayGain_ = 1.0f;
    std::vector<double> gridHz_;
    GridLabel gridLabel_;
    CLineStyle styles_[kMaxCurves];
    ReadoutFormat format_;
    char readout_[kReadoutSize] = {};
    int readoutBin_ = -1;
    double readoutHz_ = 0.0;
};

}  // namespace qx::gui
