// Real FFT as a half-size complex FFT followed by a split step that separates the spectra
// of the even and odd samples. The complex FFT is a Stockham (self-sorting) decimation in
// frequency on split real/imaginary arrays, so every inner loop runs over contiguous
// floats and vectorises: radix-4 passes with twiddles, then a radix-4 or radix-2 pass
// without. The passes alternate between the output array and one scratch array.
#include "dsp/real_fft.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "dsp/cpu_features.h"
#include "dsp/real_fft_kernel.h"

namespace qx {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The work arrays are staggered by this many floats so that same-index accesses to
// different arrays do not alias modulo 4096 bytes (which stalls loads behind stores).
constexpr int kPad = 16;

// Output of the last pass: split arrays, or interleaved and conjugated (the inverse
// transform computes conj(FFT(conj Z)) and writes the real samples straight out).
struct Sink {
    float* re;
    float* im;
    float* interleaved;  // non-null selects the interleaved form
};

// First radix-4 pass over length n at stride 1. Element m is read at x[kStep * m], so the
// forward transform reads the interleaved real input directly. Butterfly p writes
// y[4p .. 4p + 3]. Twiddles: six runs of n/4 floats (w^p, w^2p, w^3p, re then im).
template <int kStep>
void firstPass(int n, const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
               float* __restrict yi, const float* __restrict tw) {
    const int q = n / 4;
    const float* __restrict w1r = tw;
    const float* __restrict w1i = tw + q;
    const float* __restrict w2r = tw + 2 * q;
    const float* __restrict w2i = tw + 3 * q;
    const float* __restrict w3r = tw + 4 * q;
    const float* __restrict w3i = tw + 5 * q;
    for (int p = 0; p < q; ++p) {
        const float ar = xr[kStep * p], ai = xi[kStep * p];
        const float br = xr[kStep * (p + q)], bi = xi[kStep * (p + q)];
        const float cr = xr[kStep * (p + 2 * q)], ci = xi[kStep * (p + 2 * q)];
        const float dr = xr[kStep * (p + 3 * q)], di = xi[kStep * (p + 3 * q)];
        const float sACr = ar + cr, sACi = ai + ci, dACr = ar - cr, dACi = ai - ci;
        const float sBDr = br + dr, sBDi = bi + di, dBDr = br - dr, dBDi = bi - di;
        // y1 = w (a - c - j(b - d)), y2 = w^2 (a + c - b - d), y3 = w^3 (a - c + j(b - d))
        const float t1r = dACr + dBDi, t1i = dACi - dBDr;
        const float t2r = sACr - sBDr, t2i = sACi - sBDi;
        const float t3r = dACr - dBDi, t3i = dACi + dBDr;
        yr[4 * p] = sACr + sBDr;
        yi[4 * p] = sACi + sBDi;
        yr[4 * p + 1] = w1r[p] * t1r - w1i[p] * t1i;
        yi[4 * p + 1] = w1r[p] * t1i + w1i[p] * t1r;
        yr[4 * p + 2] = w2r[p] * t2r - w2i[p] * t2i;
        yi[4 * p + 2] = w2r[p] * t2i + w2i[p] * t2r;
        yr[4 * p + 3] = w3r[p] * t3r - w3i[p] * t3i;
        yi[4 * p + 3] = w3r[p] * t3i + w3i[p] * t3r;
    }
}

// Radix-4 pass over length n at stride s >= 4: the inner loop runs over s contiguous values
// with one set of twiddles (w^p, w^2p, w^3p: 6 floats per p).
void radix4Pass(int n, int s, const float* __restrict xr, const float* __restrict xi,
                float* __restrict yr, float* __restrict yi, const float* __restrict tw) {
    const int q = n / 4;
    const int qs = q * s;
    for (int p = 0; p < q; ++p) {
        const float* w = tw + 6 * p;
        const float w1r = w[0], w1i = w[1], w2r = w[2], w2i = w[3], w3r = w[4], w3i = w[5];
        const float* ar = xr + s * p;
        const float* ai = xi + s * p;
        float* y0r = yr + 4 * s * p;
        float* y0i = yi + 4 * s * p;
        // s is a multiple of 4: blocks of four give whole vectors with no remainder loop.
        for (int k0 = 0; k0 < s; k0 += 4) {
#pragma GCC ivdep
            for (int k = k0; k < k0 + 4; ++k) {
                const float sACr = ar[k] + ar[k + 2 * qs], sACi = ai[k] + ai[k + 2 * qs];
                const float dACr = ar[k] - ar[k + 2 * qs], dACi = ai[k] - ai[k + 2 * qs];
                const float sBDr = ar[k + qs] + ar[k + 3 * qs], sBDi = ai[k + qs] + ai[k + 3 * qs];
                const float dBDr = ar[k + qs] - ar[k + 3 * qs], dBDi = ai[k + qs] - ai[k + 3 * qs];
                const float t1r = dACr + dBDi, t1i = dACi - dBDr;
                const float t2r = sACr - sBDr, t2i = sACi - sBDi;
                const float t3r = dACr - dBDi, t3i = dACi + dBDr;
                y0r[k] = sACr + sBDr;
                y0i[k] = sACi + sBDi;
                y0r[k + s] = w1r * t1r - w1i * t1i;
                y0i[k + s] = w1r * t1i + w1i * t1r;
                y0r[k + 2 * s] = w2r * t2r - w2i * t2i;
                y0i[k + 2 * s] = w2r * t2i + w2i * t2r;
                y0r[k + 3 * s] = w3r * t3r - w3i * t3i;
                y0i[k + 3 * s] = w3r * t3i + w3i * t3r;
            }
        }
    }
}

template <bool kInterleaved>
inline void put(const Sink& out, int index, float re, float im) {
    if constexpr (kInterleaved) {
        out.interleaved[2 * index] = re;
        out.interleaved[2 * index + 1] = -im;
    } else {
        out.re[index] = re;
        out.im[index] = im;
    }
}

// Last pass, length 4 or 2 at stride s: twiddles are all 1.
template <bool kInterleaved>
void lastPass4(int s, const float* __restrict xr, const float* __restrict xi, const Sink& out) {
#pragma GCC ivdep
    for (int k = 0; k < s; ++k) {
        const float sACr = xr[k] + xr[k + 2 * s], sACi = xi[k] + xi[k + 2 * s];
        const float dACr = xr[k] - xr[k + 2 * s], dACi = xi[k] - xi[k + 2 * s];
        const float sBDr = xr[k + s] + xr[k + 3 * s], sBDi = xi[k + s] + xi[k + 3 * s];
        const float dBDr = xr[k + s] - xr[k + 3 * s], dBDi = xi[k + s] - xi[k + 3 * s];
        put<kInterleaved>(out, k, sACr + sBDr, sACi + sBDi);
        put<kInterleaved>(out, k + s, dACr + dBDi, dACi - dBDr);
        put<kInterleaved>(out, k + 2 * s, sACr - sBDr, sACi - sBDi);
        put<kInterleaved>(out, k + 3 * s, dACr - dBDi, dACi + dBDr);
    }
}

template <bool kInterleaved>
void lastPass2(int s, const float* __restrict xr, const float* __restrict xi, const Sink& out) {
#pragma GCC ivdep
    for (int k = 0; k < s; ++k) {
        put<kInterleaved>(out, k, xr[k] + xr[k + s], xi[k] + xi[k + s]);
        put<kInterleaved>(out, k + s, xr[k] - xr[k + s], xi[k] - xi[k + s]);
    }
}

template <bool kInterleaved>
void lastPass(int n, int s, const float* xr, const float* xi, const Sink& out) {
    if (n == 4)
        lastPass4<kInterleaved>(s, xr, xi, out);
    else
        lastPass2<kInterleaved>(s, xr, xi, out);
}

}  // namespace

namespace {

// The transform exists for powers of two only; any other size is taken as the power of
// two its rounded logarithm names (floor(log2 n + 0.5)), so tables and loops always agree.
int powerOfTwoSize(int n) {
    if (n <= 1) return 1;
    const int bits = static_cast<int>(std::floor(std::log2(static_cast<double>(n)) + 0.5));
    return 1 << std::min(bits, 30);
}

}  // namespace

RealFft::RealFft(int n) : n_(powerOfTwoSize(n)) {
    if (n_ < 8) return;  // 1, 2 and 4 points are computed directly
    half_ = n_ / 2;
    const int m = half_;

    // Radix-4 passes with twiddles while the length exceeds 4, each storing w^p, w^2p,
    // w^3p: the first pass (stride 1) as six runs of re/im, later passes as six floats
    // per p. The last pass, of length 4 or 2, needs none.
    auto twiddle = [](int power, int length, bool imaginary) {
        const double angle = -2.0 * kPi * power / length;
        return static_cast<float>(imaginary ? std::sin(angle) : std::cos(angle));
    };
    passes_ = 1;
    int len = m;
    if (len >= 8) {
        const int q = len / 4;
        for (int h = 1; h <= 3; ++h)
            for (int part = 0; part < 2; ++part)
                for (int p = 0; p < q; ++p) stageTwiddles_.push_back(twiddle(h * p, len, part));
        len /= 4;
        ++passes_;
    }
    for (; len > 4; len /= 4, ++passes_)
        for (int p = 0; p < len / 4; ++p)
            for (int h = 1; h <= 3; ++h)
                for (int part = 0; part < 2; ++part)
                    stageTwiddles_.push_back(twiddle(h * p, len, part));

    // Split step: W^k / 2 = exp(-2 pi i k / N) / 2 for k < M/2.
    splitHalfCos_.resize(m / 2);
    splitHalfSin_.resize(m / 2);
    for (int k = 0; k < m / 2; ++k) {
        const double angle = 2.0 * kPi * k / n_;
        splitHalfCos_[k] = static_cast<float>(0.5 * std::cos(angle));
        splitHalfSin_[k] = static_cast<float>(0.5 * std::sin(angle));
    }

    scratch_.assign(2 * static_cast<size_t>(m) + kPad, 0.0f);
    useKernel(bestKernel());
}

bool RealFft::kernelSupported(Kernel kernel) {
    switch (kernel) {
        case Kernel::Scalar:
            return true;
        case Kernel::Sse2:
            return fft_kernel::sse2Functions() != nullptr;
        case Kernel::Avx2:
            return fft_kernel::avx2Functions() != nullptr && cpuHasAvx2();
    }
    return false;
}

RealFft::Kernel RealFft::bestKernel() {
    if (kernelSupported(Kernel::Avx2)) return Kernel::Avx2;
    if (kernelSupported(Kernel::Sse2)) return Kernel::Sse2;
    return Kernel::Scalar;
}

bool RealFft::useKernel(Kernel kernel) {
    if (!kernelSupported(kernel)) return false;
    kernel_ = kernel;
    vector_ = nullptr;
    if (half_ >= fft_kernel::kMinHalf) {
        if (kernel == Kernel::Avx2)
            vector_ = fft_kernel::avx2Functions();
        else if (kernel == Kernel::Sse2)
            vector_ = fft_kernel::sse2Functions();
    }
    return true;
}

fft_kernel::Tables RealFft::tables() {
    return {half_,
            passes_,
            stageTwiddles_.data(),
            splitHalfCos_.data(),
            splitHalfSin_.data(),
            scratch_.data(),
            scratch_.data() + half_ + kPad};
}

void RealFft::transformHalf(const float* interleavedIn, float* const* first, float* const* second,
                            float* interleavedOut) {
    float* const* dest = first;
    float* const* other = second;
    const float* xr = second[0];  // the inverse split step leaves the input here
    const float* xi = second[1];
    int len = half_;
    int s = 1;
    const float* tw = stageTwiddles_.data();
    if (len >= 8) {
        if (interleavedIn)
            firstPass<2>(len, interleavedIn, interleavedIn + 1, dest[0], dest[1], tw);
        else
            firstPass<1>(len, xr, xi, dest[0], dest[1], tw);
        tw += 6 * (len / 4);
        len /= 4;
        s = 4;
        xr = dest[0];
        xi = dest[1];
        std::swap(dest, other);
        for (; len > 4; len /= 4, s *= 4) {
            radix4Pass(len, s, xr, xi, dest[0], dest[1], tw);
            tw += 6 * (len / 4);
            xr = dest[0];
            xi = dest[1];
            std::swap(dest, other);
        }
    } else if (interleavedIn) {
        // M = 4 has no pass with twiddles; gather the input.
        for (int i = 0; i < len; ++i) {
            other[0][i] = interleavedIn[2 * i];
            other[1][i] = interleavedIn[2 * i + 1];
        }
    }
    if (interleavedOut)
        lastPass<true>(len, s, xr, xi, Sink{nullptr, nullptr, interleavedOut});
    else
        lastPass<false>(len, s, xr, xi, Sink{dest[0], dest[1], nullptr});
}

void RealFft::forward(float* output, const float* input) {
    if (vector_) {
        const int quarter = n_ / 4;
        const fft_kernel::RealInput real = {
            {input, input + quarter, input + 2 * quarter, input + 3 * quarter}, nullptr};
        vector_->forward(tables(), output, real);
        return;
    }
    forwardPlain(output, input);
}

void RealFft::forwardWindowed(float* output, const float* ring, int start, const float* window) {
    const int n = n_;
    start &= n - 1;
    const int quarter = std::max(n / 4, 1);
    if (vector_ && start % quarter == 0) {
        fft_kernel::RealInput real = {{}, window};
        for (int j = 0; j < 4; ++j) real.quarter[j] = ring + ((start + j * quarter) & (n - 1));
        vector_->forward(tables(), output, real);
        return;
    }
    // Windowed into the array the first pass of the plain transform does not write (up
    // to 8 points, where that pass gathers its input in place, onto the stack).
    float small[8];
    float* windowed = n <= 8 ? small : passes_ % 2 ? scratch_.data() : output;
    for (int i = 0; i < n; ++i) windowed[i] = ring[(start + i) & (n - 1)] * window[i];
    forwardPlain(output, windowed);
}

void RealFft::forwardPlain(float* output, const float* input) {
    const int n = n_;
    if (n == 1) {
        output[0] = input[0];
        return;
    }
    if (n == 2) {
        output[0] = input[0] + input[1];
        output[1] = input[0] - input[1];
        return;
    }
    if (n == 4) {
        const float s02 = input[0] + input[2], s13 = input[1] + input[3];
        output[0] = s02 + s13;
        output[2] = s02 - s13;
        output[1] = input[0] - input[2];
        output[3] = input[1] - input[3];
        return;
    }

    // Z = FFT of z[m] = x[2m] + i x[2m+1]; then X[k] = E[k] + W^k O[k] with E, O the
    // spectra of the even and odd samples, recovered from Z[k] and conj Z[M-k].
    // The passes alternate between output and scratch so that the last lands in output,
    // where the split step runs in place.
    const int m = half_;
    float* const out[2] = {output, output + m};
    float* const work[2] = {scratch_.data(), scratch_.data() + m + kPad};
    if (passes_ % 2)
        transformHalf(input, out, work, nullptr);
    else
        transformHalf(input, work, out, nullptr);
    splitForward(output);
}

void RealFft::splitForward(float* output) const {
    // Z[k] sits at (output[k], output[M + k]); X[k] and X[M-k] replace Z[k] and Z[M-k] in
    // the same four slots, so the step runs in place.
    const int m = half_;
    const float z0r = output[0], z0i = output[m];
    output[0] = z0r + z0i;
    output[m] = z0r - z0i;
    // X[M/2] = conj Z[M/2]; with the packed sign both stay as they are.
    float* __restrict lowRe = output;           // elements 1 .. M/2 - 1
    float* __restrict lowIm = output + m;       // elements M + 1 .. 3M/2 - 1
    float* __restrict highRe = output + m;      // highRe[-k]: elements M/2 + 1 .. M - 1
    float* __restrict highIm = output + 2 * m;  // highIm[-k]: elements 3M/2 + 1 .. 2M - 1
    const float* __restrict hc = splitHalfCos_.data();
    const float* __restrict hs = splitHalfSin_.data();
#pragma GCC ivdep
    for (int k = 1; k < m / 2; ++k) {
        const float zr = lowRe[k], zi = lowIm[k];
        const float yr = highRe[-k], yi = highIm[-k];  // Z[M-k]
        const float er = 0.5f * (zr + yr);
        const float nei = 0.5f * (yi - zi);  // -Im E
        // O = (Z[k] - conj Z[M-k]) / 2i; the 1/2 sits in the tables.
        const float orr = zi + yi;
        const float oi = yr - zr;
        const float tr = hc[k] * orr + hs[k] * oi;   // T = W^k O, W^k = cos - i sin
        const float nti = hs[k] * orr - hc[k] * oi;  // -Im T
        // X[k] = E + T and X[M-k] = conj(E - T), imaginary parts stored negated.
        lowRe[k] = er + tr;
        lowIm[k] = nei + nti;
        highRe[-k] = er - tr;
        highIm[-k] = nti - nei;
    }
}

void RealFft::inverse(float* output, const float* input) {
    const int n = n_;
    if (n == 1) {
        output[0] = input[0];
        return;
    }
    if (n == 2) {
        output[0] = input[0] + input[1];
        output[1] = input[0] - input[1];
        return;
    }
    if (n == 4) {
        const float s02 = input[0] + input[2], d02 = input[0] - input[2];
        output[0] = s02 + 2.0f * input[1];
        output[2] = s02 - 2.0f * input[1];
        output[1] = d02 + 2.0f * input[3];
        output[3] = d02 - 2.0f * input[3];
        return;
    }
    if (vector_) {
        vector_->inverse(tables(), output, input);
        return;
    }
    // The last pass writes the interleaved output from scratch; the ones before
    // alternate between output (as split arrays) and scratch.
    const int m = half_;
    float* const out[2] = {output, output + m};
    float* const work[2] = {scratch_.data(), scratch_.data() + m + kPad};
    if (passes_ % 2) {
        splitInverse(input, work[0], work[1]);
        transformHalf(nullptr, out, work, output);
    } else {
        splitInverse(input, out[0], out[1]);
        transformHalf(nullptr, work, out, output);
    }
}

void RealFft::splitInverse(const float* input, float* __restrict zr, float* __restrict zi) const {
    // Z[k] = E[k] + i O[k], E = X[k] + conj X[M-k], O = (X[k] - conj X[M-k]) conj(W^k):
    // twice the half-size spectrum, which supplies the factor N. Stored conjugated so
    // that the forward complex FFT computes the inverse.
    const int m = half_;
    zr[0] = input[0] + input[m];
    zi[0] = -(input[0] - input[m]);
    zr[m / 2] = 2.0f * input[m / 2];
    zi[m / 2] = -2.0f * input[m + m / 2];
    const float* __restrict lowRe = input;
    const float* __restrict lowIm = input + m;
    const float* __restrict highRe = input + m;
    const float* __restrict highIm = input + 2 * m;
    const float* __restrict hc = splitHalfCos_.data();
    const float* __restrict hs = splitHalfSin_.data();
#pragma GCC ivdep
    for (int k = 1; k < m / 2; ++k) {
        // X[k] = lowRe - i lowIm, X[M-k] = highRe - i highIm (packed sign).
        const float xr = lowRe[k], xi = -lowIm[k];
        const float yr = highRe[-k], yi = -highIm[-k];
        const float er = xr + yr, ei = xi - yi;
        const float dr = xr - yr, di = xi + yi;
        // O = D (cos + i sin), from the half-value tables.
        const float hor = dr * hc[k] - di * hs[k];
        const float hoi = dr * hs[k] + di * hc[k];
        const float orr = hor + hor, oi = hoi + hoi;
        zr[k] = er - oi;
        zi[k] = -(ei + orr);
        zr[m - k] = er + oi;
        zi[m - k] = ei - orr;
    }
}

void RealFft::rescale(float* buffer) const {
    const float scale = 1.0f / static_cast<float>(n_);
    for (int i = n_ - 1; i >= 0; --i) buffer[i] *= scale;
}

}  // namespace qx
