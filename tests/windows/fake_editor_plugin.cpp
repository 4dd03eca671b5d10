// A minimal Windows plug-in with an editor, for the host window tests: one parameter shown
// as a colour (blue below one half, green from it), set by dragging across the editor with
// begin-edit, automation and end-edit, as a real editor reports a drag.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>

#include "framework/vst2.h"

using namespace qx::vst;

namespace {

constexpr char kClassName[] = "QxFakeEditor";
constexpr ERect kRect{0, 0, 120, 200};

struct FakeEditor {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    float value = 0.0f;
    HWND window = nullptr;
    bool dragging = false;

    void edit(int x, VstInt32 what) {
        value = std::clamp(static_cast<float>(x) / (kRect.right - 1), 0.0f, 1.0f);
        if (what != audioMasterAutomate) host(&effect, what, 0, 0, nullptr, 0.0f);
        host(&effect, audioMasterAutomate, 0, 0, nullptr, value);
        if (window) InvalidateRect(window, nullptr, FALSE);
    }
};

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&thisModule), &module);
    return module;
}

LRESULT CALLBACK editorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* fake = reinterpret_cast<FakeEditor*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    const int x = static_cast<short>(LOWORD(lParam));
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(
                                  reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
            break;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            HBRUSH brush =
                CreateSolidBrush(fake && fake->value >= 0.5f ? RGB(0, 200, 0) : RGB(0, 0, 200));
            FillRect(dc, &paint.rcPaint, brush);
            DeleteObject(brush);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_LBUTTONDOWN:
            SetCapture(window);
            fake->dragging = true;
            fake->edit(x, audioMasterBeginEdit);
            return 0;
        case WM_MOUSEMOVE:
            if (fake && fake->dragging) fake->edit(x, audioMasterAutomate);
            return 0;
        case WM_LBUTTONUP:
            if (fake && fake->dragging) {
                fake->dragging = false;
                ReleaseCapture();
                fake->edit(x, audioMasterAutomate);
                fake->host(&fake->effect, audioMasterEndEdit, 0, 0, nullptr, 0.0f);
            }
            return 0;
        case WM_DESTROY:
            // Also when the host destroys its window first: the editor must not touch it again.
            if (fake) fake->window = nullptr;
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

VstIntPtr dispatcher(AEffect* e, VstInt32 op, VstInt32, VstIntPtr, void* ptr, float) {
    auto* fake = static_cast<FakeEditor*>(e->object);
    switch (op) {
        case effClose:
            if (fake->window) DestroyWindow(fake->window);
            delete fake;
            return 1;
        case effEditGetRect:
            if (ptr) *static_cast<const ERect**>(ptr) = &kRect;
            return 1;
        case effEditOpen: {
            if (fake->window) return 0;
            WNDCLASSA wc{};
            wc.lpfnWndProc = editorProc;
            wc.hInstance = thisModule();
            wc.lpszClassName = kClassName;
            if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return 0;
            fake->window =
                CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, kRect.right,
                                kRect.bottom, static_cast<HWND>(ptr), nullptr, thisModule(), fake);
            return fake->window ? 1 : 0;
        }
        case effEditClose:
            if (fake->window && IsWindow(fake->window)) DestroyWindow(fake->window);
            fake->window = nullptr;
            return 1;
        default:
            return 0;
    }
}

void setParameter(AEffect* e, VstInt32 index, float value) {
    if (index == 0) static_cast<FakeEditor*>(e->object)->value = value;
}

float getParameter(AEffect* e, VstInt32 index) {
    return index == 0 ? static_cast<FakeEditor*>(e->object)->value : 0.0f;
}

void processReplacing(AEffect*, float** in, float** out, VstInt32 frames) {
    for (int c = 0; c < 2; ++c) std::copy(in[c], in[c] + std::max(frames, 0), out[c]);
}

}  // namespace

extern "C" __declspec(dllexport) AEffect* VSTPluginMain(audioMasterCallback host) {
    auto* fake = new FakeEditor;
    fake->host = host;
    AEffect& e = fake->effect;
    e.magic = kEffectMagic;
    e.dispatcher = dispatcher;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.processReplacing = processReplacing;
    e.numPrograms = 1;
    e.numParams = 1;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsHasEditor | effFlagsCanReplacing;
    e.object = fake;
    e.uniqueID = 0x71784665;
    return &e;
}
