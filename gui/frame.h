// The frame: the root container of an editor, drawn into a back buffer and shown in a
// child window of the host's parent window (X11, a display connection of its own). It
// also works without a window, for rendering and input tests.
#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/view.h"

namespace qx::gui {

// A pop-up list of text entries opened by a control (COptionMenu).
struct PopupList {
    std::vector<std::string> entries;
    int selected = -1;
    // Called with the chosen index; not called when the list is dismissed.
    std::function<void(int)> onChoose;
};

struct PopupStyle {
    CFont font{"DejaVu Sans", 11.0, false};
    CColor background{30, 32, 36};
    CColor border{90, 94, 102};
    CColor text{220, 222, 226};
    CColor highlight{232, 150, 40};
    CColor highlightText{20, 20, 22};
    int rowHeight = 18;
};

// What the frame has handed to the window system since the last reset: pixel updates
// (one per idle or expose that sent something), rectangles, pixels and their bytes.
struct UploadStats {
    long updates = 0;
    long rects = 0;
    long pixels = 0;
    long bytes = 0;
};

class CFrame : public CViewContainer {
  public:
    CFrame(const CRect& size, BitmapRef background);
    ~CFrame() override;

    // Creates and maps the child window inside `parentWindow` (an X11 window id). False
    // when no display can be opened or the parent does not exist.
    bool open(unsigned long parentWindow);
    bool hasWindow() const;
    // The child window's id, 0 without a window.
    unsigned long window() const;

    // UI thread: handles pending window events, lets every view idle, redraws dirty views
    // and shows the changed area.
    void idle();
    // Redraws dirty views into the back buffer; returns the area that changed.
    CRect redrawDirty();
    // UI thread: marks an area to be redrawn on the next idle.
    void invalidate(const CRect& area) { invalid_ = invalid_.united(area.intersection(size_)); }
    cairo_surface_t* backBuffer() const { return backBuffer_; }
    const UploadStats& uploadStats() const { return stats_; }
    void resetUploadStats() { stats_ = {}; }

    // Mouse input in frame coordinates; the window's events arrive here too.
    void mouseDown(CPoint where, const MouseState& state);
    void mouseMoved(CPoint where, const MouseState& state);
    void mouseUp(CPoint where, const MouseState& state);
    void wheel(CPoint where, float distance, const MouseState& state);
    // The view that took the current press, or null.
    CView* mouseView() const { return mouseView_; }

    // Opens a pop-up list under `anchor` (frame coordinates), replacing any open one.
    void openPopup(PopupList list, const CRect& anchor);
    bool popupOpen() const { return popup_ != nullptr; }
    // Chooses an entry of the open list as a click on it would, and closes the list.
    void choosePopupEntry(int index);
    void closePopup();
    PopupStyle& popupStyle() { return popupStyle_; }

  private:
    struct Window;
    struct Popup;
    void drawPopup();
    void pumpEvents();

    cairo_surface_t* backBuffer_ = nullptr;
    CRect invalid_;
    CView* mouseView_ = nullptr;
    std::unique_ptr<Window> window_;
    std::unique_ptr<Popup> popup_;
    PopupStyle popupStyle_;
    UploadStats stats_;
};

}  // namespace qx::gui
