// The Gaussian kernel behind kestrow, over plain column-major buffers.
#ifndef KESTROW_COLUMN_GAUSSIAN_H
#define KESTROW_COLUMN_GAUSSIAN_H

#include "isa.h"

#include <cstddef>
#include <cstdint>

// For every column c of the D-by-N matrix X (column-major, column c at
// X[c*D] ... X[c*D + D - 1]) writes
//
//     out[c] = exp(q * (-0.5)) * K,   q = sum_j d[j] * (sum_m d[m] * IS[m + j*D]),
//
// with d = X(:, c) - MU.  Each sum is one accumulator starting at +0.0 that
// adds its terms in index order, every product rounded on its own; the
// exponential is crexp::exponential.  The results are reproducible to the
// last bit, and the same on every path; every NaN among them is the one
// quiet NaN 0x7FF8000000000000, whichever NaNs went in.
//
// The caller guarantees D >= 0, N >= 0, buffers of D*N (X), D (MU), D*D (IS)
// and N (out) doubles, and an out that overlaps no input; nothing is checked
// here.  The difference scratch (scratchDoubles(isa, D) doubles) is taken
// from the heap once per call, before any column; if it cannot be obtained,
// std::bad_alloc leaves before any element of out is written.
namespace kestrow {

// The kernel runs on the exponential library's instruction-set paths.
using crexp::Isa;
using crexp::isaSupported;
using crexp::widestIsa;

// Runs the widest path this CPU supports.
void evalColumnGaussian(const double *X, std::int32_t D, std::int32_t N, const double *MU,
                        const double *IS, double K, double *out);

// Runs the given path, which the caller knows to be supported
// (isaSupported).  The vector paths evaluate one column per lane, every
// lane doing the plain loop's operations in the plain loop's order.
void evalColumnGaussianOn(Isa isa, const double *X, std::int32_t D, std::int32_t N,
                          const double *MU, const double *IS, double K, double *out);

// The doubles of difference scratch that one call on the path takes (for
// N > 0): D for the plain loop, 8*D and a little more for alignment on the
// vector paths.
std::size_t scratchDoubles(Isa isa, std::int32_t D);

}  // namespace kestrow

#endif
