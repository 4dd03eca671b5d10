// The power fold eight bins at a time; this file alone is compiled for AVX2 and is only
// called after the processor has been checked for it.
#include "effects/spectrel/power_fold_kernel.h"

namespace qx::power_fold {

Function avx2() {
#if defined(__AVX2__)
    return &fold;
#else
    return nullptr;
#endif
}

}  // namespace qx::power_fold
