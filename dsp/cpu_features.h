// Run-time checks of the processor, for code built for more than one instruction set.
#pragma once

namespace qx {

// Whether the processor runs AVX2. Asked once (the init call is needed only before the
// library's constructors); false on compilers without the check. Any thread.
inline bool cpuHasAvx2() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return avx2;
#else
    return false;
#endif
}

}  // namespace qx
