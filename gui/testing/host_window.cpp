#include "gui/testing/host_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace qx::gui::testing {

namespace {
Display* dpy(void* p) {
    return static_cast<Display*>(p);
}

// 0x00RRGGBB of a pixel value, whatever the visual's channel masks.
std::uint32_t rgbOf(const XImage* image, unsigned long value) {
    const unsigned long masks[3] = {image->red_mask, image->green_mask, image->blue_mask};
    std::uint32_t rgb = 0;
    for (unsigned long mask : masks) {
        unsigned long bits = value & mask;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            bits >>= 1;
        }
        rgb = (rgb << 8) | static_cast<std::uint32_t>(bits * 255 / (mask ? mask : 1));
    }
    return rgb;
}
}  // namespace

HostWindow::HostWindow(int width, int height) : width_(width), height_(height) {
    // A connection made just after others closed is now and then refused for a moment (seen
    // with Xvfb about once in 70 short-lived programs): try again for up to a second.
    Display* display = XOpenDisplay(nullptr);
    for (int attempt = 0; !display && attempt < 50; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        display = XOpenDisplay(nullptr);
    }
    if (!display) return;
    display_ = display;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    attributes.override_redirect = True;  // exactly at 0,0 even with a window manager
    window_ = XCreateWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWBackPixel | CWOverrideRedirect, &attributes);
    XMapRaised(display, window_);
    XSync(display, False);
}

HostWindow::~HostWindow() {
    if (!display_) return;
    if (window_) XDestroyWindow(dpy(display_), window_);
    XCloseDisplay(dpy(display_));
}

void* HostWindow::parentHandle() const {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_));
}

unsigned long HostWindow::childWindow() const {
    if (!display_) return 0;
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy(display_), window_, &root, &parent, &children, &count)) return 0;
    const unsigned long child = count > 0 ? children[0] : 0;
    if (children) XFree(children);
    return child;
}

void HostWindow::sync() const {
    if (display_) XSync(dpy(display_), False);
}

unsigned long HostWindow::pixel(int x, int y) const {
    if (!display_) return 0;
    XImage* image = XGetImage(dpy(display_), window_, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0;
    const std::uint32_t rgb = rgbOf(image, XGetPixel(image, 0, 0));
    XDestroyImage(image);
    return rgb;
}

unsigned long HostWindow::awaitPixel(int x, int y,
                                     const std::function<bool(unsigned long)>& ok) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    unsigned long p = pixel(x, y);
    while (!ok(p) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        p = pixel(x, y);
    }
    return p;
}

bool HostWindow::savePng(const std::string& path) const {
    if (!display_) return false;
    XImage* image = XGetImage(dpy(display_), window_, 0, 0, static_cast<unsigned>(width_),
                              static_cast<unsigned>(height_), AllPlanes, ZPixmap);
    if (!image) return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height_; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width_; ++x) {
            row[x] = rgbOf(image, XGetPixel(image, x, y));
        }
    }
    XDestroyImage(image);
    cairo_surface_mark_dirty(surface);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

}  // namespace qx::gui::testing
