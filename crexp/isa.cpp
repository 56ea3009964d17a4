#include "isa.h"

namespace crexp {

const char *isaName(Isa isa)
{
    const char *const names[] = {"plain", "avx2", "avx512", "neon"};
    return names[static_cast<int>(isa)];
}

bool isaSupported(Isa isa)
{
    switch (isa) {
    case Isa::Plain:
        return true;
    case Isa::Neon:
        return CREXP_NEON_PATH != 0;
#if CREXP_X86_PATHS
    // The compiler's CPU model also asks the operating system whether it
    // saves the wide registers, so a set it does not enable counts as absent.
    case Isa::Avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case Isa::Avx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
#else
    case Isa::Avx2:
    case Isa::Avx512:
        return false;
#endif
    }
    return false;
}

Isa widestIsa()
{
    const Isa widestFirst[] = {Isa::Neon, Isa::Avx512, Isa::Avx2};
    for (Isa isa : widestFirst) {
        if (isaSupported(isa)) {
            return isa;
        }
    }
    return Isa::Plain;
}

}  // namespace crexp
