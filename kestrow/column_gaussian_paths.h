// The lane paths of the evaluator and what they share with its entry points.
#ifndef KESTROW_COLUMN_GAUSSIAN_PATHS_H
#define KESTROW_COLUMN_GAUSSIAN_PATHS_H

#include "isa.h"

#include <cstddef>
#include <cstdint>

namespace kestrow {
namespace detail {

// Every path keeps the differences of eight columns in scratch, as lane
// vectors, from a start aligned to 64 bytes.
constexpr std::size_t kScratchColumns = 8;
constexpr std::size_t kScratchAlignment = 64;

// How far ahead of the columns being evaluated the paths for any D ask for
// the columns of X to come into the cache: the evaluation of a step takes
// long enough that the hardware's prefetching alone falls behind.
constexpr std::size_t kPrefetchBytes = 4096;

// Columns per round of exponentials: each round first stores q * (-0.5) of
// its columns into out, then calls exponentials on them, then scales them
// by K, all while they sit in the first-level cache.
constexpr std::size_t kRoundColumns = 512;

// The whole evaluation on the lanes of L (column_gaussian_lanes.h,
// instantiated in one source file per set), for D >= 0 and N > 0 given at
// full width; scratch is the aligned difference scratch.
template <class L>
void evalLanes(const double *X, std::size_t D, std::size_t N, const double *MU, const double *IS, double K,
               double *out, double *scratch);

using LanesEvaluator = void (*)(const double *, std::size_t, std::size_t, const double *, const double *, double,
                                double *, double *);

// evalColumnGaussianOn with the lane path given as its evaluator (nullptr:
// the plain loop), so that the tests also run lane types built for them.
void evalColumnGaussianWith(LanesEvaluator lanes, const double *X, std::int32_t D, std::int32_t N,
                            const double *MU, const double *IS, double K, double *out);

}  // namespace detail
}  // namespace kestrow

#endif
