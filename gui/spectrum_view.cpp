#include "gui/spectrum_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qx::gui {

namespace {

void frequencyLabel(double hz, char* text, std::size_t size) {
    if (hz >= 1000.0)
        std::snprintf(text, size, "%gk", hz / 1000.0);
    else
        std::snprintf(text, size, "%g", hz);
}

}  // namespace

CSpectrumView::CSpectrumView(const CRect& size)
    : CGraphView(size), gridHz_{100, 200, 500, 1000, 2000, 4000, 8000, 16000, 32000, 64000} {
    setMouseEnabled(true);
    // 0.002 of half the rate (about 44 Hz at 44.1 kHz) up to half the rate; powers from
    // -72 dB to full scale.
    setAxes(CGraphAxis::logarithmic(0.002, 1.0), CGraphAxis::decibel(-72.0, 0.0, 10.0));
    columnX_.reserve(kMaxBins);
    columnPower_.reserve(kMaxBins);
    for (int k = 0; k < kMaxCurves; ++k) {
        shapes_[static_cast<size_t>(k)].reserve(kMaxBins);
        nextShapes_[static_cast<size_t>(k)].reserve(kMaxBins);
    }
    styles_[0] = {{232, 150, 40}, 1.0f};
    styles_[1] = {{90, 180, 235}, 1.0f};
    rebuildGrid();
}

void CSpectrumView::rebuildGrid() {
    std::vector<GridLine> lines;
    for (double hz : gridHz_) {
        if (hz >= sampleRate_ / 2) continue;
        char label[16] = {};
        if (gridLabel_)
            gridLabel_(hz, label, static_cast<int>(sizeof label));
        else
            frequencyLabel(hz, label, sizeof label);
        label[sizeof label - 1] = 0;
        lines.push_back({2.0 * hz / sampleRate_, label});
    }
    std::vector<GridLine> levels;
    for (int db = -12; db > -72; db -= 12) levels.push_back({std::pow(10.0, db / 10.0), ""});
    setGrid(std::move(lines), std::move(levels));
}

void CSpectrumView::setSampleRate(float hz) {
    if (!(hz > 0.0f) || hz == sampleRate_) return;
    sampleRate_ = hz;
    rebuildGrid();
    clearReadout();
}

void CSpectrumView::setGridFrequencies(std::vector<double> hz) {
    gridHz_ = std::move(hz);
    rebuildGrid();
}

void CSpectrumView::setGridLabel(GridLabel label) {
    gridLabel_ = std::move(label);
    rebuildGrid();
}

void CSpectrumView::setCurve(int which, const float* powers, int bins) {
    if (which < 0 || which >= kMaxCurves || !powers) return;
    bins = std::clamp(bins, 0, kMaxBins);
    std::array<float, kMaxBins>& stored = powers_[static_cast<size_t>(which)];
    bool changed = bins != bins_ || which >= curves_;
    for (int i = 0; i < bins; ++i) {
        const float p = std::isfinite(powers[i]) ? powers[i] : 0.0f;
        changed |= stored[static_cast<size_t>(i)] != p;
        stored[static_cast<size_t>(i)] = p;
    }
    bins_ = bins;
    curves_ = std::max(curves_, which + 1);
    if (changed) shapesStale_ = true;
}

void CSpectrumView::clearCurves() {
    if (curves_ == 0 && bins_ == 0) return;
    curves_ = 0;
    bins_ = 0;
    clearReadout();
    shapesStale_ = true;
}

void CSpectrumView::setSumMode(bool sum) {
    if (sum == sum_) return;
    sum_ = sum;
    clearReadout();
    shapesStale_ = true;
}

void CSpectrumView::setDisplayGain(float gain) {
    if (!std::isfinite(gain) || gain == displayGain_) return;
    displayGain_ = gain;
    clearReadout();
    shapesStale_ = true;
}

void CSpectrumView::setCurveStyle(int which, const CLineStyle& style) {
    if (which < 0 || which >= kMaxCurves) return;
    styles_[which] = style;
    setDirty();
}

void CSpectrumView::setReadoutFormat(ReadoutFormat format) {
    format_ = std::move(format);
}

float CSpectrumView::powerAt(int which, int bin) const {
    const auto& p = powers_;
    const float power = sum_ ? p[0][static_cast<size_t>(bin)] +
                                   (curves_ > 1 ? p[1][static_cast<size_t>(bin)] : 0.0f)
                             : p[static_cast<size_t>(which)][static_cast<size_t>(bin)];
    return power * displayGain_;
}

float CSpectrumView::strokeReach() const {
    // A mitred joint reaches at most five line widths from its point; one more pixel for
    // the antialiased edge.
    float widest = 0.0f;
    for (const CLineStyle& style : styles_) widest = std::max(widest, style.width);
    return 5.0f * widest + 1.0f;
}

CRect CSpectrumView::reachOf(CPointF a, CPointF b, float reach) {
    return {static_cast<int>(std::floor(std::min(a.x, b.x) - reach)),
            static_cast<int>(std::floor(std::min(a.y, b.y) - reach)),
            static_cast<int>(std::ceil(std::max(a.x, b.x) + reach)),
            static_cast<int>(std::ceil(std::max(a.y, b.y) + reach))};
}

void CSpectrumView::layoutColumns() {
    // Many bins share a pixel column at the top of the log axis: each column shows the
    // largest of its bins, so a polyline has at most one point per column. Where the
    // columns lie depends only on the layout and the bin count.
    columnX_.clear();
    float lastX = 0.0f;
    for (int bin = 0; bin < bins_; ++bin) {
        const float x = plotX(static_cast<double>(bin) / bins_);
        if (columnX_.empty() || std::floor(lastX) != std::floor(x)) {
            columnX_.push_back(plotX(xValue(x)));
            lastX = x;
        }
        binColumn_[static_cast<size_t>(bin)] = static_cast<std::uint16_t>(columnX_.size() - 1);
    }
    columnBins_ = bins_;
}

int CSpectrumView::layoutShapes(Shapes& shapes) {
    const int count = bins_ > 0 ? (sum_ ? 1 : curves_) : 0;
    if (count > 0 && columnBins_ != bins_) layoutColumns();
    for (int which = 0; which < kMaxCurves; ++which) {
        std::vector<CPointF>& points = shapes[static_cast<size_t>(which)];
        points.clear();
        if (which >= count) continue;
        columnPower_.assign(columnX_.size(), 0.0f);
        int column = -1;
        for (int bin = 0; bin < bins_; ++bin) {
            const float power = powerAt(which, bin);
            float& peak = columnPower_[binColumn_[static_cast<size_t>(bin)]];
            if (binColumn_[static_cast<size_t>(bin)] != column) {
                column = binColumn_[static_cast<size_t>(bin)];
                peak = power;
            } else {
                peak = std::max(peak, power);
            }
        }
        for (size_t k = 0; k < columnX_.size(); ++k)
            points.push_back({columnX_[k], plotY(static_cast<double>(columnPower_[k]))});
    }
    return count;
}

void CSpectrumView::damageChanges(const Shapes& next, int count) {
    // One rectangle around every changed segment, old and new: under a clip of several
    // rectangles cairo antialiases some edge pixels differently from a whole redraw.
    const float reach = strokeReach();
    CRect area;
    const auto same = [](CPointF a, CPointF b) { return a.x == b.x && a.y == b.y; };
    for (int which = 0; which < std::max(count, shapeCount_); ++which) {
        const std::vector<CPointF>& before = shapes_[static_cast<size_t>(which)];
        const std::vector<CPointF>& after = next[static_cast<size_t>(which)];
        const bool sameLayout = before.size() == after.size();
        for (size_t i = 1; i < std::max(before.size(), after.size()); ++i) {
            if (sameLayout && same(before[i - 1], after[i - 1]) && same(before[i], after[i]))
                continue;
            if (i < before.size()) area = area.united(reachOf(before[i - 1], before[i], reach));
            if (i < after.size()) area = area.united(reachOf(after[i - 1], after[i], reach));
        }
    }
    damageArea(area.intersection(plotArea()));
}

void CSpectrumView::relayout() {
    const int count = layoutShapes(nextShapes_);
    damageChanges(nextShapes_, count);
    std::swap(shapes_, nextShapes_);
    shapeCount_ = count;
    shapesStale_ = false;
}

void CSpectrumView::collectDirty(CDamageList& damage, bool live) {
    if (isLive() && !live) return;
    if (shapesStale_) relayout();
    CGraphView::collectDirty(damage, live);
}

void CSpectrumView::drawData(CDrawContext& context) {
    // Drawn before the live redraw took the new data (a picture on demand, or a redraw
    // of other views reaching this one): the areas that change are redrawn next time.
    if (shapesStale_) relayout();
    // Stroking is the dear part: only the runs of segments that reach the area being
    // redrawn are stroked. A run ends with a cap where the whole curve has a joint, but both
    // lie within the reach of the segment left out, so the pixels redrawn are the same; runs
    // closer than twice the reach stay one, so no pixel is blended twice.
    const float reach = strokeReach();
    for (int which = 0; which < shapeCount_; ++which) {
        const std::vector<CPointF>& points = shapes_[static_cast<size_t>(which)];
        const int n = static_cast<int>(points.size());
        int first = -1, last = -1;  // segments (i - 1, i) of the run being gathered
        const auto stroke = [&] {
            if (first > 0)
                context.polyline(points.data() + first - 1, last - first + 2, styles_[which]);
        };
        for (int i = 1; i < n; ++i) {
            const CPointF a = points[static_cast<size_t>(i - 1)],
                          b = points[static_cast<size_t>(i)];
            if (!meetsClip(reachOf(a, b, reach))) continue;
            if (first > 0 &&
                std::min(a.x, b.x) - points[static_cast<size_t>(last)].x > 2.0f * reach) {
                stroke();
                first = -1;
            }
            if (first < 0) first = i;
            last = i;
        }
        stroke();
    }
    if (readout_[0]) {
        const CRect& plot = plotArea();
        context.drawString(readout_,
                           CRect{plot.left + 1, plot.top + 1, plot.right - 1, plot.top + 14},
                           style().labelFont, style().label, TextAlign::Left);
    }
}

void CSpectrumView::readAt(CPoint where) {
    if (bins_ <= 0 || !getViewSize().contains(where)) {
        clearReadout();
        return;
    }
    double fn = xValue(static_cast<float>(where.x) + 0.5f);
    if (!(fn > 0.0)) fn = 0.0;
    const int bin = std::min(static_cast<int>(fn * bins_), bins_ - 1);
    const double hz = fn * sampleRate_ / 2;
    if (bin == readoutBin_ && hz == readoutHz_) return;
    readoutBin_ = bin;
    readoutHz_ = hz;
    if (format_)
        format_(bin, hz, readout_);
    else
        std::snprintf(readout_, sizeof readout_, "Bin %d  %.0f Hz", bin, hz);
    readout_[kReadoutSize - 1] = 0;
    setDirty();
}

void CSpectrumView::clearReadout() {
    if (readoutBin_ < 0 && !readout_[0]) return;
    readout_[0] = 0;
    readoutBin_ = -1;
    readoutHz_ = 0.0;
    setDirty();
}

bool CSpectrumView::onMouseDown(CPoint where, const MouseState& /*state*/) {
    readAt(where);
    return true;
}

void CSpectrumView::onMouseMoved(CPoint where, const MouseState& /*state*/) {
    readAt(where);
}

void CSpectrumView::onMouseUp(CPoint /*where*/, const MouseState& /*state*/) {
    clearReadout();
}

}  // namespace qx::gui
