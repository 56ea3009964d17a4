// The exponential on the lanes of a vector, written once over a lane type L
// (crexp/lanes_*.h): the fast stage of exponential.cpp, operation for
// operation (its proof covers every lane), with the exact product's error
// from one fused multiply-add in place of Dekker's splitting.  A lane that
// the rounding test leaves undecided, or whose input lies outside the fast
// range, gets the scalar function's value.
//
// Included by one source file per instruction set, which names the set in
// CREXP_LANES_TARGET.
#include "exponential.h"
#include "exponential_detail.h"

#include <cstddef>
#include <cstdint>

#ifdef CREXP_LANES_TARGET
CREXP_TARGET_BEGIN(CREXP_LANES_TARGET)
#endif

namespace crexp {
namespace detail {

// The lanes that the fast stage decides, as a mask; their values in *y.
template <class L>
CREXP_ALWAYS_INLINE auto fastLanes(typename L::Double x, typename L::Double *y)
{
    using Double = typename L::Double;
    using Int = typename L::Int;
    const Double shifted = x * kInvStep + kShift;
    const Double kd = shifted - kShift;
    const Double rh = x - kd * kStepHi;
    const Double kc2 = kd * kStepLo;
    const Double r = rh + -kc2;  // twoSum(rh, -kc2)
    const Double bb = r - rh;
    const Double rl = (rh - (r - bb)) + (-kc2 - bb);

    const Double w = kC2 + r * (kC3 + r * (kC4 + r * (kC5 + r * kC6)));
    const Double q = (r * r) * w;
    const Double t = rl + (q + r * rl);
    const Double sh = 1.0 + r;
    const Double sl = (1.0 - sh) + r;
    const Double sl2 = sl + t;

    const Int kb = (Int)shifted - bitsOf(kShift);
    Double th, tl;
    L::lookup(kTable, kb & 255u, &th, &tl);
    const Double h = th * sh;
    const Double hl = L::productError(th, sh, h);
    const Double l = hl + (th * sl2 + tl * sh);

    const Double e = h * kErr;
    const Double a = h + (l - e);
    const Double b = h + (l + e);
    *y = (Double)((Int)a + ((kb & ~std::uint64_t{255}) << 44));
    const Double magnitude = (Double)((Int)x & ~bitsOf(-0.0));
    return (magnitude <= kFastLimit) & (a == b);
}

// values[i] = exponential(values[i]) for the first n <= L::kCount values.
template <class L>
CREXP_ALWAYS_INLINE void exponentialBlock(double *values, std::size_t n)
{
    const typename L::Double x = L::load(values, n);
    typename L::Double y;
    const unsigned decided = L::bits(fastLanes<L>(x, &y));
    L::store(values, y, n);
    for (unsigned rest = ((1u << n) - 1u) & ~decided; rest != 0; rest &= rest - 1u) {
        const int lane = __builtin_ctz(rest);
        values[lane] = exponential(x[lane]);
    }
}

template <class L>
void exponentialsOn(double *values, std::size_t count)
{
    std::size_t i = 0;
    for (; i + L::kCount <= count; i += L::kCount) {
        exponentialBlock<L>(values + i, L::kCount);
    }
    if (i < count) {
        exponentialBlock<L>(values + i, count - i);
    }
}

// Declared before the target region (exponential_detail.h), so compiled
// without its target: it only calls in.
template <class L>
void exponentialLanes(double *values, std::size_t count)
{
    exponentialsOn<L>(values, count);
}

}  // namespace detail
}  // namespace crexp

#ifdef CREXP_LANES_TARGET
CREXP_TARGET_END
#endif
