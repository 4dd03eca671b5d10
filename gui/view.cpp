#include "gui/view.h"

#include "gui/frame.h"

namespace qx::gui {

CView::CView(const CRect& size) : size_(size) {}

void CView::draw(CDrawContext& context) {
    if (background_) context.drawBitmap(*background_, size_);
}

void CView::setVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    // Hiding must repaint what was under the view, so the frame redraws the area either way.
    if (frame_) frame_->invalidate(size_);
    setDirty();
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

CRect CViewContainer::takeDirtyArea() {
    CRect area = CView::takeDirtyArea();
    for (auto& child : children_) area = area.united(child->takeDirtyArea());
    return area;
}

void CViewContainer::draw(CDrawContext& context) {
    drawArea(context, size_);
}

void CViewContainer::drawArea(CDrawContext& context, const CRect& area) {
    CView::draw(context);
    for (auto& child : children_) {
        if (child->isVisible() && child->getViewSize().intersects(area)) child->draw(context);
    }
}

CView* CViewContainer::viewAt(CPoint where) const {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        CView* view = it->get();
        if (view->isVisible() && view->wantsMouse() && view->getViewSize().contains(where))
            return view;
    }
    return nullptr;
}

}  // namespace qx::gui
