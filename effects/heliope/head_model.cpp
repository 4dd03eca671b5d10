// Head geometries, cabinet tables, filter design helpers and room configuration of the
// headphone renderers.
#include "effects/heliope/head_model.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

// Highest design frequency (and bell bandwidth) as a fraction of the sample rate.
constexpr float kMaxDesignFraction = 0.48f;

// Q 0.5 is passed where a type ignores it.
constexpr FilterDesign highpass(float hz, float resonanceDb = 0.0f, float outputDb = 0.0f) {
    return {kBiquadHighpass, hz, 0.5f, resonanceDb, outputDb, false};
}
constexpr FilterDesign lowpass(float hz, float resonanceDb = 0.0f, float outputDb = 0.0f) {
    return {kBiquadLowpass, hz, 0.5f, resonanceDb, outputDb, false};
}
constexpr FilterDesign bell(float hz, float q, float gainDb, float outputDb = 0.0f,
                            bool clearState = false) {
    return {kBiquadBell, hz, q, gainDb, outputDb, clearState};
}
constexpr FilterDesign highShelf(float hz, float gainDb, float outputDb = 0.0f) {
    return {kBiquadHighShelf, hz, 0.5f, gainDb, outputDb, false};
}
constexpr FilterDesign lowShelf(float hz, float gainDb) {
    return {kBiquadLowShelf, hz, 0.5f, gainDb, 0.0f, false};
}

struct Stages {
    FilterDesign s[3];
};

constexpr CabinetModel model(const Stages& full, const Stages& lfe, const FilterDesign& send) {
    return {{full.s[0], full.s[1], full.s[2]}, {lfe.s[0], lfe.s[1], lfe.s[2]}, send};
}

// Full-range stages of the stereo models; the surround table reuses most of them.
constexpr Stages kReference = {{highpass(10), lowpass(20000), bell(2000, 0.5f, 0)}};
constexpr Stages kSmallBandLimited = {{highpass(190), bell(1400, 1.5f, 7), lowpass(10000, 3)}};
constexpr Stages kNearFieldA = {{highpass(60), highShelf(600, 3), highShelf(10000, -3)}};
constexpr Stages kNearFieldB = {{highpass(99, 2), bell(1300, 0.8f, 8), highShelf(15000, -3, -3)}};
constexpr Stages kNearFieldC = {{highpass(70, 3), bell(600, 1, 5), lowpass(17000, 5, -3)}};
constexpr Stages kNearFieldD = {{highpass(68), bell(4000, 0.7f, -3), lowpass(18000, 5)}};
constexpr Stages kNearFieldE = {{highpass(85, 2), bell(2700, 1.2f, -7), bell(11000, 1.2f, -7)}};
// The 42 Hz resonance starts from silence at every design.
constexpr Stages kNearFieldF = {{highpass(95, 2), bell(42, 8, 9, 0, true), bell(900, 1.5f, 4)}};
constexpr Stages kNearFieldG = {{highpass(95, 2), bell(1400, 1, 8), lowpass(19000, 6, -2)}};
constexpr Stages kLaptop = {{highpass(200), bell(900, 2, 15), bell(7000, 2, 25, -20)}};
constexpr Stages kPortable = {{highpass(180, 3), highShelf(700, -5), lowpass(10000, 4)}};
constexpr Stages kFlatpanel = {{highpass(350), bell(4000, 0.6f, -10), lowpass(13000)}};
constexpr Stages kPcDesktop = {{highpass(200), bell(900, 2, 15), bell(7000, 2, 25, -30)}};
constexpr Stages kSubSatLow = {{highpass(180), bell(1400, 1.5f, 7), lowpass(10000, 3)}};
constexpr Stages kSubSatHigh = {{highpass(80), bell(1400, 1.5f, 2), lowpass(17000, 3)}};

constexpr FilterDesign kSend400Plus6 = lowShelf(400, 6);
constexpr FilterDesign kSend400Plus9 = lowShelf(400, 9);
constexpr FilterDesign kSend1000Plus9 = lowShelf(1000, 9);
constexpr FilterDesign kSend2000Plus9 = lowShelf(2000, 9);

// Stereo models have no LFE input; their LFE stages repeat the full-range ones.
constexpr CabinetModel stereo(const Stages& full, const FilterDesign& send) {
    return model(full, full, send);
}

constexpr CabinetModel kStereoModels[] = {
    stereo(kReference, kSend400Plus6),  stereo(kSmallBandLimited, kSend400Plus9),
    stereo(kNearFieldA, kSend400Plus9), stereo(kNearFieldB, kSend400Plus9),
    stereo(kNearFieldC, kSend400Plus9), stereo(kNearFieldD, kSend400Plus9),
    stereo(kNearFieldE, kSend400Plus9), stereo(kNearFieldF, kSend400Plus9),
    stereo(kNearFieldG, kSend400Plus9), stereo(kLaptop, kSend2000Plus9),
    stereo(kPortable, kSend1000Plus9),  stereo(kFlatpanel, kSend1000Plus9),
};
static_assert(sizeof(kStereoModels) / sizeof(kStereoModels[0]) == 12);

// LFE stages of the surround models (0 dB resonance unless given).
constexpr Stages kLfeReference = {{highpass(10), lowpass(20000), lowpass(20000)}};
constexpr Stages kLfeSmall = {{highpass(50), lowpass(190), lowpass(250)}};
constexpr Stages kLfeNearField = {{highpass(20), lowpass(150), lowpass(250)}};
constexpr Stages kLfePcDesktop = {{highpass(80), lowpass(600), lowpass(600)}};
constexpr Stages kLfePortable = {{highpass(80), lowpass(150), lowpass(250)}};
constexpr Stages kLfeFlatpanel = {{highpass(80), lowpass(350), lowpass(350)}};
constexpr Stages kLfeSubSatLow = {{highpass(80, 0, 3), lowpass(180, 3), lowpass(180)}};
constexpr Stages kLfeSubSatHigh = {{highpass(30, 0, 3), lowpass(150), lowpass(150)}};

constexpr CabinetModel kSurroundModels[] = {
    model(kReference, kLfeReference, kSend400Plus6),
    model(kSmallBandLimited, kLfeSmall, kSend400Plus9),
    model(kNearFieldA, kLfeNearField, kSend400Plus9),
    model(kNearFieldB, kLfeNearField, kSend400Plus9),
    model(kNearFieldC, kLfeNearField, kSend400Plus9),
    model(kNearFieldD, kLfeNearField, kSend400Plus9),
    model(kNearFieldE, kLfeNearField, kSend400Plus9),
    model(kNearFieldF, kLfeNearField, kSend400Plus9),
    model(kNearFieldG, kLfeNearField, kSend400Plus9),
    model(kPcDesktop, kLfePcDesktop, kSend2000Plus9),
    model(kPortable, kLfePortable, kSend1000Plus9),
    model(kFlatpanel, kLfeFlatpanel, kSend1000Plus9),
    model(kSubSatLow, kLfeSubSatLow, kSend1000Plus9),
    model(kSubSatHigh, kLfeSubSatHigh, lowShelf(400, 12)),
};
static_assert(sizeof(kSurroundModels) / sizeof(kSurroundModels[0]) == 14);

// An unknown index sounds like the reference, the LFE input included.
constexpr CabinetModel kReferenceEverywhere = model(kReference, kReference, kSend400Plus6);

}  // namespace

const CabinetTable kStereoCabinets = {kStereoModels, 12, &kStereoModels[0]};
const CabinetTable kSurroundCabinets = {kSurroundModels, 14, &kReferenceEverywhere};

const HeadGeometry kFrontHead = {
    550.0f,
    6.0f,
    {{1100.0f, 1.0f, -8.0f, true}, {2900.0f, 3.0f, -5.0f, true}, {7500.0f, 2.0f, -10.0f, true}},
    {highShelf(510, -6), highShelf(4500, -9), bell(11000, 4, 5)},
    1.0f,
    1.0f,
    0.00015f,
    115,
    0.0003f,
    0.9575f,
    1.0425f,
    0.085f,
};

const HeadGeometry kSurroundHead = {
    350.0f,
    4.0f,
    {{100.0f, 1.0f, -5.0f, false}, {7000.0f, 6.0f, 7.0f, true}, {12000.0f, 6.0f, 7.0f, true}},
    {highShelf(350, -6), bell(1900, 1.2f, -11), lowpass(4000)},
    0.00014f,
    0.00044f,
    1.0f,
    222,
    0.00058f,
    0.915f,
    1.085f,
    0.17f,
};

void designFilter(BiquadFilter& f, float sampleRateHz, const FilterDesign& d) {
    const float limit = kMaxDesignFraction * sampleRateHz;
    const float hz = std::min(d.frequencyHz, limit);
    float q = d.q;
    if (d.type == kBiquadBell && hz > q * limit) q = hz / limit;
    f.design(sampleRateHz, d.type, hz, q, d.gainDb, d.outputGainDb, d.clearState);
}

float erbShiftedFrequency(float frequencyHz, float ear) {
    const double erb = 9.265 * std::log(1.0 + frequencyHz * 0.00436976);
    const double shifted = erb + 0.5 - 3.0 * ear;
    return static_cast<float>(228.84552 * (std::exp(shifted * 0.10793307) - 1.0));
}

DistanceGains distanceGains(const HeadGeometry& g, float d) {
    if (d >= 2.0f) return {1.0f / d, 1.0f / d};
    return {g.ipsiNumerator / (d - g.distanceOffset), g.contraNumerator / (d + g.distanceOffset)};
}

int itdSamples(const HeadGeometry& g, float headSize, float sampleRateHz, bool enabled) {
    if (!enabled) return 0;
    const float samples = (headSize * g.itdSlope + g.itdOffset) * g.itdScale * sampleRateHz;
    if (!(samples > 0.0f)) return 0;
    return samples >= static_cast<float>(g.itdCapacity) ? g.itdCapacity : static_cast<int>(samples);
}

void HeadEntry::init(const HeadGeometry& g, float sampleRateHz) {
    const int initial = static_cast<int>(
        std::min(g.itdInitialSeconds * sampleRateHz, static_cast<float>(g.itdCapacity)));
    itdDelay.init(initial, g.itdCapacity, 1.0f);
}

void HeadEntry::designPresence(const HeadGeometry& g, float fs, float cue, float distanceMetres) {
    designFilter(presenceShelf, fs,
                 highShelf(g.presenceHz, 2.0f * cue + g.presenceBaseDb - 0.5f * distanceMetres));
}

void HeadEntry::designIpsilateral(const HeadGeometry& g, float fs, float cue, float ear,
                                  float distanceMetres) {
    designPresence(g, fs, cue, distanceMetres);
    BiquadFilter* const notches[3] = {&pinnaNotch1, &pinnaNotch2, &pinnaNotch3};
    for (int i = 0; i < 3; ++i) {
        const PinnaDesign& p = g.pinna[i];
        const float hz = p.shifted ? erbShiftedFrequency(p.frequencyHz, ear) : p.frequencyHz;
        designFilter(*notches[i], fs, bell(hz, p.q, p.gainPerCue * cue));
    }
}

void HeadEntry::designContralateral(const HeadGeometry& g, float fs) {
    designFilter(shadowShelf1, fs, g.shadow[0]);
    designFilter(shadowShelf2, fs, g.shadow[1]);
    designFilter(shadowPeak, fs, g.shadow[2]);
}

namespace {

constexpr float kRoomInputGain = 0.25f;
constexpr float kRoomDampingHz = 2000.0f;
constexpr float kRoomDiffusion = 0.75f;
constexpr float kRoomSize = 0.25f;
constexpr float kRoomInitialDecaySeconds = 0.3f;
constexpr float kRoomModulationRate = 0.1f;
constexpr float kRoomModulationDepth = 0.005f;
constexpr float kRoomMaxEarlySeconds = 0.008f;
constexpr float kRoomMaxEarlyLevel = 0.9f;

int reverbRate(float sampleRateHz) {
    // Truncated to whole Hz; the reverb holds it to 5000..192000.
    return static_cast<int>(std::min(sampleRateHz, 1.0e9f));
}

}  // namespace

void configureRoom(RoomReverb& reverb, float sampleRateHz) {
    reverb.setSampleRate(reverbRate(sampleRateHz));
    reverb.setLowNarrowing(true);
    reverb.setInputGain(kRoomInputGain);
    reverb.setBalance(0.5f);
    reverb.setModulation(false);
    reverb.setModulationDepth(kRoomModulationDepth);
    reverb.setModulationRate(kRoomModulationRate);
    reverb.setDecayTime(kRoomInitialDecaySeconds);
    reverb.setSize(kRoomSize);
    reverb.setDryMix(false);
    reverb.setEarlyTime(kRoomMaxEarlySeconds * 0.5f);
    reverb.setSendLevel(1.0f);
    reverb.setDiffusion(kRoomDiffusion);
    reverb.setInputDiffusion(0.5f);
    reverb.setEarlyLevel(0.5f);
    reverb.setWidth(1.0f);
    reverb.setDampingFrequency(kRoomDampingHz);
}

void updateRoom(RoomReverb& reverb, float sampleRateHz, float roomSize, bool nextDoor) {
    reverb.setSampleRate(reverbRate(sampleRateHz));
    applyRoomSize(reverb, roomSize);
    // Through the wall: a narrower band and slowly drifting delay reads.
    reverb.setInputHighpassFrequency(nextDoor ? 10.0f : 50.0f);
    reverb.setInputLowpassFrequency(nextDoor ? 4000.0f : 8000.0f);
    reverb.setModulation(nextDoor);  // empties the lines, whatever the flag was
}

void applyRoomSize(RoomReverb& reverb, float roomSize) {
    // A large room has its first reflections late and weak (at size 1 the reverb's
    // floor of 1e-6, not off).
    reverb.setEarlyTime(kRoomMaxEarlySeconds * roomSize);
    reverb.setEarlyLevel(kRoomMaxEarlyLevel - kRoomMaxEarlyLevel * roomSize);
}

}  // namespace qx
