// The frame's window on Win32: a child of the host's HWND whose window procedure turns mouse,
// paint and destroy messages into WindowEvents, uploads with one BitBlt per damaged rectangle
// from the back buffer's DIB, and the pop-up list as an owned WS_POPUP window holding the
// mouse capture. No modal loop anywhere: the host's message loop delivers the input and
// effEditIdle does the redrawing.
#include <windows.h>
#include <windowsx.h>

#include <cstdio>

#include "gui/gdi/gdi_surface.h"
#include "gui/platform_window.h"

namespace qx::gui {

namespace {

// Windows of this module alive; the class goes when the last one does, so a host may
// unload the DLL without a class left behind pointing into it.
int gWindows = 0;
// Posted to the editor's window when its list lost the mouse (wParam: the list's serial).
constexpr UINT kDismissPopup = WM_APP + 1;
// A host that stops calling effEditIdle (or never does) still sees its editor follow the
// mouse: after this long without an idle the window's timer idles the frame.
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdleCheckMs = 50;
constexpr DWORD kIdleSilenceMs = 250;
wchar_t gClassName[64] = L"";

MouseState stateFrom(WPARAM keys) {
    MouseState state;
    state.shift = (keys & MK_SHIFT) != 0;
    state.control = (keys & MK_CONTROL) != 0;
    return state;
}

CPoint pointFrom(LPARAM lParam) {
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

// A mouse message's event: client coordinates in lParam, buttons and keys in wParam.
WindowEvent mouseEvent(WindowEvent::Type type, WPARAM wParam, LPARAM lParam, bool popup) {
    WindowEvent event{};
    event.type = type;
    event.popup = popup;
    event.where = pointFrom(lParam);
    event.state = stateFrom(wParam);
    return event;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

bool registerClass(HMODULE module) {
    if (gWindows > 0) return true;
    // One name per module: two of our plug-ins in one host register classes of their own.
    std::swprintf(gClassName, sizeof gClassName / sizeof gClassName[0], L"Plugin%p",
                  static_cast<void*>(module));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = gClassName;
    return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

class Win32Window final : public PlatformWindow {
  public:
    explicit Win32Window(WindowEventSink* sink) : sink_(sink) {}
    ~Win32Window() override;

    bool create(std::uintptr_t parent, int width, int height);

    std::uintptr_t id() const override { return reinterpret_cast<std::uintptr_t>(hwnd_); }
    bool alive() const override { return hwnd_ != nullptr; }
    // The host's message loop has delivered everything already; this only notes that the
    // frame idles.
    void pumpEvents() override { lastIdle_ = GetTickCount(); }
    void show(const COffscreen& image, const CRect* rects, int count) override;
    bool sharedMemory() const override { return false; }
    bool openPopup(const CRect& anchor, int width, int height) override;
    void showPopup(const COffscreen& image) override;
    void closePopup() override;

    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    LRESULT handlePopup(UINT message, WPARAM wParam, LPARAM lParam);
    void send(const WindowEvent& event) {
        if (sink_) sink_->handleWindowEvent(event);
    }
    void blit(HWND target, const COffscreen& image, const CRect* rects, int count);
    void destroyPopup();

    WindowEventSink* sink_;
    HMODULE module_ = nullptr;
    HWND hwnd_ = nullptr;
    bool registered_ = false;
    bool pressed_ = false;  // the left button went down here and we hold the capture
    CPoint last_{};
    DWORD lastIdle_ = 0;
    HWND popup_ = nullptr;
    WPARAM popupSerial_ = 0;  // counts the lists opened, so a late dismissal spares a new one
};

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
    return window->handle(hwnd, message, wParam, lParam);
}

bool Win32Window::create(std::uintptr_t parent, int width, int height) {
    HWND parentWindow = reinterpret_cast<HWND>(parent);
    if (!IsWindow(parentWindow)) return false;
    module_ = gdi::codeModule();
    if (!registerClass(module_)) return false;
    ++gWindows;
    registered_ = true;
    hwnd_ = CreateWindowExW(0, gClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                            width, height, parentWindow, nullptr, module_, this);
    if (!hwnd_) return false;
    lastIdle_ = GetTickCount();
    SetTimer(hwnd_, kIdleTimer, kIdleCheckMs, nullptr);
    return true;
}

Win32Window::~Win32Window() {
    sink_ = nullptr;  // the frame is going away
    destroyPopup();
    if (hwnd_) {
        HWND hwnd = hwnd_;
        hwnd_ = nullptr;
        DestroyWindow(hwnd);
    }
    if (registered_ && --gWindows == 0) UnregisterClassW(gClassName, module_);
}

LRESULT Win32Window::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (popup_ && hwnd == popup_) return handlePopup(message, wParam, lParam);
    if (hwnd != hwnd_) return DefWindowProcW(hwnd, message, wParam, lParam);
    WindowEvent event{};
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers everything; no flash of a fill colour
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            const RECT r = paint.rcPaint;
            EndPaint(hwnd, &paint);
            event.type = WindowEvent::Type::Exposed;
            event.area = {static_cast<int>(r.left), static_cast<int>(r.top),
                          static_cast<int>(r.right), static_cast<int>(r.bottom)};
            if (!event.area.empty()) send(event);
            return 0;
        }
        case WM_LBUTTONDOWN:
            SetCapture(hwnd);
            pressed_ = true;
            last_ = pointFrom(lParam);
            send(mouseEvent(WindowEvent::Type::Pressed, wParam, lParam, false));
            return 0;
        case WM_MOUSEMOVE:
            last_ = pointFrom(lParam);
            send(mouseEvent(WindowEvent::Type::Moved, wParam, lParam, false));
            return 0;
        case WM_LBUTTONUP:
            last_ = pointFrom(lParam);
            if (pressed_) {
                pressed_ = false;  // before ReleaseCapture, whose WM_CAPTURECHANGED is ours
                if (GetCapture() == hwnd) ReleaseCapture();
            }
            send(mouseEvent(WindowEvent::Type::Released, wParam, lParam, false));
            return 0;
        case WM_CAPTURECHANGED:
            // Another window took the mouse in the middle of a drag: the drag ends here, so
            // the control closes the edit it began.
            if (!pressed_) return 0;
            pressed_ = false;
            event.type = WindowEvent::Type::Released;
            event.where = last_;
            send(event);
            return 0;
        case WM_MOUSEWHEEL: {
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};  // screen coordinates
            ScreenToClient(hwnd, &p);
            event.type = WindowEvent::Type::Wheeled;
            event.where = {static_cast<int>(p.x), static_cast<int>(p.y)};
            event.state = stateFrom(GET_KEYSTATE_WPARAM(wParam));
            event.wheel = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
            send(event);
            return 0;
        }
        case WM_TIMER:
            if (wParam != kIdleTimer) return DefWindowProcW(hwnd, message, wParam, lParam);
            if (GetTickCount() - lastIdle_ >= kIdleSilenceMs) {
                lastIdle_ = GetTickCount();
                event.type = WindowEvent::Type::Idle;
                send(event);
            }
            return 0;
        case kDismissPopup:
            if (popup_ && wParam == popupSerial_) {
                event.type = WindowEvent::Type::Pressed;
                event.popup = true;
                event.where = {-1, -1};
                send(event);
            }
            return 0;
        case WM_DESTROY:
            // Our own DestroyWindow cleared hwnd_ first; here a parent destroyed before
            // effEditClose took us along, and nothing may touch the window from now on.
            if (hwnd_ == hwnd) {
                hwnd_ = nullptr;
                pressed_ = false;
                destroyPopup();
                event.type = WindowEvent::Type::Destroyed;
                send(event);
            }
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT Win32Window::handlePopup(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND popup = popup_;
    WindowEvent event{};
    event.popup = true;
    switch (message) {
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;  // the host's window stays the active one
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(popup, &paint);
            EndPaint(popup, &paint);
            event.type = WindowEvent::Type::Exposed;
            send(event);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            // With the capture held, a click anywhere arrives here: outside the list it
            // dismisses it.
            send(mouseEvent(WindowEvent::Type::Pressed, wParam, lParam, true));
            return 0;
        case WM_MOUSEMOVE:
            send(mouseEvent(WindowEvent::Type::Moved, wParam, lParam, true));
            return 0;
        case WM_LBUTTONUP:
            send(mouseEvent(WindowEvent::Type::Released, wParam, lParam, true));
            return 0;
        case WM_CAPTURECHANGED:
            // Another window took the mouse (the host was switched away from, or its window
            // is going with the list): dismiss, as a click elsewhere would, once this message
            // is done, so the list is never destroyed in the middle of its own destruction.
            if (reinterpret_cast<HWND>(lParam) != popup && hwnd_)
                PostMessageW(hwnd_, kDismissPopup, popupSerial_, 0);
            return 0;
        case WM_DESTROY:
            // Destroyed with its owner (the host's top-level window) before we let it go.
            if (popup_ == popup) popup_ = nullptr;
            return 0;
        default:
            return DefWindowProcW(popup, message, wParam, lParam);
    }
}

void Win32Window::blit(HWND target, const COffscreen& image, const CRect* rects, int count) {
    auto* surface = static_cast<gdi::Surface*>(image.native());
    if (!surface || !target) return;
    HDC dc = GetDC(target);
    if (!dc) return;
    const CRect bounds = CRect::sized(0, 0, image.width(), image.height());
    for (int i = 0; i < count; ++i) {
        const CRect r = rects[i].intersection(bounds);
        if (r.empty()) continue;
        BitBlt(dc, r.left, r.top, r.width(), r.height(), surface->dc, r.left, r.top, SRCCOPY);
    }
    ReleaseDC(target, dc);
}

void Win32Window::show(const COffscreen& image, const CRect* rects, int count) {
    if (!hwnd_ || count <= 0) return;
    blit(hwnd_, image, rects, count);
}

bool Win32Window::openPopup(const CRect& anchor, int width, int height) {
    if (!hwnd_) return false;
    destroyPopup();
    POINT origin{anchor.left, anchor.bottom};
    ClientToScreen(hwnd_, &origin);
    // Above the anchor when the screen ends below it, inside the screen sideways.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        if (origin.y + height > work.bottom && origin.y - anchor.height() - height >= work.top)
            origin.y -= anchor.height() + height;
        if (origin.x + width > work.right) origin.x = work.right - width;
        if (origin.x < work.left) origin.x = work.left;
    }
    // Owned by the host's top-level window: it stays above it and goes with it.
    HWND owner = GetAncestor(hwnd_, GA_ROOT);
    ++popupSerial_;
    popup_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, gClassName, L"", WS_POPUP,
                             origin.x, origin.y, width, height, owner, nullptr, module_, this);
    if (!popup_) return false;
    ShowWindow(popup_, SW_SHOWNOACTIVATE);
    // A click anywhere else reaches the list, which closes it.
    SetCapture(popup_);
    return true;
}

void Win32Window::showPopup(const COffscreen& image) {
    if (!popup_) return;
    const CRect all = CRect::sized(0, 0, image.width(), image.height());
    blit(popup_, image, &all, 1);
}

void Win32Window::destroyPopup() {
    if (!popup_) return;
    HWND popup = popup_;
    popup_ = nullptr;  // first: releasing the capture below reports nothing to the frame
    if (GetCapture() == popup) ReleaseCapture();
    DestroyWindow(popup);
}

void Win32Window::closePopup() {
    destroyPopup();
}

}  // namespace

std::unique_ptr<PlatformWindow> PlatformWindow::create(std::uintptr_t parent, int width, int height,
                                                       WindowEventSink* sink,
                                                       bool /*sharedMemory*/) {
    if (parent == 0 || width <= 0 || height <= 0) return nullptr;
    auto window = std::make_unique<Win32Window>(sink);
    if (!window->create(parent, width, height)) return nullptr;
    return window;
}

}  // namespace qx::gui
