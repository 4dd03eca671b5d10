// First-order recursive lowpass, used for tone filtering and control smoothing.
#pragma once

namespace qx {

// Feedback coefficient exp(-2*pi*f/fs) of a one-pole lowpass with corner frequencyHz.
// Shared with the damping of DelayLine so both round the same way.
float onePoleCoefficient(float frequencyHz, int sampleRate);

class OnePoleFilter {
  public:
    OnePoleFilter() = default;
    virtual ~OnePoleFilter() = default;

    // Sets the corner in Hz; 0 Hz freezes the output. Control thread; state is kept.
    void setCutoff(float frequencyHz, int sampleRate) {
        coef_ = onePoleCoefficient(frequencyHz, sampleRate);
    }

    // y = x + (y - x) * c: the usual (1 - c) x + c y with a single multiplication.
    void process(float x) { state_ = x + (state_ - x) * coef_; }

    float output() const { return state_; }
    float coefficient() const { return coef_; }

  private:
    float coef_ = 0.0f;   // feedback coefficient, 0 passes the input through
    float state_ = 0.0f;  // last output
};

}  // namespace qx
