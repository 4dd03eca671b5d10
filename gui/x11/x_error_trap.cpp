#include "gui/x11/x_error_trap.h"

#include <atomic>

namespace qx::gui::x11 {

namespace {

// The innermost trap of this thread: Xlib calls the handler on the thread that reads the
// connection, which is the thread that set the trap.
thread_local XErrorTrap* tInnermost = nullptr;
// The handler in place before any trap of ours, for errors of other connections.
std::atomic<XErrorHandler> gForeign{nullptr};

}  // namespace

XErrorTrap::XErrorTrap(Display* display) : display_(display), outer_(tInnermost) {
    previous_ = XSetErrorHandler(&XErrorTrap::handle);
    if (previous_ != &XErrorTrap::handle) gForeign.store(previous_);
    tInnermost = this;
}

XErrorTrap::~XErrorTrap() {
    tInnermost = outer_;
    XSetErrorHandler(previous_);
}

bool XErrorTrap::sync() {
    if (display_) XSync(display_, False);
    return errors_ > 0;
}

int XErrorTrap::handle(Display* display, XErrorEvent* event) {
    for (XErrorTrap* trap = tInnermost; trap; trap = trap->outer_) {
        if (trap->display_ == display) {
            ++trap->errors_;
            trap->lastError_ = event->error_code;
            return 0;
        }
    }
    const XErrorHandler foreign = gForeign.load();
    return foreign && foreign != &XErrorTrap::handle ? foreign(display, event) : 0;
}

}  // namespace qx::gui::x11
