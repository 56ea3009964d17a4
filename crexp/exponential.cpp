// The evaluator's exponential: e^x correctly rounded to nearest for every
// double x, in portable C++ (no fused multiply-add, no wider format), so the
// result depends on neither the platform's mathematics library nor the CPU.
//
// Round-to-nearest-even is assumed throughout (the hosts run with it); every
// bound below is for that mode.  u = 2^-53 is the unit roundoff: a rounded
// operation returns fl(v) = v(1 + d), |d| <= u, or |fl(v) - v| <= half an
// ulp of fl(v), whichever is stated.
//
// exponential(x) tries three stages in turn, each until its rounding test
// decides: the quick stage (plain doubles, error 2^-60.2), the fast stage
// (double-double, 2^-69.3), the accurate stage (fixed point, 2^-187).
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
// ---- Quick stage, in front of the fast one: its error bound -----------------
//
// Plain doubles, for the many arguments far from a rounding midpoint.  Input
// |x| <= 708 (not NaN); kd, rh, kc2 and d1 as in fast steps 1 to 3.  Then, in
// the order of quick() below:
//
// Q1. r = fl(rh - kc2): |r - r*| <= u (rho + 2^-79) + 2^-79 = delta
//     (2^-62.52), and |r| <= R = 0.0013539 (2^-9.528).
// Q2. p = fl(r + q), q = fl(fl(r*r) w), w the Horner value of kC2 + r*(kC3
//     + r*(kC4 + r*kC5)).  As in fast step 6 (one Horner step fewer),
//     |q - r^2 W(r)| <= 2^-71.46 and |q| <= 2^-20.05; the Taylor tail beyond
//     r^5 is below R^6/720 e^R (2^-66.66); the addition errs by at most
//     u(R + 2^-20.05) (2^-62.52).  So |p - (e^r - 1)| <= 2^-62.44 and
//     |p| <= P = 2^-9.527.
// Q3. m = fl(Th p), s = fl(Tl + m), then (h, l) = FastTwoSum(Th, s): h = fl(Th
//     + s), l = (Th - h) + s, exact since |s| < 2^-8 < Th, so h + l = Th + s
//     and |l| <= u h.  With T = 2^(j/256), Th + Tl = T (1 + tau), |tau| <
//     2^-105.9, |Tl| <= 2^-53.23 Th (the table's largest ratio), and V = T e^r*
//     as in fast step 9:
//       h + l - V = T((1 + p) - e^r) + T tau (1 + p) + T e^r (1 - e^(r* - r))
//                   - Tl p + (m's rounding) + (s's rounding),
//     over T at most 2^-62.44 + 2^-105.9 + 2^-62.52 + 2^-62.75 (Tl p, dropped)
//     + u P (2^-62.52) + u (2^-53.23 + P) (2^-62.52) < 2^-60.224.  With V >=
//     T e^-R: |h + l - V| <= beta V, beta = 2^-60.22.  When |x| < 2^-500,
//     some of these values are subnormal; each such rounding adds at most
//     2^-1075, far below the margin left in K.
//
// Rounding test as for the fast stage, with e = fl(h K), K = kQuickErr =
// 2^-60.19: fl(l + e) >= l + e - u(|l| + e) >= l + beta' h, beta' = beta
// (1 + u)/(1 - beta) >= |h + l - V|/h, because K (1 - u)^2 >= beta' + u^2
// (2^-60.22 is needed; the rest, over 2^-66 h, is the margin).  Of
// arguments uniform in [-700, 700] about 1 in 100 is left undecided and
// goes on to the fast stage (bench/exp_compare.cpp).
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

// The quick stage (proof above), inline in exponential().
inline bool quick(double x, double *result)
{
    if (!(std::fabs(x) <= kFastLimit)) {
        return false;
    }
    const double shifted = x * kInvStep + kShift;
    const double kd = shifted - kShift;
    const double r = (x - kd * kStepHi) - kd * kStepLo;
    const double p = r + (r * r) * (kC2 + r * (kC3 + r * (kC4 + r * kC5)));
    const std::uint64_t kb = bitsOf(shifted) - bitsOf(kShift);
    const double *entry = kTable[kb & 255u];
    const double s = entry[1] + entry[0] * p;
    const double h = entry[0] + s;
    const double l = (entry[0] - h) + s;
    const double e = h * kQuickErr;
    const double a = h + (l - e);
    if (a != h + (l + e)) {
        return false;
    }
    *result = fromBits(bitsOf(a) + ((kb & ~std::uint64_t{255}) << 44));
    return true;
}

}  // namespace

bool quickPath(double x, double *result)
{
    return quick(x, result);
}

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

namespace {

// The rare rest, kept out of line so that the quick stage's loop stays short.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
double slowStages(double x)
{
    double y;
    if (detail::fastPath(x, &y)) {
        return y;
    }
    bool decided;
    return detail::accuratePath(x, &decided);
}

}  // namespace

double exponential(double x)
{
    double y;
    return detail::quick(x, &y) ? y : slowStages(x);
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
