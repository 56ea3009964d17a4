// The evaluator's exponential: e^x correctly rounded to nearest for every
// double x, in portable C++ (no fused multiply-add, no wider format), so the
// result depends on neither the platform's mathematics library nor the CPU.
//
// Round-to-nearest-even is assumed throughout (the hosts run with it); every
// bound below is for that mode.  u = 2^-53 is the unit roundoff: a rounded
// operation returns fl(v) = v(1 + d), |d| <= u, or |fl(v) - v| <= half an
// ulp of fl(v), whichever is stated.
//
// ---- Fast stage: proof of the error bound and of the rounding test ---------
//
// Input |x| <= 708 (not NaN).  Steps, in the order of fastPath() below:
//
// 1. shifted = fl(fl(x*kInvStep) + kShift), kd = shifted - kShift.  With
//    |x*kInvStep| <= 261487 < 2^51 the sum lies in [2^52, 2^53), where the
//    ulp is 1, so kd is the integer k nearest fl(x*kInvStep) and the
//    subtraction is exact.  kInvStep and the product are each within a
//    relative u, so |x*256/ln2 - k| <= 1/2 + 2^-34 and |k| <= 261490 < 2^18.
//    With lam = ln2/256: |x - k*lam| <= (1/2 + 2^-34)*lam < 0.0013539.
// 2. rh = x - kd*kStepHi is exact.  kStepHi = c*2^-43 with c < 2^35, so
//    kd*kStepHi (18 + 35 bits) is exact and a multiple of 2^-43.  If k != 0
//    then |x| > 2^-10, so x is a multiple of 2^-62; |x - k*kStepHi| <=
//    0.0013539 + 2^18*2^-44 < 2^-9 is then a multiple of 2^-62 below 2^-9,
//    which a double holds.  If k = 0, rh = x.
// 3. kc2 = fl(kd*kStepLo): |k*kStepLo| < 2^-26, error <= 2^-80; and
//    |k*(lam - kStepHi - kStepLo)| < 2^18 * 2^-98 = 2^-80.  So the true
//    reduced argument r* = x - k*lam = rh - kc2 + d1, |d1| <= 2^-79.
// 4. (r, rl) = TwoSum(rh, -kc2): r + rl = rh - kc2 exactly, |rl| <= u|r|.
//    |r| <= rho = 0.0013539 (2^-9.529), |rl| <= 2^-62.5.
// 5. e^(r + rl) = 1 + r + Q(r) + rl + r*rl + b, where Q(r) = r^2/2 + ... +
//    r^6/720 is the Taylor polynomial's tail and |b| <= rho^7/7! e^rho
//    (2^-79.0) + |rl|(e^rho - 1 - rho) + rl^2 (2^-82.5) < 2^-78.8.
// 6. q = fl(fl(r*r) * w), w the Horner value of kC2 + r*(kC3 + ...).  The
//    coefficients are within u/n! of 1/n!; carrying the error through the
//    Horner steps gives |w - W(r)| <= 2^-53.99 (the last addition of 1/2
//    costs 2^-54, the rest 2^-63), W(r) <= 0.50023, and
//    |q - Q(r)| <= r^2 (2^-53.99 + 2u W) <= 2^-71.47, |q| <= 2^-20.05.
// 7. t = fl(rl + fl(q + fl(r*rl))); (sh, sl) = FastTwoSum(1, r), exact since
//    |r| < 1; sl2 = fl(sl + t).  Each of the three additions rounds a value
//    below 2^-20.05, error <= 2^-73.05 each; fl(r*rl) errs by < 2^-124.
//    S = sh + sl2 then satisfies |S - e^(r+rl)| <= 2^-70.47 (sum of 5-7).
// 8. T = Th + Tl, the table pair of 2^(j/256), j = k mod 256, within 2^-106
//    of it.  (h, hl) = TwoProd(Th, sh), exact (Dekker here; an exact fused
//    multiply-add in the vector paths gives the same pair).
//    l = fl(hl + fl(fl(Th*sl2) + fl(Tl*sh))); the products and sums that
//    carry Th*sl2 (< 2^-19.05) err by <= 2^-72.05 each (three of them),
//    Tl*sh by 2^-106, and the dropped Tl*sl2 is < 2^-73.05.
// 9. V = 2^(j/256) e^(r*) is e^x / 2^E, in [1 e^-rho, 2 e^rho].  Adding the
//    relative errors (the S error scaled by T <= V e^rho, the l error over
//    V >= e^-rho, d1 through e^d1 - 1):
//        |h + l - V| <= beta V,  beta = 2^-69.35.
//    No step overflows; an underflow (only in q and r*rl, when |x| < 2^-500)
//    adds less than 2^-1000 in absolute terms, far inside the margin below.
//
// Rounding test.  |l| <= (2^-52 + 2^-19.05) < 2^-19.04 h.  Let e = fl(h*K),
// K = kErr = 2^-68.91.  Then fl(l + e) >= l + e - u(|l| + e) >= l + beta' h
// where beta' = beta (1 + 2^-18) bounds |h + l - V| / h, because
// K (1 - u)^2 >= beta' + u 2^-19.04 (2^-69.14 is needed); likewise
// fl(l - e) <= l - beta' h.  So A = h + fl(l - e) <= V <= B = h + fl(l + e)
// exactly, and fl(h + fl(l - e)) = RN(A), fl(h + fl(l + e)) = RN(B).
// RN is monotonic: if RN(A) = RN(B) then RN(V) is that same double.  The
// final scaling by 2^E (added to the exponent field) is exact because
// e^x is a normal number for |x| <= 708.  So a decided result is e^x
// correctly rounded.  Of arguments uniform in [-700, 700], about 1 in 40000
// is left undecided (bench/exp_compare.cpp).
//
// ---- Accurate stage --------------------------------------------------------
//
// exponential_accurate.cpp: fixed-point arithmetic with 200 fraction bits,
// error below 2^-187 relative; its proof is there.
#include "exponential.h"

#include "exponential_detail.h"

#include <cmath>

namespace crexp {
namespace detail {

namespace {

// a + b = s + err exactly (Knuth), for any doubles without overflow.
inline void twoSum(double a, double b, double *s, double *err)
{
    *s = a + b;
    const double bb = *s - a;
    *err = (a - (*s - bb)) + (b - bb);
}

// a*b = p + err exactly (Dekker, Veltkamp splitting), for |a|, |b| < 2^995
// and an err that does not underflow: here a is in [1, 2) and b near 1.
inline void twoProduct(double a, double b, double *p, double *err)
{
    constexpr double kSplit = 134217729.0;  // 2^27 + 1
    const double ca = kSplit * a;
    const double ah = ca - (ca - a);
    const double al = a - ah;
    const double cb = kSplit * b;
    const double bh = cb - (cb - b);
    const double bl = b - bh;
    *p = a * b;
    *err = ((ah * bh - *p) + ah * bl + al * bh) + al * bl;
}

}  // namespace

bool fastPath(double x, double *result)
{
    if (!(std::fabs(x) <= kFastLimit)) {
        return false;  // NaN, infinities, overflow, subnormal results
    }
    const double shifted = x * kInvStep + kShift;
    const double kd = shifted - kShift;
    const double rh = x - kd * kStepHi;
    const double kc2 = kd * kStepLo;
    double r, rl;
    twoSum(rh, -kc2, &r, &rl);

    const double w = kC2 + r * (kC3 + r * (kC4 + r * (kC5 + r * kC6)));
    const double q = (r * r) * w;
    const double t = rl + (q + r * rl);
    const double sh = 1.0 + r;
    const double sl = (1.0 - sh) + r;
    const double sl2 = sl + t;

    // k in two's complement in the low bits of shifted (|k| < 2^51).
    const std::uint64_t kb = bitsOf(shifted) - bitsOf(kShift);
    const double *entry = kTable[kb & 255u];
    double h, hl;
    twoProduct(entry[0], sh, &h, &hl);
    const double l = hl + (entry[0] * sl2 + entry[1] * sh);

    const double e = h * kErr;
    const double a = h + (l - e);
    const double b = h + (l + e);
    if (a != b) {
        return false;
    }
    // a * 2^E with E = floor(k / 256): (k & ~255) << 44 is E << 52 mod 2^64.
    *result = fromBits(bitsOf(a) + ((kb & ~std::uint64_t{255}) << 44));
    return true;
}

}  // namespace detail

double exponential(double x)
{
    double y;
    if (detail::fastPath(x, &y)) {
        return y;
    }
    bool decided;
    return detail::accuratePath(x, &decided);
}

void exponentials(Isa isa, double *values, std::size_t count)
{
    switch (isa) {
#if CREXP_X86_PATHS
    case Isa::Avx2:
        return detail::exponentialLanes<Avx2Lanes>(values, count);
    case Isa::Avx512:
        return detail::exponentialLanes<Avx512Lanes>(values, count);
#endif
#if CREXP_NEON_PATH
    case Isa::Neon:
        return detail::exponentialLanes<NeonLanes>(values, count);
#endif
    default:
        break;
    }
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = exponential(values[i]);
    }
}

}  // namespace crexp
