#include "gui/view.h"

#include "gui/clock.h"
#include "gui/frame.h"

namespace qx::gui {

CView::CView(const CRect& size) : size_(size) {}

void CView::draw(CDrawContext& context) {
    if (background_) context.drawBitmap(*background_, size_);
}

double CView::now() const {
    return frame_ ? frame_->now() : monotonicSeconds();
}

CView* CView::hitTest(CPoint where) {
    return visible_ && mouseEnabled_ && size_.contains(where) ? this : nullptr;
}

void CView::setVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    // Hiding must repaint what was under the view, so the frame redraws the area either way.
    if (frame_) frame_->invalidate(size_);
    setDirty();
}

void CView::collectDirty(CDamageList& damage, bool live) {
    if (live_ && !live) return;
    if (dirty_.exchange(false, std::memory_order_acq_rel)) damage.add(size_);
}

CViewContainer::CViewContainer(const CRect& size) : CView(size) {}

CView* CViewContainer::addView(CView* view) {
    if (!view) return nullptr;
    view->setFrame(getFrame());
    children_.emplace_back(view);
    return view;
}

void CViewContainer::setFrame(CFrame* frame) {
    CView::setFrame(frame);
    for (auto& child : children_) child->setFrame(frame);
}

void CViewContainer::collectDirty(CDamageList& damage, bool live) {
    CView::collectDirty(damage, live);
    for (auto& child : children_) child->collectDirty(damage, live);
}

void CViewContainer::draw(CDrawContext& context) {
    CDamageList all;
    all.add(size_);
    drawArea(context, all);
}

void CViewContainer::idle() {
    for (auto& child : children_) child->idle();
}

void CViewContainer::drawArea(CDrawContext& context, const CDamageList& damage) {
    CView::draw(context);
    for (auto& child : children_) {
        if (!child->isVisible() || !damage.intersects(child->getViewSize())) continue;
        if (auto* container = dynamic_cast<CViewContainer*>(child.get()))
            container->drawArea(context, damage);
        else
            child->draw(context);
    }
}

CView* CViewContainer::hitTest(CPoint where) {
    if (!isVisible() || !size_.contains(where)) return nullptr;
    for (auto it = children_.rbegin(); it != children_.rend(); ++it)
        if (CView* view = (*it)->hitTest(where)) return view;
    return nullptr;
}

}  // namespace qx::gui
