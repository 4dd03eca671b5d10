// The pieces both headphone renderers are built from: filter designs as data, the head
// model of one ear entry (ipsilateral filters, crosstalk shadow and interaural delay), the
// three-stage loudspeaker cabinet, the output meters and the room configuration.
#pragma once

#include "dsp/biquad_filter.h"
#include "dsp/delay_line.h"
#include "dsp/room_reverb.h"

namespace qx {

// One BiquadFilter design. q is the bell's bandwidth divisor (bandwidth = frequency / q)
// and is ignored by the other types; for low and high passes gainDb raises the resonance.
struct FilterDesign {
    int type = kBiquadBell;
    float frequencyHz = 1000.0f;
    float q = 0.5f;
    float gainDb = 0.0f;
    float outputGainDb = 0.0f;
    bool clearState = false;  // empty the section at every design
};

// Designs f at sampleRateHz. Frequencies and bell bandwidths are held to 0.48 of the
// sample rate: above Nyquist the bilinear designs put poles outside the unit circle (a
// 20 kHz lowpass at 32 kHz explodes). Rates of 44.1 kHz and up are never affected.
// Control or audio thread, between frames.
void designFilter(BiquadFilter& f, float sampleRateHz, const FilterDesign& d);

// Moves frequencyHz on the ERB-rate scale by 0.5 - 3 * ear ERB: half an ERB up for
// ear 0, two and a half down for ear 1.
float erbShiftedFrequency(float frequencyHz, float ear);

// A pinna filter of the ipsilateral chain: a bell whose gain is gainPerCue * cue.
struct PinnaDesign {
    float frequencyHz;
    float q;
    float gainPerCue;
    bool shifted;  // follows "Ear size" on the ERB-rate scale
};

// The head model of one loudspeaker pair (front or surround).
struct HeadGeometry {
    // Presence high shelf: gain presenceBaseDb + 2 cue - 0.5 distance.
    float presenceHz;
    float presenceBaseDb;
    PinnaDesign pinna[3];
    FilterDesign shadow[3];  // fixed contralateral filters, in processing order
    // Interaural delay: trunc((headSize * itdSlope + itdOffset) * itdScale * fs) samples.
    float itdSlope, itdOffset, itdScale;
    int itdCapacity;          // samples
    float itdInitialSeconds;  // length before the first design
    // Distance law below 2 m: ipsi = ipsiNumerator / (d - offset), contra =
    // contraNumerator / (d + offset); from 2 m both are 1 / d.
    float ipsiNumerator, contraNumerator, distanceOffset;
};

extern const HeadGeometry kFrontHead;
extern const HeadGeometry kSurroundHead;

// Linear path gains at a loudspeaker distance.
struct DistanceGains {
    float ipsi;
    float contra;
};
DistanceGains distanceGains(const HeadGeometry& g, float distanceMetres);

// Interaural delay in samples, 0..itdCapacity; 0 when ITDs are off.
int itdSamples(const HeadGeometry& g, float headSize, float sampleRateHz, bool enabled);

// The filters of one ear entry and its interaural delay line.
struct HeadEntry {
    BiquadFilter presenceShelf, pinnaNotch1, pinnaNotch2, pinnaNotch3;
    BiquadFilter shadowShelf1, shadowShelf2, shadowPeak;
    DelayLine itdDelay;

    // Allocates the delay at the geometry's capacity. Construction only.
    void init(const HeadGeometry& g, float sampleRateHz);
    void designPresence(const HeadGeometry& g, float fs, float cue, float distanceMetres);
    void designIpsilateral(const HeadGeometry& g, float fs, float cue, float ear,
                           float distanceMetres);
    void designContralateral(const HeadGeometry& g, float fs);

    float ipsilateral(float x) {
        return pinnaNotch3.processSample(
            pinnaNotch2.processSample(pinnaNotch1.processSample(presenceShelf.processSample(x))));
    }
    float shadow(float x) {
        return shadowPeak.processSample(shadowShelf2.processSample(shadowShelf1.processSample(x)));
    }
};

// One loudspeaker cabinet model: three stages for full-range inputs, three for the LFE
// input (surround only) and the shelf of the room send.
struct CabinetModel {
    FilterDesign stages[3];
    FilterDesign lfeStages[3];
    FilterDesign sendShelf;
};

struct CabinetTable {
    const CabinetModel* models;
    int count;
    const CabinetModel* fallback;  // designed for any index outside 0..count-1
    const CabinetModel& model(int index) const {
        return index >= 0 && index < count ? models[index] : *fallback;
    }
};

extern const CabinetTable kStereoCabinets;
extern const CabinetTable kSurroundCabinets;

struct CabinetChain {
    BiquadFilter stage1, stage2, stage3;

    void design(const FilterDesign (&stages)[3], float fs) {
        designFilter(stage1, fs, stages[0]);
        designFilter(stage2, fs, stages[1]);
        designFilter(stage3, fs, stages[2]);
    }
    float process(float x) {
        return stage3.processSample(stage2.processSample(stage1.processSample(x)));
    }
};

// Peak meters of the two outputs with a 10-second hold. Levels are linear with a floor
// of 1e-8 (-160 dB).
struct OutputMeters {
    static constexpr float kFloor = 1e-8f;
    float peakLevel[2] = {kFloor, kFloor};
    float heldPeak[2] = {kFloor, kFloor};
    int holdCountdown[2] = {0, 0};

    void reset() { *this = OutputMeters{}; }

    // One frame. decay: per-sample fall; holdSamples: the hold time in samples.
    void update(float out0, float out1, float decay, int holdSamples) {
        updateOne(0, out0, decay, holdSamples);
        updateOne(1, out1, decay, holdSamples);
    }

  private:
    void updateOne(int i, float out, float decay, int holdSamples) {
        const float x = kFloor + (out < 0.0f ? -out : out);
        peakLevel[i] = x > peakLevel[i] ? x : peakLevel[i] * decay;
        if (x > heldPeak[i]) {
            heldPeak[i] = x;
            holdCountdown[i] = holdSamples;
        } else if (--holdCountdown[i] < 0) {
            heldPeak[i] = peakLevel[i];
            holdCountdown[i] = holdSamples;
        }
    }
};

// Room settings of both renderers. configureRoom runs once at construction;
// updateRoom in every full recomputation (it empties the reverb); applyRoomSize when
// "Room size" moves (contents kept).
void configureRoom(RoomReverb& reverb, float sampleRateHz);
void updateRoom(RoomReverb& reverb, float sampleRateHz, float roomSize, bool nextDoor);
void applyRoomSize(RoomReverb& reverb, float roomSize);

}  // namespace qx
