#include "gui/graph.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qx::gui {

namespace {
// Where values with no logarithm (0, negative) go: far below every axis.
constexpr double kFarBelow = -1.0e6;
}  // namespace

CGraphAxis CGraphAxis::linear(double lo, double hi) {
    CGraphAxis a;
    a.scale_ = Scale::Linear;
    a.lo_ = lo;
    a.hi_ = hi != lo ? hi : lo + 1.0;
    return a;
}

CGraphAxis CGraphAxis::logarithmic(double lo, double hi) {
    CGraphAxis a;
    a.scale_ = Scale::Logarithmic;
    a.lo_ = std::log10(lo > 0 ? lo : 1e-12);
    a.hi_ = std::log10(hi > lo && hi > 0 ? hi : (lo > 0 ? lo : 1e-12) * 10);
    return a;
}

CGraphAxis CGraphAxis::decibel(double loDb, double hiDb, double dbPerDecade) {
    CGraphAxis a;
    a.scale_ = Scale::Decibel;
    a.lo_ = loDb;
    a.hi_ = hiDb != loDb ? hiDb : loDb + 1.0;
    a.dbPerDecade_ = dbPerDecade;
    return a;
}

CGraphAxis CGraphAxis::custom(Map toPosition, Map fromPosition) {
    CGraphAxis a;
    a.scale_ = Scale::Custom;
    a.toPosition_ = std::move(toPosition);
    a.fromPosition_ = std::move(fromPosition);
    return a;
}

double CGraphAxis::position(double v) const {
    switch (scale_) {
        case Scale::Linear:
            return (v - lo_) / (hi_ - lo_);
        case Scale::Logarithmic:
            return v > 0 ? (std::log10(v) - lo_) / (hi_ - lo_) : kFarBelow;
        case Scale::Decibel:
            return v > 0 ? (dbPerDecade_ * std::log10(v) - lo_) / (hi_ - lo_) : kFarBelow;
        case Scale::Custom:
            return toPosition_ ? toPosition_(v) : v;
    }
    return v;
}

double CGraphAxis::value(double p) const {
    switch (scale_) {
        case Scale::Linear:
            return lo_ + p * (hi_ - lo_);
        case Scale::Logarithmic:
            return std::pow(10.0, lo_ + p * (hi_ - lo_));
        case Scale::Decibel:
            return std::pow(10.0, (lo_ + p * (hi_ - lo_)) / dbPerDecade_);
        case Scale::Custom:
            return fromPosition_ ? fromPosition_(p) : p;
    }
    return p;
}

CGraphView::CGraphView(const CRect& size) : CView(size), plot_(size) {
    setLive(true);
    setMouseEnabled(false);
}

void CGraphView::setPlotArea(const CRect& plot) {
    plot_ = plot.intersection(size_);
    layoutChanged();
    setDirty();
}

void CGraphView::setAxes(CGraphAxis x, CGraphAxis y) {
    x_ = std::move(x);
    y_ = std::move(y);
    layoutChanged();
    setDirty();
}

void CGraphView::setGrid(std::vector<GridLine> xLines, std::vector<GridLine> yLines) {
    xGrid_ = std::move(xLines);
    yGrid_ = std::move(yLines);
    setDirty();
}

void CGraphView::setStyle(const GraphStyle& style) {
    style_ = style;
    setDirty();
}

float CGraphView::xPixel(double x) const {
    return static_cast<float>(plot_.left + 0.5 + x_.position(x) * (plot_.width() - 1));
}

float CGraphView::yPixel(double y) const {
    return static_cast<float>(plot_.bottom - 0.5 - y_.position(y) * (plot_.height() - 1));
}

double CGraphView::xValue(float pixel) const {
    return x_.value((pixel - 0.5 - plot_.left) / std::max(plot_.width() - 1, 1));
}

double CGraphView::yValue(float pixel) const {
    return y_.value((plot_.bottom - 0.5 - pixel) / std::max(plot_.height() - 1, 1));
}

namespace {
double hold(double position) {
    return std::isfinite(position) ? std::clamp(position, 0.0, 1.0) : 0.0;
}
}  // namespace

float CGraphView::plotX(double x) const {
    return static_cast<float>(plot_.left + 0.5 + hold(x_.position(x)) * (plot_.width() - 1));
}

float CGraphView::plotY(double y) const {
    return static_cast<float>(plot_.bottom - 0.5 - hold(y_.position(y)) * (plot_.height() - 1));
}

CPointF CGraphView::plotPoint(double x, double y) const {
    return {plotX(x), plotY(y)};
}

void CGraphView::plotMarker(CDrawContext& context, double x, double y, float radius, CColor color) {
    context.fillCircle(plotPoint(x, y), radius, color);
}

void CGraphView::drawGrid(CDrawContext& context) {
    const CLineStyle line{style_.grid, 1.0f, LineCap::Butt, style_.gridDash, false};
    const float top = static_cast<float>(plot_.top), bottom = static_cast<float>(plot_.bottom);
    const float left = static_cast<float>(plot_.left), right = static_cast<float>(plot_.right);
    for (const GridLine& g : xGrid_) {
        const double p = x_.position(g.value);
        if (!(p >= 0.0 && p <= 1.0)) continue;
        const float x = xPixel(g.value);
        const int cx = static_cast<int>(x);
        if (meetsClip({cx - 1, plot_.top, cx + 2, plot_.bottom}))
            context.line({x, top}, {x, bottom}, line);
        const CRect label{cx - 15, plot_.bottom - 15, cx + 15, plot_.bottom - 5};
        if (!g.label.empty() && meetsClip(label))
            context.drawString(g.label.c_str(), label, style_.labelFont, style_.label,
                               TextAlign::Center);
    }
    for (const GridLine& g : yGrid_) {
        const double p = y_.position(g.value);
        if (!(p >= 0.0 && p <= 1.0)) continue;
        const float y = yPixel(g.value);
        const int cy = static_cast<int>(y);
        if (meetsClip({plot_.left, cy - 1, plot_.right, cy + 2}))
            context.line({left, y}, {right, y}, line);
        const CRect label{plot_.left + 1, cy - 11, plot_.left + 40, cy - 1};
        if (!g.label.empty() && meetsClip(label))
            context.drawString(g.label.c_str(), label, style_.labelFont, style_.label,
                               TextAlign::Left);
    }
}

void CGraphView::collectDirty(CDamageList& damage, bool live) {
    if (isLive() && !live) return;
    // A whole-view redraw covers whatever was damaged in part.
    if (!isDirty()) damage.add(partial_);
    CView::collectDirty(damage, live);
    partial_ = {};
}

void CGraphView::draw(CDrawContext& context) {
    if (style_.background.a) context.fillRect(size_, style_.background);
    CView::draw(context);
    context.save();
    context.clip(plot_);
    clipCount_ = context.clipRects(clips_.data(), static_cast<int>(clips_.size()));
    drawGrid(context);
    drawData(context);
    context.restore();
    clipCount_ = -1;
}

bool CGraphView::meetsClip(const CRect& area) const {
    if (clipCount_ < 0) return true;
    for (int i = 0; i < clipCount_; ++i)
        if (clips_[static_cast<size_t>(i)].intersects(area)) return true;
    return false;
}

}  // namespace qx::gui
