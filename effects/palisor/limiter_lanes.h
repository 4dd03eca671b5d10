// SSE2 building blocks of the limiter's block path: lane helpers, loads and stores of
// host samples and (left, right) frames, the output meters and the correlation filters.
#pragma once

#include <emmintrin.h>

#include "framework/sample_guard.h"

namespace qx::limiter_lanes {

using V = __m128;
using I = __m128i;

inline V splat(float x) {
    return _mm_set1_ps(x);
}
inline V pair(float l, float r) {
    return _mm_setr_ps(l, r, 0.0f, 0.0f);
}
inline float left(V v) {
    return _mm_cvtss_f32(v);
}
inline float right(V v) {
    return _mm_cvtss_f32(_mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)));
}
inline V add(V a, V b) {
    return _mm_add_ps(a, b);
}
inline V sub(V a, V b) {
    return _mm_sub_ps(a, b);
}
inline V mul(V a, V b) {
    return _mm_mul_ps(a, b);
}
inline V abs(V a) {
    return _mm_andnot_ps(_mm_set1_ps(-0.0f), a);
}
// m ? a : b, per lane.
inline V select(V m, V a, V b) {
    return _mm_xor_ps(b, _mm_and_ps(m, _mm_xor_ps(a, b)));
}
inline I select(I m, I a, I b) {
    return _mm_xor_si128(b, _mm_and_si128(m, _mm_xor_si128(a, b)));
}
// x < hi ? x : hi, then x > lo ? x : lo.
inline V clamp(V x, V lo, V hi) {
    return _mm_max_ps(_mm_min_ps(x, hi), lo);
}

// One (left, right) pair; lanes 2 and 3 read as 0.
inline V loadPair(const float* p) {
    return _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p)));
}
inline void storePair(float* p, V v) {
    _mm_storel_pi(reinterpret_cast<__m64*>(p), v);
}

// K = 4 or 1 consecutive values; lanes past K read as 0 and are not written.
template <int K>
inline V loadLanes(const float* p) {
    if constexpr (K == 4)
        return _mm_loadu_ps(p);
    else
        return _mm_load_ss(p);
}
template <int K>
inline void storeLanes(float* p, V v) {
    if constexpr (K == 4)
        _mm_storeu_ps(p, v);
    else
        _mm_store_ss(p, v);
}
template <int K>
inline V loadLanes(const double* p) {
    if constexpr (K == 4)
        return _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(p)), _mm_cvtpd_ps(_mm_loadu_pd(p + 2)));
    else
        return _mm_cvtsd_ss(_mm_setzero_ps(), _mm_load_sd(p));
}
template <int K>
inline void storeLanes(double* p, V v) {
    if constexpr (K == 4) {
        _mm_storeu_pd(p, _mm_cvtps_pd(v));
        _mm_storeu_pd(p + 2, _mm_cvtps_pd(_mm_movehl_ps(v, v)));
    } else {
        _mm_store_sd(p, _mm_cvtss_sd(_mm_setzero_pd(), v));
    }
}

// K frames of both host inputs, cleaned as cleanSample() does. Values in range (nearly
// always all of them) pass in one test; anything else takes the scalar route.
template <int K, typename T>
inline void loadInputs(const T* inL, const T* inR, V& l, V& r) {
    l = loadLanes<K>(inL);
    r = loadLanes<K>(inR);
    const V limit = splat(kInputSampleLimit);
    const V inRange = _mm_and_ps(_mm_cmple_ps(abs(l), limit), _mm_cmple_ps(abs(r), limit));
    if (_mm_movemask_ps(inRange) == 0xF) [[likely]]
        return;
    alignas(16) float lanes[2][4] = {};
    for (int k = 0; k < K; ++k) {
        lanes[0][k] = cleanSample(inL[k]);
        lanes[1][k] = cleanSample(inR[k]);
    }
    l = _mm_load_ps(lanes[0]);
    r = _mm_load_ps(lanes[1]);
}

// K consecutive (left, right) frames to and from a left and a right register.
template <int K>
inline void loadFrames(const float* frames, V& l, V& r) {
    if constexpr (K == 4) {
        const V a = _mm_loadu_ps(frames), b = _mm_loadu_ps(frames + 4);
        l = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        r = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    } else {
        const V a = loadPair(frames);
        l = _mm_move_ss(_mm_setzero_ps(), a);
        r = _mm_move_ss(_mm_setzero_ps(), _mm_shuffle_ps(a, a, _MM_SHUFFLE(1, 1, 1, 1)));
    }
}
template <int K>
inline void storeFrames(float* frames, V l, V r) {
    if constexpr (K == 4) {
        _mm_storeu_ps(frames, _mm_unpacklo_ps(l, r));
        _mm_storeu_ps(frames + 4, _mm_unpackhi_ps(l, r));
    } else {
        storePair(frames, _mm_unpacklo_ps(l, r));
    }
}

inline float largestLane(V v) {
    v = _mm_max_ps(v, _mm_movehl_ps(v, v));
    return left(_mm_max_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1))));
}

// Output meters of both channels: decaying peak, 10 s hold, mean square.
struct Meters {
    V peakLevel, peakHold, meanSquare;
    I holdCount;  // frames until the held peak falls back
};
struct MeterCoefs {
    V decay, rmsCoef, rmsWeight;
    I holdSamples, minusOne;
};
// One frame of the meters from the output's magnitude a and its weighted square
// (1 - meterRmsCoef) a a, which is (1 - meterRmsCoef) out out to the bit.
inline void updateMeters(Meters& m, V a, V weightedSquare, const MeterCoefs& c) {
    const V rise = _mm_cmpgt_ps(a, m.peakLevel);
    const I newMax = _mm_castps_si128(_mm_and_ps(rise, _mm_cmpgt_ps(a, m.peakHold)));
    m.peakLevel = select(rise, a, mul(m.peakLevel, c.decay));
    // A new maximum restarts the hold, counted down once already in this frame; an expired
    // hold falls back to the present level and restarts.
    const I restart = _mm_or_si128(newMax, _mm_cmplt_epi32(m.holdCount, _mm_setzero_si128()));
    m.peakHold = select(_mm_castsi128_ps(restart), a, m.peakHold);
    m.holdCount = select(restart, _mm_add_epi32(c.holdSamples, newMax),
                         _mm_add_epi32(m.holdCount, c.minusOne));
    m.meanSquare = add(weightedSquare, mul(c.rmsCoef, m.meanSquare));
}
inline void updateMeters(Meters& m, V out, const MeterCoefs& c) {
    const V a = abs(out);
    updateMeters(m, a, mul(mul(c.rmsWeight, a), a), c);
}

// Transposed direct form II of the correlation high-passes, followed by the averaged
// products (LL, RR, LR) of the filtered channels in lanes 0, 1, 2.
struct Correlation {
    V b0, b1, b2, a1, a2, s1, s2;
    V coef, weight, products;

    void process(V x) {
        const V y = add(mul(b0, x), s1);
        s1 = add(sub(mul(b1, x), mul(a1, y)), s2);
        s2 = sub(mul(b2, x), mul(a2, y));
        const V first = mul(weight, _mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 1, 1, 0)));  // yL yR yR
        const V second = _mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 0, 1, 0));              // yL yR yL
        products = add(mul(coef, products), mul(first, second));
    }
};

// Stores lanes 0 and 1 of v into a float field of the left and right channel.
template <class Channel>
inline void storeChannels(V v, Channel& l, Channel& r, float Channel::*field) {
    l.*field = left(v);
    r.*field = right(v);
}

}  // namespace qx::limiter_lanes
