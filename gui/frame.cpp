#include "gui/frame.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace qx::gui {

namespace {

// X errors during window creation (a parent that vanished) must not end the host, whose
// own handler would exit; the trap is installed only around those calls.
bool gXErrorSeen = false;
int trapXError(Display*, XErrorEvent*) {
    gXErrorSeen = true;
    return 0;
}

MouseState stateFrom(unsigned int xstate) {
    MouseState state;
    state.shift = (xstate & ShiftMask) != 0;
    state.control = (xstate & ControlMask) != 0;
    return state;
}

// Copies `area` of a 32-bit xRGB image surface into a window of a 24-bit TrueColor visual.
void putImage(Display* dpy, ::Window window, GC gc, Visual* visual, cairo_surface_t* image,
              const CRect& area) {
    cairo_surface_flush(image);
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    const CRect clipped = area.intersection(CRect{0, 0, width, height});
    if (clipped.empty()) return;
    XImage* x = XCreateImage(dpy, visual, 24, ZPixmap, 0,
                             reinterpret_cast<char*>(cairo_image_surface_get_data(image)),
                             static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                             cairo_image_surface_get_stride(image));
    if (!x) return;
    // cairo stores pixels in host order; Xlib swaps when the server differs.
    const unsigned probe = 1;
    x->byte_order = *reinterpret_cast<const unsigned char*>(&probe) ? LSBFirst : MSBFirst;
    XPutImage(dpy, window, gc, x, clipped.left, clipped.top, clipped.left, clipped.top,
              static_cast<unsigned>(clipped.width()), static_cast<unsigned>(clipped.height()));
    x->data = nullptr;  // owned by cairo
    XDestroyImage(x);
}

}  // namespace

struct CFrame::Window {
    Display* display = nullptr;
    ::Window window = 0;
    Visual* visual = nullptr;
    Colormap colormap = 0;
    GC gc = nullptr;

    ~Window() {
        if (!display) return;
        if (gc) XFreeGC(display, gc);
        if (window) XDestroyWindow(display, window);
        if (colormap) XFreeColormap(display, colormap);
        // The window is gone on the server before the host gets its answer.
        XSync(display, False);
        XCloseDisplay(display);
    }

    void show(cairo_surface_t* backBuffer, const CRect& area, UploadStats& stats) {
        if (!window || area.empty()) return;
        putImage(display, window, gc, visual, backBuffer, area);
        ++stats.updates;
        ++stats.rects;
        stats.pixels += area.width() * area.height();
        stats.bytes += 4L * area.width() * area.height();
    }
};

struct CFrame::Popup {
    PopupList list;
    CRect anchor;
    int hovered = -1;
    int width = 0;
    int height = 0;
    ::Window window = 0;
    cairo_surface_t* image = nullptr;
};

CFrame::CFrame(const CRect& size, BitmapRef background) : CViewContainer(size) {
    background_ = std::move(background);
    backBuffer_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(size.width(), 1),
                                             std::max(size.height(), 1));
    setFrame(this);
    invalid_ = size_;
}

CFrame::~CFrame() {
    closePopup();
    // Controls go before the window, so none outlives the frame it refers to.
    removeAll();
    window_.reset();
    cairo_surface_destroy(backBuffer_);
}

bool CFrame::open(unsigned long parentWindow) {
    if (window_ || parentWindow == 0) return false;
    auto w = std::make_unique<Window>();
    w->display = XOpenDisplay(nullptr);
    if (!w->display) return false;
    Display* dpy = w->display;

    // The back buffer is 32-bit xRGB: the window gets a 24-bit TrueColor visual of its own
    // (with its own colormap), whatever the parent's visual is.
    XVisualInfo info{};
    if (!XMatchVisualInfo(dpy, DefaultScreen(dpy), 24, TrueColor, &info)) return false;
    w->visual = info.visual;

    gXErrorSeen = false;
    XErrorHandler previous = XSetErrorHandler(&trapXError);
    XWindowAttributes parentAttributes;
    const bool parentOk = XGetWindowAttributes(dpy, parentWindow, &parentAttributes) != 0;
    if (parentOk && !gXErrorSeen) {
        w->colormap = XCreateColormap(dpy, parentWindow, w->visual, AllocNone);
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;  // no flash of a fill colour before the paint
        attributes.border_pixel = 0;
        attributes.colormap = w->colormap;
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                                PointerMotionMask | StructureNotifyMask;
        w->window =
            XCreateWindow(dpy, parentWindow, 0, 0, static_cast<unsigned>(size_.width()),
                          static_cast<unsigned>(size_.height()), 0, 24, InputOutput, w->visual,
                          CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
        w->gc = XCreateGC(dpy, w->window, 0, nullptr);
        XMapWindow(dpy, w->window);
        XSync(dpy, False);
    }
    const bool failed = !parentOk || gXErrorSeen;
    if (failed) {
        // Undo what was made while the trap still catches the server's refusals.
        if (w->gc) XFreeGC(dpy, w->gc);
        if (w->window) XDestroyWindow(dpy, w->window);
        if (w->colormap) XFreeColormap(dpy, w->colormap);
        XSync(dpy, False);
        w->gc = nullptr;
        w->window = 0;
        w->colormap = 0;
    }
    XSetErrorHandler(previous);
    if (failed) return false;
    window_ = std::move(w);
    // Everything is painted on the first idle; paint now as well so the window is never blank.
    setDirty();
    invalid_ = size_;
    window_->show(backBuffer_, redrawDirty(), stats_);
    XFlush(dpy);
    return true;
}

bool CFrame::hasWindow() const {
    return window_ != nullptr;
}

unsigned long CFrame::window() const {
    return window_ ? window_->window : 0;
}

CRect CFrame::redrawDirty() {
    // Taking the flags before drawing keeps a change that arrives from another thread while
    // we draw marked for the next idle.
    CRect area = invalid_.united(takeDirtyArea());
    if (area.empty()) return {};
    invalid_ = {};
    cairo_t* cr = cairo_create(backBuffer_);
    CDrawContext context(cr);
    context.clip(area);
    drawArea(context, area);
    cairo_destroy(cr);
    cairo_surface_flush(backBuffer_);
    return area;
}

void CFrame::idle() {
    pumpEvents();
    for (auto& child : children_) child->idle();
    const CRect changed = redrawDirty();
    if (window_ && !changed.empty()) {
        window_->show(backBuffer_, changed, stats_);
        XFlush(window_->display);
    }
}

void CFrame::pumpEvents() {
    if (!window_) return;
    Display* dpy = window_->display;
    while (window_ && XPending(dpy) > 0) {
        XEvent event;
        XNextEvent(dpy, &event);
        const bool onPopup = popup_ && event.xany.window == popup_->window;
        if (!onPopup && event.xany.window != window_->window) continue;
        switch (event.type) {
            case Expose:
                if (onPopup) {
                    drawPopup();
                } else {
                    const XExposeEvent& e = event.xexpose;
                    window_->show(backBuffer_, CRect::sized(e.x, e.y, e.width, e.height), stats_);
                }
                break;
            case ButtonPress: {
                const XButtonEvent& e = event.xbutton;
                const CPoint where{e.x, e.y};
                if (popup_) {
                    // A press outside the list dismisses it; inside, the release chooses.
                    if (!onPopup ||
                        !CRect::sized(0, 0, popup_->width, popup_->height).contains(where))
                        closePopup();
                    break;
                }
                if (e.button == Button1) mouseDown(where, stateFrom(e.state));
                if (e.button == Button4) wheel(where, 1.0f, stateFrom(e.state));
                if (e.button == Button5) wheel(where, -1.0f, stateFrom(e.state));
                break;
            }
            case MotionNotify: {
                // Only the latest position of a burst matters.
                while (XCheckTypedWindowEvent(dpy, event.xany.window, MotionNotify, &event)) {
                }
                const XMotionEvent& e = event.xmotion;
                if (onPopup) {
                    const int row = e.x >= 0 && e.x < popup_->width && e.y >= 0
                                        ? e.y / popupStyle_.rowHeight
                                        : -1;
                    const int count = static_cast<int>(popup_->list.entries.size());
                    const int hovered = row < count ? row : -1;
                    if (hovered != popup_->hovered) {
                        popup_->hovered = hovered;
                        drawPopup();
                    }
                } else {
                    mouseMoved({e.x, e.y}, stateFrom(e.state));
                }
                break;
            }
            case ButtonRelease: {
                const XButtonEvent& e = event.xbutton;
                if (onPopup) {
                    if (e.x >= 0 && e.x < popup_->width && e.y >= 0 && e.y < popup_->height)
                        choosePopupEntry(e.y / popupStyle_.rowHeight);
                } else if (e.button == Button1) {
                    mouseUp({e.x, e.y}, stateFrom(e.state));
                }
                break;
            }
            default:
                break;
        }
    }
}

void CFrame::mouseDown(CPoint where, const MouseState& state) {
    if (mouseView_) mouseUp(where, state);
    CView* view = viewAt(where);
    if (view && view->onMouseDown(where, state)) mouseView_ = view;
}

void CFrame::mouseMoved(CPoint where, const MouseState& state) {
    if (mouseView_) mouseView_->onMouseMoved(where, state);
}

void CFrame::mouseUp(CPoint where, const MouseState& state) {
    CView* view = mouseView_;
    mouseView_ = nullptr;
    if (view) view->onMouseUp(where, state);
}

void CFrame::wheel(CPoint where, float distance, const MouseState& state) {
    if (mouseView_) return;  // no wheel while dragging
    if (CView* view = viewAt(where)) view->onWheel(where, distance, state);
}

void CFrame::openPopup(PopupList list, const CRect& anchor) {
    closePopup();
    auto popup = std::make_unique<Popup>();
    popup->list = std::move(list);
    popup->anchor = anchor;
    popup->hovered = popup->list.selected;
    int width = anchor.width();
    {
        cairo_t* cr = cairo_create(backBuffer_);
        CDrawContext context(cr);
        for (const std::string& entry : popup->list.entries)
            width = std::max(
                width, static_cast<int>(context.textWidth(entry.c_str(), popupStyle_.font)) + 24);
        cairo_destroy(cr);
    }
    popup->width = width;
    popup->height =
        std::max(1, static_cast<int>(popup->list.entries.size()) * popupStyle_.rowHeight);
    popup_ = std::move(popup);
    if (!window_) return;

    // An override-redirect window on the root, below the anchor, holding the pointer grab
    // so a click anywhere else dismisses the list.
    Display* dpy = window_->display;
    ::Window root = DefaultRootWindow(dpy);
    int rootX = 0, rootY = 0;
    ::Window child = 0;
    XTranslateCoordinates(dpy, window_->window, root, anchor.left, anchor.bottom, &rootX, &rootY,
                          &child);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.colormap = window_->colormap;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    popup_->window = XCreateWindow(
        dpy, root, rootX, rootY, static_cast<unsigned>(popup_->width),
        static_cast<unsigned>(popup_->height), 0, 24, InputOutput, window_->visual,
        CWOverrideRedirect | CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    XMapRaised(dpy, popup_->window);
    popup_->image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, popup_->width, popup_->height);
    XGrabPointer(dpy, popup_->window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                 GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    drawPopup();
    XFlush(dpy);
}

void CFrame::drawPopup() {
    if (!popup_ || !popup_->image) return;
    cairo_t* cr = cairo_create(popup_->image);
    CDrawContext context(cr);
    const PopupStyle& style = popupStyle_;
    const CRect all = CRect::sized(0, 0, popup_->width, popup_->height);
    context.fillRect(all, style.background);
    const int count = static_cast<int>(popup_->list.entries.size());
    for (int i = 0; i < count; ++i) {
        const CRect row = CRect::sized(0, i * style.rowHeight, popup_->width, style.rowHeight);
        const bool hot = i == popup_->hovered;
        if (hot) context.fillRect(row, style.highlight);
        const CRect textArea{row.left + 10, row.top, row.right - 4, row.bottom};
        context.drawString(popup_->list.entries[static_cast<size_t>(i)].c_str(), textArea,
                           style.font, hot ? style.highlightText : style.text, TextAlign::Left);
        if (i == popup_->list.selected)
            context.fillRect(CRect::sized(row.left + 3, row.top + style.rowHeight / 2 - 2, 4, 4),
                             hot ? style.highlightText : style.highlight);
    }
    context.frameRect(all, style.border);
    cairo_destroy(cr);
    if (!window_) return;
    putImage(window_->display, popup_->window, window_->gc, window_->visual, popup_->image, all);
    XFlush(window_->display);
}

void CFrame::choosePopupEntry(int index) {
    if (!popup_) return;
    PopupList list = std::move(popup_->list);
    closePopup();
    if (index >= 0 && index < static_cast<int>(list.entries.size()) && list.onChoose)
        list.onChoose(index);
}

void CFrame::closePopup() {
    if (!popup_) return;
    if (popup_->image) cairo_surface_destroy(popup_->image);
    if (window_ && popup_->window) {
        XUngrabPointer(window_->display, CurrentTime);
        XDestroyWindow(window_->display, popup_->window);
        XFlush(window_->display);
    }
    popup_.reset();
}

}  // namespace qx::gui
