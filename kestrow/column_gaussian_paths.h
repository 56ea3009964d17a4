// The SIMD paths of the evaluator, one file each, and what they share with
// its entry points.  Only the x86-64 builds with per-function targets have
// them (CREXP_X86_PATHS).
#ifndef KESTROW_COLUMN_GAUSSIAN_PATHS_H
#define KESTROW_COLUMN_GAUSSIAN_PATHS_H

#include "isa.h"

#include <cstddef>

namespace kestrow {
namespace detail {

// Columns per vector of each path.  Both keep the differences of eight
// columns in scratch (AVX2 two vectors of four, AVX-512 one of eight).
constexpr std::size_t kAvx2Lanes = 4;
constexpr std::size_t kAvx512Lanes = 8;
constexpr std::size_t kScratchColumns = 8;

// The paths read their lane vectors of differences from scratch aligned to
// 64 bytes: D * kScratchColumns doubles from an aligned start.
constexpr std::size_t kScratchAlignment = 64;

// How far ahead of the columns being evaluated the paths for any D ask for
// the columns of X to come into the cache: the evaluation of a step takes
// long enough that the hardware's prefetching alone falls behind.
constexpr std::size_t kPrefetchBytes = 4096;

// Columns per round of exponentials: each round first stores q * (-0.5) of
// its columns into out, then calls exponentials on them, then scales them
// by K, all while they sit in the first-level cache.
constexpr std::size_t kRoundColumns = 512;

#if CREXP_X86_PATHS
// The whole evaluation on one path, for D >= 0 and N > 0 given at full
// width; scratch is the aligned difference scratch.
void evalAvx2(const double *X, std::size_t D, std::size_t N, const double *MU, const double *IS,
              double K, double *out, double *scratch);
void evalAvx512(const double *X, std::size_t D, std::size_t N, const double *MU, const double *IS,
                double K, double *out, double *scratch);
#endif

}  // namespace detail
}  // namespace kestrow

#endif
