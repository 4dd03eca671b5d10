// Coefficient design of the one-pole lowpass.
#include "dsp/one_pole_filter.h"

#include <cmath>

namespace qx {

namespace {
constexpr float kTwoPi = 6.2831855f;  // 2*pi as a float, as the older engines used it
constexpr long double kLog2E = 1.442695040888963407359924681001892137L;
}  // namespace

float onePoleCoefficient(float frequencyHz, int sampleRate) {
    // Evaluated as a power of two in extended precision so that every block that
    // shares this formula gets bit-identical coefficients.
    const long double exponent = static_cast<long double>(frequencyHz) *
                                 static_cast<long double>(-kTwoPi) /
                                 static_cast<long double>(sampleRate) * kLog2E;
    return static_cast<float>(std::exp2(exponent));
}

}  // namespace qx
