// The column Gaussian evaluator on every path this CPU runs, against its
// floor measured in the same run: N calls of std::exp, one per column, on
// the exponents the evaluator itself meets, written into the output.  No
// path can beat that floor while the exponential stays the platform's one
// value at a time; the rest of the evaluator's time is the quadratic form.
//
// Arguments: isa (0 plain, 1 AVX2, 2 AVX-512, 3 NEON; crexp::Isa), D, N.  Every
// path's bits are checked against the plain loop before it is timed.
// Results are per column (items per second).
#include "column_gaussian.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct Problem {
    std::int64_t D = -1;
    std::int64_t N = -1;
    std::vector<double> X, MU, IS;
    double K = 1.3;
    std::vector<double> exponents;  // q * (-0.5) of every column
    std::vector<double> plain;      // the plain loop's result
};

// One problem at a time, kept while the benchmarks of its D and N run.
const Problem &problem(std::int64_t D, std::int64_t N)
{
    static Problem p;
    if (p.D == D && p.N == N) {
        return p;
    }
    p = Problem{};
    p.D = D;
    p.N = N;
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const auto rows = static_cast<std::size_t>(D);
    const auto cols = static_cast<std::size_t>(N);
    p.X.resize(rows * cols);
    for (double &x : p.X) {
        x = unit(rng);
    }
    p.MU.resize(rows);
    for (double &x : p.MU) {
        x = 0.3 * unit(rng);
    }
    p.IS.resize(rows * rows);
    for (double &x : p.IS) {
        x = unit(rng) / static_cast<double>(D);
    }
    p.exponents.resize(cols);
    std::vector<double> d(rows);
    for (std::size_t c = 0; c < cols; ++c) {
        for (std::size_t k = 0; k < rows; ++k) {
            d[k] = p.X[c * rows + k] - p.MU[k];
        }
        double q = 0.0;
        for (std::size_t j = 0; j < rows; ++j) {
            double s = 0.0;
            for (std::size_t m = 0; m < rows; ++m) {
                s = s + d[m] * p.IS[j * rows + m];
            }
            q = q + s * d[j];
        }
        p.exponents[c] = q * (-0.5);
    }
    p.plain.resize(cols);
    kestrow::evalColumnGaussianOn(crexp::Isa::Plain, p.X.data(), static_cast<std::int32_t>(D),
                                  static_cast<std::int32_t>(N), p.MU.data(), p.IS.data(), p.K, p.plain.data());
    return p;
}

void BM_Kestrow_Floor(benchmark::State &state)
{
    const Problem &p = problem(state.range(0), state.range(1));
    std::vector<double> out(p.exponents.size());
    for (auto _ : state) {
        for (std::size_t c = 0; c < out.size(); ++c) {
            out[c] = std::exp(p.exponents[c]);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

void BM_Kestrow(benchmark::State &state)
{
    const auto isa = static_cast<crexp::Isa>(state.range(0));
    const Problem &p = problem(state.range(1), state.range(2));
    const auto D = static_cast<std::int32_t>(p.D);
    const auto N = static_cast<std::int32_t>(p.N);
    std::vector<double> out(p.plain.size());
    kestrow::evalColumnGaussianOn(isa, p.X.data(), D, N, p.MU.data(), p.IS.data(), p.K, out.data());
    if (std::memcmp(out.data(), p.plain.data(), out.size() * sizeof(double)) != 0) {
        state.SkipWithError("this path and the plain loop differ");
        return;
    }
    for (auto _ : state) {
        kestrow::evalColumnGaussianOn(isa, p.X.data(), D, N, p.MU.data(), p.IS.data(), p.K, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(2));
    state.SetLabel(crexp::isaName(isa));
}

// D from 1 to 32; N from 10^3 up to 10^7, with D*N kept to 10^7 elements
// so that the whole run (five repetitions in bench/run, 0.2 s each unless
// --benchmark_min_time says otherwise) takes a few minutes.
template <bool WithIsa>
void sizes(benchmark::internal::Benchmark *b)
{
    for (std::int64_t D : {1, 2, 3, 8, 16, 32}) {
        for (std::int64_t N = 1000; N <= 10000000 && D * N <= 10000000; N *= 10) {
            if (!WithIsa) {
                b->Args({D, N});
                continue;
            }
            for (crexp::Isa isa : crexp::kAllIsas) {
                if (crexp::isaSupported(isa)) {
                    b->Args({static_cast<std::int64_t>(isa), D, N});
                }
            }
        }
    }
}

}  // namespace

BENCHMARK(BM_Kestrow_Floor)->Apply(sizes<false>)->ArgNames({"D", "N"});
BENCHMARK(BM_Kestrow)->Apply(sizes<true>)->ArgNames({"isa", "D", "N"});

int main(int argc, char **argv)
{
    std::vector<char *> args(argv, argv + argc);
    char shortRuns[] = "--benchmark_min_time=0.2";
    if (std::none_of(args.begin(), args.end(),
                     [](const char *a) { return std::strncmp(a, "--benchmark_min_time", 20) == 0; })) {
        args.insert(args.begin() + 1, shortRuns);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
