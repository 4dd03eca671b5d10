// Cost of the 5.1 headphone renderer per frame (six inputs) at 48 kHz, next to the sum of
// the blocks one frame runs and to six times the stereo renderer's cost per input.
#include <cstdio>

#include "bench_harness.h"
#include "effects/heliope/headphone_engine.h"
#include "effects/heliope/heliope_surround_tables.h"
#include "effects/heliope/surround_effect.h"
#include "effects/heliope/surround_headphone_engine.h"

namespace qx::bench {
namespace {

void BM_Surround(benchmark::State& state) {
    runEngine<SurroundHeadphoneEngine>(state, kHeliopeSurroundDescription,
                                       static_cast<int>(state.range(0)));
}

void BM_Stereo(benchmark::State& state) {
    runEngine<HeadphoneEngine>(state, kHeliopeDescription, static_cast<int>(state.range(0)));
}

void BM_SurroundEffect(benchmark::State& state) {
    runEffect<SurroundEffect>(state, static_cast<int>(state.range(0)));
}

QX_HELIOPE_BLOCK_BENCHMARKS();
// 0 "Default"; 15 "Next door listening"; 23 "Subwoofer / satellite 1" (bass management).
BENCHMARK(BM_Surround)->ArgName("program")->Arg(0)->Arg(15)->Arg(23)->Apply(repeat);
BENCHMARK(BM_Stereo)->ArgName("program")->Arg(0)->Apply(repeat);
BENCHMARK(BM_SurroundEffect)->ArgName("program")->Arg(0)->Arg(15)->Apply(repeat);

// "Default" and "Next door listening" in turn.
void BM_ProgramChange(benchmark::State& state) {
    runProgramChange<SurroundHeadphoneEngine>(state, kHeliopeSurroundDescription, 0, 15);
}
BENCHMARK(BM_ProgramChange)->Unit(benchmark::kMicrosecond);

// Against a stereo renderer per input, times six.
void printPerInput(const Recorder& r) {
    const double stereo = r.get("BM_Stereo/program:0");
    const double surround = r.get("BM_Surround/program:0");
    if (stereo > 0.0 && surround > 0.0)
        std::printf(
            "  six inputs, program 0: %.1f ns; six times the stereo cost per input "
            "(3 x %.1f): %.1f ns; ratio %.2f\n",
            surround, stereo, 3.0 * stereo, surround / (3.0 * stereo));
}

}  // namespace
}  // namespace qx::bench

int main(int argc, char** argv) {
    // Per frame: six cabinets of three stages, four ear entries of seven filters and the
    // room send shelf; four delays, six noise draws.
    const qx::bench::Recipe recipes[] = {
        {"program 0 (room)", "BM_Surround/program:0", 47, 4, 6, false},
        {"program 15 (next door)", "BM_Surround/program:15", 47, 4, 6, true},
        {"effect, program 0", "BM_SurroundEffect/program:0", 47, 4, 6, false},
        {"effect, program 15", "BM_SurroundEffect/program:15", 47, 4, 6, true},
    };
    return qx::bench::runAndSummarise(argc, argv, recipes, qx::bench::printPerInput);
}
