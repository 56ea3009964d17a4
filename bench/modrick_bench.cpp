// The ordered pair lookup on a large edge list, against a plain sequential
// pass over the same words measured in the same run.
//
// The reference list is the 8-neighbour graph of a side-by-side image, its
// edges as (source, target) pairs of 1-based pixel indices in pallant's
// order (source pixel column by column, then offset position).
//   BM_ModrickSelfMap:    every edge mapped onto the list itself (one
//                         comparison per edge, the cursor never skips);
//   BM_ModrickEveryFourth: every fourth edge, so the cursor passes three
//                         reference pairs per query, most of them with the
//                         same source (second elements compared).
// Each baseline reads exactly the words its scan reads and writes as many
// positions, without comparing anything: the cost of the memory traffic alone.
#include "pair_lookup.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using Words = std::vector<std::uint32_t>;

struct EdgeList {
    std::uint32_t side = 0;
    Words first, second;
};

const EdgeList &edges(std::uint32_t side)
{
    static EdgeList list;
    if (list.side != side) {
        const int r[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
        const int c[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
        const auto n = static_cast<std::int64_t>(side);
        list = EdgeList{side, {}, {}};
        list.first.reserve(static_cast<std::size_t>(8 * n * n));
        list.second.reserve(static_cast<std::size_t>(8 * n * n));
        for (std::int64_t j = 0; j < n; ++j) {
            for (std::int64_t i = 0; i < n; ++i) {
                for (int k = 0; k < 8; ++k) {
                    const std::int64_t ti = i + r[k], tj = j + c[k];
                    if (ti < 0 || ti >= n || tj < 0 || tj >= n) {
                        continue;
                    }
                    list.first.push_back(static_cast<std::uint32_t>(i + j * n + 1));
                    list.second.push_back(static_cast<std::uint32_t>(ti + tj * n + 1));
                }
            }
        }
    }
    return list;
}

struct Queries {
    Words first, second;
};

// Every step-th edge, copied into buffers of their own, as a caller's arrays.
Queries everyNth(const EdgeList &list, std::size_t step)
{
    Queries q;
    for (std::size_t e = 0; e < list.first.size(); e += step) {
        q.first.push_back(list.first[e]);
        q.second.push_back(list.second[e]);
    }
    return q;
}

void setCounters(benchmark::State &state, const EdgeList &list, const Queries &q)
{
    state.counters["edges"] = static_cast<double>(list.first.size());
    state.counters["queries"] = static_cast<double>(q.first.size());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(list.first.size()));
}

template <bool Baseline>
void run(benchmark::State &state, std::size_t step)
{
    const EdgeList &list = edges(static_cast<std::uint32_t>(state.range(0)));
    const Queries q = everyNth(list, step);
    const auto refCount = static_cast<std::uint32_t>(list.first.size());
    const auto queryCount = static_cast<std::uint32_t>(q.first.size());
    // The result stands for the host's array: made once, outside the loop.
    Words positions(queryCount);
    for (auto _ : state) {
        if (Baseline) {
            std::uint32_t sum = 0;
            for (std::uint32_t e = 0; e < refCount; ++e) {
                sum += list.first[e] + list.second[e];
            }
            for (std::uint32_t p = 0; p < queryCount; ++p) {
                positions[p] = q.first[p] + q.second[p] + sum;
            }
        } else if (!modrick::lookupPairPositions(list.first.data(), list.second.data(), refCount, q.first.data(),
                                        q.second.data(), queryCount, positions.data())) {
            state.SkipWithError("a query was not found");
            break;
        }
        benchmark::DoNotOptimize(positions.data());
        benchmark::ClobberMemory();
    }
    if (!Baseline && positions.back() != (queryCount - 1) * step + 1) {
        state.SkipWithError("wrong position for the last query");
    }
    setCounters(state, list, q);
}

void BM_ModrickSelfMap_Baseline(benchmark::State &state) { run<true>(state, 1); }
void BM_ModrickSelfMap(benchmark::State &state) { run<false>(state, 1); }
void BM_ModrickEveryFourth_Baseline(benchmark::State &state) { run<true>(state, 4); }
void BM_ModrickEveryFourth(benchmark::State &state) { run<false>(state, 4); }

}  // namespace

BENCHMARK(BM_ModrickSelfMap_Baseline)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModrickSelfMap)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModrickEveryFourth_Baseline)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModrickEveryFourth)->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
