// Second-order IIR section (transposed direct form II) with its own coefficient designer:
// lowpass, highpass, bell and shelving responses.
#pragma once

namespace qx {

// Response types accepted by design(); any other number designs a pass-through.
enum BiquadType : int {
    kBiquadLowpass = 0,
    kBiquadHighpass = 1,
    kBiquadBell = 2,
    kBiquadHighShelf = 3,
    kBiquadLowShelf = 4,  // full variant only
};

// Normalised coefficients (a0 == 1) shared by both variants.
struct BiquadCoefficients {
    float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f;
    float a0 = 1.0f, a1 = 0.0f, a2 = 0.0f;
};

// Full variant: five response types, an output gain and an optional state reset.
class BiquadFilter {
  public:
    BiquadFilter() = default;
    virtual ~BiquadFilter() = default;

    // sampleRate and frequencyHz in Hz; bandwidthDivisor sets the bell's bandwidth to
    // frequencyHz / bandwidthDivisor; gainDb shapes bell, shelves and the low/highpass
    // resonance; outputGainDb scales the whole response. With resetState false the
    // running state is kept so a redesign while audio runs does not click.
    // Control thread (calls pow, tan, cos, sin); not to interleave with processSample.
    void design(float sampleRate, int type, float frequencyHz, float bandwidthDivisor, float gainDb,
                float outputGainDb, bool resetState);

    float processSample(float x) {
        const float y = c_.b0 * x + s1_;
        s1_ = c_.b1 * x - c_.a1 * y + s2_;
        s2_ = c_.b2 * x - c_.a2 * y;
        out_ = y;
        return y;
    }

    float output() const { return out_; }

    float b0() const { return c_.b0; }
    float b1() const { return c_.b1; }
    float b2() const { return c_.b2; }
    float a0() const { return c_.a0; }
    float a1() const { return c_.a1; }
    float a2() const { return c_.a2; }
    float state1() const { return s1_; }
    float state2() const { return s2_; }

  private:
    BiquadCoefficients c_;
    float out_ = 0.0f;
    float s1_ = 0.0f;  // transposed direct form II state words
    float s2_ = 0.0f;
};

// Lite variant: types 0 to 3 only (4 and above pass through), no output gain, and the
// state is always kept across a redesign.
class BiquadFilterLite {
  public:
    BiquadFilterLite() = default;
    virtual ~BiquadFilterLite() = default;

    // As BiquadFilter::design with outputGainDb 0 and resetState false.
    void design(float sampleRate, int type, float frequencyHz, float bandwidthDivisor,
                float gainDb);

    float processSample(float x) {
        const float y = c_.b0 * x + s1_;
        s1_ = c_.b1 * x - c_.a1 * y + s2_;
        s2_ = c_.b2 * x - c_.a2 * y;
        out_ = y;
        return y;
    }

    float output() const { return out_; }

    float b0() const { return c_.b0; }
    float b1() const { return c_.b1; }
    float b2() const { return c_.b2; }
    float a0() const { return c_.a0; }
    float a1() const { return c_.a1; }
    float a2() const { return c_.a2; }

  private:
    BiquadCoefficients c_;
    float out_ = 0.0f;
    float s1_ = 0.0f;
    float s2_ = 0.0f;
};

}  // namespace qx
