// Applies one normalised parameter value to the compressor engine through the shared
// mappings: the one place that says which setter each parameter drives.
#pragma once

#include "effects/red_thuddo/compressor_engine.h"
#include "effects/red_thuddo/red_thuddo_tables.h"

namespace qx {

// Calls the engine setter of `index` with the mapped value; indices out of range do
// nothing. Wherever engine setters may run (audio thread between blocks).
inline void applyRedThuddoParameter(CompressorEngine& engine, int index, float x) {
    switch (index) {
        case kRedThuddoPostGain:
            engine.setPostGainDb(redThuddoGainDb(x));
            break;
        case kRedThuddoBypass:
            engine.setBypass(redThuddoSwitch(x));
            break;
        case kRedThuddoLimiter:
            engine.setLimiter(redThuddoSwitch(x));
            break;
        case kRedThuddoMono:
            engine.setMono(redThuddoSwitch(x));
            break;
        case kRedThuddoSidechain:
            engine.setSidechain(redThuddoSwitch(x));
            break;
        case kRedThuddoListen:
            engine.setListen(redThuddoSwitch(x));
            break;
        case kRedThuddoHighPassFreq:
            engine.setHighPassHz(redThuddoHighPassHz(x));
            break;
        case kRedThuddoLowPassFreq:
            engine.setLowPassHz(redThuddoLowPassHz(x));
            break;
        case kRedThuddoHysteresis:
            engine.setHysteresis(redThuddoHysteresis(x));
            break;
        case kRedThuddoAttackTime:
            engine.setAttack(redThuddoAttackSeconds(x));
            break;
        case kRedThuddoHoldTime:
            engine.setHold(redThuddoHoldSeconds(x));
            break;
        case kRedThuddoReleaseTime:
            engine.setRelease(redThuddoReleaseSeconds(x));
            break;
        case kRedThuddoSoftKnee:
            engine.setSoftKnee(redThuddoSwitch(x));
            break;
        case kRedThuddoRatio1:
            engine.setRatio1(redThuddoRatio(x));
            break;
        case kRedThuddoRatio2:
            engine.setRatio2(redThuddoRatio(x));
            break;
        case kRedThuddoThreshold:
            engine.setThresholdDb(redThuddoThresholdDb(x));
            break;
        case kRedThuddoReleaseCurve:
            engine.setReleaseCurve(redThuddoSwitch(x));
            break;
        case kRedThuddoPreGain:
            engine.setPreGainDb(redThuddoGainDb(x));
            break;
        case kRedThuddoDryWet:
            engine.setDryWet(redThuddoDryWet(x));
            break;
        case kRedThuddoMaxGain:
            engine.setMaxGainDb(redThuddoMaxGainDb(x));
            break;
        default:
            break;
    }
}

// Applies every value of a factory program in index order, as a program change does.
inline void applyRedThuddoProgram(CompressorEngine& engine, int program) {
    const FactoryProgramTable& factory = kRedThuddoDescription.factory;
    if (program < 0 || program >= factory.numPrograms) return;
    const float* row = factory.row(program);
    for (int i = 0; i < factory.numParams; ++i) applyRedThuddoParameter(engine, i, row[i]);
}

}  // namespace qx
