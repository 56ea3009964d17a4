// The evaluator on the lanes of a vector, written once over a lane type L
// (crexp/lanes_*.h): one column per lane, every lane doing the plain loop's
// operations in its order (separate multiplies and adds, accumulators from
// +0.0, index order; never a fused multiply-add).  Included by one source
// file per instruction set, which names the set in CREXP_LANES_TARGET.
#include "column_gaussian_paths.h"
#include "exponential_detail.h"

#include <cstddef>
#include <limits>

#ifdef CREXP_LANES_TARGET
CREXP_TARGET_BEGIN(CREXP_LANES_TARGET)
#endif

namespace kestrow {
namespace detail {

// Stores q * (-0.5) of NV vectors of columns at dst; the last vector holds
// `lastCount` columns.
template <class L, std::size_t NV>
CREXP_ALWAYS_INLINE void storeExponents(const typename L::Double *q, std::size_t lastCount, double *dst)
{
    for (std::size_t v = 0; v < NV; ++v) {
        L::store(dst + v * L::kCount, q[v] * -0.5, v + 1 == NV ? lastCount : L::kCount);
    }
}

// ---- Small D, known when compiling: everything in registers ----

// The exponents of NV vectors of columns, the first at Xc; mu[k] and
// is[m + j*FD] hold MU and IS in every lane.
template <class L, std::size_t FD, std::size_t NV>
CREXP_ALWAYS_INLINE void stepFixedD(const double *Xc, const typename L::Double *mu, const typename L::Double *is,
                                    std::size_t lastCount, double *dst)
{
    typename L::Double d[NV][FD], q[NV];
    for (std::size_t v = 0; v < NV; ++v) {
        L::template loadRows<FD>(Xc + v * L::kCount * FD, v + 1 == NV ? lastCount : L::kCount, d[v]);
        for (std::size_t k = 0; k < FD; ++k) {
            d[v][k] = d[v][k] - mu[k];
        }
        q[v] = typename L::Double{};
    }
    for (std::size_t j = 0; j < FD; ++j) {
        for (std::size_t v = 0; v < NV; ++v) {
            typename L::Double s{};
            for (std::size_t m = 0; m < FD; ++m) {
                s = s + d[v][m] * is[m + j * FD];
            }
            q[v] = q[v] + s * d[v][j];
        }
    }
    storeExponents<L, NV>(q, lastCount, dst);
}

// ---- Any D: lane vectors of the differences in scratch ----

// The differences of one vector of columns, the first at `first`, as lane
// vectors: row k at rows[k*L::kCount].  Each column is read at unit stride,
// a vector's worth of rows at a time, and each block transposed; lanes from
// `count` on read nothing and hold 0.
template <class L>
CREXP_ALWAYS_INLINE void storeDifferences(const double *first, std::size_t D, const double *MU, std::size_t count,
                                          double *rows)
{
    for (std::size_t k0 = 0; k0 < D; k0 += L::kCount) {
        const std::size_t height = D - k0 < L::kCount ? D - k0 : L::kCount;
        const typename L::Double mu = L::load(MU + k0, height);
        typename L::Double r[L::kCount];
        for (std::size_t l = 0; l < L::kCount; ++l) {
            r[l] = l < count ? L::load(first + l * D + k0, height) - mu : typename L::Double{};
        }
        L::transpose(r);
        for (std::size_t k = 0; k < L::kCount; ++k) {
            if (k < height) {
                L::store(rows + (k0 + k) * L::kCount, r[k]);
            }
        }
    }
}

// J consecutive inner sums s_j ... s_{j+J-1} for NV vectors at once, each
// then added to its q in order; vector v's row m lies at
// dv[(v*D + m)*L::kCount].  One load of a row serves J products, one
// broadcast of IS serves NV; the NV*J sums are independent chains.  J
// below the lane count is the last of them, for J = D - j.
template <class L, std::size_t NV, std::size_t J>
CREXP_ALWAYS_INLINE void innerSums(const double *dv, std::size_t D, const double *IS, std::size_t j,
                                   typename L::Double *q)
{
    if constexpr (J < L::kCount && J > 1) {
        if (D - j < J) {
            return innerSums<L, NV, J - 1>(dv, D, IS, j, q);
        }
    }
    typename L::Double s[NV][J] = {};
    const double *column = IS + j * D;
    for (std::size_t m = 0; m < D; ++m) {
        typename L::Double b[J];
        for (std::size_t t = 0; t < J; ++t) {
            b[t] = L::splat(column[m + t * D]);
        }
        for (std::size_t v = 0; v < NV; ++v) {
            const typename L::Double dm = L::load(dv + (v * D + m) * L::kCount);
            for (std::size_t t = 0; t < J; ++t) {
                s[v][t] = s[v][t] + dm * b[t];
            }
        }
    }
    for (std::size_t t = 0; t < J; ++t) {
        for (std::size_t v = 0; v < NV; ++v) {
            q[v] = q[v] + s[v][t] * L::load(dv + (v * D + j + t) * L::kCount);
        }
    }
}

// The exponents of NV vectors of columns, the first at Xc.
template <class L, std::size_t NV>
CREXP_ALWAYS_INLINE void stepAnyD(const double *Xc, std::size_t D, const double *MU, const double *IS,
                                  std::size_t lastCount, double *dv, double *dst)
{
    typename L::Double q[NV];
    for (std::size_t v = 0; v < NV; ++v) {
        storeDifferences<L>(Xc + v * L::kCount * D, D, MU, v + 1 == NV ? lastCount : L::kCount,
                            dv + v * D * L::kCount);
        q[v] = typename L::Double{};
    }
    std::size_t j = 0;
    for (; j + L::kCount <= D; j += L::kCount) {
        innerSums<L, NV, L::kCount>(dv, D, IS, j, q);
    }
    if (j < D) {
        innerSums<L, NV, L::kCount - 1>(dv, D, IS, j, q);
    }
    storeExponents<L, NV>(q, lastCount, dst);
}

// ---- Every column, round by round ----

// FD > 0: D is FD.  Small D takes two vectors per step, any D the scratch's
// eight columns.
template <class L, std::size_t FD>
void evalRounds(const double *X, std::size_t D, std::size_t N, const double *MU, const double *IS, double K,
                double *out, double *dv)
{
    using Double = typename L::Double;
    constexpr std::size_t NV = FD > 0 ? 2 : kScratchColumns / L::kCount;
    constexpr std::size_t step = NV * L::kCount;
    Double mu[FD > 0 ? FD : 1], is[FD > 0 ? FD * FD : 1];
    for (std::size_t k = 0; k < FD; ++k) {
        mu[k] = L::splat(MU[k]);
    }
    for (std::size_t e = 0; e < FD * FD; ++e) {
        is[e] = L::splat(IS[e]);
    }
    // Any D: the columns this far ahead are asked for step by step (for
    // small D the hardware's own prefetching keeps up).
    const std::size_t ahead = (kPrefetchBytes / sizeof(double) + D - 1) / (D > 0 ? D : 1);
    for (std::size_t first = 0; first < N; first += kRoundColumns) {
        const std::size_t end = N - first < kRoundColumns ? N : first + kRoundColumns;
        std::size_t c = first;
        for (; c + step <= end; c += step) {
            if constexpr (FD > 0) {
                stepFixedD<L, FD, NV>(X + c * FD, mu, is, L::kCount, out + c);
            } else {
                if (c + ahead < N) {
                    const double *stop = X + (c + ahead + step < N ? c + ahead + step : N) * D;
                    for (const double *p = X + (c + ahead) * D; p < stop; p += 64 / sizeof(double)) {
                        __builtin_prefetch(p);
                    }
                }
                stepAnyD<L, NV>(X + c * D, D, MU, IS, L::kCount, dv, out + c);
            }
        }
        for (; c < end; c += L::kCount) {
            if constexpr (FD > 0) {
                stepFixedD<L, FD, 1>(X + c * FD, mu, is, end - c, out + c);
            } else {
                stepAnyD<L, 1>(X + c * D, D, MU, IS, end - c, dv, out + c);
            }
        }

        // The exponential on the same lane type (not chosen by the CPU: a
        // lane type may be built in more than one way).
        crexp::detail::exponentialLanes<L>(out + first, end - first);

        // Times K; every NaN leaves as the one quiet NaN.
        for (c = first; c < end; c += L::kCount) {
            const Double y = L::load(out + c, end - c) * K;
            L::store(out + c, L::select(y == y, y, L::splat(std::numeric_limits<double>::quiet_NaN())), end - c);
        }
    }
}

template <class L>
void evalLanes(const double *X, std::size_t D, std::size_t N, const double *MU, const double *IS, double K,
               double *out, double *scratch)
{
    using Rounds = void (*)(const double *, std::size_t, std::size_t, const double *, const double *, double,
                            double *, double *);
    constexpr Rounds byD[] = {evalRounds<L, 0>, evalRounds<L, 1>, evalRounds<L, 2>, evalRounds<L, 3>,
                              evalRounds<L, 4>};
    byD[D < 5 ? D : 0](X, D, N, MU, IS, K, out, scratch);
}

}  // namespace detail
}  // namespace kestrow

#ifdef CREXP_LANES_TARGET
CREXP_TARGET_END
#endif
