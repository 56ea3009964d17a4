// Four doubles in an AVX2 register: the lane type that the vector paths of
// the exponential and of the code built on it are written over.
//
// The compiler's vector operators act lane by lane: + - * and unary - on
// Double (each operation rounded on its own: the build never contracts them
// into fused multiply-adds), + - & << on Int, and == <= on Double give a
// mask, all ones in the lanes where they hold.  A cast between Double and
// Int keeps the bits.  The rest is here, each operation one instruction or a
// few, always inlined and compiled for AVX2 whatever the caller.
#ifndef CREXP_LANES_AVX2_H
#define CREXP_LANES_AVX2_H

#include "isa.h"

#if CREXP_X86_PATHS
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#define CREXP_AVX2_OP static CREXP_TARGET_AVX2 CREXP_ALWAYS_INLINE

namespace crexp {

struct Avx2Lanes {
    static constexpr std::size_t kCount = 4;
    using Double = __m256d;
    typedef std::uint64_t Int __attribute__((vector_size(32)));

    CREXP_AVX2_OP Double splat(double c) { return _mm256_set1_pd(c); }
    // Bit l set when lane l of the mask is.
    template <class Mask>
    CREXP_AVX2_OP unsigned bits(Mask m) { return static_cast<unsigned>(_mm256_movemask_pd((__m256d)m)); }
    // a in the lanes of the mask, b in the others.
    template <class Mask>
    CREXP_AVX2_OP Double select(Mask m, Double a, Double b) { return _mm256_blendv_pd(b, a, (__m256d)m); }
    // a*b - p exactly, for p = a*b rounded: one fused multiply-add.
    CREXP_AVX2_OP Double productError(Double a, Double b, Double p) { return _mm256_fmsub_pd(a, b, p); }
    // table[i][0] and table[i][1] for each lane's index i.
    CREXP_AVX2_OP void lookup(const double (*table)[2], Int i, Double *first, Double *second)
    {
        *first = _mm256_i64gather_pd(&table[0][0], (__m256i)(i << 1), 8);
        *second = _mm256_i64gather_pd(&table[0][1], (__m256i)(i << 1), 8);
    }

    // The first n lanes, unaligned (all from n = kCount on): the others read
    // as 0 and are not written, their memory not touched.
    CREXP_AVX2_OP __m256i firstLanes(std::size_t n)
    {
        return _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(n)), _mm256_set_epi64x(3, 2, 1, 0));
    }
    CREXP_AVX2_OP Double load(const double *p, std::size_t n = kCount)
    {
        return n >= kCount ? _mm256_loadu_pd(p) : _mm256_maskload_pd(p, firstLanes(n));
    }
    CREXP_AVX2_OP void store(double *p, Double a, std::size_t n = kCount)
    {
        if (n >= kCount) {
            _mm256_storeu_pd(p, a);
        } else {
            _mm256_maskstore_pd(p, firstLanes(n), a);
        }
    }

    // r[k] lane l <- r[l] lane k.
    CREXP_AVX2_OP void transpose(Double *r)
    {
        const __m256d t0 = _mm256_unpacklo_pd(r[0], r[1]);  // r0.0 r1.0 r0.2 r1.2
        const __m256d t1 = _mm256_unpackhi_pd(r[0], r[1]);  // r0.1 r1.1 r0.3 r1.3
        const __m256d t2 = _mm256_unpacklo_pd(r[2], r[3]);
        const __m256d t3 = _mm256_unpackhi_pd(r[2], r[3]);
        r[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
        r[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
        r[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
        r[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
    }

    // The rows of `count` columns of FD <= 4 doubles stored one after the
    // other from p: row[k] lane l is p[l*FD + k], 0 from lane `count` on;
    // nothing past the columns is read.  Full vectors take plain loads,
    // each column's values at the start of one register (the last column's
    // moved there from the end of the span), and a transposition.
    template <std::size_t FD>
    CREXP_AVX2_OP void loadRows(const double *p, std::size_t count, Double *row)
    {
        if constexpr (FD == 1) {
            row[0] = load(p, count);
            return;
        }
        Double r[kCount];
        for (std::size_t l = 0; l < kCount; ++l) {
            if (count < kCount) {
                r[l] = l < count ? load(p + l * FD, FD) : Double{};
            } else if (l + 1 < kCount) {
                r[l] = _mm256_loadu_pd(p + l * FD);  // within the span for FD >= 2
            } else {
                r[l] = _mm256_loadu_pd(p + l * FD + FD - kCount);
                if constexpr (FD < kCount) {
                    constexpr int lanes = FD == 2 ? 0xFE : 0xF9;  // 2 3 3 3 or 1 2 3 3
                    r[l] = _mm256_permute4x64_pd(r[l], lanes);
                }
            }
        }
        transpose(r);
        for (std::size_t k = 0; k < FD; ++k) {
            row[k] = r[k];
        }
    }
};

}  // namespace crexp

#endif
#endif
