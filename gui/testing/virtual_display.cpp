#include "gui/testing/virtual_display.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char** environ;

namespace qx::gui::testing {

namespace {

bool answers(const char* name) {
    if (!name || !*name) return false;
    Display* display = XOpenDisplay(name);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

}  // namespace

VirtualDisplay::VirtualDisplay(std::string name, int pid, std::string previous, bool hadPrevious)
    : name_(std::move(name)),
      pid_(pid),
      previous_(std::move(previous)),
      hadPrevious_(hadPrevious) {}

std::unique_ptr<VirtualDisplay> VirtualDisplay::ensure(std::string* error) {
    const char* current = std::getenv("DISPLAY");
    const bool hadPrevious = current != nullptr;
    const std::string previous = current ? current : "";
    if (answers(current))
        return std::unique_ptr<VirtualDisplay>(new VirtualDisplay(previous, 0, previous, true));

    // Xvfb picks a free display number itself and writes it to the pipe (-displayfd), so
    // parallel tests never race for a number.
    int fds[2];
    if (pipe(fds) != 0) {
        if (error) *error = "pipe failed";
        return nullptr;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen",  "0",
                          "1024x768x24", "-nolisten",  "tcp",      "-noreset", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        if (error) *error = "cannot start Xvfb (is it installed?)";
        return nullptr;
    }

    std::string number;
    pollfd waitFor{fds[0], POLLIN, 0};
    for (;;) {
        if (poll(&waitFor, 1, 20000) <= 0) break;  // 20 s for a slow CI machine
        char c = 0;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    const std::string name = ":" + number;
    if (number.empty() || !answers(name.c_str())) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        if (error) *error = "Xvfb did not come up";
        return nullptr;
    }
    setenv("DISPLAY", name.c_str(), 1);
    return std::unique_ptr<VirtualDisplay>(new VirtualDisplay(name, pid, previous, hadPrevious));
}

VirtualDisplay::~VirtualDisplay() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    if (hadPrevious_)
        setenv("DISPLAY", previous_.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

}  // namespace qx::gui::testing
