// Shared by the tests that need an X server: one private Xvfb per test process (or the
// server in $DISPLAY), and real input through the XTest extension.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "gui/testing/host_window.h"
#include "gui/testing/virtual_display.h"

namespace qx::testing {

inline gui::testing::VirtualDisplay* xServer() {
    static std::unique_ptr<gui::testing::VirtualDisplay> display = [] {
        std::string error;
        auto d = gui::testing::VirtualDisplay::ensure(&error);
        if (!d) ADD_FAILURE() << "no X server: " << error;
        return d;
    }();
    return display.get();
}

// Stands in for the Xlib error handler a host installs, counting the errors that reach it,
// for as long as it lives; the handler before it comes back afterwards.
class HostErrorHandler {
  public:
    HostErrorHandler() : previous_(XSetErrorHandler(&count)) { errors() = 0; }
    ~HostErrorHandler() { XSetErrorHandler(previous_); }
    HostErrorHandler(const HostErrorHandler&) = delete;
    HostErrorHandler& operator=(const HostErrorHandler&) = delete;

    static std::atomic<int>& errors() {
        static std::atomic<int> n{0};
        return n;
    }
    // True while the process-wide handler is still this one.
    bool installed() const {
        const XErrorHandler current = XSetErrorHandler(&count);
        return current == &count;
    }

  private:
    static int count(Display*, XErrorEvent*) {
        ++errors();
        return 0;
    }
    XErrorHandler previous_;
};

// Pointer and buttons as a user would use them, on the host window's connection.
class FakeUser {
  public:
    explicit FakeUser(const gui::testing::HostWindow& window)
        : display_(static_cast<Display*>(window.display())) {}

    void moveTo(int x, int y) { XTestFakeMotionEvent(display_, -1, x, y, CurrentTime); }
    void press(unsigned button = 1) { XTestFakeButtonEvent(display_, button, True, CurrentTime); }
    void release(unsigned button = 1) {
        XTestFakeButtonEvent(display_, button, False, CurrentTime);
    }
    void shift(bool down) {
        XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, XK_Shift_L), down, CurrentTime);
    }
    // Waits until the server has delivered everything, then lets the editor idle a few
    // times, as a host's timer would.
    void settle(const std::function<void()>& idle) {
        XSync(display_, False);
        for (int i = 0; i < 4; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            idle();
        }
    }

  private:
    Display* display_;
};

}  // namespace qx::testing
