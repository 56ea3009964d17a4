// The evaluator on the four lanes of AVX2.
#include "lanes_avx2.h"

#if CREXP_X86_PATHS
#define CREXP_LANES_TARGET CREXP_AVX2
#include "column_gaussian_lanes.h"

template void kestrow::detail::evalLanes<crexp::Avx2Lanes>(const double *, std::size_t, std::size_t, const double *,
                                                          const double *, double, double *, double *);
#endif
