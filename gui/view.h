// Views and containers: the tree the frame draws and routes mouse input through.
// Everything here runs on the host's user-interface thread, except setDirty, which any
// thread may call.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "gui/bitmap.h"
#include "gui/damage.h"
#include "gui/draw_context.h"
#include "gui/geometry.h"
#include "gui/input.h"

namespace qx::gui {

class CFrame;

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
    // The view that takes mouse input at `where`: this one when it is visible, takes input
    // and holds the point; containers look among their children.
    virtual CView* hitTest(CPoint where);
    bool wantsMouse() const { return mouseEnabled_; }
    void setMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
    bool isVisible() const { return visible_; }
    void setVisible(bool visible);

    // Any thread: asks for a redraw on the next idle.
    void setDirty(bool dirty = true) { dirty_.store(dirty, std::memory_order_release); }
    bool isDirty() const { return dirty_.load(std::memory_order_acquire); }
    // UI thread: clears the dirty flags and adds the areas to redraw. Live views are left
    // alone (and stay dirty) unless `live` is true.
    virtual void collectDirty(CDamageList& damage, bool live);
    // Live views (meters, graphs fed on every idle) are redrawn at most at the frame's live
    // rate; the others at once, so controls follow the mouse without delay.
    bool isLive() const { return live_; }
    void setLive(bool live) { live_ = live; }
    // Called once per frame idle, before dirty views are redrawn.
    virtual void idle() {}

    void setBackground(BitmapRef bitmap) {
        background_ = std::move(bitmap);
        setDirty();
    }
    const BitmapRef& getBackground() const { return background_; }

  protected:
    // Seconds from the frame's clock (a monotonic clock without a frame).
    double now() const;

    CRect size_;
    BitmapRef background_;

  private:
    CFrame* frame_ = nullptr;
    std::atomic<bool> dirty_{true};
    bool mouseEnabled_ = true;
    bool visible_ = true;
    bool live_ = false;
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
    void collectDirty(CDamageList& damage, bool live) override;
    void draw(CDrawContext& context) override;
    void idle() override;
    // Draws the background and every visible child that meets the damaged areas.
    void drawArea(CDrawContext& context, const CDamageList& damage);
    // The topmost visible, mouse-enabled view under `where` among the children (searched in
    // nested containers too), or null.
    CView* hitTest(CPoint where) override;
    CView* viewAt(CPoint where) { return hitTest(where); }

  protected:
    std::vector<std::unique_ptr<CView>> children_;
};

}  // namespace qx::gui
