// Menu texts, factory programs and identity of the 5.1 headphone renderer.
#include "effects/heliope/heliope_surround_tables.h"

#include <string_view>

#include "effects/heliope/heliope_program_rows.h"

namespace qx {

static_assert(int{kSurroundNumParams} == int{kHeliopeNumParams} &&
                  kSurroundNumPrograms == kHeliopeNumPrograms,
              "the 5.1 renderer shares the stereo parameter table");

namespace {

constexpr heliope_rows::Programs kPrograms = heliope_rows::surroundPrograms();

constexpr int kSurroundMenuEntries[kSurroundNumParams] = {
    0, 0, 0, 0, 0, 0, 0, 0, kSurroundChannelModeCount, kSurroundCabinetCount, 0, 0, 0,
};

constexpr bool namesPadded() {
    for (const ProgramName& name : kPrograms.names)
        if (std::string_view(name).size() != kProgramNameSize - 1) return false;
    return true;
}
static_assert(namesPadded());

}  // namespace

const EffectDescription kHeliopeSurroundDescription = {
    .identity = heliopeIdentity("QX Heliope Pro Surround", vst::fourCC('Q', 'X', 'H', 'S'),
                                kSurroundNumInputs),
    .parameters = {kSurroundNumParams, kHeliopeParamNames, kHeliopeParamLabels,
                   kHeliopeDisplayRanges, kSurroundMenuEntries},
    .factory = {kSurroundNumPrograms, kSurroundNumParams, kPrograms.values, kPrograms.names},
    .numCommands = kHeliopeNumCommands,
};

}  // namespace qx
