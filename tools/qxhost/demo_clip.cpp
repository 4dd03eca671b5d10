// Demo piece synthesis: 120 BPM, A minor - F - C - G, one bar per two seconds.
#include "tools/qxhost/demo_clip.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

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

// The instruments of the piece, each on its own, so the stereo and the 5.1 clip place
// them differently. Stereo pairs are (left, right).
struct Stems {
    std::vector<double> kick, bass;
    Planar snare, hats, offbeatHats, chords;
};

Stems makeStems(double rate, double seconds) {
    const auto frames = static_cast<std::size_t>(seconds * rate);
    Stems s;
    const std::vector<double> silent(frames, 0.0);
    Planar kick(2, silent);
    s.snare = s.hats = s.offbeatHats = s.chords = Planar(2, silent);
    s.bass = silent;
    Noise noise;

    const int beats = static_cast<int>(seconds / kBeatSeconds);
    for (int b = 0; b < beats; ++b) {
        const double t = b * kBeatSeconds;
        if (b % 2 == 0) addKick(kick, rate, t);
        if (b % 4 == 3) addKick(kick, rate, t + 0.75 * kBeatSeconds);  // pickup into the next bar
        if (b % 2 == 1) addSnare(s.snare, rate, t, noise);
        addHat(s.hats, rate, t, 0.025, noise);
        addHat(s.offbeatHats, rate, t + 0.5 * kBeatSeconds, b % 4 == 2 ? 0.12 : 0.02, noise);
    }
    s.kick = kick[0];

    // Bass in eighth notes and chords spread wide: each chord note is two detuned voices,
    // one per side, so the side signal carries real content.
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
        s.bass[n] = 0.35 * pluck * bassLow;

        const double barTime = std::fmod(t, 4 * kBeatSeconds);
        const double swell = std::min(1.0, barTime / 0.08) * (0.6 + 0.4 * std::exp(-barTime / 0.5));
        for (int v = 0; v < 3; ++v) {
            for (int side = 0; side < 2; ++side) {
                const double hz = midiHz(bar.chord[v] + (side == 0 ? -0.08 : 0.08));
                chordPhase[v][side] =
                    std::fmod(chordPhase[v][side] + 2.0 * kPi * hz / rate, 2.0 * kPi);
                s.chords[side][n] += 0.055 * swell * saw(chordPhase[v][side], hz, rate, 6);
            }
        }
    }
    return s;
}

void normalise(Planar& out) {
    double peak = 0.0;
    for (const auto& channel : out)
        for (double v : channel) peak = std::max(peak, std::fabs(v));
    const double gain = peak > 0.0 ? std::pow(10.0, -1.0 / 20.0) / peak : 1.0;
    for (auto& channel : out)
        for (double& v : channel) v *= gain;
}

// Fourth-order Butterworth lowpass (two biquads), in place.
void lowpass(std::vector<double>& x, double hz, double rate) {
    const double k = std::tan(kPi * hz / rate);
    for (double q : {0.54119610, 1.3065630}) {
        const double norm = 1.0 / (1.0 + k / q + k * k);
        const double b0 = k * k * norm, a1 = 2.0 * (k * k - 1.0) * norm;
        const double a2 = (1.0 - k / q + k * k) * norm;
        double s1 = 0.0, s2 = 0.0;
        for (double& v : x) {
            const double y = b0 * v + s1;
            s1 = 2.0 * b0 * v - a1 * y + s2;
            s2 = b0 * v - a2 * y;
            v = y;
        }
    }
}

}  // namespace

Audio makeDemoClip(int sampleRate, double seconds) {
    const Stems s = makeStems(sampleRate, seconds);
    Audio clip;
    clip.sampleRate = sampleRate;
    clip.channels = s.chords;
    Planar& out = clip.channels;
    for (int c = 0; c < 2; ++c)
        for (std::size_t n = 0; n < out[c].size(); ++n)
            out[c][n] += s.kick[n] + s.snare[c][n] + s.hats[c][n] + s.offbeatHats[c][n] + s.bass[n];
    normalise(out);
    return clip;
}

Audio makeSurroundDemoClip(int sampleRate, double seconds) {
    enum { L, R, C, Lfe, Ls, Rs };
    const Stems s = makeStems(sampleRate, seconds);
    Audio clip;
    clip.sampleRate = sampleRate;
    Planar& out = clip.channels;
    out.assign(6, std::vector<double>(s.kick.size(), 0.0));
    // Kick below 120 Hz in the LFE channel, the rest of the drums and the bass in the centre.
    out[Lfe] = s.kick;
    for (std::size_t n = 0; n < s.kick.size(); ++n) out[Lfe][n] += s.bass[n];
    lowpass(out[Lfe], 120.0, sampleRate);
    for (std::size_t n = 0; n < s.kick.size(); ++n) {
        out[C][n] = 0.6 * s.kick[n] + s.bass[n] + 0.5 * (s.snare[0][n] + s.snare[1][n]);
        // Chords on the front pair, a softer copy of each side behind it.
        out[L][n] = s.chords[0][n];
        out[R][n] = s.chords[1][n];
        out[Ls][n] = 0.5 * s.chords[0][n];
        out[Rs][n] = 0.5 * s.chords[1][n];
        // Hats around the back: on the beat behind the right, off the beat behind the left.
        out[Rs][n] += 0.5 * (s.hats[0][n] + s.hats[1][n]);
        out[Ls][n] += 0.5 * (s.offbeatHats[0][n] + s.offbeatHats[1][n]);
    }
    normalise(out);
    return clip;
}

}  // namespace qx::tool
