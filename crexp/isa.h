// The instruction sets the library has paths for, chosen at run time
// inside one binary: nothing is compiled for the build machine's own CPU.
#ifndef CREXP_ISA_H
#define CREXP_ISA_H

namespace crexp {

// Widening order: each set includes what the ones before it have.
//   Plain   portable C++, every platform;
//   Avx2    x86-64 with AVX2 and FMA;
//   Avx512  x86-64 with AVX-512 F, DQ, BW and VL.
enum class Isa { Plain, Avx2, Avx512 };

constexpr Isa kAllIsas[] = {Isa::Plain, Isa::Avx2, Isa::Avx512};

const char *isaName(Isa isa);

// Whether this CPU and operating system can run the path; Plain always.
bool isaSupported(Isa isa);

// The widest supported set: what the library and its users run.
Isa widestIsa();

}  // namespace crexp

// Per-function target attributes for the x86-64 paths, chosen at run time
// with __builtin_cpu_supports.  Where these do not exist, only Plain is
// built: another architecture (ARM64), or a compiler that is not GCC or
// Clang (MSVC defines neither __GNUC__ nor __x86_64__), whose build then
// takes the portable path on every CPU, with the same bits.
#if defined(__GNUC__) && defined(__x86_64__)
#define CREXP_X86_PATHS 1
#define CREXP_TARGET_AVX2 __attribute__((target("avx2,fma")))
#define CREXP_TARGET_AVX512 __attribute__((target("avx512f,avx512dq,avx512bw,avx512vl")))
#else
#define CREXP_X86_PATHS 0
#endif

#endif
