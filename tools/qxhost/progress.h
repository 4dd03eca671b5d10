// A progress bar on standard error for long runs: drawn from its own thread, only when
// standard error is a terminal, and only once the work has taken more than a second.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace qx::tool {

class ProgressBar {
  public:
    // `total` work units (frames); `enabled` false keeps it silent regardless.
    ProgressBar(long long total, int totalItems, bool enabled);
    ~ProgressBar();  // stops and clears the line
    std::atomic<long long>& counter() { return done_; }
    void itemFinished() { ++items_; }
    // Prints whole lines to standard error without the bar drawing over them.
    void message(const std::string& lines);
    void stop();

  private:
    void loop();
    void draw(double seconds);

    long long total_;
    int totalItems_;
    std::atomic<long long> done_{0};
    std::atomic<int> items_{0};
    bool drawn_ = false;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
};

}  // namespace qx::tool
