// The AVX2 path of the evaluator: four columns per vector, one column per
// lane, every lane doing the plain loop's operations in its order (separate
// multiplies and adds, accumulators from +0.0, index order).  The fused
// multiply-add that comes with AVX2 is never used.
#include "column_gaussian_paths.h"

#if CREXP_X86_PATHS

#include "exponential.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#define KESTROW_AVX2_INLINE CREXP_TARGET_AVX2 inline __attribute__((always_inline))

namespace kestrow {
namespace detail {

namespace {

constexpr std::size_t L = kAvx2Lanes;
constexpr std::size_t V = kScratchColumns / kAvx2Lanes;  // vectors per step

// The first `count` lanes (all from L on), as a mask of all-ones lanes.
KESTROW_AVX2_INLINE __m256i firstLanes(std::size_t count)
{
    const auto n = static_cast<long long>(count < L ? count : L);
    return _mm256_cmpgt_epi64(_mm256_set1_epi64x(n), _mm256_set_epi64x(3, 2, 1, 0));
}

KESTROW_AVX2_INLINE void storeLanes(double *to, __m256d v, std::size_t count)
{
    if (count >= L) {
        _mm256_storeu_pd(to, v);
    } else {
        _mm256_maskstore_pd(to, firstLanes(count), v);
    }
}

// Transposes the 4-by-4 block r in place: r[k] lane l <- r[l] lane k.
KESTROW_AVX2_INLINE void transpose4(__m256d *r)
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

// ---- Small D, known when compiling: everything in registers ----

// The FD rows of one vector of columns, the first at `first`, minus MU;
// columns from `count` on are not read (their lanes hold 0 - MU[k]).
// A whole vector is read with plain loads, each column's FD values at the
// start of one register (the last column's moved there from the end of
// the vector's span), and transposed.
template <std::size_t FD>
KESTROW_AVX2_INLINE void loadRows(const double *first, const __m256d *mu, std::size_t count, __m256d *d)
{
    if constexpr (FD == 1) {
        const __m256d r = count >= L ? _mm256_loadu_pd(first) : _mm256_maskload_pd(first, firstLanes(count));
        d[0] = _mm256_sub_pd(r, mu[0]);
    } else {
        __m256d r[L];
        if (count >= L) {
#pragma GCC unroll 4
            for (std::size_t l = 0; l + 1 < L; ++l) {
                r[l] = _mm256_loadu_pd(first + l * FD);  // within the span for FD >= 2
            }
            const __m256d tail = _mm256_loadu_pd(first + (L - 1) * FD + FD - L);
            if constexpr (FD == 2) {
                r[L - 1] = _mm256_permute4x64_pd(tail, 0xFE);  // lanes 2 3 3 3
            } else if constexpr (FD == 3) {
                r[L - 1] = _mm256_permute4x64_pd(tail, 0xF9);  // lanes 1 2 3 3
            } else {
                r[L - 1] = tail;
            }
        } else {
#pragma GCC unroll 4
            for (std::size_t l = 0; l < L; ++l) {
                r[l] = l < count ? _mm256_maskload_pd(first + l * FD, firstLanes(FD)) : _mm256_setzero_pd();
            }
        }
        transpose4(r);
#pragma GCC unroll 4
        for (std::size_t k = 0; k < FD; ++k) {
            d[k] = _mm256_sub_pd(r[k], mu[k]);
        }
    }
}

// q * (-0.5) of NV vectors of columns, the first at Xc, into dst; the last
// vector holds `lastCount` columns.  mu[k] and is[m + j*FD] are broadcasts
// of MU and IS.
template <std::size_t FD, std::size_t NV>
KESTROW_AVX2_INLINE void stepFixedD(const double *Xc, const __m256d *mu, const __m256d *is, std::size_t lastCount,
                                    double *dst)
{
    __m256d d[NV][FD];
    __m256d q[NV];
#pragma GCC unroll 16
    for (std::size_t v = 0; v < NV; ++v) {
        loadRows<FD>(Xc + v * L * FD, mu, v + 1 == NV ? lastCount : L, d[v]);
        q[v] = _mm256_setzero_pd();
    }
#pragma GCC unroll 16
    for (std::size_t j = 0; j < FD; ++j) {
#pragma GCC unroll 16
        for (std::size_t v = 0; v < NV; ++v) {
            __m256d s = _mm256_setzero_pd();
#pragma GCC unroll 16
            for (std::size_t m = 0; m < FD; ++m) {
                s = _mm256_add_pd(s, _mm256_mul_pd(d[v][m], is[m + j * FD]));
            }
            q[v] = _mm256_add_pd(q[v], _mm256_mul_pd(s, d[v][j]));
        }
    }
    const __m256d minusHalf = _mm256_set1_pd(-0.5);
#pragma GCC unroll 16
    for (std::size_t v = 0; v < NV; ++v) {
        storeLanes(dst + v * L, _mm256_mul_pd(q[v], minusHalf), v + 1 == NV ? lastCount : L);
    }
}

// ---- Any D: lane vectors of the differences in scratch ----

// The differences of one vector of columns, the first at `first`, as lane
// vectors: row k at rows[k*L].  Each column is read at unit stride, four
// rows at a time, and each block transposed; lanes from `count` on read
// nothing and hold 0.
KESTROW_AVX2_INLINE void storeDifferences(const double *first, std::size_t D, const double *MU,
                                          std::size_t count, double *rows)
{
    for (std::size_t k0 = 0; k0 < D; k0 += L) {
        const std::size_t height = D - k0 < L ? D - k0 : L;
        const __m256i present = firstLanes(height);
        const __m256d mu = _mm256_maskload_pd(MU + k0, present);
        __m256d r[L];
#pragma GCC unroll 4
        for (std::size_t l = 0; l < L; ++l) {
            const double *at = first + l * D + k0;
            if (l >= count) {
                r[l] = _mm256_setzero_pd();
            } else {
                r[l] = _mm256_sub_pd(height == L ? _mm256_loadu_pd(at) : _mm256_maskload_pd(at, present), mu);
            }
        }
        transpose4(r);
#pragma GCC unroll 4
        for (std::size_t k = 0; k < L; ++k) {
            if (k < height) {
                _mm256_store_pd(rows + (k0 + k) * L, r[k]);
            }
        }
    }
}

// J consecutive inner sums s_j ... s_{j+J-1} for NV vectors at once, each
// then added to its q in order.  Vector v's row m lies at dv[(v*D + m)*L].
// One load of a row serves J products, one broadcast of IS serves NV; the
// NV*J sums are independent chains.
template <std::size_t NV, std::size_t J>
KESTROW_AVX2_INLINE void innerSums(const double *dv, std::size_t D, const double *IS, std::size_t j, __m256d *q)
{
    __m256d s[NV][J];
#pragma GCC unroll 16
    for (std::size_t v = 0; v < NV; ++v) {
#pragma GCC unroll 16
        for (std::size_t t = 0; t < J; ++t) {
            s[v][t] = _mm256_setzero_pd();
        }
    }
    const double *column = IS + j * D;
    for (std::size_t m = 0; m < D; ++m) {
        __m256d b[J];
#pragma GCC unroll 16
        for (std::size_t t = 0; t < J; ++t) {
            b[t] = _mm256_broadcast_sd(column + m + t * D);
        }
#pragma GCC unroll 16
        for (std::size_t v = 0; v < NV; ++v) {
            const __m256d dm = _mm256_load_pd(dv + (v * D + m) * L);
#pragma GCC unroll 16
            for (std::size_t t = 0; t < J; ++t) {
                s[v][t] = _mm256_add_pd(s[v][t], _mm256_mul_pd(dm, b[t]));
            }
        }
    }
#pragma GCC unroll 16
    for (std::size_t t = 0; t < J; ++t) {
#pragma GCC unroll 16
        for (std::size_t v = 0; v < NV; ++v) {
            const __m256d dj = _mm256_load_pd(dv + (v * D + j + t) * L);
            q[v] = _mm256_add_pd(q[v], _mm256_mul_pd(s[v][t], dj));
        }
    }
}

// q * (-0.5) of NV vectors of columns, the first at Xc, into dst; the last
// vector holds `lastCount` columns.
template <std::size_t NV>
KESTROW_AVX2_INLINE void stepAnyD(const double *Xc, std::size_t D, const double *MU, const double *IS,
                                  std::size_t lastCount, double *dv, double *dst)
{
#pragma GCC unroll 16
    for (std::size_t v = 0; v < NV; ++v) {
        storeDifferences(Xc + v * L * D, D, MU, v + 1 == NV ? lastCount : L, dv + v * D * L);
    }
    __m256d q[NV];
#pragma GCC unroll 16
    for (std::size_t v = 0; v < NV; ++v) {
        q[v] = _mm256_setzero_pd();
    }
    std::size_t j = 0;
    for (; j + 4 <= D; j += 4) {
        innerSums<NV, 4>(dv, D, IS, j, q);
    }
    switch (D - j) {
    case 3:
        innerSums<NV, 3>(dv, D, IS, j, q);
        break;
    case 2:
        innerSums<NV, 2>(dv, D, IS, j, q);
        break;
    case 1:
        innerSums<NV, 1>(dv, D, IS, j, q);
        break;
    default:
        break;
    }
    const __m256d minusHalf = _mm256_set1_pd(-0.5);
#pragma GCC unroll 16
    for (std::size_t v = 0; v < NV; ++v) {
        storeLanes(dst + v * L, _mm256_mul_pd(q[v], minusHalf), v + 1 == NV ? lastCount : L);
    }
}

// Asks for the bytes [from, to) of X to come into the cache.
KESTROW_AVX2_INLINE void prefetch(const double *from, const double *to)
{
    for (const char *p = reinterpret_cast<const char *>(from); p < reinterpret_cast<const char *>(to); p += 64) {
        _mm_prefetch(p, _MM_HINT_T0);
    }
}

// ---- Every column, round by round ----

// FD > 0: D is FD.
template <std::size_t FD>
CREXP_TARGET_AVX2 void evalRounds(const double *X, std::size_t D, std::size_t N, const double *MU,
                                    const double *IS, double K, double *out, double *dv)
{
    __m256d mu[FD > 0 ? FD : 1];
    __m256d is[FD > 0 ? FD * FD : 1];
    if constexpr (FD > 0) {
        for (std::size_t k = 0; k < FD; ++k) {
            mu[k] = _mm256_set1_pd(MU[k]);
        }
        for (std::size_t e = 0; e < FD * FD; ++e) {
            is[e] = _mm256_set1_pd(IS[e]);
        }
    }
    // Any D: the columns this far ahead are asked for step by step (for
    // small D the hardware's own prefetching keeps up).
    const std::size_t ahead = (kPrefetchBytes / sizeof(double) + D - 1) / (D > 0 ? D : 1);
    const __m256d scale = _mm256_set1_pd(K);
    for (std::size_t first = 0; first < N; first += kRoundColumns) {
        const std::size_t end = N - first < kRoundColumns ? N : first + kRoundColumns;
        std::size_t c = first;
        for (; c + V * L <= end; c += V * L) {
            if constexpr (FD > 0) {
                stepFixedD<FD, V>(X + c * FD, mu, is, L, out + c);
            } else {
                if (c + ahead < N) {
                    const std::size_t stop = c + ahead + V * L < N ? c + ahead + V * L : N;
                    prefetch(X + (c + ahead) * D, X + stop * D);
                }
                stepAnyD<V>(X + c * D, D, MU, IS, L, dv, out + c);
            }
        }
        for (; c < end; c += L) {
            if constexpr (FD > 0) {
                stepFixedD<FD, 1>(X + c * FD, mu, is, end - c, out + c);
            } else {
                stepAnyD<1>(X + c * D, D, MU, IS, end - c, dv, out + c);
            }
        }

        crexp::exponentials(crexp::Isa::Avx2, out + first, end - first);

        for (c = first; c < end; c += L) {
            const __m256d e = end - c >= L ? _mm256_loadu_pd(out + c) : _mm256_maskload_pd(out + c, firstLanes(end - c));
            storeLanes(out + c, _mm256_mul_pd(e, scale), end - c);
        }
    }
}

}  // namespace

CREXP_TARGET_AVX2 void evalAvx2(const double *X, std::size_t D, std::size_t N, const double *MU,
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
