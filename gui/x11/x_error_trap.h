// Keeps X errors of one display connection away from the process-wide Xlib error handler
// (the host's; Xlib's default one ends the process) while the trap exists, and forwards
// errors of every other connection to the handler that was installed before.
#pragma once

#include <X11/Xlib.h>

namespace qx::gui::x11 {

// Install around every batch of calls on the connection, on the thread making them; traps
// nest. The previous handler is restored when the trap goes.
class XErrorTrap {
  public:
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits until the server has handled every request sent so far; true when an error of
    // the trapped connection has arrived since the trap was set.
    bool sync();
    int errors() const { return errors_; }
    // Xlib's code of the last trapped error (BadWindow, ...), 0 when none.
    int lastError() const { return lastError_; }

  private:
    static int handle(Display* display, XErrorEvent* event);

    Display* display_;
    XErrorHandler previous_;
    XErrorTrap* outer_;
    int errors_ = 0;
    int lastError_ = 0;
};

}  // namespace qx::gui::x11
