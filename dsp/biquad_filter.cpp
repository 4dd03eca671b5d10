// Coefficient design of the biquad: bilinear low/highpass, bell and slope-1 shelves.
#include "dsp/biquad_filter.h"

#include <cmath>

namespace qx {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Unnormalised coefficients for one type; types the variant does not know pass through.
// Only A, the bandwidth tangent, m and K are held as floats; the rest of the design runs
// in double and each coefficient is rounded once when it is stored. Rounding cs, R or the
// shelf terms to float first costs hundreds of ulps where terms cancel (lowpass a2 near
// zero, shelf b1 and a1 near DC).
BiquadCoefficients designRaw(float sampleRate, int type, float frequencyHz, float bandwidthDivisor,
                             float gainDb, int typeCount) {
    const float A = static_cast<float>(std::pow(10.0, static_cast<double>(gainDb) * 0.025));
    const float omega = static_cast<float>(
        std::tan(kPi * (static_cast<double>(frequencyHz) / bandwidthDivisor) / sampleRate));
    const float m = A * omega;
    const double w0 = 2.0 * kPi * frequencyHz / sampleRate;
    const float K = static_cast<float>(std::tan(w0 / 2.0));
    const double cs = std::cos(w0);
    const double sn = std::sin(w0);

    BiquadCoefficients c;
    if (type < 0 || type >= typeCount) return c;
    const double a = A;
    const double k2 = static_cast<double>(K) * K;
    const double R = K * std::sqrt(2.0) / (a * a);  // 1/Q = sqrt(2)/A^2: Butterworth at 0 dB
    const double E = a + 1.0;
    const double F = (a - 1.0) * cs;
    const double S = std::sqrt(2.0 * a) * sn;
    const auto set = [&c](double b0, double b1, double b2, double a0, double a1, double a2) {
        c.b0 = static_cast<float>(b0);
        c.b1 = static_cast<float>(b1);
        c.b2 = static_cast<float>(b2);
        c.a0 = static_cast<float>(a0);
        c.a1 = static_cast<float>(a1);
        c.a2 = static_cast<float>(a2);
    };
    switch (type) {
        case kBiquadLowpass:
            set(k2, 2.0 * k2, k2, k2 + R + 1.0, 2.0 * (k2 - 1.0), k2 - R + 1.0);
            break;
        case kBiquadHighpass:
            set(1.0, -2.0, 1.0, k2 + R + 1.0, 2.0 * (k2 - 1.0), k2 - R + 1.0);
            break;
        case kBiquadBell: {
            const double mA = static_cast<double>(m) * a;
            set(1.0, -2.0 * cs / (mA + 1.0), (1.0 - mA) / (mA + 1.0), (a + m) / (a * (mA + 1.0)),
                -2.0 * cs / (mA + 1.0), (a - m) / (a * (mA + 1.0)));
            break;
        }
        case kBiquadHighShelf:
            set(a * (E + F + S), -2.0 * a * (cs * (a + 1.0) + (a - 1.0)), a * (E + F - S),
                E - F + S, 2.0 * ((a - 1.0) - (a + 1.0) * cs), E - F - S);
            break;
        case kBiquadLowShelf:
            set(a * (E - F + S), 2.0 * a * ((a - 1.0) - (a + 1.0) * cs), a * (E - F - S), E + F + S,
                -2.0 * ((a - 1.0) + (a + 1.0) * cs), E + F - S);
            break;
        default:
            break;
    }
    return c;
}

// The stored coefficients are divided by a0 in float, then scaled by the output gain.
BiquadCoefficients normalise(BiquadCoefficients c, double outputGain) {
    c.a1 /= c.a0;
    c.a2 /= c.a0;
    c.b0 = c.b0 / c.a0 * outputGain;
    c.b1 = c.b1 / c.a0 * outputGain;
    c.b2 = c.b2 / c.a0 * outputGain;
    c.a0 = 1.0f;
    return c;
}

}  // namespace

void BiquadFilter::design(float sampleRate, int type, float frequencyHz, float bandwidthDivisor,
                          float gainDb, float outputGainDb, bool resetState) {
    if (resetState) {
        s1_ = 0.0f;
        s2_ = 0.0f;
        out_ = 0.0f;
    }
    const double g = std::pow(10.0, static_cast<double>(outputGainDb) * 0.05);
    c_ = normalise(designRaw(sampleRate, type, frequencyHz, bandwidthDivisor, gainDb, 5), g);
}

void BiquadFilterLite::design(float sampleRate, int type, float frequencyHz, float bandwidthDivisor,
                              float gainDb) {
    c_ = normalise(designRaw(sampleRate, type, frequencyHz, bandwidthDivisor, gainDb, 4), 1.0);
}

}  // namespace qx
