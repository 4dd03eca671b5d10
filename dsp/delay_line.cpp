// Storage management of the delay line; the per-sample calls live in the header.
#include "dsp/delay_line.h"

#include <algorithm>
#include <new>

#include "dsp/one_pole_filter.h"

namespace qx {

void DelayLine::init(int length, int maxLength, float gain) {
    maxLength_ = std::max(maxLength, 0);
    if (!buffer_) {
        buffer_.reset(new (std::nothrow) float[static_cast<size_t>(maxLength_) + 1]);
        capacity_ = buffer_ ? maxLength_ : 0;
    }
    // A larger maximum than the first would overrun the buffer.
    maxLength_ = std::min(maxLength_, capacity_);
    length_ = std::clamp(length, 0, maxLength_);
    clear();
    gain_ = gain;
}

void DelayLine::clear() {
    if (buffer_) std::fill_n(buffer_.get(), maxLength_ + 1, 0.0f);
    index_ = 0;
}

void DelayLine::setLength(int n) {
    if (n == length_) return;
    length_ = n < 0 ? 0 : std::min(n, maxLength_);
    // The cursor may now sit past L; the next advance wraps it, and every read stays
    // inside the maxLength + 1 slots.
    if (lengthChange_ == LengthChange::Clear) clear();
}

void DelayLine::setDamping(float frequencyHz, int sampleRate) {
    dampCoef_ = onePoleCoefficient(frequencyHz, sampleRate);
}

}  // namespace qx
