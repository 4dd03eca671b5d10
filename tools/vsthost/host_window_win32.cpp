// The host window on Win32: a plain top-level window, PeekMessage pump, PostMessage input and
// a BitBlt of the editor's client area into a DIB section.
#include "tools/vsthost/host_window_win32.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

namespace qx::host {

namespace {

constexpr char kClassName[] = "QxHostWindow";

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerClass() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = hostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

std::unique_ptr<HostWindow> HostWindow::create(int width, int height, std::string* error) {
    if (!registerClass()) {
        if (error) *error = "cannot register the host window class";
        return nullptr;
    }
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT rect{0, 0, width, height};
    AdjustWindowRect(&rect, style, FALSE);
    HWND window = CreateWindowExA(0, kClassName, "QX host", style, 0, 0, rect.right - rect.left,
                                  rect.bottom - rect.top, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        if (error) *error = "cannot create a window (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    return std::unique_ptr<HostWindow>(new HostWindow(window));
}

HostWindow::~HostWindow() {
    destroy();
}

void* HostWindow::editorWindow() const {
    return window_ ? GetWindow(static_cast<HWND>(window_), GW_CHILD) : nullptr;
}

void HostWindow::pump(int milliseconds, const std::function<void()>& idle) {
    const DWORD start = GetTickCount();
    DWORD lastIdle = start - 1000;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const DWORD now = GetTickCount();
        if (idle && now - lastIdle >= 20) {
            idle();
            lastIdle = now;
        }
        if (now - start >= static_cast<DWORD>(milliseconds)) break;
        Sleep(5);
    }
}

bool HostWindow::postMouse(Mouse action, int x, int y) {
    HWND editor = static_cast<HWND>(editorWindow());
    if (!editor) return false;
    const LPARAM where = MAKELPARAM(x, y);
    switch (action) {
        case Mouse::Down:
            return PostMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, where);
        case Mouse::Move:
            return PostMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, where);
        case Mouse::Up:
            return PostMessageA(editor, WM_LBUTTONUP, 0, where);
    }
    return false;
}

bool HostWindow::capture(int* width, int* height, std::vector<std::uint32_t>* pixels) const {
    HWND editor = static_cast<HWND>(editorWindow());
    RECT client{};
    if (!editor || !GetClientRect(editor, &client)) return false;
    const int w = client.right, h = client.bottom;
    if (w <= 0 || h <= 0) return false;
    HDC windowDc = GetDC(editor);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr;
    if (ok) {
        HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        ok = BitBlt(memoryDc, 0, 0, w, h, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        if (ok) {
            pixels->resize(static_cast<std::size_t>(w) * h);
            std::memcpy(pixels->data(), bits, pixels->size() * sizeof(std::uint32_t));
            for (std::uint32_t& p : *pixels) p &= 0x00ffffffu;
            *width = w;
            *height = h;
        }
        SelectObject(memoryDc, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memoryDc);
    ReleaseDC(editor, windowDc);
    return ok;
}

void HostWindow::destroy() {
    if (!window_) return;
    DestroyWindow(static_cast<HWND>(window_));
    window_ = nullptr;
}

}  // namespace qx::host
