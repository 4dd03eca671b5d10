// Cost of the stereo headphone renderer per stereo frame at 48 kHz for its default and
// its most expensive factory programs, next to the sum of the blocks one frame runs.
#include "bench_harness.h"
#include "effects/heliope/headphone_engine.h"
#include "effects/heliope/renderer_effect.h"

namespace qx::bench {
namespace {

void BM_Stereo(benchmark::State& state) {
    runEngine<HeadphoneEngine>(state, kHeliopeDescription, static_cast<int>(state.range(0)));
}

void BM_StereoEffect(benchmark::State& state) {
    runEffect<HeliopeEffect>(state, static_cast<int>(state.range(0)));
}

QX_HELIOPE_BLOCK_BENCHMARKS();
// 0 "Default"; 4 "HRTFs (anechoic)", no room; 15 "Next door listening", modulated room.
BENCHMARK(BM_Stereo)->ArgName("program")->Arg(0)->Arg(4)->Arg(15)->Apply(repeat);
BENCHMARK(BM_StereoEffect)->ArgName("program")->Arg(0)->Arg(15)->Apply(repeat);

// "Default" and "Next door listening" in turn.
void BM_ProgramChange(benchmark::State& state) {
    runProgramChange<HeadphoneEngine>(state, kHeliopeDescription, 0, 15);
}
BENCHMARK(BM_ProgramChange)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qx::bench

int main(int argc, char** argv) {
    // Per frame: two cabinets of three stages, two ipsilateral chains of four, two
    // contralateral chains of three and the room send shelf; two delays, two noise draws.
    const qx::bench::Recipe recipes[] = {
        {"program 0 (room)", "BM_Stereo/program:0", 21, 2, 2, false},
        {"program 15 (next door)", "BM_Stereo/program:15", 21, 2, 2, true},
        {"effect, program 0", "BM_StereoEffect/program:0", 21, 2, 2, false},
        {"effect, program 15", "BM_StereoEffect/program:15", 21, 2, 2, true},
    };
    return qx::bench::runAndSummarise(argc, argv, recipes);
}
