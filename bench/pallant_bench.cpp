// The offset graph builder on a large image, against a plain baseline
// measured in the same run: lists that grow by doubling (no count before the
// pass) and bound tests made per pixel and offset.  Besides time, each run
// reports the peak heap held by the edge lists, in bytes per edge.
#include "offset_edges.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

// ---- Heap accounting: current and peak bytes held through operator new ----
namespace {
std::size_t g_current = 0;
std::size_t g_peak = 0;
}  // namespace

void *operator new(std::size_t n)
{
    // A size header in front of every block, so delete knows what it frees.
    void *raw = std::malloc(n + 16);
    if (!raw) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t *>(raw) = n;
    g_current += n;
    g_peak = std::max(g_peak, g_current);
    return static_cast<char *>(raw) + 16;
}

void operator delete(void *p) noexcept
{
    if (!p) {
        return;
    }
    void *raw = static_cast<char *>(p) - 16;
    g_current -= *static_cast<std::size_t *>(raw);
    std::free(raw);
}

void operator delete(void *p, std::size_t) noexcept { operator delete(p); }

namespace {

struct Problem {
    std::int32_t h, w, d;
    std::vector<double> image;
    std::vector<std::int32_t> r, c, linear;
    std::vector<double> lengths;
};

// An H-by-W-by-3 image and the 8-neighbour offsets.
const Problem &problem(std::int32_t side)
{
    static Problem p;
    if (p.h != side) {
        p = Problem{side, side, 3, {}, {-1, 0, 1, -1, 1, -1, 0, 1}, {-1, -1, -1, 0, 0, 1, 1, 1}, {}, {}};
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> v(0.0, 1.0);
        p.image.resize(static_cast<std::size_t>(side) * side * 3);
        for (double &x : p.image) {
            x = v(rng);
        }
        p.linear.resize(8);
        p.lengths.resize(8);
        pallant::computeOffsetTables(p.r.data(), p.c.data(), 8, side, p.linear.data(), p.lengths.data());
    }
    return p;
}

// The plain way: grow the lists as edges come, test both bounds of every
// (pixel, offset) pair.
pallant::OffsetEdgeList baselineEdges(const Problem &p)
{
    pallant::OffsetEdgeList edges;
    const auto n = static_cast<std::int32_t>(p.r.size());
    for (std::int32_t j = 0; j < p.w; ++j) {
        for (std::int32_t i = 0; i < p.h; ++i) {
            for (std::int32_t k = 0; k < n; ++k) {
                const std::int64_t ti = std::int64_t{i} + p.r[static_cast<std::size_t>(k)];
                const std::int64_t tj = std::int64_t{j} + p.c[static_cast<std::size_t>(k)];
                if (ti < 0 || ti >= p.h || tj < 0 || tj >= p.w) {
                    continue;
                }
                const std::int32_t src = j * p.h + i;
                edges.sources.push_back(src);
                edges.targets.push_back(src + p.linear[static_cast<std::size_t>(k)]);
                edges.offsetPositions.push_back(k);
            }
        }
    }
    return edges;
}

template <bool Baseline>
void run(benchmark::State &state)
{
    const Problem &p = problem(static_cast<std::int32_t>(state.range(0)));
    std::size_t edgeCount = 0;
    double peakBytesPerEdge = 0;
    // The output columns stand for the host's arrays: made once, outside the
    // timed loop, for both variants.
    const auto most = static_cast<std::size_t>(
        pallant::countOffsetEdges(p.h, p.w, p.r.data(), p.c.data(), static_cast<std::int32_t>(p.r.size())));
    std::vector<double> s(most), t(most), col(most), len(most);
    for (auto _ : state) {
        const std::size_t before = g_current;
        g_peak = g_current;
        pallant::OffsetEdgeList edges =
            Baseline ? baselineEdges(p)
                     : pallant::buildOffsetEdges(p.h, p.w, p.r.data(), p.c.data(), 8, p.linear.data());
        edgeCount = edges.sources.size();
        peakBytesPerEdge = static_cast<double>(g_peak - before) / static_cast<double>(edgeCount);
        pallant::writeEdgeColumns(edges, p.image.data(), p.h * p.w, p.d, p.lengths.data(), s.data(), t.data(),
                                  col.data(), len.data());
        benchmark::DoNotOptimize(col.data());
    }
    state.counters["edges"] = static_cast<double>(edgeCount);
    state.counters["list_peak_bytes_per_edge"] = peakBytesPerEdge;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(edgeCount));
}

void BM_PallantEdges_Baseline(benchmark::State &state) { run<true>(state); }
void BM_PallantEdges(benchmark::State &state) { run<false>(state); }

}  // namespace

BENCHMARK(BM_PallantEdges_Baseline)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PallantEdges)->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
