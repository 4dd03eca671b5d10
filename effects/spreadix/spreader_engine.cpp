// Settings, layouts and line lengths of the stereo spreader engine.
#include "effects/spreadix/spreader_engine.h"

namespace qx {

namespace {

// Layout constants: middle region lo..hi, the factor outside it (the right source's
// factor to the right of the ITU stage is larger), and the middle region's pan factor.
struct Layout {
    float lo, hi, edge, rightEdge, middle;
    float bassHz;              // corner of the bass images
    double crosstalkSeconds;   // delay of the cancelling copy
    float crosstalkDampingHz;  // its lowpass
};
constexpr Layout kItu = {0.25f, 0.75f, 4.0f, 5.0f, 2.0f, 100.0f, 0.00026, 1600.0f};
constexpr Layout kDipole = {0.4f, 0.6f, 2.5f, 2.5f, 5.0f, 200.0f, 0.00005, 5000.0f};

constexpr double kSideDelaySeconds = 0.035;  // at character 1
constexpr float kSideDampingHz = 12000.0f;
constexpr double kDiffuser1Seconds = 0.01;
constexpr double kDiffuser2Seconds = 0.0079;
constexpr float kDiffuserGain = 0.6f;  // diffuser 2 uses its negative

// Lengths at construction, before the first recompute (44100 Hz).
constexpr int kInitialSideDelay = 1543;
constexpr int kInitialCrosstalk = 13;  // 44100 Hz * 0.3 ms

// Whole samples of a time at a rate, truncated (the line holds it to its capacity).
int samples(double seconds, float sampleRate) {
    return static_cast<int>(seconds * sampleRate);
}

// x held to lo..hi; NaN gives lo.
float held(float x, float lo, float hi) {
    return x >= lo ? std::min(x, hi) : lo;
}

}  // namespace

SpreaderEngine::SpreaderEngine() {
    sideDelay_.init(kInitialSideDelay, kSideDelayCapacity, 0.0f);
    diffuser1_.init(samples(kDiffuser1Seconds, sampleRate_), kDiffuser1Capacity, kDiffuserGain);
    diffuser2_.init(samples(kDiffuser2Seconds, sampleRate_), kDiffuser2Capacity, -kDiffuserGain);
    crosstalkLeft_.init(kInitialCrosstalk, kCrosstalkCapacity, 1.0f);
    crosstalkRight_.init(kInitialCrosstalk, kCrosstalkCapacity, 1.0f);
    recompute();
}

void SpreaderEngine::recompute() {
    const Layout& layout = dipole_ ? kDipole : kItu;
    const float fs = sampleRate_;
    const int rate = static_cast<int>(fs);
    sideDelay_.setLength(samples(character_ * kSideDelaySeconds, fs));
    filters_.sideDamping.setCutoff(kSideDampingHz, rate);
    diffuser1_.setLength(samples(kDiffuser1Seconds, fs));
    diffuser2_.setLength(samples(kDiffuser2Seconds, fs));
    filters_.bassLeft.setCutoff(layout.bassHz, rate);
    filters_.bassRight.setCutoff(layout.bassHz, rate);
    for (DelayLine* line : {&crosstalkLeft_, &crosstalkRight_})
        line->setLength(samples(layout.crosstalkSeconds, fs));
    for (OnePoleFilter& damping : filters_.crosstalkDamping)
        damping.setCutoff(layout.crosstalkDampingHz, rate);
    place();
}

SpreaderEngine::Placement SpreaderEngine::placement(float p, float outerEdge) const {
    const Layout& layout = dipole_ ? kDipole : kItu;
    Placement s;
    if (p < lo_) {
        s.region = Region::Left;
        s.factor = (lo_ - p) * layout.edge;
    } else if (p > hi_) {
        s.region = Region::Right;
        s.factor = (p - hi_) * outerEdge;
    } else {
        s.towardLeft = hi_ - p;
        s.towardRight = p - lo_;
    }
    s.crosstalk = kCrosstalkGain * s.factor;
    return s;
}

void SpreaderEngine::place() {
    const Layout& layout = dipole_ ? kDipole : kItu;
    lo_ = layout.lo;
    hi_ = layout.hi;
    middle_ = layout.middle;
    left_ = placement(panLeft_, layout.edge);
    right_ = placement(panRight_, layout.rightEdge);
}

void SpreaderEngine::setSampleRate(float sampleRateHz) {
    sampleRate_ = held(sampleRateHz, kMinSampleRate, kMaxSampleRate);
    recompute();
}

void SpreaderEngine::setPanLeft(float position) {
    panLeft_ = held(position, 0.0f, 1.0f);
    place();
}

void SpreaderEngine::setPanRight(float position) {
    panRight_ = held(position, 0.0f, 1.0f);
    place();
}

void SpreaderEngine::setLevelDb(float levelDb) {
    level_ = static_cast<float>(std::pow(10.0, held(levelDb, -200.0f, 40.0f) / 20.0));
}

void SpreaderEngine::setDipole(bool on) {
    dipole_ = on;
    recompute();
}

void SpreaderEngine::setSideLevel(float gain) {
    sideLevel_ = held(gain, 0.0f, kMaxSideLevel);
}

void SpreaderEngine::setSynthMix(float gain) {
    sideDelay_.setGain(held(gain, 0.0f, 1.0f));
}

void SpreaderEngine::setCharacter(float character) {
    character_ = held(character, kMinCharacter, 1.0f);
    recompute();
}

}  // namespace qx
