// The power fold for the baseline instruction set, and the choice between the builds.
#include "dsp/cpu_features.h"
#include "effects/spectrel/power_fold_kernel.h"

namespace qx::power_fold {

Function baseline() {
    return &fold;
}

Function best() {
    return cpuHasAvx2() && avx2() != nullptr ? avx2() : baseline();
}

}  // namespace qx::power_fold
