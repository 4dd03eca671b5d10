// Envelope coefficients and stages, and the per-hop work of a spectral voice: capture,
// rotation measurement, phase advance, filter gains and rendering.
#include "effects/trigwave/spectral_voice.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QX_TRIGWAVE_SSE2 1
#else
#define QX_TRIGWAVE_SSE2 0
#endif

namespace qx {

namespace {

// NaN and negative values give 0.
float clampSeconds(float seconds) {
    return seconds > 0.0f ? std::min(seconds, EnvelopeShape::kMaxSeconds) : 0.0f;
}

constexpr float kEnvelopeFloor = 0.001f;  // start of the attack, end of the release

}  // namespace

void EnvelopeShape::setAttack(float seconds) {
    attack_ = clampSeconds(seconds);
    recompute();
}

void EnvelopeShape::setDecay(float seconds) {
    decay_ = clampSeconds(seconds);
    recompute();
}

void EnvelopeShape::setSustainTime(float seconds) {
    sustainTime_ = clampSeconds(seconds);
    recompute();
}

void EnvelopeShape::setSustainLevel(float level) {
    sustainLevel_ = level > 0.0f ? std::min(level, 1.0f) : 0.0f;
}

void EnvelopeShape::setRelease(float seconds) {
    release_ = clampSeconds(seconds);
    recompute();
}

void EnvelopeShape::setRate(float ticksPerSecond) {
    if (!(ticksPerSecond > 0.0f)) return;
    rate_ = ticksPerSecond;
    recompute();
}

void EnvelopeShape::recompute() {
    // A time so short that the exponent overflows still gives a usable factor: an
    // infinite attack step reaches full level at once, a zero fall factor drops at once.
    const double rate = rate_;
    attackCoef_ = attack_ > 0.0f ? static_cast<float>(std::exp(1.0 / (attack_ * rate))) : 1000.0f;
    decayCoef_ = decay_ > 0.0f ? static_cast<float>(std::exp(-1.0 / (decay_ * rate))) : 0.001f;
    releaseCoef_ = release_ > 0.0f ? static_cast<float>(std::exp(-1.0 / (release_ * rate))) : 0.0f;
    holdTicks_ = static_cast<int>(sustainTime_ * rate_);
}

void EnvelopeGenerator::trigger(const EnvelopeShape& shape) {
    stage_ = kAttack;
    level_ = kEnvelopeFloor;
    tick(shape);
}

void EnvelopeGenerator::tick(const EnvelopeShape& shape) {
    switch (stage_) {
        case kAttack:
            level_ *= shape.attackCoef();
            if (level_ >= 1.0f) {
                level_ = 1.0f;
                stage_ = kDecay;
            }
            break;
        case kDecay:
            level_ *= shape.decayCoef();
            if (level_ <= shape.sustainLevel()) {
                level_ = shape.sustainLevel();
                holdCounter_ = shape.holdTicks();
                stage_ = kSustain;
            }
            break;
        case kSustain:
            if (holdCounter_ <= 1) {
                holdCounter_ = 0;
                stage_ = kRelease;
            } else {
                --holdCounter_;
            }
            break;
        case kRelease:
            level_ *= shape.releaseCoef();
            if (level_ < kEnvelopeFloor) {
                level_ = 0.0f;
                stage_ = kIdle;
            }
            break;
        default:
            break;
    }
}

SpectralVoice::SpectralVoice() : capture_(kMaxSize, 0.0f), phaseStep_(kMaxSize, 0.0f) {
    setup(kMaxSize);
}

void SpectralVoice::setup(int size) {
    size_ = std::clamp(size, 4, kMaxSize);
    std::fill(capture_.begin(), capture_.end(), 0.0f);
    std::fill(phaseStep_.begin(), phaseStep_.end(), 0.0f);
    state_ = kFree;
}

void SpectralVoice::trigger(const EnvelopeShape& ampShape, const EnvelopeShape& filterShape) {
    state_ = kCapture;
    ampEnv_.trigger(ampShape);
    filterEnv_.trigger(filterShape);
}

bool SpectralVoice::processHop(const float* src, float* sum, const HopContext& hop) {
    const int n = size_;
    const int h = n / 2;
    bool advancing = false;
    switch (state_) {
        case 1:
        case 2:
            std::copy(src + 1, src + n, capture_.begin() + 1);
            ++state_;
            break;
        case 3:
            std::copy(src + 1, src + h, capture_.begin() + 1);
            std::copy(src + h + 1, src + n, capture_.begin() + h + 1);
            ++state_;
            break;
        case kMeasure:
            measureRotation(src);
            state_ = kHolding;
            advancing = true;
            break;
        case kHolding:
            if (ampEnv_.stage() == EnvelopeGenerator::kIdle) state_ = kFree;
            advancing = true;
            break;
        default:
            break;
    }
    ampEnv_.tick(*hop.ampShape);
    filterEnv_.tick(*hop.filterShape);
    // A silent voice is either free now or freed on the next hop, and a new trigger
    // captures afresh, so its phases need not move any more.
    if (state_ == kFree || ampEnv_.stage() == EnvelopeGenerator::kIdle) return false;
    if (advancing) advance(hop);

    const int end = filterGains(hop);
    const float* __restrict g = hop.gain;
    const float* __restrict cr = capture_.data();
    const float* __restrict ci = cr + h;
    float* __restrict sr = sum;
    float* __restrict si = sum + h;
    for (int k = 1; k < end; ++k) {
        sr[k] += cr[k] * g[k];
        si[k] += ci[k] * g[k];
    }
    return true;
}

// Rotation from the held spectrum to the new frame, per bin, as a unit complex number.
void SpectralVoice::measureRotation(const float* src) {
    const int h = size_ / 2;
    const float* __restrict cr = capture_.data();
    const float* __restrict ci = cr + h;
    const float* __restrict sr = src;
    const float* __restrict si = src + h;
    float* __restrict pr = phaseStep_.data();
    float* __restrict pi = pr + h;
    for (int k = 1; k < h; ++k) {
        const float a = cr[k] * sr[k] + ci[k] * si[k];
        const float b = cr[k] * si[k] - ci[k] * sr[k];
        const float m = std::sqrt(a * a + b * b + 1e-10f);
        pr[k] = a / m;
        pi[k] = b / m;
    }
}

namespace {

// (re, im) of bin k times (c, s).
inline void turn(float* __restrict re, float* __restrict im, int k, float c, float s) {
    const float a = re[k];
    const float b = im[k];
    re[k] = a * c - b * s;
    im[k] = a * s + b * c;
}

#if QX_TRIGWAVE_SSE2
// Four bins from k on: optionally by their measured rotations, then by the table's
// (cos, sin) pairs at bytes j[0..3]. Lane for lane the same arithmetic as turn().
inline void turnFour(float* __restrict re, float* __restrict im, int k, const float* pr,
                     const float* pi, bool coherent, const float* turns, const unsigned char* j) {
    auto pair = [&](__m128 v, int lane, bool high) {
        const __m64* p = reinterpret_cast<const __m64*>(turns + 2 * j[lane]);
        return high ? _mm_loadh_pi(v, p) : _mm_loadl_pi(v, p);
    };
    const __m128 lo = pair(pair(_mm_setzero_ps(), 0, false), 1, true);  // c0 s0 c1 s1
    const __m128 hi = pair(pair(_mm_setzero_ps(), 2, false), 3, true);  // c2 s2 c3 s3
    const __m128 c = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 s = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
    __m128 a = _mm_loadu_ps(re + k);
    __m128 b = _mm_loadu_ps(im + k);
    if (coherent) {
        const __m128 sr = _mm_loadu_ps(pr + k);
        const __m128 si = _mm_loadu_ps(pi + k);
        const __m128 a1 = _mm_sub_ps(_mm_mul_ps(a, sr), _mm_mul_ps(b, si));
        b = _mm_add_ps(_mm_mul_ps(a, si), _mm_mul_ps(b, sr));
        a = a1;
    }
    _mm_storeu_ps(re + k, _mm_sub_ps(_mm_mul_ps(a, c), _mm_mul_ps(b, s)));
    _mm_storeu_ps(im + k, _mm_add_ps(_mm_mul_ps(a, s), _mm_mul_ps(b, c)));
}
#endif

}  // namespace

// Moves every bin on by its measured rotation (unless fully random), then by a random
// angle of up to randomize x pi (unless not random at all).
void SpectralVoice::advance(const HopContext& hop) {
    const int h = size_ / 2;
    const float randomize = hop.settings->randomize;
    float* __restrict re = capture_.data();
    float* __restrict im = re + h;
    const bool coherent = randomize < 0.99f;
    const float* __restrict pr = phaseStep_.data();
    const float* __restrict pi = pr + h;
    if (randomize <= 0.01f) {
        for (int k = 1; k < h; ++k) turn(re, im, k, pr[k], pi[k]);
        return;
    }
    // Each draw gives three random bytes: the generator's serial chain, not the
    // arithmetic, would otherwise bound this loop.
    RandomGenerator random = *hop.random;
    const float* turns = hop.randomTurns;
    int k = 1;
#if QX_TRIGWAVE_SSE2
    for (; k + 12 <= h; k += 12) {
        unsigned char j[12];
        for (int d = 0; d < 12; d += 3) {
            const int r = random.next();
            j[d] = static_cast<unsigned char>(r);
            j[d + 1] = static_cast<unsigned char>(r >> 8);
            j[d + 2] = static_cast<unsigned char>(r >> 16);
        }
        for (int v = 0; v < 12; v += 4) turnFour(re, im, k + v, pr, pi, coherent, turns, j + v);
    }
#endif
    for (; k < h; ++k) {
        const int j = random.next() & 0xFF;
        if (coherent) turn(re, im, k, pr[k], pi[k]);
        turn(re, im, k, turns[2 * j], turns[2 * j + 1]);
    }
    *hop.random = random;
}

int SpectralVoice::filterGains(const HopContext& hop) const {
    const VoiceSettings& s = *hop.settings;
    const int h = size_ / 2;
    float cutoff = filterEnv_.level() * s.filterEnvAmount * 20000.0f + s.filterFrequency;
    if (!(cutoff >= 1.0f)) cutoff = 1.0f;
    const float res = s.resonance;
    const float level = 1.0f / (7.0f * res * res + 1.0f) * ampEnv_.level();
    float* __restrict g = hop.gain;
    if (s.analog) {
        // |1 / (1 - 1.8 res r + r^2)|^2 of the normalised frequency r = f / cutoff: flat
        // below the cutoff, a resonant bump near it, 24 dB per octave above.
        const float scale = hop.sampleRate / (cutoff * static_cast<float>(size_));
        const float peak = 1.8f * res;
        for (int k = 1; k < h; ++k) {
            const float r = static_cast<float>(k) * scale;
            const float d = 1.0f - peak * r + r * r;
            g[k] = level / (d * d + 1e-10f);
        }
        return h;
    }
    // Brick wall at bin kc, with the last N/32 bins below it raised by 7 x resonance.
    const int kc =
        std::min(static_cast<int>(cutoff * static_cast<float>(size_) / hop.sampleRate), h - 1);
    for (int k = 1; k < kc; ++k) g[k] = level;
    const float edge = level * res * 7.0f;
    for (int k = std::max(1, kc - size_ / 32); k < kc; ++k) g[k] += edge;
    return std::max(kc, 1);
}

}  // namespace qx
