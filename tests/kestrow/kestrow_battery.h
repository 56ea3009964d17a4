// A fixed battery of kernel calls whose output bits must be the same on
// every platform, compiler and instruction-set path: D from 0 to 40, random
// forms whose exponents sweep the whole range of the exponential (results
// of 1 and near it, subnormal results, underflow to 0, overflow to inf),
// NaNs of every sign and payload, infinities, subnormal and huge inputs and
// scale factors.  Every input comes from a portable generator, so the
// battery is the same everywhere; its outputs, hashed, are compared with
// kBatteryHash (the portable test) and checked value by value against the
// correctly rounded reference (the MPFR test, which also gives that hash).
#ifndef KESTROW_BATTERY_H
#define KESTROW_BATTERY_H

#include "kestrow_reference.h"
#include "support/portable_bits.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace kestrow_battery {

// FNV-1a of the battery's outputs, call by call, column by column.
constexpr std::uint64_t kBatteryHash = 0xE8C6673CA9177F72u;

// One call: the reference's problem type.
using Call = kestrow_test::Problem;

// Values from the edges of the double range, NaNs with a sign and payloads
// (quiet and signalling) among them: which NaN an operation returns is where
// CPUs differ.
inline double special(portable_bits::SplitMix64 &g)
{
    static const std::uint64_t kBits[] = {
        0x7FF8000000000000u,  // NaN
        0xFFF8000000000000u,  // -NaN, x86-64's default
        0x7FF80000DEADBEEFu,  // quiet NaN with a payload
        0xFFF4000000000123u,  // signalling -NaN with a payload
        0x7FF0000000000000u,  // +inf
        0xFFF0000000000000u,  // -inf
        0x0000000000000001u,  // least subnormal
        0x800FFFFFFFFFFFFFu,  // greatest negative subnormal magnitude
        0x0008000000000000u,  // a subnormal
        0x0010000000000000u,  // least normal
        0x7FEFFFFFFFFFFFFFu,  // greatest finite
        0xD4F0000000000000u,  // -2^336: squares overflow
        0x5FF6A09E667F3BCDu,  // about 2^512: squares near the top
        0x8000000000000000u,  // -0
    };
    return portable_bits::fromBits(kBits[g.below(sizeof kBits / sizeof kBits[0])]);
}

// A random form of dimension D over N columns.  Each column's difference
// from MU has its own scale 2^e, e in [-30, 5], so that q * (-0.5) ranges
// from about -1e-18 up to beyond the overflow and underflow thresholds of
// the exponential in both directions (IS is not definite).
inline Call randomCall(portable_bits::SplitMix64 &g, int D, int N)
{
    Call c;
    c.D = D;
    c.N = N;
    c.MU.resize(static_cast<std::size_t>(D));
    c.IS.resize(static_cast<std::size_t>(D) * static_cast<std::size_t>(D));
    c.X.resize(static_cast<std::size_t>(D) * static_cast<std::size_t>(N));
    for (double &v : c.MU) {
        v = g.unit();
    }
    for (double &v : c.IS) {
        v = 2.0 * g.unit() / (D > 0 ? D : 1);
    }
    for (int col = 0; col < N; ++col) {
        const double scale = std::ldexp(1.0, static_cast<int>(g.below(36)) - 30);
        for (int k = 0; k < D; ++k) {
            c.X[static_cast<std::size_t>(col) * static_cast<std::size_t>(D) + static_cast<std::size_t>(k)] =
                c.MU[static_cast<std::size_t>(k)] + scale * g.unit();
        }
    }
    c.K = 0.5 + g.unit();
    return c;
}

// Replaces about one element in `every` of v with a special value.
inline void sprinkle(portable_bits::SplitMix64 &g, std::vector<double> &v, std::uint32_t every)
{
    for (double &x : v) {
        if (g.below(every) == 0) {
            x = special(g);
        }
    }
}

// D = 1, MU = 0, IS = -2 sign, X = x: q * (-0.5) = sign * x * x rounded once,
// so the arguments are chosen directly: x*x spread over [0, 800) and
// clustered at the thresholds of the exponential (overflow at about
// 709.78, subnormal results below about -708.40, 0 below about -745.13),
// each approached within a few ulps.
inline Call sweepCall(portable_bits::SplitMix64 &g, double sign, double K)
{
    Call c;
    c.D = 1;
    c.MU = {0.0};
    c.IS = {-2.0 * sign};
    for (int i = 0; i < 300; ++i) {
        c.X.push_back(std::sqrt(800.0 * (0.5 + 0.5 * g.unit())));
    }
    for (double threshold : {709.782712893384, 708.3964185322641, 745.1332191019411, 745.1332191019412}) {
        double x = std::sqrt(threshold);
        for (int i = 0; i < 8; ++i) {
            x = std::nextafter(x, 0.0);
        }
        for (int i = 0; i < 16; ++i) {
            c.X.push_back(x);
            x = std::nextafter(x, 100.0);
        }
    }
    c.N = static_cast<int>(c.X.size());
    c.K = K;
    return c;
}

inline std::vector<Call> battery()
{
    portable_bits::SplitMix64 g(0x6B657374726F77u);
    std::vector<Call> calls;
    // Every D with column counts that leave partial vectors on every path.
    for (int D = 0; D <= 40; ++D) {
        calls.push_back(randomCall(g, D, 21));
        // The same kind of form with special values: in X (one column's
        // value only), in K, and rarely in MU or IS (every column's).
        Call s = randomCall(g, D, 11);
        sprinkle(g, s.X, 7);
        sprinkle(g, s.MU, 3 * static_cast<std::uint32_t>(D) + 40);
        sprinkle(g, s.IS, 3 * static_cast<std::uint32_t>(D * D) + 40);
        if (g.below(3) == 0) {
            s.K = special(g);
        }
        calls.push_back(s);
    }
    // More columns than one block of the evaluation (and many rounds of
    // exponentials on the SIMD paths), ending in a partial one.
    Call longCall = randomCall(g, 3, 4500);
    sprinkle(g, longCall.X, 50);
    calls.push_back(longCall);
    // The sweeps, with K = 1 (the exponential itself) and with scale
    // factors that make the product round, reach subnormals or overflow.
    calls.push_back(sweepCall(g, 1.0, 1.0));
    calls.push_back(sweepCall(g, -1.0, 1.0));
    calls.push_back(sweepCall(g, 1.0, 0.7 + 0.1 * g.unit()));
    calls.push_back(sweepCall(g, -1.0, 0x1p-60 * (1.0 + 0.5 * g.unit())));
    calls.push_back(sweepCall(g, 1.0, -0x1p+300));
    return calls;
}

}  // namespace kestrow_battery

#endif
