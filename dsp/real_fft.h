// Fast Fourier transform of real signals with a packed spectrum, used by the spectral
// engine and the analyzer. Unnormalised in both directions; no allocation after
// construction.
#pragma once

#include <vector>

namespace qx {

// Packed layout for N points: element k (0..N/2) is the real part of bin k, element
// N/2 + k (1..N/2-1) the imaginary part of bin k. The imaginary parts are those of
// sum x[n] exp(+2 pi i n k / N), i.e. the negated imaginary parts of the usual
// exp(-...) transform; inverse() expects the same sign, so the pair is matched.
class RealFft {
  public:
    // n: a power of two, 1 or more. Builds the tables and work buffers. Control thread.
    explicit RealFft(int n);
    virtual ~RealFft() = default;

    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    // Spectrum of n real samples into output (packed). Arrays of n floats, distinct.
    void forward(float* output, const float* input);

    // n real samples from a packed spectrum; inverse(forward(x)) = n * x.
    void inverse(float* output, const float* input);

    // Multiplies the n values by 1/n, from the last down to the first.
    void rescale(float* buffer) const;

    int size() const { return n_; }

  private:
    // Complex FFT of the half-size signal held in (re, im) or, for the first stage, read
    // from interleaved input; returns the buffer set that holds the result.
    float* const* transformHalf(const float* interleaved);

    int n_ = 1;
    int half_ = 0;  // M = N / 2, size of the complex transform
    // Radix-4 stage twiddles: for each stage of length n (M, M/4, ... down to 8), the
    // n/4 values of w^p, w^2p, w^3p, w = exp(-2 pi i / n), as six runs of re/im arrays.
    std::vector<float> stageTwiddles_;
    // exp(-2 pi i k / N) for k = 0..M/2, as re and im arrays, for splitting the halves.
    std::vector<float> splitCos_, splitSin_;
    // Two split-complex work buffers of M values each (ping-pong between the stages).
    std::vector<float> work_;
    float* bufA_[2] = {nullptr, nullptr};
    float* bufB_[2] = {nullptr, nullptr};
};

}  // namespace qx
