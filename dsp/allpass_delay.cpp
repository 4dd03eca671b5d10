// Storage management of the allpass section; processSample lives in the header.
#include "dsp/allpass_delay.h"

#include <algorithm>
#include <new>

namespace qx {

namespace {
// The float nearest to 0.9999: the largest coefficient setGain lets through.
constexpr float kMaxGain = 0.9999f;
}  // namespace

void AllpassDelay::init(int length, int maxLength, float gain) {
    if (!buffer_) {
        maxLength_ = std::max(maxLength, 0);
        buffer_.reset(new (std::nothrow) float[static_cast<size_t>(maxLength_) + 1]);
        if (!buffer_) maxLength_ = 0;
    }
    length_ = std::clamp(length, 0, maxLength_);
    g_ = gain;
    clear();
}

void AllpassDelay::clear() {
    if (buffer_) std::fill_n(buffer_.get(), maxLength_ + 1, 0.0f);
    index_ = 0;
}

void AllpassDelay::setGain(float gain) {
    g_ = std::clamp(gain, -kMaxGain, kMaxGain);
}

void AllpassDelay::setLength(int n) {
    if (n == length_) return;
    length_ = n < 0 ? 0 : std::min(n, maxLength_);
    clear();
}

}  // namespace qx
