// The frame: the root container of an editor, drawn into a back buffer and shown in a
// child window of the host's parent window. It redraws only the damaged areas, sends only
// those, paces live views, and also works without a window (rendering and input tests).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/clock.h"
#include "gui/offscreen.h"
#include "gui/platform_window.h"
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

// What the frame has handed to the window system since the last reset: uploads (one per
// idle or expose that sent something), rectangles, pixels and their bytes (4 per pixel,
// through the connection or through shared memory).
struct UploadStats {
    long updates = 0;
    long rects = 0;
    long pixels = 0;
    long bytes = 0;
};

class CFrame : public CViewContainer, private WindowEventSink {
  public:
    CFrame(const CRect& size, BitmapRef background);
    ~CFrame() override;

    // Creates and maps the child window inside `parentWindow` (a native window id). False
    // when no display can be opened or the parent does not exist.
    bool open(std::uintptr_t parentWindow);
    // True while the window exists (false before open and once the host destroyed it).
    bool hasWindow() const;
    // The child window's id, 0 without a window.
    std::uintptr_t window() const;
    // Before open: allow uploads through shared memory (default) or always use the plain
    // protocol.
    void setSharedMemoryAllowed(bool allowed) { sharedMemoryAllowed_ = allowed; }
    bool usesSharedMemory() const;

    // UI thread: handles pending window events, lets every view idle, redraws dirty views
    // and shows the changed areas.
    void idle();
    // Redraws dirty views (live ones only when `live`) into the back buffer; answers the
    // areas that changed, valid until the next call.
    const CDamageList& redrawDirty(bool live = true);
    // UI thread: marks an area to be redrawn on the next idle.
    void invalidate(const CRect& area) { invalid_.add(area.intersection(size_)); }
    const COffscreen& backBuffer() const { return backBuffer_; }

    // Time for views that move by time; replaceable for tests (null: the monotonic clock).
    void setClock(CClock clock) { clock_ = std::move(clock); }
    double now() const { return clock_ ? clock_() : monotonicSeconds(); }
    // Live views are redrawn at most this many times per second, whatever the host's idle
    // rate (0: on every idle).
    void setLiveRate(double perSecond) { liveInterval_ = perSecond > 0 ? 1.0 / perSecond : 0; }
    // Redraws of live views so far.
    long liveRedraws() const { return liveRedraws_; }

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
    struct Popup;
    void handleWindowEvent(const WindowEvent& event) override;
    void handlePopupEvent(const WindowEvent& event);
    bool liveDue();
    void show(const CRect* rects, int count);
    void drawPopup();
    // Ends a press in progress, so its control closes the edit it began.
    void endGesture();

    COffscreen backBuffer_;
    CDamageList invalid_;
    CDamageList drawn_;
    CView* mouseView_ = nullptr;
    CPoint lastMouse_{};
    std::unique_ptr<PlatformWindow> window_;
    std::unique_ptr<Popup> popup_;
    PopupStyle popupStyle_;
    UploadStats stats_;
    CClock clock_;
    double liveInterval_ = 1.0 / 30.0;
    double nextLive_ = 0.0;
    long liveRedraws_ = 0;
    bool sharedMemoryAllowed_ = true;
};

}  // namespace qx::gui
