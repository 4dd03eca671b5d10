// The frame's window on X11: a display connection of its own, a 24-bit TrueColor child of
// the host's window, uploads with MIT-SHM when the server offers it (XPutImage otherwise),
// the pop-up list window, and survival when the host destroys its window first. Every call
// on the connection runs inside an XErrorTrap, so no error of ours reaches the host's handler.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

#include "gui/platform_window.h"
#include "gui/x11/x_error_trap.h"

namespace qx::gui {

namespace {

using x11::XErrorTrap;

MouseState stateFrom(unsigned int xstate) {
    MouseState state;
    state.shift = (xstate & ShiftMask) != 0;
    state.control = (xstate & ControlMask) != 0;
    return state;
}

int hostByteOrder() {
    const unsigned probe = 1;
    return *reinterpret_cast<const unsigned char*>(&probe) ? LSBFirst : MSBFirst;
}

// An XImage over the pixels of an offscreen buffer (which keeps owning them).
XImage* wrap(Display* dpy, Visual* visual, const COffscreen& image) {
    XImage* x = XCreateImage(dpy, visual, 24, ZPixmap, 0,
                             reinterpret_cast<char*>(const_cast<std::uint32_t*>(image.row(0))),
                             static_cast<unsigned>(image.width()),
                             static_cast<unsigned>(image.height()), 32, image.stride());
    // The buffer is in host order; Xlib swaps when the server's differs.
    if (x) x->byte_order = hostByteOrder();
    return x;
}

void release(XImage* x) {
    x->data = nullptr;  // not ours
    XDestroyImage(x);
}

class X11Window final : public PlatformWindow {
  public:
    explicit X11Window(WindowEventSink* sink) : sink_(sink) {}
    ~X11Window() override;

    bool create(std::uintptr_t parent, int width, int height, bool sharedMemory);

    std::uintptr_t id() const override { return alive_ ? window_ : 0; }
    bool alive() const override { return alive_; }
    void pumpEvents() override;
    void show(const COffscreen& image, const CRect* rects, int count) override;
    bool sharedMemory() const override { return shmImage_ != nullptr; }
    bool openPopup(const CRect& anchor, int width, int height) override;
    void showPopup(const COffscreen& image) override;
    void closePopup() override;

  private:
    void attachSharedMemory(XErrorTrap& trap, int width, int height);
    void releaseSharedMemory();
    // Waits until the server has read the shared image of every earlier upload.
    void awaitUploads();
    void destroyPopup();
    void dispatch(XEvent& event);

    WindowEventSink* sink_;
    Display* dpy_ = nullptr;
    ::Window window_ = 0;
    bool alive_ = false;
    Visual* visual_ = nullptr;
    Colormap colormap_ = 0;
    GC gc_ = nullptr;

    XShmSegmentInfo shm_{};
    XImage* shmImage_ = nullptr;
    int shmCompletion_ = -1;  // event type of ShmCompletion
    int uploadsInFlight_ = 0;

    ::Window popup_ = 0;
    int popupWidth_ = 0;
    int popupHeight_ = 0;
};

bool X11Window::create(std::uintptr_t parent, int width, int height, bool sharedMemory) {
    // A server now and then refuses a connection for a moment (seen with Xvfb): a few short
    // retries open the editor a little late rather than not at all.
    dpy_ = XOpenDisplay(nullptr);
    for (int attempt = 0; !dpy_ && attempt < 5; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        dpy_ = XOpenDisplay(nullptr);
    }
    if (!dpy_) return false;
    XErrorTrap trap(dpy_);
    // The back buffer is 32-bit xRGB: the window gets a 24-bit TrueColor visual of its own
    // (with its own colormap), whatever the parent's visual is.
    XVisualInfo info{};
    if (!XMatchVisualInfo(dpy_, DefaultScreen(dpy_), 24, TrueColor, &info)) return false;
    visual_ = info.visual;
    XWindowAttributes parentAttributes;
    if (!XGetWindowAttributes(dpy_, parent, &parentAttributes) || trap.sync()) return false;

    colormap_ = XCreateColormap(dpy_, parent, visual_, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;  // no flash of a fill colour before the paint
    attributes.border_pixel = 0;
    attributes.colormap = colormap_;
    // StructureNotify brings the DestroyNotify of a window that its parent took along.
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            StructureNotifyMask;
    window_ = XCreateWindow(dpy_, parent, 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, 24, InputOutput, visual_,
                            CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    gc_ = XCreateGC(dpy_, window_, 0, nullptr);
    XMapWindow(dpy_, window_);
    alive_ = !trap.sync();
    if (!alive_) return false;  // the destructor undoes what was made
    if (sharedMemory) attachSharedMemory(trap, width, height);
    return true;
}

void X11Window::attachSharedMemory(XErrorTrap& trap, int width, int height) {
    if (!XShmQueryExtension(dpy_)) return;
    XImage* image = XShmCreateImage(dpy_, visual_, 24, ZPixmap, nullptr, &shm_,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!image) return;
    // Rows are copied as they are: only the back buffer's own pixel layout will do.
    if (image->bits_per_pixel != 32 || image->byte_order != hostByteOrder()) {
        XDestroyImage(image);
        return;
    }
    shm_.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * image->height,
                        IPC_CREAT | 0600);
    if (shm_.shmid < 0) {
        XDestroyImage(image);
        return;
    }
    shm_.shmaddr = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
    if (shm_.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(shm_.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return;
    }
    image->data = shm_.shmaddr;
    shm_.readOnly = False;
    const int errorsBefore = trap.errors();
    XShmAttach(dpy_, &shm_);
    trap.sync();  // a server on another machine refuses (BadAccess)
    // Marked for removal now, the segment goes when both sides have detached, even if the
    // host process dies.
    shmctl(shm_.shmid, IPC_RMID, nullptr);
    if (trap.errors() != errorsBefore) {
        shmdt(shm_.shmaddr);
        release(image);
        shm_ = {};
        return;
    }
    shmImage_ = image;
    shmCompletion_ = XShmGetEventBase(dpy_) + ShmCompletion;
}

void X11Window::releaseSharedMemory() {
    if (!shmImage_) return;
    XShmDetach(dpy_, &shm_);
    XSync(dpy_, False);  // the server lets go before the memory does
    shmdt(shm_.shmaddr);
    release(shmImage_);
    shmImage_ = nullptr;
}

X11Window::~X11Window() {
    if (!dpy_) return;
    sink_ = nullptr;  // the frame is going away
    {
        XErrorTrap trap(dpy_);
        // A parent destroyed just before this took our window along: read its DestroyNotify
        // so the window is not touched again.
        XSync(dpy_, False);
        pumpEvents();
        destroyPopup();
        releaseSharedMemory();
        if (gc_) XFreeGC(dpy_, gc_);
        if (alive_ && window_) XDestroyWindow(dpy_, window_);
        if (colormap_) XFreeColormap(dpy_, colormap_);
        // The window is gone on the server before the host gets its answer.
        trap.sync();
        XCloseDisplay(dpy_);
    }
    dpy_ = nullptr;
}

void X11Window::pumpEvents() {
    if (!dpy_) return;
    XErrorTrap trap(dpy_);
    while (XPending(dpy_) > 0) {
        XEvent event;
        XNextEvent(dpy_, &event);
        dispatch(event);
    }
}

void X11Window::dispatch(XEvent& event) {
    if (event.type == shmCompletion_) {
        if (uploadsInFlight_ > 0) --uploadsInFlight_;
        return;
    }
    const bool onPopup = popup_ && event.xany.window == popup_;
    if (!onPopup && (!alive_ || event.xany.window != window_)) return;
    WindowEvent out{};
    out.popup = onPopup;
    switch (event.type) {
        case DestroyNotify:
            if (onPopup || event.xdestroywindow.window != window_) return;
            alive_ = false;
            destroyPopup();  // its pointer grab would outlive the editor
            out.type = WindowEvent::Type::Destroyed;
            break;
        case Expose: {
            const XExposeEvent& e = event.xexpose;
            out.type = WindowEvent::Type::Exposed;
            out.area = CRect::sized(e.x, e.y, e.width, e.height);
            break;
        }
        case ButtonPress: {
            const XButtonEvent& e = event.xbutton;
            out.where = {e.x, e.y};
            out.state = stateFrom(e.state);
            if (e.button == Button4 || e.button == Button5) {
                out.type = WindowEvent::Type::Wheeled;
                out.wheel = e.button == Button4 ? 1.0f : -1.0f;
            } else if (e.button == Button1 || onPopup) {
                out.type = WindowEvent::Type::Pressed;
            } else {
                return;
            }
            break;
        }
        case MotionNotify: {
            // Only the latest position of a burst matters.
            while (XCheckTypedWindowEvent(dpy_, event.xany.window, MotionNotify, &event)) {
            }
            out.type = WindowEvent::Type::Moved;
            out.where = {event.xmotion.x, event.xmotion.y};
            out.state = stateFrom(event.xmotion.state);
            break;
        }
        case ButtonRelease: {
            const XButtonEvent& e = event.xbutton;
            if (e.button == Button4 || e.button == Button5) return;
            if (e.button != Button1 && !onPopup) return;
            out.type = WindowEvent::Type::Released;
            out.where = {e.x, e.y};
            out.state = stateFrom(e.state);
            break;
        }
        default:
            return;
    }
    if (sink_) sink_->handleWindowEvent(out);
}

void X11Window::awaitUploads() {
    XSync(dpy_, False);
    XEvent event;
    while (XCheckTypedEvent(dpy_, shmCompletion_, &event)) {
    }
    uploadsInFlight_ = 0;
}

void X11Window::show(const COffscreen& image, const CRect* rects, int count) {
    if (!alive_ || count <= 0) return;
    XErrorTrap trap(dpy_);
    const CRect bounds = CRect::sized(0, 0, image.width(), image.height());
    if (shmImage_) {
        // The server reads shared memory after the request returns: never overwrite pixels
        // it may not have read yet.
        if (uploadsInFlight_ > 0) awaitUploads();
        const CRect shared =
            bounds.intersection(CRect::sized(0, 0, shmImage_->width, shmImage_->height));
        for (int i = 0; i < count; ++i) {
            const CRect r = rects[i].intersection(shared);
            if (r.empty()) continue;
            for (int y = r.top; y < r.bottom; ++y)
                std::memcpy(shmImage_->data + y * shmImage_->bytes_per_line + 4 * r.left,
                            image.row(y) + r.left, 4 * static_cast<size_t>(r.width()));
            XShmPutImage(dpy_, window_, gc_, shmImage_, r.left, r.top, r.left, r.top,
                         static_cast<unsigned>(r.width()), static_cast<unsigned>(r.height()), True);
            ++uploadsInFlight_;
        }
    } else if (XImage* x = wrap(dpy_, visual_, image)) {
        for (int i = 0; i < count; ++i) {
            const CRect r = rects[i].intersection(bounds);
            if (r.empty()) continue;
            XPutImage(dpy_, window_, gc_, x, r.left, r.top, r.left, r.top,
                      static_cast<unsigned>(r.width()), static_cast<unsigned>(r.height()));
        }
        release(x);
    }
    XFlush(dpy_);
}

bool X11Window::openPopup(const CRect& anchor, int width, int height) {
    if (!alive_) return false;
    XErrorTrap trap(dpy_);
    destroyPopup();
    // An override-redirect window on the root, below the anchor.
    ::Window root = DefaultRootWindow(dpy_);
    int rootX = 0, rootY = 0;
    ::Window child = 0;
    XTranslateCoordinates(dpy_, window_, root, anchor.left, anchor.bottom, &rootX, &rootY, &child);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.colormap = colormap_;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    popup_ = XCreateWindow(
        dpy_, root, rootX, rootY, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
        24, InputOutput, visual_,
        CWOverrideRedirect | CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    popupWidth_ = width;
    popupHeight_ = height;
    XMapRaised(dpy_, popup_);
    XGrabPointer(dpy_, popup_, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                 GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    XFlush(dpy_);
    return true;
}

void X11Window::showPopup(const COffscreen& image) {
    if (!popup_) return;
    XErrorTrap trap(dpy_);
    if (XImage* x = wrap(dpy_, visual_, image)) {
        XPutImage(dpy_, popup_, gc_, x, 0, 0, 0, 0, static_cast<unsigned>(popupWidth_),
                  static_cast<unsigned>(popupHeight_));
        release(x);
    }
    XFlush(dpy_);
}

void X11Window::destroyPopup() {
    if (!popup_) return;
    XUngrabPointer(dpy_, CurrentTime);
    XDestroyWindow(dpy_, popup_);
    popup_ = 0;
    XFlush(dpy_);
}

void X11Window::closePopup() {
    if (!popup_) return;
    XErrorTrap trap(dpy_);
    destroyPopup();
}

}  // namespace

std::unique_ptr<PlatformWindow> PlatformWindow::create(std::uintptr_t parent, int width, int height,
                                                       WindowEventSink* sink, bool sharedMemory) {
    if (parent == 0 || width <= 0 || height <= 0) return nullptr;
    auto window = std::make_unique<X11Window>(sink);
    if (!window->create(parent, width, height, sharedMemory)) return nullptr;
    return window;
}

}  // namespace qx::gui
