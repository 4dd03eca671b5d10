// Settings and coefficients of the band compressors, the kernel choice, and the block
// routine that keeps bands out of use untouched.
#include "effects/quassel/band_dynamics.h"

#include <cmath>
#include <cstring>

#include "effects/quassel/band_kernel.h"

namespace qx {

namespace {

constexpr float kInitialTimeSeconds = 0.0001f;
constexpr float kFastSeconds = 0.0005f;
constexpr float kMaxMakeup = 10.0f;
constexpr float kMinThreshold = 1e-8f;
constexpr float kMaxRatio = 10.0f;
// A detector far below the others for one band over the whole range; otherwise low
// bands are weighted by centre / 700 Hz, at least 0.2.
constexpr float kSingleBandWeight = 0.1f;
constexpr float kWeightCornerHz = 700.0f;
constexpr float kMinWeight = 0.2f;

bool validBand(int band) {
    return band >= 0 && band < BankState::kBandCapacity;
}

}  // namespace

BandDynamics::BandDynamics() : table_(OscillatorTable::get()) {
    for (int i = 0; i < kBandCapacity; ++i) {
        attackTime_[i] = kInitialTimeSeconds;
        releaseTime_[i] = kInitialTimeSeconds;
    }
    useKernel(bestKernel());
    layoutChanged();
}

float BandDynamics::timeCoef(float seconds, float sampleRate) {
    return static_cast<float>(std::exp(-1.0 / (static_cast<double>(seconds) * sampleRate)));
}

void BandDynamics::layoutChanged() {
    const float fs = s_.sampleRate;
    for (int i = 0; i < kBandCapacity; ++i) {
        s_.attackCoef[i] = timeCoef(attackTime_[i], fs);
        s_.releaseCoef[i] = timeCoef(releaseTime_[i], fs);
        float weight = 1.0f;
        if (s_.bandCount == 1)
            weight = kSingleBandWeight;
        else if (i < s_.bandCount && static_cast<float>(centreHz(i)) < kWeightCornerHz)
            weight = std::fmax(kMinWeight, static_cast<float>(centreHz(i)) / kWeightCornerHz);
        s_.detectorWeight[i] = weight;
    }
    s_.fastCoef = timeCoef(kFastSeconds, fs);
}

void BandDynamics::setMakeup(int band, float gainLinear) {
    if (validBand(band)) s_.makeup[band] = heldTo(gainLinear, 0.0f, kMaxMakeup);
}

void BandDynamics::setThreshold(int band, float levelLinear) {
    if (validBand(band))
        s_.inverseThreshold[band] = 1.0f / heldTo(levelLinear, kMinThreshold, HUGE_VALF);
}

void BandDynamics::setRatio(int band, float ratio) {
    if (!validBand(band)) return;
    const float r = heldTo(ratio, 1.0f, kMaxRatio);
    s_.ratioExponent[band] = (1.0f - r) / r;
}

void BandDynamics::setAttack(int band, float seconds) {
    if (!validBand(band)) return;
    attackTime_[band] = heldTo(seconds, 0.0f, HUGE_VALF);
    s_.attackCoef[band] = timeCoef(attackTime_[band], s_.sampleRate);
}

void BandDynamics::setRelease(int band, float seconds) {
    if (!validBand(band)) return;
    releaseTime_[band] = heldTo(seconds, 0.0f, HUGE_VALF);
    s_.releaseCoef[band] = timeCoef(releaseTime_[band], s_.sampleRate);
}

void BandDynamics::setWarmth(int band, float amount) {
    if (!validBand(band)) return;
    const float w = heldTo(amount, 0.0f, 1.0f);
    s_.warmth[band] = w;
    s_.warmthDry[band] = 1.0f - w;
    s_.warmthWet[band] = 0.1f * w;
}

void BandDynamics::clearAnalysis() {
    std::memset(s_.ring, 0, sizeof(s_.ring));
    std::memset(s_.stateRe, 0, sizeof(s_.stateRe));
    std::memset(s_.stateIm, 0, sizeof(s_.stateIm));
}

bool BandDynamics::kernelSupported(Kernel kernel) {
    switch (kernel) {
        case Kernel::Scalar:
            return true;
        case Kernel::Sse2:
            return band_kernel::sse2Kernel() != nullptr;
        case Kernel::Avx2:
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
        {
            // Asked once; the init call is needed only before the library's constructors.
            static const bool avx2 = [] {
                __builtin_cpu_init();
                return __builtin_cpu_supports("avx2") != 0;
            }();
            return band_kernel::avx2Kernel() != nullptr && avx2;
        }
#else
            return false;  // no run-time check on this compiler yet
#endif
    }
    return false;
}

BandDynamics::Kernel BandDynamics::bestKernel() {
    if (kernelSupported(Kernel::Avx2)) return Kernel::Avx2;
    if (kernelSupported(Kernel::Sse2)) return Kernel::Sse2;
    return Kernel::Scalar;
}

bool BandDynamics::useKernel(Kernel kernel) {
    if (!kernelSupported(kernel)) return false;
    kernel_ = kernel;
    switch (kernel) {
        case Kernel::Avx2:
            run_ = band_kernel::avx2Kernel();
            width_ = 8;
            break;
        case Kernel::Sse2:
            run_ = band_kernel::sse2Kernel();
            width_ = 4;
            break;
        default:
            run_ = band_kernel::scalarKernel();
            width_ = 1;
            break;
    }
    return true;
}

void BandDynamics::processBlock(const float* in0, const float* in1, float* wet0, float* wet1,
                                int n) {
    if (n <= 0) return;
    // The kernel runs whole vectors; lanes of bands out of use in the last one are
    // computed and then put back, so those bands resume from their own state later.
    const int first = s_.bandCount;
    const int end = (first + width_ - 1) / width_ * width_;
    const int count = end - first;
    constexpr int kRows = 2 * BankState::kChannels * BankState::kOrderCapacity + 6;
    float saved[kRows][BankState::kLanes];
    float* rows[kRows];
    int r = 0;
    if (count > 0) {
        for (int ch = 0; ch < kChannels; ++ch) {
            for (int k = 0; k < s_.order; ++k) {
                rows[r++] = s_.stateRe[ch][k];
                rows[r++] = s_.stateIm[ch][k];
            }
            rows[r++] = s_.bandOut[ch];
            rows[r++] = s_.bandMag[ch];
        }
        rows[r++] = s_.level;
        rows[r++] = s_.gain;
        for (int i = 0; i < r; ++i)
            std::memcpy(saved[i], rows[i] + first, sizeof(float) * static_cast<size_t>(count));
    }
    run_(s_, table_, in0, in1, wet0, wet1, n);
    for (int i = 0; i < r; ++i)
        std::memcpy(rows[i] + first, saved[i], sizeof(float) * static_cast<size_t>(count));
}

}  // namespace qx
