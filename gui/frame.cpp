#include "gui/frame.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>

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

}  // namespace

struct CFrame::Window {
    Display* display = nullptr;
    ::Window window = 0;
    Visual* visual = nullptr;
    Colormap colormap = 0;
    int depth = 0;
    cairo_surface_t* surface = nullptr;

    ~Window() {
        if (surface) cairo_surface_destroy(surface);
        if (display) {
            if (window) XDestroyWindow(display, window);
            // The window is gone on the server before the host gets its answer.
            XSync(display, False);
            XCloseDisplay(display);
        }
    }

    // Copies `area` of the back buffer to the window.
    void show(cairo_surface_t* backBuffer, const CRect& area) {
        if (!surface || area.empty()) return;
        cairo_t* cr = cairo_create(surface);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, backBuffer, 0, 0);
        cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
};

struct CFrame::Popup {
    PopupList list;
    CRect anchor;
    int hovered = -1;
    int width = 0;
    int height = 0;
    ::Window window = 0;
    cairo_surface_t* surface = nullptr;
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

    gXErrorSeen = false;
    XErrorHandler previous = XSetErrorHandler(&trapXError);
    XWindowAttributes parentAttributes;
    const bool parentOk = XGetWindowAttributes(dpy, parentWindow, &parentAttributes) != 0;
    if (parentOk && !gXErrorSeen) {
        w->visual = parentAttributes.visual;
        w->depth = parentAttributes.depth;
        w->colormap = parentAttributes.colormap;
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;  // no flash of a fill colour before the paint
        attributes.border_pixel = 0;
        attributes.colormap = w->colormap;
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                                PointerMotionMask | StructureNotifyMask;
        w->window = XCreateWindow(
            dpy, parentWindow, 0, 0, static_cast<unsigned>(size_.width()),
            static_cast<unsigned>(size_.height()), 0, w->depth, InputOutput, w->visual,
            CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
        XMapWindow(dpy, w->window);
        XSync(dpy, False);
    }
    XSetErrorHandler(previous);
    if (!parentOk || gXErrorSeen) {
        if (gXErrorSeen) w->window = 0;  // creation failed on the server
        return false;
    }
    w->surface =
        cairo_xlib_surface_create(dpy, w->window, w->visual, size_.width(), size_.height());
    window_ = std::move(w);
    // Everything is painted on the first idle; paint now as well so the window is never blank.
    setDirty();
    invalid_ = size_;
    window_->show(backBuffer_, redrawDirty());
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
        window_->show(backBuffer_, changed);
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
                    window_->show(backBuffer_, CRect::sized(e.x, e.y, e.width, e.height));
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
        static_cast<unsigned>(popup_->height), 0, window_->depth, InputOutput, window_->visual,
        CWOverrideRedirect | CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    XMapRaised(dpy, popup_->window);
    popup_->surface = cairo_xlib_surface_create(dpy, popup_->window, window_->visual, popup_->width,
                                                popup_->height);
    XGrabPointer(dpy, popup_->window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                 GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    drawPopup();
    XFlush(dpy);
}

void CFrame::drawPopup() {
    if (!popup_ || !popup_->surface) return;
    cairo_t* cr = cairo_create(popup_->surface);
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
    cairo_surface_flush(popup_->surface);
    if (window_) XFlush(window_->display);
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
    if (popup_->surface) cairo_surface_destroy(popup_->surface);
    if (window_ && popup_->window) {
        XUngrabPointer(window_->display, CurrentTime);
        XDestroyWindow(window_->display, popup_->window);
        XFlush(window_->display);
    }
    popup_.reset();
}

}  // namespace qx::gui
