// A Windows host's editor window: a top-level window whose handle goes to effEditOpen, the
// message pump with the host's idle calls, mouse input posted to the editor, and a capture
// of what the editor shows. For tests and tools; every call on the thread that created it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qx::host {

class HostWindow {
  public:
    enum class Mouse { Down, Move, Up };

    // A shown window with a client area of width x height pixels; null and *error set when
    // no window can be made (Wine without a display, for one).
    static std::unique_ptr<HostWindow> create(int width, int height, std::string* error);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // The HWND for effEditOpen; null once destroyed.
    void* handle() const { return window_; }
    // The editor's window (the first child), or null.
    void* editorWindow() const;

    // Dispatches messages for `milliseconds`, calling `idle` (effEditIdle) about every 20 ms.
    void pump(int milliseconds, const std::function<void()>& idle = {});
    // Posts the left button's message at (x, y) of the editor's client area, as the window
    // system would deliver it; false without an editor window.
    bool postMouse(Mouse action, int x, int y);
    // The editor window's client area as 0x00RRGGBB rows, read back from the screen.
    bool capture(int* width, int* height, std::vector<std::uint32_t>* pixels) const;
    // Destroys the window and with it the editor's, as a host closing its window does.
    void destroy();

  private:
    explicit HostWindow(void* window) : window_(window) {}
    void* window_;
};

}  // namespace qx::host
