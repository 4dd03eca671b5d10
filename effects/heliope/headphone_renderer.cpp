// Settings, recomputation and meters of the headphone renderers' common core.
#include "effects/heliope/headphone_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qx {

namespace {

// Distinct sequences per input: identical noise on two inputs would cancel in "Mono L-R".
constexpr std::uint32_t kNoiseSeed = 0x48454c49u;
constexpr float kInputNoiseDb = -160.0f;

// NaN counts as the lower end.
float clampTo(float v, float lo, float hi) {
    return v >= lo ? std::min(v, hi) : lo;
}

}  // namespace

HeadphoneRenderer::HeadphoneRenderer(const Layout& layout) : layout_(layout) {
    for (int c = 0; c < kMaxInputs; ++c) {
        noise_[c].setSeed(kNoiseSeed + static_cast<std::uint32_t>(c));
        noise_[c].setLevel(kInputNoiseDb);
    }
    for (int k = 0; k < layout_.numHeadEntries; ++k)
        head_[k].init(*layout_.geometry[k], sampleRate_);
    configureRoom(reverb_, sampleRate_);
    recomputeAll();
    reset();
}

void HeadphoneRenderer::setOutputGain(float gainLinear) {
    outputGain_ = gainLinear >= kMinOutputGain ? gainLinear : kMinOutputGain;
}

void HeadphoneRenderer::setBypassed(bool on) {
    bypassed_ = on;
    reverb_.clear();
    reset();
}

void HeadphoneRenderer::setCueStrength(float amount) {
    cueStrength_ = clampTo(amount, 0.0f, 1.0f);
    afterHeadChange(&HeadphoneRenderer::designIpsilateral);
}

void HeadphoneRenderer::setHeadSize(float amount) {
    headSize_ = clampTo(amount, 0.0f, 1.0f);
    afterHeadChange(&HeadphoneRenderer::updateItdLengths);
}

void HeadphoneRenderer::setEarSize(float amount) {
    earSize_ = clampTo(amount, 0.0f, 1.0f);
    afterHeadChange(&HeadphoneRenderer::designIpsilateral);
}

void HeadphoneRenderer::setDistance(float metres) {
    distance_ = clampTo(metres, kMinDistance, kMaxDistance);
    afterHeadChange(&HeadphoneRenderer::updateDistance);
}

void HeadphoneRenderer::setReverbTime(float seconds) {
    reverb_.setDecayTime(seconds);
}

void HeadphoneRenderer::setRoomSize(float amount) {
    roomSize_ = clampTo(amount, 0.0f, 1.0f);
    applyRoomSize(reverb_, roomSize_);
}

void HeadphoneRenderer::setChannelMode(int mode) {
    channelMode_ = mode;
}

void HeadphoneRenderer::setCabinet(int index) {
    cabinetIndex_ = index;
    recomputeAll();
}

void HeadphoneRenderer::setItdEnabled(bool on) {
    itdEnabled_ = on;
    afterHeadChange(&HeadphoneRenderer::updateItdLengths);
}

void HeadphoneRenderer::setNextDoor(bool on) {
    nextDoor_ = on;
    recomputeAll();
}

void HeadphoneRenderer::setRoomEnabled(bool on) {
    roomEnabled_ = on;
    reverb_.clear();
}

void HeadphoneRenderer::setSampleRate(float hz) {
    hz = clampTo(hz, kMinSampleRate, kMaxSampleRate);
    if (hz == sampleRate_) return;
    sampleRate_ = hz;
    recomputeAll();
}

void HeadphoneRenderer::reset() {
    frame_.fill(0.0f);
    out_.fill(0.0f);
    meters_.reset();
}

void HeadphoneRenderer::releaseHolds() {
    meters_.holdCountdown[0] = 0;
    meters_.holdCountdown[1] = 0;
}

float HeadphoneRenderer::peakLevelOf(int output) const {
    return output >= 0 && output < kNumOutputs ? meters_.peakLevel[output] : OutputMeters::kFloor;
}

float HeadphoneRenderer::heldPeakOf(int output) const {
    return output >= 0 && output < kNumOutputs ? meters_.heldPeak[output] : OutputMeters::kFloor;
}

float HeadphoneRenderer::heldPeakDb(int output) const {
    if (output < 0 || output >= kNumOutputs) return -160.0f;
    return 20.0f * std::log10(meters_.heldPeak[output]);
}

void HeadphoneRenderer::recomputeAll() {
    const float fs = sampleRate_;
    meterDecay_ = std::exp(-1.0f / fs);
    holdSamples_ = static_cast<int>(kHoldSeconds * fs);

    const CabinetModel& model = layout_.cabinets->model(cabinetIndex_);
    for (int c = 0; c < layout_.numInputs; ++c)
        cabinet_[c].design(c == layout_.lfeInput ? model.lfeStages : model.stages, fs);
    designFilter(roomSendShelf_, fs, model.sendShelf);

    updateRoom(reverb_, fs, roomSize_, nextDoor_);

    designIpsilateral();
    for (int k = 0; k < layout_.numHeadEntries; ++k)
        head_[k].designContralateral(*layout_.geometry[k], fs);
    updateItdLengths();
    updateDistanceGains();
}

void HeadphoneRenderer::afterHeadChange(void (HeadphoneRenderer::*update)()) {
    if (layout_.headChangesRecompute)
        recomputeAll();
    else
        (this->*update)();
}

void HeadphoneRenderer::updateDistance() {
    for (int k = 0; k < layout_.numHeadEntries; ++k)
        head_[k].designPresence(*layout_.geometry[k], sampleRate_, cueStrength_, distance_);
    updateDistanceGains();
}

void HeadphoneRenderer::designIpsilateral() {
    for (int k = 0; k < layout_.numHeadEntries; ++k)
        head_[k].designIpsilateral(*layout_.geometry[k], sampleRate_, cueStrength_, earSize_,
                                   distance_);
}

void HeadphoneRenderer::updateItdLengths() {
    for (int k = 0; k < layout_.numHeadEntries; ++k)
        head_[k].itdDelay.setLength(
            itdSamples(*layout_.geometry[k], headSize_, sampleRate_, itdEnabled_));
}

void HeadphoneRenderer::updateDistanceGains() {
    gains_[0] = distanceGains(kFrontHead, distance_);
    gains_[1] = distanceGains(kSurroundHead, distance_);
}

}  // namespace qx
