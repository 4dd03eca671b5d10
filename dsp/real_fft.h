// Fast Fourier transform of real signals with a packed spectrum, used by the spectral
// engine and the analyzer. Unnormalised in both directions; no allocation after
// construction.
#pragma once

#include <vector>

namespace qx {

namespace fft_kernel {
struct Functions;
struct Tables;
}  // namespace fft_kernel

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

    // Spectrum of the n samples window[i] * ring[(start + i) mod n], i = 0..n-1: the same
    // floats as windowing them into an array and calling forward(), without that pass
    // when start is a multiple of n/4. ring and window: n floats each, apart from output.
    void forwardWindowed(float* output, const float* ring, int start, const float* window);

    // n real samples from a packed spectrum; inverse(forward(x)) = n * x.
    void inverse(float* output, const float* input);

    // Multiplies the n values by 1/n, from the last down to the first.
    void rescale(float* buffer) const;

    int size() const { return n_; }

    // Instruction sets the passes can run on; every kernel gives the same floats. Below
    // 128 points every kernel runs the plain passes.
    enum class Kernel { Scalar, Sse2, Avx2 };
    // Whether this build and processor can run the kernel. Any thread.
    static bool kernelSupported(Kernel kernel);
    // The fastest supported kernel, which construction selects.
    static Kernel bestKernel();
    // Selects a kernel; false (and no change) when it is not supported. Control thread,
    // not while a transform runs.
    bool useKernel(Kernel kernel);
    Kernel kernel() const { return kernel_; }

  private:
    // The tables and work arrays as the vector kernels take them.
    fft_kernel::Tables tables();
    // Complex FFT of the M-point signal read from interleavedIn (the real input viewed as
    // complex pairs) or, when that is null, from second. Pass i writes to first when i is
    // odd and to second when it is even; the last pass writes interleavedOut instead,
    // conjugated, when that is given (the inverse).
    void transformHalf(const float* interleavedIn, float* const* first, float* const* second,
                       float* interleavedOut);
    void forwardPlain(float* output, const float* input);
    void splitForward(float* output) const;
    void splitInverse(const float* input, float* zr, float* zi) const;

    int n_ = 1;
    int half_ = 0;    // M = N / 2, size of the complex transform
    int passes_ = 0;  // passes of the complex transform
    // Twiddles in the order the passes use them: w^p, w^2p, w^3p for each radix-4 pass.
    std::vector<float> stageTwiddles_;
    // Half of cos and sin of 2 pi k / N for k < M/2, for separating and rebuilding the
    // spectra of the even and odd samples.
    std::vector<float> splitHalfCos_, splitHalfSin_;
    // One split-complex work array of M values (re, then im); output is the other.
    std::vector<float> scratch_;
    Kernel kernel_ = Kernel::Scalar;
    const fft_kernel::Functions* vector_ = nullptr;  // null: the plain passes
};

}  // namespace qx
