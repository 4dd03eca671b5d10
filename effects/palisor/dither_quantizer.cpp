// Word-length setup of the output requantiser.
#include "effects/palisor/dither_quantizer.h"

#include <cmath>

namespace qx {

namespace {
// Triangular dither from two draws of this level stays within about 0.7 code steps.
constexpr float kDitherLevelDb = -3.0f;
}  // namespace

DitherQuantizer::DitherQuantizer() {
    init(kMaxWordLength);
}

void DitherQuantizer::init(int wordLength) {
    if (wordLength > kMaxWordLength) wordLength = kMaxWordLength;
    if (wordLength < 1) wordLength = 1;
    wordLength_ = wordLength;
    scale_ = static_cast<float>(std::ldexp(1.0, wordLength - 1));
    invScale_ = static_cast<float>(std::ldexp(1.0, 1 - wordLength));
    noise_.setLevel(kDitherLevelDb);
    feedback_ = 0.0f;
    ringIndex_ = 0;
    for (float& e : errorRing_) e = 0.0f;
}

}  // namespace qx
