// The exponential against MPFR's correctly rounded e^x, bit for bit, on sets
// of inputs chosen where an exponential goes wrong, and on random inputs;
// every vector path, run each way it can be here, must give the scalar
// function's bits.
//
// CREXP_EXP_RANDOM=n sets the number of random inputs (default 10^7, 10^5
// under the sanitizers).
#include "exponential.h"
#include "exponential_detail.h"
#include "support/correctly_rounded_exp.h"
#include "support/lane_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using crexp::detail::bitsOf;
using crexp::detail::fromBits;

constexpr double kInf = std::numeric_limits<double>::infinity();

bool sameValue(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || bitsOf(a) == bitsOf(b);
}

std::string hex(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

// The 2n+1 doubles centred on x, in order.
void addWalk(std::vector<double> &xs, double x, int n)
{
    double lo = x;
    for (int i = 0; i < n; ++i) {
        lo = std::nextafter(lo, -kInf);
    }
    for (int i = 0; i <= 2 * n; ++i, lo = std::nextafter(lo, kInf)) {
        xs.push_back(lo);
    }
}

std::vector<double> specialValues()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> xs = {0.0, -0.0, kInf, -kInf, nan, -nan,
                              std::numeric_limits<double>::signaling_NaN(),
                              fromBits(0x7ff0000000000001u), fromBits(0xfff8dead0000beefu)};
    for (double v : {std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
                     std::numeric_limits<double>::max(), 1.0, 0.5, std::log(2.0)}) {
        xs.push_back(v);
        xs.push_back(-v);
    }
    return xs;
}

// Walks across the points where the result or the path changes: overflow,
// the least normal result, the subnormal steps near 2^-1074 and the
// underflow to +0, the fast stage's range, the direct cut-offs, and |x|
// where e^x turns from 1 to its neighbours.
std::vector<double> thresholds()
{
    std::vector<double> xs;
    const double centres[] = {0x1.62e42fefa39efp+9,  // largest x with a finite e^x
                              -0x1.6232bdd7abcd2p+9,  // e^x near 2^-1022
                              -0x1.74046dfefd9dp+9,   // e^x near 1.5 * 2^-1074
                              -0x1.74910d52d3052p+9,  // e^x near 2^-1075
                              708.0, -708.0, 709.8, -745.2, 0x1p-54, -0x1p-54, 0x1p-53, -0x1p-53};
    for (double c : centres) {
        addWalk(xs, c, 2000);
    }
    return xs;
}

std::vector<double> subnormalResults()
{
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> band(-745.14, -708.39);
    std::vector<double> xs(20000);
    for (double &x : xs) {
        x = band(rng);
    }
    return xs;
}

// Every binade of |x| from 2^-1074 to 2^-10, both signs: its ends and
// random significands.
std::vector<double> tinyArguments()
{
    std::mt19937_64 rng(12);
    std::vector<double> xs;
    for (int e = -1074; e <= -10; ++e) {
        const double p = std::ldexp(1.0, e);
        for (double s : {1.0, -1.0}) {
            xs.push_back(s * p);
            xs.push_back(s * std::nextafter(p, 0.0));
            xs.push_back(s * std::nextafter(p, kInf));
            for (int i = 0; i < 20 && e > -1022; ++i) {
                const double m = 1.0 + std::ldexp(static_cast<double>(rng() >> 12), -52);
                xs.push_back(s * m * p);
            }
        }
    }
    return xs;
}

std::vector<double> integersAndHalves()
{
    std::vector<double> xs;
    for (int n = -1492; n <= 1421; ++n) {
        xs.push_back(n / 2.0);
    }
    return xs;
}

// x near (k + 1/2) ln2/256, where the reduction picks between two
// neighbouring k and |r| is largest: random k, and every k = 256E - 1,
// where the table index wraps from 255 to 0 and the scale 2^E changes.
std::vector<double> reductionBoundaries()
{
    std::mt19937_64 rng(13);
    std::uniform_int_distribution<int> k(-261000, 261000);
    std::vector<double> xs;
    for (int i = 0; i < 4000; ++i) {
        addWalk(xs, (k(rng) + 0.5) * (std::log(2.0) / 256), 3);
    }
    for (int e = -1021; e <= 1022; ++e) {
        addWalk(xs, (256.0 * e - 0.5) * (std::log(2.0) / 256), 3);
    }
    return xs;
}

// Inputs whose e^x lies within 2^-60 to 2^-107 (relative) of a rounding
// midpoint, found by tools/exp_hard_cases.cpp: x = RN(log m) for midpoints
// m, the closest of many, tiny |x| (where the distance is smallest) and the
// whole range.
std::vector<double> hardCases()
{
    return {
#include "exponential_hard_cases.inc"
    };
}

// Half uniform over [-746, 710], half with a random sign, binade and
// significand over the whole range of doubles below 2^10; made and checked
// in parts of 2^20, so that a long run needs no more memory.
long randomCount()
{
    const char *env = std::getenv("CREXP_EXP_RANDOM");
    return env != nullptr ? std::atol(env) : CREXP_EXP_RANDOM_DEFAULT;
}

std::vector<double> randomArguments(std::size_t part)
{
    constexpr std::size_t kPart = std::size_t{1} << 20;
    const auto count = static_cast<std::size_t>(std::max(randomCount(), 0L));
    if (part * kPart >= count) {
        return {};
    }
    std::mt19937_64 rng(14 + part);
    std::uniform_real_distribution<double> uniform(-746.0, 710.0);
    std::uniform_int_distribution<int> binade(-1074, 9);
    std::vector<double> xs(std::min(kPart, count - part * kPart));
    for (std::size_t i = 0; i < xs.size(); ++i) {
        if (i % 2 == 0) {
            xs[i] = uniform(rng);
        } else {
            const std::uint64_t bits = rng();
            const double m = 1.0 + std::ldexp(static_cast<double>(bits >> 12), -52);
            xs[i] = ((bits & 1u) != 0 ? -1.0 : 1.0) * std::ldexp(m, binade(rng));
        }
    }
    return xs;
}

// A fixed set, all in its first part.
template <std::vector<double> (*make)()>
std::vector<double> whole(std::size_t part)
{
    return part == 0 ? make() : std::vector<double>{};
}

struct InputSet {
    const char *name;
    std::vector<double> (*make)(std::size_t part);  // empty past the last part
    std::size_t accurateStride;  // every how many inputs the accurate stage is checked alone
};

void PrintTo(const InputSet &set, std::ostream *os)
{
    *os << set.name;
}

class ExponentialOracle : public ::testing::TestWithParam<InputSet> {};

// One part of a set: counts wrong values into *wrong, and into left[0] and
// left[1] the inputs the quick stage leaves to the fast one and those both
// leave to the accurate one.
void checkPart(const std::vector<double> &xs, const std::vector<lane_paths::Run> &runs,
               std::size_t accurateStride, std::size_t *wrong, std::size_t left[2])
{
    std::vector<double> scalar(xs.size());
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const double x = xs[i];
        const double want = correctlyRoundedExp(x);
        scalar[i] = crexp::exponential(x);
        if (!sameValue(scalar[i], want) && ++*wrong <= 10) {
            ADD_FAILURE() << "exp(" << hex(x) << ") gave " << hex(scalar[i]) << ", not " << hex(want);
        }
        // Each of the first two stages alone: what it decides must be right.
        double quick = 0, fast = 0;
        const bool quickDecides = crexp::detail::quickPath(x, &quick);
        const bool fastDecides = crexp::detail::fastPath(x, &fast);
        const bool quickWrong = quickDecides && !sameValue(quick, want);
        if ((quickWrong || (fastDecides && !sameValue(fast, want))) && ++*wrong <= 10) {
            ADD_FAILURE() << (quickWrong ? "quick" : "fast") << " stage: exp(" << hex(x)
                          << ") gave " << hex(quickWrong ? quick : fast);
        }
        left[0] += quickDecides ? 0 : 1;
        left[1] += quickDecides || fastDecides ? 0 : 1;
        if (i % accurateStride == 0) {
            // Its bound is 2^-187 relative: no input comes that close to a
            // midpoint, so it always decides.
            bool decided;
            const double accurate = crexp::detail::accuratePath(x, &decided);
            if ((!decided || !sameValue(accurate, want)) && ++*wrong <= 10) {
                ADD_FAILURE() << "accurate stage: exp(" << hex(x) << ") gave " << hex(accurate)
                              << (decided ? "" : ", undecided");
            }
        }
    }

    for (const lane_paths::Run &run : runs) {
        // The whole part, then from its second value on: other lane
        // positions and another remainder at the end.
        for (std::size_t from : {std::size_t{0}, std::size_t{1}}) {
            if (from > xs.size()) {
                continue;
            }
            std::vector<double> lanes(xs.begin() + static_cast<std::ptrdiff_t>(from), xs.end());
            run.exponentials(lanes.data(), lanes.size());
            for (std::size_t i = 0; i < lanes.size(); ++i) {
                if (!sameValue(lanes[i], scalar[from + i]) && ++*wrong <= 10) {
                    ADD_FAILURE() << run.name() << ": exp(" << hex(xs[from + i]) << ") gave "
                                  << hex(lanes[i]) << ", the scalar path " << hex(scalar[from + i]);
                }
            }
        }
    }
}

TEST_P(ExponentialOracle, EveryPathGivesTheCorrectlyRoundedValue)
{
    std::size_t inputs = 0, wrong = 0, left[2] = {0, 0};
    std::vector<lane_paths::Run> runs;  // the vector paths (the plain one is the scalar function)
    for (const lane_paths::Run &run : lane_paths::runs()) {
        if (run.isa != crexp::Isa::Plain) {
            runs.push_back(run);
        }
    }
    for (std::size_t part = 0;; ++part) {
        const std::vector<double> xs = GetParam().make(part);
        if (xs.empty()) {
            break;
        }
        checkPart(xs, runs, GetParam().accurateStride, &wrong, left);
        inputs += xs.size();
    }
    EXPECT_EQ(wrong, 0u);
    std::cout << GetParam().name << ": " << inputs << " inputs, " << left[0]
              << " left to the fast stage, " << left[1] << " to the accurate stage\n";
    lane_paths::expectEveryPathRan(runs);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, ExponentialOracle,
    ::testing::Values(InputSet{"Special", whole<specialValues>, 1},
                      InputSet{"Thresholds", whole<thresholds>, 1},
                      InputSet{"SubnormalResults", whole<subnormalResults>, 1},
                      InputSet{"TinyArguments", whole<tinyArguments>, 1},
                      InputSet{"IntegersAndHalves", whole<integersAndHalves>, 1},
                      InputSet{"ReductionBoundaries", whole<reductionBoundaries>, 1},
                      InputSet{"HardCases", whole<hardCases>, 1},
                      InputSet{"Random", randomArguments, 64}),
    [](const ::testing::TestParamInfo<InputSet> &set) { return std::string(set.param.name); });

// The fast stage's table: hi is 2^(j/256) rounded to nearest and hi + lo is
// within 2^-106 of it, checked with 300-bit arithmetic.
TEST(ExponentialTable, EntriesAreTheRoundedPowersOfTwo)
{
    mpfr_t exact, rest;
    mpfr_inits2(300, exact, rest, static_cast<mpfr_ptr>(nullptr));
    for (int j = 0; j < 256; ++j) {
        mpfr_set_si_2exp(exact, j, -8, MPFR_RNDN);
        mpfr_exp2(exact, exact, MPFR_RNDN);
        const double *entry = crexp::detail::kTable[j];
        EXPECT_EQ(entry[0], mpfr_get_d(exact, MPFR_RNDN)) << j;
        mpfr_sub_d(rest, exact, entry[0], MPFR_RNDN);
        mpfr_sub_d(rest, rest, entry[1], MPFR_RNDN);
        EXPECT_LE(std::fabs(mpfr_get_d(rest, MPFR_RNDN)), 0x1p-106) << j;
    }
    mpfr_clears(exact, rest, static_cast<mpfr_ptr>(nullptr));
}

}  // namespace
