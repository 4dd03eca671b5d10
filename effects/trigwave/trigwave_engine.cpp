// Set-up, settings and the once-per-hop spectral work of the trigwave engine; the
// per-frame loops live in the header.
#include "effects/trigwave/trigwave_engine.h"

namespace qx {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kResetValue = 1e-8f;  // running outputs and meters restart here, not at 0
constexpr float kAntiDenormalDb = -160.0f;
constexpr float kMeterHoldSeconds = 10.0f;
constexpr int kOnsetBlocks = 4;  // blocks of N/8 examined per hop
constexpr int kTriggerHops = 4;  // hops of analysis after an onset, and the dead time
constexpr float kRandomAngleStep = 0.024543693f;  // pi / 128

// lo..hi, with NaN giving lo.
float clampTo(float x, float lo, float hi) {
    return x > lo ? (x < hi ? x : hi) : lo;
}

}  // namespace

TrigwaveEngine::TrigwaveEngine()
    : window_(kMaxFrameSize),
      synthesisWindow_(kMaxFrameSize),
      fadeIn_(kMaxFrameSize / 8),
      inputRing_(kMaxFrameSize),
      outputRing_(kMaxFrameSize),
      frame_(kMaxFrameSize),
      spectrum_(kMaxFrameSize),
      sum_(kMaxFrameSize),
      gain_(kMaxFrameSize / 2) {
    dryLeft_.init(kLatency, kLatency, 1.0f);
    dryRight_.init(kLatency, kLatency, 1.0f);
    widthDelay_.init(0, kWidthDelayMax, 1.0f);
    setRandomize(voice_.randomize);
    setUp(44100.0f);
}

void TrigwaveEngine::setSampleRate(float sampleRateHz) {
    const float fs = clampTo(sampleRateHz, kMinSampleRate, kMaxSampleRate);
    if (fs == sampleRate_) return;
    setUp(fs);
}

void TrigwaveEngine::setUp(float fs) {
    sampleRate_ = fs;
    meterDecay_ = static_cast<float>(std::exp(-1.0 / fs));
    holdFrames_ = static_cast<int>(fs * kMeterHoldSeconds);
    noise_.setLevel(kAntiDenormalDb);

    size_ = fs >= kFrameSizeSwitchRate ? kMaxFrameSize : kMaxFrameSize / 2;
    hop_ = size_ / 2;
    onsetBlock_ = size_ / 8;
    analysisTap_ = std::min(size_, kLatency - 1);
    fft_ = size_ == kMaxFrameSize ? &fftLarge_ : &fftSmall_;
    for (int i = 0; i < size_; ++i) {
        window_[i] = static_cast<float>(std::sin(kPi * i / size_));
        synthesisWindow_[i] = window_[i] / static_cast<float>(size_);
    }
    for (int i = 0; i < onsetBlock_; ++i)
        fadeIn_[i] = static_cast<float>(std::sin(i * (kPi / 2.0) / onsetBlock_));

    reverb_.setSampleRate(static_cast<int>(fs));
    reverb_.setDryMix(false);
    reverb_.setEarlyLevel(0.0f);
    reverb_.setModulation(true);
    reverb_.setLowNarrowing(false);

    for (SpectralVoice& v : voices_) v.setup(size_);
    const float tickRate = fs / static_cast<float>(hop_);
    ampShape_.setRate(tickRate);
    filterShape_.setRate(tickRate);
    widthDelay_.setLength(static_cast<int>(fs * kWidthSeconds));
    clearState();
}

void TrigwaveEngine::clearState() {
    outLeft_ = outRight_ = kResetValue;
    for (Meter& m : meters_) {
        m.level = m.peakHold = kResetValue;
        m.holdCount = 0;
    }
    current_ = 0;
    triggerState_ = 0;
    triggered_ = false;
    // Hops run when the position is a multiple of N/2; after a frame-size change an old
    // position could lie beyond the new ring.
    pos_ = 0;
    for (std::vector<float>* v : {&inputRing_, &outputRing_, &frame_, &spectrum_, &sum_})
        std::fill(v->begin(), v->end(), 0.0f);
    for (SpectralVoice& v : voices_) v.free();
}

void TrigwaveEngine::setBypassed(bool on) {
    bypassed_ = on;
    clearState();
}

void TrigwaveEngine::resetPeakHolds() {
    for (Meter& m : meters_) m.holdCount = 0;
}

void TrigwaveEngine::setOutputGain(float gainLinear) {
    outputGain_ = gainLinear >= kMinOutputGain ? gainLinear : kMinOutputGain;
}

void TrigwaveEngine::setMix(float wetShare) {
    mix_ = clampTo(wetShare, 0.0f, 1.0f);
}

void TrigwaveEngine::setThreshold(float energyRatio) {
    threshold_ = clampTo(energyRatio, kMinThreshold, kMaxThreshold);
}

void TrigwaveEngine::setWidth(float width) {
    width_ = clampTo(width, 0.0f, 1.0f);
}

void TrigwaveEngine::setMono(bool on) {
    mono_ = on;
    current_ = 0;
}

void TrigwaveEngine::setReverbOn(bool on) {
    reverbOn_ = on;
    reverb_.clear();
}

void TrigwaveEngine::setReverbLevel(float gainLinear) {
    reverb_.setInputGain(clampTo(gainLinear, 1e-6f, 1e6f));
}

void TrigwaveEngine::setReverbTime(float seconds) {
    reverb_.setDecayTime(clampTo(seconds, 0.01f, 7.0f));
}

void TrigwaveEngine::setReverbSize(float size) {
    reverb_.setSize(clampTo(size, 0.05f, 1.0f));
}

void TrigwaveEngine::setAmpAttack(float seconds) {
    ampShape_.setAttack(seconds);
}

void TrigwaveEngine::setAmpDecay(float seconds) {
    ampShape_.setDecay(seconds);
}

void TrigwaveEngine::setAmpSustainTime(float seconds) {
    ampShape_.setSustainTime(seconds);
}

void TrigwaveEngine::setAmpSustainLevelDb(float db) {
    ampShape_.setSustainLevel(
        static_cast<float>(std::pow(10.0, clampTo(db, -120.0f, 0.0f) / 20.0)));
}

void TrigwaveEngine::setAmpRelease(float seconds) {
    ampShape_.setRelease(seconds);
}

void TrigwaveEngine::setFilterAttack(float seconds) {
    filterShape_.setAttack(seconds);
}

void TrigwaveEngine::setFilterDecay(float seconds) {
    filterShape_.setDecay(seconds);
}

void TrigwaveEngine::setFilterSustainTime(float seconds) {
    filterShape_.setSustainTime(seconds);
}

void TrigwaveEngine::setFilterSustainLevel(float level) {
    filterShape_.setSustainLevel(level);
}

void TrigwaveEngine::setFilterRelease(float seconds) {
    filterShape_.setRelease(seconds);
}

void TrigwaveEngine::setRandomize(float amount) {
    voice_.randomize = clampTo(amount, 0.0f, 1.0f);
    // Each bin turns by one of 256 angles per hop; the table spares a sine and a cosine
    // per bin.
    for (int j = 0; j < 256; ++j) {
        const float theta = static_cast<float>(j - 128) * voice_.randomize * kRandomAngleStep;
        randomTurns_[j][0] = static_cast<float>(std::cos(static_cast<double>(theta)));
        randomTurns_[j][1] = static_cast<float>(std::sin(static_cast<double>(theta)));
    }
}

void TrigwaveEngine::setFilterFrequency(float hz) {
    voice_.filterFrequency = clampTo(hz, 1.0f, 20000.0f);
}

void TrigwaveEngine::setFilterEnvAmount(float amount) {
    voice_.filterEnvAmount = clampTo(amount, -1.0f, 1.0f);
}

void TrigwaveEngine::setResonance(float resonance) {
    voice_.resonance = clampTo(resonance, 0.0f, 1.0f);
}

void TrigwaveEngine::setAnalog(bool on) {
    voice_.analog = on;
}

float TrigwaveEngine::peakHoldDb(int channel) const {
    return 20.0f * std::log10(1e-8f + peakHold(channel));
}

bool TrigwaveEngine::readTriggered() {
    const bool lit = triggered_;
    if (triggerState_ == 0) triggered_ = false;
    return lit;
}

void TrigwaveEngine::runHop() {
    const int n = size_;
    if (triggerState_ == 0) detectOnset();
    if (triggerState_ != 0) {
        // The ring from its oldest sample on, windowed.
        const float* ring = inputRing_.data();
        const float* w = window_.data();
        float* f = frame_.data();
        const int older = n - pos_;
        for (int i = 0; i < older; ++i) f[i] = ring[pos_ + i] * w[i];
        for (int i = 0; i < pos_; ++i) f[older + i] = ring[i] * w[older + i];
        fft_->forward(spectrum_.data(), frame_.data());
    }
    if (triggerState_ == 1) {
        voices_[current_].trigger(ampShape_, filterShape_);
        if (!mono_) current_ = (current_ + 1) % kVoices;
    }

    std::fill(sum_.begin(), sum_.begin() + n, 0.0f);
    HopContext hop;
    hop.size = n;
    hop.sampleRate = sampleRate_;
    hop.settings = &voice_;
    hop.ampShape = &ampShape_;
    hop.filterShape = &filterShape_;
    hop.randomTurns = &randomTurns_[0][0];
    hop.random = &random_;
    hop.gain = gain_.data();
    bool sounding = false;
    for (SpectralVoice& v : voices_)
        if (v.processHop(spectrum_.data(), sum_.data(), hop)) sounding = true;
    resynthesize(sounding);

    if (triggerState_ > 0) triggerState_ = triggerState_ >= kTriggerHops ? 0 : triggerState_ + 1;
}

// Compares the energy of each of the four newest blocks of N/8 samples with the block
// before it. Both energies carry +1, so near silence a block must hold a sum of squares
// above threshold - 1 to count.
void TrigwaveEngine::detectOnset() {
    const int n = size_;
    const int b = onsetBlock_;
    float* const ring = inputRing_.data();
    // pos_ and every block start are multiples of N/8, so no block wraps.
    auto block = [&](int relative) { return ring + ((pos_ + relative) & (n - 1)); };
    auto energy = [&](int relative) {
        const float* x = block(relative);
        float s = 0.0f;
        for (int i = 0; i < b; ++i) s += x[i] * x[i];
        return 1.0f + s;
    };
    float reference = energy(n - hop_ - b);
    int onset = -1;
    for (int k = 0, start = n - hop_; k < kOnsetBlocks; ++k, start += b) {
        const float e = energy(start);
        if (e > threshold_ * reference) {
            onset = start;
            break;
        }
        reference = e;
    }
    if (onset < 0) return;
    triggerState_ = 1;
    triggered_ = true;
    // The capture starts at the onset, faded in over one block.
    for (int start = 0; start < onset; start += b) std::fill_n(block(start), b, 0.0f);
    float* x = block(onset);
    for (int i = 0; i < b; ++i) x[i] *= fadeIn_[i];
}

// Overlap-add of the voices' sum: the older half of the windowed frame completes the
// output the next hop plays, the newer half starts the one after it.
void TrigwaveEngine::resynthesize(bool anyVoice) {
    const int h = hop_;
    float* next = outputRing_.data() + pos_;
    float* later = outputRing_.data() + (pos_ ^ h);
    if (!anyVoice) {
        std::fill_n(later, h, 0.0f);
        return;
    }
    fft_->inverse(frame_.data(), sum_.data());
    const float* f = frame_.data();
    const float* w = synthesisWindow_.data();
    for (int i = 0; i < h; ++i) next[i] += f[i] * w[i];
    for (int i = 0; i < h; ++i) later[i] = f[h + i] * w[h + i];
}

}  // namespace qx
