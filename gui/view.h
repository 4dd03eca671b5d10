// Views and containers: the tree the frame draws and routes mouse input through.
// Everything here runs on the host's user-interface thread, except setDirty, which any
// thread may call.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/geometry.h"

namespace qx::gui {

class CFrame;

// Keyboard modifiers and buttons at the time of a mouse event.
struct MouseState {
    bool shift = false;    // fine adjustment
    bool control = false;  // return to the default value
    bool left = true;
};

class CView {
  public:
    explicit CView(const CRect& size);
    virtual ~CView() = default;
    CView(const CView&) = delete;
    CView& operator=(const CView&) = delete;

    const CRect& getViewSize() const { return size_; }
    CFrame* getFrame() const { return frame_; }
    // Set by the container the view is added to.
    virtual void setFrame(CFrame* frame) { frame_ = frame; }

    // Paints the view; the context is clipped to the area being redrawn.
    virtual void draw(CDrawContext& context);

    // Mouse input in frame coordinates. onMouseDown answers true to receive the moves
    // and the release that follow.
    virtual bool onMouseDown(CPoint /*where*/, const MouseState& /*state*/) { return false; }
    virtual void onMouseMoved(CPoint /*where*/, const MouseState& /*state*/) {}
    virtual void onMouseUp(CPoint /*where*/, const MouseState& /*state*/) {}
    // distance: wheel notches, positive away from the user.
    virtual bool onWheel(CPoint /*where*/, float /*distance*/, const MouseState& /*state*/) {
        return false;
    }
    bool wantsMouse() const { return mouseEnabled_; }
    void setMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
    bool isVisible() const { return visible_; }
    void setVisible(bool visible);

    // Any thread: asks for a redraw on the next idle.
    void setDirty(bool dirty = true) { dirty_.store(dirty, std::memory_order_release); }
    bool isDirty() const { return dirty_.load(std::memory_order_acquire); }
    // UI thread: clears the flag and answers the area to redraw (empty when clean).
    virtual CRect takeDirtyArea() {
        return dirty_.exchange(false, std::memory_order_acq_rel) ? size_ : CRect{};
    }
    // Called once per frame idle, before dirty views are redrawn.
    virtual void idle() {}

    void setBackground(BitmapRef bitmap) {
        background_ = std::move(bitmap);
        setDirty();
    }
    const BitmapRef& getBackground() const { return background_; }

  protected:
    CRect size_;
    BitmapRef background_;

  private:
    CFrame* frame_ = nullptr;
    std::atomic<bool> dirty_{true};
    bool mouseEnabled_ = true;
    bool visible_ = true;
};

class CViewContainer : public CView {
  public:
    explicit CViewContainer(const CRect& size);

    // Takes ownership; later views are drawn over earlier ones.
    CView* addView(CView* view);
    template <class View>
    View* add(std::unique_ptr<View> view) {
        View* raw = view.get();
        addView(view.release());
        return raw;
    }
    void removeAll() { children_.clear(); }
    int numViews() const { return static_cast<int>(children_.size()); }
    CView* viewAt(int index) const { return children_[static_cast<size_t>(index)].get(); }

    void setFrame(CFrame* frame) override;
    CRect takeDirtyArea() override;
    void draw(CDrawContext& context) override;
    // Draws the background and every visible child that meets `area`.
    void drawArea(CDrawContext& context, const CRect& area);
    // The topmost visible, mouse-enabled child under `where`, or null.
    CView* viewAt(CPoint where) const;

  protected:
    std::vector<std::unique_ptr<CView>> children_;
};

}  // namespace qx::gui
