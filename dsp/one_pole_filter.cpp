// Coefficient design of the one-pole lowpass.
#include "dsp/one_pole_filter.h"

#include <cmath>

namespace qx {

namespace {
// The decimal constant itself, not the float nearest 2*pi (6.28318548...): the two round
// to different float coefficients for some corners (1500 Hz at 44.1 kHz among them).
constexpr long double kTwoPi = 6.2831855L;
constexpr long double kLog2E = 1.442695040888963407359924681001892137L;
}  // namespace

float onePoleCoefficient(float frequencyHz, int sampleRate) {
    // Evaluated as a power of two in extended precision so that every block that
    // shares this formula gets bit-identical coefficients.
    const long double exponent = static_cast<long double>(frequencyHz) * -kTwoPi /
                                 static_cast<long double>(sampleRate) * kLog2E;
    return static_cast<float>(std::exp2(exponent));
}

}  // namespace qx
