// The evaluator on the two lanes of NEON.
#include "lanes_neon.h"

#if CREXP_NEON_PATH
#include "column_gaussian_lanes.h"

template void kestrow::detail::evalLanes<crexp::NeonLanes>(const double *, std::size_t, std::size_t, const double *,
                                                           const double *, double, double *, double *);
#endif
