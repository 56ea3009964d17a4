// The lane types, crexp/lanes_avx2.h, lanes_avx512.h and lanes_neon.h
// themselves, compiled against SIMDe's portable implementation of their
// intrinsics for the baseline x86-64 CPU, with the exponential and the
// kernel on them: they run on any x86-64 CPU, with or without AVX2 or
// AVX-512.  Test code only; nothing shipped links it.
//
// CREXP_PORTABLE_INTRINSICS, before any include, takes the lane types'
// target attributes away.  GCC's intrinsics header comes next, so that SIMDe
// works on its vector types (the lane types cast between them) and maps the
// intrinsics' names onto its own functions; an intrinsic that it does not
// map stays GCC's, which cannot be inlined without its target and so fails
// to compile here: nothing native runs.
#define CREXP_PORTABLE_INTRINSICS 1

#include <immintrin.h>
#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/arm/neon.h>
#include <simde/x86/avx512.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "support/emulated_lanes.h"

// What SIMDe 0.7.4 lacks or does otherwise than the instructions, written
// lane by lane as they are defined.
namespace emulated_intrinsics {

// One rounding, as the fused instructions (SIMDe's multiply, then add or
// subtract: two).
template <class V>
V fmsub(V a, V b, V c)
{
    V r;
    for (std::size_t i = 0; i < sizeof(V) / sizeof(double); ++i) {
        r[i] = std::fma(a[i], b[i], -c[i]);
    }
    return r;
}

inline float64x2_t vfma(float64x2_t a, float64x2_t b, float64x2_t c)
{
    return float64x2_t{std::fma(b[0], c[0], a[0]), std::fma(b[1], c[1], a[1])};
}

// Masked loads, gathers and stores touch no memory in the lanes outside
// the mask (SIMDe's AVX2 masked load reads all four).
inline __m256d maskload(const double *p, __m256i mask)
{
    __m256d r = {};
    for (std::size_t i = 0; i < 4; ++i) {
        if (mask[i] < 0) {
            r[i] = p[i];
        }
    }
    return r;
}

inline __m512d maskzLoadu(__mmask8 k, const double *p)
{
    __m512d r = {};
    for (std::size_t i = 0; i < 8; ++i) {
        if ((k >> i) & 1) {
            r[i] = p[i];
        }
    }
    return r;
}

inline void maskStoreu(double *p, __mmask8 k, __m512d a)
{
    for (std::size_t i = 0; i < 8; ++i) {
        if ((k >> i) & 1) {
            p[i] = a[i];
        }
    }
}

inline __m512d maskGather(__m512d src, __mmask8 k, __m512i index, const double *base, int scale)
{
    __m512d r = src;
    for (std::size_t i = 0; i < 8; ++i) {
        if ((k >> i) & 1) {
            double v;
            std::memcpy(&v, reinterpret_cast<const char *>(base) + index[i] * scale, sizeof v);
            r[i] = v;
        }
    }
    return r;
}

}  // namespace emulated_intrinsics

#undef _mm256_fmsub_pd
#define _mm256_fmsub_pd(a, b, c) emulated_intrinsics::fmsub<__m256d>(a, b, c)
#undef _mm512_fmsub_pd
#define _mm512_fmsub_pd(a, b, c) emulated_intrinsics::fmsub<__m512d>(a, b, c)
#undef _mm256_maskload_pd
#define _mm256_maskload_pd(p, mask) emulated_intrinsics::maskload(p, mask)
#undef _mm512_maskz_loadu_pd
#define _mm512_maskz_loadu_pd(k, p) emulated_intrinsics::maskzLoadu(k, p)
#undef _mm512_mask_storeu_pd
#define _mm512_mask_storeu_pd(p, k, a) emulated_intrinsics::maskStoreu(p, k, a)
#undef _mm512_mask_i64gather_pd
#define _mm512_mask_i64gather_pd(src, k, index, base, scale) emulated_intrinsics::maskGather(src, k, index, base, scale)
#undef _mm512_shuffle_f64x2
#define _mm512_shuffle_f64x2(a, b, imm8) simde_mm512_shuffle_f64x2(a, b, imm8)
#undef vfmaq_f64
#define vfmaq_f64(a, b, c) emulated_intrinsics::vfma(a, b, c)

// Lane types of their own names, so that nothing here is mistaken for the
// library's native ones.
#define Avx2Lanes EmulatedAvx2Lanes
#define Avx512Lanes EmulatedAvx512Lanes
#define NeonLanes EmulatedNeonLanes
#include "lanes_avx2.h"
#include "lanes_avx512.h"
#include "lanes_neon.h"
#include "exponential_lanes.h"
#include "column_gaussian_lanes.h"

namespace emulated_lanes {

void exponentials(crexp::Isa isa, double *values, std::size_t count)
{
    switch (isa) {
    case crexp::Isa::Avx2:
        return crexp::detail::exponentialLanes<crexp::EmulatedAvx2Lanes>(values, count);
    case crexp::Isa::Avx512:
        return crexp::detail::exponentialLanes<crexp::EmulatedAvx512Lanes>(values, count);
    default:
        return crexp::detail::exponentialLanes<crexp::EmulatedNeonLanes>(values, count);
    }
}

kestrow::detail::LanesEvaluator kernel(crexp::Isa isa)
{
    switch (isa) {
    case crexp::Isa::Avx2:
        return kestrow::detail::evalLanes<crexp::EmulatedAvx2Lanes>;
    case crexp::Isa::Avx512:
        return kestrow::detail::evalLanes<crexp::EmulatedAvx512Lanes>;
    default:
        return kestrow::detail::evalLanes<crexp::EmulatedNeonLanes>;
    }
}

}  // namespace emulated_lanes
