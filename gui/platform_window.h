// What the frame needs from the window system: a child window in the host's parent window,
// its input, pixel uploads from the back buffer and a pop-up window for lists. One backend
// implements it per platform (gui/x11/ on Linux, gui/win32/ on Windows); nothing else in the
// toolkit knows it.
#pragma once

#include <cstdint>
#include <memory>

#include "gui/geometry.h"
#include "gui/input.h"
#include "gui/offscreen.h"

namespace qx::gui {

struct WindowEvent {
    enum class Type {
        Exposed,    // `area` needs to be shown again
        Pressed,    // left button pressed at `where`
        Moved,      // pointer moved to `where`
        Released,   // left button released at `where`
        Wheeled,    // `wheel` notches (positive: away from the user) at `where`
        Destroyed,  // the window is gone (its parent was destroyed); nothing may touch it
        Idle,       // the host has not called idle for a while: the frame idles on its own
    };
    Type type;
    bool popup = false;  // in the pop-up window: coordinates are the pop-up's own
    CPoint where{};
    CRect area{};
    MouseState state{};
    float wheel = 0.0f;
};

class WindowEventSink {
  public:
    virtual ~WindowEventSink() = default;
    virtual void handleWindowEvent(const WindowEvent& event) = 0;
};

class PlatformWindow {
  public:
    // A mapped child window of `parent` (a native window id: an X window, an HWND) of the given
    // size. Null when no window system connection can be made or the parent does not exist.
    // `sharedMemory` allows pixel uploads through shared memory where the server offers it.
    static std::unique_ptr<PlatformWindow> create(std::uintptr_t parent, int width, int height,
                                                  WindowEventSink* sink, bool sharedMemory);
    virtual ~PlatformWindow() = default;

    // The native id; 0 once the window is gone.
    virtual std::uintptr_t id() const = 0;
    // False once the window was destroyed from outside (see WindowEvent::Destroyed).
    virtual bool alive() const = 0;
    // Hands every pending event to the sink. The frame calls it on each of its idles.
    virtual void pumpEvents() = 0;
    // Copies the rectangles of `image` (frame coordinates) to the window.
    virtual void show(const COffscreen& image, const CRect* rects, int count) = 0;
    // True when uploads go through shared memory.
    virtual bool sharedMemory() const = 0;

    // A borderless pop-up of `width` x `height` below `anchor` (window coordinates), holding
    // the pointer so a click anywhere else can dismiss it. Replaces an open one.
    virtual bool openPopup(const CRect& anchor, int width, int height) = 0;
    virtual void showPopup(const COffscreen& image) = 0;
    virtual void closePopup() = 0;
};

}  // namespace qx::gui
