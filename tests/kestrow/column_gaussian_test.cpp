// evalColumnGaussian over plain buffers, against the plain reference.
#include "column_gaussian.h"
#include "kestrow_reference.h"
#include "support/lane_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstddef>
#include <iostream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using kestrow::evalColumnGaussian;
using crexp::Isa;
using kestrow_test::bits;
using kestrow_test::Problem;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kSentinel = -12345.0;

// Runs the kernel into a buffer one longer than N, whose last element must
// survive.
std::vector<double> evaluate(const Problem &p)
{
    std::vector<double> out(static_cast<std::size_t>(p.N) + 1, kSentinel);
    evalColumnGaussian(p.X.data(), p.D, p.N, p.MU.data(), p.IS.data(), p.K, out.data());
    EXPECT_EQ(bits(out.back()), bits(kSentinel)) << "wrote past column N-1";
    out.pop_back();
    return out;
}

Problem problem(int D, std::vector<double> X, std::vector<double> MU, std::vector<double> IS, double K)
{
    return {D, static_cast<int>(X.size()) / D, std::move(X), std::move(MU), std::move(IS), K};
}

TEST(kestrowKernel, MatchesPlainReferenceBitForBit)
{
#if !MEXTK_HAVE_MPFR
    GTEST_SKIP() << "the reference exponential needs MPFR, which this build lacks";
#else
    std::mt19937_64 rng(20240611);
    for (auto form : {kestrow_test::Form::Definite, kestrow_test::Form::NonSymmetric}) {
        for (int D = 0; D <= 20; ++D) {
            for (int N : {1, 17}) {
                const Problem p = kestrow_test::randomProblem(rng, D, N, form);
                ASSERT_EQ(bits(evaluate(p)), bits(kestrow_test::reference(p)))
                    << "D=" << D << " N=" << N << " form=" << static_cast<int>(form);
            }
        }
    }
#endif
}

TEST(kestrowKernel, NoColumnsOrNoRows)
{
    // N = 0: nothing is read or written, whatever D is.
    double untouched = kSentinel;
    evalColumnGaussian(nullptr, 5, 0, nullptr, nullptr, 1.0, &untouched);
    EXPECT_EQ(bits(untouched), bits(kSentinel));

    // D = 0: q is +0.0, so every value is K exactly, a zero's sign kept, a
    // NaN as the one quiet NaN; X, MU and IS are never read.
    for (double K : {2.5, -0.0, -kInf, kNaN, -kNaN}) {
        for (const lane_paths::Run &run : lane_paths::runs()) {
            std::vector<double> out(4, kSentinel);
            run.kernel(nullptr, 0, 3, nullptr, nullptr, K, out.data());
            const double want = std::isnan(K) ? kNaN : K;
            EXPECT_EQ(bits(out), bits({want, want, want, kSentinel})) << run.name() << " K=" << K;
        }
    }
}

TEST(kestrowKernel, SpecialValues)
{
    // A column equal to MU gives K exactly, whatever the finite IS.
    const Problem atCentre = problem(2, {4.0, -2.0, 1.0, 1.0}, {4.0, -2.0}, {1e300, -7.0, 3.0, 1e300}, -0.25);
    EXPECT_EQ(bits(evaluate(atCentre)), bits({-0.25, -0.0}));  // far column: exp gives +0.0, K < 0

    // An indefinite IS gives a negative q: the value exceeds K, up to +inf.
    EXPECT_EQ(bits(evaluate(problem(2, {1.0, 0.0, 40.0, 0.0}, {0.0, 0.0}, {-1.0, 0.0, 0.0, 1.0}, 1.0))),
              bits({std::exp(0.5), kInf}));

    // NaN in one column of X: only that column; in IS or in MU: every column.
    const std::vector<double> X = {1.0, 2.0, kNaN, 0.5, 3.0, -1.0};
    const std::vector<double> MU = {0.5, 0.5};
    const std::vector<double> IS = {1.0, 0.2, 0.3, 2.0};
    std::vector<double> v = evaluate(problem(2, X, MU, IS, 1.0));
    EXPECT_EQ((std::vector<bool>{std::isnan(v[0]), std::isnan(v[1]), std::isnan(v[2])}),
              (std::vector<bool>{false, true, false}));
    const std::vector<double> finiteX = {1.0, 2.0, 0.0, 0.5, 3.0, -1.0};
    for (const Problem &p : {problem(2, finiteX, MU, {1.0, kNaN, 0.3, 2.0}, 1.0),
                             problem(2, finiteX, {kNaN, 0.5}, IS, 1.0)}) {
        for (double value : evaluate(p)) {
            EXPECT_TRUE(std::isnan(value));
        }
    }

    // A huge or infinite q gives exp = +0.0: the value takes the sign of K,
    // NaN for an infinite K; an infinite d times a zero entry of IS is NaN.
    EXPECT_EQ(bits(evaluate(problem(1, {1e200, kInf}, {0.0}, {1.0}, -3.0))), bits({-0.0, -0.0}));
    EXPECT_TRUE(std::isnan(evaluate(problem(1, {1e200}, {0.0}, {1.0}, kInf))[0]));
    EXPECT_TRUE(std::isnan(evaluate(problem(1, {kInf}, {0.0}, {0.0}, 1.0))[0]));
}

// Runs one path into a buffer with a vector's worth of sentinels past
// column N-1, which must all survive.
std::vector<double> evaluateOn(const lane_paths::Run &run, const Problem &p)
{
    const std::size_t guard = 16;
    std::vector<double> out(static_cast<std::size_t>(p.N) + guard, kSentinel);
    run.kernel(p.X.data(), p.D, p.N, p.MU.data(), p.IS.data(), p.K, out.data());
    const std::vector<double> tail(out.end() - static_cast<std::ptrdiff_t>(guard), out.end());
    EXPECT_EQ(bits(tail), bits(std::vector<double>(guard, kSentinel))) << "wrote past column N-1";
    out.resize(static_cast<std::size_t>(p.N));
    return out;
}

// Replaces about one element in `every` of v with a value from the edges of
// the double range.
void sprinkle(std::mt19937_64 &rng, std::vector<double> &v, unsigned every)
{
    const double specials[] = {kNaN,    -kNaN,    std::nan("5"), kInf, -kInf,  0.0,      -0.0,     4.9e-324, -4.9e-324,
                               1e-310,  -2e-308,  1e300,    -1e300,  1e-160, 1.5e154,  -3e-170};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(specials) - 1);
    for (double &x : v) {
        if (rng() % every == 0) {
            x = specials[pick(rng)];
        }
    }
}

// Whether every NaN in v is the one quiet NaN.
bool nansAreQuietNaN(const std::vector<double> &v)
{
    return std::all_of(v.begin(), v.end(), [](double x) { return !std::isnan(x) || bits(x) == bits(kNaN); });
}

// Every vector path, run each way it can be here, gives the plain loop's bits: random
// forms of every D up to 40, column counts below one vector, between vectors
// and past one round of exponentials, and special values in X, MU or IS,
// which make NaNs of every sign and payload inside; only the one quiet NaN
// comes out.
TEST(kestrowKernel, EveryPathGivesThePlainLoopsBits)
{
    std::mt19937_64 rng(7);
    std::vector<lane_paths::Run> ran;
    for (const lane_paths::Run &run : lane_paths::runs()) {
        if (run.isa == Isa::Plain) {
            continue;
        }
        ran.push_back(run);
        for (int D = 0; D <= 40; ++D) {
            for (int N : {0, 1, 3, 4, 7, 9, 16, 21, 45, 1100}) {
                if (N == 1100 && D > 8 && D % 8 != 0) {
                    continue;  // the long run is about rounds, not about D
                }
                const auto form = (D + N) % 2 ? kestrow_test::Form::Definite : kestrow_test::Form::NonSymmetric;
                Problem p = kestrow_test::randomProblem(rng, D, N, form);
                switch (rng() % 5) {  // where the special values go
                case 0:
                    break;
                case 1:
                    sprinkle(rng, p.X, 6);
                    break;
                case 2:
                    sprinkle(rng, p.MU, 4);
                    break;
                case 3:
                    sprinkle(rng, p.IS, 8);
                    break;
                default:
                    sprinkle(rng, p.X, 10);
                    sprinkle(rng, p.IS, 30);
                    sprinkle(rng, p.MU, 30);
                    break;
                }
                const std::vector<double> plain = evaluateOn({Isa::Plain, false}, p);
                ASSERT_TRUE(nansAreQuietNaN(plain)) << "D=" << D << " N=" << N;
                ASSERT_EQ(bits(evaluateOn(run, p)), bits(plain)) << run.name() << " D=" << D << " N=" << N;
            }
        }
    }
    lane_paths::expectEveryPathRan(ran);
}

}  // namespace
