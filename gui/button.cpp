#include "gui/button.h"

#include <algorithm>

#include "gui/input.h"

namespace qx::gui {

CMovieButton::CMovieButton(const CRect& size, CControlListener* listener, int tag, BitmapRef strip)
    : CControl(size, listener, tag, std::move(strip)) {}

void CMovieButton::draw(CDrawContext& context) {
    if (!background_) return;
    const int frameHeight = background_->height() / 2;
    context.drawBitmap(*background_, size_, {0, isOn() ? frameHeight : 0});
}

bool CMovieButton::onMouseDown(CPoint /*where*/, const MouseState& /*state*/) {
    beginEdit();
    userSetValue(isOn() ? min_ : max_);
    endEdit();
    return false;
}

CMovieBitmap::CMovieBitmap(const CRect& size, CControlListener* listener, int tag, int frames,
                           BitmapRef strip)
    : CControl(size, listener, tag, std::move(strip)), frames_(std::max(frames, 1)) {
    setMouseEnabled(false);
}

int CMovieBitmap::currentFrame() const {
    return filmstripFrame(position01(), frames_);
}

void CMovieBitmap::draw(CDrawContext& context) {
    if (!background_) return;
    context.drawBitmap(*background_, size_,
                       {0, currentFrame() * (background_->height() / frames_)});
}

}  // namespace qx::gui
