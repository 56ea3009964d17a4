// Two doubles in a NEON register (AArch64): the lane type of
// crexp/lanes_avx2.h (which says what each operation does) on two lanes.
// Every AArch64 CPU has them, so they need no target.
#ifndef CREXP_LANES_NEON_H
#define CREXP_LANES_NEON_H

#include "isa.h"

#if CREXP_NEON_PATH || defined(CREXP_PORTABLE_INTRINSICS)
#if CREXP_NEON_PATH
#include <arm_neon.h>
#endif

#include <cstddef>
#include <cstdint>

#define CREXP_NEON_OP static CREXP_ALWAYS_INLINE

namespace crexp {

struct NeonLanes {
    static constexpr std::size_t kCount = 2;
    using Double = float64x2_t;
    using Int = uint64x2_t;

    CREXP_NEON_OP Double splat(double c) { return vdupq_n_f64(c); }
    template <class Mask>
    CREXP_NEON_OP unsigned bits(Mask m) { return static_cast<unsigned>((m[0] & 1) | (m[1] & 2)); }
    template <class Mask>
    CREXP_NEON_OP Double select(Mask m, Double a, Double b) { return vbslq_f64((uint64x2_t)m, a, b); }
    CREXP_NEON_OP Double productError(Double a, Double b, Double p) { return vfmaq_f64(-p, a, b); }
    // Each lane's pair {table[i][0], table[i][1]} in one load, the two pairs
    // then unzipped.
    CREXP_NEON_OP void lookup(const double (*table)[2], Int i, Double *first, Double *second)
    {
        const float64x2_t pair0 = vld1q_f64(table[i[0]]);
        const float64x2_t pair1 = vld1q_f64(table[i[1]]);
        *first = vzip1q_f64(pair0, pair1);
        *second = vzip2q_f64(pair0, pair1);
    }

    CREXP_NEON_OP Double load(const double *p, std::size_t n = kCount)
    {
        return n >= kCount ? vld1q_f64(p) : Double{n == 1 ? p[0] : 0.0, 0.0};
    }
    CREXP_NEON_OP void store(double *p, Double a, std::size_t n = kCount)
    {
        if (n >= kCount) {
            vst1q_f64(p, a);
        } else if (n == 1) {
            vst1q_lane_f64(p, a, 0);
        }
    }

    CREXP_NEON_OP void transpose(Double *r)
    {
        const Double r0 = r[0];
        r[0] = vzip1q_f64(r0, r[1]);
        r[1] = vzip2q_f64(r0, r[1]);
    }

    template <std::size_t FD>
    CREXP_NEON_OP void loadRows(const double *p, std::size_t count, Double *row)
    {
        for (std::size_t k0 = 0; k0 < FD; k0 += kCount) {
            Double r[kCount] = {load(p + k0, FD - k0), count > 1 ? load(p + FD + k0, FD - k0) : Double{}};
            transpose(r);
            for (std::size_t k = k0; k < FD && k < k0 + kCount; ++k) {
                row[k] = r[k - k0];
            }
        }
    }
};

}  // namespace crexp

#endif
#endif
