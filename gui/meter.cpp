#include "gui/meter.h"

#include <algorithm>
#include <cmath>

namespace qx::gui {

namespace {
constexpr int kPeakMarkPixels = 2;
}

CVuMeter::CVuMeter(const CRect& size, BitmapRef onBitmap, BitmapRef offBitmap, int steps,
                   Orientation orientation)
    : CControl(size, nullptr, -1, std::move(offBitmap)),
      on_(std::move(onBitmap)),
      orientation_(orientation),
      steps_(steps) {
    setMouseEnabled(false);
    setLive(true);
}

void CVuMeter::setLitBitmap(BitmapRef bitmap) {
    on_ = std::move(bitmap);
    setDirty();
}

int CVuMeter::length() const {
    return orientation_ == Orientation::Vertical ? size_.height() : size_.width();
}

int CVuMeter::litLength(float value) const {
    const int pixels = length();
    const int steps = steps_ > 0 ? steps_ : pixels;
    const float v = std::clamp(std::isfinite(value) ? value : 0.0f, 0.0f, 1.0f);
    const int lit = static_cast<int>(v * steps);  // a step lights only when reached
    return lit * pixels / steps;
}

void CVuMeter::drawLit(CDrawContext& context, int from, int to) {
    if (!on_ || to <= from) return;
    if (orientation_ == Orientation::Vertical) {
        const CRect part{size_.left, size_.bottom - to, size_.right, size_.bottom - from};
        context.drawBitmap(*on_, part, {0, size_.height() - to});
    } else {
        const CRect part{size_.left + from, size_.top, size_.left + to, size_.bottom};
        context.drawBitmap(*on_, part, {from, 0});
    }
}

void CVuMeter::draw(CDrawContext& context) {
    CView::draw(context);
    drawLit(context, 0, litLength(getValue()));
}

CFallOffMeter::CFallOffMeter(const CRect& size, BitmapRef onBitmap, BitmapRef offBitmap,
                             float fallPerSecond, int steps, Orientation orientation)
    : CVuMeter(size, std::move(onBitmap), std::move(offBitmap), steps, orientation),
      ballistics_{fallPerSecond, Ballistics::Unit::Linear} {}

void CFallOffMeter::setValue(float reading) {
    if (!std::isfinite(reading)) return;
    const double t = now();
    const double elapsed = haveReading_ ? t - lastReading_ : 0.0;
    lastReading_ = t;
    haveReading_ = true;
    CVuMeter::setValue(ballistics_.next(getValue(), reading, elapsed));
}

void CFallOffMeter::resetValue(float value) {
    CVuMeter::setValue(value);
    haveReading_ = false;
}

void CFallOffMeter::setPeakValue(float value) {
    if (!std::isfinite(value)) return;
    value = std::clamp(value, 0.0f, 1.0f);
    if (peak_.exchange(value, std::memory_order_relaxed) != value) setDirty();
}

void CFallOffMeter::draw(CDrawContext& context) {
    CVuMeter::draw(context);
    const float peak = getPeakValue();
    if (peak <= 0.0f) return;
    const int at = std::max(litLength(peak), kPeakMarkPixels);
    drawLit(context, at - kPeakMarkPixels, at);
}

CKScaleMeter::CKScaleMeter(const CRect& size, BitmapRef unlit, std::vector<Scale> scales,
                           float fallPerSecond, int steps, Orientation orientation)
    : CFallOffMeter(size, scales.empty() ? nullptr : scales.front().lit, std::move(unlit),
                    fallPerSecond, steps, orientation),
      scales_(std::move(scales)) {}

void CKScaleMeter::selectScale(int index) {
    if (index < 0 || index >= numScales() || index == scale_) return;
    scale_ = index;
    setLitBitmap(scales_[static_cast<size_t>(index)].lit);
}

float CKScaleMeter::offsetDb() const {
    return scales_.empty() ? 0.0f : scales_[static_cast<size_t>(scale_)].offsetDb;
}

}  // namespace qx::gui
