// pallant's computation as its gateway runs it, against the floor a host sets
// for any function with its outputs, measured in the same binary.
//
//   BM_Pallant:        the offset tables, the edge lists, the four output
//                      columns obtained, then written (the gateway's steps);
//   BM_Pallant_Floor:  the four output columns obtained the same way, then
//                      written: four stores per edge and nothing else.
//
// Arguments: side, an H-by-H image of 3 channels with the 8 neighbours as
// offsets; fresh, 1 when the outputs are obtained with malloc and freed
// again on every call (as a host does), 0 when they are obtained once and
// written over and over (the memory traffic alone).
//
// Counters: edges; items_per_second (edges); peak_bytes_per_edge, the most
// memory the call held at once beyond its outputs (edge lists and per-offset
// tables), per edge, counted through operator new and the list mappings (a
// mapping counts at its final size, once its alignment slack is given back).
// The outputs come from malloc, which is not counted.
#include "offset_edges.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <dlfcn.h>
#include <sys/mman.h>
#endif

// ---- Memory accounting: bytes held through operator new and mappings ------
namespace {
std::size_t g_current = 0;
std::size_t g_peak = 0;

void hold(std::size_t n)
{
    g_current += n;
    g_peak = std::max(g_peak, g_current);
}
}  // namespace

void *operator new(std::size_t n)
{
    // A size header in front of every block, so delete knows what it frees.
    void *raw = std::malloc(n + 16);
    if (!raw) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t *>(raw) = n;
    hold(n);
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

#if defined(__linux__)
// The lists' mappings come through here (the computation is linked into this
// executable); the C library's own mappings do not.
extern "C" void *mmap(void *addr, std::size_t length, int prot, int flags, int fd, off_t offset)
{
    using Mmap = void *(*)(void *, std::size_t, int, int, int, off_t);
    static const Mmap real = reinterpret_cast<Mmap>(dlsym(RTLD_NEXT, "mmap"));
    void *p = real(addr, length, prot, flags, fd, offset);
    if (p != MAP_FAILED) {
        // The peak is sampled before a mapping, not after: a list's mapping
        // gives its alignment slack back at once, and only its final size
        // counts (the next sample, or the one after the call, sees it).
        hold(0);
        g_current += length;
    }
    return p;
}

extern "C" int munmap(void *addr, std::size_t length)
{
    using Munmap = int (*)(void *, std::size_t);
    static const Munmap real = reinterpret_cast<Munmap>(dlsym(RTLD_NEXT, "munmap"));
    const int result = real(addr, length);
    if (result == 0) {
        g_current -= length;
    }
    return result;
}
#endif

namespace {

struct Problem {
    std::int32_t side = 0;
    std::vector<double> image;
    std::vector<std::int32_t> r{-1, 0, 1, -1, 1, -1, 0, 1};
    std::vector<std::int32_t> c{-1, -1, -1, 0, 0, 1, 1, 1};
    std::size_t edges = 0;
};

constexpr std::int32_t kChannels = 3;

const Problem &problem(std::int32_t side)
{
    static Problem p;
    if (p.side != side) {
        p.side = side;
        p.image.assign(static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * kChannels, 0.0);
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> v(0.0, 1.0);
        for (double &x : p.image) {
            x = v(rng);
        }
        p.edges = static_cast<std::size_t>(pallant::countOffsetEdges(side, side, p.r.data(), p.c.data(), 8));
    }
    return p;
}

// The four output columns, obtained as a host obtains an array's data.
struct Outputs {
    double *column[4] = {nullptr, nullptr, nullptr, nullptr};

    void obtain(std::size_t edges)
    {
        for (double *&c : column) {
            c = static_cast<double *>(std::malloc(std::max<std::size_t>(edges, 1) * sizeof(double)));
        }
    }
    // Obtained once and written through before timing (fresh:0).
    void obtainWarm(std::size_t edges)
    {
        obtain(edges);
        for (double *c : column) {
            std::fill(c, c + edges, 0.0);
        }
    }
    void release()
    {
        for (double *&c : column) {
            std::free(c);
            c = nullptr;
        }
    }
};

void setCounters(benchmark::State &state, std::size_t edges)
{
    state.counters["edges"] = static_cast<double>(edges);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(edges));
}

void BM_Pallant(benchmark::State &state)
{
    const Problem &p = problem(static_cast<std::int32_t>(state.range(0)));
    const bool fresh = state.range(1) != 0;
    const std::int32_t n = 8;
    Outputs out;
    if (!fresh) {
        out.obtainWarm(p.edges);
    }
    std::size_t peak = 0;
    for (auto _ : state) {
        const std::size_t before = g_current;
        g_peak = g_current;
        {
            // The gateway's scratch tables, per call.
            std::vector<std::int32_t> linear(8);
            std::vector<double> lengths(8);
            pallant::computeOffsetTables(p.r.data(), p.c.data(), n, p.side, linear.data(), lengths.data());
            const pallant::OffsetEdgeList edges =
                pallant::buildOffsetEdges(p.side, p.side, p.r.data(), p.c.data(), n, linear.data());
            if (fresh) {
                out.obtain(p.edges);
            }
            pallant::writeEdgeColumns(edges, p.image.data(), p.side * p.side, kChannels, lengths.data(),
                                      out.column[0], out.column[1], out.column[2], out.column[3]);
            benchmark::DoNotOptimize(out.column[2]);
            benchmark::ClobberMemory();
            hold(0);
        }
        peak = g_peak - before;
        if (fresh) {
            out.release();
        }
    }
    if (!fresh) {
        out.release();
    }
    setCounters(state, p.edges);
    state.counters["peak_bytes_per_edge"] = static_cast<double>(peak) / static_cast<double>(p.edges);
}

void BM_Pallant_Floor(benchmark::State &state)
{
    const Problem &p = problem(static_cast<std::int32_t>(state.range(0)));
    const bool fresh = state.range(1) != 0;
    Outputs out;
    if (!fresh) {
        out.obtainWarm(p.edges);
    }
    for (auto _ : state) {
        if (fresh) {
            out.obtain(p.edges);
        }
        double *a = out.column[0], *b = out.column[1], *c = out.column[2], *d = out.column[3];
        for (std::size_t e = 0; e < p.edges; ++e) {
            const double v = static_cast<double>(e);
            a[e] = v;
            b[e] = v;
            c[e] = v;
            d[e] = v;
        }
        benchmark::DoNotOptimize(c);
        benchmark::ClobberMemory();
        if (fresh) {
            out.release();
        }
    }
    if (!fresh) {
        out.release();
    }
    setCounters(state, p.edges);
}

}  // namespace

// For each size and way of obtaining the outputs, the floor runs first and
// pallant right after it, so both meet the image in the same state.
int main(int argc, char **argv)
{
    for (const std::int64_t side : {100, 300, 1000, 2000, 4000}) {
        for (const std::int64_t fresh : {1, 0}) {
            for (const auto &[name, fn] : {std::pair{"BM_Pallant_Floor", &BM_Pallant_Floor},
                                           std::pair{"BM_Pallant", &BM_Pallant}}) {
                benchmark::RegisterBenchmark(name, fn)
                    ->Args({side, fresh})
                    ->ArgNames({"side", "fresh"})
                    ->Unit(benchmark::kMillisecond);
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
