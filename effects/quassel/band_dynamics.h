// The filter bank with a compressor and a saturation stage in every band: one detector
// fed by both channels, threshold, ratio, attack, release, make-up gain and warmth.
#pragma once

#include "effects/quassel/erb_filter_bank.h"

namespace qx {

class BandDynamics : public ErbFilterBank {
  public:
    // Instruction sets of the block kernels; all give the same floats.
    enum class Kernel { Scalar, Sse2, Avx2 };

    BandDynamics();

    // --- Per-band settings (band 0 .. 19; other indices are ignored). Physical values;
    // each recomputes only its own coefficient. Audio thread between blocks, or control
    // thread while no block runs. ---
    void setMakeup(int band, float gainLinear);      // 0 .. 10
    void setThreshold(int band, float levelLinear);  // 0 .. 1, taken as at least 1e-8
    void setRatio(int band, float ratio);            // 1 .. 10
    void setAttack(int band, float seconds);         // at least 0
    void setRelease(int band, float seconds);        // at least 0
    void setWarmth(int band, float amount);          // 0 .. 1
    // Global switch; off bypasses every band's warmth stage.
    void setWarmthEnabled(bool on) { s_.warmthEnabled = on; }

    // Audio thread: n frames of the engine's input (per channel, after pre gain) through
    // analysis, dynamics and synthesis; wet receives the sum of the bands in use.
    void processBlock(const float* in0, const float* in1, float* wet0, float* wet1, int n);

    // Empties the analysis delays and the stage memories (a restart from silence).
    void clearAnalysis();

    // --- Readers; level and gain are rows of 20 (the editor's band display) ---
    const float* bandLevels() const { return s_.level; }
    const float* bandGains() const { return s_.gain; }
    float makeup(int band) const { return s_.makeup[clampBand(band)]; }
    float inverseThreshold(int band) const { return s_.inverseThreshold[clampBand(band)]; }
    float ratioExponent(int band) const { return s_.ratioExponent[clampBand(band)]; }
    float attackCoef(int band) const { return s_.attackCoef[clampBand(band)]; }
    float releaseCoef(int band) const { return s_.releaseCoef[clampBand(band)]; }
    float detectorWeight(int band) const { return s_.detectorWeight[clampBand(band)]; }
    float warmth(int band) const { return s_.warmth[clampBand(band)]; }
    float fastCoef() const { return s_.fastCoef; }
    bool warmthEnabled() const { return s_.warmthEnabled; }

    // --- Kernel choice: the widest the processor supports, unless a test picks one ---
    static bool kernelSupported(Kernel kernel);
    static Kernel bestKernel();
    // Returns false, and keeps the current kernel, when the processor lacks it.
    bool useKernel(Kernel kernel);
    Kernel kernel() const { return kernel_; }

  protected:
    void layoutChanged() override;

  private:
    using KernelFunction = void (*)(BankState&, const OscillatorTable&, const float*, const float*,
                                    float*, float*, int);
    static KernelFunction kernelFunction(Kernel kernel);
    static int kernelWidth(Kernel kernel);
    static float timeCoef(float seconds, float sampleRate);

    float attackTime_[kBandCapacity];
    float releaseTime_[kBandCapacity];
    Kernel kernel_ = Kernel::Scalar;
    KernelFunction run_ = nullptr;
    int width_ = 1;
    const OscillatorTable& table_;
};

}  // namespace qx
