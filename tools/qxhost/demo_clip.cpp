// Demo piece synthesis: 120 BPM, A minor - F - C - G, one bar per two seconds.
#include "tools/qxhost/demo_clip.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qx::tool {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeatSeconds = 0.5;

// Small deterministic noise source (xorshift), uniform in [-1, 1).
class Noise {
  public:
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

  private:
    std::uint32_t state_ = 0x9e3779b9u;
};

double midiHz(double note) {
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

// Band-limited sawtooth from its harmonics below Nyquist (at most `limit` of them).
double saw(double phase, double hz, double rate, int limit) {
    double sum = 0.0;
    for (int k = 1; k <= limit && k * hz < 0.45 * rate; ++k) sum += std::sin(k * phase) / k;
    return sum * (2.0 / kPi);
}

struct Bar {
    int bass;      // MIDI note
    int chord[3];  // MIDI notes
};
constexpr Bar kBars[] = {
    {33, {57, 60, 64}}, {29, {57, 60, 65}}, {36, {55, 60, 64}}, {31, {55, 59, 62}}};

void addKick(Planar& out, double rate, double start) {
    const auto begin = static_cast<std::size_t>(start * rate);
    double phase = 0.0;
    for (std::size_t n = begin;
         n < out[0].size() && n < begin + static_cast<std::size_t>(0.4 * rate); ++n) {
        const double t = (n - begin) / rate;
        phase += 2.0 * kPi * (45.0 + 85.0 * std::exp(-t / 0.03)) / rate;
        const double click = t < 0.002 ? 0.5 * (1.0 - t / 0.002) : 0.0;
        const double v = 0.85 * std::sin(phase) * std::exp(-t / 0.22) + click;
        out[0][n] += v;
        out[1][n] += v;
    }
}

void addSnare(Planar& out, double rate, double start, Noise& noise) {
    const auto begin = static_cast<std::size_t>(start * rate);
    for (std::size_t n = begin;
         n < out[0].size() && n < begin + static_cast<std::size_t>(0.3 * rate); ++n) {
        const double t = (n - begin) / rate;
        const double body = 0.35 * std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t / 0.06);
        const double rattle = 0.4 * noise.next() * std::exp(-t / 0.09);
        out[0][n] += body + 0.9 * rattle;
        out[1][n] += body + rattle;
    }
}

void addHat(Planar& out, double rate, double start, double decay, Noise& noise) {
    const auto begin = static_cast<std::size_t>(start * rate);
    double previous = 0.0;
    for (std::size_t n = begin;
         n < out[0].size() && n < begin + static_cast<std::size_t>(6 * decay * rate); ++n) {
        const double t = (n - begin) / rate;
        const double white = noise.next();
        const double bright = 0.5 * (white - previous);  // first difference: mostly highs
        previous = white;
        const double v = 0.3 * bright * std::exp(-t / decay);
        out[0][n] += 0.45 * v;  // off to the right
        out[1][n] += v;
    }
}

}  // namespace

Audio makeDemoClip(int sampleRate, double seconds) {
    const double rate = sampleRate;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    Audio clip;
    clip.sampleRate = sampleRate;
    clip.channels.assign(2, std::vector<double>(frames, 0.0));
    Planar& out = clip.channels;
    Noise noise;

    const int beats = static_cast<int>(seconds / kBeatSeconds);
    for (int b = 0; b < beats; ++b) {
        const double t = b * kBeatSeconds;
        if (b % 2 == 0) addKick(out, rate, t);
        if (b % 4 == 3) addKick(out, rate, t + 0.75 * kBeatSeconds);  // pickup into the next bar
        if (b % 2 == 1) addSnare(out, rate, t, noise);
        addHat(out, rate, t, 0.025, noise);
        addHat(out, rate, t + 0.5 * kBeatSeconds, b % 4 == 2 ? 0.12 : 0.02, noise);
    }

    // Bass (centre) in eighth notes and chords spread wide: each chord note is two detuned
    // voices, one per side, so the side signal carries real content.
    double bassPhase = 0.0, bassLow = 0.0;
    double chordPhase[3][2] = {};
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = n / rate;
        const Bar& bar = kBars[static_cast<std::size_t>(t / (4 * kBeatSeconds)) % std::size(kBars)];
        const double eighth = std::fmod(t, kBeatSeconds / 2);
        const double bassHz = midiHz(bar.bass);
        bassPhase = std::fmod(bassPhase + 2.0 * kPi * bassHz / rate, 2.0 * kPi);
        const double pluck = std::min(1.0, eighth / 0.004) * std::exp(-eighth / 0.15);
        bassLow += 0.25 * (saw(bassPhase, bassHz, rate, 12) - bassLow);
        const double bass = 0.35 * pluck * bassLow;

        const double barTime = std::fmod(t, 4 * kBeatSeconds);
        const double swell = std::min(1.0, barTime / 0.08) * (0.6 + 0.4 * std::exp(-barTime / 0.5));
        double side[2] = {0.0, 0.0};
        for (int v = 0; v < 3; ++v) {
            for (int s = 0; s < 2; ++s) {
                const double hz = midiHz(bar.chord[v] + (s == 0 ? -0.08 : 0.08));
                chordPhase[v][s] = std::fmod(chordPhase[v][s] + 2.0 * kPi * hz / rate, 2.0 * kPi);
                side[s] += 0.055 * swell * saw(chordPhase[v][s], hz, rate, 6);
            }
        }
        out[0][n] += bass + side[0];
        out[1][n] += bass + side[1];
    }

    double peak = 0.0;
    for (const auto& channel : out)
        for (double v : channel) peak = std::max(peak, std::fabs(v));
    const double gain = peak > 0.0 ? std::pow(10.0, -1.0 / 20.0) / peak : 1.0;
    for (auto& channel : out)
        for (double& v : channel) v *= gain;
    return clip;
}

}  // namespace qx::tool
