// Parameter indices, program count and the small constants the side-chain compressor's
// effect and editor layout share. Dependency-free on purpose.
#pragma once

namespace qx {

enum RedThuddoParam : int {
    kRedThuddoPostGain = 0,
    kRedThuddoBypass,
    kRedThuddoLimiter,
    kRedThuddoMono,
    kRedThuddoSidechain,
    kRedThuddoListen,
    kRedThuddoHighPassFreq,
    kRedThuddoLowPassFreq,
    kRedThuddoHysteresis,
    kRedThuddoAttackTime,
    kRedThuddoHoldTime,
    kRedThuddoReleaseTime,
    kRedThuddoSoftKnee,
    kRedThuddoRatio1,
    kRedThuddoRatio2,
    kRedThuddoThreshold,
    kRedThuddoReleaseCurve,
    kRedThuddoPreGain,
    kRedThuddoDryWet,
    kRedThuddoMaxGain,
    kRedThuddoNumParams
};

constexpr int kRedThuddoNumPrograms = 40;

// Inputs of the two builds: programme on 0-1 and side chain on 2-3, or programme and
// side chain sharing one pair ("Sidechain" on: programme on 0, side chain on 1).
constexpr int kRedThuddoInputs = 4;
constexpr int kRedThuddoAltInputs = 2;
constexpr int kRedThuddoOutputs = 2;

// Editor tag of the transfer-curve display; a click on its gain meters clears them.
constexpr int kRedThuddoTransferDisplayTag = 101;
// Commands the engine carries out between blocks: the clear of the gain meters.
enum RedThuddoCommand : int { kRedThuddoClearGainMeters = 0, kRedThuddoNumCommands };
// Input range the transfer-curve display plots, dB, one point per dB.
constexpr int kRedThuddoCurveMinDb = -50;
constexpr int kRedThuddoCurveMaxDb = 0;
// Ratio shown as infinite: the engine receives kRedThuddoInfiniteRatio, the transfer
// curve kRedThuddoDisplayInfiniteRatio.
constexpr float kRedThuddoRatioInfAbove = 10.0f;
constexpr float kRedThuddoInfiniteRatio = 20.0f;
constexpr float kRedThuddoDisplayInfiniteRatio = 1000.0f;

}  // namespace qx
