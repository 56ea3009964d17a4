// Inside the exponential: the constants its paths share, and its three stages,
// which the tests also call one at a time.
//
// exponential(x) = the quick stage's value when its rounding test decides,
// else the fast stage's when its test does, else the accurate stage's.  Each
// returns e^x correctly rounded to nearest
// (ties to even never arise: e^x is irrational for every double x != 0).
// A correctly rounded value is unique, so every path, scalar or vector,
// with or without fused multiply-add, gives the same bits.
//
// All of it assumes the rounding mode of the floating-point environment is
// round-to-nearest-even, the default that MATLAB and Octave run with: the
// error bounds and the integer-rounding step below rely on it.
#ifndef CREXP_EXPONENTIAL_DETAIL_H
#define CREXP_EXPONENTIAL_DETAIL_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace crexp {
namespace detail {

// ---- The fast stage --------------------------------------------------------
//
// Reduction: k = nearest integer to x * 256/ln2, j = k mod 256, E = floor(k/256),
// r = x - k*ln2/256, so that e^x = 2^E * 2^(j/256) * e^r with |r| <= ln2/512
// (a little more, see the proof in exponential.cpp).
//
// Only |x| <= kFastLimit takes it: e^x is then a normal number (e^-708 >
// 2^-1022, e^708 < 2^1023), so scaling by 2^E is exact.

constexpr double kFastLimit = 708.0;
constexpr double kInvStep = 0x1.71547652b82fep+8;  // 256/ln2 rounded to nearest
constexpr double kShift = 0x1.8p+52;               // x + kShift rounds x to an integer
// ln2/256 = kStepHi + kStepLo + d, |d| < 2^-98.  kStepHi has 35 significant
// bits, so k*kStepHi is exact for |k| < 2^18.
constexpr double kStepHi = 0x1.62e42fefcp-9;
constexpr double kStepLo = -0x1.c610ca86c3899p-45;
// Taylor coefficients of (e^r - 1 - r)/r^2 = 1/2 + r/6 + r^2/24 + r^3/120 + r^4/720.
constexpr double kC2 = 0.5;
constexpr double kC3 = 1.0 / 6;
constexpr double kC4 = 1.0 / 24;
constexpr double kC5 = 1.0 / 120;
constexpr double kC6 = 1.0 / 720;
// The rounding test's error factor: the result is decided when h + (l - h*kErr)
// and h + (l + h*kErr) round to the same double (proof in exponential.cpp).
constexpr double kErr = 0x1.1p-69;

// {hi, lo} of 2^(j/256), j = 0..255 (exponential_table.cpp).
extern const double kTable[256][2];

// The fast stage: true and *result = e^x correctly rounded, or false when
// |x| > kFastLimit, x is NaN or the rounding test cannot decide.
bool fastPath(double x, double *result);

// The accurate stage, for any double: e^x correctly rounded.  *decided is
// false only if its own error bound could not settle the rounding; it is
// true for every input tested, and no double needs it (exponential.cpp).
double accuratePath(double x, bool *decided);

// The vector path on the lanes of L (exponential_lanes.h, instantiated in
// one source file per set); every lane that the fast stage does not decide
// goes to the scalar function.
template <class L>
void exponentialLanes(double *values, std::size_t count);

inline std::uint64_t bitsOf(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

inline double fromBits(std::uint64_t b)
{
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// ---- The quick stage, in front of the fast one ------------------------------
//
// The fast stage's reduction with r rounded to one double, the Taylor
// polynomial to r^5 and 2^(j/256) e^r = hi + (lo + hi*(e^r - 1)) in plain
// doubles: error below 2^-60 of the result (proof in exponential.cpp), so it
// decides all but about 1 in 100 arguments, and passes the rest on.
constexpr double kQuickErr = 0x1.cp-61;

// As fastPath(), for the quick stage; exponential() tries it first.
bool quickPath(double x, double *result);

}  // namespace detail
}  // namespace crexp

#endif
