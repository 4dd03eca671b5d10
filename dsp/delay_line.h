// Circular sample buffer with integer, tapped and interpolated reads and an optional
// one-pole damping filter in front of the write (a damped comb when fed back).
#pragma once

#include <memory>

namespace qx {

// Delay convention: the cursor cycles through L + 1 slots. Reading before writing in a
// sample period gives the sample written L + 1 periods earlier; writing first gives L.
class DelayLine {
  public:
    // What setLength does to the contents: Keep leaves buffer and cursor alone (current
    // plug-ins), Clear empties the line after a change (older plug-in generation).
    enum class LengthChange { Keep, Clear };

    explicit DelayLine(LengthChange lengthChange = LengthChange::Keep)
        : lengthChange_(lengthChange) {}
    virtual ~DelayLine() = default;

    // Allocates maxLength + 1 slots on the first call only; later calls must not pass a
    // larger maximum (it is held to the first one). Clears the line. Control thread.
    void init(int length, int maxLength, float gain);

    // Zeroes every slot and rewinds the cursor; the damping memory is kept.
    void clear();

    // Active length L in samples; negative gives 0, above the maximum gives the maximum.
    void setLength(int n);

    // Linear factor applied to every read.
    void setGain(float gain) { gain_ = gain; }

    // Corner in Hz of the damping lowpass used by writeDamped (0 coefficient = off).
    void setDamping(float frequencyHz, int sampleRate);

    void write(float x) {
        buffer_[index_] = x;
        advance();
    }

    void writeDamped(float x) {
        dampState_ = x + (dampState_ - x) * dampCoef_;
        buffer_[index_] = dampState_;
        advance();
    }

    float readCurrent() const { return gain_ * buffer_[index_]; }

    // After a write, tap n is the sample written L - n periods earlier.
    float readTap(int n) const {
        if (n > length_ - 1) n = length_ - 1;
        if (n < 0) n = 0;
        int i = index_ + n;
        if (i > length_) i -= length_ + 1;
        return buffer_[i] * gain_;
    }

    // As readTap with a fractional tap, linearly interpolated.
    float readInterpolated(float p) const {
        const float last = static_cast<float>(length_ - 1);
        if (p > last) p = last;
        if (!(p >= 0.0f)) p = 0.0f;
        const float q = static_cast<float>(index_) + p;
        const int i = static_cast<int>(q);
        const float f = q - static_cast<float>(i);
        int i0 = i;
        int i1 = i + 1;
        if (i0 > length_) i0 -= length_ + 1;
        if (i1 > length_) i1 -= length_ + 1;
        return ((1.0f - f) * buffer_[i0] + f * buffer_[i1]) * gain_;
    }

    int length() const { return length_; }
    int maxLength() const { return maxLength_; }
    float gain() const { return gain_; }
    float dampingCoefficient() const { return dampCoef_; }

  private:
    void advance() {
        if (++index_ > length_) index_ = 0;
    }

    std::unique_ptr<float[]> buffer_;
    int capacity_ = 0;  // slots allocated by the first init, minus one
    int length_ = 0;    // L: the cursor visits slots 0..L
    int maxLength_ = 0;
    int index_ = 0;  // cursor position
    float gain_ = 1.0f;
    float dampCoef_ = 0.0f;
    float dampState_ = 0.0f;
    LengthChange lengthChange_;
};

}  // namespace qx
