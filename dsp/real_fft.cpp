// Real FFT as a half-size complex FFT (radix-4 Stockham, split real/imaginary arrays so
// that the inner loops vectorise) followed by a split step that separates the spectra of
// the even and odd samples.
#include "dsp/real_fft.h"

#include <cmath>
#include <utility>

namespace qx {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Twiddles {
    const float* w1r;
    const float* w1i;
    const float* w2r;
    const float* w2i;
    const float* w3r;
    const float* w3i;
};

Twiddles stageTwiddles(const float* table, int quarter) {
    return {table,
            table + quarter,
            table + 2 * quarter,
            table + 3 * quarter,
            table + 4 * quarter,
            table + 5 * quarter};
}

// First radix-4 stage of a length-n transform (stride 1). Reads element m at
// x[kStep * m], so the forward transform can read the interleaved real input directly.
// Writes the four outputs of butterfly p to y[4p .. 4p + 3].
template <int kStep>
void firstStage(int n, const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
                float* __restrict yi, const Twiddles& w) {
    const int q = n / 4;
    for (int p = 0; p < q; ++p) {
        const float ar = xr[kStep * p], ai = xi[kStep * p];
        const float br = xr[kStep * (p + q)], bi = xi[kStep * (p + q)];
        const float cr = xr[kStep * (p + 2 * q)], ci = xi[kStep * (p + 2 * q)];
        const float dr = xr[kStep * (p + 3 * q)], di = xi[kStep * (p + 3 * q)];
        const float sACr = ar + cr, sACi = ai + ci, dACr = ar - cr, dACi = ai - ci;
        const float sBDr = br + dr, sBDi = bi + di, dBDr = br - dr, dBDi = bi - di;
        // y1 = w1 (a - c - j(b - d)), y2 = w2 (a + c - b - d), y3 = w3 (a - c + j(b - d))
        const float t1r = dACr + dBDi, t1i = dACi - dBDr;
        const float t2r = sACr - sBDr, t2i = sACi - sBDi;
        const float t3r = dACr - dBDi, t3i = dACi + dBDr;
        yr[4 * p] = sACr + sBDr;
        yi[4 * p] = sACi + sBDi;
        yr[4 * p + 1] = w.w1r[p] * t1r - w.w1i[p] * t1i;
        yi[4 * p + 1] = w.w1r[p] * t1i + w.w1i[p] * t1r;
        yr[4 * p + 2] = w.w2r[p] * t2r - w.w2i[p] * t2i;
        yi[4 * p + 2] = w.w2r[p] * t2i + w.w2i[p] * t2r;
        yr[4 * p + 3] = w.w3r[p] * t3r - w.w3i[p] * t3i;
        yi[4 * p + 3] = w.w3r[p] * t3i + w.w3i[p] * t3r;
    }
}

// Later radix-4 stage of length n at stride s >= 4: the inner loop runs over s
// contiguous values with one set of twiddles.
void stage(int n, int s, const float* __restrict xr, const float* __restrict xi,
           float* __restrict yr, float* __restrict yi, const Twiddles& w) {
    const int q = n / 4;
    const int qs = q * s;
    for (int p = 0; p < q; ++p) {
        const float w1r = w.w1r[p], w1i = w.w1i[p];
        const float w2r = w.w2r[p], w2i = w.w2i[p];
        const float w3r = w.w3r[p], w3i = w.w3i[p];
        const float* ar = xr + s * p;
        const float* ai = xi + s * p;
        float* y0r = yr + 4 * s * p;
        float* y0i = yi + 4 * s * p;
#pragma GCC ivdep
        for (int k = 0; k < s; ++k) {
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

// Last radix-4 stage (length 4): no twiddles.
void lastStage4(int s, const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
                float* __restrict yi) {
    for (int k = 0; k < s; ++k) {
        const float sACr = xr[k] + xr[k + 2 * s], sACi = xi[k] + xi[k + 2 * s];
        const float dACr = xr[k] - xr[k + 2 * s], dACi = xi[k] - xi[k + 2 * s];
        const float sBDr = xr[k + s] + xr[k + 3 * s], sBDi = xi[k + s] + xi[k + 3 * s];
        const float dBDr = xr[k + s] - xr[k + 3 * s], dBDi = xi[k + s] - xi[k + 3 * s];
        yr[k] = sACr + sBDr;
        yi[k] = sACi + sBDi;
        yr[k + s] = dACr + dBDi;
        yi[k + s] = dACi - dBDr;
        yr[k + 2 * s] = sACr - sBDr;
        yi[k + 2 * s] = sACi - sBDi;
        yr[k + 3 * s] = dACr - dBDi;
        yi[k + 3 * s] = dACi + dBDr;
    }
}

// Last stage when log2 M is odd (length 2): no twiddles.
void lastStage2(int s, const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
                float* __restrict yi) {
    for (int k = 0; k < s; ++k) {
        yr[k] = xr[k] + xr[k + s];
        yi[k] = xi[k] + xi[k + s];
        yr[k + s] = xr[k] - xr[k + s];
        yi[k + s] = xi[k] - xi[k + s];
    }
}

}  // namespace

RealFft::RealFft(int n) : n_(n < 1 ? 1 : n) {
    if (n_ < 8) return;  // 1, 2 and 4 points are computed directly
    half_ = n_ / 2;
    const int m = half_;

    for (int len = m; len >= 8; len /= 4) {
        const int q = len / 4;
        const size_t base = stageTwiddles_.size();
        stageTwiddles_.resize(base + 6 * static_cast<size_t>(q));
        float* t = stageTwiddles_.data() + base;
        for (int p = 0; p < q; ++p) {
            for (int h = 1; h <= 3; ++h) {
                const double angle = -2.0 * kPi * h * p / len;
                t[(2 * h - 2) * q + p] = static_cast<float>(std::cos(angle));
                t[(2 * h - 1) * q + p] = static_cast<float>(std::sin(angle));
            }
        }
    }

    splitCos_.resize(m / 2 + 1);
    splitSin_.resize(m / 2 + 1);
    for (int k = 0; k <= m / 2; ++k) {
        const double angle = 2.0 * kPi * k / n_;
        splitCos_[k] = static_cast<float>(std::cos(angle));
        splitSin_[k] = static_cast<float>(std::sin(angle));
    }

    work_.assign(4 * static_cast<size_t>(m), 0.0f);
    bufA_[0] = work_.data();
    bufA_[1] = work_.data() + m;
    bufB_[0] = work_.data() + 2 * m;
    bufB_[1] = work_.data() + 3 * m;
}

float* const* RealFft::transformHalf(const float* interleaved) {
    const int m = half_;
    float* const* x = bufA_;
    float* const* y = bufB_;
    int len = m;
    int s = 1;
    const float* tw = stageTwiddles_.data();
    if (len >= 8) {
        const Twiddles w = stageTwiddles(tw, len / 4);
        if (interleaved)
            firstStage<2>(len, interleaved, interleaved + 1, y[0], y[1], w);
        else
            firstStage<1>(len, x[0], x[1], y[0], y[1], w);
        tw += 6 * (len / 4);
        len /= 4;
        s *= 4;
        std::swap(x, y);
        while (len >= 8) {
            stage(len, s, x[0], x[1], y[0], y[1], stageTwiddles(tw, len / 4));
            tw += 6 * (len / 4);
            len /= 4;
            s *= 4;
            std::swap(x, y);
        }
    } else if (interleaved) {
        // M = 4 needs no first stage with twiddles; gather the input into x.
        for (int i = 0; i < m; ++i) {
            x[0][i] = interleaved[2 * i];
            x[1][i] = interleaved[2 * i + 1];
        }
    }
    if (len == 4)
        lastStage4(s, x[0], x[1], y[0], y[1]);
    else
        lastStage2(s, x[0], x[1], y[0], y[1]);
    return y;
}

void RealFft::forward(float* output, const float* input) {
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
    const int m = half_;
    float* const* z = transformHalf(input);
    const float* __restrict zr = z[0];
    const float* __restrict zi = z[1];
    output[0] = zr[0] + zi[0];
    output[m] = zr[0] - zi[0];
    output[m / 2] = zr[m / 2];
    output[m + m / 2] = zi[m / 2];
    float* __restrict lowRe = output;
    float* __restrict lowIm = output + m;
    float* __restrict highRe = output + m;  // highRe[-k] = element M - k
    float* __restrict highIm = output + n;  // highIm[-k] = element N - k
    const float* __restrict c = splitCos_.data();
    const float* __restrict sn = splitSin_.data();
#pragma GCC ivdep
    for (int k = 1; k < m / 2; ++k) {
        const float er = 0.5f * (zr[k] + zr[m - k]);
        const float ei = 0.5f * (zi[k] - zi[m - k]);
        const float orr = 0.5f * (zi[k] + zi[m - k]);
        const float oi = 0.5f * (zr[m - k] - zr[k]);
        // T = W^k O with W^k = cos - i sin
        const float tr = c[k] * orr + sn[k] * oi;
        const float ti = c[k] * oi - sn[k] * orr;
        lowRe[k] = er + tr;
        lowIm[k] = -(ei + ti);
        highRe[-k] = er - tr;
        highIm[-k] = ei - ti;
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

    // Rebuild Z[k] = E[k] + i O[k] (twice the half-size spectrum, which supplies the
    // factor N), conjugated so the forward complex FFT computes the inverse.
    const int m = half_;
    float* __restrict zr = bufA_[0];
    float* __restrict zi = bufA_[1];
    zr[0] = input[0] + input[m];
    zi[0] = -(input[0] - input[m]);
    zr[m / 2] = 2.0f * input[m / 2];
    zi[m / 2] = -2.0f * input[m + m / 2];
    const float* __restrict lowRe = input;
    const float* __restrict lowIm = input + m;
    const float* __restrict highRe = input + m;
    const float* __restrict highIm = input + n;
    const float* __restrict c = splitCos_.data();
    const float* __restrict sn = splitSin_.data();
#pragma GCC ivdep
    for (int k = 1; k < m / 2; ++k) {
        // X[k] = lowRe - i lowIm, X[M-k] = highRe - i highIm (packed sign).
        const float xr = lowRe[k], xi = -lowIm[k];
        const float yr = highRe[-k], yi = -highIm[-k];
        const float er = xr + yr, ei = xi - yi;
        const float dr = xr - yr, di = xi + yi;
        // O = D conj(W^k) = D (cos + i sin)
        const float orr = dr * c[k] - di * sn[k];
        const float oi = dr * sn[k] + di * c[k];
        zr[k] = er - oi;
        zi[k] = -(ei + orr);
        zr[m - k] = er + oi;
        zi[m - k] = -(orr - ei);
    }
    float* const* y = transformHalf(nullptr);
    const float* __restrict yr = y[0];
    const float* __restrict yi = y[1];
    for (int i = 0; i < m; ++i) {
        output[2 * i] = yr[i];
        output[2 * i + 1] = -yi[i];
    }
}

void RealFft::rescale(float* buffer) const {
    const float scale = 1.0f / static_cast<float>(n_);
    for (int i = n_ - 1; i >= 0; --i) buffer[i] *= scale;
}

}  // namespace qx
