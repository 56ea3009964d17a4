// The AVX-512 path of the evaluator: eight columns per vector, one column
// per lane, every lane doing the plain loop's operations in its order
// (separate multiplies and adds, accumulators from +0.0, index order).
#include "column_gaussian_paths.h"

#if CREXP_X86_PATHS

#include "exponential.h"

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

#define KESTROW_AVX512_INLINE CREXP_TARGET_AVX512 inline __attribute__((always_inline))

namespace kestrow {
namespace detail {

namespace {

constexpr std::size_t L = kAvx512Lanes;
static_assert(L == kScratchColumns, "the scratch holds one vector of columns");

// The first `count` lanes (all from L on).
KESTROW_AVX512_INLINE __mmask8 firstLanes(std::size_t count)
{
    return count >= L ? static_cast<__mmask8>(0xFF) : static_cast<__mmask8>((1u << count) - 1u);
}

KESTROW_AVX512_INLINE void storeLanes(double *to, __m512d v, std::size_t count)
{
    if (count >= L) {
        _mm512_storeu_pd(to, v);
    } else {
        _mm512_mask_storeu_pd(to, firstLanes(count), v);
    }
}

// ---- Small D, known when compiling: everything in registers ----

// For D = FD, row k of a vector of columns is elements k, k + FD, ...,
// k + 7*FD of its FD*8 contiguous doubles, which arrive in FD vectors r[i].
// picks[k][0] takes what r[0] and r[1] hold of row k; picks[k][i], i >= 1,
// keeps a lane or takes it from r[i+1].
template <std::size_t FD>
struct RowPicks {
    long long lanes[FD][FD > 1 ? FD - 1 : 1][L];
};

template <std::size_t FD>
constexpr RowPicks<FD> rowPicks()
{
    RowPicks<FD> p{};
    for (std::size_t k = 0; k < FD; ++k) {
        for (std::size_t l = 0; l < L; ++l) {
            const std::size_t e = k + FD * l;  // element of the row in lane l
            if (FD > 1) {
                p.lanes[k][0][l] = e < 2 * L ? static_cast<long long>(e) : 0;
            }
            for (std::size_t i = 2; i < FD; ++i) {
                p.lanes[k][i - 1][l] = e / L == i ? static_cast<long long>(L + e % L) : static_cast<long long>(l);
            }
        }
    }
    return p;
}

template <std::size_t FD>
struct Picks {
    static constexpr RowPicks<FD> value = rowPicks<FD>();
};

// The FD rows of one vector of columns, the first at `first`, minus MU;
// columns from `count` on are not read (their lanes hold 0 - MU[k]).
template <std::size_t FD>
KESTROW_AVX512_INLINE void loadRows(const double *first, const __m512d *mu, std::size_t count, __m512d *d)
{
    __m512d r[FD];
    const std::size_t valid = count >= L ? FD * L : count * FD;
#pragma GCC unroll 8
    for (std::size_t i = 0; i < FD; ++i) {
        const std::size_t here = valid > i * L ? valid - i * L : 0;
        r[i] = here >= L ? _mm512_loadu_pd(first + i * L) : _mm512_maskz_loadu_pd(firstLanes(here), first + i * L);
    }
    if constexpr (FD == 1) {
        d[0] = _mm512_sub_pd(r[0], mu[0]);
    } else {
#pragma GCC unroll 8
        for (std::size_t k = 0; k < FD; ++k) {
            const auto &picks = Picks<FD>::value.lanes[k];
            __m512d row = _mm512_permutex2var_pd(r[0], _mm512_loadu_si512(picks[0]), r[1]);
#pragma GCC unroll 8
            for (std::size_t i = 2; i < FD; ++i) {
                row = _mm512_permutex2var_pd(row, _mm512_loadu_si512(picks[i - 1]), r[i]);
            }
            d[k] = _mm512_sub_pd(row, mu[k]);
        }
    }
}

// q * (-0.5) of NV vectors of columns, the first at Xc, into dst; the last
// vector holds `lastCount` columns.  mu[k] and is[m + j*FD] are broadcasts
// of MU and IS.
template <std::size_t FD, std::size_t NV>
KESTROW_AVX512_INLINE void stepFixedD(const double *Xc, const __m512d *mu, const __m512d *is, std::size_t lastCount,
                                      double *dst)
{
    __m512d d[NV][FD];
    __m512d q[NV];
#pragma GCC unroll 16
    for (std::size_t v = 0; v < NV; ++v) {
        loadRows<FD>(Xc + v * L * FD, mu, v + 1 == NV ? lastCount : L, d[v]);
        q[v] = _mm512_setzero_pd();
    }
#pragma GCC unroll 16
    for (std::size_t j = 0; j < FD; ++j) {
#pragma GCC unroll 16
        for (std::size_t v = 0; v < NV; ++v) {
            __m512d s = _mm512_setzero_pd();
#pragma GCC unroll 16
            for (std::size_t m = 0; m < FD; ++m) {
                s = _mm512_add_pd(s, _mm512_mul_pd(d[v][m], is[m + j * FD]));
            }
            q[v] = _mm512_add_pd(q[v], _mm512_mul_pd(s, d[v][j]));
        }
    }
    const __m512d minusHalf = _mm512_set1_pd(-0.5);
#pragma GCC unroll 16
    for (std::size_t v = 0; v < NV; ++v) {
        storeLanes(dst + v * L, _mm512_mul_pd(q[v], minusHalf), v + 1 == NV ? lastCount : L);
    }
}

// ---- Any D: lane vectors of the differences in scratch ----

// Transposes the 8-by-8 block r in place: r[k] lane l <- r[l] lane k.
KESTROW_AVX512_INLINE void transpose8(__m512d *r)
{
    __m512d t[8];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < 8; i += 2) {
        t[i] = _mm512_unpacklo_pd(r[i], r[i + 1]);      // elements 0 2 4 6 of r[i], r[i+1]
        t[i + 1] = _mm512_unpackhi_pd(r[i], r[i + 1]);  // elements 1 3 5 7
    }
    const __m512i first = _mm512_set_epi64(13, 12, 5, 4, 9, 8, 1, 0);
    const __m512i second = _mm512_set_epi64(15, 14, 7, 6, 11, 10, 3, 2);
    __m512d u[8];
#pragma GCC unroll 8
    for (std::size_t h = 0; h < 8; h += 4) {
        u[h] = _mm512_permutex2var_pd(t[h], first, t[h + 2]);           // elements 0, 4 of four rows
        u[h + 1] = _mm512_permutex2var_pd(t[h], second, t[h + 2]);      // 2, 6
        u[h + 2] = _mm512_permutex2var_pd(t[h + 1], first, t[h + 3]);   // 1, 5
        u[h + 3] = _mm512_permutex2var_pd(t[h + 1], second, t[h + 3]);  // 3, 7
    }
    const std::size_t element[4] = {0, 2, 1, 3};  // held by u[i] and u[i+4] in their lower halves
#pragma GCC unroll 4
    for (std::size_t i = 0; i < 4; ++i) {
        r[element[i]] = _mm512_shuffle_f64x2(u[i], u[i + 4], 0x44);
        r[element[i] + 4] = _mm512_shuffle_f64x2(u[i], u[i + 4], 0xEE);
    }
}

// The differences of one vector of columns, the first at `first`, as lane
// vectors: row k at rows[k*L].  Each column is read at unit stride, eight
// rows at a time, and each block transposed; columns from `count` on are
// not read and their lanes hold 0.
KESTROW_AVX512_INLINE void storeDifferences(const double *first, std::size_t D, const double *MU,
                                            std::size_t count, double *rows)
{
    for (std::size_t k0 = 0; k0 < D; k0 += L) {
        const std::size_t height = D - k0 < L ? D - k0 : L;
        const __mmask8 present = firstLanes(height);
        const __m512d mu = _mm512_maskz_loadu_pd(present, MU + k0);
        __m512d r[L];
#pragma GCC unroll 8
        for (std::size_t l = 0; l < L; ++l) {
            r[l] = l < count ? _mm512_sub_pd(_mm512_maskz_loadu_pd(present, first + l * D + k0), mu)
                             : _mm512_setzero_pd();
        }
        transpose8(r);
#pragma GCC unroll 8
        for (std::size_t k = 0; k < L; ++k) {
            if (k < height) {
                _mm512_store_pd(rows + (k0 + k) * L, r[k]);
            }
        }
    }
}

// J consecutive inner sums s_j ... s_{j+J-1}, each then added to q in
// order; row m of the differences lies at dv[m*L].  One load of a row
// serves J products; the J sums are independent chains.
template <std::size_t J>
KESTROW_AVX512_INLINE void innerSums(const double *dv, std::size_t D, const double *IS, std::size_t j, __m512d &q)
{
    __m512d s[J];
#pragma GCC unroll 16
    for (std::size_t t = 0; t < J; ++t) {
        s[t] = _mm512_setzero_pd();
    }
    const double *column = IS + j * D;
    for (std::size_t m = 0; m < D; ++m) {
        const __m512d dm = _mm512_load_pd(dv + m * L);
#pragma GCC unroll 16
        for (std::size_t t = 0; t < J; ++t) {
            s[t] = _mm512_add_pd(s[t], _mm512_mul_pd(dm, _mm512_set1_pd(column[m + t * D])));
        }
    }
#pragma GCC unroll 16
    for (std::size_t t = 0; t < J; ++t) {
        q = _mm512_add_pd(q, _mm512_mul_pd(s[t], _mm512_load_pd(dv + (j + t) * L)));
    }
}

// q * (-0.5) of one vector of `count` columns, the first at Xc, into dst.
KESTROW_AVX512_INLINE void stepAnyD(const double *Xc, std::size_t D, const double *MU, const double *IS,
                                    std::size_t count, double *dv, double *dst)
{
    storeDifferences(Xc, D, MU, count, dv);
    __m512d q = _mm512_setzero_pd();
    std::size_t j = 0;
    for (; j + 8 <= D; j += 8) {
        innerSums<8>(dv, D, IS, j, q);
    }
    switch (D - j) {
    case 7:
        innerSums<7>(dv, D, IS, j, q);
        break;
    case 6:
        innerSums<6>(dv, D, IS, j, q);
        break;
    case 5:
        innerSums<5>(dv, D, IS, j, q);
        break;
    case 4:
        innerSums<4>(dv, D, IS, j, q);
        break;
    case 3:
        innerSums<3>(dv, D, IS, j, q);
        break;
    case 2:
        innerSums<2>(dv, D, IS, j, q);
        break;
    case 1:
        innerSums<1>(dv, D, IS, j, q);
        break;
    default:
        break;
    }
    storeLanes(dst, _mm512_mul_pd(q, _mm512_set1_pd(-0.5)), count);
}

// Asks for the bytes [from, to) of X to come into the cache.
KESTROW_AVX512_INLINE void prefetch(const double *from, const double *to)
{
    for (const char *p = reinterpret_cast<const char *>(from); p < reinterpret_cast<const char *>(to); p += 64) {
        _mm_prefetch(p, _MM_HINT_T0);
    }
}

// ---- Every column, round by round ----

// FD > 0: D is FD.
template <std::size_t FD>
CREXP_TARGET_AVX512 void evalRounds(const double *X, std::size_t D, std::size_t N, const double *MU,
                                      const double *IS, double K, double *out, double *dv)
{
    // Small D: two vectors per step, everything in registers.
    constexpr std::size_t NV = 2;
    __m512d mu[FD > 0 ? FD : 1];
    __m512d is[FD > 0 ? FD * FD : 1];
    if constexpr (FD > 0) {
        for (std::size_t k = 0; k < FD; ++k) {
            mu[k] = _mm512_set1_pd(MU[k]);
        }
        for (std::size_t e = 0; e < FD * FD; ++e) {
            is[e] = _mm512_set1_pd(IS[e]);
        }
    }
    // Any D: the columns this far ahead are asked for step by step (for
    // small D the hardware's own prefetching keeps up).
    const std::size_t ahead = (kPrefetchBytes / sizeof(double) + D - 1) / (D > 0 ? D : 1);
    const __m512d scale = _mm512_set1_pd(K);
    for (std::size_t first = 0; first < N; first += kRoundColumns) {
        const std::size_t end = N - first < kRoundColumns ? N : first + kRoundColumns;
        std::size_t c = first;
        if constexpr (FD > 0) {
            for (; c + NV * L <= end; c += NV * L) {
                stepFixedD<FD, NV>(X + c * FD, mu, is, L, out + c);
            }
            for (; c < end; c += L) {
                stepFixedD<FD, 1>(X + c * FD, mu, is, end - c, out + c);
            }
        } else {
            for (; c < end; c += L) {
                if (c + ahead < N) {
                    const std::size_t stop = c + ahead + L < N ? c + ahead + L : N;
                    prefetch(X + (c + ahead) * D, X + stop * D);
                }
                stepAnyD(X + c * D, D, MU, IS, end - c, dv, out + c);
            }
        }

        crexp::exponentials(crexp::Isa::Avx512, out + first, end - first);

        for (c = first; c < end; c += L) {
            const __m512d e = _mm512_maskz_loadu_pd(firstLanes(end - c), out + c);
            storeLanes(out + c, _mm512_mul_pd(e, scale), end - c);
        }
    }
}

}  // namespace

CREXP_TARGET_AVX512 void evalAvx512(const double *X, std::size_t D, std::size_t N, const double *MU,
                                      const double *IS, double K, double *out, double *scratch)
{
    switch (D) {
    case 1:
        evalRounds<1>(X, D, N, MU, IS, K, out, scratch);
        break;
    case 2:
        evalRounds<2>(X, D, N, MU, IS, K, out, scratch);
        break;
    case 3:
        evalRounds<3>(X, D, N, MU, IS, K, out, scratch);
        break;
    case 4:
        evalRounds<4>(X, D, N, MU, IS, K, out, scratch);
        break;
    default:
        evalRounds<0>(X, D, N, MU, IS, K, out, scratch);
        break;
    }
}

}  // namespace detail
}  // namespace kestrow

#endif
