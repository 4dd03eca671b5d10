// The per-sample work of the filter bank and its dynamics, written once over a lane type
// L that processes L::kWidth neighbouring bands per instruction (1 scalar, 4 SSE2, 8 AVX2).
// Each lane performs the same float operations in the same order as a one-band-at-a-time
// loop, so every kernel gives the same floats. Each instruction-set source file includes
// this header and instantiates it with a lane type of internal linkage; nothing here may
// call an inline library function, which could be shared across files compiled for
// different instruction sets.
#pragma once

#include <math.h>

#include "effects/quassel/erb_filter_bank.h"

namespace qx::band_kernel {

using Function = void (*)(BankState&, const OscillatorTable&, const float* in0, const float* in1,
                          float* wet0, float* wet1, int n);

// Defined by the instruction-set source files; null where a set is not built.
Function scalarKernel();
Function sse2Kernel();
Function avx2Kernel();

// Lanes whose detector level is above threshold get v^ratioExponent times make-up; the
// power function runs only for them. `above` has bit l set for lane l.
template <class L>
typename L::F compressedTarget(typename L::F target, typename L::F v, const float* exponent,
                               const float* makeup, int above) {
    alignas(32) float t[L::kWidth];
    alignas(32) float x[L::kWidth];
    L::store(t, target);
    L::store(x, v);
    for (; above != 0; above &= above - 1) {
        const int l = __builtin_ctz(static_cast<unsigned>(above));
        // pow(v, 0) is exactly 1, so ratio 1 leaves the make-up unchanged without the call.
        if (exponent[l] != 0.0f) t[l] = ::powf(x[l], exponent[l]) * makeup[l];
    }
    return L::load(t);
}

// (1 - w) h + 0.1 w y(50 h), y the clipped parabola: 1 above 2, x - x|x|/4 between,
// -1 below -2.
template <class L>
typename L::F warmthStage(typename L::F h, typename L::F dry, typename L::F wet) {
    using F = typename L::F;
    const F x = L::mul(h, L::splat(50.0f));
    const F xc = L::min(L::max(x, L::splat(-2.0f)), L::splat(2.0f));
    const F y = L::sub(xc, L::mul(L::mul(xc, L::abs(xc)), L::splat(0.25f)));
    return L::add(L::mul(dry, h), L::mul(wet, y));
}

template <class L, int kOrder>
void runBank(BankState& s, const OscillatorTable& osc, const float* in0, const float* in1,
             float* wet0, float* wet1, int n) {
    using F = typename L::F;
    using I = typename L::I;
    using M = typename L::M;
    constexpr int W = L::kWidth;
    constexpr int kMaxGroups = BankState::kLanes / W;
    const int bands = s.bandCount;
    const int groups = (bands + W - 1) / W;
    const float fs = s.sampleRate;

    // Per group: lanes in use, and which of them saturate.
    int active[kMaxGroups];
    M warm[kMaxGroups];
    bool anyWarm[kMaxGroups];
    for (int g = 0; g < groups; ++g) {
        const int used = bands - g * W < W ? bands - g * W : W;
        active[g] = (1 << used) - 1;
        warm[g] = L::greater(L::load(s.warmth + g * W), L::splat(0.0001f));
        anyWarm[g] = s.warmthEnabled && (L::bits(warm[g]) & active[g]) != 0;
    }

    const F indexScale = L::splat(OscillatorTable::kIndexScale);
    const F magMax = L::splat(0.94805944f);
    const F magMin = L::splat(0.3926991f);
    const F one = L::splat(1.0f);
    const F fast = L::splat(s.fastCoef);
    int counter = s.counter;
    int pos = s.ringPos;

    for (int t = 0; t < n; ++t) {
        s.ring[0][pos] = in0[t] * ErbFilterBank::kInputGain;
        s.ring[1][pos] = in1[t] * ErbFilterBank::kInputGain;
        if (++counter >= fs) counter = 0;
        const F clock = L::splat(static_cast<float>(counter));
        const I newest = L::splatInt(pos);

        for (int g = 0; g < groups; ++g) {
            const int o = g * W;
            // Carriers from the tables: demodulator at phaseOffset - a, remodulator at a.
            const F a = L::mul(clock, L::load(s.omega + o));
            const F demod = L::sub(L::load(s.phaseOffset + o), a);
            const I di = L::andInt(L::truncate(L::mul(demod, indexScale)), OscillatorTable::kMask);
            const I mi = L::andInt(L::truncate(L::mul(a, indexScale)), OscillatorTable::kMask);
            F cd, sd, cm, sm;
            L::gatherPairs(&osc.pairs[0][0], di, cd, sd);
            L::gatherPairs(&osc.pairs[0][0], mi, cm, sm);
            const I tap =
                L::andInt(L::subInt(newest, L::loadInt(s.ringDelay + o)), BankState::kRingMask);
            const F pole = L::load(s.pole + o);

            F out[2], mag[2];
            for (int ch = 0; ch < 2; ++ch) {
                const F x = L::gather(s.ring[ch], tap);
                F re = L::mul(x, cd);
                F im = L::mul(x, sd);
                for (int k = 0; k < kOrder; ++k) {
                    float* const pr = s.stateRe[ch][k] + o;
                    float* const pi = s.stateIm[ch][k] + o;
                    re = L::add(re, L::mul(L::sub(L::load(pr), re), pole));
                    im = L::add(im, L::mul(L::sub(L::load(pi), im), pole));
                    L::store(pr, re);
                    L::store(pi, im);
                }
                out[ch] = L::sub(L::mul(cm, re), L::mul(sm, im));
                const F ar = L::abs(re);
                const F ai = L::abs(im);
                mag[ch] = L::add(L::mul(magMax, L::max(ar, ai)), L::mul(magMin, L::min(ar, ai)));
                L::store(s.bandMag[ch] + o, mag[ch]);
            }

            // One detector for both channels, smoothed with the attack time.
            const F det = L::mul(L::add(mag[0], mag[1]), L::load(s.detectorWeight + o));
            F level = L::load(s.level + o);
            level = L::add(det, L::mul(L::sub(level, det), L::load(s.attackCoef + o)));
            L::store(s.level + o, level);
            const F v = L::mul(level, L::load(s.inverseThreshold + o));
            F target = L::load(s.makeup + o);
            const int above = L::bits(L::greater(v, one)) & active[g];
            if (above != 0)
                target = compressedTarget<L>(target, v, s.ratioExponent + o, s.makeup + o, above);
            // Recovering gain moves with the release time, falling gain with 0.5 ms.
            F gain = L::load(s.gain + o);
            const F c = L::select(L::greater(target, gain), L::load(s.releaseCoef + o), fast);
            gain = L::add(target, L::mul(L::sub(gain, target), c));
            L::store(s.gain + o, gain);

            for (int ch = 0; ch < 2; ++ch) {
                F h = out[ch];
                if (anyWarm[g]) {
                    const F w =
                        warmthStage<L>(h, L::load(s.warmthDry + o), L::load(s.warmthWet + o));
                    h = L::select(warm[g], w, h);
                }
                L::store(s.bandOut[ch] + o, L::mul(h, gain));
            }
        }
        pos = (pos + 1) & BankState::kRingMask;

        // The band sum in band order, as a one-band-at-a-time loop adds it.
        float sum0 = 0.0f, sum1 = 0.0f;
        for (int b = 0; b < bands; ++b) {
            sum0 += s.bandOut[0][b];
            sum1 += s.bandOut[1][b];
        }
        wet0[t] = sum0;
        wet1[t] = sum1;
    }
    s.counter = counter;
    s.ringPos = pos;
}

// The stage count is a template argument, so each stage loop unrolls.
template <class L>
void runBankAnyOrder(BankState& s, const OscillatorTable& osc, const float* in0, const float* in1,
                     float* wet0, float* wet1, int n) {
    switch (s.order) {
        case 1:
            runBank<L, 1>(s, osc, in0, in1, wet0, wet1, n);
            break;
        case 2:
            runBank<L, 2>(s, osc, in0, in1, wet0, wet1, n);
            break;
        case 3:
            runBank<L, 3>(s, osc, in0, in1, wet0, wet1, n);
            break;
        case 4:
            runBank<L, 4>(s, osc, in0, in1, wet0, wet1, n);
            break;
        default:
            runBank<L, 5>(s, osc, in0, in1, wet0, wet1, n);
            break;
    }
}

}  // namespace qx::band_kernel
