// The host's side of an editor for tests and tools: a top-level parent window on a display
// connection of its own, with a way to save what it shows.
#pragma once

#include <functional>
#include <string>

namespace qx::gui::testing {

class HostWindow {
  public:
    // Opens $DISPLAY and maps a width x height window at the screen's top left corner.
    HostWindow(int width, int height);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    bool valid() const { return window_ != 0; }
    // The id effEditOpen expects in ptr.
    void* parentHandle() const;
    unsigned long window() const { return window_; }
    // The editor's window inside ours (the first child), 0 when there is none.
    unsigned long childWindow() const;
    // Waits until the server has handled every request of this connection.
    void sync() const;
    // Saves the window's content (children included) as PNG.
    bool savePng(const std::string& path) const;
    // 0x00RRGGBB of a pixel of the window.
    unsigned long pixel(int x, int y) const;
    // The editor draws on a connection of its own, which the server may serve after ours:
    // reads the pixel until it satisfies `ok` or a second has passed, and returns the last
    // value read.
    unsigned long awaitPixel(int x, int y, const std::function<bool(unsigned long)>& ok) const;
    unsigned long awaitPixel(int x, int y, unsigned long want) const {
        return awaitPixel(x, y, [want](unsigned long p) { return p == want; });
    }

    void* display() const { return display_; }

  private:
    void* display_ = nullptr;
    unsigned long window_ = 0;
    int width_;
    int height_;
};

}  // namespace qx::gui::testing
