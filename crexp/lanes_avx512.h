// Eight doubles in an AVX-512 register: the lane type of crexp/lanes_avx2.h
// (which says what each operation does) on twice the lanes.
#ifndef CREXP_LANES_AVX512_H
#define CREXP_LANES_AVX512_H

#include "isa.h"

#if CREXP_X86_PATHS
// GCC 12's AVX-512 intrinsics start several results from an undefined
// vector, which its own flow analysis then reports as uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include <cstddef>
#include <cstdint>

#define CREXP_AVX512_OP static CREXP_TARGET_AVX512 CREXP_ALWAYS_INLINE

namespace crexp {

struct Avx512Lanes {
    static constexpr std::size_t kCount = 8;
    using Double = __m512d;
    typedef std::uint64_t Int __attribute__((vector_size(64)));
    // The gathers' masked forms with every lane set, for the same reason.
    static constexpr __mmask8 kAll = 0xFF;

    CREXP_AVX512_OP Double splat(double c) { return _mm512_set1_pd(c); }
    template <class Mask>
    CREXP_AVX512_OP unsigned bits(Mask m) { return _mm512_movepi64_mask((__m512i)m); }
    template <class Mask>
    CREXP_AVX512_OP Double select(Mask m, Double a, Double b) { return _mm512_mask_blend_pd(_mm512_movepi64_mask((__m512i)m), b, a); }
    CREXP_AVX512_OP Double productError(Double a, Double b, Double p) { return _mm512_fmsub_pd(a, b, p); }
    CREXP_AVX512_OP void lookup(const double (*table)[2], Int i, Double *first, Double *second)
    {
        *first = _mm512_mask_i64gather_pd(_mm512_setzero_pd(), kAll, (__m512i)(i << 1), &table[0][0], 8);
        *second = _mm512_mask_i64gather_pd(_mm512_setzero_pd(), kAll, (__m512i)(i << 1), &table[0][1], 8);
    }

    CREXP_AVX512_OP __mmask8 firstLanes(std::size_t n)
    {
        return n >= kCount ? kAll : static_cast<__mmask8>((1u << n) - 1u);
    }
    // The masked forms for every n: with every lane set, as fast as the
    // plain ones.
    CREXP_AVX512_OP Double load(const double *p, std::size_t n = kCount) { return _mm512_maskz_loadu_pd(firstLanes(n), p); }
    CREXP_AVX512_OP void store(double *p, Double a, std::size_t n = kCount) { _mm512_mask_storeu_pd(p, firstLanes(n), a); }

    CREXP_AVX512_OP void transpose(Double *r)
    {
        __m512d t[8];
        for (std::size_t i = 0; i < 8; i += 2) {
            t[i] = _mm512_unpacklo_pd(r[i], r[i + 1]);      // elements 0 2 4 6 of r[i], r[i+1]
            t[i + 1] = _mm512_unpackhi_pd(r[i], r[i + 1]);  // elements 1 3 5 7
        }
        const __m512i first = _mm512_set_epi64(13, 12, 5, 4, 9, 8, 1, 0);
        const __m512i second = _mm512_set_epi64(15, 14, 7, 6, 11, 10, 3, 2);
        __m512d u[8];
        for (std::size_t h = 0; h < 8; h += 4) {
            u[h] = _mm512_permutex2var_pd(t[h], first, t[h + 2]);           // elements 0, 4 of four rows
            u[h + 1] = _mm512_permutex2var_pd(t[h], second, t[h + 2]);      // 2, 6
            u[h + 2] = _mm512_permutex2var_pd(t[h + 1], first, t[h + 3]);   // 1, 5
            u[h + 3] = _mm512_permutex2var_pd(t[h + 1], second, t[h + 3]);  // 3, 7
        }
        const std::size_t element[4] = {0, 2, 1, 3};  // held by u[i] and u[i+4] in their lower halves
        for (std::size_t i = 0; i < 4; ++i) {
            r[element[i]] = _mm512_shuffle_f64x2(u[i], u[i + 4], 0x44);
            r[element[i] + 4] = _mm512_shuffle_f64x2(u[i], u[i + 4], 0xEE);
        }
    }

    // The FD vectors that hold the columns are loaded whole and each row
    // picked from them: row k lane l is element e = k + FD*l of the span,
    // in vector e / 8.  picks[k][0] takes what the first two vectors hold of
    // row k; picks[k][i], i >= 1, keeps a lane or takes it from vector i+1.
    template <std::size_t FD>
    struct Picks {
        long long lanes[FD][FD > 1 ? FD - 1 : 1][kCount] = {};
        constexpr Picks()
        {
            for (std::size_t k = 0; k < FD; ++k) {
                for (std::size_t l = 0; l < kCount; ++l) {
                    const std::size_t e = k + FD * l;
                    lanes[k][0][l] = e < 2 * kCount ? static_cast<long long>(e) : 0;
                    for (std::size_t i = 2; i < FD; ++i) {
                        lanes[k][i - 1][l] = static_cast<long long>(e / kCount == i ? kCount + e % kCount : l);
                    }
                }
            }
        }
    };
    template <std::size_t FD>
    static constexpr Picks<FD> kPicks{};

    template <std::size_t FD>
    CREXP_AVX512_OP void loadRows(const double *p, std::size_t count, Double *row)
    {
        __m512d r[FD];
        const std::size_t valid = count >= kCount ? FD * kCount : count * FD;
        for (std::size_t i = 0; i < FD; ++i) {
            r[i] = load(p + i * kCount, valid > i * kCount ? valid - i * kCount : 0);
        }
        for (std::size_t k = 0; k < FD; ++k) {
            row[k] = r[0];
            if constexpr (FD > 1) {
                const auto &picks = kPicks<FD>.lanes[k];
                row[k] = _mm512_permutex2var_pd(r[0], _mm512_loadu_si512(picks[0]), r[1]);
                for (std::size_t i = 2; i < FD; ++i) {
                    row[k] = _mm512_permutex2var_pd(row[k], _mm512_loadu_si512(picks[i - 1]), r[i]);
                }
            }
        }
    }
};

}  // namespace crexp

#endif
#endif
