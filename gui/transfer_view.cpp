#include "gui/transfer_view.h"

#include <algorithm>
#include <cstdio>

namespace qx::gui {

CTransferView::CTransferView(const CRect& size, double loDb, double hiDb, double stepDb)
    : CGraphView(size),
      lo_(loDb),
      hi_(hiDb > loDb ? hiDb : loDb + 1.0),
      step_(stepDb > 0 ? stepDb : 1.0) {
    points_ = std::min(static_cast<int>((hi_ - lo_) / step_ + 1.5), kMaxPoints);
    setAxes(CGraphAxis::linear(lo_, hi_), CGraphAxis::linear(lo_, hi_));
    std::vector<GridLine> lines;
    for (double db = std::ceil(lo_ / 10.0) * 10.0; db <= hi_; db += 10.0) {
        char label[16];
        std::snprintf(label, sizeof label, "%.0f", db);
        lines.push_back({db, label});
    }
    setGrid(lines, lines);
}

void CTransferView::sample(int which) {
    const Curve& curve = curves_[static_cast<size_t>(which)];
    if (!curve) return;
    for (int i = 0; i < points_; ++i) {
        const double out = curve(inputAt(i));
        outputs_[static_cast<size_t>(which)][static_cast<size_t>(i)] =
            std::isfinite(out) ? static_cast<float>(out) : static_cast<float>(lo_);
    }
}

void CTransferView::setCurve(int which, Curve curve, const CLineStyle& style) {
    if (which < 0 || which >= kMaxCurves) return;
    curves_[static_cast<size_t>(which)] = std::move(curve);
    styles_[static_cast<size_t>(which)] = style;
    sample(which);
    markerPixel_ = {NAN, NAN};
    dataChanged();
}

void CTransferView::curvesChanged() {
    for (int which = 0; which < kMaxCurves; ++which) sample(which);
    markerPixel_ = {NAN, NAN};
    dataChanged();
}

void CTransferView::setMarkerStyle(CColor color, float radius) {
    markerColor_ = color;
    markerRadius_ = radius;
    setDirty();
}

void CTransferView::setOperatingPoint(double inputDb) {
    operatingDb_ = std::isfinite(inputDb) ? std::clamp(inputDb, lo_, hi_) : NAN;
    // A level that moves within one pixel column changes nothing on screen.
    const CPointF pixel = std::isfinite(operatingDb_)
                              ? CPointF{std::floor(xPixel(operatingDb_)), 0.0f}
                              : CPointF{NAN, NAN};
    const bool same =
        (std::isnan(pixel.x) && std::isnan(markerPixel_.x)) || pixel.x == markerPixel_.x;
    markerPixel_ = pixel;
    if (!same) dataChanged();
}

double CTransferView::sampledOutput(int which, int i) const {
    if (which < 0 || which >= kMaxCurves || !curves_[static_cast<size_t>(which)] || i < 0 ||
        i >= points_)
        return NAN;
    return outputs_[static_cast<size_t>(which)][static_cast<size_t>(i)];
}

void CTransferView::drawData(CDrawContext& context) {
    // Unity: output equals input.
    context.line(plotPoint(lo_, lo_), plotPoint(hi_, hi_),
                 {style().grid, 1.0f, LineCap::Butt, 3.0f});
    for (int which = 0; which < kMaxCurves; ++which) {
        if (!curves_[static_cast<size_t>(which)]) continue;
        const auto& out = outputs_[static_cast<size_t>(which)];
        plotPolyline(
            context, points_,
            [&](int i) {
                return std::pair{inputAt(i), double{out[static_cast<size_t>(i)]}};
            },
            styles_[static_cast<size_t>(which)]);
        if (std::isfinite(operatingDb_)) {
            // The curve between its samples, as the polyline draws it.
            const double at = (operatingDb_ - lo_) / step_;
            const int i = std::clamp(static_cast<int>(at), 0, std::max(points_ - 2, 0));
            const double t = std::clamp(at - i, 0.0, 1.0);
            const double y = points_ > 1 ? out[static_cast<size_t>(i)] * (1 - t) +
                                               out[static_cast<size_t>(i + 1)] * t
                                         : out[0];
            plotMarker(context, operatingDb_, y, markerRadius_, markerColor_);
        }
    }
}

}  // namespace qx::gui
