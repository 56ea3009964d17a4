// The ordered pair lookup against the floor of its memory traffic, measured
// in the same binary.
//
// The reference list is the first `refs` edges of the 8-neighbour graph of a
// square image, as (source, target) pairs of 1-based pixel indices in
// pallant's order: sorted, each source up to eight times in a row.  The
// queries are every step-th reference pair, in buffers of their own.
//
//   BM_Modrick:        lookupPairPositions;
//   BM_Modrick_Floor:  one pass that reads every word of the four lists
//                      (the scan reads all of them here: the first elements
//                      of neighbouring pairs are mostly equal, so the second
//                      ones are read too) and writes the result column.
#include "pair_lookup.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

using Words = std::vector<std::uint32_t>;

struct Pairs {
    Words first, second;
};

const Pairs &reference(std::int64_t refs)
{
    static std::int64_t made = -1;
    static Pairs list;
    if (made != refs) {
        const int r[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
        const int c[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
        const auto n = static_cast<std::int64_t>(std::ceil(std::sqrt(static_cast<double>(refs) / 8.0))) + 2;
        list = Pairs{};
        list.first.reserve(static_cast<std::size_t>(refs));
        list.second.reserve(static_cast<std::size_t>(refs));
        for (std::int64_t p = 0; p < n * n && static_cast<std::int64_t>(list.first.size()) < refs; ++p) {
            const std::int64_t i = p % n, j = p / n;
            for (int k = 0; k < 8 && static_cast<std::int64_t>(list.first.size()) < refs; ++k) {
                const std::int64_t ti = i + r[k], tj = j + c[k];
                if (ti >= 0 && ti < n && tj >= 0 && tj < n) {
                    list.first.push_back(static_cast<std::uint32_t>(p + 1));
                    list.second.push_back(static_cast<std::uint32_t>(ti + tj * n + 1));
                }
            }
        }
        made = refs;
    }
    return list;
}

Pairs everyNth(const Pairs &list, std::size_t step)
{
    Pairs q;
    for (std::size_t e = 0; e < list.first.size(); e += step) {
        q.first.push_back(list.first[e]);
        q.second.push_back(list.second[e]);
    }
    return q;
}

void setCounters(benchmark::State &state, const Pairs &ref, const Pairs &q)
{
    state.counters["queries"] = static_cast<double>(q.first.size());
    // Items are reference pairs: the scan's pass is over the reference list.
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(ref.first.size()));
}

void BM_Modrick(benchmark::State &state)
{
    const Pairs &ref = reference(state.range(0));
    const auto step = static_cast<std::size_t>(state.range(1));
    const Pairs q = everyNth(ref, step);
    const auto refCount = static_cast<std::uint32_t>(ref.first.size());
    const auto queryCount = static_cast<std::uint32_t>(q.first.size());
    Words positions(queryCount);  // the caller's result column, made once
    for (auto _ : state) {
        if (!modrick::lookupPairPositions(ref.first.data(), ref.second.data(), refCount, q.first.data(),
                                          q.second.data(), queryCount, positions.data())) {
            state.SkipWithError("a query was not found");
            return;
        }
        benchmark::DoNotOptimize(positions.data());
        benchmark::ClobberMemory();
    }
    for (std::size_t p = 0; p < positions.size(); ++p) {
        if (positions[p] != p * step + 1) {
            state.SkipWithError("a query got a wrong position");
            return;
        }
    }
    setCounters(state, ref, q);
}

void BM_Modrick_Floor(benchmark::State &state)
{
    const Pairs &ref = reference(state.range(0));
    const Pairs q = everyNth(ref, static_cast<std::size_t>(state.range(1)));
    const std::size_t refCount = ref.first.size();
    const std::size_t queryCount = q.first.size();
    Words positions(queryCount);
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (std::size_t e = 0; e < refCount; ++e) {
            sum += ref.first[e] ^ ref.second[e];
        }
        for (std::size_t p = 0; p < queryCount; ++p) {
            positions[p] = (q.first[p] ^ q.second[p]) + sum;
        }
        benchmark::DoNotOptimize(positions.data());
        benchmark::ClobberMemory();
    }
    setCounters(state, ref, q);
}

}  // namespace

// For each size and step the floor runs first and the lookup right after it.
int main(int argc, char **argv)
{
    for (const std::int64_t refs : {1000, 100000, 10000000, 100000000}) {
        for (const std::int64_t step : {1, 2, 8}) {
            for (const auto &[name, fn] :
                 {std::pair{"BM_Modrick_Floor", &BM_Modrick_Floor}, std::pair{"BM_Modrick", &BM_Modrick}}) {
                benchmark::RegisterBenchmark(name, fn)
                    ->Args({refs, step})
                    ->ArgNames({"refs", "step"})
                    ->Unit(refs >= 10000000 ? benchmark::kMillisecond : benchmark::kMicrosecond);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
