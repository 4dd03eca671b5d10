// The passes of RealFft written once over a lane type L that holds L::kWidth neighbouring
// values (4 with SSE2, 8 with AVX2). Every lane performs the same float operations in the
// same order as the plain passes in real_fft.cpp, so every kernel gives the same floats.
// Each instruction-set source file includes this header and instantiates it with a lane
// type of internal linkage; nothing here may call an inline library function, which could
// be shared across files compiled for different instruction sets.
#pragma once

namespace qx::fft_kernel {

// What a transform reads and writes, lent by RealFft for one call.
struct Tables {
    int half;    // M = N / 2, kMinHalf or more
    int passes;  // passes of the complex transform
    const float* stageTwiddles;
    const float* splitHalfCos;
    const float* splitHalfSin;
    float* scratchRe;  // M floats each
    float* scratchIm;
};

// The N real samples of a forward transform: quarter j (samples jN/4 .. (j+1)N/4 - 1)
// starts at quarter[j], and each sample is multiplied by window[i] first when a window
// is given.
struct RealInput {
    const float* quarter[4];
    const float* window;
};

// Packed spectrum of N real samples, and back (the layout and scaling of RealFft).
struct Functions {
    void (*forward)(const Tables&, float* output, const RealInput& input);
    void (*inverse)(const Tables&, float* output, const float* input);
};

// Shorter transforms run the plain passes: every vector pass then has whole vectors.
constexpr int kMinHalf = 64;

// Defined by the instruction-set source files; null where a set is not built.
const Functions* sse2Functions();
const Functions* avx2Functions();

namespace {

// One float: the tails of the split steps, which do not fill a vector.
struct ScalarLane {
    static constexpr int kWidth = 1;
    using F = float;
    static F load(const float* p) { return *p; }
    static void store(float* p, F v) { *p = v; }
    static F loadReversed(const float* p) { return *p; }
    static void storeReversed(float* p, F v) { *p = v; }
    static F splat(float x) { return x; }
    static F add(F a, F b) { return a + b; }
    static F sub(F a, F b) { return a - b; }
    static F mul(F a, F b) { return a * b; }
    static F negate(F a) { return -a; }
};

// Radix-4 butterfly of a, b, c, d (b a quarter of the length after a, c half, d three
// quarters): y0 = a + c + b + d, y1 = a - c - j(b - d), y2 = a + c - b - d,
// y3 = a - c + j(b - d).
template <class L>
inline void butterfly(typename L::F ar, typename L::F ai, typename L::F br, typename L::F bi,
                      typename L::F cr, typename L::F ci, typename L::F dr, typename L::F di,
                      typename L::F* yr, typename L::F* yi) {
    using F = typename L::F;
    const F sACr = L::add(ar, cr), sACi = L::add(ai, ci);
    const F dACr = L::sub(ar, cr), dACi = L::sub(ai, ci);
    const F sBDr = L::add(br, dr), sBDi = L::add(bi, di);
    const F dBDr = L::sub(br, dr), dBDi = L::sub(bi, di);
    yr[0] = L::add(sACr, sBDr);
    yi[0] = L::add(sACi, sBDi);
    yr[1] = L::add(dACr, dBDi);
    yi[1] = L::sub(dACi, dBDr);
    yr[2] = L::sub(sACr, sBDr);
    yi[2] = L::sub(sACi, sBDi);
    yr[3] = L::sub(dACr, dBDi);
    yi[3] = L::add(dACi, dBDr);
}

// t = w t for complex w and t: (wr tr - wi ti, wr ti + wi tr).
template <class L>
inline void rotate(typename L::F wr, typename L::F wi, typename L::F& tr, typename L::F& ti) {
    const typename L::F r = L::sub(L::mul(wr, tr), L::mul(wi, ti));
    ti = L::add(L::mul(wr, ti), L::mul(wi, tr));
    tr = r;
}

// First radix-4 pass over length n (stride 1), kWidth butterflies p at a time. Element m
// is (xr[m], xi[m]), or with a real input the samples 2m and 2m + 1 viewed as a complex
// pair. Butterfly p writes y[4p .. 4p + 3]. Twiddles: six runs of n/4 floats (w^p, w^2p,
// w^3p, re then im).
template <class L, bool kReal, bool kWindowed>
void firstPass(int n, const RealInput* real, const float* xr, const float* xi, float* yr, float* yi,
               const float* tw) {
    using F = typename L::F;
    const int q = n / 4;
    for (int p = 0; p < q; p += L::kWidth) {
        F r[4], i[4];
        for (int j = 0; j < 4; ++j) {
            if constexpr (kWindowed) {
                L::loadDeinterleaved(real->quarter[j] + 2 * p, real->window + 2 * (p + j * q), r[j],
                                     i[j]);
            } else if constexpr (kReal) {
                L::loadDeinterleaved(real->quarter[j] + 2 * p, nullptr, r[j], i[j]);
            } else {
                r[j] = L::load(xr + p + j * q);
                i[j] = L::load(xi + p + j * q);
            }
        }
        F outR[4], outI[4];
        butterfly<L>(r[0], i[0], r[1], i[1], r[2], i[2], r[3], i[3], outR, outI);
        for (int j = 1; j < 4; ++j)
            rotate<L>(L::load(tw + (2 * j - 2) * q + p), L::load(tw + (2 * j - 1) * q + p), outR[j],
                      outI[j]);
        L::storeTransposed(yr + 4 * p, outR);
        L::storeTransposed(yi + 4 * p, outI);
    }
}

// Radix-4 pass over length n at stride s >= 4: butterfly p reads s contiguous values of
// each quarter and uses one set of twiddles (w^p, w^2p, w^3p: 6 floats per p).
template <class L>
void radix4Pass(int n, int s, const float* xr, const float* xi, float* yr, float* yi,
                const float* tw) {
    using F = typename L::F;
    const int q = n / 4;
    const int qs = q * s;
    if constexpr (L::kWidth == 8) {
        if (s == 4) {
            // Half a vector per butterfly: p and p + 1 share one, their inputs adjacent.
            for (int p = 0; p < q; p += 2) {
                const float* w = tw + 6 * p;
                F wv[6];
                for (int h = 0; h < 6; ++h) wv[h] = L::splatPair(w[h], w[h + 6]);
                const float* ar = xr + s * p;
                const float* ai = xi + s * p;
                F outR[4], outI[4];
                butterfly<L>(L::load(ar), L::load(ai), L::load(ar + qs), L::load(ai + qs),
                             L::load(ar + 2 * qs), L::load(ai + 2 * qs), L::load(ar + 3 * qs),
                             L::load(ai + 3 * qs), outR, outI);
                for (int j = 1; j < 4; ++j)
                    rotate<L>(wv[2 * j - 2], wv[2 * j - 1], outR[j], outI[j]);
                float* y0r = yr + 4 * s * p;
                float* y0i = yi + 4 * s * p;
                for (int j = 0; j < 4; ++j) {
                    L::storeHalves(y0r + j * s, y0r + 4 * s + j * s, outR[j]);
                    L::storeHalves(y0i + j * s, y0i + 4 * s + j * s, outI[j]);
                }
            }
            return;
        }
    }
    for (int p = 0; p < q; ++p) {
        const float* w = tw + 6 * p;
        F wv[6];
        for (int h = 0; h < 6; ++h) wv[h] = L::splat(w[h]);
        const float* ar = xr + s * p;
        const float* ai = xi + s * p;
        float* y0r = yr + 4 * s * p;
        float* y0i = yi + 4 * s * p;
        for (int k = 0; k < s; k += L::kWidth) {
            F outR[4], outI[4];
            butterfly<L>(L::load(ar + k), L::load(ai + k), L::load(ar + k + qs),
                         L::load(ai + k + qs), L::load(ar + k + 2 * qs), L::load(ai + k + 2 * qs),
                         L::load(ar + k + 3 * qs), L::load(ai + k + 3 * qs), outR, outI);
            for (int j = 1; j < 4; ++j) rotate<L>(wv[2 * j - 2], wv[2 * j - 1], outR[j], outI[j]);
            for (int j = 0; j < 4; ++j) {
                L::store(y0r + k + j * s, outR[j]);
                L::store(y0i + k + j * s, outI[j]);
            }
        }
    }
}

// Output of the last pass: split arrays, or interleaved and conjugated (the inverse
// transform computes conj(FFT(conj Z)) and writes the real samples straight out).
template <class L, bool kInterleaved>
inline void put(float* re, float* im, int index, typename L::F r, typename L::F i) {
    if constexpr (kInterleaved) {
        L::storeInterleaved(re + 2 * index, r, L::negate(i));
    } else {
        L::store(re + index, r);
        L::store(im + index, i);
    }
}

// Last pass, length 4 or 2 at stride s: the twiddles are all 1.
template <class L, bool kInterleaved>
void lastPass(int n, int s, const float* xr, const float* xi, float* re, float* im) {
    using F = typename L::F;
    for (int k = 0; k < s; k += L::kWidth) {
        if (n == 4) {
            F outR[4], outI[4];
            butterfly<L>(L::load(xr + k), L::load(xi + k), L::load(xr + k + s), L::load(xi + k + s),
                         L::load(xr + k + 2 * s), L::load(xi + k + 2 * s), L::load(xr + k + 3 * s),
                         L::load(xi + k + 3 * s), outR, outI);
            for (int j = 0; j < 4; ++j) put<L, kInterleaved>(re, im, k + j * s, outR[j], outI[j]);
        } else {
            const F ar = L::load(xr + k), ai = L::load(xi + k);
            const F br = L::load(xr + k + s), bi = L::load(xi + k + s);
            put<L, kInterleaved>(re, im, k, L::add(ar, br), L::add(ai, bi));
            put<L, kInterleaved>(re, im, k + s, L::sub(ar, br), L::sub(ai, bi));
        }
    }
}

// Complex FFT of M points read from the real input or, when that is null, from second.
// Pass i writes to first when i is odd and to second when it is even; the last pass
// writes interleavedOut instead, conjugated, when that is given (the inverse).
template <class L>
void transformHalf(const Tables& t, const RealInput* real, float* const* first,
                   float* const* second, float* interleavedOut) {
    float* const* dest = first;
    float* const* other = second;
    int len = t.half;
    const float* tw = t.stageTwiddles;
    if (real && real->window)
        firstPass<L, true, true>(len, real, nullptr, nullptr, dest[0], dest[1], tw);
    else if (real)
        firstPass<L, true, false>(len, real, nullptr, nullptr, dest[0], dest[1], tw);
    else
        firstPass<L, false, false>(len, nullptr, second[0], second[1], dest[0], dest[1], tw);
    tw += 6 * (len / 4);
    len /= 4;
    int s = 4;
    const float* xr = dest[0];
    const float* xi = dest[1];
    dest = second;
    other = first;
    for (; len > 4; len /= 4, s *= 4) {
        radix4Pass<L>(len, s, xr, xi, dest[0], dest[1], tw);
        tw += 6 * (len / 4);
        xr = dest[0];
        xi = dest[1];
        float* const* swap = dest;
        dest = other;
        other = swap;
    }
    if (interleavedOut)
        lastPass<L, true>(len, s, xr, xi, interleavedOut, nullptr);
    else
        lastPass<L, false>(len, s, xr, xi, dest[0], dest[1]);
}

// X[k] = E[k] + W^k O[k] and X[M-k] from Z[k] and Z[M-k], in place, for k from k to
// kEnd - 1 in steps of whole vectors; returns the first k not done.
template <class L>
int splitForwardRun(const Tables& t, float* output, int k, int kEnd) {
    using F = typename L::F;
    constexpr int w = L::kWidth;
    const int m = t.half;
    float* lowRe = output;
    float* lowIm = output + m;
    float* highRe = output + m;  // highRe[-k]
    float* highIm = output + 2 * m;
    const F half = L::splat(0.5f);
    for (; k + w <= kEnd; k += w) {
        const F zr = L::load(lowRe + k), zi = L::load(lowIm + k);
        const F yr = L::loadReversed(highRe - k - w + 1), yi = L::loadReversed(highIm - k - w + 1);
        const F hc = L::load(t.splitHalfCos + k), hs = L::load(t.splitHalfSin + k);
        const F er = L::mul(half, L::add(zr, yr));
        const F nei = L::mul(half, L::sub(yi, zi));
        const F orr = L::add(zi, yi);
        const F oi = L::sub(yr, zr);
        const F tr = L::add(L::mul(hc, orr), L::mul(hs, oi));
        const F nti = L::sub(L::mul(hs, orr), L::mul(hc, oi));
        L::store(lowRe + k, L::add(er, tr));
        L::store(lowIm + k, L::add(nei, nti));
        L::storeReversed(highRe - k - w + 1, L::sub(er, tr));
        L::storeReversed(highIm - k - w + 1, L::sub(nti, nei));
    }
    return k;
}

template <class L>
void forward(const Tables& t, float* output, const RealInput& input) {
    const int m = t.half;
    float* const out[2] = {output, output + m};
    float* const work[2] = {t.scratchRe, t.scratchIm};
    if (t.passes % 2)
        transformHalf<L>(t, &input, out, work, nullptr);
    else
        transformHalf<L>(t, &input, work, out, nullptr);
    const float z0r = output[0], z0i = output[m];
    output[0] = z0r + z0i;
    output[m] = z0r - z0i;
    const int k = splitForwardRun<L>(t, output, 1, m / 2);
    splitForwardRun<ScalarLane>(t, output, k, m / 2);
}

// Z[k] and Z[M-k] (conjugated) from X[k] and X[M-k], for k from k to kEnd - 1 in steps of
// whole vectors; returns the first k not done.
template <class L>
int splitInverseRun(const Tables& t, const float* input, float* zr, float* zi, int k, int kEnd) {
    using F = typename L::F;
    constexpr int w = L::kWidth;
    const int m = t.half;
    const float* lowRe = input;
    const float* lowIm = input + m;
    const float* highRe = input + m;
    const float* highIm = input + 2 * m;
    for (; k + w <= kEnd; k += w) {
        // X[k] = lowRe - i lowIm, X[M-k] = highRe - i highIm (packed sign).
        const F xr = L::load(lowRe + k), xi = L::negate(L::load(lowIm + k));
        const F yr = L::loadReversed(highRe - k - w + 1);
        const F yi = L::negate(L::loadReversed(highIm - k - w + 1));
        const F hc = L::load(t.splitHalfCos + k), hs = L::load(t.splitHalfSin + k);
        const F er = L::add(xr, yr), ei = L::sub(xi, yi);
        const F dr = L::sub(xr, yr), di = L::add(xi, yi);
        const F hor = L::sub(L::mul(dr, hc), L::mul(di, hs));
        const F hoi = L::add(L::mul(dr, hs), L::mul(di, hc));
        const F orr = L::add(hor, hor), oi = L::add(hoi, hoi);
        L::store(zr + k, L::sub(er, oi));
        L::store(zi + k, L::negate(L::add(ei, orr)));
        L::storeReversed(zr + m - k - w + 1, L::add(er, oi));
        L::storeReversed(zi + m - k - w + 1, L::sub(ei, orr));
    }
    return k;
}

template <class L>
void inverse(const Tables& t, float* output, const float* input) {
    const int m = t.half;
    float* const out[2] = {output, output + m};
    float* const work[2] = {t.scratchRe, t.scratchIm};
    float* const* z = t.passes % 2 ? work : out;
    z[0][0] = input[0] + input[m];
    z[1][0] = -(input[0] - input[m]);
    z[0][m / 2] = 2.0f * input[m / 2];
    z[1][m / 2] = -2.0f * input[m + m / 2];
    const int k = splitInverseRun<L>(t, input, z[0], z[1], 1, m / 2);
    splitInverseRun<ScalarLane>(t, input, z[0], z[1], k, m / 2);
    if (t.passes % 2)
        transformHalf<L>(t, nullptr, out, work, output);
    else
        transformHalf<L>(t, nullptr, work, out, output);
}

template <class L>
const Functions* functions() {
    static constexpr Functions f = {&forward<L>, &inverse<L>};
    return &f;
}

}  // namespace

}  // namespace qx::fft_kernel
