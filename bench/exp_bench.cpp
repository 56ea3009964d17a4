// The correctly rounded exponential against the platform's exp, in the same run: time
// per value over N arguments uniform in [-700, 700], on each instruction set
// (isa: 0 plain, 1 AVX2, 2 AVX-512; a set this CPU lacks is skipped).  Both
// sides first copy the arguments into the buffer they work in, in place.
// The floor ignores isa; it carries the same arguments so that each
// benchmark has its floor beside it.
#include "exponential.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<double> arguments(std::int64_t n)
{
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> uniform(-700.0, 700.0);
    std::vector<double> xs(static_cast<std::size_t>(n));
    for (double &x : xs) {
        x = uniform(rng);
    }
    return xs;
}

void BM_Exp(benchmark::State &state)
{
    const auto isa = static_cast<crexp::Isa>(state.range(0));
    if (!crexp::isaSupported(isa)) {
        state.SkipWithError("instruction set not supported here");
        return;
    }
    const std::vector<double> xs = arguments(state.range(1));
    std::vector<double> buffer(xs.size());
    for (auto _ : state) {
        std::memcpy(buffer.data(), xs.data(), xs.size() * sizeof(double));
        crexp::exponentials(isa, buffer.data(), buffer.size());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

void BM_Exp_Floor(benchmark::State &state)
{
    const std::vector<double> xs = arguments(state.range(1));
    std::vector<double> buffer(xs.size());
    for (auto _ : state) {
        std::memcpy(buffer.data(), xs.data(), xs.size() * sizeof(double));
        for (double &v : buffer) {
            v = std::exp(v);
        }
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

const std::vector<std::vector<std::int64_t>> kArgs = {{0, 1, 2}, {4096}};

}  // namespace

BENCHMARK(BM_Exp)->ArgsProduct(kArgs)->ArgNames({"isa", "N"});
BENCHMARK(BM_Exp_Floor)->ArgsProduct(kArgs)->ArgNames({"isa", "N"});

BENCHMARK_MAIN();
