// Menu texts, factory programs and identity of the 5.1 headphone renderer.
#include "effects/heliope/heliope_surround_tables.h"

#include <string_view>

#include "effects/heliope/heliope_program_rows.h"

namespace qx {

static_assert(int{kSurroundNumParams} == int{kHeliopeNumParams} &&
                  kSurroundNumPrograms == kHeliopeNumPrograms,
              "the 5.1 renderer shares the stereo parameter table");

const char* const kSurroundChannelModeNames[kSurroundChannelModeCount] = {
    "5.1 Surround",
    "ITU stereo downmix",
    "Mono downmix on center",
    "5.1 to 5.0 (no LFE)",
    "L only",
    "R only",
    "C only",
    "LFE only",
    "Ls only",
    "Rs only",
    "L,C,R only",
    "Ls, Rs only",
};

const char* const kSurroundCabinetNames[kSurroundCabinetCount] = {
    "Reference (flat response)", "Small band-limited speakers", "Near-field monitors A",
    "Near-field monitors B",     "Near-field monitors C",       "Near-field monitors D",
    "Near-field monitors E",     "Near-field monitors F",       "Near-field monitors G",
    "PC desktop speakers",       "Portable music player",       "Flatpanel TV",
    "Sub / sat (low-end)",       "Sub / sat (high-end)",
};

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
