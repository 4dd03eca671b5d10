#include "gui/band_view.h"

#include <algorithm>
#include <cmath>

#include "gui/frame.h"

namespace qx::gui {

CBandBar::CBandBar(const CRect& size, CControlListener* listener, int tag, const BandStyle* style)
    : CControl(size, listener, tag), style_(style) {}

void CBandBar::setViewSize(const CRect& size) {
    if (size == size_) return;
    if (getFrame()) getFrame()->invalidate(size_);
    size_ = size;
    setDirty();
}

float CBandBar::positionAt(CPoint where) const {
    const float travel = static_cast<float>(std::max(size_.height() - 1, 1));
    return std::clamp((size_.bottom - 1 - where.y) / travel, 0.0f, 1.0f);
}

bool CBandBar::onMouseDown(CPoint where, const MouseState& state) {
    if (beginPress(state)) return false;
    // A plain press puts the bar under the pointer; with Shift it only grabs it.
    if (!state.shift) userSetPosition(positionAt(where));
    gesture_.setPixelsPerRange(static_cast<float>(std::max(size_.height() - 1, 1)));
    gesture_.begin(-where.y, position01(), state.shift);
    return true;
}

void CBandBar::onMouseMoved(CPoint where, const MouseState& state) {
    userSetPosition(gesture_.move(-where.y, state.shift));
}

void CBandBar::onMouseUp(CPoint /*where*/, const MouseState& /*state*/) {
    endEdit();
}

bool CBandBar::onWheel(CPoint /*where*/, float distance, const MouseState& state) {
    wheelGesture(distance, state);
    return true;
}

int CBandBar::markRow(float position) const {
    if (!(position >= 0.0f)) return -1;
    const int travel = std::max(size_.height() - style_->overlay, 0);
    return size_.bottom - style_->overlay -
           static_cast<int>(std::lround(std::min(position, 1.0f) * travel));
}

void CBandBar::setOverlays(float level, float gain) {
    const int levelRow = markRow(level), gainRow = markRow(gain);
    if (levelRow == levelRow_ && gainRow == gainRow_) return;
    levelRow_ = levelRow;
    gainRow_ = gainRow;
    setDirty();
}

void CBandBar::draw(CDrawContext& context) {
    if (style_->trackBitmap)
        context.drawBitmap(*style_->trackBitmap, size_);
    else
        context.fillRect(size_, style_->track);
    const int filled =
        static_cast<int>(std::lround(std::clamp(position01(), 0.0f, 1.0f) * size_.height()));
    const CRect lit{size_.left, size_.bottom - filled, size_.right, size_.bottom};
    if (style_->barBitmap)
        context.drawBitmap(*style_->barBitmap, lit, {0, size_.height() - filled});
    else
        context.fillRect(lit, style_->bar);
    const int mark = style_->overlay;
    if (gainRow_ >= 0)
        context.fillRect(CRect{size_.left, gainRow_, size_.right, gainRow_ + mark}, style_->gain);
    if (levelRow_ >= 0)
        context.fillRect(CRect{size_.left, levelRow_, size_.right, levelRow_ + mark},
                         style_->level);
}

CBandView::CBandView(const CRect& size, CControlListener* listener, int firstTag, int maxBands)
    : CViewContainer(size), max_(std::clamp(maxBands, 1, kMaxBands)), count_(max_) {
    for (int band = 0; band < max_; ++band)
        bars_[static_cast<size_t>(band)] =
            add(std::make_unique<CBandBar>(size, listener, firstTag + band, &style_));
    level_.fill(0.0f);
    gain_.fill(1.0f);
    placement_ = [](float linear) {
        return linear > 0.0f ? (20.0f * std::log10(linear) + 60.0f) / 60.0f : -1.0f;
    };
    layout();
}

CBandBar* CBandView::bar(int band) const {
    return band >= 0 && band < max_ ? bars_[static_cast<size_t>(band)] : nullptr;
}

void CBandView::layout() {
    const int gap = std::max(style_.gap, 0);
    const int width = std::max((size_.width() - gap * (count_ - 1)) / count_, 1);
    // Whatever the division leaves goes to the margins, half each side.
    const int left = size_.left + (size_.width() - count_ * width - gap * (count_ - 1)) / 2;
    for (int band = 0; band < max_; ++band) {
        CBandBar* b = bars_[static_cast<size_t>(band)];
        if (band < count_)
            b->setViewSize(
                CRect::sized(left + band * (width + gap), size_.top, width, size_.height()));
        b->setVisible(band < count_);
    }
    setDirty();
}

void CBandView::setBandCount(int count) {
    count = std::clamp(count, 1, max_);
    if (count == count_) return;
    count_ = count;
    layout();
}

void CBandView::setStyle(const BandStyle& style) {
    style_ = style;
    layout();
}

void CBandView::setRelease(float dbPerSecond) {
    const float rate = std::max(std::abs(dbPerSecond), 1e-3f);
    levelBallistics_.ratePerSecond = rate;
    gainBallistics_.ratePerSecond = -rate;
}

void CBandView::setPlacement(Placement placement) {
    if (placement) placement_ = std::move(placement);
}

void CBandView::setOverlays(const float* levels, const float* gains, int count) {
    const double t = now();
    const double elapsed = haveReading_ ? t - lastReading_ : 0.0;
    lastReading_ = t;
    haveReading_ = true;
    count = std::min(count, count_);
    for (int band = 0; band < count; ++band) {
        const size_t b = static_cast<size_t>(band);
        if (levels && std::isfinite(levels[band]))
            level_[b] = levelBallistics_.next(level_[b], std::abs(levels[band]), elapsed);
        if (gains && std::isfinite(gains[band]))
            gain_[b] = gainBallistics_.next(gain_[b], std::abs(gains[band]), elapsed);
        bars_[b]->setOverlays(levels ? placement_(level_[b]) : -1.0f,
                              gains ? placement_(gain_[b]) : -1.0f);
    }
}

}  // namespace qx::gui
