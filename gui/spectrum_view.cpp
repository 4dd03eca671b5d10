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
    columns_.reserve(kMaxBins);
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
    if (changed) dataChanged();
}

void CSpectrumView::clearCurves() {
    if (curves_ == 0 && bins_ == 0) return;
    curves_ = 0;
    bins_ = 0;
    clearReadout();
    dataChanged();
}

void CSpectrumView::setSumMode(bool sum) {
    if (sum == sum_) return;
    sum_ = sum;
    clearReadout();
    dataChanged();
}

void CSpectrumView::setDisplayGain(float gain) {
    if (!std::isfinite(gain) || gain == displayGain_) return;
    displayGain_ = gain;
    clearReadout();
    dataChanged();
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

void CSpectrumView::drawCurve(CDrawContext& context, int which) {
    // Many bins share a pixel column at the top of the log axis: each column shows the
    // largest of its bins, so the polyline has at most one point per column.
    std::vector<Column>& columns = columns_;
    columns.clear();
    for (int bin = 0; bin < bins_; ++bin) {
        const double fn = static_cast<double>(bin) / bins_;
        const float x = plotPoint(fn, 1.0).x;
        const float power = powerAt(which, bin);
        if (!columns.empty() && std::floor(columns.back().x) == std::floor(x))
            columns.back().power = std::max(columns.back().power, power);
        else
            columns.push_back({x, power});
    }
    plotPolyline(
        context, static_cast<int>(columns.size()),
        [&](int i) {
            const Column& c = columns[static_cast<size_t>(i)];
            return std::pair{xValue(c.x), static_cast<double>(c.power)};
        },
        styles_[which]);
}

void CSpectrumView::drawData(CDrawContext& context) {
    if (bins_ > 0) {
        const int shown = sum_ ? 1 : curves_;
        for (int which = 0; which < shown; ++which) drawCurve(context, which);
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
