// Inter-sample peaks one frame at a time (SSE2, the baseline), and the choice between the
// builds.
#include "effects/spectrel/isp_kernel.h"

#include "dsp/cpu_features.h"

namespace qx::isp_kernel {

namespace {

void oneByOne(const float (*frames)[2], int len, float (*history)[4], float (*work)[4],
              float (*out)[4]) {
    run(frames, len, history, work, out, [](const float(*)[4], float(*)[4], int) { return 0; });
}

}  // namespace

Function baseline() {
    return &oneByOne;
}

Function best() {
    return cpuHasAvx2() && avx2() != nullptr ? avx2() : baseline();
}

}  // namespace qx::isp_kernel
