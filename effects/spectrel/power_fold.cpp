// The power fold for the baseline instruction set, and the choice between the builds.
#include "effects/spectrel/power_fold_kernel.h"

namespace qx::power_fold {

Function baseline() {
    return &fold;
}

Function best() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    // Asked once; the init call is needed only before the library's constructors.
    static const bool avx2Here = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    if (avx2Here && avx2() != nullptr) return avx2();
#endif
    return baseline();
}

}  // namespace qx::power_fold
