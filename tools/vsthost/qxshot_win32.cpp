// qxshot.exe <plugin.dll> <out.png>: the Windows screenshot tool. Loads the plug-in, opens its
// editor in a host window, plays a short tone so the meters move, idles a few times and saves
// what the editor shows as PNG. Needs a display (under Wine: DISPLAY, see scripts/demo.sh).
#include <cstdio>

#include "tools/vsthost/host_window_win32.h"
#include "tools/vsthost/plugin_host.h"
#include "tools/vsthost/png_file.h"
#include "tools/vsthost/test_tone.h"

int main(int argc, char** argv) {
    using namespace qx;
    if (argc != 3) {
        std::fprintf(stderr, "usage: qxshot <plugin.dll> <out.png>\n");
        return 2;
    }
    std::string error;
    auto plugin = host::Plugin::load(argv[1], &error);
    if (!plugin) {
        std::fprintf(stderr, "qxshot: %s\n", error.c_str());
        return 1;
    }
    if (!(plugin->flags() & vst::effFlagsHasEditor)) {
        std::fprintf(stderr, "qxshot: %s has no editor\n", argv[1]);
        return 1;
    }
    plugin->prepare(44100.0f, 512);
    vst::ERect* rect = nullptr;
    plugin->dispatch(vst::effEditGetRect, 0, 0, &rect);
    if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) {
        std::fprintf(stderr, "qxshot: the editor reports no size\n");
        return 1;
    }
    auto window =
        host::HostWindow::create(rect->right - rect->left, rect->bottom - rect->top, &error);
    if (!window || !plugin->dispatch(vst::effEditOpen, 0, 0, window->handle())) {
        std::fprintf(stderr, "qxshot: the editor did not open %s\n", error.c_str());
        return 1;
    }
    host::TestTone tone;
    for (int i = 0; i < 12; ++i) {
        tone.play(*plugin, 3);
        window->pump(20, [&] { plugin->dispatch(vst::effEditIdle); });
    }
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    const bool saved =
        window->capture(&width, &height, &pixels) && host::writePng(argv[2], width, height, pixels);
    plugin->dispatch(vst::effEditClose);
    if (!saved) {
        std::fprintf(stderr, "qxshot: cannot capture or write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s\n", argv[2]);
    return 0;
}
