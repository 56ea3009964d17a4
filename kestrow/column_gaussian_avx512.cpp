// The evaluator on the eight lanes of AVX-512.
#include "lanes_avx512.h"

#if CREXP_X86_PATHS
#define CREXP_LANES_TARGET CREXP_AVX512
#include "column_gaussian_lanes.h"

template void kestrow::detail::evalLanes<crexp::Avx512Lanes>(const double *, std::size_t, std::size_t, const double *,
                                                          const double *, double, double *, double *);
#endif
