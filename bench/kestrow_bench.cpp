// evalColumnGaussian against a naive evaluation of the same values, in the
// same run: the naive one forms every difference inside the inner sum (D^2
// subtractions per column instead of D) and indexes through a 2-D helper.
// Both give the same bits; that is checked before timing.
//
// Arguments: D, N.  D = 3 is the colour-likelihood case (one column per
// pixel); larger D shows the quadratic part.
#include "column_gaussian.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct Problem {
    std::int32_t D;
    std::int32_t N;
    std::vector<double> X, MU, IS, out;
    double K = 1.3;
};

Problem makeProblem(std::int64_t D, std::int64_t N)
{
    Problem p{static_cast<std::int32_t>(D), static_cast<std::int32_t>(N), {}, {}, {}, {}};
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    p.X.resize(static_cast<std::size_t>(D * N));
    for (double &x : p.X) {
        x = unit(rng);
    }
    p.MU.resize(static_cast<std::size_t>(D));
    for (double &x : p.MU) {
        x = 0.3 * unit(rng);
    }
    p.IS.resize(static_cast<std::size_t>(D * D));
    for (double &x : p.IS) {
        x = unit(rng) / static_cast<double>(D);
    }
    p.out.resize(static_cast<std::size_t>(N));
    return p;
}

void naiveGaussian(const Problem &p, double *out)
{
    const std::size_t D = static_cast<std::size_t>(p.D);
    auto at = [D](const std::vector<double> &a, std::size_t row, std::size_t col) { return a[row + col * D]; };
    for (std::size_t c = 0; c < static_cast<std::size_t>(p.N); ++c) {
        double q = 0.0;
        for (std::size_t j = 0; j < D; ++j) {
            double s = 0.0;
            for (std::size_t m = 0; m < D; ++m) {
                s = s + (at(p.X, m, c) - p.MU[m]) * at(p.IS, m, j);
            }
            q = q + s * (at(p.X, j, c) - p.MU[j]);
        }
        out[c] = std::exp(q * (-0.5)) * p.K;
    }
}

void runEvaluator(Problem &p)
{
    kestrow::evalColumnGaussian(p.X.data(), p.D, p.N, p.MU.data(), p.IS.data(), p.K, p.out.data());
}

bool sameBits(const std::vector<double> &a, const std::vector<double> &b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

void BM_Kestrow(benchmark::State &state)
{
    Problem p = makeProblem(state.range(0), state.range(1));
    std::vector<double> naive(p.out.size());
    naiveGaussian(p, naive.data());
    runEvaluator(p);
    if (!sameBits(p.out, naive)) {
        state.SkipWithError("the evaluator and the naive evaluation differ");
        return;
    }
    for (auto _ : state) {
        runEvaluator(p);
        benchmark::DoNotOptimize(p.out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

void BM_Kestrow_Baseline(benchmark::State &state)
{
    Problem p = makeProblem(state.range(0), state.range(1));
    for (auto _ : state) {
        naiveGaussian(p, p.out.data());
        benchmark::DoNotOptimize(p.out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

const std::vector<std::vector<std::int64_t>> kSizes = {{3, 8, 20}, {1 << 16}};

}  // namespace

BENCHMARK(BM_Kestrow)->ArgsProduct(kSizes)->ArgNames({"D", "N"});
BENCHMARK(BM_Kestrow_Baseline)->ArgsProduct(kSizes)->ArgNames({"D", "N"});

BENCHMARK_MAIN();
