// gui_editor_cycles <plugin.so> <cycles>: opens and closes the plug-in's editor `cycles` times,
// with idles and host parameter changes in between, automation from a thread of its own and
// audio on another; every fifth cycle the host destroys its window before closing the editor.
// Fails when a window, a display connection or a file descriptor is left behind. Run under
// valgrind by ctest, which also fails on leaked memory.
#include <cairo.h>
#include <dirent.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
        const int numParams = plugin->numParams();
        std::atomic<bool> stop{false};
        std::thread automation([&] {
            for (unsigned n = 0; !stop.load(); ++n) {
                plugin->setParameter(static_cast<int>(n % static_cast<unsigned>(numParams)),
                                     static_cast<float>(n % 11) / 10.0f);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        std::thread audio([&] {
            std::vector<float> in(256, 0.25f), outL(256), outR(256);
            std::vector<float*> ins(8, in.data()), outs(8, outL.data());
            outs[1] = outR.data();
            while (!stop.load()) {
                plugin->processReplacing(ins.data(), outs.data(), 256);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        auto window = std::make_unique<qx::gui::testing::HostWindow>(rect->right, rect->bottom);
        int filesAfterFirst = 0;
        for (int cycle = 0; cycle < cycles && failures == 0; ++cycle) {
            if (plugin->dispatch(qx::vst::effEditOpen, 0, 0, window->parentHandle()) != 1) {
                std::fprintf(stderr, "cycle %d: open failed\n", cycle);
                ++failures;
                break;
            }
            for (int i = 0; i < 3; ++i) plugin->dispatch(qx::vst::effEditIdle);
            const bool parentFirst = cycle % 5 == 4;
            if (parentFirst) window.reset();  // the host's window goes before the close
            plugin->dispatch(qx::vst::effEditClose);
            if (parentFirst) {
                window = std::make_unique<qx::gui::testing::HostWindow>(rect->right, rect->bottom);
                continue;
            }
            window->sync();
            if (window->childWindow() != 0) {
                std::fprintf(stderr, "cycle %d: the editor's window outlived close\n", cycle);
                ++failures;
            }
            if (cycle == 0) filesAfterFirst = openFiles();
        }
        stop = true;
        automation.join();
        audio.join();
        // One host window (the last one made) as after the first cycle.
        if (failures == 0 && openFiles() != filesAfterFirst) {
            std::fprintf(stderr, "file descriptors went from %d to %d over %d cycles\n",
                         filesAfterFirst, openFiles(), cycles);
            ++failures;
        }
    }
    // Drop cairo's font and pattern caches, so what remains at exit is a real leak.
    cairo_debug_reset_static_data();
    if (failures == 0) std::printf("%d open/close cycles: nothing left behind\n", cycles);
    return failures == 0 ? 0 : 1;
}
