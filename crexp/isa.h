// The instruction sets the library has paths for.  On x86-64 the paths are
// chosen at run time inside one binary: nothing is compiled for the build
// machine's own CPU.  Every AArch64 CPU has NEON, so there it is the path.
#ifndef CREXP_ISA_H
#define CREXP_ISA_H

namespace crexp {

//   Plain   portable C++, every platform;
//   Avx2    x86-64 with AVX2 and FMA;
//   Avx512  x86-64 with AVX-512 F, DQ, BW and VL (includes Avx2);
//   Neon    AArch64's vector unit.
enum class Isa { Plain, Avx2, Avx512, Neon };

constexpr Isa kAllIsas[] = {Isa::Plain, Isa::Avx2, Isa::Avx512, Isa::Neon};

const char *isaName(Isa isa);

// Whether this CPU and operating system can run the path; Plain always.
bool isaSupported(Isa isa);

// The widest supported set: what the library and its users run.
Isa widestIsa();

// The lane types of the vector paths (crexp/lanes_*.h).
struct Avx2Lanes;
struct Avx512Lanes;
struct NeonLanes;

}  // namespace crexp

// Per-function target attributes for the x86-64 paths, chosen at run time
// with __builtin_cpu_supports; the NEON path (ARM64) needs nothing but the
// compiler's vector types.  Where neither exists, only Plain is built: a
// compiler that is not GCC or Clang (MSVC defines neither __GNUC__ nor
// __x86_64__) then takes the portable path on every CPU, with the same bits.
#if defined(__GNUC__) && defined(__x86_64__)
#define CREXP_X86_PATHS 1
#define CREXP_AVX2 "avx2,fma"
#define CREXP_AVX512 "avx512f,avx512dq,avx512bw,avx512vl"
#if defined(CREXP_PORTABLE_INTRINSICS)
// A source file that has included a portable implementation of the
// intrinsics first (the tests' emulated lanes, tests/support) compiles the
// x86-64 lane types for the baseline CPU: they then run on any x86-64 CPU,
// and an intrinsic that the implementation lacks fails to compile.  The
// NEON lane type (crexp/lanes_neon.h) then compiles on it too.
#define CREXP_TARGET_AVX2
#define CREXP_TARGET_AVX512
#else
#define CREXP_TARGET_AVX2 __attribute__((target(CREXP_AVX2)))
#define CREXP_TARGET_AVX512 __attribute__((target(CREXP_AVX512)))
#endif
#else
#define CREXP_X86_PATHS 0
#endif
#if defined(__GNUC__) && defined(__aarch64__) && defined(__ARM_NEON)
#define CREXP_NEON_PATH 1
#else
#define CREXP_NEON_PATH 0
#endif

// Code written once over a lane type (crexp/lanes_*.h) is compiled once per
// set: its header, included in one source file per set, puts its functions
// between CREXP_TARGET_BEGIN(set) and CREXP_TARGET_END (NEON names none),
// which compile every function defined there for that set.  The header's
// own includes come first, and everything between is a template on the
// lane type, so that no function is compiled twice for different sets.
#define CREXP_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define CREXP_TARGET_BEGIN(set) CREXP_PRAGMA(clang attribute push(__attribute__((target(set))), apply_to = function))
#define CREXP_TARGET_END CREXP_PRAGMA(clang attribute pop)
#else
#define CREXP_TARGET_BEGIN(set) CREXP_PRAGMA(GCC push_options) CREXP_PRAGMA(GCC target(set))
#define CREXP_TARGET_END CREXP_PRAGMA(GCC pop_options)
#endif
#define CREXP_ALWAYS_INLINE inline __attribute__((always_inline))

#endif
