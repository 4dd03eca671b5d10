// A compressor's transfer curve on the graph base: output level against input level in dB,
// curves sampled from functions an editor supplies, and a live operating point marked on
// each curve. The curves are re-sampled only when the editor says their settings changed;
// the marker redraws only when it lands on another pixel.
#pragma once

#include <array>
#include <cmath>
#include <functional>

#include "gui/graph.h"

namespace qx::gui {

class CTransferView : public CGraphView {
  public:
    static constexpr int kMaxCurves = 2;
    static constexpr int kMaxPoints = 512;
    // Output dB for an input dB.
    using Curve = std::function<double(double inputDb)>;

    // Both axes from loDb to hiDb, one curve point every stepDb (at most kMaxPoints), grid
    // lines every 10 dB and the unity line.
    CTransferView(const CRect& size, double loDb = -50.0, double hiDb = 0.0, double stepDb = 1.0);

    // UI thread: curve `which` (null removes it), drawn in `style`; sampled at once.
    void setCurve(int which, Curve curve, const CLineStyle& style);
    // UI thread: the settings behind the curve functions changed: samples them again.
    void curvesChanged();
    // UI thread: the input level to mark on every curve; NaN hides the markers.
    void setOperatingPoint(double inputDb);
    void setMarkerStyle(CColor color, float radius);

    // The sampled output of a curve at point i (input loDb + i stepDb), for tests and
    // read-outs; NaN when out of range.
    double sampledOutput(int which, int i) const;
    int numPoints() const { return points_; }
    double inputAt(int i) const { return lo_ + i * step_; }

  protected:
    void drawData(CDrawContext& context) override;

  private:
    void sample(int which);

    double lo_;
    double hi_;
    double step_;
    int points_;
    std::array<Curve, kMaxCurves> curves_;
    std::array<CLineStyle, kMaxCurves> styles_;
    std::array<std::array<float, kMaxPoints>, kMaxCurves> outputs_{};
    double operatingDb_ = NAN;
    CPointF markerPixel_{NAN, NAN};
    CColor markerColor_{250, 250, 250};
    float markerRadius_ = 3.0f;
};

}  // namespace qx::gui
