// The lane paths built on SIMDe's portable intrinsics (emulated_lanes.cpp),
// for any x86-64 CPU: Avx2, Avx512 or Neon.
#ifndef MEXTK_EMULATED_LANES_H
#define MEXTK_EMULATED_LANES_H

#include "column_gaussian_paths.h"
#include "isa.h"

#include <cstddef>

namespace emulated_lanes {

// As crexp::exponentials on the path.
void exponentials(crexp::Isa isa, double *values, std::size_t count);

// The kernel's lane evaluator on the path, for
// kestrow::detail::evalColumnGaussianWith.
kestrow::detail::LanesEvaluator kernel(crexp::Isa isa);

}  // namespace emulated_lanes

#endif
