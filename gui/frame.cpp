#include "gui/frame.h"

#include <algorithm>

namespace qx::gui {

struct CFrame::Popup {
    PopupList list;
    CRect anchor;
    int hovered = -1;
    int width = 0;
    int height = 0;
    std::unique_ptr<COffscreen> image;

    bool contains(CPoint p) const { return CRect::sized(0, 0, width, height).contains(p); }
};

CFrame::CFrame(const CRect& size, BitmapRef background)
    : CViewContainer(size), backBuffer_(size.width(), size.height()) {
    background_ = std::move(background);
    setFrame(this);
    invalid_.add(size_);
}

CFrame::~CFrame() {
    endGesture();
    closePopup();
    // Controls go before the window, so none outlives the frame it refers to.
    removeAll();
    window_.reset();
}

bool CFrame::open(std::uintptr_t parentWindow) {
    if (window_) return false;
    window_ = PlatformWindow::create(parentWindow, size_.width(), size_.height(), this,
                                     sharedMemoryAllowed_);
    if (!window_) return false;
    // Everything is painted on the first idle; paint now as well so the window is never blank.
    setDirty();
    invalid_.add(size_);
    const CDamageList& changed = redrawDirty(true);
    show(changed.begin(), changed.size());
    return true;
}

bool CFrame::hasWindow() const {
    return window_ && window_->alive();
}

std::uintptr_t CFrame::window() const {
    return window_ ? window_->id() : 0;
}

bool CFrame::usesSharedMemory() const {
    return window_ && window_->sharedMemory();
}

const CDamageList& CFrame::redrawDirty(bool live) {
    // Taking the flags before drawing keeps a change that arrives from another thread while
    // we draw marked for the next idle.
    drawn_ = invalid_;
    invalid_.clear();
    collectDirty(drawn_, live);
    if (drawn_.empty()) return drawn_;
    CDrawContext context(backBuffer_);
    context.clip(drawn_.begin(), drawn_.size());
    drawArea(context, drawn_);
    return drawn_;
}

bool CFrame::liveDue() {
    if (liveInterval_ <= 0) return true;
    const double t = now();
    if (t < nextLive_) return false;
    // Keep the cadence between due times; after a pause start again from now.
    nextLive_ += liveInterval_;
    if (nextLive_ <= t) nextLive_ = t + liveInterval_;
    return true;
}

void CFrame::idle() {
    if (window_) window_->pumpEvents();
    CViewContainer::idle();
    const CDamageList& changed = redrawDirty(liveDue());
    show(changed.begin(), changed.size());
}

void CFrame::show(const CRect* rects, int count) {
    if (!hasWindow() || count <= 0) return;
    window_->show(backBuffer_, rects, count);
    ++stats_.updates;
    for (int i = 0; i < count; ++i) {
        const long pixels = rects[i].intersection(size_).area();
        ++stats_.rects;
        stats_.pixels += pixels;
        stats_.bytes += 4 * pixels;
    }
}

void CFrame::handleWindowEvent(const WindowEvent& event) {
    using Type = WindowEvent::Type;
    if (event.type == Type::Destroyed) {
        // The host took the window away: finish the gesture and drop the list; the window
        // backend touches nothing of it from now on.
        endGesture();
        closePopup();
        return;
    }
    if (event.type == Type::Idle) {
        idle();
        return;
    }
    if (popup_ || event.popup) {
        handlePopupEvent(event);
        return;
    }
    switch (event.type) {
        case Type::Exposed:
            show(&event.area, 1);
            break;
        case Type::Pressed:
            mouseDown(event.where, event.state);
            break;
        case Type::Moved:
            mouseMoved(event.where, event.state);
            break;
        case Type::Released:
            mouseUp(event.where, event.state);
            break;
        case Type::Wheeled:
            wheel(event.where, event.wheel, event.state);
            break;
        case Type::Destroyed:
        case Type::Idle:
            break;
    }
}

void CFrame::handlePopupEvent(const WindowEvent& event) {
    using Type = WindowEvent::Type;
    if (!popup_) return;  // a late event of a list already closed
    switch (event.type) {
        case Type::Exposed:
            if (event.popup)
                drawPopup();
            else
                show(&event.area, 1);
            break;
        case Type::Pressed:
        case Type::Wheeled:
            // A press outside the list dismisses it; inside, the release chooses.
            if (!event.popup || !popup_->contains(event.where)) closePopup();
            break;
        case Type::Moved: {
            if (!event.popup) break;
            const int row =
                popup_->contains(event.where) ? event.where.y / popupStyle_.rowHeight : -1;
            const int count = static_cast<int>(popup_->list.entries.size());
            const int hovered = row < count ? row : -1;
            if (hovered != popup_->hovered) {
                popup_->hovered = hovered;
                drawPopup();
            }
            break;
        }
        case Type::Released:
            if (event.popup && popup_->contains(event.where))
                choosePopupEntry(event.where.y / popupStyle_.rowHeight);
            break;
        case Type::Destroyed:
        case Type::Idle:
            break;
    }
}

void CFrame::mouseDown(CPoint where, const MouseState& state) {
    if (mouseView_) mouseUp(where, state);
    lastMouse_ = where;
    CView* view = hitTest(where);
    if (view && view->onMouseDown(where, state)) mouseView_ = view;
}

void CFrame::mouseMoved(CPoint where, const MouseState& state) {
    lastMouse_ = where;
    if (mouseView_) mouseView_->onMouseMoved(where, state);
}

void CFrame::mouseUp(CPoint where, const MouseState& state) {
    CView* view = mouseView_;
    mouseView_ = nullptr;
    if (view) view->onMouseUp(where, state);
}

void CFrame::endGesture() {
    if (mouseView_) mouseUp(lastMouse_, {});
}

void CFrame::wheel(CPoint where, float distance, const MouseState& state) {
    if (mouseView_) return;  // no wheel while dragging
    if (CView* view = hitTest(where)) view->onWheel(where, distance, state);
}

void CFrame::openPopup(PopupList list, const CRect& anchor) {
    closePopup();
    auto popup = std::make_unique<Popup>();
    popup->list = std::move(list);
    popup->anchor = anchor;
    popup->hovered = popup->list.selected;
    int width = anchor.width();
    {
        CDrawContext measure(backBuffer_);
        for (const std::string& entry : popup->list.entries)
            width = std::max(
                width, static_cast<int>(measure.textWidth(entry.c_str(), popupStyle_.font)) + 24);
    }
    popup->width = width;
    popup->height =
        std::max(1, static_cast<int>(popup->list.entries.size()) * popupStyle_.rowHeight);
    popup->image = std::make_unique<COffscreen>(popup->width, popup->height);
    popup_ = std::move(popup);
    if (hasWindow() && window_->openPopup(anchor, popup_->width, popup_->height)) drawPopup();
}

void CFrame::drawPopup() {
    if (!popup_) return;
    {
        CDrawContext context(*popup_->image);
        const PopupStyle& style = popupStyle_;
        const CRect all = CRect::sized(0, 0, popup_->width, popup_->height);
        context.fillRect(all, style.background);
        const int count = static_cast<int>(popup_->list.entries.size());
        for (int i = 0; i < count; ++i) {
            const CRect row = CRect::sized(0, i * style.rowHeight, popup_->width, style.rowHeight);
            const bool hot = i == popup_->hovered;
            if (hot) context.fillRect(row, style.highlight);
            const CRect textArea{row.left + 10, row.top, row.right - 4, row.bottom};
            context.drawString(popup_->list.entries[static_cast<size_t>(i)].c_str(), textArea,
                               style.font, hot ? style.highlightText : style.text, TextAlign::Left);
            if (i == popup_->list.selected)
                context.fillRect(
                    CRect::sized(row.left + 3, row.top + style.rowHeight / 2 - 2, 4, 4),
                    hot ? style.highlightText : style.highlight);
        }
        context.frameRect(all, style.border);
    }
    if (hasWindow()) window_->showPopup(*popup_->image);
}

void CFrame::choosePopupEntry(int index) {
    if (!popup_) return;
    PopupList list = std::move(popup_->list);
    closePopup();
    if (index >= 0 && index < static_cast<int>(list.entries.size()) && list.onChoose)
        list.onChoose(index);
}

void CFrame::closePopup() {
    if (!popup_) return;
    if (window_) window_->closePopup();
    popup_.reset();
}

}  // namespace qx::gui
