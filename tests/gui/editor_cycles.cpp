// gui_editor_cycles <plugin.so> <cycles>: opens and closes the plug-in's editor `cycles` times
// in one parent window, with idles and host parameter changes in between, and fails when a
// window, a display connection or a file descriptor is left behind. Run under valgrind by
// ctest, which also fails on leaked memory.
#include <cairo.h>
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui/testing/host_window.h"
#include "gui/testing/virtual_display.h"
#include "tools/vsthost/plugin_host.h"

namespace {

int openFiles() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gui_editor_cycles <plugin.so> <cycles>\n");
        return 2;
    }
    const int cycles = std::atoi(argv[2]);
    std::string error;
    auto server = qx::gui::testing::VirtualDisplay::ensure(&error);
    if (!server) {
        std::fprintf(stderr, "no X server: %s\n", error.c_str());
        return 1;
    }
    int failures = 0;
    {
        auto plugin = qx::host::Plugin::load(argv[1], &error);
        if (!plugin) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        plugin->prepare(44100.0f, 512);
        qx::vst::ERect* rect = nullptr;
        plugin->dispatch(qx::vst::effEditGetRect, 0, 0, &rect);
        qx::gui::testing::HostWindow window(rect->right, rect->bottom);
        int filesAfterFirst = 0;
        for (int cycle = 0; cycle < cycles; ++cycle) {
            if (plugin->dispatch(qx::vst::effEditOpen, 0, 0, window.parentHandle()) != 1) {
                std::fprintf(stderr, "cycle %d: open failed\n", cycle);
                return 1;
            }
            for (int i = 0; i < 3; ++i) {
                plugin->setParameter(i, static_cast<float>((cycle + i) % 10) / 10.0f);
                plugin->dispatch(qx::vst::effEditIdle);
            }
            plugin->dispatch(qx::vst::effEditClose);
            window.sync();
            if (window.childWindow() != 0) {
                std::fprintf(stderr, "cycle %d: the editor's window outlived close\n", cycle);
                ++failures;
            }
            if (cycle == 0) filesAfterFirst = openFiles();
        }
        if (openFiles() != filesAfterFirst) {
            std::fprintf(stderr, "file descriptors grew from %d to %d over %d cycles\n",
                         filesAfterFirst, openFiles(), cycles);
            ++failures;
        }
    }
    // Drop cairo's font and pattern caches, so what remains at exit is a real leak.
    cairo_debug_reset_static_data();
    if (failures == 0) std::printf("%d open/close cycles: nothing left behind\n", cycles);
    return failures == 0 ? 0 : 1;
}
