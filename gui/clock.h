// Time for everything that moves by time rather than per call (meter fall-off, frame
// pacing): seconds from a monotonic clock, replaceable so tests can step time themselves.
#pragma once

#include <chrono>
#include <functional>

namespace qx::gui {

// Seconds since an arbitrary fixed point; never goes backwards.
using CClock = std::function<double()>;

inline double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace qx::gui
