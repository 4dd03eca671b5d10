// Coefficient design of the biquad: bilinear low/highpass, bell and slope-1 shelves.
#include "dsp/biquad_filter.h"

#include <cmath>

namespace qx {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Unnormalised coefficients for one type; types the variant does not know pass through.
BiquadCoefficients designRaw(float sampleRate, int type, float frequencyHz, float bandwidthDivisor,
                             float gainDb, int typeCount) {
    // Intermediates are rounded to float where they are stored.
    const float A = static_cast<float>(std::pow(10.0, static_cast<double>(gainDb) * 0.025));
    const float omega = static_cast<float>(
        std::tan(kPi * (static_cast<double>(frequencyHz) / bandwidthDivisor) / sampleRate));
    const float m = A * omega;
    const double w0 = 2.0 * kPi * frequencyHz / sampleRate;
    const float K = static_cast<float>(std::tan(w0 / 2.0));
    const float cs = static_cast<float>(std::cos(w0));
    const float sn = static_cast<float>(std::sin(w0));
    const float R = K * std::sqrt(2.0f) / (A * A);  // 1/Q = sqrt(2)/A^2: Butterworth at 0 dB

    BiquadCoefficients c;
    if (type < 0 || type >= typeCount) return c;
    const float K2 = K * K;
    const float E = A + 1.0f;
    const float F = (A - 1.0f) * cs;
    const float S = std::sqrt(2.0f * A) * sn;
    switch (type) {
        case kBiquadLowpass:
        case kBiquadHighpass:
            if (type == kBiquadLowpass) {
                c.b0 = K2;
                c.b1 = 2.0f * K2;
                c.b2 = K2;
            } else {
                c.b0 = 1.0f;
                c.b1 = -2.0f;
                c.b2 = 1.0f;
            }
            c.a0 = K2 + R + 1.0f;
            c.a1 = 2.0f * (K2 - 1.0f);
            c.a2 = K2 - R + 1.0f;
            break;
        case kBiquadBell: {
            const float mA1 = m * A + 1.0f;
            c.b0 = 1.0f;
            c.b1 = -2.0f * cs / mA1;
            c.b2 = (1.0f - m * A) / mA1;
            c.a0 = (A + m) / (A * mA1);
            c.a1 = -2.0f * cs / mA1;
            c.a2 = (A - m) / (A * mA1);
            break;
        }
        case kBiquadHighShelf:
            c.b0 = A * (E + F + S);
            c.b1 = -2.0f * A * (cs * (A + 1.0f) + (A - 1.0f));
            c.b2 = A * (E + F - S);
            c.a0 = E - F + S;
            c.a1 = 2.0f * ((A - 1.0f) - (A + 1.0f) * cs);
            c.a2 = E - F - S;
            break;
        case kBiquadLowShelf:
            c.b0 = A * (E - F + S);
            c.b1 = 2.0f * A * ((A - 1.0f) - (A + 1.0f) * cs);
            c.b2 = A * (E - F - S);
            c.a0 = E + F + S;
            c.a1 = -2.0f * ((A - 1.0f) + (A + 1.0f) * cs);
            c.a2 = E + F - S;
            break;
        default:
            break;
    }
    return c;
}

BiquadCoefficients normalise(BiquadCoefficients c, float outputGain) {
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
    const float g = static_cast<float>(std::pow(10.0, static_cast<double>(outputGainDb) * 0.05));
    c_ = normalise(designRaw(sampleRate, type, frequencyHz, bandwidthDivisor, gainDb, 5), g);
}

void BiquadFilterLite::design(float sampleRate, int type, float frequencyHz, float bandwidthDivisor,
                              float gainDb) {
    c_ = normalise(designRaw(sampleRate, type, frequencyHz, bandwidthDivisor, gainDb, 4), 1.0f);
}

}  // namespace qx
