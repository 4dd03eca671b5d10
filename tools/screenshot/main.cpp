// qxshot <plugin.so> <out.png>: loads the plug-in, opens its editor in a parent window, plays
// a short tone so the meters move, idles a few times and saves the window as PNG. Starts a
// private Xvfb when $DISPLAY is unset or unusable.
#include <chrono>
#include <cstdio>
#include <thread>

#include "gui/testing/host_window.h"
#include "gui/testing/virtual_display.h"
#include "tools/vsthost/plugin_host.h"
#include "tools/vsthost/test_tone.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qxshot <plugin.so> <out.png>\n");
        return 2;
    }
    std::string error;
    auto display = qx::gui::testing::VirtualDisplay::ensure(&error);
    if (!display) {
        std::fprintf(stderr, "qxshot: no X display: %s\n", error.c_str());
        return 1;
    }
    auto plugin = qx::host::Plugin::load(argv[1], &error);
    if (!plugin) {
        std::fprintf(stderr, "qxshot: %s\n", error.c_str());
        return 1;
    }
    if (!(plugin->flags() & qx::vst::effFlagsHasEditor)) {
        std::fprintf(stderr, "qxshot: %s has no editor\n", argv[1]);
        return 1;
    }
    plugin->prepare(44100.0f, 512);
    qx::vst::ERect* rect = nullptr;
    plugin->dispatch(qx::vst::effEditGetRect, 0, 0, &rect);
    if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) {
        std::fprintf(stderr, "qxshot: the editor reports no size\n");
        return 1;
    }
    qx::gui::testing::HostWindow window(rect->right - rect->left, rect->bottom - rect->top);
    if (!window.valid()) {
        std::fprintf(stderr, "qxshot: no host window on the display\n");
        return 1;
    }
    if (!plugin->dispatch(qx::vst::effEditOpen, 0, 0, window.parentHandle())) {
        std::fprintf(stderr, "qxshot: the editor did not open\n");
        return 1;
    }
    qx::host::TestTone tone;
    for (int i = 0; i < 12; ++i) {
        tone.play(*plugin, 3);
        plugin->dispatch(qx::vst::effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    window.sync();
    const bool saved = window.savePng(argv[2]);
    plugin->dispatch(qx::vst::effEditClose);
    if (!saved) {
        std::fprintf(stderr, "qxshot: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s\n", argv[2]);
    return 0;
}
