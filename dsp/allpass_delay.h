// Schroeder allpass section on a circular buffer, the diffuser of the reverbs:
// H(z) = (-g + z^-(L+1)) / (1 - g z^-(L+1)).
#pragma once

#include <memory>

namespace qx {

class AllpassDelay {
  public:
    AllpassDelay() = default;
    virtual ~AllpassDelay() = default;

    // The first call fixes the maximum and allocates maxLength + 1 slots; later calls
    // only change L. gain is stored as given (no clamp). Clears the buffer. Control thread.
    void init(int length, int maxLength, float gain);

    // Zeroes every slot and rewinds the cursor.
    void clear();

    // Coefficient, held to -0.9999 .. 0.9999 so the section stays stable.
    void setGain(float gain);

    // Any change of L empties the section, so no stale echo of the old length is heard.
    void setLength(int n);

    float processSample(float x) {
        float& slot = buffer_[index_];
        const float y = slot - g_ * x;
        out_ = y;
        slot = x + g_ * y;
        if (++index_ > length_) index_ = 0;
        return y;
    }

    float output() const { return out_; }
    float gain() const { return g_; }
    int length() const { return length_; }
    int maxLength() const { return maxLength_; }

  private:
    std::unique_ptr<float[]> buffer_;
    int length_ = 0;  // L: the cursor visits slots 0..L
    int maxLength_ = 0;
    int index_ = 0;  // cursor position
    float g_ = 0.0f;
    float out_ = 0.0f;
};

}  // namespace qx
