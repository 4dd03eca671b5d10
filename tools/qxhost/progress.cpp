// Terminal progress bar: percentage, items done and an estimate of the time left.
#include "tools/qxhost/progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace qx::tool {

ProgressBar::ProgressBar(long long total, int totalItems, bool enabled)
    : total_(total), totalItems_(totalItems) {
    if (enabled && isatty(STDERR_FILENO)) thread_ = std::thread([this] { loop(); });
}

ProgressBar::~ProgressBar() {
    stop();
}

void ProgressBar::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (drawn_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }
}

void ProgressBar::message(const std::string& lines) {
    std::lock_guard lock(mutex_);
    if (drawn_) std::fputs("\r\033[K", stderr);
    drawn_ = false;
    std::fputs(lines.c_str(), stderr);
    std::fflush(stderr);
}

void ProgressBar::loop() {
    const auto begin = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return stopping_; })) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        // Short jobs finish before a bar would be worth reading.
        if (seconds >= 1.0) draw(seconds);
    }
}

void ProgressBar::draw(double seconds) {
    constexpr int kWidth = 30;
    const double fraction =
        total_ > 0 ? std::min(1.0, static_cast<double>(done_.load()) / static_cast<double>(total_))
                   : 0.0;
    const int filled = static_cast<int>(fraction * kWidth);
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    char eta[32] = "--:--";
    if (fraction > 0.01) {
        const int left = static_cast<int>(seconds * (1.0 - fraction) / fraction + 0.5);
        std::snprintf(eta, sizeof eta, "%d:%02d", left / 60, left % 60);
    }
    std::fprintf(stderr, "\r[%s] %3d%%  %d/%d done  %s left\033[K", bar,
                 static_cast<int>(fraction * 100.0), items_.load(), totalItems_, eta);
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace qx::tool
